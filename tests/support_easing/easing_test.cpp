#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "EnumEasing.h"

namespace {

using Frame = std::int64_t;

constexpr int kCurveCount = 41; // easeNone and ten families of four

EnumEasing caseOf(int raw) {
    return static_cast<EnumEasing>(raw);
}

// The curve formulas, written out again in single precision. The family of raw value r >= 1 is
// (r - 1) / 4 and its kind (r - 1) % 4: In, Out, InOut, OutIn.
float reference(int raw, Frame ti, float b, float c, Frame di) {
    const float t = static_cast<float>(ti), d = static_cast<float>(di);
    const float pi = std::numbers::pi_v<float>;
    if (raw == 0) return c * t / d + b;
    const int family = (raw - 1) / 4, kind = (raw - 1) % 4;
    if (kind == 3) {
        const int in = raw - 3, out = raw - 2;
        if (ti < di / 2) return reference(out, 2 * ti, b, c / 2, di);
        return reference(in, 2 * ti - di, b + c / 2, c / 2, di);
    }
    const float u = t / d;
    const float v = t / (d / 2);
    switch (family) {
    case 0:
    case 1:
    case 2:
    case 3: {
        const float n = static_cast<float>(family + 2);
        const bool even = family % 2 == 0;
        if (kind == 0) return c * std::pow(u, n) + b;
        if (kind == 1) {
            if (family == 0) return -c * u * (u - 2) + b;
            if (family == 2) return -c * (std::pow(u - 1, 4.0f) - 1) + b;
            return c * (std::pow(u - 1, n) + 1) + b;
        }
        if (v < 1) return c / 2 * std::pow(v, n) + b;
        if (family == 0) return -c / 2 * ((v - 1) * (v - 3) - 1) + b;
        if (even) return -c / 2 * (std::pow(v - 2, n) - 2) + b;
        return c / 2 * (std::pow(v - 2, n) + 2) + b;
    }
    case 4: // Sine
        if (kind == 0) return -c * std::cos(u * pi / 2) + c + b;
        if (kind == 1) return c * std::sin(u * pi / 2) + b;
        return -c / 2 * (std::cos(pi * u) - 1) + b;
    case 5: // Expo
        if (kind == 0) return t == 0 ? b : c * std::pow(2.0f, 10 * (u - 1)) + b;
        if (kind == 1) return t == d ? b + c : c * (1 - std::pow(2.0f, -10 * u)) + b;
        if (t == 0) return b;
        if (t == d) return b + c;
        if (v < 1) return c / 2 * std::pow(2.0f, 10 * (v - 1)) + b;
        return c / 2 * (2 - std::pow(2.0f, -10 * (v - 1))) + b;
    case 6: // Circ
        if (kind == 0) return -c * (std::sqrt(1 - u * u) - 1) + b;
        if (kind == 1) return c * std::sqrt(1 - (u - 1) * (u - 1)) + b;
        if (v < 1) return -c / 2 * (std::sqrt(1 - v * v) - 1) + b;
        return c / 2 * (std::sqrt(1 - (v - 2) * (v - 2)) + 1) + b;
    case 7: { // Elastic: amplitude c, period a share of d, phase p / 4
        if (t == 0) return b;
        if (kind == 0 || kind == 1) {
            if (u == 1) return b + c;
            const float p = 0.3f * d, s = p / 4;
            if (kind == 0)
                return -(c * std::pow(2.0f, 10 * (u - 1)) *
                         std::sin(((u - 1) * d - s) * (2 * pi) / p)) +
                       b;
            return c * std::pow(2.0f, -10 * u) * std::sin((u * d - s) * (2 * pi) / p) + c + b;
        }
        if (v == 2) return b + c;
        const float p = 0.45000002f * d, s = p / 4;
        const float wave = std::sin(((v - 1) * d - s) * (2 * pi) / p);
        if (v < 1) return -0.5f * (c * std::pow(2.0f, 10 * (v - 1)) * wave) + b;
        return c * std::pow(2.0f, -10 * (v - 1)) * wave * 0.5f + c + b;
    }
    case 8: { // Back
        const float s = 1.70158f, s2 = 2.5949095f;
        if (kind == 0) return c * u * u * ((s + 1) * u - s) + b;
        if (kind == 1) return c * ((u - 1) * (u - 1) * ((s + 1) * (u - 1) + s) + 1) + b;
        if (v < 1) return c / 2 * (v * v * ((s2 + 1) * v - s2)) + b;
        return c / 2 * ((v - 2) * (v - 2) * ((s2 + 1) * (v - 2) + s2) + 2) + b;
    }
    default: { // Bounce
        auto out = [](Frame tf, float bb, float cc, Frame df) {
            const float w = static_cast<float>(tf) / static_cast<float>(df);
            if (w < 1 / 2.75f) return cc * (7.5625f * w * w) + bb;
            if (w < 2 / 2.75f)
                return cc * (7.5625f * (w - 1.5f / 2.75f) * (w - 1.5f / 2.75f) + 0.75f) + bb;
            if (w < 2.5f / 2.75f)
                return cc * (7.5625f * (w - 2.25f / 2.75f) * (w - 2.25f / 2.75f) + 0.9375f) + bb;
            return cc * (7.5625f * (w - 2.625f / 2.75f) * (w - 2.625f / 2.75f) + 0.984375f) + bb;
        };
        auto in = [&](Frame tf, float bb, float cc, Frame df) {
            return cc - out(df - tf, 0, cc, df) + bb;
        };
        if (kind == 0) return in(ti, b, c, di);
        if (kind == 1) return out(ti, b, c, di);
        if (t < d / 2) return in(2 * ti, 0, c, di) * 0.5f + b;
        return out(2 * ti - di, 0, c, di) * 0.5f + c * 0.5f + b;
    }
    }
}

const char* kNames[kCurveCount] = {
    "easeNone",       "easeInQuad",       "easeOutQuad",      "easeInOutQuad",  "easeOutInQuad",
    "easeInCubic",    "easeOutCubic",     "easeInOutCubic",   "easeOutInCubic", "easeInQuart",
    "easeOutQuart",   "easeInOutQuart",   "easeOutInQuart",   "easeInQuint",    "easeOutQuint",
    "easeInOutQuint", "easeOutInQuint",   "easeInSine",       "easeOutSine",    "easeInOutSine",
    "easeOutInSine",  "easeInExpo",       "easeOutExpo",      "easeInOutExpo",  "easeOutInExpo",
    "easeInCirc",     "easeOutCirc",      "easeInOutCirc",    "easeOutInCirc",  "easeInElastic",
    "easeOutElastic", "easeInOutElastic", "easeOutInElastic", "easeInBack",     "easeOutBack",
    "easeInOutBack",  "easeOutInBack",    "easeInBounce",     "easeOutBounce",  "easeInOutBounce",
    "easeOutInBounce"};

bool isOutIn(int raw) {
    return raw > 0 && (raw - 1) % 4 == 3;
}

float tolerance(float b, float c) {
    return 4e-6f * (1 + std::fabs(b) + std::fabs(c));
}

struct CurveRun {
    float b, c;
    Frame d;
};

class EveryCurve : public testing::TestWithParam<int> {};

TEST_P(EveryCurve, MatchesItsFormulaAtStartMiddleAndEnd) {
    const int raw = GetParam();
    const EasingCurve curve = easingCurve(caseOf(raw));
    const std::vector<CurveRun> runs = {{0, 1, 10},      {0, 1, 7},        {5, -3, 1}, {5, -3, 2},
                                        {-2, 0.25f, 60}, {100, 400, 1001}, {1, -1, 9}};
    for (const CurveRun& r : runs) {
        for (Frame t : {Frame{0}, r.d / 2, r.d}) {
            SCOPED_TRACE(testing::Message() << kNames[raw] << " b=" << r.b << " c=" << r.c
                                            << " d=" << r.d << " t=" << t);
            EXPECT_NEAR(curve(t, r.b, r.c, r.d), reference(raw, t, r.b, r.c, r.d),
                        tolerance(r.b, r.c));
        }
    }
}

TEST_P(EveryCurve, StartsAtTheSourceAndEndsAtTheDestination) {
    const int raw = GetParam();
    const EasingCurve curve = easingCurve(caseOf(raw));
    for (Frame d : {1, 2, 3, 10, 240}) {
        SCOPED_TRACE(testing::Message() << kNames[raw] << " d=" << d);
        EXPECT_NEAR(curve(d, 3, -5, d), -2, tolerance(3, 5));
        if (!isOutIn(raw) || d >= 2) {
            EXPECT_NEAR(curve(0, 3, -5, d), 3, tolerance(3, 5));
        }
    }
}

// Fault S14: a run of no frames divided by zero.
TEST_P(EveryCurve, NoFramesGiveTheEndValue) {
    const int raw = GetParam();
    const EasingCurve curve = easingCurve(caseOf(raw));
    for (Frame t : {Frame{0}, Frame{1}, Frame{-1}}) {
        EXPECT_EQ(curve(t, 2, 3, 0), 5.0f) << kNames[raw];
        EXPECT_EQ(curve(t, 2, 3, -4), 5.0f) << kNames[raw];
    }
}

// Fault S14: the frame arithmetic of OutIn and Bounce (2t, 2t - d, d - t) overflowed 64 bits.
// Saturated, frames past the end carry on past the end; wrapped, they would turn negative.
TEST_P(EveryCurve, ExtremeFramesNeitherOverflowNorWrap) {
    const int raw = GetParam();
    const EasingCurve curve = easingCurve(caseOf(raw));
    for (Frame t : {std::numeric_limits<Frame>::max(), std::numeric_limits<Frame>::min()}) {
        for (Frame d : {Frame{10}, std::numeric_limits<Frame>::max()})
            (void)curve(t, 0, 1, d);
    }
    if (raw == 4 || raw == 39 || raw == 40) { // OutInQuad, InOutBounce, OutInBounce
        EXPECT_GT(std::fabs(curve(std::numeric_limits<Frame>::max(), 0, 1, 10)), 1e30f)
            << kNames[raw];
    }
}

INSTANTIATE_TEST_SUITE_P(Easing, EveryCurve, testing::Range(0, kCurveCount),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(kNames[info.param]);
                         });

