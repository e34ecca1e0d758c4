#include <gtest/gtest.h>

#include <cairo.h>

#include <limits>

#include "OrvexCompressorViewBase.h"
#include "PanelSymbols.h"
#include "ProbeHelpers.h"

using pf::CGRect;
using R = OrvexCompressorViewBase::ResizingBehavior;

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

TEST(NeedleRule, AnglesSweepSymmetricallyAboutStraightUp) {
    EXPECT_DOUBLE_EQ(panel::needleAngle(0, panel::kKnobSweep), 145);
    EXPECT_DOUBLE_EQ(panel::needleAngle(1, panel::kKnobSweep), -145);
    EXPECT_DOUBLE_EQ(panel::needleAngle(1.5, panel::kMeterSweep), -180) << "straight down";
}

TEST(NeedleRule, ValueZeroTurnsTheKnobPointerAnticlockwiseTowardsTheLeftDot) {
    // The knob alone, 1:1, on black: probe 12 units from the pivot along +-145 degrees.
    const double s = std::sin(145 * M_PI / 180), c = std::cos(145 * M_PI / 180);
    const pf::CGPoint left{46 - 12 * s, 45.5 - 12 * c}, right{46 + 12 * s, 45.5 - 12 * c};
    for (double v : {0.0, 1.0}) {
        pf::BitmapContext bmp(90, 90, 4);
        bmp.image().fill(pf::UIColor::black());
        pf::ScopedCurrentContext current(bmp.context());
        OrvexCompressorViewBase base;
        base.drawSymbolKnob({0, 0, 90, 90}, R::aspectFit, v, "attack", false);
        const pf::CGPoint ink = v == 0 ? left : right, empty = v == 0 ? right : left;
        EXPECT_TRUE(pixelNear(bmp.image(), ink.x * 4, ink.y * 4, 192, 192, 192)) << "v=" << v;
        EXPECT_TRUE(isBlack(bmp.image(), empty.x * 4, empty.y * 4)) << "v=" << v;
    }
}

// A NaN needle must not reach Cairo (it would stop all later drawing) nor be drawn.
TEST(NeedleRule, ANonFiniteValueDrawsNoNeedleAndLaterDrawingStillWorks) {
    pf::BitmapContext bmp(90, 90, 2);
    bmp.image().fill(pf::UIColor::black());
    pf::CGContext& ctx = bmp.context();
    pf::ScopedCurrentContext current(ctx);
    OrvexCompressorViewBase base;
    base.drawSymbolKnob({0, 0, 90, 90}, R::aspectFit, std::nan(""), "attack", false);
    EXPECT_TRUE(isBlack(bmp.image(), 46 * 2, 36 * 2)) << "no pointer";
    EXPECT_TRUE(pixelNear(bmp.image(), 46 * 2, 19.5 * 2, 192, 192, 192)) << "the ring is drawn";
    base.drawSymbolKnob({0, 0, 90, 90}, R::aspectFit, 0.5, "attack", false);
    EXPECT_TRUE(pixelNear(bmp.image(), 46 * 2, 36 * 2, 192, 192, 192)) << "the next pointer is";
    EXPECT_EQ(cairo_status(ctx.cairo()), CAIRO_STATUS_SUCCESS);
}

TEST(SymbolHygiene, TwoSymbolsInARowLeaveNoTransformClipOrDashBehind) {
    pf::BitmapContext bmp(210, 160, 2);
    bmp.image().fill(pf::UIColor::black());
    pf::CGContext& ctx = bmp.context();
    pf::ScopedCurrentContext current(ctx);
    const auto ctm = ctx.ctm();
    const CGRect clip = ctx.clipBoundingBox();
    OrvexCompressorViewBase base;
    base.drawSymbolMeter({0, 50, 206, 106}, R::stretch, 1, 1, 0.5);
    EXPECT_EQ(ctx.ctm(), ctm);
    EXPECT_EQ(ctx.clipBoundingBox(), clip);
    EXPECT_FALSE(ctx.hasLineDash());
    EXPECT_EQ(ctx.gStateDepth(), 0);
    base.drawSymbolButton({0, 0, 86, 38}, R::stretch, false, "");
    // The button's top edge (y = 3, width 2) is one unbroken line: no dash from the meter.
    for (double x = 8; x <= 78; x += 0.5)
        ASSERT_TRUE(pixelNear(bmp.image(), x * 2, 3 * 2, 192, 192, 192)) << "x=" << x;
    EXPECT_EQ(ctx.ctm(), ctm);
    EXPECT_EQ(cairo_status(ctx.cairo()), CAIRO_STATUS_SUCCESS);
}

// A push button's frame takes the selection colour when selected; an empty label draws no text.
TEST(SymbolDrawing, PushButtonFrameTakesTheSelectionColourAndAnEmptyLabelNoText) {
    OrvexCompressorViewBase base;
    for (bool selected : {false, true}) {
        pf::BitmapContext bmp(86, 38, 2);
        pf::ScopedCurrentContext current(bmp.context());
        base.drawSymbolButton({0, 0, 86, 38}, R::aspectFit, selected, "");
        const double r = selected ? 193.8 : 192, gb = selected ? 73.95 : 192;
        EXPECT_TRUE(pixelNear(bmp.image(), 20 * 2, 35 * 2, r, gb, gb)) << selected;
        for (int y = 16; y < 60; ++y)
            for (int x = 16; x < 156; ++x)
                ASSERT_EQ(bmp.image().pixel(x, y).a, 0) << x << "," << y;
    }
}

TEST(SymbolDrawing, NoCurrentContextDrawsNothingAndKeepsTheModel) {
    OrvexCompressorViewBase base;
    base.viewScale = {3, 3};
    base.drawMain({0, 0, 1024, 680});
    base.drawSymbolKnob();
    EXPECT_TRUE(base.hotspotAttackPath.isEmpty());
    EXPECT_EQ(base.viewScale, (pf::CGSize{3, 3}));
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
