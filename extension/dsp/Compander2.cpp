#include "Compander2.h"

#include "DSPMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "FollowerPair.h"
#endif

namespace {

// The gain factor of a detector whose peak is `peak`: 1 / peak above full scale, otherwise
// 1 + (1 − peak) × multiplier (exactly 1 at full scale). A follower's peak is never negative (it
// rises by positive steps and its fall stops at 0), so the lower clamp is not needed here.

#if defined(__SSE2__)
// Left and right side by side in lanes 0 and 1 of a register. Packed single-precision operations
// round each lane exactly as scalar ones do.

// |v| of lanes 0 and 1, converted to double.
inline __m128d magnitudes(__m128 v) noexcept {
    return _mm_cvtps_pd(_mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))));
}

// Lanes 0 and 1 become (v0 + v1) × 0.5 and (v0 − v1) × 0.5.
inline __m128 midSide(__m128 v) noexcept {
    const __m128 swapped = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 2, 0, 1));
    const __m128 sumAndDifference = _mm_unpacklo_ps(_mm_add_ps(v, swapped), _mm_sub_ps(v, swapped));
    return _mm_mul_ps(sumAndDifference, _mm_set1_ps(0.5f));
}

// The gain factors of the peaks in lanes 0 and 1.
inline __m128 gainFactors(__m128 peaks, __m128 multiplier) noexcept {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 below = _mm_add_ps(one, _mm_mul_ps(_mm_sub_ps(one, peaks), multiplier));
    const __m128 above = _mm_cmpgt_ps(peaks, one);
    if (_mm_movemask_ps(above) == 0) [[likely]]
        return below;
    // Lanes at or below full scale divide by 1 and are not taken, so nothing divides by 0.
    const __m128 inverse = _mm_div_ps(one, _mm_max_ps(peaks, one));
    return _mm_or_ps(_mm_and_ps(above, inverse), _mm_andnot_ps(above, below));
}

inline float lane1(__m128 v) noexcept {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
}
#else
inline float gainFactor(float peak, float multiplier) noexcept {
    if (peak > 1.0f) [[unlikely]]
        return 1.0f / peak;
    return 1.0f + (1.0f - peak) * multiplier;
}
#endif

} // namespace

Compander2::Compander2() noexcept
    : fSamplerate(48000.0f), fMultiplier(0.0f), lMode(0), fMix(1.0f), fGain(0.5f), vThreshold(0.5f),
      vThresholdInv(0.5f), factor{1.0f, 1.0f}, bInverted(false) {
    setSamplerate(48000.0f);
    init();
    setGain(0.5f);
    setMix(1.0f);
    setThreshold(0.5f);
    setMultiplier(0.0f);
    setInverted(false);
    setMode(0);
}

void Compander2::setAttack(float seconds) noexcept {
    inputFollower[0].setAttack(seconds);
    inputFollower[1].setAttack(seconds);
}

void Compander2::setRelease(float seconds) noexcept {
    inputFollower[0].setRelease(seconds);
    inputFollower[1].setRelease(seconds);
}

void Compander2::setThreshold(float value) noexcept {
    if (!dsp::isFinite(value)) return;
    float drive = 0.05f + (1.0f - value) * 1.9f;
    if (drive < 0.01f) drive = 0.01f;
    vThreshold = drive;
    vThresholdInv = 1.0f / drive;
}

void Compander2::setMultiplier(float m) noexcept {
    if (!dsp::isFinite(m)) return;
    fMultiplier = m < -1.0f ? -1.0f : m;
}

void Compander2::setGain(float value) noexcept {
    if (!dsp::isFinite(value)) return;
    fGain = 2.0f * value;
}

void Compander2::setMix(float value) noexcept {
    if (!dsp::isFinite(value)) return;
    fMix = value;
}

void Compander2::setSamplerate(float rate) noexcept {
    if (!dsp::isFinite(rate)) return;
    fSamplerate = rate;
    for (auto& follower : inputFollower)
        follower.setSamplerate(rate);
    for (auto& follower : outputFollower)
        follower.setSamplerate(rate);
}

void Compander2::init() noexcept {
    for (auto& follower : inputFollower)
        follower.reset();
    for (auto& follower : outputFollower)
        follower.reset();
    factor[0] = 1.0f;
    factor[1] = 1.0f;
}

void Compander2::processBuffers(float* left, float* right, std::int64_t frameCount) noexcept {
    switch (lMode.load()) {
    case 1:
        processBuffersLinked(left, right, frameCount);
        break;
    case 3:
        processBuffersLinked2(left, right, frameCount);
        break;
    default:
        processBuffersIndependent(left, right, frameCount);
        break;
    }
}

void Compander2::processBuffersIndependent(float* left, float* right,
                                           std::int64_t frameCount) noexcept {
    dispatchInverted<Detection::independent>(left, right, frameCount);
}

void Compander2::processBuffersLinked(float* left, float* right, std::int64_t frameCount) noexcept {
    dispatchInverted<Detection::midSide>(left, right, frameCount);
}

