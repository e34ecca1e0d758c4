#include "Animator.h"

#include "AnimationSupport.h"

std::atomic<std::int64_t> Animator::s_classCount{0};

std::shared_ptr<Animator> Animator::create() {
    return std::make_shared<Animator>();
}

std::shared_ptr<Animator> Animator::create(float sourceValue, float destinationValue,
                                           std::int64_t frames, float interval, EnumEasing type) {
    return std::make_shared<Animator>(sourceValue, destinationValue, frames, interval, type);
}

Animator::Animator() {
    s_classCount.fetch_add(1, std::memory_order_relaxed);
}

Animator::Animator(float sourceValue, float destinationValue, std::int64_t frames, float interval,
                   EnumEasing type)
    : Animator() {
    // Not virtual here: a subclass is not constructed yet.
    Animator::setup(sourceValue, destinationValue, frames, interval, type);
}

Animator::~Animator() {
    invalidateTimer(_timer);
    s_classCount.fetch_sub(1, std::memory_order_relaxed);
}

std::int64_t Animator::classCount() {
    return s_classCount.load(std::memory_order_relaxed);
}

void Animator::setup(float source, float destination, std::int64_t frames, float interval,
                     EnumEasing type) {
    _source = source;
    _destination = destination;
    _value = _source;
    _amount = _destination - _source;
    _frames = frames;
    _frameCount = _frames;
    _step = 0;
    _interval = interval;
    setType(type);
    if (_frames < 0) _frames = 0;
    if (_amount == 0.0f) _frames = 0;
    ++_run;
}

void Animator::reverse() {
    setup(_destination, _source, _frames, _interval, _type);
}

void Animator::rewind() {
    setup(_source, _destination, _frameCount, _interval, _type);
}

void Animator::undo() {
    setup(_source, _destination, 1, _interval, _type);
    animate();
    animate();
}

void Animator::setType(EnumEasing type) {
    _type = type;
}

void Animator::reset() {
    _step = 0;
    _frames = -1;
    looped = false;
    ++_run;
}

void Animator::start() {
    // One timer at most: a second start() must not leave an older timer stepping us.
    auto self = shared_from_this();
    scheduleRepeating(_timer, _interval, [self](pf::Timer&) { self->animate(); });
}

void Animator::stop() {
    invalidateTimer(_timer);
    reset();
}

void Animator::animate() {
    if (_frames < 0) return;
    // A callback may drop the last reference to us.
    auto keepAlive = weak_from_this().lock();
    const std::uint64_t run = _run;
    if (_step < _frames) {
        if (onAnimation) {
            notify(onAnimation, *this, _value);
            if (_run != run) return;
        }
        ++_step;
        _value = curveValue(_step);
        return;
    }
    _value = _destination;
    if (looped) {
        if (onLoop) {
            notify(onLoop, *this);
            if (_run != run) return;
        }
        reverse();
    } else {
        stop();
        notify(onFinished, *this, _value);
    }
}

float Animator::curveValue(std::int64_t frame) {
    using E = EnumEasing;
    switch (_type) {
    case E::EASING_easeInElastic:
        return easeInElastic(frame, _source, _amount, _frames);
    case E::EASING_easeOutElastic:
        return easeOutElastic(frame, _source, _amount, _frames);
    case E::EASING_easeInOutElastic:
        return easeInOutElastic(frame, _source, _amount, _frames);
    case E::EASING_easeOutInElastic:
        return easeOutInElastic(frame, _source, _amount, _frames);
    case E::EASING_easeInBack:
        return easeInBack(frame, _source, _amount, _frames);
    case E::EASING_easeOutBack:
        return easeOutBack(frame, _source, _amount, _frames);
    case E::EASING_easeInOutBack:
        return easeInOutBack(frame, _source, _amount, _frames);
    case E::EASING_easeOutInBack:
        return easeOutInBack(frame, _source, _amount, _frames);
    default:
        return easingCurve(_type)(frame, _source, _amount, _frames);
    }
}

float Animator::easeInElastic(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeInElastic(t, b, c, d);
}
float Animator::easeOutElastic(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeOutElastic(t, b, c, d);
}
float Animator::easeInOutElastic(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeInOutElastic(t, b, c, d);
}
// Built from this animator's own Out and In, so an override of either shapes the OutIn curve too.
float Animator::easeOutInElastic(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::outIn([this](std::int64_t f, float s, float a,
                                std::int64_t n) { return easeOutElastic(f, s, a, n); },
                         [this](std::int64_t f, float s, float a, std::int64_t n) {
                             return easeInElastic(f, s, a, n);
                         },
                         t, b, c, d);
}
float Animator::easeInBack(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeInBack(t, b, c, d);
}
float Animator::easeOutBack(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeOutBack(t, b, c, d);
}
float Animator::easeInOutBack(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::easeInOutBack(t, b, c, d);
}
float Animator::easeOutInBack(std::int64_t t, float b, float c, std::int64_t d) {
    return easing::outIn(
        [this](std::int64_t f, float s, float a, std::int64_t n) {
            return easeOutBack(f, s, a, n);
        },
        [this](std::int64_t f, float s, float a, std::int64_t n) { return easeInBack(f, s, a, n); },
        t, b, c, d);
}
