// Orvex_Compander_Extension_DSPKernel: the compander kernel. It keeps 15 parameter slots (raw
// values as last set), the bypass flag and the maximum frame count, owns the compander, two spare
// followers, the band splitter and the mid/side holder by value, processes stereo non-interleaved
// float audio in place in the output buffers, and offers four meter values.
//
// Parameter addresses: 0 attack (s), 1 release (s), 2 threshold, 3 ratio (multiplier 2v − 1),
// 4 gain, 5 mix, 6 mode (truncated), 7 bypass (non-zero leaves the audio unprocessed),
// 8 audition (difference output when exactly 1.0), 9 and 10 the band splitter's crossovers
// (away from 0 and 1 they switch the compander off and only the splitter runs), 11 to 14 stored
// only. Each change prints "unit received parameter : address:A, value:V" through the DSP log seam.
//
// Threads: `process` and the event loop on the render thread; `setParameter`, `getParameter`,
// the bypass flag and the meter getters on any thread (relaxed atomics; a value set during a
// segment takes effect at the latest with the next one); `init`, `setSamplerate`, `reset` and
// `setBuffers` while no other thread renders (`setBuffers` on the render thread itself).
#pragma once

#include <cstdint>

#include "BandSplitFilter3.h"
#include "Compander2.h"
#include "DSPKernel.h"
#include "DSPLog.h"
#include "Follower.h"
#include "Relaxed.h"
#include "audio/CoreAudioTypes.h"

class Orvex_Compander_Extension_DSPKernel final : public DSPKernel {
public:
    static constexpr pf::AUParameterAddress kParameterSlots = 15;

    Orvex_Compander_Extension_DSPKernel() noexcept = default;

    // setSamplerate(rate), store the channel count, reset().
    void init(int channelCount, double sampleRate) noexcept;
    // Re-rates the followers, the splitter and the compander (which puts follower times back to
    // their defaults), then applies slots 0 and 1 again to the compander once they have been set,
    // so attack and release survive. A non-finite rate is ignored.
    void setSamplerate(float rate) noexcept;
    float getSamplerate() const noexcept { return fSamplerate; }
    // Clears every follower, the band buffers and filter states, puts the crossovers at 0 and 1,
    // resets the compander; slots stay.
    void reset() noexcept;

    void setBuffers(pf::AudioBufferList* input, pf::AudioBufferList* output) noexcept {
        inBufferListPtr = input;
        outBufferListPtr = output;
    }
    pf::AudioBufferList* getInputs() const noexcept { return inBufferListPtr; }
    pf::AudioBufferList* getOutputs() const noexcept { return outBufferListPtr; }

    // Addresses above 14 are ignored (nothing printed).
    void setParameter(pf::AUParameterAddress address, pf::AUValue value) noexcept;
    // The slot of an address 0..14; 0 for any other.
    pf::AUValue getParameter(pf::AUParameterAddress address) const noexcept;

    void setBypassed(bool bypassed) noexcept { bBypass = bypassed; }
    bool getBypassed() const noexcept { return bBypass; }
    // The adapter tests it; the kernel does not.
    void setMaximumFramesToRender(std::int32_t frames) noexcept { maxFrames = frames; }
    std::int32_t getMaximumFramesToRender() const noexcept { return maxFrames; }

    // Meters: the gain factors and the output followers' peaks, each × 0.5.
    float getDynamicsValue1() const noexcept { return compander.getFactorL() * 0.5f; }
    float getDynamicsValue2() const noexcept { return compander.getFactorR() * 0.5f; }
    float getPeakValue1() const noexcept { return compander.getPeakOutL() * 0.5f; }
    float getPeakValue2() const noexcept { return compander.getPeakOutR() * 0.5f; }

    // [render-thread] Copies input to output for each channel both lists hold (unless the
    // pointers are the same), then, unless bypassed, with 2 channels and slot 7 at 0, runs the
    // compander (slots 9 and 10 at 0 and 1) or the band splitter in place on the output.
    void process(pf::AUAudioFrameCount frameCount,
                 pf::AUAudioFrameCount bufferOffset) noexcept override;
    void process2(pf::AUAudioFrameCount, pf::AUAudioFrameCount) noexcept override {}
    void setParameterAutomated(pf::AUParameterAddress address, pf::AUValue value,
                               std::int64_t ramp) noexcept override;
    // Drops clock, start, continue, stop and reset; forwards the rest only with MIDI thru on.
    void handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept override;

    int numChannels = 2;
    pf::AudioBufferList* inBufferListPtr = nullptr;
    pf::AudioBufferList* outBufferListPtr = nullptr;
    Relaxed<float> fSamplerate{48000.0f};
    Relaxed<float> fParameters[kParameterSlots] = {};
    Follower follower[2];
    BandSplitFilter3 splitB;
    MidSideSplitter splitS;
    Compander2 compander;
    Relaxed<bool> bBypass{false};
    bool midiThru = false;
    Relaxed<std::int32_t> maxFrames{4096};

private:
    void applyParameter(pf::AUParameterAddress address, pf::AUValue value,
                        DSPLogOrigin origin) noexcept;

    // Whether attack (0) and release (1) have been set, so that re-rating applies them again.
    Relaxed<bool> timeSlotSet[2] = {};
};
