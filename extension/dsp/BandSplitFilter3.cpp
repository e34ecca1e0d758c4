#include "BandSplitFilter3.h"

#include <algorithm>

void MidSideSplitter::clear() noexcept {
    for (auto& channel : buffer) std::fill(std::begin(channel), std::end(channel), 0.0f);
}

BandSplitFilter3::BandSplitFilter3() noexcept
    : fGainLP(1.0f), fGainBP(1.0f), fGainHP(1.0f), fSamplerate(48000.0f), fCutoff1(0.33f),
      fCutoff2(0.66f) {
    setSamplerate(48000.0f);
    reset();
    setCutoff1(0.333f);
    setCutoff2(0.666f);
}

void BandSplitFilter3::setCutoff1(float value) noexcept {
    if (!(value >= 0.0f && value <= 1.0f)) return;
    const float upper = fCutoff2;
    fCutoff1 = value > upper ? upper : value;
    lpf[0].setCutoff(fCutoff1);
    lpf[1].setCutoff(fCutoff1);
}

void BandSplitFilter3::setCutoff2(float value) noexcept {
    if (!(value >= 0.0f && value <= 1.0f)) return;
    const float lower = fCutoff1;
    fCutoff2 = value < lower ? lower : value;
    hpf[0].setCutoff(fCutoff2);
    hpf[1].setCutoff(fCutoff2);
}

void BandSplitFilter3::setSamplerate(float rate) noexcept {
    fSamplerate = rate;
    hpf[0].setSamplerate(rate);
    hpf[1].setSamplerate(rate);
    lpf[0].setSamplerate(rate);
    lpf[1].setSamplerate(rate);
}

void BandSplitFilter3::init() noexcept {
    clear();
    hpf[0].reset();
    hpf[1].reset();
    lpf[0].reset();
    lpf[1].reset();
}

void BandSplitFilter3::clear() noexcept {
    for (auto* bands : {&bufferLP, &bufferHP, &bufferBP}) {
        for (auto& channel : *bands) std::fill(std::begin(channel), std::end(channel), 0.0f);
    }
}

void BandSplitFilter3::split(const float* left, const float* right,
                             std::int32_t frameCount) noexcept {
    const std::int32_t n = std::min(frameCount, kMaximumFrames);
    if (n <= 0) return;
    hpf[0].processBufferHP(left, bufferHP[0], bufferBP[0], n);
    hpf[1].processBufferHP(right, bufferHP[1], bufferBP[1], n);
    lpf[0].processBufferLP(bufferBP[0], bufferLP[0], bufferBP[0], n);
    lpf[1].processBufferLP(bufferBP[1], bufferLP[1], bufferBP[1], n);
}
