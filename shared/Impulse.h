// Impulse: moves one float by a push that dies away. Every tick multiplies the step by the damping
// factor, adds it to the value, optionally bounces it back at a lower and an upper bound, and the
// impulse stops by itself on the first tick whose step magnitude is below the threshold (0.001):
// onFinished, then stop() (which puts the value back to 0). After n moving ticks without a bounce
// the value has moved by amount * (q + q^2 + ... + q^n), q being the damping; all arithmetic is in
// 32-bit floats. A damping of magnitude 1 or more never dies away: only stop() ends it.
//
// Thread: the thread whose run loop the timer was scheduled on; nothing is locked.
// Ownership: owned by std::shared_ptr (create()); the timer's block holds the impulse until stop().
// A tick that a callback stopped or set up again ends at once, and a restart made from onFinished
// (setup, start) survives: the value then goes on from where it stands.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pf {
class Timer;
}

class Impulse : public std::enable_shared_from_this<Impulse> {
public:
    using Callback = std::function<void(Impulse&)>;

    static constexpr float kDefaultInterval = 0.009f;
    static constexpr float kDefaultIntensity = 0.75f;

    // Finished and idle.
    static std::shared_ptr<Impulse> create() { return std::make_shared<Impulse>(); }
    // create(), then setup() with the same values. Does not start.
    static std::shared_ptr<Impulse> create(std::int64_t frames, float amount,
                                           float interval = kDefaultInterval,
                                           float intensity = kDefaultIntensity) {
        return std::make_shared<Impulse>(frames, amount, interval, intensity);
    }
    Impulse() = default;
    Impulse(std::int64_t frames, float amount, float interval = kDefaultInterval,
            float intensity = kDefaultIntensity);
    virtual ~Impulse();
    Impulse(const Impulse&) = delete;
    Impulse& operator=(const Impulse&) = delete;

    Callback onAnimation; // after each tick that moved the value
    Callback onFinished;  // once, when the step has died away
    Callback onCollision; // on each bounce at a bound, before onAnimation

    // Step = source = amount, damping = intensity; frames only mark the impulse as not finished
    // (a negative count counts as 0). The value is not touched.
    virtual void setup(std::int64_t frames, float amount, float interval = kDefaultInterval,
                       float intensity = kDefaultIntensity);
    // Bounds switched on or off. A value at or beyond a bound reverses the step and takes it back.
    virtual void setMinMax(bool enabled, float min, float max);
    // Schedules the repeating timer (a running one is invalidated first).
    virtual void start();
    // Invalidates the timer; finished, with step, amount and value 0. Source, damping, interval,
    // bounds and callbacks stay.
    virtual void stop();
    virtual void animate();
    virtual bool isFinished() const { return _frames < 0; }
    virtual float getSourceValue() const { return _source; }
    // The moving value.
    virtual float getValue() const { return _value; }

    bool isRunning() const { return _timer != nullptr; }

private:
    void reset();

    std::shared_ptr<pf::Timer> _timer;
    std::int64_t _frames = -1;
    std::int64_t _step = 0;
    float _amount = 0;
    float _value = 0;
    float _source = 0;
    float _intensity = kDefaultIntensity;
    float _threshold = 0.001f;
    float _interval = kDefaultInterval;
    float _minVal = -1024.0f;
    float _maxVal = 1024.0f;
    bool _collision = false;
    std::uint64_t _run = 0; // changes on setup(), start() and reset()
};
