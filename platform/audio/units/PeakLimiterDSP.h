#pragma once
// The signal path of our peak-limiter unit: a stereo-linked, look-ahead brick-wall limiter whose
// output sample peak never exceeds the ceiling of 1.0 (0 dBFS).
//
// Signal flow, per frame:
//   1. Input sanitising: a non-finite sample becomes 0 (only that sample; the state never sees it).
//   2. Pre-gain: x = input * 10^(preGain / 20). A change ramps linearly across the next block.
//   3. Required gain per frame from the peak p = max_c |x_c|: r = 1 while p is at or below the
//      ceiling, else (a hair under) ceiling / p. One value for all channels, so every channel
//      always gets the same gain. (A frame within 2^-21 below the ceiling is already trimmed by
//      that hair, far less than 1e-6; the aim below the ceiling keeps rounding from carrying an
//      over through.)
//   4. Two gain paths, and the applied gain is the smaller of the two:
//      - Look-ahead path (the guarantee): the minimum of r over the look-ahead window (the frame
//        that leaves the delay and the `latencySamples()` frames after it), smoothed by a moving
//        average of the same length. The gain therefore falls in a straight line that reaches
//        each over's required gain exactly when that over leaves the delay, and comes back up
//        the same way after it. Nothing above the ceiling gets through.
//      - Envelope path (attack and decay): a target gain, the minimum of r over the look-ahead
//        window plus a hold of half the decay time behind it, followed by a one-pole smoother.
//        While the target lies below the envelope, the envelope falls towards it with a time
//        constant of the attack time; above, it rises with a time constant chosen so that the
//        hold plus the rise make up the decay time (see below).
//   5. Output: the input delayed by `latencySamples()`, times the applied gain, clamped to
//      [-1, 1] as a last guard (it also catches the one case the gain cannot: a finite input so
//      large that the pre-gain overflows it to infinity).
//
// What the parameters mean, as measured at the output:
//   - Decay time (the release): after a burst of overs ends, the linear gain recovers 63 % of the
//     way from its value at the end of the burst back to 1 within the decay time, counted from
//     the moment the burst's last over leaves the delay. It is made of a hold (the gain stays
//     down for half the decay time, at least one frame, which keeps the gain steady under a
//     sustained over of any frequency whose half period fits in the hold, so a sustained over is
//     not distorted by gain ripple) and a one-pole rise whose time constant is the rest of the
//     decay time.
//   - Attack time: the time constant with which the gain falls towards the held required gain.
//     The look-ahead path brings the gain down at once only where a frame needs it (at the peaks
//     of an over, each reached by a 1.5 ms ramp); the attack time sets how quickly the rest of
//     the signal, between those peaks, follows: after an over enters the look-ahead window, the
//     gain between its peaks covers 63 % of the way to the held required gain within the attack
//     time. Short attack: the whole over is turned down almost at once; long attack: the peaks
//     are shaved first and the level follows over the attack time.
//   - Pre-gain: a gain before the detector, so it moves the signal against the fixed ceiling.
//
// Latency: constant, floor(1.5 ms * sample rate) frames (66 at 44.1 kHz, 72 at 48 kHz, 144 at
// 96 kHz), whatever the parameters. Below the ceiling the output is the input times the pre-gain,
// delayed by exactly that many frames.
//
// Threads: `prepare` is [main-thread], not concurrent with anything else. The parameter and
// bypass setters and getters are [thread-safe] (relaxed atomics); `process` reads them once per
// call. `reset`, `resetLookahead` and `process` are [audio-thread] (or any thread, not concurrent
// with `process`), allocate nothing, lock nothing and never throw.

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/units/WindowMinima.h"

namespace pf {

class PeakLimiterDSP {
public:
    struct Range {
        float minimum;
        float maximum;
        float initial;
    };
    // Parameter ranges, in the units the setters take. Finite values outside are clamped;
    // non-finite values are ignored.
    static constexpr Range kAttackTime{0.001f, 0.03f, 0.012f}; // seconds
    static constexpr Range kDecayTime{0.001f, 0.06f, 0.024f};  // seconds
    static constexpr Range kPreGain{-40.0f, 40.0f, 0.0f};      // decibels

    static constexpr float kCeiling = 1.0f;
    static constexpr int kMaximumChannels = 2;
    // Sample rates `prepare` accepts.
    static constexpr double kMinimumSampleRate = 1000.0;
    static constexpr double kMaximumSampleRate = 768000.0;

    PeakLimiterDSP();
    PeakLimiterDSP(const PeakLimiterDSP&) = delete;
    PeakLimiterDSP& operator=(const PeakLimiterDSP&) = delete;

