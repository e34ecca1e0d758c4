// EnumEasing and the easing curves: each curve gives the value of an animation at a frame.
//
// A curve takes (currentFrame, sourceValue, amount, numFrames), where amount is the destination
// minus the source, and returns sourceValue at frame 0 and sourceValue + amount at frame
// numFrames (the OutIn curves at frame 0 only when numFrames is at least 2). All arithmetic is in
// 32-bit floats. A numFrames of 0 or below gives the end value, sourceValue + amount. Frame
// arithmetic saturates, so any 64-bit frame is safe to pass.
//
// Thread: any; the curves are pure functions.
#pragma once

#include <cstdint>
#include <optional>

enum class EnumEasing : std::int64_t {
    EASING_easeNone = 0,
    EASING_easeInQuad,
    EASING_easeOutQuad,
    EASING_easeInOutQuad,
    EASING_easeOutInQuad,
    EASING_easeInCubic,
    EASING_easeOutCubic,
    EASING_easeInOutCubic,
    EASING_easeOutInCubic,
    EASING_easeInQuart,
    EASING_easeOutQuart,
    EASING_easeInOutQuart,
    EASING_easeOutInQuart,
    EASING_easeInQuint,
    EASING_easeOutQuint,
    EASING_easeInOutQuint,
    EASING_easeOutInQuint,
    EASING_easeInSine,
    EASING_easeOutSine,
    EASING_easeInOutSine,
    EASING_easeOutInSine,
    EASING_easeInExpo,
    EASING_easeOutExpo,
    EASING_easeInOutExpo,
    EASING_easeOutInExpo,
    EASING_easeInCirc,
    EASING_easeOutCirc,
    EASING_easeInOutCirc,
    EASING_easeOutInCirc,
    EASING_easeInElastic,
    EASING_easeOutElastic,
    EASING_easeInOutElastic,
    EASING_easeOutInElastic,
    EASING_easeInBack,
    EASING_easeOutBack,
    EASING_easeInOutBack,
    EASING_easeOutInBack,
    EASING_easeInBounce,
    EASING_easeOutBounce,
    EASING_easeInOutBounce,
    EASING_easeOutInBounce,
    EASING_easeLast, // closes the list; has no curve of its own (easingCurve gives easeNone)
};

// The case with that raw value for 0 to 41; nothing for any other value.
std::optional<EnumEasing> makeEnumEasing(std::int64_t rawValue) noexcept;
constexpr std::int64_t rawValue(EnumEasing type) noexcept {
    return static_cast<std::int64_t>(type);
}

using EasingCurve = float (*)(std::int64_t currentFrame, float sourceValue, float amount,
                              std::int64_t numFrames);

// The curve of a case; EASING_easeLast (and anything out of range) gives easeNone.
EasingCurve easingCurve(EnumEasing type) noexcept;

namespace easing {

#define ORVEX_EASING_CURVE(name)                                                                   \
    float name(std::int64_t currentFrame, float sourceValue, float amount,                         \
               std::int64_t numFrames) noexcept;
#define ORVEX_EASING_FAMILY(family)                                                                \
    ORVEX_EASING_CURVE(easeIn##family)                                                             \
    ORVEX_EASING_CURVE(easeOut##family)                                                            \
    ORVEX_EASING_CURVE(easeInOut##family)                                                          \
    ORVEX_EASING_CURVE(easeOutIn##family)

ORVEX_EASING_CURVE(easeNone)
ORVEX_EASING_FAMILY(Quad)
ORVEX_EASING_FAMILY(Cubic)
ORVEX_EASING_FAMILY(Quart)
ORVEX_EASING_FAMILY(Quint)
ORVEX_EASING_FAMILY(Sine)
ORVEX_EASING_FAMILY(Expo)
ORVEX_EASING_FAMILY(Circ)
ORVEX_EASING_FAMILY(Elastic)
ORVEX_EASING_FAMILY(Back)
ORVEX_EASING_FAMILY(Bounce)

#undef ORVEX_EASING_FAMILY
#undef ORVEX_EASING_CURVE

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) noexcept;
std::int64_t saturatingSub(std::int64_t a, std::int64_t b) noexcept;
std::int64_t saturatingMul(std::int64_t a, std::int64_t b) noexcept;

// The OutIn rule with a family's own Out and In curves (callables of the curve's four
// arguments), so a caller that overrides In or Out can build its OutIn from them:
// h = numFrames / 2 (towards zero); before frame h, Out(2t, b, c/2, d); from h on,
// In(2t - d, b + c/2, c/2, d). With an odd numFrames the frame (d - 1) / 2 already belongs to
// the in-half and is evaluated at frame -1.
template <class Out, class In>
float outIn(Out&& out, In&& in, std::int64_t t, float b, float c, std::int64_t d) {
    if (d <= 0) return b + c;
    const float half = c / 2;
    if (t < d / 2) return out(saturatingMul(t, 2), b, half, d);
    return in(saturatingSub(saturatingMul(t, 2), d), b + half, half, d);
}

} // namespace easing
