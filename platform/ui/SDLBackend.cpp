#include <SDL.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

namespace pf {

namespace {

unsigned modifiersOf(Uint16 mod) {
    unsigned m = 0;
    if (mod & KMOD_SHIFT) m |= InputModifierShift;
    if (mod & KMOD_CTRL) m |= InputModifierControl;
    if (mod & KMOD_ALT) m |= InputModifierAlt;
    if (mod & KMOD_GUI) m |= InputModifierSuper;
    return m;
}

// How a window reaches the display. The window surface is the default: the dirty region is
// composited by Cairo straight into SDL's window surface (on X11 an image in shared memory, in
// Cairo's pixel layout) and only its rectangles go to the display, with
// SDL_UpdateWindowSurfaceRects. The alternative, a streaming texture updated by rectangle
// (SDL_UpdateTexture per rectangle, then the renderer copies the texture and presents), uploads
// as little but makes the renderer redraw and swap the whole window on every present, and keeps
// a GL context with its worker threads. Measured with the application playing, its panel shown,
// under Xvfb (software GL, as on a machine without a GPU), 25 presents a second of about 700
// pixels each: the window surface costs 3 to 3.5% of one core, the texture 14 to 17%; the old
// whole-window texture cost 23%. PF_UI_SDL_PRESENT=texture selects the texture, for
// measurement.
enum class PresentPath { surface, texture };

// One window on the desktop: its SDL window and what it is presented through: a Cairo image
// on the window surface's pixels, or a renderer with a streaming texture in Cairo's layout
// (ARGB8888 is Cairo's ARGB32 in memory) and the image the window is composited into.
struct NativeWindow {
    std::weak_ptr<UIView> view;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::unique_ptr<ImageSurface> frame;
    // The window surface the frame draws into (it changes when the window is resized).
    SDL_Surface* surface = nullptr;
    void* pixels = nullptr;
    // Presents are paced to the display: no two closer than one refresh.
    std::optional<Clock::time_point> lastPresent;
    std::shared_ptr<Timer> deferred;

