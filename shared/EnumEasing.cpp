#include "EnumEasing.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>

namespace easing {

namespace {

using Frame = std::int64_t;

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kBackOvershoot = 1.70158f;
constexpr float kBounceFactor = 7.5625f;

float toFloat(Frame frame) noexcept {
    return static_cast<float>(frame);
}
float pow2(float x) noexcept {
    return std::pow(2.0f, x);
}
float power(float x, int n) noexcept {
    float result = x;
    for (int i = 1; i < n; ++i)
        result *= x;
    return result;
}

// Penner's polynomial curves of degree n (2 Quad, 3 Cubic, 4 Quart, 5 Quint).
float polyIn(int n, Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return c * power(toFloat(t) / toFloat(d), n) + b;
}

float polyOut(int n, Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float u = toFloat(t) / toFloat(d);
    switch (n) {
    case 2:
        return -c * u * (u - 2) + b;
    case 4:
        return -c * (power(u - 1, 4) - 1) + b;
    default:
        return c * (power(u - 1, n) + 1) + b;
    }
}

float polyInOut(int n, Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float v = toFloat(t) / (toFloat(d) / 2);
    if (v < 1) return c / 2 * power(v, n) + b;
    switch (n) {
    case 2:
        return -c / 2 * ((v - 1) * (v - 3) - 1) + b;
    case 4:
        return -c / 2 * (power(v - 2, 4) - 2) + b;
    default:
        return c / 2 * (power(v - 2, n) + 2) + b;
    }
}

// Elastic: the amplitude is c, the period p a share of the frame count, the phase p / 4.
float elasticTerm(float x, float d, float p) noexcept {
    const float s = p / 4;
    return std::sin((x * d - s) * (2 * kPi) / p);
}

// Bounce-out from source 0, shared by the In and InOut forms.
float bounceOut(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float u = toFloat(t) / toFloat(d);
    if (u < 1 / 2.75f) return c * (kBounceFactor * u * u) + b;
    if (u < 2 / 2.75f) {
        const float w = u - 1.5f / 2.75f;
        return c * (kBounceFactor * w * w + 0.75f) + b;
    }
    if (u < 2.5f / 2.75f) {
        const float w = u - 2.25f / 2.75f;
        return c * (kBounceFactor * w * w + 0.9375f) + b;
    }
    const float w = u - 2.625f / 2.75f;
    return c * (kBounceFactor * w * w + 0.984375f) + b;
}

} // namespace

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t r;
    if (!__builtin_add_overflow(a, b, &r)) return r;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

std::int64_t saturatingSub(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t r;
    if (!__builtin_sub_overflow(a, b, &r)) return r;
    return b < 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

std::int64_t saturatingMul(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t r;
    if (!__builtin_mul_overflow(a, b, &r)) return r;
    return (a < 0) != (b < 0) ? std::numeric_limits<std::int64_t>::min()
                              : std::numeric_limits<std::int64_t>::max();
}

float easeNone(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return c * toFloat(t) / toFloat(d) + b;
}

float easeInQuad(Frame t, float b, float c, Frame d) noexcept {
    return polyIn(2, t, b, c, d);
}
float easeOutQuad(Frame t, float b, float c, Frame d) noexcept {
    return polyOut(2, t, b, c, d);
}
float easeInOutQuad(Frame t, float b, float c, Frame d) noexcept {
    return polyInOut(2, t, b, c, d);
}
float easeOutInQuad(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutQuad, easeInQuad, t, b, c, d);
}

float easeInCubic(Frame t, float b, float c, Frame d) noexcept {
    return polyIn(3, t, b, c, d);
}
float easeOutCubic(Frame t, float b, float c, Frame d) noexcept {
    return polyOut(3, t, b, c, d);
}
float easeInOutCubic(Frame t, float b, float c, Frame d) noexcept {
    return polyInOut(3, t, b, c, d);
}
float easeOutInCubic(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutCubic, easeInCubic, t, b, c, d);
}

float easeInQuart(Frame t, float b, float c, Frame d) noexcept {
    return polyIn(4, t, b, c, d);
}
float easeOutQuart(Frame t, float b, float c, Frame d) noexcept {
    return polyOut(4, t, b, c, d);
}
float easeInOutQuart(Frame t, float b, float c, Frame d) noexcept {
    return polyInOut(4, t, b, c, d);
}
float easeOutInQuart(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutQuart, easeInQuart, t, b, c, d);
}

float easeInQuint(Frame t, float b, float c, Frame d) noexcept {
    return polyIn(5, t, b, c, d);
}
float easeOutQuint(Frame t, float b, float c, Frame d) noexcept {
    return polyOut(5, t, b, c, d);
}
float easeInOutQuint(Frame t, float b, float c, Frame d) noexcept {
    return polyInOut(5, t, b, c, d);
}
float easeOutInQuint(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutQuint, easeInQuint, t, b, c, d);
}

float easeInSine(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return -c * std::cos(toFloat(t) / toFloat(d) * kPi / 2) + c + b;
}
float easeOutSine(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return c * std::sin(toFloat(t) / toFloat(d) * kPi / 2) + b;
}
float easeInOutSine(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return -c / 2 * (std::cos(kPi * (toFloat(t) / toFloat(d))) - 1) + b;
}
float easeOutInSine(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutSine, easeInSine, t, b, c, d);
}

