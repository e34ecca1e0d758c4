#include "PluginFrameEx.h"

#include <algorithm>
#include <cmath>

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

pf::UIColor PluginFrameEx::legibleTint() const {
    const double g = std::isnan(contrast) ? 0.0 : std::clamp<double>(contrast, 0, 1);
    const double linear = g <= 0.04045 ? g / 12.92 : std::pow((g + 0.055) / 1.055, 2.4);
    // Contrast against white is 1.05 / (L + 0.05), against black (L + 0.05) / 0.05; they are
    // equal where (L + 0.05)^2 = 0.0525.
    const bool dark = (linear + 0.05) * (linear + 0.05) < 0.0525;
    return dark ? pf::UIColor(1, 1, 1, 1) : pf::UIColor(0, 0, 0, 1);
}

void PluginFrameEx::draw(const CGRect& rect) {
    baseClass_->setContrast(contrast);
    baseClass_->setMainColor(mainColor);
    baseClass_->draw(rect, PluginFrameBaseEx::ResizingBehavior::aspectFit);
}
