#include <gtest/gtest.h>

#include "OrvexDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "ProbeHelpers.h"
#include "ui/UIWindow.h"

using pf::CGPoint;
using pf::CGRect;
using pf::CGSize;

namespace {

struct DisplayFixture {
    std::shared_ptr<pf::UIWindow> window = std::make_shared<pf::UIWindow>(CGRect{0, 0, 1024, 680});
    std::shared_ptr<OrvexDynamicsDisplayView> display =
        std::make_shared<OrvexDynamicsDisplayView>(CGRect{0, 0, 1024, 680});
    DisplayFixture() {
        window->setBackgroundColor(pf::UIColor::black());
        window->addSubview(display);
        window->runPasses();
    }
    std::uint64_t draws() {
        window->runPasses();
        return display->layerDrawCount();
    }
};

// A point at `units` from the meter's needle pivot (256.5, 233.5), along the needle rule's
// direction for value v, in view points at twice the design size.
CGPoint alongNeedle(double v, double units) {
    const double a = panel::needleAngle(v, panel::kMeterSweep) * M_PI / 180;
    return {2 * (256.5 - units * std::sin(a)), 2 * (233.5 - units * std::cos(a))};
}

} // namespace

// Meter updates redraw only when a value changed (exact comparison); the threshold and the
// reset keep to their own values; a hidden display draws nothing even when marked.
TEST(DynamicsDisplay, RedrawsOnlyForChangedValuesAndNeverWhileHidden) {
    DisplayFixture f;
    const auto first = f.draws();
    EXPECT_EQ(first, 1u);
    f.display->setCompressionValues(0.5f, 0.5f);
    f.display->setCompressionValues(0.5f, 0.5f);
    EXPECT_EQ(f.draws(), first + 1) << "two equal updates, one redraw";
    f.display->setCompressionValues(0.5f, 0.5f);
    EXPECT_EQ(f.draws(), first + 1) << "values standing still: no redraw";
    f.display->setCompressionValues(0.5f, 0.6f);
    EXPECT_EQ(f.draws(), first + 2) << "a change of the second value alone redraws";

    const auto before = f.draws();
    f.display->setHidden(true);
    f.display->setCompressionValues(0.2f, 0.3f);
    EXPECT_EQ(f.draws(), before);
    pf::BitmapContext bmp(1024, 680);
    pf::ScopedCurrentContext current(bmp.context());
    f.display->draw(f.display->bounds());
    const CGPoint p = alongNeedle(0.2, 40);
    EXPECT_EQ(bmp.image().pixel(static_cast<int>(p.x), static_cast<int>(p.y)).a, 0);
}

// A needle whose value is no number is drawn nowhere, not even at rest (straight up); the other
// needle still stands.
TEST(DynamicsDisplay, ANeedleWithNoNumberIsNotDrawn) {
    DisplayFixture f;
    f.display->setCompressionValues(std::nanf(""), 0.75f);
    const pf::ImageSurface img = pf::renderView(*f.window);
    CGPoint p = alongNeedle(0.5, 40);
    EXPECT_TRUE(isBlack(img, p.x, p.y));
    p = alongNeedle(0.75, 40);
    EXPECT_TRUE(pixelNear(img, p.x, p.y, 0.6 * 49.725, 0.6 * 122.145, 0.6 * 191.25));
}

// The plate: inset by 2, in grey `contrast` (0.15 at first), following the view's proportions,
// changed on screen only once a redraw is asked for.
TEST(PluginFrame, PlateIsInsetByTwoInGreyContrastAndChangesOnlyWhenRedrawn) {
    auto window = std::make_shared<pf::UIWindow>(CGRect{0, 0, 1000, 200});
    auto frame = std::make_shared<PluginFrameEx>(CGRect{0, 0, 1000, 200});
    window->addSubview(frame);
    window->runPasses();
    pf::ImageSurface img = pf::renderView(*window);
    EXPECT_TRUE(pixelNear(img, 3, 100, 38.25, 38.25, 38.25));
    EXPECT_EQ(img.pixel(1, 100).a, 0) << "the 2-point margin stays unpainted";
    frame->contrast = 1.0f;
    EXPECT_TRUE(pixelNear(pf::renderView(*window), 500, 100, 38.25, 38.25, 38.25));
    frame->setNeedsDisplay();
    img = pf::renderView(*window);
    EXPECT_TRUE(pixelNear(img, 500, 100, 255, 255, 255));
}
