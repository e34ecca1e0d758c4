#include <gtest/gtest.h>

#include "OrvexCompressorViewBase.h"
#include "PanelSymbols.h"
#include "ProbeHelpers.h"
#include "ResizingBehavior.h"

using pf::CGPoint;
using pf::CGRect;
using pf::CGSize;
using R0 = OrvexCompressorViewBase::ResizingBehavior0;
using R = OrvexCompressorViewBase::ResizingBehavior;

namespace {

const CGRect kDesign{0, 0, 512, 340};

struct Hotspot {
    const char* name;
    pf::UIBezierPath OrvexCompressorViewBase::*path;
    CGRect rect; // design units
};

const Hotspot kHotspots[] = {
    {"attack", &OrvexCompressorViewBase::hotspotAttackPath, {39, 44, 90, 98}},
    {"release", &OrvexCompressorViewBase::hotspotReleasePath, {137, 44, 90, 98}},
    {"threshold", &OrvexCompressorViewBase::hotspotThresholdPath, {284, 45, 90, 98}},
    {"ratio", &OrvexCompressorViewBase::hotspotRatioPath, {384, 45, 90, 98}},
    {"gain", &OrvexCompressorViewBase::hotspotGainPath, {39, 153, 90, 98}},
    {"mix", &OrvexCompressorViewBase::hotspotMixPath, {384, 158, 90, 98}},
    {"bypass", &OrvexCompressorViewBase::hotspotBypassPath, {44, 266, 90, 36}},
    {"audition", &OrvexCompressorViewBase::hotspotAuditionPath, {380, 264, 90, 36}},
    {"caption", &OrvexCompressorViewBase::hotspotCaptionPath, {166, 264, 180, 36}},
    {"mode", &OrvexCompressorViewBase::hotspotModePath, {227, 54, 57, 45}},
    {"meter", &OrvexCompressorViewBase::hotspotMeterPath, {166, 151, 180, 90}},
};

} // namespace

class HotspotMap : public ::testing::TestWithParam<CGSize> {};

TEST_P(HotspotMap, EveryHotspotCentreInViewPointsMapsBackToItsOwnControlOnly) {
    const CGSize size = GetParam();
    OrvexCompressorViewBase base;
    pf::BitmapContext bmp(static_cast<int>(size.width), static_cast<int>(size.height));
    pf::ScopedCurrentContext current(bmp.context());
    base.drawMain({0, 0, size.width, size.height}, R0::aspectFit);
    const double s = size.width / 512;
    EXPECT_EQ(base.viewScale, (CGSize{s, s}));
    for (const Hotspot& h : kHotspots) {
        EXPECT_EQ((base.*h.path).bounds(), h.rect) << h.name << ": design units, whatever the size";
        // A touch at the control's centre in view points, mapped as the touch code maps it.
        const CGPoint touch{h.rect.midX() * s, h.rect.midY() * s};
        const CGPoint design{touch.x / base.viewScale.width, touch.y / base.viewScale.height};
        for (const Hotspot& other : kHotspots)
            EXPECT_EQ((base.*other.path).contains(design), &other == &h)
                << h.name << " vs " << other.name;
    }
    for (const Hotspot& h : kHotspots)
        EXPECT_FALSE((base.*h.path).contains({133, 50})) << h.name;
}

INSTANTIATE_TEST_SUITE_P(PanelSizes, HotspotMap,
                         ::testing::Values(CGSize{1024, 680}, CGSize{768, 510}));

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
