// Colours as red, green, blue and alpha components in 0..1 (device RGB). A value type: two
// colours with the same components are the same colour. [main-thread] for setFill/setStroke,
// which act on the current graphics context; everything else [any-thread].
#pragma once

#include "ui/CGGeometry.h"

namespace pf {

class UIColor {
public:
    constexpr UIColor() = default;
    constexpr UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
        : r_(red), g_(green), b_(blue), a_(alpha) {}
    static constexpr UIColor white(CGFloat white, CGFloat alpha) {
        return {white, white, white, alpha};
    }

    static constexpr UIColor black() { return {0, 0, 0, 1}; }
    static constexpr UIColor white() { return {1, 1, 1, 1}; }
    static constexpr UIColor clear() { return {0, 0, 0, 0}; }
    static constexpr UIColor lightGray() { return {2.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0, 1}; }
    static constexpr UIColor darkGray() { return {1.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0, 1}; }
    static constexpr UIColor gray() { return {0.5, 0.5, 0.5, 1}; }

    constexpr CGFloat red() const { return r_; }
    constexpr CGFloat green() const { return g_; }
    constexpr CGFloat blue() const { return b_; }
    constexpr CGFloat alpha() const { return a_; }
    // The platform's getter: always succeeds for these colours.
    bool getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;

    // The same colour with its alpha component replaced.
    constexpr UIColor withAlphaComponent(CGFloat alpha) const { return {r_, g_, b_, alpha}; }

    // Make this the fill (or stroke) colour of the current graphics context; nothing without one.
    void setFill() const;
    void setStroke() const;
    void set() const; // both

    friend constexpr bool operator==(const UIColor&, const UIColor&) = default;

private:
    CGFloat r_ = 0, g_ = 0, b_ = 0, a_ = 0;
};

} // namespace pf
