#include "ui/UIGestureRecognizer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/UIWindow.h"

namespace pf {

namespace {
CGFloat distance(CGPoint a, CGPoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

const std::shared_ptr<UITouch>* firstTouch(const UITouchSet& touches) {
    return touches.empty() ? nullptr : &touches.front();
}
} // namespace

// ---- UIGestureRecognizer --------------------------------------------------------------------

UIGestureRecognizer::~UIGestureRecognizer() = default;

void UIGestureRecognizer::addTarget(const std::shared_ptr<void>& target,
                                    const std::string& selector, Action action) {
    if (!action) return;
    for (const Entry& e : entries_)
        if (e.key == target.get() && e.selector == selector) return;
    entries_.push_back({target, target.get(), selector, std::move(action)});
}

void UIGestureRecognizer::removeTarget(const void* target) {
    std::erase_if(entries_, [&](const Entry& e) { return !target || e.key == target; });
}

std::vector<std::string> UIGestureRecognizer::actions(const void* target) const {
    std::vector<std::string> out;
    for (const Entry& e : entries_)
        if (e.key == target) out.push_back(e.selector);
    return out;
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled_) finish(true);
}

CGPoint UIGestureRecognizer::location(const UIView* view) const {
    UIWindow* w = window_;
    if (!w) {
        if (UIView* mine = this->view()) w = mine->window();
    }
    return view ? view->convertFrom(location_, w) : location_;
}

void UIGestureRecognizer::touchesBegan(const UITouchSet&, const UIEvent&) {}
void UIGestureRecognizer::touchesMoved(const UITouchSet&, const UIEvent&) {}
void UIGestureRecognizer::touchesEnded(const UITouchSet&, const UIEvent&) {}
void UIGestureRecognizer::touchesCancelled(const UITouchSet&, const UIEvent&) {}

void UIGestureRecognizer::reset() {
    state_ = UIGestureRecognizerState::possible;
}

void UIGestureRecognizer::attach(std::weak_ptr<UIView> view) {
    view_ = std::move(view);
    reset();
}

double UIGestureRecognizer::now() const {
    return std::chrono::duration<double>(RunLoop::main().clock().now().time_since_epoch()).count();
}

void UIGestureRecognizer::transition(UIGestureRecognizerState state) {
    state_ = state;
    const bool sends =
        state == UIGestureRecognizerState::began || state == UIGestureRecognizerState::changed ||
        state == UIGestureRecognizerState::ended || state == UIGestureRecognizerState::cancelled;
    if (sends) {
        // An action may remove targets or drop the recogniser's view (and the recogniser).
        const auto self = shared_from_this();
        const std::vector<Entry> snapshot = entries_;
        for (const Entry& e : snapshot) {
            if (e.key && e.target.expired()) continue;
            e.action(*this);
        }
    }
    if (state == UIGestureRecognizerState::ended || state == UIGestureRecognizerState::cancelled ||
        state == UIGestureRecognizerState::failed)
        reset();
}

// ---- Pan --------------------------------------------------------------------------------------

CGPoint UIPanGestureRecognizer::translation(const UIView* view) const {
    UIWindow* w = window();
    if (!view) return {current_.x - start_.x, current_.y - start_.y};
    const CGPoint a = view->convertFrom(start_, w);
    const CGPoint b = view->convertFrom(current_, w);
    return {b.x - a.x, b.y - a.y};
}

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || tracking_ || !isEnabled()) return;
    tracking_ = true;
    start_ = current_ = (*t)->windowLocation();
    setLocation((*t)->window(), current_);
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !tracking_) return;
    current_ = (*t)->windowLocation();
    setLocation((*t)->window(), current_);
    if (state() == UIGestureRecognizerState::possible) {
        if (distance(start_, current_) >= kMovementThreshold)
            transition(UIGestureRecognizerState::began);
    } else {
        transition(UIGestureRecognizerState::changed);
    }
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !tracking_) return;
    current_ = (*t)->windowLocation();
    setLocation((*t)->window(), current_);
    tracking_ = false;
    finish(false);
}

void UIPanGestureRecognizer::touchesCancelled(const UITouchSet&, const UIEvent&) {
    if (!tracking_) return;
    tracking_ = false;
    finish(true);
}

void UIPanGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    tracking_ = false;
}

// ---- Pinch ------------------------------------------------------------------------------------

UIPinchGestureRecognizer::~UIPinchGestureRecognizer() {
    if (endTimer_) endTimer_->invalidate();
}

