#include "OrvexCompressorViewBase.h"

#include "AudioUnitViewController.h"

#include "ui/UIFont.h"

using panel::DesignFrame;
using panel::drawTextBlock;
using panel::needlePath;
using panel::strokeNeedle;
using pf::CGFloat;
using pf::CGLineCap;
using pf::CGLineJoin;
using pf::CGRect;
using pf::UIBezierPath;
using pf::UIColor;
using pf::UIFont;

namespace {

constexpr CGFloat kRestFactor = 1.1;
constexpr CGFloat kTouchedFactor = 1.5;
constexpr CGFloat factor(bool active) {
    return active ? kTouchedFactor : kRestFactor;
}

const CGRect kKnobR{-45, -45, 90, 90};
const CGRect kButtonR{-39, -16, 80, 32};

void strokeWith(UIBezierPath path, const UIColor& color, CGFloat width, CGLineCap cap,
                CGLineJoin join) {
    path.lineWidth = width;
    path.lineCapStyle = cap;
    path.lineJoinStyle = join;
    color.setStroke();
    path.stroke();
}

} // namespace

void OrvexCompressorViewBase::drawMain(CGRect frame, ResizingBehavior0 resizing) {
    DesignFrame df(frame, resizing, 512, 340, *this);
    if (!df.ok()) return;
    pf::CGContext& ctx = df.ctx();

    strokeWith(UIBezierPath::roundedRect({16.5, 19.5, 480, 300}, 10), colorMain, 3,
               CGLineCap::round, CGLineJoin::round);

    const auto knob = [&](CGFloat x, CGFloat y, bool active, CGFloat value, const char* label,
                          bool selected) {
        panel::placeSymbol(ctx, {x, y}, factor(active), kKnobR, [&](const CGRect& f) {
            drawSymbolKnob(f, ResizingBehavior::stretch, value, label, selected);
        });
    };
    const auto button = [&](CGFloat x, CGFloat y, bool active, bool selected, const char* label) {
        panel::placeSymbol(ctx, {x, y}, factor(active), kButtonR, [&](const CGRect& f) {
            drawSymbolButton(f, ResizingBehavior::stretch, selected, label);
        });
    };

    knob(83, 94, isAttackActive, valueAttack, "attack", isAttackSelected);
    knob(182, 94, isReleaseActive, valueRelease, "release", isReleaseSelected);
    panel::placeSymbol(
        ctx, {256.7, 74.7}, factor(isModeActive), {-27, -13, 54, 26},
        [&](const CGRect& f) { drawSymbolButton2(f, ResizingBehavior::stretch, valueMode); });
    knob(329, 94, isThresholdActive, valueThreshold, "threshold", isThresholdSelected);
    knob(428, 94, isRatioActive, valueRatio, "exp./comp.", isRatioSelected);
    panel::placeSymbol(ctx, {153, 242}, 1, {0, -106, 206, 106}, [&](const CGRect& f) {
        drawSymbolMeter(f, ResizingBehavior::stretch, value1, value2, valueThreshold);
    });
    knob(83.5, 201.5, isGainActive, valueGain, "gain", isGainSelected);
    knob(428.5, 201.5, isMixActive, valueMix, "mix", isMixSelected);
    button(87.9, 283.86, isBypassActive, isBypassSelected, "bypass");
    button(423.9, 281.86, isAuditionActive, isAuditioSelected, "audition");

    // Without its face the title is left out; the rest of the panel does not depend on it.
    drawTextBlock("ORVEX COMPANDER", {153, 267, 206, 30},
                  UIFont::named("HelveticaNeue-CondensedBold", 22), colorMain);

    hotspotAttackPath = UIBezierPath::rect({39, 44, 90, 98});
    hotspotReleasePath = UIBezierPath::rect({137, 44, 90, 98});
    hotspotThresholdPath = UIBezierPath::rect({284, 45, 90, 98});
    hotspotRatioPath = UIBezierPath::rect({384, 45, 90, 98});
    hotspotGainPath = UIBezierPath::rect({39, 153, 90, 98});
    hotspotMixPath = UIBezierPath::rect({384, 158, 90, 98});
    hotspotBypassPath = UIBezierPath::rect({44, 266, 90, 36});
    hotspotAuditionPath = UIBezierPath::rect({380, 264, 90, 36});
    hotspotCaptionPath = UIBezierPath::rect({166, 264, 180, 36});
    hotspotModePath = UIBezierPath::rect({227, 54, 57, 45});
    hotspotMeterPath = UIBezierPath::rect({166, 151, 180, 90});
}

