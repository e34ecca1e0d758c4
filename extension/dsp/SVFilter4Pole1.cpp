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

void SVFilter4Pole1::processSampleHP(float* sample) noexcept {
    processBuffer<Output::high>(sample, sample, sample, 1);
}

void SVFilter4Pole1::processSampleLP(float* sample) noexcept {
    processBuffer<Output::low>(sample, sample, sample, 1);
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
    switch (stageCount()) {
    case 1:
        run<output, 1>(input, out, rest, n);
        break;
    case 2:
        run<output, 2>(input, out, rest, n);
        break;
    case 3:
        run<output, 3>(input, out, rest, n);
        break;
    default:
        run<output, 4>(input, out, rest, n);
        break;
    }
}

// `rest` is written after `out`, from the input read again, so it may be the input's own place;
// with `out` the input's place too (the one-pointer form), `rest` is written first.
template <SVFilter4Pole1::Output output, int stages>
void SVFilter4Pole1::run(const float* input, float* out, float* rest, std::int32_t n) noexcept {
    const Coefficients k = coefficients();
    States s = loadStates();
    for (std::int32_t i = 0; i < n; ++i) {
        const float x = input[i];
        const float filtered = filter<output, stages>(x, k, s);
        rest[i] = x - filtered;
        out[i] = filtered;
    }
    storeStates(s);
}