void UIPinchGestureRecognizer::wheel(CGPoint windowLocation, CGFloat amount) {
    if (!isEnabled() || !std::isfinite(amount) || amount == 0) return;
    UIView* v = view();
    setLocation(v ? v->window() : nullptr, windowLocation);
    scheduleEnd();
    // A pinch begins at scale 1, as the fingers touch, so the actions can save the frame they
    // scale from; the notch that started it is the first change.
    if (state() == UIGestureRecognizerState::possible) {
        scale_ = 1;
        transition(UIGestureRecognizerState::began);
        if (state() != UIGestureRecognizerState::began) return; // an action ended the gesture
    }
    scale_ *= std::pow(kStepFactor, amount);
    transition(UIGestureRecognizerState::changed);
}

void UIPinchGestureRecognizer::scheduleEnd() {
    if (endTimer_) endTimer_->invalidate();
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    endTimer_ = Timer::scheduledTimer(kEndDelay, false, [weak](Timer&) {
        auto self = std::static_pointer_cast<UIPinchGestureRecognizer>(weak.lock());
        if (!self) return;
        self->endTimer_.reset();
        self->finish(false);
    });
}

void UIPinchGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    if (endTimer_) endTimer_->invalidate();
    endTimer_.reset();
    scale_ = 1;
}

// ---- Tap --------------------------------------------------------------------------------------

void UITapGestureRecognizer::touchesBegan(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || pressed_ || !isEnabled()) return;
    pressed_ = true;
    moved_ = false;
    down_ = (*t)->windowLocation();
    // A press too late or too far from the last tap starts a new count.
    if (now() - lastRelease_ > kMultiTapInterval ||
        distance(down_, lastPoint_) >= kMovementThreshold)
        taps_ = 0;
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !pressed_) return;
    if (distance(down_, (*t)->windowLocation()) >= kMovementThreshold) moved_ = true;
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !pressed_) return;
    pressed_ = false;
    if (moved_ || distance(down_, (*t)->windowLocation()) >= kMovementThreshold) {
        taps_ = 0;
        return;
    }
    ++taps_;
    lastRelease_ = now();
    lastPoint_ = (*t)->windowLocation();
    setLocation((*t)->window(), lastPoint_);
    if (taps_ >= std::max(1, numberOfTapsRequired)) {
        taps_ = 0;
        transition(UIGestureRecognizerState::ended);
    }
}

void UITapGestureRecognizer::touchesCancelled(const UITouchSet&, const UIEvent&) {
    pressed_ = false;
    taps_ = 0;
}

void UITapGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    pressed_ = false;
}

// ---- Long press -------------------------------------------------------------------------------

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() {
    stopTimer();
}

void UILongPressGestureRecognizer::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || pressing_ || !isEnabled()) return;
    pressing_ = true;
    down_ = (*t)->windowLocation();
    setLocation((*t)->window(), down_);
    stopTimer();
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    timer_ = Timer::scheduledTimer(minimumPressDuration, false, [weak](Timer&) {
        auto self = std::static_pointer_cast<UILongPressGestureRecognizer>(weak.lock());
        if (!self) return;
        self->timer_.reset();
        if (self->pressing_ && self->state() == UIGestureRecognizerState::possible)
            self->transition(UIGestureRecognizerState::began);
    });
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !pressing_) return;
    const CGPoint p = (*t)->windowLocation();
    setLocation((*t)->window(), p);
    if (state() == UIGestureRecognizerState::possible) {
        if (distance(p, down_) >= allowableMovement) {
            stopTimer();
            pressing_ = false;
            transition(UIGestureRecognizerState::failed);
        }
    } else {
        transition(UIGestureRecognizerState::changed);
    }
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet& touches, const UIEvent&) {
    const auto* t = firstTouch(touches);
    if (!t || !pressing_) return;
    pressing_ = false;
    stopTimer();
    setLocation((*t)->window(), (*t)->windowLocation());
    finish(false);
}

void UILongPressGestureRecognizer::touchesCancelled(const UITouchSet&, const UIEvent&) {
    if (!pressing_) return;
    pressing_ = false;
    stopTimer();
    finish(true);
}

void UILongPressGestureRecognizer::secondaryButton(bool down, CGPoint windowLocation) {
    if (!isEnabled()) return;
    UIView* v = view();
    setLocation(v ? v->window() : nullptr, windowLocation);
    if (down) {
        if (pressing_ || state() != UIGestureRecognizerState::possible) return;
        pressing_ = true;
        transition(UIGestureRecognizerState::began);
    } else if (pressing_) {
        pressing_ = false;
        finish(false);
    }
}

void UILongPressGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    stopTimer();
    pressing_ = false;
}

} // namespace pf
