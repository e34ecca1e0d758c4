// Animator: eases one float from a source value to a destination value over a whole number of
// frames, one frame per tick, along an EnumEasing curve.
//
// Thread: [main-thread] in practice; more exactly, an animator belongs to the thread whose run loop
// its timer was scheduled on (the thread that called start()). Nothing is locked; the callbacks are
// called synchronously from animate() on that thread.
//
// Ownership: animators are always owned by std::shared_ptr (make them with create()). While an
// animator runs on its own timer, the timer's block holds it strongly, so it stays alive until
// stop() (called by itself at the end of a run that is not looped) invalidates the timer, also when
// nobody else keeps it. animate() keeps the animator alive for its whole tick, so a callback may
// drop the last outside reference.
//
// One run of N frames (N >= 1) takes N + 1 ticks: onAnimation sees the value before each of the
// first N steps; the (N + 1)-th tick sets the destination exactly and, for a run that is not
// looped, stops the animator first and then calls onFinished with the destination. A run of 0
// frames ends on its first tick without onAnimation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "EnumEasing.h"

namespace pf {
class Timer;
}

class AnimatorStack;
class AnimatorChain;
class AnimationSequencer;

class Animator : public std::enable_shared_from_this<Animator> {
public:
    // Called on every stepping tick with the value before the step, and once at the end of a run
    // that is not looped with the destination.
    using Callback = std::function<void(Animator&, float)>;
    // Called at each turn of a looped run.
    using LoopCallback = std::function<void(Animator&)>;

    static constexpr float kDefaultInterval = 0.009f;

    // A finished animator with no run; its curve is easeNone and its interval 0.005 s.
    static std::shared_ptr<Animator> create();
    // create(), then setup() with the same values. Does not start.
    static std::shared_ptr<Animator> create(float sourceValue, float destinationValue,
                                            std::int64_t frames, float interval = kDefaultInterval,
                                            EnumEasing type = EnumEasing::EASING_easeNone);

    // Prefer create(); a subclass is made with std::make_shared of its own type.
    Animator();
    Animator(float sourceValue, float destinationValue, std::int64_t frames,
             float interval = kDefaultInterval, EnumEasing type = EnumEasing::EASING_easeNone);
    virtual ~Animator();
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    // Animators constructed and not yet destroyed.
    static std::int64_t classCount();

    // Run back and forth without end instead of finishing. stop() clears it.
    bool looped = false;
    Callback onAnimation;
    Callback onFinished;
    LoopCallback onLoop;

    // Sets up a run: value = source, step 0, the interval and curve. A negative frame count, or
    // source equal to destination, gives a run of 0 frames. Leaves the timer, looped and the
    // callbacks alone. A run replaced from inside a callback ends the tick that called it.
    virtual void setup(float source, float destination, std::int64_t frames,
                       float interval = kDefaultInterval,
                       EnumEasing type = EnumEasing::EASING_easeNone);
    // A run from the destination back to the source, same frames, interval and curve.
    virtual void reverse();
    // Ends the current run at once: a run of one frame from source to destination, stepped twice
    // (onAnimation with the source, then the end of the run). Keeps the interval and curve.
    virtual void undo();
    virtual float getDestinationValue() const { return _destination; }
    virtual float getSourceValue() const { return _source; }
    virtual float getValue() const { return _value; }
    // One tick. A finished animator ignores it. Containers call it to step an animator by hand.
    virtual void animate();
    // True exactly when there is no run (frame count negative).
    virtual bool isFinished() const { return _frames < 0; }
    // Schedules the repeating timer on the calling thread's run loop at the current interval.
    // A timer that is already running is invalidated first, so there is never more than one.
    // The animator must be owned by a std::shared_ptr.
    virtual void start();
    // Invalidates and drops the timer, then resets: no run, step 0, not looped. Values, curve,
    // interval and callbacks stay, so rewind() can set the run up again.
    virtual void stop();
    // Sets up the last run again from its source with the frame count as last passed to setup(),
    // keeping the interval and curve. Neither starts nor stops the timer.
    virtual void rewind();
    // Installs the curve of the case (EASING_easeLast installs easeNone); the run goes on.
    virtual void setType(EnumEasing type);
    // Takes effect at the next start(); a running timer keeps its interval.
    virtual void setInterval(float interval) { _interval = interval; }

    EnumEasing getType() const { return _type; }
    float getInterval() const { return _interval; }
    bool isRunning() const { return _timer != nullptr; }

    // The curves that a subclass may replace; the other curves are fixed. The OutIn members are
    // built from this animator's own Out and In members.
    virtual float easeInElastic(std::int64_t currentFrame, float sourceValue, float amount,
                                std::int64_t numFrames);
    virtual float easeOutElastic(std::int64_t currentFrame, float sourceValue, float amount,
                                 std::int64_t numFrames);
    virtual float easeInOutElastic(std::int64_t currentFrame, float sourceValue, float amount,
                                   std::int64_t numFrames);
    virtual float easeOutInElastic(std::int64_t currentFrame, float sourceValue, float amount,
                                   std::int64_t numFrames);
    virtual float easeInBack(std::int64_t currentFrame, float sourceValue, float amount,
                             std::int64_t numFrames);
    virtual float easeOutBack(std::int64_t currentFrame, float sourceValue, float amount,
                              std::int64_t numFrames);
    virtual float easeInOutBack(std::int64_t currentFrame, float sourceValue, float amount,
                                std::int64_t numFrames);
    virtual float easeOutInBack(std::int64_t currentFrame, float sourceValue, float amount,
                                std::int64_t numFrames);

private:
    friend class AnimatorStack;
    friend class AnimatorChain;
    friend class AnimationSequencer;

    void reset();
    float curveValue(std::int64_t frame);

    static std::atomic<std::int64_t> s_classCount;

    std::int64_t _startFrame = 0; // the sequencer's placement; the animator never reads it
    std::int64_t _frameCount = 0; // frames as last passed to setup(), negative included
    std::shared_ptr<pf::Timer> _timer;
    float _source = 0;
    float _value = 0;
    float _destination = 0;
    float _amount = 0;
    std::int64_t _frames = -1;
    std::int64_t _step = 0;
    float _interval = 0.005f;
    EnumEasing _type = EnumEasing::EASING_easeNone;
    // Changes whenever the run is set up again or reset, so a tick can tell that a callback
    // replaced or stopped the run it was working on.
    std::uint64_t _run = 0;
};
