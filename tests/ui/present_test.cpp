#include <gtest/gtest.h>

#include <SDL.h>
#include <cairo.h>

#include <cstring>
#include <vector>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIBezierPath.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

#include "PresentProbes.h"
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

struct Change {
    const char* what;
    std::function<void()> apply;
    std::vector<CGRect> places; // where the present may composite (none: no present at all)
};

// A 200 x 100 window shown through the offscreen backend at one or two device pixels per point.
// After each change the frame the backend keeps, updated only where the window changed, equals a
// composite of the whole window made from scratch, and the pixels the present composited stay
// within the places the change touched.
class OffscreenPresents : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        previous_ = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
        RunLoop::main().setClock(std::make_shared<ManualClock>());
        window_->setBackgroundColor(UIColor(0.2, 0.2, 0.2, 1));
    }
    void TearDown() override {
        RunLoop::main().setClock(nullptr);
        WindowBackend::setShared(std::move(previous_));
    }
    OffscreenBackend& backend() { return static_cast<OffscreenBackend&>(WindowBackend::shared()); }
    void show() {
        window_->setScreenScale(scale_);
        window_->makeKeyAndVisible();
        drainMainQueue();
        EXPECT_EQ(backend().pixelsPresented(), 200u * 100u * scale_ * scale_) << "all of it once";
    }
    void expectShown(const Change& change) {
        SCOPED_TRACE(change.what);
        const auto presents = backend().presentCount(*window_);
        const auto pixels = backend().pixelsPresented();
        change.apply();
        drainMainQueue();
        EXPECT_EQ(backend().presentCount(*window_), presents + (change.places.empty() ? 0 : 1));
        std::uint64_t most = 0; // each place rounded out to whole pixels, one more for antialiasing
        for (const CGRect& r : change.places)
            most += std::uint64_t((r.width() * scale_ + 4) * (r.height() * scale_ + 4));
        EXPECT_LE(backend().pixelsPresented() - pixels, most);
        EXPECT_TRUE(samePixels(*backend().lastFrame(*window_), renderView(*window_, scale_)));
    }
    static void recolour(Swatch& s, const UIColor& c) {
        s.color = c;
        s.setNeedsDisplay();
    }

    const unsigned scale_ = unsigned(GetParam());
    std::unique_ptr<WindowBackend> previous_;
    std::shared_ptr<UIWindow> window_ = std::make_shared<UIWindow>(CGRect{0, 0, 200, 100});
};

INSTANTIATE_TEST_SUITE_P(AtOneAndTwoPixelsPerPoint, OffscreenPresents, ::testing::Values(1, 2));

} // namespace

TEST_P(OffscreenPresents, EachChangeIsShownCompositingOnlyWhereItTouchedAndNothingWhenNothingDid) {
    auto a = std::make_shared<Swatch>(CGRect{10, 10, 40, 30}, UIColor(1, 0, 0, 1));
    auto b = std::make_shared<Swatch>(CGRect{100.5, 50.25, 60, 40}, UIColor(0, 0, 1, 1));
    auto corner = std::make_shared<Swatch>(CGRect{186, 88, 14, 12}, UIColor(0, 0, 1, 1));
    auto meter = std::make_shared<Marker>(CGRect{0, 0, 200, 100});
    a->addSubview(std::make_shared<Swatch>(CGRect{30, 0, 30, 10}, UIColor(1, 0, 1, 1)));
    for (const auto& v : {a, b, corner})
        window_->addSubview(v);
    window_->addSubview(meter);
    show();
    const std::vector<Change> changes{
        {"recolouring one view",
         [&] {
             recolour(*b, UIColor(0, 1, 0, 1));
             b->setNeedsDisplay(); // marks coalesce into one present
         },
         {b->frame()}},
        {"a redraw that draws the same pixels", [&] { a->setNeedsDisplay(); }, {}},
        {"a layout mark that moves nothing", [&] { window_->setNeedsLayout(); }, {}},
        {"a change at the bottom right corner", [&] { recolour(*corner, UIColor::white()); },
         {corner->frame()}},
        {"a small change in a large view",
         [&] {
             meter->at = {150, 10};
             meter->setNeedsDisplay();
         },
         {{20, 10, 136, 16}}},
        {"moving a view with a subview past its bounds", [&] { a->setCenter({40, 70}); },
         {{10, 10, 60, 30}, {20, 55, 60, 30}}},
        {"fading a view", [&] { b->setAlpha(0.5); }, {b->frame()}},
        {"hiding it", [&] { a->setHidden(true); }, {{20, 55, 60, 30}}},
        {"removing a view", [&] { b->removeFromSuperview(); }, {b->frame()}},
    };
    for (const Change& change : changes)
        expectShown(change);
}

// The window keeps at most eight changed rectangles: a further one is merged into the one it
// grows least, so nothing is lost and a change beside another costs little.
TEST_P(OffscreenPresents, ManyChangesInOnePassAreAllShownAndANinthMergesWithItsNeighbour) {
    std::vector<std::shared_ptr<Swatch>> grid;
    for (const CGFloat y : {10, 45, 80})
        for (const CGFloat x : {10, 60, 110, 160}) {
            grid.push_back(std::make_shared<Swatch>(CGRect{x, y, 10, 10}, UIColor(1, 0, 0, 1)));
            window_->addSubview(grid.back());
        }
    auto beside = std::make_shared<Swatch>(CGRect{70, 45, 10, 10}, UIColor(1, 0, 0, 1));
    window_->addSubview(beside); // last: its change is the ninth
    show();
    std::vector<CGRect> places{grid[5]->frame().unionWith(beside->frame())};
    for (int i : {0, 1, 2, 3, 4, 6, 7})
        places.push_back(grid[std::size_t(i)]->frame());
    expectShown({"eight views and a ninth beside the sixth",
                 [&] {
                     for (int i = 0; i < 8; ++i)
                         recolour(*grid[std::size_t(i)], UIColor(0, 1, 0, 1));
                     recolour(*beside, UIColor(0, 1, 0, 1));
                 },
                 places});
    expectShown({"twelve views",
                 [&] {
                     for (const auto& s : grid)
                         recolour(*s, UIColor(0, 0, 1, 1));
                 },
                 {{10, 10, 160, 80}}});
}

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
