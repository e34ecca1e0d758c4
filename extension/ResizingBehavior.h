// The resizing rule shared by the panel's drawing classes: it maps a fixed design rectangle
// into a view's bounds, and the contrast rule that recolours a drawing class.
//
// Each drawing class nests its own resizing enumerations (the cases and raw values are the
// same everywhere: aspectFit 0, aspectFill 1, stretch 2, center 3); the functions here work on
// any of them. [main-thread]
#pragma once

#include <optional>
#include <type_traits>

#include "ui/CGGeometry.h"
#include "ui/UIColor.h"

namespace panel {

using pf::CGFloat;
using pf::CGRect;
using pf::CGSize;

enum class ResizingKind : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };

struct ResizedRect {
    CGRect rect;
    // The scale used, or none when the rule took its early return (rect equal to target, or a
    // zero target) and returned `rect` unchanged.
    std::optional<CGSize> scale;
};

// The rule itself: early return for rect == target or a zero target; absolute scale factors;
// fit, fill, stretch or unscaled by `kind`; the standardised rect scaled and centred in target.
ResizedRect resize(ResizingKind kind, const CGRect& rect, const CGRect& target);

// `init(rawValue:)`: the case for 0..3, no value for any other number.
template <class E> std::optional<E> resizingFromRawValue(long long raw) {
    if (raw < 0 || raw > 3) return std::nullopt;
    return static_cast<E>(raw);
}

template <class E> constexpr auto rawValue(E behavior) {
    return static_cast<std::underlying_type_t<E>>(behavior);
}

// `apply(rect:target:)`: the resized rectangle; stores nothing.
template <class E> CGRect apply(E behavior, const CGRect& rect, const CGRect& target) {
    return resize(static_cast<ResizingKind>(rawValue(behavior)), rect, target).rect;
}

// `apply(rect:target:instance:)`: the same rectangle, and the scale used is stored into the
// instance's `viewScale`. When the target equals the design rectangle the true scale (1, 1) is
// stored, so touch mapping never works from the scale of an earlier size; a zero target (a view
// without size, which no touch can reach) leaves `viewScale` as it was.
template <class E, class Instance>
CGRect apply(E behavior, const CGRect& rect, const CGRect& target, Instance& instance) {
    const ResizedRect r = resize(static_cast<ResizingKind>(rawValue(behavior)), rect, target);
    if (r.scale)
        instance.viewScale = *r.scale;
    else if (rect == target)
        instance.viewScale = CGSize{1, 1};
    return r.rect;
}

// The contrast rule for a drawing class with the colour set: lines in grey 1 - c, the inverted
// contrast grey c; the selection and needle colours stay. The caller marks its view for display.
template <class Base> void applyContrast(Base& base, CGFloat c) {
    base.colorContrast = pf::UIColor(1 - c, 1 - c, 1 - c, 1);
    base.colorContrastInverted = pf::UIColor(c, c, c, 1);
    base.colorMain = base.colorContrast;
}

} // namespace panel
