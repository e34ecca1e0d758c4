#include "ui/UITouch.h"

#include "ui/UIWindow.h"

namespace pf {

UITouch::UITouch(UIWindow* window, std::weak_ptr<UIView> view, CGPoint windowLocation, double time,
                 int taps)
    : tapCount(taps), timestamp(time), window_(window), view_(std::move(view)),
      location_(windowLocation), previous_(windowLocation) {}

CGPoint UITouch::location(const UIView* view) const {
    return view ? view->convertFrom(location_, window_) : location_;
}

CGPoint UITouch::previousLocation(const UIView* view) const {
    return view ? view->convertFrom(previous_, window_) : previous_;
}

void UITouch::moveTo(CGPoint windowLocation, double time) {
    previous_ = location_;
    location_ = windowLocation;
    timestamp = time;
}

} // namespace pf
