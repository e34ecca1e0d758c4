// Render events: the host's scheduled parameter and MIDI events of one render cycle, a singly
// linked list ordered by sample time (events of one time in the order they were scheduled). The
// list and its records belong to whoever renders the unit and are valid for the cycle they are
// handed over in; renderers read them and never keep them. Every field a renderer reads is plain
// data: sample time, type, and the parameter's address and value or the MIDI message's bytes.
#pragma once

#include <cstdint>

#include "audio/CoreAudioTypes.h"

namespace pf {

union AURenderEvent;

// A time to schedule with for "as soon as possible": the first frame of the next render cycle.
// Adding n (below 2^31) means n frames after that first frame.
inline constexpr AUEventSampleTime AUEventSampleTimeImmediate = -(AUEventSampleTime{1} << 32);

enum AURenderEventType : std::uint8_t {
    AURenderEventParameter = 1,
    AURenderEventParameterRamp = 2,
    AURenderEventMIDI = 8,
    AURenderEventMIDISysEx = 9,
};

// The part every record starts with; `eventType` tells which record the union holds.
struct AURenderEventHeader {
    AURenderEvent* next = nullptr;
    AUEventSampleTime eventSampleTime = 0;
    AURenderEventType eventType = AURenderEventParameter;
    std::uint8_t reserved = 0;
};

// Types 1 and 2. A ramp's duration is carried along; ramps end at `value`.
struct AUParameterEvent {
    AURenderEvent* next = nullptr;
    AUEventSampleTime eventSampleTime = 0;
    AURenderEventType eventType = AURenderEventParameter;
    std::uint8_t reserved[3] = {};
    AUAudioFrameCount rampDurationSampleFrames = 0;
    AUParameterAddress parameterAddress = 0;
    AUValue value = 0.0f;
};

// Types 8 and 9: up to three bytes of one MIDI message.
struct AUMIDIEvent {
    AURenderEvent* next = nullptr;
    AUEventSampleTime eventSampleTime = 0;
    AURenderEventType eventType = AURenderEventMIDI;
    std::uint8_t reserved = 0;
    std::uint16_t length = 0;
    std::uint8_t cable = 0;
    std::uint8_t data[3] = {};
};

// The records share their leading members, so `head` may be read whatever record is stored.
union AURenderEvent {
    AURenderEventHeader head;
    AUParameterEvent parameter;
    AUMIDIEvent MIDI;

    AURenderEvent() : head() {}
};

} // namespace pf
