// DSPKernel: the render-event loop. It cuts one render cycle into segments at the sample times
// of the host's scheduled events, applies the events between segments and asks the concrete
// kernel to process each segment.
//
// Segments never run past the frames of the cycle: an event at or after the end of the cycle
// ends the processing there, and such events are applied, in order, after the last frame, so no
// value is lost. An event whose time lies in the past applies at once.
//
// Threads: [render-thread] for everything here. The base operations do nothing.
#pragma once

#include <cstdint>

#include "audio/AUBlocks.h"
#include "audio/AURenderEvent.h"
#include "audio/CoreAudioTypes.h"

class DSPKernel {
public:
    // Processes `frameCount` frames, starting `bufferOffset` frames into the current buffers.
    virtual void process(pf::AUAudioFrameCount frameCount,
                         pf::AUAudioFrameCount bufferOffset) noexcept;
    virtual void process2(pf::AUAudioFrameCount frameCount,
                          pf::AUAudioFrameCount bufferOffset) noexcept;
    // A scheduled parameter value; `ramp` (frames) is carried but ramps apply as steps.
    virtual void setParameterAutomated(pf::AUParameterAddress address, pf::AUValue value,
                                       std::int64_t ramp) noexcept;
    virtual void handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept;

    // One render cycle of `frameCount` frames starting at `timestamp`'s sample time, with the
    // host's event list (may be null) and MIDI output block (may be absent), which the kernel
    // keeps as `midiOut` until the next cycle. A cycle of 0 frames processes and applies nothing.
    void processWithEvents(const pf::AudioTimeStamp* timestamp, pf::AUAudioFrameCount frameCount,
                           const pf::AURenderEvent* events,
                           const pf::AUMIDIOutputEventBlock& midiOutBlock) noexcept;
    // Applies `event` and every following event whose time is at or before `now`; leaves `event`
    // at the first event not applied (or null).
    void performAllSimultaneousEvents(pf::AUEventSampleTime now,
                                      const pf::AURenderEvent*& event) noexcept;
    // Types 1 and 2 → `setParameterAutomated`; 8 and 9 → `handleMIDIEvent`; others are ignored.
    void handleOneEvent(const pf::AURenderEvent* event) noexcept;

    // The host's MIDI output block of the current cycle. Replacing it may release the previous
    // block's last reference on the render thread (only when the host replaced it meanwhile).
    pf::AUMIDIOutputEventBlock midiOut;

protected:
    DSPKernel() = default;
    ~DSPKernel() = default;
    DSPKernel(const DSPKernel&) = delete;
    DSPKernel& operator=(const DSPKernel&) = delete;
};
