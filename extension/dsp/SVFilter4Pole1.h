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
    enum class Output { low, high };
    struct Coefficients {
        float cf;
        float cq;
        float booster;
        int stages;
    };
    Coefficients coefficients() const noexcept;
    template <Output output> float filter(float x, const Coefficients& k) noexcept;
    template <Output output>
    void processBuffer(const float* input, float* out, float* rest, std::int32_t n) noexcept;
    void clearState() noexcept;
};
