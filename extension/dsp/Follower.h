// Follower: a peak envelope follower with a linear attack and release ramp and a hold time.
//
// The peak rises by a fixed step per sample while the input is above it (attack samples for a
// full-scale rise) and, once the hold counter has run out, falls by a fixed step per sample while
// the input is below it (release samples for a full-scale fall). Times shorter than 16 samples are
// raised to 16. The peak runs in double precision.
//
// Threads: the setters run on whichever thread sets a parameter; the processing runs on the
// render thread; `getPeak` on the meter (main) thread. Every field is a relaxed atomic written
// whole; a reader may see the previous value.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "DSPMath.h"
#include "Relaxed.h"

// |x|: -x when x < 0, otherwise x (NaN stays NaN).
inline float getAbsVal(float x) noexcept {
    return x < 0.0f ? -x : x;
}

class Follower {
public:
    // Sample rate 48000 Hz, attack 0.01 s, release 0.5 s, hold 0.0001 s, peak 0.
    Follower() noexcept;

    // Stores the rate and puts attack, release and hold back to 0.01 s, 0.5 s and 0.0001 s.
    // A rate that is not finite is ignored.
    void setSamplerate(float rate) noexcept;
    // Ignored outside 0..1 s (NaN and infinities included).
    void setAttack(float seconds) noexcept;
    // Ignored outside 0..10 s (NaN and infinities included).
    void setRelease(float seconds) noexcept;
    // Hold time; ignored outside 0..1 s. Sets the hold counter to seconds × rate, truncated.
    void setDecay(float seconds) noexcept;

    // Peak = 0. Times and the hold counter stay.
    void init() noexcept;
    void reset() noexcept { init(); }

    // [render-thread] Follows one sample; reads it and does not change it.
    void processSample(const float* sample) noexcept;

    float getPeak() const noexcept { return static_cast<float>(currentPeak.load()); }
    // 1 − peak, with the peak clamped to 0..1.
    float getPeakInverted() const noexcept { return 1.0f - std::clamp(getPeak(), 0.0f, 1.0f); }

    // [render-thread] The running state of a block of samples, kept in registers: take it with
    // `begin()`, feed samples to `process`, give it back with `end()`. Setters that run meanwhile
    // take effect with the next block.
    struct Running {
        double peak;
        double increase;
        double decrease;
        std::int32_t hold;
        std::int32_t holdReload;

        // Branches, not selects: the branch predictor follows an envelope well, and selects
        // would put a compare in the chain from one peak to the next. The falling case comes
        // first, as it is the usual one and then costs a single comparison. `std::fabs` compares
        // exactly as `getAbsVal` does (they differ only in the sign of zero) and costs one
        // instruction instead of five.
        void process(float sample) noexcept { follow(std::fabs(sample)); }

        // The same for a sample whose magnitude |sample| is already at hand.
        void follow(double a) noexcept {
            if (a < peak) [[likely]] { // an envelope mostly holds or falls
                if (hold > 0) [[unlikely]] {
                    --hold;
                } else {
                    hold = 0;
                    peak = dsp::maxZero(peak - decrease);
                }
            } else if (a > peak) {
                peak += increase;
                hold = holdReload;
            }
        }
    };
    Running begin() const noexcept {
        return Running{currentPeak, increase, decrease, decayTime, holdSamples()};
    }
    void end(const Running& running) noexcept {
        currentPeak = running.peak;
        decayTime = running.hold;
    }

    Relaxed<float> fSamplerate;
    Relaxed<float> fAttack;
    Relaxed<float> fRelease;
    Relaxed<float> fDecay;
    Relaxed<float> attackTime;
    Relaxed<float> releaseTime;
    Relaxed<std::int32_t> decayTime;
    Relaxed<double> increase;
    Relaxed<double> decrease;
    Relaxed<double> currentPeak;

private:
    // decay × rate, truncated; saturated so that no rate or decay makes it undefined.
    std::int32_t holdSamples() const noexcept {
        return dsp::saturatingToInt32(fDecay.load() * fSamplerate.load());
    }
};