void Compander2::processBuffersLinked2(float* left, float* right,
                                       std::int64_t frameCount) noexcept {
    dispatchInverted<Detection::left>(left, right, frameCount);
}

template <Compander2::Detection detection>
void Compander2::dispatchInverted(float* left, float* right, std::int64_t frameCount) noexcept {
    if (bInverted.load()) {
        run<detection, true>(left, right, frameCount);
    } else {
        run<detection, false>(left, right, frameCount);
    }
}

#if defined(__SSE2__)
// The per-sample loop. Left and right run side by side in the two low lanes of a register, so the
// drive, gain factors, make-up gain and mix cost one packed operation for both channels, and the
// followers go in pairs (detectors, meters); each lane computes exactly what the scalar loop below
// computes for its channel. Settings are read once; the followers run on register copies of their
// state, stored back at the end together with the last factors.
template <Compander2::Detection detection, bool inverted>
void Compander2::run(float* left, float* right, std::int64_t frameCount) noexcept {
    if (frameCount <= 0) return;
    const __m128 drive = _mm_set1_ps(vThreshold);
    const __m128 makeUp = _mm_set1_ps(vThresholdInv.load() * fGain.load());
    const __m128 multiplier = _mm_set1_ps(fMultiplier);
    const __m128 mix = _mm_set1_ps(fMix);
    const __m128 dry = _mm_set1_ps(1.0f - fMix.load());

    FollowerPair in;
    FollowerPair out;
    in.take(inputFollower[0], inputFollower[1]);
    out.take(outputFollower[0], outputFollower[1]);
    __m128 factors = _mm_setzero_ps();

    for (std::int64_t i = 0; i < frameCount; ++i) {
        const __m128 input = _mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i));
        const __m128 x = _mm_mul_ps(input, drive);

        in.follow(magnitudes(detection == Detection::midSide ? midSide(x) : x));
        factors = gainFactors(in.peaksAsFloat(), multiplier);
        if constexpr (detection != Detection::independent) {
            factors = _mm_shuffle_ps(factors, factors, _MM_SHUFFLE(0, 0, 0, 0));
        }

        const __m128 y = _mm_mul_ps(_mm_mul_ps(x, factors), makeUp);
        const __m128 output = inverted ? _mm_sub_ps(input, y)
                                       : _mm_add_ps(_mm_mul_ps(y, mix), _mm_mul_ps(input, dry));
        _mm_store_ss(left + i, output);
        _mm_store_ss(right + i, _mm_shuffle_ps(output, output, _MM_SHUFFLE(1, 1, 1, 1)));

        out.follow(magnitudes(detection == Detection::midSide ? midSide(y) : y));
    }

    in.give(inputFollower[0], inputFollower[1]);
    out.give(outputFollower[0], outputFollower[1]);
    factor[0] = _mm_cvtss_f32(factors);
    factor[1] = lane1(factors);
}
#else
// The per-sample loop, for targets without SSE2. Settings are read once; the four followers run
// on register copies of their state, stored back at the end together with the last factors.
template <Compander2::Detection detection, bool inverted>
void Compander2::run(float* left, float* right, std::int64_t frameCount) noexcept {
    if (frameCount <= 0) return;
    const float drive = vThreshold;
    const float makeUp = vThresholdInv.load() * fGain.load();
    const float multiplier = fMultiplier;
    const float mix = fMix;
    const float dry = 1.0f - mix;

    Follower::Running inL = inputFollower[0].begin();
    Follower::Running inR = inputFollower[1].begin();
    Follower::Running outL = outputFollower[0].begin();
    Follower::Running outR = outputFollower[1].begin();
    float factorL = factor[0];
    float factorR = factor[1];

    for (std::int64_t i = 0; i < frameCount; ++i) {
        const float l = left[i];
        const float r = right[i];
        const float xL = l * drive;
        const float xR = r * drive;

        if constexpr (detection == Detection::midSide) {
            inL.process((xL + xR) * 0.5f);
            inR.process((xL - xR) * 0.5f);
        } else {
            inL.process(xL);
            inR.process(xR);
        }
        factorL = gainFactor(static_cast<float>(inL.peak), multiplier);
        if constexpr (detection == Detection::independent) {
            factorR = gainFactor(static_cast<float>(inR.peak), multiplier);
        } else {
            factorR = factorL;
        }

        const float yL = (xL * factorL) * makeUp;
        const float yR = (xR * factorR) * makeUp;
        if constexpr (inverted) {
            left[i] = l - yL;
            right[i] = r - yR;
        } else {
            left[i] = yL * mix + l * dry;
            right[i] = yR * mix + r * dry;
        }

        if constexpr (detection == Detection::midSide) {
            outL.process((yL + yR) * 0.5f);
            outR.process((yL - yR) * 0.5f);
        } else {
            outL.process(yL);
            outR.process(yR);
        }
    }

    inputFollower[0].end(inL);
    inputFollower[1].end(inR);
    outputFollower[0].end(outL);
    outputFollower[1].end(outR);
    factor[0] = factorL;
    factor[1] = factorR;
}
#endif