void OrvexCompressorViewBase::drawSymbolKnob(CGRect frame, ResizingBehavior resizing,
                                             CGFloat valueKnob, const std::string& labelKnob,
                                             bool isSelected) {
    DesignFrame df(frame, resizing, 90, 90);
    if (!df.ok()) return;
    const UIColor c = isSelected ? colorSelected1 : colorMain;
    strokeWith(UIBezierPath::ovalIn({21, 19.5, 50, 50}), c, 3, CGLineCap::butt, CGLineJoin::miter);
    c.setStroke();
    strokeNeedle(df.ctx(), {46, 45.5}, valueKnob, panel::kKnobSweep,
                 needlePath({0, -18}, {0, 0}, 4));
    c.setFill();
    UIBezierPath::ovalIn({23.5, 71, 5, 5}).fill();
    UIBezierPath::ovalIn({63.5, 71, 5, 5}).fill();
    drawTextBlock(labelKnob, {9, 0, 73, 9}, UIFont::systemFont(10), c);
    drawTextBlock(panel::knobValueText(valueKnob), {9, 76, 73, 9}, UIFont::systemFont(10),
                  colorMain);
}

void OrvexCompressorViewBase::drawSymbolMeter(CGRect frame, ResizingBehavior resizing,
                                              CGFloat /*valueMeter1*/, CGFloat /*valueMeter2*/,
                                              CGFloat valueKnob) {
    DesignFrame df(frame, resizing, 206, 106);
    if (!df.ok()) return;
    pf::CGContext& ctx = df.ctx();

    UIBezierPath scale;
    scale.move({198.5, 103});
    scale.addLine({9, 103});
    scale.addCurve({72.55, 8.55}, {9, 59.31}, {35.55, 22.16});
    scale.addCurve({103.75, 3}, {82.32, 4.95}, {92.82, 3});
    scale.addCurve({198.5, 103}, {156.08, 3}, {198.5, 47.77});
    scale.close();
    ctx.saveGState();
    const CGFloat dash[] = {2, 3};
    ctx.setLineDash(0, dash);
    strokeWith(scale, colorMain, 2, CGLineCap::round, CGLineJoin::round);
    ctx.restoreGState();

    colorMain.setFill();
    UIBezierPath::ovalIn({98, 92, 10, 10}).fill();

    UIBezierPath base;
    base.move({3, 103});
    base.addLine({203, 103});
    strokeWith(base, colorMain, 3, CGLineCap::round, CGLineJoin::bevel);

    colorMain.withAlphaComponent(0.2).setStroke();
    strokeNeedle(ctx, {103.5, 97.5}, valueKnob, panel::kMeterSweep,
                 needlePath({0, -88}, {0, 0}, 4));
}

void OrvexCompressorViewBase::drawSymbolHistory(CGRect frame, ResizingBehavior resizing) {
    DesignFrame df(frame, resizing, 390, 134);
    if (!df.ok()) return;
    strokeWith(UIBezierPath::roundedRect({3.5, 3.5, 384, 128}, 3), colorMain, 3, CGLineCap::round,
               CGLineJoin::round);
}

void OrvexCompressorViewBase::drawSymbolButton(CGRect frame, ResizingBehavior resizing,
                                               bool isSelected, const std::string& labelButton) {
    DesignFrame df(frame, resizing, 86, 38);
    if (!df.ok()) return;
    const UIColor c = isSelected ? colorSelected1 : colorMain;
    strokeWith(UIBezierPath::roundedRect({3, 3, 80, 32}, 3), c, 2, CGLineCap::round,
               CGLineJoin::bevel);
    auto font = UIFont::named("HelveticaNeue", 12);
    drawTextBlock(labelButton, {3, 3, 80, 32}, font ? font : UIFont::systemFont(12), c);
}

void OrvexCompressorViewBase::drawSymbolButton2(CGRect frame, ResizingBehavior resizing,
                                                const std::string& labelButton) {
    DesignFrame df(frame, resizing, 54, 26);
    if (!df.ok()) return;
    const UIBezierPath plate = UIBezierPath::roundedRect({3.45, 2.85, 47.5, 20.5}, 3);
    colorSelected1.withAlphaComponent(0.3).setFill();
    plate.fill();
    strokeWith(plate, colorMain, 1, CGLineCap::round, CGLineJoin::round);
    auto font = UIFont::named("HelveticaNeue-CondensedBold", 10);
    drawTextBlock(labelButton, {3.45, 2.85, 47.5, 20.5}, font ? font : UIFont::systemFont(10),
                  colorMain);
}

std::shared_ptr<Orvex_Compander_Extension_AudioUnit> OrvexCompressorViewBase::audioUnit() const {
    const auto controller = viewController.lock();
    return controller ? controller->audioUnit() : nullptr;
}
