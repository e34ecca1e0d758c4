#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "EnumEasing.h"

namespace {

using Frame = std::int64_t;

constexpr int kCurveCount = 41; // easeNone and ten families of four: In, Out, InOut, OutIn

const char* kFamilies[10] = {"Quad", "Cubic", "Quart",   "Quint", "Sine",
                             "Expo", "Circ",  "Elastic", "Back",  "Bounce"};
const char* kVariants[4] = {"In", "Out", "InOut", "OutIn"};

// Each family's curves (In, Out, InOut, OutIn) from 0 to 1 at frame 7 of 10, and at frame 3 of 7
// (with an odd count the frame below the middle belongs to an OutIn curve's in-half, taken at
// frame -1). easeNone gives 0.7 and 3/7.
const float kAt7Of10[10][4] = {
    {0.48999998f, 0.909999967f, 0.819999993f, 0.579999983f},
    {0.342999995f, 0.97299999f, 0.89199996f, 0.532000005f},
    {0.240099996f, 0.991900027f, 0.935199976f, 0.512799978f},
    {0.168069988f, 0.997569978f, 0.961120009f, 0.505119979f},
    {0.546009481f, 0.891006529f, 0.793892622f, 0.595491529f},
    {0.125f, 0.9921875f, 0.96875f, 0.5078125f},
    {0.285857141f, 0.953939199f, 0.899999976f, 0.541742444f},
    {0.125f, 1.00390625f, 0.976061106f, 0.5078125f},
    {0.0928677171f, 1.0801996f, 1.07883346f, 0.450324148f},
    {0.319374919f, 0.930624962f, 0.955000043f, 0.613749981f},
};
const float kAt3Of7[10][4] = {
    {0.183673471f, 0.673469365f, 0.367346942f, 0.510204077f},
    {0.0787172019f, 0.813411117f, 0.314868808f, 0.498542279f},
    {0.0337359458f, 0.893377781f, 0.269887567f, 0.500208259f},
    {0.0144582624f, 0.939073026f, 0.231332198f, 0.499970257f},
    {0.218168557f, 0.623489857f, 0.388739586f, 0.512536049f},
    {0.0190470926f, 0.948729038f, 0.185749292f, 0.500181377f},
    {0.0964921117f, 0.820651829f, 0.242460638f, 0.505128324f},
    {0.0157374293f, 1.04619348f, -0.0763962418f, 0.50006628f},
    {-0.0998742953f, 1.0515331f, 0.178692833f, 0.47869876f},
    {0.244897962f, 0.853316367f, 0.422831625f, 0.373724401f},
};

std::string nameOf(int raw) {
    return raw == 0 ? "None" : std::string(kVariants[(raw - 1) % 4]) + kFamilies[(raw - 1) / 4];
}

EasingCurve curveOf(int raw) {
    return easingCurve(static_cast<EnumEasing>(raw));
}

class EveryCurve : public testing::TestWithParam<int> {};

// The curve's known points, its ends (source at frame 0, destination at the last frame), for a
// run of no frames or a negative count the end value instead of a division by zero, and frames
// far past either end: their arithmetic (2t, 2t - d, d - t) saturates, so the OutIn and Bounce
// curves stay far out instead of wrapping round to a value near the run, and the sanitizer build
// sees no overflow in any curve.
TEST_P(EveryCurve, PassesThroughItsKnownPointsFromSourceToDestination) {
    const int raw = GetParam();
    const EasingCurve curve = curveOf(raw);
    const float at7 = raw == 0 ? 0.7f : kAt7Of10[(raw - 1) / 4][(raw - 1) % 4];
    EXPECT_NEAR(curve(7, 0, 1, 10), at7, 1e-6f);
    EXPECT_NEAR(curve(3, 0, 1, 7), raw == 0 ? 3.0f / 7 : kAt3Of7[(raw - 1) / 4][(raw - 1) % 4],
                1e-6f);
    EXPECT_NEAR(curve(7, 3, -4, 10), 3 - 4 * at7, 1e-5f);

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
    constexpr Frame kMax = std::numeric_limits<Frame>::max();
    constexpr Frame kMin = std::numeric_limits<Frame>::min();
    for (Frame d : {Frame{10}, kMax})
        (void)curve(kMax, 0, 1, d), (void)curve(kMin, 0, 1, d);
    if (raw == 4 || raw >= 37) {
        EXPECT_GT(std::fabs(curve(kMax, 0, 1, 10)), 1e30f);
        EXPECT_GT(std::fabs(curve(kMin, 0, 1, 10)), 1e30f);
    }
}

INSTANTIATE_TEST_SUITE_P(Easing, EveryCurve, testing::Range(0, kCurveCount),
                         [](const testing::TestParamInfo<int>& info) {
                             return nameOf(info.param);
                         });

} // namespace
