#include <SDL.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "core/RunLoop.h"
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

// One window on the desktop: its SDL window, a renderer, a streaming texture in Cairo's pixel
// layout (ARGB8888 is Cairo's ARGB32 in memory) and the image the window is composited into.
struct NativeWindow {
    std::weak_ptr<UIView> view;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::unique_ptr<ImageSurface> frame;

    ~NativeWindow() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
    }
    UIWindow* ui() const {
        auto v = view.lock();
        return static_cast<UIWindow*>(v.get());
    }
};

class SDLBackend final : public WindowBackend {
public:
    SDLBackend() : wakeEvent_(SDL_RegisterEvents(1)) {
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
        nw->renderer = SDL_CreateRenderer(nw->window, -1, 0);
        if (!nw->renderer) nw->renderer = SDL_CreateRenderer(nw->window, -1, SDL_RENDERER_SOFTWARE);
        if (!nw->renderer) {
            std::fprintf(stderr, "pf: cannot draw into a window: %s\n", SDL_GetError());
            return;
        }
        windows_[SDL_GetWindowID(nw->window)] = std::move(nw);
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
        if (!nw) return;
        int pw = 0, ph = 0, ww = 0, wh = 0;
        SDL_GetRendererOutputSize(nw->renderer, &pw, &ph);
        SDL_GetWindowSize(nw->window, &ww, &wh);
        if (pw <= 0 || ph <= 0 || ww <= 0) return;
        const CGFloat scale = CGFloat(pw) / ww;
        if (scale != window.screenScale()) {
            window.setScreenScale(scale);
            window.runPasses(); // layers at the new scale before they are shown
        }
        if (!nw->frame || nw->frame->width() != pw || nw->frame->height() != ph) {
            nw->frame = std::make_unique<ImageSurface>(pw, ph);
            if (nw->texture) SDL_DestroyTexture(nw->texture);
            nw->texture = SDL_CreateTexture(nw->renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_STREAMING, pw, ph);
        }
        if (!nw->texture) return;
        cairo_surface_t* s = nw->frame->surface();
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
        cairo_scale(cr, scale, scale);
        window.render(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        SDL_UpdateTexture(nw->texture, nullptr, cairo_image_surface_get_data(s),
                          cairo_image_surface_get_stride(s));
        SDL_RenderClear(nw->renderer);
        SDL_RenderCopy(nw->renderer, nw->texture, nullptr, nullptr);
        SDL_RenderPresent(nw->renderer);
    }

    void startTextInput() override { SDL_StartTextInput(); }
    void stopTextInput() override { SDL_StopTextInput(); }

private:
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
            present(*w);
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
    std::map<Uint32, std::unique_ptr<NativeWindow>> windows_;
};

} // namespace

std::unique_ptr<WindowBackend> makeSDLBackend() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "pf: no display for SDL: %s\n", SDL_GetError());
        return nullptr;
    }
    return std::make_unique<SDLBackend>();
}

} // namespace pf
