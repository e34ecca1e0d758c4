// The application object: the one place window input becomes touches, gestures and text.
//
// Mouse as touch: the left button is one touch (down, moves, up); it goes to the view the
// window's hit test finds, after the gesture recognisers of that view and of its ancestors have
// seen it (nearest view first). While the button is down the touch keeps its view, also outside
// it. The right button drives long-press recognisers only; the wheel drives pinch recognisers
// only (with or without Ctrl). Losing the window's focus cancels the touch. Text and the keys
// Backspace and Return go to the text field that last became first responder.
// [main-thread] All of it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/URL.h"
#include "ui/UITouch.h"
#include "ui/WindowBackend.h"

namespace pf {

class UIGestureRecognizer;
class UITextField;
class UIWindow;

class UIApplication {
public:
    static UIApplication& shared();

    // Routes the window's input through this application (sets its input handler).
    void attach(UIWindow& window);
    // One input event of `window`, in window points.
    void sendInput(UIWindow& window, const InputEvent& event);

    std::shared_ptr<UITextField> textReceiver() const { return textReceiver_.lock(); }
    void setTextReceiver(const std::shared_ptr<UITextField>& field) { textReceiver_ = field; }

    // True while a left-button touch is down.
    bool isTouching() const { return touch_ != nullptr; }

    // Seconds of the main run loop's clock.
    static double currentTime();

    // Opens `url` with the desktop's handler (Workspace::openURL: xdg-open with the URL as its one
    // argument, never through a shell). Only http, https, file and mailto addresses; any other
    // answers false at once. The completion, when given, reports on the main queue whether the
    // handler accepted it. Defined with UIApplicationMain.
    bool open(const URL& url, std::function<void(bool success)> completionHandler = nullptr);
    // Tests: an opener called instead of the desktop's handler (empty restores it); it answers
    // whether it accepted the URL.
    using URLOpener = std::function<bool(const URL&)>;
    static void setURLOpenerForTesting(URLOpener opener);

private:
    UIApplication() = default;
    using Recognizers = std::vector<std::weak_ptr<UIGestureRecognizer>>;
    static Recognizers recognizersFor(UIView* view);
    void touchDown(UIWindow& window, const InputEvent& event);
    void touchPhase(UITouchPhase phase, const InputEvent* event);

    std::shared_ptr<UITouch> touch_;
    std::weak_ptr<UIView> touchView_;
    Recognizers touchRecognizers_;
    Recognizers secondaryRecognizers_;
    std::weak_ptr<UITextField> textReceiver_;
};

} // namespace pf
