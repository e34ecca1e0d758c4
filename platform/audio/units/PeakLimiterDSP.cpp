#include "audio/units/PeakLimiterDSP.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace pf {

namespace {

// Frames handled per pass; bounds the scratch memory and keeps it in the first-level cache.
constexpr std::uint32_t kChunkFrames = 256;

// Overs are turned down to a hair below the ceiling, so that rounding in the gain path never
// carries a sample above it; the final clamp is only a guard. 1 - 2^-21 is well within the
// 1e-6 the limiter promises below the ceiling.
constexpr float kTargetPeak = 1.0f - 1.0f / 2097152.0f;

// Peaks are clamped to this before the required gain is computed, so that gain stays a normal
// float (the gain path never meets a subnormal or a zero). A frame above it can only come from an
// input near the largest float times a pre-gain above 1; the output clamp still holds it to the
// ceiling (an infinite product times a positive gain is clamped to +-1, never NaN).
constexpr float kLargestPeak = 1e30f;

// The look-ahead average sums its minima in 64-bit fixed point (2^40 = gain 1), so the running
// sum is exact and cannot drift however long it runs.
constexpr float kFixedOne = 1099511627776.0f;

float decibelsToGain(float decibels) noexcept {
    return static_cast<float>(std::pow(10.0, static_cast<double>(decibels) / 20.0));
}

float clampParameter(float value, const PeakLimiterDSP::Range& range) noexcept {
    return std::clamp(value, range.minimum, range.maximum);
}

// One-pole smoothing coefficients for a time constant of `frames`: the envelope moves by `step`
// of its distance to the target per frame and keeps `keep`. `step` is a multiple of 2^-24, so
// `keep` = 1 - `step` is exact and `step + keep` is exactly 1: a gain of 1 held at 1 stays exactly
// 1, which keeps the limiter bit-transparent below the ceiling.
struct OnePole {
    float step;
    float keep;
};

OnePole onePole(double frames) noexcept {
    constexpr double kQuantum = 16777216.0; // 2^24
    const double step = 1.0 - std::exp(-1.0 / std::max(frames, 1e-3));
    const double quantised = std::clamp(std::round(step * kQuantum), 1.0, kQuantum) / kQuantum;
    return {static_cast<float>(quantised), static_cast<float>(1.0 - quantised)};
}

std::uint32_t holdFrames(double decaySeconds, double sampleRate) noexcept {
    return static_cast<std::uint32_t>(std::floor(decaySeconds * sampleRate / 2.0));
}

} // namespace

PeakLimiterDSP::PeakLimiterDSP() = default;

bool PeakLimiterDSP::prepare(double sampleRate, std::uint32_t maximumFrames) {
    if (!(sampleRate >= kMinimumSampleRate && sampleRate <= kMaximumSampleRate) ||
        maximumFrames == 0) {
        prepared_ = false;
        return false;
    }
    sampleRate_ = sampleRate;
    maximumFrames_ = maximumFrames;
    // floor(1.5 ms * rate), computed so that 48 kHz gives exactly 72.
    latency_ = static_cast<std::uint32_t>(std::floor(sampleRate * 3.0 / 2000.0));
    maximumHold_ = holdFrames(kDecayTime.maximum, sampleRate);

    const std::uint32_t chunk = std::min(maximumFrames, kChunkFrames);
    for (auto& channel : history_)
        channel.assign(latency_ + chunk, 0.0f);
    required_.assign(chunk, 1.0f);
    gain_.assign(chunk, 1.0f);
    average_.assign(latency_ + 1, 0);
    lookaheadMinimum_.allocate(latency_ + 1);
    holdMinimum_.allocate(latency_ + 1 + maximumHold_);

    const Settings wanted{attackTime(), decayTime(), preGain()};
    applied_ = wanted;
    applySettings(wanted, /*initial=*/true);
    prepared_ = true;
    reset();
    return true;
}