    ~NativeWindow() {
        if (deferred) deferred->invalidate();
        frame.reset(); // before the window surface it may draw into
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
    }
    UIWindow* ui() const {
        auto v = view.lock();
        return static_cast<UIWindow*>(v.get());
    }
};

PresentPath pathFromEnvironment() {
    const char* choice = std::getenv("PF_UI_SDL_PRESENT");
    return choice && std::strcmp(choice, "texture") == 0 ? PresentPath::texture
                                                         : PresentPath::surface;
}

std::vector<SDL_Rect> sdlRects(const std::vector<PixelRect>& rects) {
    std::vector<SDL_Rect> out;
    out.reserve(rects.size());
    for (const PixelRect& r : rects)
        out.push_back({r.x, r.y, r.width, r.height});
    return out;
}

class SDLBackend final : public WindowBackend {
public:
    SDLBackend() : wakeEvent_(SDL_RegisterEvents(1)), path_(pathFromEnvironment()) {
        RunLoop::main().setWaitHooks([this](std::optional<RunLoop::duration> t) { wait(t); },
                                     [type = wakeEvent_] {
                                         // SDL_PushEvent may be called from any thread.
                                         SDL_Event e{};
                                         e.type = type;
                                         SDL_PushEvent(&e);
                                     });
    }
    ~SDLBackend() override {
        RunLoop::main().setWaitHooks(nullptr, nullptr);
        windows_.clear();
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

    const char* name() const override { return "sdl"; }

    void attach(UIWindow& window) override {
        if (isAttached(window)) return;
        const CGRect f = window.frame();
        auto nw = std::make_unique<NativeWindow>();
        nw->view = window.weak_from_this();
        nw->window =
            SDL_CreateWindow("Orvex Compander", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                             std::max(1, int(f.width())), std::max(1, int(f.height())),
                             SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!nw->window) {
            std::fprintf(stderr, "pf: cannot open a window: %s\n", SDL_GetError());
            return;
        }
        if (path_ == PresentPath::texture) {
            nw->renderer = SDL_CreateRenderer(nw->window, -1, 0);
            if (!nw->renderer)
                nw->renderer = SDL_CreateRenderer(nw->window, -1, SDL_RENDERER_SOFTWARE);
            if (!nw->renderer) {
                std::fprintf(stderr, "pf: cannot draw into a window: %s\n", SDL_GetError());
                return;
            }
        }
        windows_[SDL_GetWindowID(nw->window)] = std::move(nw);
        window.invalidateAll();
        window.passRequested();
    }

    void detach(UIWindow& window) override {
        for (auto it = windows_.begin(); it != windows_.end(); ++it) {
            if (it->second->ui() == &window || it->second->view.expired()) {
                windows_.erase(it);
                return;
            }
        }
    }

    bool isAttached(const UIWindow& window) const override { return find(window) != nullptr; }

    void present(UIWindow& window) override {
        NativeWindow* nw = find(window);
        if (!nw || !window.hasDirtyRegion()) return;
        if (deferToDisplay(*nw, window)) return;
        if (path_ == PresentPath::texture)
            presentTexture(*nw, window);
        else
            presentSurface(*nw, window);
    }

    void startTextInput() override { SDL_StartTextInput(); }
    void stopTextInput() override { SDL_StopTextInput(); }

private:
    // True when the last present was less than a display refresh ago; the present then happens
    // once that refresh has passed, with everything that changed meanwhile.
    bool deferToDisplay(NativeWindow& nw, UIWindow& window) {
        SDL_DisplayMode mode{};
        const int displayIndex = SDL_GetWindowDisplayIndex(nw.window);
        const int hz = displayIndex >= 0 && SDL_GetCurrentDisplayMode(displayIndex, &mode) == 0 &&
                               mode.refresh_rate > 0
                           ? mode.refresh_rate
                           : 60;
        const auto refresh =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz));
        const Clock::time_point now = RunLoop::main().clock().now();
        if (nw.lastPresent && now - *nw.lastPresent < refresh) {
            if (!nw.deferred || !nw.deferred->isValid()) {
                const double wait =
                    std::chrono::duration<double>(refresh - (now - *nw.lastPresent)).count();
                std::weak_ptr<UIView> weak = window.weak_from_this();
                nw.deferred = Timer::scheduledTimer(wait, false, [weak](Timer&) {
                    if (auto v = weak.lock()) static_cast<UIWindow&>(*v).passRequested();
                });
            }
            return true;
        }
        nw.lastPresent = now;
        return false;
    }

    // Device pixels per window point, from the drawable size; false when the window has none.
    bool updateScale(UIWindow& window, int pixelWidth, int windowWidth) {
        if (pixelWidth <= 0 || windowWidth <= 0) return false;
        const CGFloat scale = CGFloat(pixelWidth) / windowWidth;
        if (scale != window.screenScale()) {
            window.setScreenScale(scale);
            window.runPasses(); // layers at the new scale before they are shown
        }
        return true;
    }

