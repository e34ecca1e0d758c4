#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "core/Clock.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
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

// The window surface after a present equals a composite of the whole window made from scratch,
// though only the changed rectangles were drawn and uploaded; a second change within one
// display refresh waits for the refresh and goes out with the first.
TEST_F(SDLBackendHeadless, PresentsOnlyTheChangedRectanglesAtMostOncePerRefresh) {
    auto clock = std::make_shared<ManualClock>();
    RunLoop::main().setClock(clock);
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 64, 48});
    auto left = std::make_shared<Swatch>(CGRect{0, 0, 20, 48}, UIColor(1, 0, 0, 1));
    auto right = std::make_shared<Swatch>(CGRect{20, 0, 44, 48}, UIColor(0, 0, 1, 1));
    window->addSubview(left);
    window->addSubview(right);
    window->makeKeyAndVisible();
    drainMainQueue();
    WindowBackend& sdl = WindowBackend::shared();
    ASSERT_EQ(sdl.framesPresented(), 1u);
    EXPECT_EQ(sdl.pixelsPresented(), 64u * 48u);

    for (const UIColor& c : {UIColor(0, 1, 0, 1), UIColor(1, 1, 0, 1)}) {
        left->color = c;
        left->setNeedsDisplay();
        drainMainQueue();
    }
    EXPECT_EQ(sdl.framesPresented(), 1u) << "within one refresh of the last present";
    RunLoop::main().runFor(std::chrono::milliseconds(20));
    EXPECT_EQ(sdl.framesPresented(), 2u);
    EXPECT_LE(sdl.pixelsPresented() - 64u * 48u, (20u + 2u) * 48u) << "the changed view only";

    SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(windowIdOfTheOnlyWindow()));
    ASSERT_NE(shown, nullptr);
    const ImageSurface expected = renderView(*window);
    int differing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            Uint8 r, g, b;
            const auto* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
            SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], shown->format, &r, &g, &b);
            const RGBA8 e = expected.pixel(x, y);
            differing += e.r != r || e.g != g || e.b != b;
        }
    EXPECT_EQ(differing, 0);
    RunLoop::main().setClock(nullptr);
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
