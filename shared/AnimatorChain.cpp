#include "AnimatorChain.h"

#include <algorithm>

#include "AnimationSupport.h"

AnimatorChain::~AnimatorChain() {
    invalidateTimer(_timer);
}

void AnimatorChain::add(std::shared_ptr<Animator> item) {
    if (item) _animators.push_back(std::move(item));
}

void AnimatorChain::remove(const std::shared_ptr<Animator>& item) {
    if (!item) return;
    auto it = std::find(_animators.begin(), _animators.end(), item);
    if (it != _animators.end()) _animators.erase(it);
}

void AnimatorChain::removeAll() {
    stop();
    std::vector<std::shared_ptr<Animator>>().swap(_animators);
}

std::shared_ptr<Animator> AnimatorChain::getCurrentItem() const {
    if (_currentIndex < 0 || _currentIndex >= getCount()) return nullptr;
    return _animators[static_cast<std::size_t>(_currentIndex)];
}

void AnimatorChain::start() {
    ++_run;
    auto self = shared_from_this();
    scheduleRepeating(_timer, interval, [self](pf::Timer&) { self->animate(); });
}

void AnimatorChain::stop() {
    reset();
}

void AnimatorChain::reset() {
    invalidateTimer(_timer);
    _currentIndex = 0;
    ++_run;
}

void AnimatorChain::animate() {
    if (_animators.empty()) {
        animationWarning(kNoAnimatorsWarning);
        return;
    }
    auto keepAlive = weak_from_this().lock();
    const std::uint64_t run = _run;
    _currentIndex = std::clamp<std::int64_t>(_currentIndex, 0, getCount() - 1);
    // Our own reference: a callback may remove the entry from the list.
    const auto item = _animators[static_cast<std::size_t>(_currentIndex)];
    if (onAnimation) {
        notify(onAnimation, *this, *item);
        if (_run != run) return;
    }
    if (!async) {
        item->animate();
        if (_run != run) return;
        if (item->isFinished()) _currentIndex += _direction;
    } else {
        item->start();
        if (_run != run) return;
        _currentIndex += _direction;
    }
    const bool ended = _direction > 0 ? _currentIndex >= getCount() : _currentIndex < 0;
    if (!ended) return;
    // Stopped before the callback is told, so a restart made from onFinished survives.
    stop();
    notify(onFinished, *this);
}
