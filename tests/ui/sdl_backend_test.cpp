#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>

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
    }
    void TearDown() override { WindowBackend::setShared(std::move(previous_)); }
    std::unique_ptr<WindowBackend> previous_;
};

Uint32 windowIdOfTheOnlyWindow() {
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_GetWindowFromID(id)) return id;
    return 0;
}

} // namespace

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

TEST_F(SDLBackendHeadless, ResizesTheWindowAndDeliversMouseAndText) {
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
    e.window = {SDL_WINDOWEVENT, 0, id, SDL_WINDOWEVENT_SIZE_CHANGED, 0, 0, 0, 200, 100};
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
    e.type = SDL_TEXTINPUT;
    e.text.windowID = id;
    std::strcpy(e.text.text, "ä");
    SDL_PushEvent(&e);

    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return seen.size() >= 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(child->frame(), (CGRect{0, 0, 200, 100})) << "the tree follows the window";
    EXPECT_EQ(seen[0].kind, InputEvent::Kind::mouseDown);
    EXPECT_EQ(seen[0].location, (CGPoint{10, 20}));
    EXPECT_EQ(seen[0].clicks, 2);
    EXPECT_EQ(seen[1].text, "ä");
}
