// Building blocks of the panel's symbols: the needle rule, the knob's value text, the centred
// text block, the frame every symbol draws in and the placement of a symbol on the panel.
// [main-thread]
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ResizingBehavior.h"
#include "ui/CGContext.h"
#include "ui/UIBezierPath.h"
#include "ui/UIFont.h"

namespace panel {

using pf::CGContext;
using pf::CGPoint;
using pf::UIBezierPath;
using pf::UIColor;
using pf::UIFont;

// Sweeps of the needle rule, in degrees to each side of straight up.
inline constexpr CGFloat kKnobSweep = 145;
inline constexpr CGFloat kMeterSweep = 90;

// The needle rule's angle a = (2v - 1) * (-sweep) degrees; the needle is turned by -a, so 0
// turns it `sweep` degrees anticlockwise, 0.5 leaves it straight up, 1 turns it clockwise.
// Neither clamped nor wrapped.
CGFloat needleAngle(CGFloat value, CGFloat sweep);

// The knob's value text: the integer nearest to value x 100, halves away from zero, in decimal
// ("13" for 0.125, "-13" for -0.125). Empty when that number is not finite or does not fit a
// 64-bit integer (a NaN from a host must not take the panel down).
std::string knobValueText(CGFloat value);

// Strokes `needle` (given pointing up from the origin) turned by the needle rule about `pivot`.
// A non-finite angle draws nothing.
void strokeNeedle(CGContext& ctx, CGPoint pivot, CGFloat value, CGFloat sweep,
                  const UIBezierPath& needle);

// A segment from `from` to `to` with the needles' stroke settings (width, round cap and join).
UIBezierPath needlePath(CGPoint from, CGPoint to, CGFloat width);

// The text block: `text` centred horizontally and vertically in `rect` with the font and
// colour, wrapped at the rectangle's width and clipped to it. No font or an empty text: nothing.
void drawTextBlock(const std::string& text, const CGRect& rect, const std::optional<UIFont>& font,
                   const UIColor& color);

// The frame of a drawing function: saves the state, maps the design size into `frame` with
// the resizing rule, translates and scales; restores when it goes. `ok()` is false (and
// nothing may be drawn) without a current context.
class DesignFrame {
public:
    template <class E>
    DesignFrame(const CGRect& frame, E resizing, CGFloat w, CGFloat h)
        : ctx_(pf::UIGraphicsGetCurrentContext()) {
        if (!ctx_) return;
        ctx_->saveGState();
        enter(apply(resizing, CGRect{0, 0, w, h}, frame), w, h);
    }
    // The variant that refreshes the instance's `viewScale`.
    template <class E, class Instance>
    DesignFrame(const CGRect& frame, E resizing, CGFloat w, CGFloat h, Instance& instance)
        : ctx_(pf::UIGraphicsGetCurrentContext()) {
        if (!ctx_) return;
        ctx_->saveGState();
        enter(apply(resizing, CGRect{0, 0, w, h}, frame, instance), w, h);
    }
    ~DesignFrame() {
        if (ctx_) ctx_->restoreGState();
    }
    DesignFrame(const DesignFrame&) = delete;
    DesignFrame& operator=(const DesignFrame&) = delete;

    bool ok() const { return ctx_ != nullptr; }
    CGContext& ctx() { return *ctx_; }

private:
    void enter(const CGRect& target, CGFloat w, CGFloat h);
    CGContext* ctx_;
};

// Symbol placement: translate to the anchor, scale by the touch factor, clip to R (relative to
// the anchor), translate to R's origin and call `draw` with frame (0, 0, R's size).
void placeSymbol(CGContext& ctx, CGPoint anchor, CGFloat factor, const CGRect& r,
                 const std::function<void(const CGRect& frame)>& draw);

} // namespace panel
