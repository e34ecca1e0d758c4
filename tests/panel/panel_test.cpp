#include <gtest/gtest.h>

#include <cairo.h>

#include "OrvexCompressorViewBase.h"
#include "ProbeHelpers.h"
#include "ui/TextDrawing.h"

using pf::CGPoint;
using pf::CGRect;
using pf::CGSize;
using R0 = OrvexCompressorViewBase::ResizingBehavior0;

namespace {

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

// Renders the panel at `size` points (scale 1) on black.
pf::ImageSurface renderPanel(OrvexCompressorViewBase& base, double w, double h) {
    pf::BitmapContext bmp(static_cast<int>(w), static_cast<int>(h));
    bmp.image().fill(pf::UIColor::black());
    {
        pf::ScopedCurrentContext current(bmp.context());
        base.drawMain({0, 0, w, h}, R0::aspectFit);
    }
    return std::move(bmp.image());
}

// A point of a knob symbol (its own 90 x 90 units) in view points of a 1024 x 680 panel.
CGPoint knobPoint(CGPoint anchor, CGPoint local, double factor = 1.1) {
    return {2 * (anchor.x + factor * (-45 + local.x)), 2 * (anchor.y + factor * (-45 + local.y))};
}

} // namespace

class HotspotMap : public ::testing::TestWithParam<CGSize> {};

TEST_P(HotspotMap, EveryHotspotCentreInViewPointsMapsBackToItsOwnControlOnly) {
    const CGSize size = GetParam();
    OrvexCompressorViewBase base;
    for (const Hotspot& h : kHotspots)
        EXPECT_TRUE((base.*h.path).isEmpty()) << h.name;
    renderPanel(base, size.width, size.height);
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
    EXPECT_TRUE(base.hotspotAttackPath.contains({40, 50}));
    EXPECT_TRUE(base.hotspotModePath.contains({250, 70}));
    EXPECT_TRUE(base.hotspotCaptionPath.contains({200, 280}));
    for (const Hotspot& h : kHotspots)
        EXPECT_FALSE((base.*h.path).contains({133, 50})) << h.name;
}

INSTANTIATE_TEST_SUITE_P(PanelSizes, HotspotMap,
                         ::testing::Values(CGSize{1024, 680}, CGSize{768, 510}));

