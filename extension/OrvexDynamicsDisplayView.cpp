#include "OrvexDynamicsDisplayView.h"

using panel::DesignFrame;
using pf::CGFloat;
using pf::CGRect;

void OrvexDynamicsDisplayViewBase::drawMain(CGRect frame, ResizingBehavior0 resizing) {
    DesignFrame df(frame, resizing, 512, 340, *this);
    if (!df.ok()) return;
    pf::CGContext& ctx = df.ctx();
    ctx.saveGState();
    ctx.translateBy(153, 242);
    ctx.saveGState();
    const CGRect r{0, -106, 206, 106};
    ctx.clip(r);
    ctx.translateBy(r.minX(), r.minY());
    drawSymbolMeter({0, 0, 206, 106}, ResizingBehavior::stretch, value1, value2, value3, value4,
                    valueThreshold);
    ctx.restoreGState();
    ctx.restoreGState();
}

void OrvexDynamicsDisplayViewBase::drawSymbolMeter(CGRect frame, ResizingBehavior resizing,
                                                   CGFloat valueMeter1, CGFloat valueMeter2,
                                                   CGFloat valueMeter3, CGFloat valueMeter4,
                                                   CGFloat /*valueKnob*/) {
    DesignFrame df(frame, resizing, 206, 106);
    if (!df.ok()) return;
    pf::CGContext& ctx = df.ctx();
    const auto mark = [&](CGFloat value, pf::CGPoint pivot, pf::CGPoint from, pf::CGPoint to,
                          CGFloat width, const pf::UIColor& color) {
        color.withAlphaComponent(0.6).setStroke();
        panel::strokeNeedle(ctx, pivot, value, panel::kMeterSweep,
                            panel::needlePath(from, to, width));
    };
    mark(valueMeter4, {103, 97.02}, {0.5, -87.52}, {0.5, -86.52}, 5, colorSelected2);
    mark(valueMeter3, {103, 97.01}, {0.5, -87.51}, {0.5, -86.51}, 5, colorSelected1);
    mark(valueMeter2, {103.5, 97.5}, {0, -80}, {0, 0}, 4, colorSelected2);
    mark(valueMeter1, {103.5, 97.5}, {0, -80}, {0, 0}, 4, colorSelected1);
}

OrvexDynamicsDisplayView::OrvexDynamicsDisplayView(const CGRect& frame) : pf::UIControl(frame) {}

void OrvexDynamicsDisplayView::setFocus(bool /*focus*/) {
    setNeedsDisplay();
}

void OrvexDynamicsDisplayView::setContrast(CGFloat contrast) {
    panel::applyContrast(*baseClass, contrast);
    setNeedsDisplay();
}

void OrvexDynamicsDisplayView::setThresholdValue(float value) {
    baseClass->valueThreshold = value;
}

void OrvexDynamicsDisplayView::setCompressionValues(float value1, float value2) {
    const CGFloat v1 = value1, v2 = value2;
    if (v1 == baseClass->value1 && v2 == baseClass->value2) return;
    baseClass->value1 = v1;
    baseClass->value2 = v2;
    setNeedsDisplay();
}

void OrvexDynamicsDisplayView::setOutputValues(float value3, float value4) {
    const CGFloat v3 = value3, v4 = value4;
    if (v3 == baseClass->value3 && v4 == baseClass->value4) return;
    baseClass->value3 = v3;
    baseClass->value4 = v4;
    setNeedsDisplay();
}

void OrvexDynamicsDisplayView::resetDisplay() {
    baseClass->value1 = 1.0;
    baseClass->value2 = 1.0;
    setNeedsDisplay();
}

void OrvexDynamicsDisplayView::draw(const CGRect& /*rect*/) {
    if (isHidden()) return;
    baseClass->drawMain(bounds(), OrvexDynamicsDisplayViewBase::ResizingBehavior0::aspectFit);
}
