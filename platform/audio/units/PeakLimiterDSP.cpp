#include "audio/units/PeakLimiterDSP.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define PF_LIMITER_SSE2 1
#endif

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

// Per-frame factor of a one-pole smoother with a time constant of `frames`.
float onePoleKeep(double frames) noexcept {
    return static_cast<float>(std::exp(-1.0 / std::max(frames, 1e-3)));
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
    minima_.allocate(latency_ + 1, std::max<std::uint32_t>(maximumHold_, 1));

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
    minima_.clear(1.0f);
    const auto one = static_cast<std::int64_t>(kFixedOne);
    std::fill(average_.begin(), average_.end(), one);
    averageSum_ = one * static_cast<std::int64_t>(average_.size());
    envelopeTarget_ = 1.0f;
    envelopeDistance_ = 0.0f;
    applied_.preGain = preGain();
    linearPreGain_ = decibelsToGain(applied_.preGain);
}

void PeakLimiterDSP::applySettings(const Settings& wanted, bool initial) noexcept {
    if (initial || wanted.attack != applied_.attack) {
        applied_.attack = wanted.attack;
        attackKeep_ = onePoleKeep(wanted.attack * sampleRate_);
    }
    if (initial || wanted.decay != applied_.decay) {
        applied_.decay = wanted.decay;
        // At least one frame, so that the hold window always reaches past the look-ahead.
        const std::uint32_t hold =
            std::clamp<std::uint32_t>(holdFrames(wanted.decay, sampleRate_), 1, maximumHold_);
        // The hold plus the rise's time constant make up the decay time.
        releaseKeep_ = onePoleKeep(wanted.decay * sampleRate_ - hold);
        minima_.setExtra(std::max<std::uint32_t>(hold, 1));
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

// Pass 1 of a chunk, for 1 or 2 channels, with a constant or a ramping pre-gain (frame i gets
// gain + step * (i + 1)).
template <int Channels, bool Ramp>
void prepareFrames(const float* const* in, float* const* delayed, float* required,
                   std::uint32_t frames, float gain, float step) noexcept {
    std::uint32_t i = 0;
#if PF_LIMITER_SSE2
    // The compiler cannot use minps/maxps for std::min/std::max (their NaN rules differ), so the
    // hot loops say it themselves. No NaN reaches those operations: non-finite input is zeroed
    // first, and the gain is positive.
    const __m128 absolute = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 largestFinite = _mm_set1_ps(FLT_MAX);
    const __m128 largestPeak = _mm_set1_ps(kLargestPeak);
    const __m128 targetPeak = _mm_set1_ps(kTargetPeak);
    const __m128 step4 = _mm_set1_ps(4.0f * step);
    __m128 g = Ramp ? _mm_add_ps(_mm_set1_ps(gain),
                                 _mm_mul_ps(_mm_set1_ps(step), _mm_setr_ps(1.0f, 2.0f, 3.0f, 4.0f)))
                    : _mm_set1_ps(gain);
    // Four frames of one channel: zero what is not finite, apply the gain, append to the delay
    // line; returns their magnitudes.
    const auto channel = [&](const float* source, float* delay) noexcept {
        const __m128 x = _mm_loadu_ps(source);
        const __m128 magnitude = _mm_and_ps(x, absolute);
        const __m128 finite = _mm_cmple_ps(magnitude, largestFinite);
        _mm_storeu_ps(delay, _mm_mul_ps(_mm_and_ps(x, finite), g));
        return _mm_mul_ps(_mm_and_ps(magnitude, finite), g);
    };
    for (; i + 4 <= frames; i += 4) {
        __m128 peak = channel(in[0] + i, delayed[0] + i);
        if constexpr (Channels == 2) peak = _mm_max_ps(peak, channel(in[1] + i, delayed[1] + i));
        peak = _mm_max_ps(_mm_min_ps(peak, largestPeak), targetPeak);
        _mm_storeu_ps(required + i, _mm_div_ps(targetPeak, peak));
        if constexpr (Ramp) g = _mm_add_ps(g, step4);
    }
#endif
    for (; i < frames; ++i) {
        const float g = Ramp ? gain + step * static_cast<float>(static_cast<int>(i) + 1) : gain;
        const float l = sanitised(in[0][i]) * g;
        delayed[0][i] = l;
        if constexpr (Channels == 2) {
            const float r = sanitised(in[1][i]) * g;
            delayed[1][i] = r;
            required[i] = requiredGain(std::max(std::fabs(l), std::fabs(r)));
        } else {
            required[i] = requiredGain(std::fabs(l));
        }
    }
}

// Pass 3 of a chunk for one channel: delayed frames times the gain, clamped to the ceiling.
void applyGain(const float* delayed, const float* gain, float* out, std::uint32_t frames) noexcept {
    std::uint32_t i = 0;
#if PF_LIMITER_SSE2
    const __m128 ceiling = _mm_set1_ps(PeakLimiterDSP::kCeiling);
    const __m128 floor = _mm_set1_ps(-PeakLimiterDSP::kCeiling);
    for (; i + 4 <= frames; i += 4) {
        const __m128 y = _mm_mul_ps(_mm_loadu_ps(delayed + i), _mm_loadu_ps(gain + i));
        _mm_storeu_ps(out + i, _mm_min_ps(_mm_max_ps(y, floor), ceiling));
    }
#endif
    for (; i < frames; ++i)
        out[i] = std::min(std::max(delayed[i] * gain[i], -PeakLimiterDSP::kCeiling),
                          PeakLimiterDSP::kCeiling);
}

} // namespace

void PeakLimiterDSP::processChunk(const float* const* in, float* const* out, int channels,
                                  std::uint32_t begin, std::uint32_t frames, float startGain,
                                  float gainStep, bool bypassed) noexcept {
    // Pass 1: sanitise, apply the pre-gain, append to the delay line, required gain per frame.
    // Reads every input frame of the chunk before pass 3 writes any output frame, so in-place
    // processing is safe.
    float* delayed[kMaximumChannels] = {history_[0].data() + latency_,
                                        history_[1].data() + latency_};
    const float* source[kMaximumChannels] = {in[0] + begin, in[channels - 1] + begin};
    if (gainStep != 0.0f) {
        // The pre-gain ramps across the block; `begin` frames of it have passed.
        const float first = startGain + gainStep * static_cast<float>(begin);
        if (channels == 2)
            prepareFrames<2, true>(source, delayed, required_.data(), frames, first, gainStep);
        else
            prepareFrames<1, true>(source, delayed, required_.data(), frames, first, gainStep);
    } else if (channels == 2) {
        prepareFrames<2, false>(source, delayed, required_.data(), frames, startGain, 0.0f);
    } else {
        prepareFrames<1, false>(source, delayed, required_.data(), frames, startGain, 0.0f);
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
            applyGain(history, gain, target, frames);
        }
        std::memmove(history, history + frames, latency_ * sizeof(float));
    }
}