float easeInExpo(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    if (t == 0) return b;
    return c * pow2(10 * (toFloat(t) / toFloat(d) - 1)) + b;
}
float easeOutExpo(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0 || t == d) return b + c;
    return c * (1 - pow2(-10 * (toFloat(t) / toFloat(d)))) + b;
}
float easeInOutExpo(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0 || t == d) return b + c;
    if (t == 0) return b;
    const float v = toFloat(t) / (toFloat(d) / 2);
    if (v < 1) return c / 2 * pow2(10 * (v - 1)) + b;
    return c / 2 * (2 - pow2(-10 * (v - 1))) + b;
}
float easeOutInExpo(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutExpo, easeInExpo, t, b, c, d);
}

float easeInCirc(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float u = toFloat(t) / toFloat(d);
    return -c * (std::sqrt(1 - u * u) - 1) + b;
}
float easeOutCirc(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float w = toFloat(t) / toFloat(d) - 1;
    return c * std::sqrt(1 - w * w) + b;
}
float easeInOutCirc(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float v = toFloat(t) / (toFloat(d) / 2);
    if (v < 1) return -c / 2 * (std::sqrt(1 - v * v) - 1) + b;
    const float w = v - 2;
    return c / 2 * (std::sqrt(1 - w * w) + 1) + b;
}
float easeOutInCirc(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutCirc, easeInCirc, t, b, c, d);
}

float easeInElastic(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    if (t == 0) return b;
    const float df = toFloat(d);
    const float u = toFloat(t) / df;
    if (u == 1) return b + c;
    const float p = 0.3f * df;
    return -(c * pow2(10 * (u - 1)) * elasticTerm(u - 1, df, p)) + b;
}
float easeOutElastic(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    if (t == 0) return b;
    const float df = toFloat(d);
    const float u = toFloat(t) / df;
    if (u == 1) return b + c;
    const float p = 0.3f * df;
    return c * pow2(-10 * u) * elasticTerm(u, df, p) + c + b;
}
float easeInOutElastic(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    if (t == 0) return b;
    const float df = toFloat(d);
    const float v = toFloat(t) / (df / 2);
    if (v == 2) return b + c;
    const float p = (0.3f * 1.5f) * df; // 0.45000002, as single-precision arithmetic gives it
    if (v < 1) return -0.5f * (c * pow2(10 * (v - 1)) * elasticTerm(v - 1, df, p)) + b;
    return c * pow2(-10 * (v - 1)) * elasticTerm(v - 1, df, p) * 0.5f + c + b;
}
float easeOutInElastic(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutElastic, easeInElastic, t, b, c, d);
}

float easeInBack(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float s = kBackOvershoot;
    const float u = toFloat(t) / toFloat(d);
    return c * u * u * ((s + 1) * u - s) + b;
}
float easeOutBack(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float s = kBackOvershoot;
    const float w = toFloat(t) / toFloat(d) - 1;
    return c * (w * w * ((s + 1) * w + s) + 1) + b;
}
float easeInOutBack(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    const float s = kBackOvershoot * 1.525f;
    const float v = toFloat(t) / (toFloat(d) / 2);
    if (v < 1) return c / 2 * (v * v * ((s + 1) * v - s)) + b;
    const float w = v - 2;
    return c / 2 * (w * w * ((s + 1) * w + s) + 2) + b;
}
float easeOutInBack(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutBack, easeInBack, t, b, c, d);
}

float easeOutBounce(Frame t, float b, float c, Frame d) noexcept {
    return bounceOut(t, b, c, d);
}
float easeInBounce(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    return c - bounceOut(saturatingSub(d, t), 0, c, d) + b;
}
float easeInOutBounce(Frame t, float b, float c, Frame d) noexcept {
    if (d <= 0) return b + c;
    if (toFloat(t) < toFloat(d) / 2) return easeInBounce(saturatingMul(t, 2), 0, c, d) * 0.5f + b;
    return bounceOut(saturatingSub(saturatingMul(t, 2), d), 0, c, d) * 0.5f + c * 0.5f + b;
}
float easeOutInBounce(Frame t, float b, float c, Frame d) noexcept {
    return outIn(easeOutBounce, easeInBounce, t, b, c, d);
}

} // namespace easing

std::optional<EnumEasing> makeEnumEasing(std::int64_t rawValue) noexcept {
    if (rawValue < 0 || rawValue > static_cast<std::int64_t>(EnumEasing::EASING_easeLast))
        return std::nullopt;
    return static_cast<EnumEasing>(rawValue);
}

EasingCurve easingCurve(EnumEasing type) noexcept {
    using namespace easing;
    // In the order of the cases, so a raw value indexes it.
    // clang-format off
    static constexpr EasingCurve kCurves[] = {
        easeNone,
        easeInQuad,    easeOutQuad,    easeInOutQuad,    easeOutInQuad,
        easeInCubic,   easeOutCubic,   easeInOutCubic,   easeOutInCubic,
        easeInQuart,   easeOutQuart,   easeInOutQuart,   easeOutInQuart,
        easeInQuint,   easeOutQuint,   easeInOutQuint,   easeOutInQuint,
        easeInSine,    easeOutSine,    easeInOutSine,    easeOutInSine,
        easeInExpo,    easeOutExpo,    easeInOutExpo,    easeOutInExpo,
        easeInCirc,    easeOutCirc,    easeInOutCirc,    easeOutInCirc,
        easeInElastic, easeOutElastic, easeInOutElastic, easeOutInElastic,
        easeInBack,    easeOutBack,    easeInOutBack,    easeOutInBack,
        easeInBounce,  easeOutBounce,  easeInOutBounce,  easeOutInBounce,
    };
    // clang-format on
    static_assert(std::size(kCurves) == static_cast<std::size_t>(EnumEasing::EASING_easeLast));
    const auto raw = static_cast<std::size_t>(type);
    return raw < std::size(kCurves) ? kCurves[raw] : easeNone;
}
