#include "BandSplitFilter3.h"

#include <algorithm>

void MidSideSplitter::clear() noexcept {
    for (auto& channel : buffer)
        std::fill(std::begin(channel), std::end(channel), 0.0f);
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
        for (auto& channel : *bands)
            std::fill(std::begin(channel), std::end(channel), 0.0f);
    }
}

// High band = high-pass of the input; middle = input − high − low, where low is the low-pass of
// input − high. The four filters' recursions are independent, so one loop runs them side by side
// (the same arithmetic as four passes, without waiting on one filter's feedback at a time).
void BandSplitFilter3::split(const float* left, const float* right,
                             std::int32_t frameCount) noexcept {
    const std::int32_t n = std::min(frameCount, kMaximumFrames);
    if (n <= 0) return;
    constexpr int kStages = 3;
    const bool threeStages = hpf[0].stageCount() == kStages && hpf[1].stageCount() == kStages &&
                             lpf[0].stageCount() == kStages && lpf[1].stageCount() == kStages;
    if (!threeStages) {
        hpf[0].processBufferHP(left, bufferHP[0], bufferBP[0], n);
        hpf[1].processBufferHP(right, bufferHP[1], bufferBP[1], n);
        lpf[0].processBufferLP(bufferBP[0], bufferLP[0], bufferBP[0], n);
        lpf[1].processBufferLP(bufferBP[1], bufferLP[1], bufferBP[1], n);
        return;
    }

    using Output = SVFilter4Pole1::Output;
    const SVFilter4Pole1::Coefficients highK[2] = {hpf[0].coefficients(), hpf[1].coefficients()};
    const SVFilter4Pole1::Coefficients lowK[2] = {lpf[0].coefficients(), lpf[1].coefficients()};
    SVFilter4Pole1::States highS[2] = {hpf[0].loadStates(), hpf[1].loadStates()};
    SVFilter4Pole1::States lowS[2] = {lpf[0].loadStates(), lpf[1].loadStates()};
    const float* const channel[2] = {left, right};
    for (std::int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < 2; ++c) {
            const float x = channel[c][i];
            const float high = SVFilter4Pole1::filter<Output::high, kStages>(x, highK[c], highS[c]);
            const float rest = x - high;
            const float low = SVFilter4Pole1::filter<Output::low, kStages>(rest, lowK[c], lowS[c]);
            bufferHP[c][i] = high;
            bufferLP[c][i] = low;
            bufferBP[c][i] = rest - low;
        }
    }
    for (int c = 0; c < 2; ++c) {
        hpf[c].storeStates(highS[c]);
        lpf[c].storeStates(lowS[c]);
    }
}
