// Where windows are shown: a small interface with two implementations, SDL2 (a real window on
// the desktop) and offscreen (no display; frames are kept as images, screenshots on request).
// `PF_UI_BACKEND` picks one: "sdl" (the default) or "offscreen"; when SDL cannot open a
// display the offscreen backend is used and a line on standard error says so.
//
// The backend feeds input to a window as `InputEvent`s in window points (the touch layer turns
// them into touches and gestures). A window's passes run on the main run loop; after each pass
// an attached window is presented. A present composites and shows only the window's dirty region
// (UIWindow.h); with nothing dirty it does nothing. [main-thread] All of it.
//
// With PF_UI_PRESENT_STATS set, every present that showed something writes its running totals
// to standard error ("pf: presents N pixels M"), for benchmarks that run the application.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/CGGeometry.h"

namespace pf {

class UIWindow;
class ImageSurface;

enum InputModifier : unsigned {
    InputModifierShift = 1u << 0,
    InputModifierControl = 1u << 1,
    InputModifierAlt = 1u << 2,
    InputModifierSuper = 1u << 3,
};

struct InputEvent {
    enum class Kind { mouseDown, mouseUp, mouseMove, wheel, keyDown, keyUp, text, focusLost };
    Kind kind = Kind::mouseMove;
    CGPoint location;   // window points (mouse and wheel events)
    int button = 0;     // 1 left, 2 middle, 3 right
    int clicks = 0;     // 1 single, 2 double, ... (button events)
    CGFloat wheelX = 0; // scroll amounts, positive to the right and away from the user
    CGFloat wheelY = 0;
    unsigned modifiers = 0; // InputModifier bits
    std::int32_t key = 0;   // key code (SDL's key codes) for key events
    std::string text;       // UTF-8 for text events
};

// A rectangle of device pixels.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    std::int64_t area() const { return std::int64_t(width) * height; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual const char* name() const = 0;
    // Shows the window (at its frame's size) and starts delivering its input.
    virtual void attach(UIWindow& window) = 0;
    virtual void detach(UIWindow& window) = 0;
    virtual bool isAttached(const UIWindow& window) const = 0;
    // Composites the window's dirty region and shows it; nothing when nothing is dirty.
    virtual void present(UIWindow& window) = 0;
    virtual void startTextInput() {}
    virtual void stopTextInput() {}

    // The process's backend, made on first use from PF_UI_BACKEND.
    static WindowBackend& shared();
    // Replaces it (tests, tools); returns the previous one.
    static std::unique_ptr<WindowBackend> setShared(std::unique_ptr<WindowBackend> backend);

    // Presents that showed a change, and the device pixels they composited and uploaded, since
    // the backend was made.
    std::uint64_t framesPresented() const { return frames_; }
    std::uint64_t pixelsPresented() const { return pixels_; }

protected:
    void countPresent(const std::vector<PixelRect>& rects);

private:
    std::uint64_t frames_ = 0;
    std::uint64_t pixels_ = 0;
};

// The backend if one was made or set, else null (never makes one).
WindowBackend* currentWindowBackend();

// Keeps the last presented frame of each attached window.
class OffscreenBackend : public WindowBackend {
public:
    OffscreenBackend();
    ~OffscreenBackend() override;
    const char* name() const override { return "offscreen"; }
    void attach(UIWindow& window) override;
    void detach(UIWindow& window) override;
    bool isAttached(const UIWindow& window) const override;
    void present(UIWindow& window) override;

    // The last frame presented for the window (null before the first), in device pixels; it is
    // updated in place, only where the window changed.
    const ImageSurface* lastFrame(const UIWindow& window) const;
    // Presents of the window that showed a change.
    std::uint64_t presentCount(const UIWindow& window) const;
    // Writes the last frame as PNG; false without a frame or when the file cannot be written.
    bool writeScreenshot(const UIWindow& window, const std::string& path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The SDL2 backend, or null when SDL cannot start its video subsystem (no display). It draws into
// the window surface and sends only the changed rectangles to the display, at most once per
// display refresh (SDLBackend.cpp says why, with figures).
std::unique_ptr<WindowBackend> makeSDLBackend();

} // namespace pf