TEST(EnumEasing, RawValuesMapToCasesAndBack) {
    for (std::int64_t raw = 0; raw <= 41; ++raw) {
        const auto type = makeEnumEasing(raw);
        ASSERT_TRUE(type.has_value()) << raw;
        EXPECT_EQ(rawValue(*type), raw);
    }
    EXPECT_FALSE(makeEnumEasing(42).has_value());
    EXPECT_FALSE(makeEnumEasing(-1).has_value());
    EXPECT_EQ(rawValue(EnumEasing::EASING_easeOutInBounce), 40);
    EXPECT_EQ(rawValue(EnumEasing::EASING_easeLast), 41);
}

TEST(EnumEasing, EachCaseInstallsTheCurveItIsNamedAfter) {
    const EasingCurve byName[kCurveCount] = {
        easing::easeNone,        easing::easeInQuad,       easing::easeOutQuad,
        easing::easeInOutQuad,   easing::easeOutInQuad,    easing::easeInCubic,
        easing::easeOutCubic,    easing::easeInOutCubic,   easing::easeOutInCubic,
        easing::easeInQuart,     easing::easeOutQuart,     easing::easeInOutQuart,
        easing::easeOutInQuart,  easing::easeInQuint,      easing::easeOutQuint,
        easing::easeInOutQuint,  easing::easeOutInQuint,   easing::easeInSine,
        easing::easeOutSine,     easing::easeInOutSine,    easing::easeOutInSine,
        easing::easeInExpo,      easing::easeOutExpo,      easing::easeInOutExpo,
        easing::easeOutInExpo,   easing::easeInCirc,       easing::easeOutCirc,
        easing::easeInOutCirc,   easing::easeOutInCirc,    easing::easeInElastic,
        easing::easeOutElastic,  easing::easeInOutElastic, easing::easeOutInElastic,
        easing::easeInBack,      easing::easeOutBack,      easing::easeInOutBack,
        easing::easeOutInBack,   easing::easeInBounce,     easing::easeOutBounce,
        easing::easeInOutBounce, easing::easeOutInBounce};
    for (int raw = 0; raw < kCurveCount; ++raw)
        EXPECT_EQ(easingCurve(caseOf(raw)), byName[raw]) << kNames[raw];
    EXPECT_EQ(easingCurve(EnumEasing::EASING_easeLast), easing::easeNone);
}

