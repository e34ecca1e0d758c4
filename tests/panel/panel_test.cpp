#include <gtest/gtest.h>

#include "OrvexCompressorViewBase.h"
#include "ProbeHelpers.h"

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

} // namespace

class HotspotMap : public ::testing::TestWithParam<CGSize> {};

TEST_P(HotspotMap, EveryHotspotCentreInViewPointsMapsBackToItsOwnControlOnly) {
    const CGSize size = GetParam();
    OrvexCompressorViewBase base;
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
    for (const Hotspot& h : kHotspots)
        EXPECT_FALSE((base.*h.path).contains({133, 50})) << h.name;
}

INSTANTIATE_TEST_SUITE_P(PanelSizes, HotspotMap,
                         ::testing::Values(CGSize{1024, 680}, CGSize{768, 510}));
