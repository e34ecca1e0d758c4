// Touches and touch events. A mouse stands in for a finger: the application (UIApplication.h)
// turns the left button into one touch that goes down, moves and lifts, and hands it to the
// view it went down on and to the gesture recognisers of that view and its ancestors.
//
// A touch keeps its location in window points; `location(in:)` converts it into any view of
// the same window. [main-thread] All of it.
#pragma once

#include <memory>
#include <vector>

#include "ui/CGGeometry.h"
#include "ui/UIView.h"

namespace pf {

class UIWindow;

enum class UITouchPhase { began = 0, moved = 1, stationary = 2, ended = 3, cancelled = 4 };

class UITouch {
public:
    UITouch(UIWindow* window, std::weak_ptr<UIView> view, CGPoint windowLocation, double timestamp,
            int tapCount = 1);

    UITouchPhase phase = UITouchPhase::began;
    // Presses of the same place in quick succession (1 for a single click, 2 for a double).
    int tapCount = 1;
    // Seconds of the main run loop's clock at the last change.
    double timestamp = 0;

    // The location in `view`'s bounds coordinates (in window points when `view` is null).
    CGPoint location(const UIView* view) const;
    CGPoint previousLocation(const UIView* view) const;
    // The view the touch went down on (null once it left the tree).
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    UIWindow* window() const { return window_; }

    // Moves the touch (the application calls it).
    void moveTo(CGPoint windowLocation, double time);
    CGPoint windowLocation() const { return location_; }

private:
    UIWindow* window_;
    std::weak_ptr<UIView> view_;
    CGPoint location_;
    CGPoint previous_;
};

class UIEvent {
public:
    enum class Type { touches, scroll, presses };
    Type type = Type::touches;
    double timestamp = 0;
    UITouchSet touches;
    const UITouchSet& allTouches() const { return touches; }
};

} // namespace pf