    // [main-thread] Allocates everything `process` needs for `sampleRate` and blocks of up to
    // `maximumFrames` frames, then resets. Returns false (and stays unprepared) when the rate is
    // not finite or outside [kMinimumSampleRate, kMaximumSampleRate], or `maximumFrames` is 0.
    // May be called again, with other values. Throws std::bad_alloc when memory runs out.
    bool prepare(double sampleRate, std::uint32_t maximumFrames);
    bool isPrepared() const noexcept { return prepared_; }
    double sampleRate() const noexcept { return sampleRate_; }
    std::uint32_t maximumFrames() const noexcept { return maximumFrames_; }

    // Constant latency of the prepared limiter, in frames and in seconds (0 before `prepare`).
    std::uint32_t latencySamples() const noexcept { return latency_; }
    double latencySeconds() const noexcept;

    // [audio-thread] Clears all signal state: the delay line (it then holds silence), the
    // look-ahead and hold windows, and the gain (back to 1). The pre-gain jumps to its current
    // setting without a ramp. Parameters are kept.
    void reset() noexcept;
    // [audio-thread] Called when the stream is not continuous with the previous block (its sample
    // time does not follow on): the audio held in the look-ahead belongs to another stream, so the
    // limiter starts afresh, as after `reset`.
    void resetLookahead() noexcept { reset(); }

    // [thread-safe] Parameter setters; a value takes effect at the start of the next `process`.
    void setAttackTime(float seconds) noexcept;
    void setDecayTime(float seconds) noexcept;
    void setPreGain(float decibels) noexcept;
    float attackTime() const noexcept { return attack_.load(std::memory_order_relaxed); }
    float decayTime() const noexcept { return decay_.load(std::memory_order_relaxed); }
    float preGain() const noexcept { return preGain_.load(std::memory_order_relaxed); }

    // [thread-safe] While bypassed, `process` copies its input to its output unchanged and with no
    // delay. The limiter keeps listening meanwhile, so that leaving bypass continues exactly as if
    // it had never been bypassed.
    void setBypass(bool bypassed) noexcept { bypass_.store(bypassed, std::memory_order_relaxed); }
    bool bypass() const noexcept { return bypass_.load(std::memory_order_relaxed); }

    // [audio-thread] Limits `frames` frames of `channels` non-interleaved channels from `in` to
    // `out`. `out[c]` may be the same memory as `in[c]` (in-place), but must not overlap any other
    // channel. A change of `channels` between calls is a discontinuity (call `resetLookahead`).
    // Returns false and touches nothing when the limiter is not prepared, `channels` is
    // not 1 or 2, `frames` is above `maximumFrames()`, or a pointer is null.
    bool process(const float* const* in, float* const* out, int channels,
                 std::uint32_t frames) noexcept;

private:
    struct Settings {
        float attack = kAttackTime.initial;
        float decay = kDecayTime.initial;
        float preGain = kPreGain.initial;
    };

    void applySettings(const Settings& wanted, bool initial) noexcept;
    void processChunk(const float* const* in, float* const* out, int channels, std::uint32_t begin,
                      std::uint32_t frames, float startGain, float gainStep,
                      bool bypassed) noexcept;
    void computeGains(std::uint32_t frames) noexcept;

    // Parameters, shared with other threads.
    std::atomic<float> attack_{kAttackTime.initial};
    std::atomic<float> decay_{kDecayTime.initial};
    std::atomic<float> preGain_{kPreGain.initial};
    std::atomic<bool> bypass_{false};

    // Configuration, set by `prepare`.
    bool prepared_ = false;
    double sampleRate_ = 0.0;
    std::uint32_t maximumFrames_ = 0;
    std::uint32_t latency_ = 0;
    std::uint32_t maximumHold_ = 0;

    // Settings in effect and the coefficients derived from them (audio thread).
    Settings applied_;
    float attackKeep_ = 0.0f;    // share of its distance to the target the envelope keeps per frame
    float releaseKeep_ = 0.0f;   // the same while rising
    float linearPreGain_ = 1.0f; // pre-gain reached at the end of the last block

    // Signal state (audio thread).
    std::vector<float> history_[kMaximumChannels]; // latency_ delayed frames, then one chunk
    std::vector<float> required_;                  // r per frame of the chunk
    std::vector<float> gain_;                      // applied gain per frame of the chunk
    std::vector<std::int64_t> average_; // look-ahead minima in fixed point, at minima_.position()
    WindowMinima minima_;               // look-ahead (latency_ + 1) and look-ahead plus hold
    std::int64_t averageSum_ = 0;
    float envelopeTarget_ = 1.0f;   // held minimum the envelope moves towards
    float envelopeDistance_ = 0.0f; // envelope minus target
};

} // namespace pf
