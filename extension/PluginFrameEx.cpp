#include "PluginFrameEx.h"

#include "ui/UIBezierPath.h"

using pf::CGFloat;
using pf::CGRect;

void PluginFrameBaseEx::draw(CGRect frame, ResizingBehavior resizing) {
    const CGFloat w = frame.size.width, h = frame.size.height;
    panel::DesignFrame df(frame, resizing, w, h, *this);
    if (!df.ok()) return;
    pf::UIColor(contrast_, contrast_, contrast_, 1).setFill();
    pf::UIBezierPath::roundedRect({2, 2, w - 4, h - 4}, 4).fill();
}

PluginFrameEx::PluginFrameEx(const CGRect& frame) : pf::UIControl(frame) {}

void PluginFrameEx::draw(const CGRect& rect) {
    baseClass_->setContrast(contrast);
    baseClass_->setMainColor(mainColor);
    baseClass_->draw(rect, PluginFrameBaseEx::ResizingBehavior::aspectFit);
}