double PeakLimiterDSP::latencySeconds() const noexcept {
    return prepared_ ? latency_ / sampleRate_ : 0.0;
}

void PeakLimiterDSP::setAttackTime(float seconds) noexcept {
    if (std::isfinite(seconds))
        attack_.store(clampParameter(seconds, kAttackTime), std::memory_order_relaxed);
}

void PeakLimiterDSP::setDecayTime(float seconds) noexcept {
    if (std::isfinite(seconds))
        decay_.store(clampParameter(seconds, kDecayTime), std::memory_order_relaxed);
}

void PeakLimiterDSP::setPreGain(float decibels) noexcept {
    if (std::isfinite(decibels))
        preGain_.store(clampParameter(decibels, kPreGain), std::memory_order_relaxed);
}

void PeakLimiterDSP::reset() noexcept {
    if (!prepared_) return;
    for (auto& channel : history_)
        std::fill(channel.begin(), channel.end(), 0.0f);
    lookaheadMinimum_.clear(1.0f);
    holdMinimum_.clear(1.0f);
    const auto one = static_cast<std::int64_t>(kFixedOne);
    std::fill(average_.begin(), average_.end(), one);
    averageSum_ = one * static_cast<std::int64_t>(average_.size());
    averagePosition_ = 0;
    envelope_ = 1.0f;
    applied_.preGain = preGain();
    linearPreGain_ = decibelsToGain(applied_.preGain);
}

void PeakLimiterDSP::applySettings(const Settings& wanted, bool initial) noexcept {
    if (initial || wanted.attack != applied_.attack) {
        applied_.attack = wanted.attack;
        const OnePole attack = onePole(wanted.attack * sampleRate_);
        attackStep_ = attack.step;
        attackKeep_ = attack.keep;
    }
    if (initial || wanted.decay != applied_.decay) {
        applied_.decay = wanted.decay;
        const std::uint32_t hold = std::min(holdFrames(wanted.decay, sampleRate_), maximumHold_);
        // The hold plus the rise's time constant make up the decay time.
        const OnePole release = onePole(wanted.decay * sampleRate_ - hold);
        releaseStep_ = release.step;
        releaseKeep_ = release.keep;
        holdMinimum_.setWindow(latency_ + 1 + hold, 1.0f);
    }
}

bool PeakLimiterDSP::process(const float* const* in, float* const* out, int channels,
                             std::uint32_t frames) noexcept {
    if (!prepared_ || in == nullptr || out == nullptr || channels < 1 ||
        channels > kMaximumChannels || frames > maximumFrames_)
        return false;
    for (int c = 0; c < channels; ++c)
        if (in[c] == nullptr || out[c] == nullptr) return false;
    if (frames == 0) return true;

    const Settings wanted{attackTime(), decayTime(), preGain()};
    applySettings(wanted, /*initial=*/false);
    const float startGain = linearPreGain_;
    float gainStep = 0.0f;
    if (wanted.preGain != applied_.preGain) {
        applied_.preGain = wanted.preGain;
        linearPreGain_ = decibelsToGain(wanted.preGain);
        gainStep = (linearPreGain_ - startGain) / static_cast<float>(frames);
    }
    const bool bypassed = bypass();

    const auto chunk = static_cast<std::uint32_t>(required_.size());
    for (std::uint32_t begin = 0; begin < frames; begin += chunk) {
        const std::uint32_t count = std::min(chunk, frames - begin);
        processChunk(in, out, channels, begin, count, startGain, gainStep, bypassed);
    }
    return true;
}

namespace {

inline float sanitised(float sample) noexcept {
    // NaN fails the comparison; infinities exceed FLT_MAX.
    return std::fabs(sample) <= FLT_MAX ? sample : 0.0f;
}

inline float requiredGain(float peak) noexcept {
    // 1 exactly up to the target peak; a frame between it and the ceiling is turned down by less
    // than 1e-6. Written without a branch so that the loop vectorises.
    return kTargetPeak / std::max(std::min(peak, kLargestPeak), kTargetPeak);
}

} // namespace

