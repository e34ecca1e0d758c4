#include "AnimationSequencer.h"

#include <algorithm>

#include "AnimationSupport.h"

AnimationSequencer::~AnimationSequencer() {
    invalidateTimer(_timer);
}

void AnimationSequencer::add(std::shared_ptr<Animator> item, std::int64_t at) {
    if (!item) {
        animationWarning(kInvalidAnimatorError);
        return;
    }
    item->_startFrame = at;
    _animators.push_back(std::move(item));
    std::stable_sort(_animators.begin(), _animators.end(),
                     [](const auto& a, const auto& b) { return a->_startFrame < b->_startFrame; });
    calculateFrames();
}

void AnimationSequencer::remove(const std::shared_ptr<Animator>& item) {
    if (item) {
        auto it = std::find(_animators.begin(), _animators.end(), item);
        if (it != _animators.end()) _animators.erase(it);
    }
    calculateFrames();
}

void AnimationSequencer::removeAll() {
    std::vector<std::shared_ptr<Animator>>().swap(_animators);
    _maxFrames = 0;
}

void AnimationSequencer::calculateFrames() {
    for (const auto& item : _animators) {
        // An entry placed at frame 0 or below comes in on frame 1; its frames count from there.
        const std::int64_t end =
            easing::saturatingAdd(std::max<std::int64_t>(item->_startFrame, 1), item->_frames);
        if (end > _maxFrames) _maxFrames = end;
    }
}

void AnimationSequencer::start() {
    ++_run;
    auto self = shared_from_this();
    scheduleRepeating(_timer, interval, [self](pf::Timer&) {
        self->_currentFrame = easing::saturatingAdd(self->_currentFrame, 1);
        self->animate();
    });
}

void AnimationSequencer::stop() {
    reset();
}

void AnimationSequencer::reset() {
    invalidateTimer(_timer);
    _currentIndex = 0;
    _currentFrame = 0;
    ++_run;
}

void AnimationSequencer::rewind() {
    const auto snapshot = _animators;
    for (const auto& item : snapshot)
        item->rewind();
}

void AnimationSequencer::seek(std::int64_t to) {
    _currentFrame = to;
    _currentIndex = 0;
    if (_currentFrame > _maxFrames) {
        stop();
        return;
    }
    const auto snapshot = _animators;
    for (const auto& item : snapshot) {
        if (item->_startFrame < to) {
            item->stop();
            ++_currentIndex;
        } else {
            item->rewind();
        }
    }
}

void AnimationSequencer::findAnimators() {
    // After a removal the index may stand past the end; the range is then empty.
    for (std::size_t i = static_cast<std::size_t>(std::max<std::int64_t>(_currentIndex, 0));
         i < _animators.size(); ++i) {
        const auto& item = _animators[i];
        if (item->_startFrame <= _currentFrame && !item->isFinished()) {
            _currentIndex = static_cast<std::int64_t>(i);
            scheduleItem(item);
        }
    }
}

void AnimationSequencer::scheduleItem(const std::shared_ptr<Animator>& item) {
    if (std::find(_animatedItems.begin(), _animatedItems.end(), item) == _animatedItems.end())
        _animatedItems.push_back(item);
}

void AnimationSequencer::animate() {
    if (_suspended) return;
    if (_animators.empty()) {
        animationWarning(kNoAnimatorsWarning);
        return;
    }
    auto keepAlive = weak_from_this().lock();
    const std::uint64_t run = _run;
    findAnimators();
    const auto snapshot = _animatedItems;
    for (const auto& item : snapshot) {
        if (onAnimation) {
            notify(onAnimation, *this, *item);
            if (_run != run) return;
        }
        item->animate();
        if (_run != run) return;
        if (item->isFinished()) {
            auto it = std::find(_animatedItems.begin(), _animatedItems.end(), item);
            if (it != _animatedItems.end()) _animatedItems.erase(it);
        }
    }
    if (_currentFrame < _maxFrames) return;
    // Stopped before the callback is told, so a restart made from onFinished survives.
    stop();
    notify(onFinished, *this);
}
