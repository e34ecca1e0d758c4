#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

#include "Swatch.h"

using namespace pf;

namespace {

// The SDL backend on SDL's headless "dummy" video driver (set in the test's environment).
class SDLBackendHeadless : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        auto sdl = makeSDLBackend();
        if (!sdl) GTEST_SKIP() << "SDL has no video driver here";
        previous_ = WindowBackend::setShared(std::move(sdl));
        swapped_ = true;
    }
    void TearDown() override {
        if (swapped_) WindowBackend::setShared(std::move(previous_));
    }
    bool runUntil(const std::function<bool()>& done) {
        return RunLoop::main().runUntil(done, std::chrono::seconds(10));
    }
    std::unique_ptr<WindowBackend> previous_;
    bool swapped_ = false;
};

Uint32 windowIdOfTheOnlyWindow() {
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_GetWindowFromID(id)) return id;
    return 0;
}

} // namespace

TEST_F(SDLBackendHeadless, PresentsAndWakesForWorkFromAnotherThread) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 64, 48});
    auto swatch = std::make_shared<Swatch>(CGRect{0, 0, 64, 48}, UIColor(1, 0, 0, 1));
    window->addSubview(swatch);
    window->makeKeyAndVisible();
    EXPECT_TRUE(window->isVisibleOnBackend());
    std::atomic<bool> done{false};
    std::thread worker([&] { DispatchQueue::main().async([&] { done = true; }); });
    EXPECT_TRUE(runUntil([&] { return done.load(); }));
    worker.join();
    drainMainQueue();
    EXPECT_GE(swatch->draws, 1);
}

TEST_F(SDLBackendHeadless, ResizesTheWindowAndDeliversMouseWheelAndText) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 64, 48});
    auto child = std::make_shared<UIView>(CGRect{0, 0, 64, 48});
    child->autoresizingMask = UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
    window->addSubview(child);
    window->makeKeyAndVisible();
    const Uint32 id = windowIdOfTheOnlyWindow();
    ASSERT_NE(id, 0u);
    std::vector<InputEvent> seen;
    window->inputHandler = [&](const InputEvent& e) { seen.push_back(e); };

    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 200;
    e.window.data2 = 100;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = id;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.clicks = 2;
    e.button.x = 10;
    e.button.y = 20;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = id;
    e.wheel.preciseY = 1.5f;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = id;
    std::strcpy(e.text.text, "ä");
    SDL_PushEvent(&e);

    ASSERT_TRUE(runUntil([&] { return seen.size() >= 3; }));
    EXPECT_EQ(window->frame(), (CGRect{0, 0, 200, 100}));
    EXPECT_EQ(child->frame(), (CGRect{0, 0, 200, 100})) << "the tree follows the window";
    EXPECT_EQ(seen[0].kind, InputEvent::Kind::mouseDown);
    EXPECT_EQ(seen[0].location, (CGPoint{10, 20}));
    EXPECT_EQ(seen[0].button, 1);
    EXPECT_EQ(seen[0].clicks, 2);
    EXPECT_EQ(seen[1].kind, InputEvent::Kind::wheel);
    EXPECT_FLOAT_EQ(static_cast<float>(seen[1].wheelY), 1.5f);
    EXPECT_EQ(seen[2].kind, InputEvent::Kind::text);
    EXPECT_EQ(seen[2].text, "ä");
}