void PeakLimiterDSP::processChunk(const float* const* in, float* const* out, int channels,
                                  std::uint32_t begin, std::uint32_t frames, float startGain,
                                  float gainStep, bool bypassed) noexcept {
    // Pass 1: sanitise, apply the pre-gain, append to the delay line, required gain per frame.
    // Reads every input frame of the chunk before pass 3 writes any output frame, so in-place
    // processing is safe.
    float* required = required_.data();
    float* left = history_[0].data() + latency_;
    const float* inLeft = in[0] + begin;
    if (channels == 2) {
        float* right = history_[1].data() + latency_;
        const float* inRight = in[1] + begin;
        for (std::uint32_t i = 0; i < frames; ++i) {
            const float gain = startGain + gainStep * static_cast<float>(begin + i + 1);
            const float l = sanitised(inLeft[i]) * gain;
            const float r = sanitised(inRight[i]) * gain;
            left[i] = l;
            right[i] = r;
            required[i] = requiredGain(std::max(std::fabs(l), std::fabs(r)));
        }
    } else {
        for (std::uint32_t i = 0; i < frames; ++i) {
            const float gain = startGain + gainStep * static_cast<float>(begin + i + 1);
            const float l = sanitised(inLeft[i]) * gain;
            left[i] = l;
            required[i] = requiredGain(std::fabs(l));
        }
    }

    // Pass 2: the gain per frame.
    computeGains(frames);

    // Pass 3: delayed frames times the gain, or the input itself when bypassed.
    const float* gain = gain_.data();
    for (int c = 0; c < channels; ++c) {
        float* history = history_[c].data();
        float* target = out[c] + begin;
        if (bypassed) {
            if (target != in[c] + begin)
                std::memmove(target, in[c] + begin, frames * sizeof(float));
        } else {
            for (std::uint32_t i = 0; i < frames; ++i)
                target[i] = std::min(std::max(history[i] * gain[i], -kCeiling), kCeiling);
        }
        std::memmove(history, history + frames, latency_ * sizeof(float));
    }
}

void PeakLimiterDSP::computeGains(std::uint32_t frames) noexcept {
    // Everything the loop carries lives in locals, so it stays in registers.
    const float* required = required_.data();
    float* gain = gain_.data();
    std::int64_t* average = average_.data();
    const auto averageLength = static_cast<std::uint32_t>(average_.size());
    const float averageScale = 1.0f / (kFixedOne * static_cast<float>(averageLength));
    const float attackStep = attackStep_;
    const float attackKeep = attackKeep_;
    const float releaseStep = releaseStep_;
    const float releaseKeep = releaseKeep_;
    std::int64_t sum = averageSum_;
    std::uint32_t position = averagePosition_;
    float envelope = envelope_;
    RunningMinimum::Cursor lookahead = lookaheadMinimum_.begin();
    RunningMinimum::Cursor hold = holdMinimum_.begin();

    for (std::uint32_t i = 0; i < frames; ++i) {
        const float r = required[i];
        // Look-ahead path: linear ramp onto every over, reached as it leaves the delay.
        const float nearest = lookaheadMinimum_.push(lookahead, r);
        const auto fixed = static_cast<std::int64_t>(nearest * kFixedOne);
        sum += fixed - average[position];
        average[position] = fixed;
        if (++position == averageLength) position = 0;
        const float ramp = static_cast<float>(sum) * averageScale;

        // Envelope path: one pole towards the held minimum, attack below, release above.
        const float held = holdMinimum_.push(hold, r);
        if (held < envelope)
            envelope = held * attackStep + envelope * attackKeep;
        else
            envelope = held * releaseStep + envelope * releaseKeep;

        gain[i] = std::min(ramp, envelope);
    }
    lookaheadMinimum_.end(lookahead);
    holdMinimum_.end(hold);
    averageSum_ = sum;
    averagePosition_ = position;
    envelope_ = envelope;
}

} // namespace pf
