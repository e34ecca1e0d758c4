#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "EnumEasing.h"

namespace {

using Frame = std::int64_t;

constexpr int kCurveCount = 41; // easeNone and ten families of four: In, Out, InOut, OutIn

const char* kNames[kCurveCount] = {
    "None",       "InQuad",       "OutQuad",      "InOutQuad",   "OutInQuad",  "InCubic",
    "OutCubic",   "InOutCubic",   "OutInCubic",   "InQuart",     "OutQuart",   "InOutQuart",
    "OutInQuart", "InQuint",      "OutQuint",     "InOutQuint",  "OutInQuint", "InSine",
    "OutSine",    "InOutSine",    "OutInSine",    "InExpo",      "OutExpo",    "InOutExpo",
    "OutInExpo",  "InCirc",       "OutCirc",      "InOutCirc",   "OutInCirc",  "InElastic",
    "OutElastic", "InOutElastic", "OutInElastic", "InBack",      "OutBack",    "InOutBack",
    "OutInBack",  "InBounce",     "OutBounce",    "InOutBounce", "OutInBounce"};

// Each curve from 0 to 1 at frames 2, 5 and 7 of 10, and at frame 3 of 7 (with an odd count the
// frame below the middle belongs to an OutIn curve's in-half, taken at frame -1).
const float kKnown[kCurveCount][4] = {
    {0.200000003f, 0.5f, 0.699999988f, 0.428571433f},
    {0.0400000028f, 0.25f, 0.48999998f, 0.183673471f},
    {0.359999985f, 0.75f, 0.909999967f, 0.673469365f},
    {0.0800000057f, 0.5f, 0.819999993f, 0.367346942f},
    {0.320000023f, 0.5f, 0.579999983f, 0.510204077f},
    {0.00800000038f, 0.125f, 0.342999995f, 0.0787172019f},
    {0.487999976f, 0.875f, 0.97299999f, 0.813411117f},
    {0.0320000015f, 0.5f, 0.89199996f, 0.314868808f},
    {0.39199999f, 0.5f, 0.532000005f, 0.498542279f},
    {0.00160000008f, 0.0625f, 0.240099996f, 0.0337359458f},
    {0.590399981f, 0.9375f, 0.991900027f, 0.893377781f},
    {0.0128000006f, 0.5f, 0.935199976f, 0.269887567f},
    {0.435199976f, 0.5f, 0.512799978f, 0.500208259f},
    {0.000320000021f, 0.03125f, 0.168069988f, 0.0144582624f},
    {0.672320008f, 0.96875f, 0.997569978f, 0.939073026f},
    {0.00512000034f, 0.5f, 0.961120009f, 0.231332198f},
    {0.461120009f, 0.5f, 0.505119979f, 0.499970257f},
    {0.04894346f, 0.292893231f, 0.546009481f, 0.218168557f},
    {0.309017003f, 0.707106769f, 0.891006529f, 0.623489857f},
    {0.0954914987f, 0.5f, 0.793892622f, 0.388739586f},
    {0.293892622f, 0.5f, 0.595491529f, 0.512536049f},
    {0.00390625f, 0.03125f, 0.125f, 0.0190470926f},
    {0.75f, 0.96875f, 0.9921875f, 0.948729038f},
    {0.0078125f, 0.5f, 0.96875f, 0.185749292f},
    {0.46875f, 0.5f, 0.5078125f, 0.500181377f},
    {0.0202041268f, 0.133974612f, 0.285857141f, 0.0964921117f},
    {0.599999964f, 0.866025388f, 0.953939199f, 0.820651829f},
    {0.041742444f, 0.5f, 0.899999976f, 0.242460638f},
    {0.400000006f, 0.5f, 0.541742444f, 0.505128324f},
    {-0.00195312127f, -0.015625013f, 0.125f, 0.0157374293f},
    {1.125f, 1.015625f, 1.00390625f, 1.04619348f},
    {-0.00390624953f, 0.5f, 0.976061106f, -0.0763962418f},
    {0.515625f, 0.5f, 0.5078125f, 0.50006628f},
    {-0.0464505628f, -0.087697506f, 0.0928677171f, -0.0998742953f},
    {0.705802143f, 1.08769751f, 1.0801996f, 1.0515331f},
    {-0.092555657f, 0.5f, 1.07883346f, 0.178692833f},
    {0.514513731f, 0.5f, 0.450324148f, 0.47869876f},
    {0.0600000024f, 0.234375f, 0.319374919f, 0.244897962f},
    {0.30250001f, 0.765625f, 0.930624962f, 0.853316367f},
    {0.113750011f, 0.5f, 0.955000043f, 0.422831625f},
    {0.455000013f, 0.5f, 0.613749981f, 0.373724401f},
};

EasingCurve curveOf(int raw) {
    return easingCurve(static_cast<EnumEasing>(raw));
}

class EveryCurve : public testing::TestWithParam<int> {};

// The curve's known points, its ends (source at frame 0, destination at the last frame), and for
// a run of no frames or a negative count the end value instead of a division by zero.
TEST_P(EveryCurve, PassesThroughItsKnownPointsFromSourceToDestination) {
    const int raw = GetParam();
    const EasingCurve curve = curveOf(raw);
    const float* known = kKnown[raw];
    EXPECT_NEAR(curve(2, 0, 1, 10), known[0], 1e-6f);
    EXPECT_NEAR(curve(5, 0, 1, 10), known[1], 1e-6f);
    EXPECT_NEAR(curve(7, 0, 1, 10), known[2], 1e-6f);
    EXPECT_NEAR(curve(3, 0, 1, 7), known[3], 1e-6f);
    EXPECT_NEAR(curve(7, 3, -4, 10), 3 - 4 * known[2], 1e-5f);

    const bool outIn = raw > 0 && (raw - 1) % 4 == 3;
    for (Frame d : {1, 2, 3, 240}) {
        SCOPED_TRACE(testing::Message() << "d=" << d);
        EXPECT_NEAR(curve(d, 3, -5, d), -2, 3e-5f);
        if (!outIn || d >= 2) {
            EXPECT_NEAR(curve(0, 3, -5, d), 3, 3e-5f);
        }
    }
    for (Frame t : {Frame{0}, Frame{1}, Frame{-1}}) {
        EXPECT_EQ(curve(t, 2, 3, 0), 5.0f);
        EXPECT_EQ(curve(t, 2, 3, -4), 5.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Easing, EveryCurve, testing::Range(0, kCurveCount),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(kNames[info.param]);
                         });

// The frame arithmetic of OutIn and Bounce (2t, 2t - d, d - t) saturates: frames far past either
// end stay far out instead of wrapping round to a value near the run. Every curve is evaluated
// there too, so the sanitizer build sees any overflow.
TEST(EasingFrames, ExtremeFramesSaturateInsteadOfWrapping) {
    constexpr Frame kMax = std::numeric_limits<Frame>::max();
    constexpr Frame kMin = std::numeric_limits<Frame>::min();
    for (int raw = 0; raw < kCurveCount; ++raw) {
        for (Frame t : {kMax, kMin}) {
            for (Frame d : {Frame{10}, kMax})
                (void)curveOf(raw)(t, 0, 1, d);
        }
    }
    for (int raw : {4, 37, 38, 39, 40}) {
        EXPECT_GT(std::fabs(curveOf(raw)(kMax, 0, 1, 10)), 1e30f) << kNames[raw];
        EXPECT_GT(std::fabs(curveOf(raw)(kMin, 0, 1, 10)), 1e30f) << kNames[raw];
    }
}

} // namespace
