#include <gtest/gtest.h>

#include <limits>

#include "OrvexCompressorViewBase.h"
#include "PanelSymbols.h"
#include "ProbeHelpers.h"
#include "ResizingBehavior.h"

using pf::CGRect;
using pf::CGSize;
using R0 = OrvexCompressorViewBase::ResizingBehavior0;
using R = OrvexCompressorViewBase::ResizingBehavior;

namespace {
const CGRect kDesign{0, 0, 512, 340};
} // namespace

// Each behaviour on a wide target: the rectangle it draws in and the scale it stores; the early
// returns (a zero target, and a target equal to the design rectangle) return the design.
TEST(ResizingApply, EachBehaviourPlacesTheDesignAndStoresItsScale) {
    const struct {
        R0 behaviour;
        CGRect target, expected;
        CGSize scale;
    } rows[] = {
        {R0::aspectFit, {0, 0, 1024, 340}, {256, 0, 512, 340}, {1, 1}},
        {R0::aspectFill, {0, 0, 1024, 340}, {0, -170, 1024, 680}, {2, 2}},
        {R0::stretch, {0, 0, 1024, 340}, {0, 0, 1024, 340}, {2, 1}},
        {R0::center, {0, 0, 1024, 340}, {256, 0, 512, 340}, {1, 1}},
        {R0::aspectFit, {0, 0, 1024, 680}, {0, 0, 1024, 680}, {2, 2}},
        // A zero target keeps the stored scale (here the 2 of the row before).
        {R0::aspectFit, CGRect::zero(), kDesign, {2, 2}},
        // Exactly the design size stores the true scale of 1, not the stale 2.
        {R0::aspectFit, kDesign, kDesign, {1, 1}},
    };
    OrvexCompressorViewBase base;
    for (const auto& row : rows) {
        EXPECT_EQ(panel::apply(row.behaviour, kDesign, row.target, base), row.expected)
            << panel::rawValue(row.behaviour);
        EXPECT_EQ(base.viewScale, row.scale) << panel::rawValue(row.behaviour);
    }
    panel::apply(R0::stretch, kDesign, CGRect{0, 0, 1024, 340}, base);
    EXPECT_FLOAT_EQ(base.getScalingFactor(), 2.0f) << "the horizontal factor only";
    // The plain variant centres in an offset target; a negative design width still scales up.
    EXPECT_EQ(panel::apply(R::aspectFit, CGRect{0, 0, 90, 90}, CGRect{10, 20, 180, 90}),
              (CGRect{55, 20, 90, 90}));
    EXPECT_EQ(panel::apply(R::stretch, CGRect{0, 0, -100, 50}, CGRect{0, 0, 200, 100}),
              (CGRect{0, 0, 200, 100}));
    EXPECT_FALSE(panel::resizingFromRawValue<R>(4).has_value());
    EXPECT_FALSE(panel::resizingFromRawValue<R>(-1).has_value());
    EXPECT_EQ(panel::resizingFromRawValue<R0>(3), R0::center);
}

// Rounded half away from zero; non-finite or huge values (which used to trap in the integer
// conversion) give an empty text.
TEST(KnobValueText, RoundsHalvesAwayFromZeroAndGivesNothingForUnprintableValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> rows[] = {{0.125, "13"}, {-0.125, "-13"},
                                                   {0, "0"},      {1.2, "120"},
                                                   {0.7f, "70"},  {9.2e16, "9200000000000000000"},
                                                   {1e17, ""},    {std::nan(""), ""},
                                                   {inf, ""},     {-inf, ""}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(panel::knobValueText(value), text) << value;
}

// The meter's scale is dashed (2 on, 3 off, round caps): along its flat top ink and gaps alternate.
TEST(SymbolDrawing, TheMeterScaleIsDashed) {
    pf::BitmapContext bmp(206, 106, 4);
    bmp.image().fill(pf::UIColor::black());
    pf::ScopedCurrentContext current(bmp.context());
    OrvexCompressorViewBase base;
    base.drawSymbolMeter({0, 0, 206, 106}, R::aspectFit, 0.5, 0.5, 0);
    int ink = 0, gaps = 0;
    for (double x = 96; x <= 118; x += 0.25) {
        if (pixelNear(bmp.image(), x * 4, 3 * 4, 192, 192, 192)) ++ink;
        if (isBlack(bmp.image(), x * 4, 3 * 4)) ++gaps;
    }
    EXPECT_GT(ink, 20);
    EXPECT_GT(gaps, 4);
}

// A selected knob takes the selection colour for its ring, not for its value text.
TEST(SymbolDrawing, ASelectedKnobsValueTextKeepsTheMainColour) {
    pf::BitmapContext bmp(90, 90, 4);
    bmp.image().fill(pf::UIColor::black());
    pf::ScopedCurrentContext current(bmp.context());
    OrvexCompressorViewBase base;
    base.drawSymbolKnob({0, 0, 90, 90}, R::aspectFit, 0.88, "mix", true);
    int grey = 0, red = 0;
    for (int y = 76 * 4; y < 85 * 4; ++y)
        for (int x = 32 * 4; x < 60 * 4; ++x) {
            const pf::RGBA8 p = bmp.image().pixel(x, y);
            grey += p.r > 96 && std::abs(p.r - p.g) < 8;
            red += p.r > p.g + 40;
        }
    EXPECT_GT(grey, 50);
    EXPECT_EQ(red, 0);
}
