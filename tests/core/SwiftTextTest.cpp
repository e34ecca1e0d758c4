#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
        {123456.789, "123456.789"},
        {0.0001, "0.0001"},
        {9007199254740992.0, "9007199254740992.0"},
        {1e-7, "1e-07"},
        {0.00001, "1e-05"},
        {1e20, "1e+20"},
        {-1.5e300, "-1.5e+300"},
        {DBL_MIN, "2.2250738585072014e-308"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {kNan, "nan"},
        {-kNan, "-nan"},
        {-kInf, "-inf"}};
    for (auto [value, text] : doubles)
        EXPECT_EQ(pf::swiftText(value), text);
    const std::pair<float, const char*> floats[] = {
        {0.3f, "0.3"},    {16777216.0f, "16777216.0"},
        {1e10f, "1e+10"}, {FLT_MIN, "1.1754944e-38"},
        {-0.0f, "-0.0"},  {std::numeric_limits<float>::infinity(), "inf"}};
    for (auto [value, text] : floats)
        EXPECT_EQ(pf::swiftText(value), text);
}

TEST(SwiftText, ShortestTextReadsBackToTheSameBits) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 20000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        double d;
        std::memcpy(&d, &state, sizeof d);
        if (!std::isfinite(d)) continue;
        const std::string text = pf::swiftText(d);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
        const float f = static_cast<float>(static_cast<std::uint32_t>(state) * 1e-6);
        ASSERT_EQ(std::strtof(pf::swiftText(f).c_str(), nullptr), f);
    }
}

TEST(SwiftText, BoolsListsAndFormatting) {
    EXPECT_EQ(pf::swiftText(true), "true");
    EXPECT_EQ(pf::swiftText(false), "false");
    EXPECT_EQ(pf::swiftText(42), "42");
    EXPECT_EQ(pf::swiftText(-7LL), "-7");
    EXPECT_EQ(pf::swiftText(std::vector<std::string>{"Orvex Compander MIDI Out"}),
              "[\"Orvex Compander MIDI Out\"]");
    EXPECT_EQ(pf::swiftText(std::vector<std::string>{"a", "b"}), "[\"a\", \"b\"]");
    EXPECT_EQ(pf::swiftText(std::vector<std::string>{}), "[]");
    EXPECT_EQ(pf::swiftText(std::vector<std::string>{"q\"\\\n"}), "[\"q\\\"\\\\\\n\"]");
    EXPECT_EQ(pf::swiftText(std::vector<pf::URL>{pf::URL::fileURLWithPath("/a b", true),
                                                 *pf::URL::string("https://example.org/x")}),
              "[file:///a%20b/, https://example.org/x]");
    EXPECT_EQ(pf::swiftOptionSetText("AudioUnitParameterOptions", 3221225472u),
              "AudioUnitParameterOptions(rawValue: 3221225472)");
    EXPECT_EQ(pf::format("%s=%d %.2f", "x", 3, 0.5), "x=3 0.50");
    EXPECT_EQ(pf::format("%s", std::string(1000, 'y').c_str()).size(), 1000u);
    EXPECT_EQ(pf::format("%s", ""), "");
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
    try {
        throw pf::NSErrorException(status);
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), status.localizedDescription().c_str());
        EXPECT_EQ(dynamic_cast<const pf::NSErrorException&>(e).error().code(), -66742);
    }
}

} // namespace
