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
