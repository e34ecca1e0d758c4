// Modulator: a wavetable control oscillator's settings (mode, frequency, gain, shape, cycles, a
// phase in 24-bit fixed point, a pair of wavetables) with its noise source. It produces no
// samples; the state-variable filter holds one, and the class's shared tables serve the static
// cutoff map `getValueFrequencyScaled`.
//
// Shared tables: built by the first modulator to be initialised, under a lock, and rebuilt (with
// the same values) by the next one after the last modulator has gone. They are never freed.
// Construct and destroy modulators off the render thread; `getValueFrequencyScaled` only reads
// the tables and may run on any thread once a modulator exists.
#pragma once

#include <atomic>
#include <cstdint>

// A noise source's settings: seed, normalised frequency, sample rate and rate.
class NoiseOscillator {
public:
    NoiseOscillator() noexcept;

    // Clears the five state words.
    void init() noexcept;
    // rate = frequency × sr, kept within 1..sr. A non-finite rate is ignored.
    void setSamplerate(float sr) noexcept;
    // Frequency clamped to 0..1; rate = frequency × sample rate. A non-finite value is ignored.
    void setFrequency(float f) noexcept;

    std::uint32_t randseed;
    float fFrequency;
    float fVolume;
    std::int64_t lMode;
    float samplerate;
    float freq;
    float noise, noise2, last, inc, skip;
};

class Modulator {
public:
    using Callback = void (*)(void*);

    static constexpr int kTableLength = 4096;
    static constexpr std::int64_t kPhaseUnits = 16777216; // one cycle, 2^24

    // Settings at their defaults, then `setSamplerate(48000)` and `init()`.
    Modulator() noexcept;
    ~Modulator();
    Modulator(const Modulator&) = delete;
    Modulator& operator=(const Modulator&) = delete;

    // Counts this modulator and builds the shared tables when it is the first; then mode 1,
    // phase 0, frequency 1 Hz, gain 0.5, retrigger, and the built-in sine table pair.
    void init() noexcept;

    // A rate of 0 or a non-finite rate is ignored.
    void setSamplerate(float rate) noexcept;
    void setMode(int mode) noexcept { lMode = mode; }
    int getMode() const noexcept { return lMode; }
    // p ≥ 0: phase = p × 2^24, truncated and saturated to 32 bits, not wrapped; otherwise 0.
    void setPhase(float p) noexcept;
    float getPhase() const noexcept;
    // Below 0 → 0; at or above the sample rate → sample rate − 1. A non-finite value is ignored.
    void setFrequency(float f) noexcept;
    float getFrequency() const noexcept { return fFrequency; }
    // Clamped to −1..1. A non-finite value is ignored.
    void setGain(float g) noexcept;
    float getGain() const noexcept { return fGain; }
    // Clamped to 0..1. A non-finite value is ignored.
    void setShape(float s) noexcept;
    float getShape() const noexcept { return fShape; }
    void setNumCycles(int n) noexcept { numCycles = n; }
    int getNumCycles() const noexcept { return numCycles; }
    // Phase 0 and the state counts and value cleared.
    void retrigger() noexcept;
    // k = 0..64: table_sine with table k (0 tri, 1 saw, 2 sqr, 3..64 table_03..table_64);
    // any other k: the built-in sine table twice.
    void setTable(int k) noexcept;
    // `length` must be a power of two from 1 to 2^24.
    void setTables(const float* first, const float* second, int length) noexcept;

    // [any-thread] Maps a normalised control value onto the logarithmic ramp: 0 → 0,
    // 0.5 → 0.015625, 1 and above → 1, the sign of a negative value kept, NaN → 0.
    static float getValueFrequencyScaled(float c) noexcept;

    Callback onCycleEnd = nullptr;
    Callback onSyncReceived = nullptr;
    void* triggerDestination = nullptr;
    NoiseOscillator noise;
    bool isBidirectional = false;
    int lMode;
    float fSamplerate;
    float fFrequency;
    float fGain;
    float fShape;
    float currentValue;
    float sicvt;
    std::int64_t lobits;
    std::int64_t phase;
    std::int64_t currentIndex;
    int cycles;
    int numCycles;
    const float* waveTable1;
    const float* waveTable2;

    // Initialised, not yet destroyed modulators.
    static std::atomic<std::int64_t> count;
    static float freqTable[128];
    static float freqFactors[128];
    static float waveSine[kTableLength];
    static float waveSaw[kTableLength];
    static float waveSineSquar[kTableLength];
    static float waveSineQuad[kTableLength];
    static float waveRampLinUp[kTableLength];
    static float waveRampLinDown[kTableLength];
    static float waveRampExponUp[kTableLength];
    static float waveRampExponDown[kTableLength];
    static float maxFrequency;
    static float wave100[kTableLength];
    static float waveRampLogUp[kTableLength];
    static float waveRampLogDown[kTableLength];

private:
    static void buildTables() noexcept;
};