    void presentSurface(NativeWindow& nw, UIWindow& window) {
        SDL_Surface* surface = SDL_GetWindowSurface(nw.window);
        if (!surface) {
            std::fprintf(stderr, "pf: cannot draw into a window: %s\n", SDL_GetError());
            return;
        }
        int ww = 0, wh = 0;
        SDL_GetWindowSize(nw.window, &ww, &wh);
        if (!updateScale(window, surface->w, ww)) return;
        const int pw = surface->w, ph = surface->h;
        const Uint32 format = surface->format->format;
        const bool direct = format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888;
        if (surface != nw.surface || surface->pixels != nw.pixels || !nw.frame ||
            nw.frame->width() != pw || nw.frame->height() != ph) {
            // A new window surface holds nothing of the picture yet.
            nw.frame.reset();
            if (direct) {
                nw.frame = std::make_unique<ImageSurface>(cairo_image_surface_create_for_data(
                    static_cast<unsigned char*>(surface->pixels),
                    format == SDL_PIXELFORMAT_ARGB8888 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24,
                    pw, ph, surface->pitch));
            } else {
                nw.frame = std::make_unique<ImageSurface>(pw, ph);
            }
            nw.surface = surface;
            nw.pixels = surface->pixels;
            window.invalidateAll();
        }
        const std::vector<PixelRect> rects = window.takeDirtyRegion(window.screenScale(), pw, ph);
        if (rects.empty()) return;
        const bool lock = SDL_MUSTLOCK(surface);
        if (lock && SDL_LockSurface(surface) != 0) return;
        window.renderRects(nw.frame->surface(), rects, window.screenScale(), true);
        if (lock) SDL_UnlockSurface(surface);
        const std::vector<SDL_Rect> sdl = sdlRects(rects);
        if (!direct) {
            // Another pixel layout: SDL converts the changed rectangles.
            cairo_surface_t* s = nw.frame->surface();
            SDL_Surface* from = SDL_CreateRGBSurfaceWithFormatFrom(
                cairo_image_surface_get_data(s), pw, ph, 32, cairo_image_surface_get_stride(s),
                SDL_PIXELFORMAT_ARGB8888);
            if (!from) return;
            for (SDL_Rect r : sdl) {
                SDL_Rect to = r;
                SDL_BlitSurface(from, &r, surface, &to);
            }
            SDL_FreeSurface(from);
        }
        if (SDL_UpdateWindowSurfaceRects(nw.window, sdl.data(), int(sdl.size())) != 0) return;
        countPresent(rects);
    }

    void presentTexture(NativeWindow& nw, UIWindow& window) {
        if (!nw.renderer) return;
        int pw = 0, ph = 0, ww = 0, wh = 0;
        SDL_GetRendererOutputSize(nw.renderer, &pw, &ph);
        SDL_GetWindowSize(nw.window, &ww, &wh);
        if (ph <= 0 || !updateScale(window, pw, ww)) return;
        if (!nw.frame || nw.frame->width() != pw || nw.frame->height() != ph) {
            nw.frame = std::make_unique<ImageSurface>(pw, ph);
            if (nw.texture) SDL_DestroyTexture(nw.texture);
            nw.texture = SDL_CreateTexture(nw.renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STREAMING, pw, ph);
            window.invalidateAll();
        }
        if (!nw.texture) return;
        const std::vector<PixelRect> rects = window.takeDirtyRegion(window.screenScale(), pw, ph);
        if (rects.empty()) return;
        window.renderRects(nw.frame->surface(), rects, window.screenScale(), true);
        cairo_surface_t* s = nw.frame->surface();
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (const SDL_Rect& r : sdlRects(rects))
            SDL_UpdateTexture(nw.texture, &r, data + std::ptrdiff_t(r.y) * stride + r.x * 4,
                              stride);
        SDL_RenderClear(nw.renderer);
        SDL_RenderCopy(nw.renderer, nw.texture, nullptr, nullptr);
        SDL_RenderPresent(nw.renderer);
        countPresent(rects);
    }

    NativeWindow* find(const UIWindow& window) const {
        for (const auto& [id, nw] : windows_)
            if (nw->ui() == &window) return nw.get();
        return nullptr;
    }

    NativeWindow* byId(Uint32 id) {
        auto it = windows_.find(id);
        return it == windows_.end() ? nullptr : it->second.get();
    }

