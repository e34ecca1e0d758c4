#include "AnimatorStack.h"

#include <algorithm>

#include "AnimationSupport.h"

AnimatorStack::~AnimatorStack() {
    invalidateTimer(_timer);
}

void AnimatorStack::add(std::shared_ptr<Animator> item) {
    if (item) _animators.push_back(std::move(item));
}

void AnimatorStack::start() {
    ++_run;
    auto self = shared_from_this();
    scheduleRepeating(_timer, interval, [self](pf::Timer&) { self->animate(); });
}

void AnimatorStack::stop() {
    reset();
}

void AnimatorStack::reset() {
    invalidateTimer(_timer);
    std::vector<std::shared_ptr<Animator>>().swap(_animators);
    ++_run;
}

void AnimatorStack::animate() {
    auto keepAlive = weak_from_this().lock();
    const std::uint64_t run = _run;
    bool stepped = false;
    const auto snapshot = _animators;
    for (const auto& item : snapshot) {
        if (item->isFinished()) continue;
        if (onAnimation) {
            notify(onAnimation, *this, *item);
            if (_run != run) return;
        }
        item->animate();
        if (_run != run) return;
        stepped = true;
        if (item->isFinished()) {
            auto it = std::find(_animators.begin(), _animators.end(), item);
            // A callback may already have taken it out; then there is nothing to report.
            if (it == _animators.end()) continue;
            _animators.erase(it);
            if (onRemovedItem) {
                notify(onRemovedItem, *this, *item);
                if (_run != run) return;
            }
        }
    }
    if (stepped) return;
    // Stopped before the callback is told, so a restart made from onFinished survives.
    stop();
    notify(onFinished, *this);
}