TEST(EasingValues, KnownPointsOfTenFrameRuns) {
    EXPECT_NEAR(easing::easeOutQuart(1, 0, 1, 10), 0.3439f, 1e-6f);
    EXPECT_FLOAT_EQ(easing::easeOutQuart(10, 0, 1, 10), 1.0f);
    EXPECT_FLOAT_EQ(easing::easeInOutExpo(5, 0, 1, 10), 0.5f);
    EXPECT_FLOAT_EQ(easing::easeInOutExpo(2, 0, 1, 10), 0.0078125f);
    EXPECT_FLOAT_EQ(easing::easeOutBounce(5, 0, 1, 10), 0.765625f);
    EXPECT_FLOAT_EQ(easing::easeInBounce(5, 0, 1, 10), 0.234375f);
    EXPECT_FLOAT_EQ(easing::easeOutInQuad(5, 0, 1, 10), 0.5f);
}

// With an odd frame count the frame just below the middle belongs to the in-half, evaluated at
// frame -1: for 7 frames, frame 3 is In(-1, b + c/2, c/2, 7).
TEST(EasingValues, OutInTakesTheFrameBelowAnOddMiddleIntoTheInHalfAtFrameMinusOne) {
    EXPECT_NEAR(easing::easeOutInQuad(3, 0, 1, 7), 0.5102f, 1e-4f);
    EXPECT_FLOAT_EQ(easing::easeOutInQuad(3, 0, 1, 7), 0.5f + 0.5f / 49);
    const struct {
        EasingCurve outIn, in, out;
    } families[] = {
        {easing::easeOutInQuad, easing::easeInQuad, easing::easeOutQuad},
        {easing::easeOutInCubic, easing::easeInCubic, easing::easeOutCubic},
        {easing::easeOutInQuart, easing::easeInQuart, easing::easeOutQuart},
        {easing::easeOutInQuint, easing::easeInQuint, easing::easeOutQuint},
        {easing::easeOutInSine, easing::easeInSine, easing::easeOutSine},
        {easing::easeOutInExpo, easing::easeInExpo, easing::easeOutExpo},
        {easing::easeOutInCirc, easing::easeInCirc, easing::easeOutCirc},
        {easing::easeOutInElastic, easing::easeInElastic, easing::easeOutElastic},
        {easing::easeOutInBack, easing::easeInBack, easing::easeOutBack},
        {easing::easeOutInBounce, easing::easeInBounce, easing::easeOutBounce},
    };
    for (const auto& f : families) {
        EXPECT_EQ(f.outIn(3, 2, 6, 7), f.in(-1, 5, 3, 7));
        EXPECT_EQ(f.outIn(2, 2, 6, 7), f.out(4, 2, 3, 7));
        EXPECT_EQ(f.outIn(7, 2, 6, 7), f.in(7, 5, 3, 7));
        // The composition helper gives the same curve from any Out and In.
        EXPECT_EQ(easing::outIn(f.out, f.in, 3, 2, 6, 7), f.outIn(3, 2, 6, 7));
    }
}

TEST(EasingValues, BackAndElasticOvershootTheirRange) {
    bool below = false, above = false;
    for (Frame t = 1; t < 60; ++t) {
        below |= easing::easeInBack(t, 0, 1, 60) < 0;
        above |= easing::easeOutBack(t, 0, 1, 60) > 1;
        above |= easing::easeOutElastic(t, 0, 1, 60) > 1;
        below |= easing::easeInElastic(t, 0, 1, 60) < 0;
    }
    EXPECT_TRUE(below);
    EXPECT_TRUE(above);
}

} // namespace