    // The run loop's wait: sleeps in SDL until an event, a wake or the timeout, then handles
    // every event that is there.
    void wait(std::optional<RunLoop::duration> timeout) {
        SDL_Event e;
        int got;
        if (timeout) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*timeout).count();
            got = SDL_WaitEventTimeout(&e, static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30)));
        } else {
            got = SDL_WaitEvent(&e);
        }
        while (got) {
            handle(e);
            got = SDL_PollEvent(&e);
        }
    }

    void deliver(Uint32 windowId, const InputEvent& ev) {
        if (NativeWindow* nw = byId(windowId))
            if (UIWindow* w = nw->ui()) w->sendInput(ev);
    }

    void handle(const SDL_Event& e) {
        if (e.type == wakeEvent_) return;
        switch (e.type) {
        case SDL_QUIT:
            RunLoop::main().stop();
            break;
        case SDL_WINDOWEVENT:
            handleWindowEvent(e.window);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            // While a button is held the drag keeps reporting outside the window.
            SDL_CaptureMouse(down ? SDL_TRUE : SDL_FALSE);
            InputEvent ev;
            ev.kind = down ? InputEvent::Kind::mouseDown : InputEvent::Kind::mouseUp;
            ev.location = {CGFloat(e.button.x), CGFloat(e.button.y)};
            ev.button = e.button.button == SDL_BUTTON_LEFT    ? 1
                        : e.button.button == SDL_BUTTON_RIGHT ? 3
                                                              : 2;
            ev.clicks = e.button.clicks;
            ev.modifiers = modifiersOf(SDL_GetModState());
            deliver(e.button.windowID, ev);
            break;
        }
        case SDL_MOUSEMOTION: {
            InputEvent ev;
            ev.kind = InputEvent::Kind::mouseMove;
            ev.location = {CGFloat(e.motion.x), CGFloat(e.motion.y)};
            ev.button = (e.motion.state & SDL_BUTTON_LMASK) ? 1 : 0;
            ev.modifiers = modifiersOf(SDL_GetModState());
            deliver(e.motion.windowID, ev);
            break;
        }
        case SDL_MOUSEWHEEL: {
            InputEvent ev;
            ev.kind = InputEvent::Kind::wheel;
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            ev.location = {CGFloat(x), CGFloat(y)};
            const CGFloat flip = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            ev.wheelX = flip * e.wheel.preciseX;
            ev.wheelY = flip * e.wheel.preciseY;
            ev.modifiers = modifiersOf(SDL_GetModState());
            deliver(e.wheel.windowID, ev);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            InputEvent ev;
            ev.kind = e.type == SDL_KEYDOWN ? InputEvent::Kind::keyDown : InputEvent::Kind::keyUp;
            ev.key = e.key.keysym.sym;
            ev.modifiers = modifiersOf(e.key.keysym.mod);
            deliver(e.key.windowID, ev);
            break;
        }
        case SDL_TEXTINPUT: {
            InputEvent ev;
            ev.kind = InputEvent::Kind::text;
            ev.text = e.text.text;
            deliver(e.text.windowID, ev);
            break;
        }
        default:
            break;
        }
    }

    void handleWindowEvent(const SDL_WindowEvent& e) {
        NativeWindow* nw = byId(e.windowID);
        UIWindow* w = nw ? nw->ui() : nullptr;
        if (!w) return;
        switch (e.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            w->setFrame({0, 0, CGFloat(e.data1), CGFloat(e.data2)});
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            w->invalidateAll();
            w->passRequested();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST: {
            InputEvent ev;
            ev.kind = InputEvent::Kind::focusLost;
            w->sendInput(ev);
            break;
        }
        default:
            break;
        }
    }

    Uint32 wakeEvent_;
    PresentPath path_;
    std::map<Uint32, std::unique_ptr<NativeWindow>> windows_;
};

} // namespace

std::unique_ptr<WindowBackend> makeSDLBackend() {
    // SDL may back a window surface with a GL texture, and probes GL to decide; on a machine
    // without a GPU both cost more than the shared-memory image. The environment may still ask.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "pf: no display for SDL: %s\n", SDL_GetError());
        return nullptr;
    }
    return std::make_unique<SDLBackend>();
}

} // namespace pf
