#include "SVFilter4Pole1.h"

#include <algorithm>

SVFilter4Pole1::SVFilter4Pole1() noexcept
    : fPoles(3.0f), fMode(0.0f), fSamplerate(48000.0f), f(0.0f), fCutoff(0.5f), fResonance(0.0f),
      cutoff(0.5f), resonance(0.0f), booster(0.0f), cf(0.0f), cq(0.0f), b1(0), r1(0), b2(0), r2(0),
      b3(0), r3(0), b4(0), r4(0) {
    init();
}

void SVFilter4Pole1::setCutoff(float value) noexcept {
    fCutoff = value;
    processParameters();
}

void SVFilter4Pole1::processParameters() noexcept {
    float c = Modulator::getValueFrequencyScaled(fCutoff);
    if (static_cast<double>(c) < 0.0012) {
        c = 0.0012f;
    } else if (c > 1.0f) {
        c = 1.0f;
    }
    const float q = std::clamp(fResonance.load(), 0.0f, 1.0f);
    if (cutoff == c && resonance == q) return;
    cutoff = c;
    resonance = q;
    const float d = q * q + 0.05f;
    booster = 0.7f + (1.0f - d);
    cf = c;
    cq = 1.0f / (d * (1.0f + (1.0f - c)) * 25.0f);
}

void SVFilter4Pole1::clearState() noexcept {
    cutoff = 0.0f;
    resonance = 0.0f;
    booster = 0.0f;
    cf = 0.0f;
    cq = 0.0f;
    b1 = r1 = b2 = r2 = b3 = r3 = b4 = r4 = 0.0f;
}

void SVFilter4Pole1::init() noexcept {
    clearState();
    reset();
}

void SVFilter4Pole1::reset() noexcept {
    clearState();
    fMode = 0.0f;
    fCutoff = 0.5f;
    fResonance = 0.0f;
    processParameters();
}

SVFilter4Pole1::Coefficients SVFilter4Pole1::coefficients() const noexcept {
    const int stages = fPoles > 3.0f ? 4 : fPoles > 2.0f ? 3 : fPoles > 1.0f ? 2 : 1;
    return Coefficients{cf, cq, booster, stages};
}

// Every stage is fed half the input; the output is the last stage's low or high band.
template <SVFilter4Pole1::Output output>
float SVFilter4Pole1::filter(float x, const Coefficients& k) noexcept {
    const float h = 0.5f * x;
    float* const band[4] = {&b1, &b2, &b3, &b4};
    float* const lowState[4] = {&r1, &r2, &r3, &r4};
    float low = 0.0f, high = 0.0f;
    for (int stage = 0; stage < k.stages; ++stage) {
        float& b = *band[stage];
        float& r = *lowState[stage];
        low = r + k.cf * b;
        high = (h - low) - k.cq * b;
        b = k.cf * high + b;
        r = low;
    }
    return (output == Output::high ? high : low) * k.booster;
}

void SVFilter4Pole1::processSampleHP(float* sample) noexcept {
    *sample = filter<Output::high>(*sample, coefficients());
}

void SVFilter4Pole1::processSampleLP(float* sample) noexcept {
    *sample = filter<Output::low>(*sample, coefficients());
}

void SVFilter4Pole1::processSampleHP(const float* input, float* output, float* rest) noexcept {
    processBuffer<Output::high>(input, output, rest, 1);
}

void SVFilter4Pole1::processSampleLP(const float* input, float* output, float* rest) noexcept {
    processBuffer<Output::low>(input, output, rest, 1);
}

void SVFilter4Pole1::processBufferHP(const float* input, float* output, float* rest,
                                     std::int32_t frameCount) noexcept {
    processBuffer<Output::high>(input, output, rest, frameCount);
}

void SVFilter4Pole1::processBufferLP(const float* input, float* output, float* rest,
                                     std::int32_t frameCount) noexcept {
    processBuffer<Output::low>(input, output, rest, frameCount);
}

template <SVFilter4Pole1::Output output>
void SVFilter4Pole1::processBuffer(const float* input, float* out, float* rest,
                                   std::int32_t n) noexcept {
    const Coefficients k = coefficients();
    for (std::int32_t i = 0; i < n; ++i) {
        const float filtered = filter<output>(input[i], k);
        out[i] = filtered;
        rest[i] = input[i] - filtered;
    }
}
