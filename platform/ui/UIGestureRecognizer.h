// Gesture recognisers driven by the mouse (the "mouse as touch" rules):
//   - pan: the left button held and moved 10 points or more; `translation(in:)` is cumulative
//     from the point the button went down;
//   - pinch: the wheel over the recogniser's view (Ctrl + wheel counts the same); the first
//     notch begins the gesture at scale 1 and then reports itself as a change, each notch
//     scales by 1.1, the gesture ends 0.25 s after the last notch;
//   - tap: a press and release within 10 points; two taps within 0.35 s are a double tap (a
//     recogniser that needs one tap fires on every tap, it does not wait for a double);
//   - long press: the left button held 0.5 s without moving 10 points, or the right button
//     (began on press, ended on release).
// Recognisers never cancel or delay the touches of the view: the view sees every touch whatever
// the recognisers make of it. A recogniser sees the touches of its view and of every descendant
// before the view they went down on.
//
// Actions are the platform's target-action pairs: a selector name as the interface resources
// give it ("onPanGesture:") and the call it stands for; the recogniser is the sender. Targets are
// held weakly (a null target means the action has no target object and always runs).
// Ownership: the view owns its recognisers; a recogniser refers to its view weakly.
// [main-thread] All of it; the timers run on the main run loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/CGGeometry.h"
#include "ui/UITouch.h"

namespace pf {

class Timer;

enum class UIGestureRecognizerState : std::int64_t {
    possible = 0,
    began = 1,
    changed = 2,
    ended = 3,
    cancelled = 4,
    failed = 5,
    recognized = ended,
};

class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
public:
    using Action = std::function<void(UIGestureRecognizer& sender)>;

    static constexpr CGFloat kMovementThreshold = 10; // points

    UIGestureRecognizer() = default;
    virtual ~UIGestureRecognizer();
    UIGestureRecognizer(const UIGestureRecognizer&) = delete;
    UIGestureRecognizer& operator=(const UIGestureRecognizer&) = delete;

    void addTarget(const std::shared_ptr<void>& target, const std::string& selector, Action action);
    void removeTarget(const void* target);
    // The selector names registered for a target, in registration order.
    std::vector<std::string> actions(const void* target) const;

    UIGestureRecognizerState state() const { return state_; }
    UIView* view() const { return view_.lock().get(); }
    bool isEnabled() const { return enabled_; }
    // Disabling ends a gesture in progress as cancelled.
    void setEnabled(bool enabled);
    // Always false here: recognisers never take touches away from the view.
    bool cancelsTouchesInView() const { return false; }
    // Location of the gesture's touch (or pointer) in `view` (window points when null).
    CGPoint location(const UIView* view) const;

    // Input from the application, in window points. The defaults ignore it.
    virtual void touchesBegan(const UITouchSet& touches, const UIEvent& event);
    virtual void touchesMoved(const UITouchSet& touches, const UIEvent& event);
    virtual void touchesEnded(const UITouchSet& touches, const UIEvent& event);
    virtual void touchesCancelled(const UITouchSet& touches, const UIEvent& event);
    virtual void wheel(CGPoint windowLocation, CGFloat amount) {
        (void)windowLocation, (void)amount;
    }
    virtual void secondaryButton(bool down, CGPoint windowLocation) {
        (void)down, (void)windowLocation;
    }

    // Back to `possible` with no gesture in progress.
    virtual void reset();

    // For the view's addGestureRecognizer.
    void attach(std::weak_ptr<UIView> view);

protected:
    // Sets the state and, for began, changed, ended and cancelled, sends the actions. Ended,
    // cancelled and failed return to `possible` afterwards.
    void transition(UIGestureRecognizerState state);
    // True between began and the end of a continuous gesture.
    bool inProgress() const {
        return state_ == UIGestureRecognizerState::began ||
               state_ == UIGestureRecognizerState::changed;
    }
    // Ends a gesture in progress as ended (or cancelled); otherwise back to `possible`.
    void finish(bool cancelled) {
        if (inProgress())
            transition(cancelled ? UIGestureRecognizerState::cancelled
                                 : UIGestureRecognizerState::ended);
        else
            reset();
    }
    double now() const;
    UIWindow* window() const { return window_; }
    void setLocation(UIWindow* window, CGPoint windowLocation) {
        window_ = window;
        location_ = windowLocation;
    }

private:
    struct Entry {
        std::weak_ptr<void> target;
        const void* key = nullptr;
        std::string selector;
        Action action;
    };
    std::vector<Entry> entries_;
    std::weak_ptr<UIView> view_;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::possible;
    bool enabled_ = true;
    UIWindow* window_ = nullptr;
    CGPoint location_;
};

class UIPanGestureRecognizer : public UIGestureRecognizer {
public:
    // The movement since the button went down, in `view`'s coordinates (window points when null).
    CGPoint translation(const UIView* view) const;
    // Restarts the cumulative translation from the current point (the platform's
    // setTranslation(.zero, in:)).
    void setTranslationZero() { start_ = current_; }

    void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
    void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
    void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
    void touchesCancelled(const UITouchSet& touches, const UIEvent& event) override;
    void reset() override;

private:
    bool tracking_ = false;
    CGPoint start_;
    CGPoint current_;
};

class UIPinchGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr CGFloat kStepFactor = 1.1;
    static constexpr double kEndDelay = 0.25; // seconds without wheel input

    ~UIPinchGestureRecognizer() override;
    // Cumulative since the gesture began (1 at rest).
    CGFloat scale() const { return scale_; }
    void wheel(CGPoint windowLocation, CGFloat amount) override;
    void reset() override;

private:
    void scheduleEnd();
    CGFloat scale_ = 1;
    std::shared_ptr<Timer> endTimer_;
};

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr double kMultiTapInterval = 0.35; // seconds from one release to the next press

    int numberOfTapsRequired = 1;

    void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
    void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
    void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
    void touchesCancelled(const UITouchSet& touches, const UIEvent& event) override;
    void reset() override;

private:
    bool pressed_ = false;
    bool moved_ = false;
    CGPoint down_;
    int taps_ = 0;
    double lastRelease_ = -1e9;
    CGPoint lastPoint_;
};

class UILongPressGestureRecognizer : public UIGestureRecognizer {
public:
    ~UILongPressGestureRecognizer() override;
    double minimumPressDuration = 0.5; // seconds
    CGFloat allowableMovement = kMovementThreshold;

    void touchesBegan(const UITouchSet& touches, const UIEvent& event) override;
    void touchesMoved(const UITouchSet& touches, const UIEvent& event) override;
    void touchesEnded(const UITouchSet& touches, const UIEvent& event) override;
    void touchesCancelled(const UITouchSet& touches, const UIEvent& event) override;
    void secondaryButton(bool down, CGPoint windowLocation) override;
    void reset() override;

private:
    void stopTimer();
    std::shared_ptr<Timer> timer_;
    CGPoint down_;
    bool pressing_ = false;
};

} // namespace pf
