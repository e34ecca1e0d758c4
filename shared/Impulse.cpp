#include "Impulse.h"

#include <cmath>

#include "AnimationSupport.h"
#include "EnumEasing.h"

Impulse::Impulse(std::int64_t frames, float amount, float interval, float intensity) {
    Impulse::setup(frames, amount, interval, intensity);
}

Impulse::~Impulse() {
    invalidateTimer(_timer);
}

void Impulse::setup(std::int64_t frames, float amount, float interval, float intensity) {
    _frames = frames < 0 ? 0 : frames;
    _step = 0;
    _source = amount;
    _amount = amount;
    _intensity = intensity;
    _interval = interval;
    ++_run;
}

void Impulse::setMinMax(bool enabled, float min, float max) {
    _collision = enabled;
    _minVal = min;
    _maxVal = max;
}

void Impulse::start() {
    ++_run;
    auto self = shared_from_this();
    scheduleRepeating(_timer, _interval, [self](pf::Timer&) { self->animate(); });
}

void Impulse::stop() {
    invalidateTimer(_timer);
    reset();
}

void Impulse::reset() {
    _frames = -1;
    _step = 0;
    _amount = 0;
    _value = 0;
    ++_run;
}

void Impulse::animate() {
    auto keepAlive = weak_from_this().lock();
    const std::uint64_t run = _run;
    _amount = _amount * _intensity;
    if (!(std::fabs(_amount) >= _threshold)) {
        _amount = 0;
        if (onFinished) {
            notify(onFinished, *this);
            if (_run != run) return; // stopped or restarted from onFinished: leave it be
        }
        stop();
        return;
    }
    _step = easing::saturatingAdd(_step, 1);
    _value = _value + _amount;
    if (_collision && (_value <= _minVal || _value >= _maxVal)) {
        _amount = -_amount;
        _value = _value + _amount;
        if (onCollision) {
            notify(onCollision, *this);
            if (_run != run) return;
        }
    }
    notify(onAnimation, *this);
}
