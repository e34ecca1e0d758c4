// Compander2: the stereo gain computer. It drives the input by a factor derived from the
// threshold, follows the driven level with two detector followers, turns each followed peak into
// a gain factor (below full scale: 1 + (1 − peak) × multiplier, so a negative multiplier expands
// and a positive one lifts quiet passages; above full scale: 1 / peak, holding the driven signal
// at full scale), applies make-up gain and mixes with the dry signal, or outputs dry minus
// processed when inverted. Two more followers follow the processed signal for the meters.
//
// Modes: 0, 2 and any unknown value follow left and right independently; 1 detects mid and side
// and applies the mid's factor to both channels; 3 applies the left channel's factor to both.
//
// Threads: setters on any thread, `processBuffers` on the render thread, getters on the meter
// thread. Settings are relaxed atomics, read once per `processBuffers` call; a setter that runs
// during a call takes effect with the next one.
#pragma once

#include <cstdint>

#include "Follower.h"
#include "Relaxed.h"

class Compander2 {
public:
    // 48000 Hz, mode 0, multiplier 0, gain 1 (setting 0.5), mix 1, drive 1 (threshold 0.5).
    Compander2() noexcept;

    // Attack and release of the two detector followers; the output followers keep their times.
    void setAttack(float seconds) noexcept;
    void setRelease(float seconds) noexcept;
    // Drive = 0.05 + (1 − value) × 1.9, at least 0.01. A non-finite value is ignored.
    void setThreshold(float value) noexcept;
    // Multiplier = m, at least −1. A non-finite value is ignored.
    void setMultiplier(float m) noexcept;
    // Gain = 2 × value. A non-finite value is ignored.
    void setGain(float value) noexcept;
    // Wet share, unlimited. A non-finite value is ignored.
    void setMix(float value) noexcept;
    void setMode(std::int32_t mode) noexcept { lMode = mode; }
    void setInverted(bool flag) noexcept { bInverted = flag; }
    // Re-rates the four followers, which puts their times back to their defaults.
    void setSamplerate(float rate) noexcept;

    // Clears the four peaks and sets both factors to 1; settings stay.
    void init() noexcept;
    void reset() noexcept { init(); }

    // [render-thread] Processes `frameCount` samples of both channels in place; a count of 0 or
    // less does nothing.
    void processBuffers(float* left, float* right, std::int64_t frameCount) noexcept;
    void processBuffersIndependent(float* left, float* right, std::int64_t frameCount) noexcept;
    void processBuffersLinked(float* left, float* right, std::int64_t frameCount) noexcept;
    void processBuffersLinked2(float* left, float* right, std::int64_t frameCount) noexcept;

    float getFactorL() const noexcept { return factor[0]; }
    float getFactorR() const noexcept { return factor[1]; }
    float getPeakOutL() const noexcept { return outputFollower[0].getPeak(); }
    float getPeakOutR() const noexcept { return outputFollower[1].getPeak(); }

    Follower inputFollower[2];
    Follower outputFollower[2];
    Relaxed<float> fSamplerate;
    Relaxed<float> fMultiplier;
    Relaxed<std::int32_t> lMode;
    Relaxed<float> fMix;
    Relaxed<float> fGain;
    Relaxed<float> vThreshold;
    Relaxed<float> vThresholdInv;
    Relaxed<float> factor[2];
    Relaxed<bool> bInverted;

private:
    enum class Detection { independent, midSide, left };
    template <Detection detection, bool inverted>
    void run(float* left, float* right, std::int64_t frameCount) noexcept;
    template <Detection detection>
    void dispatchInverted(float* left, float* right, std::int64_t frameCount) noexcept;
};
