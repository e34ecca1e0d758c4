#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "core/Check.h"
#include "core/Clock.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

#include "Swatch.h"

using namespace pf;

namespace {

// Each test gets the offscreen backend and a manual clock on the main loop.
class RunLoopPasses : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        previous_ = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
        clock_ = std::make_shared<ManualClock>();
        RunLoop::main().setClock(clock_);
        drainMainQueue();
    }
    void TearDown() override {
        drainMainQueue();
        RunLoop::main().setClock(nullptr);
        WindowBackend::setShared(std::move(previous_));
    }
    OffscreenBackend& backend() { return static_cast<OffscreenBackend&>(WindowBackend::shared()); }

    std::shared_ptr<ManualClock> clock_;
    std::unique_ptr<WindowBackend> previous_;
};

} // namespace

TEST_F(RunLoopPasses, MarksMadeInOneTurnCoalesceIntoOneRedrawAndOnePresent) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 40, 40});
    auto swatch = std::make_shared<Swatch>(CGRect{0, 0, 40, 40}, UIColor(1, 0, 0, 1));
    window->addSubview(swatch);
    window->makeKeyAndVisible();
    drainMainQueue();
    EXPECT_EQ(swatch->draws, 1);
    EXPECT_EQ(backend().presentCount(*window), 1u);
    EXPECT_EQ(backend().lastFrame(*window)->pixel(20, 20), (RGBA8{255, 0, 0, 255}));

    DispatchQueue::main().async([&] {
        swatch->color = UIColor(0, 0, 1, 1);
        swatch->setNeedsDisplay();
        swatch->setNeedsDisplay();
    });
    DispatchQueue::main().async([&] { swatch->setNeedsDisplay(); });
    drainMainQueue();
    EXPECT_EQ(swatch->draws, 2);
    EXPECT_EQ(backend().presentCount(*window), 2u);
    EXPECT_EQ(backend().lastFrame(*window)->pixel(20, 20), (RGBA8{0, 0, 255, 255}));
    drainMainQueue();
    EXPECT_EQ(backend().presentCount(*window), 2u) << "nothing marked: nothing presented";
}

TEST_F(RunLoopPasses, ATimerDrivenDisplayRedrawsOncePerTickWithoutSleeping) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 40, 40});
    auto swatch = std::make_shared<Swatch>(CGRect{0, 0, 40, 40}, UIColor(1, 0, 0, 1));
    window->addSubview(swatch);
    window->makeKeyAndVisible();
    drainMainQueue();
    auto timer = Timer::scheduledTimer(0.04, true, [&](Timer&) { swatch->setNeedsDisplay(); });
    RunLoop::main().runFor(std::chrono::milliseconds(200));
    timer->invalidate();
    drainMainQueue(); // the pass asked for by the tick at 200 ms
    EXPECT_EQ(swatch->draws, 1 + 5);
    EXPECT_EQ(backend().presentCount(*window), 1u + 5u);
}

TEST_F(RunLoopPasses, ScreenshotsOfTheOffscreenBackendAreWrittenOnRequest) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 30, 20});
    window->setScreenScale(2);
    window->setBackgroundColor(UIColor(0, 1, 0, 1));
    window->makeKeyAndVisible();
    drainMainQueue();
    const ImageSurface* frame = backend().lastFrame(*window);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width(), 60);
    EXPECT_EQ(frame->height(), 40);
    EXPECT_FALSE(backend().writeScreenshot(*window, "/nonexistent/dir/shot.png"));
    auto other = std::make_shared<UIWindow>(CGRect{0, 0, 10, 10});
    EXPECT_FALSE(backend().writeScreenshot(*other, "/tmp/never.png")) << "not shown, no frame";
}

TEST_F(RunLoopPasses, InputReachesTheWindowsHandler) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 30, 20});
    std::vector<InputEvent::Kind> seen;
    window->inputHandler = [&](const InputEvent& e) { seen.push_back(e.kind); };
    InputEvent down;
    down.kind = InputEvent::Kind::mouseDown;
    window->sendInput(down);
    EXPECT_EQ(seen, (std::vector<InputEvent::Kind>{InputEvent::Kind::mouseDown}));
}

#ifndef NDEBUG
namespace {
std::atomic<int> checkFailures{0};
void countCheckFailure(std::string_view) {
    ++checkFailures;
}
} // namespace
#endif

TEST(ThreadRule, ViewsUsedOffTheMainThreadAreReportedInDebugBuilds) {
#ifdef NDEBUG
    GTEST_SKIP() << "the check is compiled into debug builds only";
#else
    RunLoop::claimMainThread();
    auto view = std::make_shared<UIView>(CGRect{0, 0, 10, 10});
    const CheckFailureHandler previous = setCheckFailureHandler(countCheckFailure);
    checkFailures = 0;
    std::thread([&] { view->setNeedsDisplay(); }).join();
    view->setNeedsDisplay();
    setCheckFailureHandler(previous);
    EXPECT_EQ(checkFailures.load(), 1);
#endif
}

TEST(BackendChoice, TheEnvironmentPicksTheOffscreenBackend) {
    RunLoop::claimMainThread();
    ::setenv("PF_UI_BACKEND", "offscreen", 1);
    auto previous = WindowBackend::setShared(nullptr);
    EXPECT_STREQ(WindowBackend::shared().name(), "offscreen");
    WindowBackend::setShared(std::move(previous));
    ::unsetenv("PF_UI_BACKEND");
}
