#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

#include "Swatch.h"

using namespace pf;

namespace {

// The window surface after a present equals a composite of the whole window made from scratch,
// though only the changed rectangles were drawn and uploaded.
::testing::AssertionResult showsTheWholeWindow(SDL_Surface* shown, UIWindow& window) {
    const ImageSurface expected = renderView(window);
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            Uint8 r, g, b;
            const auto* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
            SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], shown->format, &r, &g, &b);
            const RGBA8 e = expected.pixel(x, y);
            differing += e.r != r || e.g != g || e.b != b;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ";
}

} // namespace

// On SDL's headless "dummy" video driver (set in the test's environment). Changes within one
// display refresh of a present wait for the refresh and go out together, every time; window and
// input events reach the window.
TEST(SDLBackendHeadless, PresentsChangedRectanglesOncePerRefreshAndDeliversWindowAndInputEvents) {
    RunLoop::claimMainThread();
    auto previous = WindowBackend::setShared(makeSDLBackend());
    RunLoop::main().setClock(std::make_shared<ManualClock>());
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 64, 48});
    auto left = std::make_shared<Swatch>(CGRect{0, 0, 20, 48}, UIColor(1, 0, 0, 1));
    auto right = std::make_shared<Swatch>(CGRect{20, 0, 44, 48}, UIColor(0, 0, 1, 1));
    right->autoresizingMask = UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
    window->addSubview(left);
    window->addSubview(right);
    window->makeKeyAndVisible();
    drainMainQueue();
    WindowBackend& sdl = WindowBackend::shared();
    ASSERT_EQ(sdl.framesPresented(), 1u);
    EXPECT_EQ(sdl.pixelsPresented(), 64u * 48u);
    Uint32 id = 1;
    while (id < 64 && !SDL_GetWindowFromID(id))
        ++id;
    SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(id));
    ASSERT_NE(shown, nullptr);

    const UIColor colours[] = {UIColor(0, 1, 0, 1), UIColor(1, 1, 0, 1), UIColor(1, 0, 1, 1)};
    for (std::uint64_t turn = 1; turn <= 3; ++turn) {
        SCOPED_TRACE(turn);
        const auto pixels = sdl.pixelsPresented();
        for (const UIColor& c : {colours[turn - 1], colours[turn % 3]}) {
            left->color = c;
            left->setNeedsDisplay();
            drainMainQueue();
        }
        EXPECT_EQ(sdl.framesPresented(), turn) << "within one refresh of the last present";
        RunLoop::main().runFor(std::chrono::milliseconds(20));
        EXPECT_EQ(sdl.framesPresented(), turn + 1);
        EXPECT_LE(sdl.pixelsPresented() - pixels, (20u + 2u) * 48u) << "the changed view only";
        EXPECT_TRUE(showsTheWholeWindow(shown, *window));
    }
    RunLoop::main().setClock(nullptr);

    std::vector<InputEvent> seen;
    window->inputHandler = [&](const InputEvent& e) { seen.push_back(e); };
    SDL_Event e{};
    e.window = {SDL_WINDOWEVENT, 0, id, SDL_WINDOWEVENT_SIZE_CHANGED, 0, 0, 0, 200, 100};
    SDL_PushEvent(&e);
    // A double click of the left button at (10, 20).
    e.button = {SDL_MOUSEBUTTONDOWN, 0, id, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 2, 0, 10, 20};
    SDL_PushEvent(&e);
    e = {};
    e.wheel.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = id;
    e.wheel.preciseY = 1.5f;
    SDL_PushEvent(&e);
    e = {};
    e.text.type = SDL_TEXTINPUT;
    e.text.windowID = id;
    std::strcpy(e.text.text, "ä");
    SDL_PushEvent(&e);
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return seen.size() >= 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(right->frame(), (CGRect{20, 0, 180, 100})) << "the tree follows the window";
    EXPECT_EQ(seen[0].kind, InputEvent::Kind::mouseDown);
    EXPECT_EQ(seen[0].location, (CGPoint{10, 20}));
    EXPECT_EQ(seen[0].clicks, 2);
    EXPECT_EQ(seen[1].kind, InputEvent::Kind::wheel);
    EXPECT_EQ(seen[1].wheelY, 1.5) << "turned away from the user";
    EXPECT_EQ(seen[2].text, "ä");
    WindowBackend::setShared(std::move(previous));
}
