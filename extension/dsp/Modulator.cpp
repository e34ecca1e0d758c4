#include "Modulator.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "DSPMath.h"
#include "Wavetables.h"

namespace {
std::mutex& tableMutex() {
    static std::mutex mutex;
    return mutex;
}
constexpr float kIndexStep = 0.00024414063f; // 1 / 4096
constexpr float kTwoPi = 6.2831855f;
} // namespace

std::atomic<std::int64_t> Modulator::count{0};
float Modulator::freqTable[128];
float Modulator::freqFactors[128];
float Modulator::waveSine[kTableLength];
float Modulator::waveSaw[kTableLength];
float Modulator::waveSineSquar[kTableLength];
float Modulator::waveSineQuad[kTableLength];
float Modulator::waveRampLinUp[kTableLength];
float Modulator::waveRampLinDown[kTableLength];
float Modulator::waveRampExponUp[kTableLength];
float Modulator::waveRampExponDown[kTableLength];
float Modulator::maxFrequency = 22050.0f;
float Modulator::wave100[kTableLength];
float Modulator::waveRampLogUp[kTableLength];
float Modulator::waveRampLogDown[kTableLength];

NoiseOscillator::NoiseOscillator() noexcept
    : randseed(33333), fFrequency(1.0f), fVolume(1.0f), lMode(0), samplerate(44100.0f),
      freq(44100.0f), noise(0), noise2(0), last(0), inc(0), skip(0) {
    init();
    setSamplerate(44100.0f);
    setFrequency(1.0f);
}

void NoiseOscillator::init() noexcept {
    noise = noise2 = last = inc = skip = 0.0f;
}

void NoiseOscillator::setSamplerate(float sr) noexcept {
    if (!dsp::isFinite(sr)) return;
    samplerate = sr;
    freq = std::min(std::max(fFrequency * sr, 1.0f), sr);
}

void NoiseOscillator::setFrequency(float f) noexcept {
    if (!dsp::isFinite(f)) return;
    fFrequency = std::clamp(f, 0.0f, 1.0f);
    freq = fFrequency * samplerate;
}

Modulator::Modulator() noexcept
    : lMode(9), fSamplerate(48000.0f), fFrequency(1.0f), fGain(1.0f), fShape(1.0f),
      currentValue(0.0f), sicvt(0.0f), lobits(0), phase(0), currentIndex(0), cycles(0),
      numCycles(0), waveTable1(nullptr), waveTable2(nullptr) {
    setSamplerate(48000.0f);
    init();
}

Modulator::~Modulator() {
    std::lock_guard lock(tableMutex());
    count.store(count.load() - 1);
}

void Modulator::init() noexcept {
    {
        std::lock_guard lock(tableMutex());
        const std::int64_t before = count.load();
        if (before == 0) buildTables();
        count.store(before + 1);
    }
    lobits = 12;
    setMode(1);
    setPhase(0.0f);
    setFrequency(1.0f);
    setGain(0.5f);
    retrigger();
    setTable(65);
}

void Modulator::buildTables() noexcept {
    const double ratio = 1.059463094359;
    double frequency = 6.875 * ratio * ratio * ratio;
    for (float& entry : freqTable) {
        entry = static_cast<float>(frequency);
        frequency *= ratio;
    }
    for (int n = 0; n < 128; ++n)
        freqFactors[n] = freqTable[n] / freqTable[60];

    for (int i = 0; i < kTableLength; ++i) {
        const float x = static_cast<float>(i) * kIndexStep;
        const float s = std::sin(kTwoPi * x);
        const float root8 = std::sqrt(std::sqrt(std::sqrt(std::fabs(s))));
        waveSine[i] = (s + 1.0f) * 0.5f;
        waveSaw[i] = 1.0f - x;
        waveSineSquar[i] = i < kTableLength / 2 ? (root8 + 1.0f) * 0.5f : (1.0f - root8) * 0.5f;
        waveSineQuad[i] = (std::pow(s, 3.0f) + 1.0f) * 0.5f;
        waveRampLinUp[i] = x;
        waveRampLinDown[i] = 1.0f - x;
        waveRampExponUp[i] = std::pow(x, 3.0f);
    }
    for (int i = 0; i < kTableLength; ++i) {
        waveRampExponDown[i] = waveRampExponUp[kTableLength - 1 - i];
    }
    maxFrequency = 440.0f * std::pow(2.0f, 5.0f);
    for (int i = 0; i < kTableLength; ++i) {
        const float x = static_cast<float>(i) * kIndexStep;
        wave100[i] = 440.0f * std::pow(2.0f, x * 10.0f - 5.0f);
        waveRampLogUp[i] = wave100[i] / maxFrequency * x;
    }
    for (int i = 0; i < kTableLength; ++i)
        waveRampLogDown[i] = waveRampLogUp[kTableLength - 1 - i];
}

void Modulator::setSamplerate(float rate) noexcept {
    if (rate == 0.0f || !dsp::isFinite(rate)) return;
    fSamplerate = rate;
    sicvt = static_cast<float>(kPhaseUnits) / rate;
}

void Modulator::setPhase(float p) noexcept {
    phase = p >= 0.0f ? dsp::saturatingToInt32(p * static_cast<float>(kPhaseUnits)) : 0;
}

float Modulator::getPhase() const noexcept {
    return static_cast<float>(phase) / static_cast<float>(kPhaseUnits);
}

void Modulator::setFrequency(float f) noexcept {
    if (!dsp::isFinite(f)) return;
    if (f < 0.0f) {
        f = 0.0f;
    } else if (f >= fSamplerate) {
        f = fSamplerate - 1.0f;
    }
    fFrequency = f;
}

void Modulator::setGain(float g) noexcept {
    if (!dsp::isFinite(g)) return;
    fGain = std::clamp(g, -1.0f, 1.0f);
}

void Modulator::setShape(float s) noexcept {
    if (!dsp::isFinite(s)) return;
    fShape = std::clamp(s, 0.0f, 1.0f);
}

void Modulator::retrigger() noexcept {
    setPhase(0.0f);
    currentIndex = 0;
    cycles = 0;
    currentValue = 0.0f;
}

void Modulator::setTable(int k) noexcept {
    if (k >= 0 && k <= 64) {
        setTables(table_sine, wavetables[k + 1], kWavetableLength);
    } else {
        setTables(waveSine, waveSine, kTableLength);
    }
}

void Modulator::setTables(const float* first, const float* second, int length) noexcept {
    waveTable1 = first;
    waveTable2 = second;
    std::int64_t shift = 0;
    while (shift < 24 && (std::int64_t{length} << shift) < kPhaseUnits)
        ++shift;
    lobits = shift;
}

float Modulator::getValueFrequencyScaled(float c) noexcept {
    if (std::isnan(c)) return 0.0f;
    const float scaled = std::fabs(c) * static_cast<float>(kTableLength);
    const float value =
        scaled >= static_cast<float>(kTableLength) ? 1.0f : waveRampLogUp[static_cast<int>(scaled)];
    return c < 0.0f ? -value : value;
}
