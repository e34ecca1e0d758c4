#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

#include "PresentProbes.h"
#include "Swatch.h"

using namespace pf;

// After each change the window is presented through the offscreen backend: the pixels it
// composites and uploads stay within the region the change touched, and the frame it keeps,
// updated only there, equals a composite of the whole window made from scratch.
TEST(OffscreenPresents, APresentCompositesOnlyWhatChangedAndNothingWhenNothingDid) {
    RunLoop::claimMainThread();
    auto previous = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
    auto& backend = static_cast<OffscreenBackend&>(WindowBackend::shared());
    RunLoop::main().setClock(std::make_shared<ManualClock>());
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 200, 100});
    window->setBackgroundColor(UIColor(0.2, 0.2, 0.2, 1));
    auto a = std::make_shared<Swatch>(CGRect{10, 10, 40, 30}, UIColor(1, 0, 0, 1));
    auto b = std::make_shared<Swatch>(CGRect{100.5, 50.25, 60, 40}, UIColor(0, 0, 1, 1));
    auto meter = std::make_shared<Marker>(CGRect{0, 0, 200, 100});
    a->addSubview(std::make_shared<Swatch>(CGRect{30, 0, 30, 10}, UIColor(1, 0, 1, 1)));
    window->addSubview(a);
    window->addSubview(b);
    window->addSubview(meter);
    window->makeKeyAndVisible();
    drainMainQueue();
    ASSERT_EQ(backend.pixelsPresented(), 200u * 100u) << "shown: the whole window once";

    struct Step {
        const char* change;
        std::function<void()> apply;
        CGRect region; // what the present may touch (null: no present at all)
    };
    const std::vector<Step> steps{
        {"recolouring one view",
         [&] {
             b->color = UIColor(0, 1, 0, 1);
             b->setNeedsDisplay();
             b->setNeedsDisplay(); // marks coalesce into one present
         },
         b->frame()},
        {"a redraw that draws the same pixels", [&] { a->setNeedsDisplay(); }, CGRect::null()},
        {"a layout mark that moves nothing", [&] { window->setNeedsLayout(); }, CGRect::null()},
        {"a small change in a large view",
         [&] {
             meter->at = {150, 10};
             meter->setNeedsDisplay();
         },
         CGRect{20, 10, 136, 16}},
        {"moving a view",
         [&] {
             a->setCenter({40, 70});
         },
         CGRect{10, 10, 50, 75}},
        {"fading a view", [&] { b->setAlpha(0.5); }, b->frame()},
        {"hiding it", [&] { a->setHidden(true); }, CGRect{20, 55, 60, 30}},
        {"removing a view", [&] { b->removeFromSuperview(); }, b->frame()},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        const auto presents = backend.presentCount(*window);
        const auto pixels = backend.pixelsPresented();
        step.apply();
        drainMainQueue();
        if (step.region.isNull()) {
            EXPECT_EQ(backend.presentCount(*window), presents);
            EXPECT_EQ(backend.pixelsPresented(), pixels);
            continue;
        }
        EXPECT_EQ(backend.presentCount(*window), presents + 1);
        const CGRect r = step.region.insetBy(-2, -2); // rounded out, one pixel for antialiasing
        EXPECT_GT(backend.pixelsPresented(), pixels);
        EXPECT_LE(backend.pixelsPresented() - pixels, std::uint64_t(r.width() * r.height()));
        EXPECT_TRUE(samePixels(*backend.lastFrame(*window), renderView(*window)));
    }
    window->setScreenScale(2);
    drainMainQueue();
    EXPECT_TRUE(samePixels(*backend.lastFrame(*window), renderView(*window, 2)));
    RunLoop::main().setClock(nullptr);
    WindowBackend::setShared(std::move(previous));
}
