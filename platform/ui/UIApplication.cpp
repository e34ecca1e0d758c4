#include "ui/UIApplication.h"

#include <chrono>

#include "core/RunLoop.h"
#include "ui/MainThread.h"
#include "ui/UIGestureRecognizer.h"
#include "ui/UILabel.h"
#include "ui/UIWindow.h"

namespace pf {

namespace {
constexpr std::int32_t kKeyBackspace = 8; // the backends' key codes (SDL's)
constexpr std::int32_t kKeyReturn = 13;

template <typename Fn>
void eachRecognizer(const std::vector<std::weak_ptr<UIGestureRecognizer>>& list, Fn fn) {
    for (const auto& weak : list)
        if (auto r = weak.lock(); r && r->isEnabled() && r->view()) fn(*r);
}
} // namespace

UIApplication& UIApplication::shared() {
    static UIApplication app;
    return app;
}

double UIApplication::currentTime() {
    return std::chrono::duration<double>(RunLoop::main().clock().now().time_since_epoch()).count();
}

void UIApplication::attach(UIWindow& window) {
    UIWindow* w = &window;
    window.inputHandler = [w](const InputEvent& e) { UIApplication::shared().sendInput(*w, e); };
}

UIApplication::Recognizers UIApplication::recognizersFor(UIView* view) {
    Recognizers out;
    for (UIView* v = view; v; v = v->superview())
        for (const auto& r : v->gestureRecognizers())
            out.push_back(r);
    return out;
}

void UIApplication::touchDown(UIWindow& window, const InputEvent& e) {
    if (touch_) return; // one touch at a time
    UIView* hit = window.hitTest(e.location, nullptr);
    if (auto field = textReceiver(); field && field.get() != hit) field->resignFirstResponder();
    if (!hit) return;
    const double t = currentTime();
    touch_ = std::make_shared<UITouch>(&window, hit->weak_from_this(), e.location, t,
                                       std::max(1, e.clicks));
    touchView_ = hit->weak_from_this();
    touchRecognizers_ = recognizersFor(hit);
    touchPhase(UITouchPhase::began, &e);
}

void UIApplication::touchPhase(UITouchPhase phase, const InputEvent* e) {
    const auto touch = touch_; // the touch outlives a handler that starts or ends another
    if (!touch) return;
    touch->phase = phase;
    if (e && phase != UITouchPhase::began && phase != UITouchPhase::cancelled)
        touch->moveTo(e->location, currentTime());
    UIEvent event;
    event.timestamp = touch->timestamp;
    event.touches = {touch};
    const UITouchSet& set = event.touches;
    const Recognizers recognizers = touchRecognizers_;
    if (phase == UITouchPhase::ended || phase == UITouchPhase::cancelled) {
        touch_.reset();
        touchRecognizers_.clear();
    }
    eachRecognizer(recognizers, [&](UIGestureRecognizer& r) {
        switch (phase) {
        case UITouchPhase::began:
            r.touchesBegan(set, event);
            break;
        case UITouchPhase::moved:
            r.touchesMoved(set, event);
            break;
        case UITouchPhase::ended:
            r.touchesEnded(set, event);
            break;
        case UITouchPhase::cancelled:
            r.touchesCancelled(set, event);
            break;
        case UITouchPhase::stationary:
            break;
        }
    });
    const auto view = touchView_.lock();
    if (!view) return;
    switch (phase) {
    case UITouchPhase::began:
        view->touchesBegan(set, &event);
        break;
    case UITouchPhase::moved:
        view->touchesMoved(set, &event);
        break;
    case UITouchPhase::ended:
        view->touchesEnded(set, &event);
        break;
    case UITouchPhase::cancelled:
        view->touchesCancelled(set, &event);
        break;
    case UITouchPhase::stationary:
        break;
    }
}

void UIApplication::sendInput(UIWindow& window, const InputEvent& e) {
    requireMainThread("UIApplication::sendInput called off the main thread");
    using Kind = InputEvent::Kind;
    switch (e.kind) {
    case Kind::mouseDown:
        if (e.button == 1) {
            touchDown(window, e);
        } else if (e.button == 3) {
            secondaryRecognizers_ = recognizersFor(window.hitTest(e.location, nullptr));
            eachRecognizer(secondaryRecognizers_,
                           [&](UIGestureRecognizer& r) { r.secondaryButton(true, e.location); });
        }
        break;
    case Kind::mouseMove:
        if (touch_ && touch_->window() == &window) touchPhase(UITouchPhase::moved, &e);
        break;
    case Kind::mouseUp:
        if (e.button == 1) {
            if (touch_ && touch_->window() == &window) touchPhase(UITouchPhase::ended, &e);
        } else if (e.button == 3) {
            const Recognizers list = std::move(secondaryRecognizers_);
            secondaryRecognizers_.clear();
            eachRecognizer(list,
                           [&](UIGestureRecognizer& r) { r.secondaryButton(false, e.location); });
        }
        break;
    case Kind::wheel:
        eachRecognizer(recognizersFor(window.hitTest(e.location, nullptr)),
                       [&](UIGestureRecognizer& r) { r.wheel(e.location, e.wheelY); });
        break;
    case Kind::focusLost:
        if (touch_ && touch_->window() == &window) touchPhase(UITouchPhase::cancelled, nullptr);
        break;
    case Kind::text:
        if (auto field = textReceiver()) field->insertText(e.text);
        break;
    case Kind::keyDown:
        if (auto field = textReceiver()) {
            if (e.key == kKeyBackspace) field->deleteBackward();
            if (e.key == kKeyReturn) field->sendActions(UIControlEventEditingDidEndOnExit);
        }
        break;
    case Kind::keyUp:
        break;
    }
}

} // namespace pf
