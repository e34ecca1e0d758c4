#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <utility>

#include "core/NSError.h"
#include "core/SwiftText.h"

namespace {

// Shortest round-trip digits with at least one fractional digit; exponent form (with two exponent
// digits at least) below 1e-4 and from 2^54 (2^25 for floats) on.
TEST(SwiftText, NumbersUseShortestRoundTripTextInPositionalOrExponentForm) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, const char*> doubles[] = {
        {1.0, "1.0"},
        {0.1, "0.1"},
        {44100.0, "44100.0"},
        {static_cast<double>(0.3f), "0.30000001192092896"},
        {-2.5, "-2.5"},
        {0.0001, "0.0001"},
        {9007199254740992.0, "9007199254740992.0"},
        {1e-7, "1e-07"},
        {0.00001, "1e-05"},
        {1e20, "1e+20"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {kNan, "nan"},
        {-kInf, "-inf"}};
    for (auto [value, text] : doubles)
        EXPECT_EQ(pf::swiftText(value), text) << text;
    const std::pair<float, const char*> floats[] = {
        {0.3f, "0.3"},    {16777216.0f, "16777216.0"},
        {1e10f, "1e+10"}, {FLT_MIN, "1.1754944e-38"},
        {-0.0f, "-0.0"},  {std::numeric_limits<float>::infinity(), "inf"}};
    for (auto [value, text] : floats)
        EXPECT_EQ(pf::swiftText(value), text);
}

TEST(NSError, DescriptionsFollowThePlatformWording) {
    const pf::NSError status(pf::NSOSStatusErrorDomain, -66742);
    EXPECT_EQ(status.localizedDescription(),
              "The operation couldn\u2019t be completed. (OSStatus error -66742.)");
    EXPECT_EQ(status.debugDescription(),
              "Error Domain=NSOSStatusErrorDomain Code=-66742 \"(null)\"");
    const pf::NSError described("MyDomain", 7, {{pf::NSLocalizedDescriptionKey, "Broken."}});
    EXPECT_EQ(described.localizedDescription(), "Broken.");
    EXPECT_EQ(described.debugDescription(),
              "Error Domain=MyDomain Code=7 \"Broken.\" UserInfo={NSLocalizedDescription=Broken.}");
    EXPECT_EQ(pf::NSError("Other", 3).localizedDescription(),
              "The operation couldn\u2019t be completed. (Other error 3.)");
}

} // namespace
