// SVFilter4Pole1: a state-variable filter of up to four stages sharing one cutoff and resonance
// (three stages run). Its cutoff setting is a normalised value mapped through
// `Modulator::getValueFrequencyScaled`; coefficients are recomputed only when the effective
// cutoff or resonance changes.
//
// Interpolator2 holds a value meant to move toward a destination; it is only constructed.
//
// Threads: `setCutoff` may run on a parameter thread while the render thread filters; the
// coefficients are relaxed atomics read once per buffer, so a change lands between buffers (or
// between samples for the per-sample calls). Stage states belong to the render thread; `init`
// and `reset` run while no buffer is being filtered.
#pragma once

#include <cstdint>

#include "Modulator.h"
#include "Relaxed.h"

class Interpolator2 {
public:
    Interpolator2() noexcept { setInitialValue(0.5f); }
    void setInitialValue(float value) noexcept {
        currentValue = value;
        destinationValue = value;
    }

    float destinationValue = 0.5f;
    float currentValue = 0.5f;
    float increase = 0.0f;
    std::int64_t time = 1024;
    std::int64_t delay = 0;
};

class SVFilter4Pole1 {
public:
    SVFilter4Pole1() noexcept;

    // Cutoff setting (no range check), then `processParameters()`.
    void setCutoff(float value) noexcept;
    // Stored only: the coefficients do not depend on the rate.
    void setSamplerate(float rate) noexcept { fSamplerate = rate; }
    void processParameters() noexcept;
    // Clear coefficients and states, then `reset()`.
    void init() noexcept;
    // Clear coefficients and states, mode 0, cutoff setting 0.5, resonance 0; recompute.
    void reset() noexcept;

    // [render-thread] One sample in place.
    void processSampleHP(float* sample) noexcept;
    void processSampleLP(float* sample) noexcept;
    // [render-thread] Filters a copy of *input into *output and writes *input − *output to *rest
    // (input is read again afterwards, so rest may be input's own place).
    void processSampleHP(const float* input, float* output, float* rest) noexcept;
    void processSampleLP(const float* input, float* output, float* rest) noexcept;
    // [render-thread] The three-pointer operation for `frameCount` consecutive samples.
    void processBufferHP(const float* input, float* output, float* rest,
                         std::int32_t frameCount) noexcept;
    void processBufferLP(const float* input, float* output, float* rest,
                         std::int32_t frameCount) noexcept;

    float fPoles;
    float fMode;
    float fSamplerate;
    float f; // not used
    Relaxed<float> fCutoff;
    Relaxed<float> fResonance;
    Relaxed<float> cutoff;
    Relaxed<float> resonance;
    Relaxed<float> booster;
    Relaxed<float> cf;
    Relaxed<float> cq;
    float b1, r1, b2, r2, b3, r3, b4, r4;
    Interpolator2 interpolator;
    Modulator modulator;

private:
    friend class BandSplitFilter3; // runs its four filters side by side in one loop

    enum class Output { low, high };
    struct Coefficients {
        float cf;
        float cq;
        float booster;
    };
    // The stage states in registers for a run of samples.
    struct States {
        float b[4];
        float r[4];
    };
    Coefficients coefficients() const noexcept { return Coefficients{cf, cq, booster}; }
    // Stage k (k = 2..4) runs while fPoles > k − 1.
    int stageCount() const noexcept {
        return fPoles > 3.0f ? 4 : fPoles > 2.0f ? 3 : fPoles > 1.0f ? 2 : 1;
    }
    States loadStates() const noexcept { return States{{b1, b2, b3, b4}, {r1, r2, r3, r4}}; }
    void storeStates(const States& s) noexcept {
        b1 = s.b[0], b2 = s.b[1], b3 = s.b[2], b4 = s.b[3];
        r1 = s.r[0], r2 = s.r[1], r3 = s.r[2], r4 = s.r[3];
    }

    // One sample: every stage is fed half the input; the output is the last stage's low or
    // high band, times the booster.
    template <Output output, int stages>
    static float filter(float x, const Coefficients& k, States& s) noexcept {
        const float h = 0.5f * x;
        float low = 0.0f, high = 0.0f;
        for (int stage = 0; stage < stages; ++stage) {
            float& b = s.b[stage];
            float& r = s.r[stage];
            low = r + k.cf * b;
            high = (h - low) - k.cq * b;
            b = k.cf * high + b;
            r = low;
        }
        return (output == Output::high ? high : low) * k.booster;
    }
    template <Output output>
    void processBuffer(const float* input, float* out, float* rest, std::int32_t n) noexcept;
    template <Output output, int stages>
    void run(const float* input, float* out, float* rest, std::int32_t n) noexcept;
    void clearState() noexcept;
};