void PeakLimiterDSP::computeGains(std::uint32_t frames) noexcept {
    // Everything the loop carries lives in locals, so it stays in registers. The loop runs in
    // stretches within which the window minima need no bookkeeping; the average's ring has the
    // look-ahead's length and follows the minima's block position, so it never wraps inside one.
    const float* required = required_.data();
    float* gain = gain_.data();
    const float averageScale = 1.0f / (kFixedOne * static_cast<float>(average_.size()));
    const float attackKeep = attackKeep_;
    const float releaseKeep = releaseKeep_;
    std::int64_t sum = averageSum_;
    float target = envelopeTarget_;
    float distance = envelopeDistance_;
    float keep = distance > 0.0f ? attackKeep : releaseKeep;

    for (std::uint32_t i = 0; i < frames;) {
        const auto run =
            static_cast<std::uint32_t>(std::min<std::size_t>(frames - i, minima_.room()));
        std::int64_t* average = average_.data() + minima_.position();
        WindowMinima::Run minima = minima_.openRun();
        for (std::uint32_t k = 0; k < run; ++k) {
            const WindowMinima::Minima m = minima.push(k, required[i + k]);
            // Look-ahead path: linear ramp onto every over, reached as it leaves the delay.
            const auto fixed = static_cast<std::int64_t>(m.shortWindow * kFixedOne);
            sum += fixed - average[k];
            average[k] = fixed;
            const float ramp = static_cast<float>(sum) * averageScale;

            // Envelope path: the envelope is kept as its distance from the held minimum, which
            // shrinks by a constant factor per frame; only a new target changes the direction
            // (attack while above the target, release while below).
            const float held = m.longWindow;
            if (held != target) {
                distance += target - held;
                target = held;
                keep = distance > 0.0f ? attackKeep : releaseKeep;
            }
            distance *= keep;
            gain[i + k] = std::min(ramp, target + distance);
        }
        minima_.closeRun(minima, run);
        i += run;
    }
    averageSum_ = sum;
    // Far below what a float gain can show; clearing it keeps the distance from going subnormal.
    envelopeTarget_ = target;
    envelopeDistance_ = std::fabs(distance) < 1e-20f ? 0.0f : distance;
}

} // namespace pf