TEST(PanelPixels, OutlineKnobPointersSelectionAndModeFillAtTwiceTheDesignSize) {
    OrvexCompressorViewBase base;
    base.valueAttack = 0;
    base.valueGain = 1;
    base.isMixSelected = true;
    const pf::ImageSurface img = renderPanel(base, 1024, 680);

    // Outline: left edge x = 16.5, 3 units (6 points) wide, in colorMain, corner radius 10.
    for (int x = 30; x < 36; ++x)
        EXPECT_TRUE(pixelNear(img, x, 340, 192, 192, 192)) << x;
    EXPECT_TRUE(isBlack(img, 28, 340));
    EXPECT_TRUE(isBlack(img, 38, 340)) << "inside the outline";
    EXPECT_TRUE(isBlack(img, 33, 39)) << "the corner of the outline's bounding box";

    // Release knob at 0.5: the pointer stands straight up from its pivot (46, 45.5).
    const CGPoint release{182, 94};
    const CGPoint mid = knobPoint(release, {46, 36.5});
    EXPECT_TRUE(pixelNear(img, mid.x, mid.y, 192, 192, 192));
    const CGPoint gap = knobPoint(release, {46, 23.5});
    EXPECT_TRUE(isBlack(img, gap.x, gap.y)) << "between the pointer's tip and the ring";

    // Attack at 0 (145 degrees anticlockwise) and gain at 1 (clockwise), 12 units out.
    const double sn = std::sin(145 * M_PI / 180), cs = std::cos(145 * M_PI / 180);
    const CGPoint lower_left{46 - 12 * sn, 45.5 - 12 * cs},
        lower_right{46 + 12 * sn, 45.5 - 12 * cs};
    CGPoint p = knobPoint({83, 94}, lower_left);
    EXPECT_TRUE(pixelNear(img, p.x, p.y, 192, 192, 192));
    p = knobPoint({83, 94}, lower_right);
    EXPECT_TRUE(isBlack(img, p.x, p.y));
    p = knobPoint({83.5, 201.5}, lower_right);
    EXPECT_TRUE(pixelNear(img, p.x, p.y, 192, 192, 192));
    p = knobPoint({83.5, 201.5}, lower_left);
    EXPECT_TRUE(isBlack(img, p.x, p.y));

    // A selected knob's ring (top at (46, 19.5)) is colorSelected1.
    p = knobPoint({428.5, 201.5}, {46, 19.5});
    EXPECT_TRUE(pixelNear(img, p.x, p.y, 193.8, 73.95, 73.95));
    p = knobPoint({83, 94}, {46, 19.5});
    EXPECT_TRUE(pixelNear(img, p.x, p.y, 192, 192, 192)) << "an unselected ring";

    // Mode button: colorSelected1 at alpha 0.3 over black, left of its label.
    const CGPoint fill{2 * (256.7 + 1.1 * (-27 + 8)), 2 * (74.7 + 1.1 * (-13 + 7))};
    EXPECT_TRUE(pixelNear(img, fill.x, fill.y, 0.3 * 193.8, 0.3 * 73.95, 0.3 * 73.95));

    // The threshold needle of the meter: colorMain at alpha 0.2, straight up from (256.5, 233.5).
    EXPECT_TRUE(pixelNear(img, 2 * 256.5, 2 * (233.5 - 60), 0.2 * 192, 0.2 * 192, 0.2 * 192));
}

TEST(PanelPixels, ATouchedKnobGrowsToOneAndAHalfAboutItsAnchor) {
    OrvexCompressorViewBase base;
    const pf::ImageSurface rest = renderPanel(base, 1024, 680);
    base.isRatioActive = true;
    const pf::ImageSurface active = renderPanel(base, 1024, 680);
    // The ring's left edge (21, 44.5) moves from 1.1 to 1.5 times its offset from the anchor.
    CGPoint p = knobPoint({428, 94}, {21, 44.5}, 1.5);
    EXPECT_TRUE(pixelNear(active, p.x, p.y, 192, 192, 192));
    EXPECT_TRUE(isBlack(rest, p.x, p.y));
    p = knobPoint({428, 94}, {21, 44.5}, 1.1);
    EXPECT_TRUE(pixelNear(rest, p.x, p.y, 192, 192, 192));
    EXPECT_TRUE(isBlack(active, p.x, p.y));
}

TEST(PanelTitle, TheTitleFitsItsRectangleOnOneLineAndIsDrawnInsideIt) {
    pf::NSStringAttributes attrs;
    attrs.font = pf::UIFont::named("HelveticaNeue-CondensedBold", 22);
    ASSERT_TRUE(attrs.font) << "the title's face is installed";
    attrs.paragraphStyle.alignment = pf::NSTextAlignment::center;
    EXPECT_EQ(pf::lineCount("ORVEX COMPANDER", 206, attrs), 1);

    OrvexCompressorViewBase base;
    const pf::ImageSurface img = renderPanel(base, 1024, 680);
    // Ink inside T = (153, 267, 206, 30), none just outside its top and bottom between the buttons.
    int inkInside = 0;
    for (int y = 2 * 267; y < 2 * 297; ++y)
        for (int x = 2 * 160; x < 2 * 352; ++x)
            inkInside += !isBlack(img, x, y);
    EXPECT_GT(inkInside, 500);
    for (int x = 2 * 160; x < 2 * 352; ++x) {
        ASSERT_TRUE(isBlack(img, x, 2 * 297 + 1));
        ASSERT_TRUE(isBlack(img, x, 2 * 267 - 2));
    }
}
