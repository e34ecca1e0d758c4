// BandSplitFilter3: splits a stereo signal into low, middle and high bands with two crossovers
// (a high-pass and a low-pass SVFilter4Pole1 per channel) and keeps the bands in buffers of its
// own. Low + middle + high equals the input, sample by sample, up to rounding. `split` only reads
// the channels it is given. The band gains are stored only.
//
// MidSideSplitter holds a mid and a side buffer; it is only cleared.
//
// Threads: the crossover setters may run on a parameter thread while `split` runs on the render
// thread (the filters' coefficients are relaxed atomics); `init`, `reset`, `clear` and
// `setSamplerate` run while nothing is split.
#pragma once

#include <cstdint>

#include "Relaxed.h"
#include "SVFilter4Pole1.h"

class MidSideSplitter {
public:
    MidSideSplitter() noexcept { reset(); }
    void init() noexcept { clear(); }
    void reset() noexcept { clear(); }
    void clear() noexcept;

    float buffer[2][4096];
};

class BandSplitFilter3 {
public:
    static constexpr std::int32_t kMaximumFrames = 4096;

    // Crossovers 0.333 and 0.666 at 48000 Hz; buffers and filter states cleared.
    BandSplitFilter3() noexcept;

    // Lower crossover; ignored outside 0..1 (NaN included); pulled down to the upper one.
    void setCutoff1(float value) noexcept;
    // Upper crossover; ignored outside 0..1 (NaN included); pulled up to the lower one.
    void setCutoff2(float value) noexcept;
    void setSamplerate(float rate) noexcept;
    // Clears the band buffers and resets the four filters (each back to cutoff setting 0.5);
    // the crossover values stay.
    void init() noexcept;
    void reset() noexcept { init(); }
    void clear() noexcept;

    // [render-thread] Splits at most 4096 frames of both channels into the band buffers.
    void split(const float* left, const float* right, std::int32_t frameCount) noexcept;

    float fGainLP;
    float fGainBP;
    float fGainHP;
    float fSamplerate;
    Relaxed<float> fCutoff1;
    Relaxed<float> fCutoff2;
    float bufferLP[2][4096];
    float bufferHP[2][4096];
    float bufferBP[2][4096];
    SVFilter4Pole1 lpf[2];
    SVFilter4Pole1 hpf[2];
};
