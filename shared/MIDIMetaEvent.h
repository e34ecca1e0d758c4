// MIDIMetaEvent: the audio toolbox's variable-length meta-event record: the type byte, three
// unused bytes, the 32-bit data length and the data bytes, which start at byte 8 and run on past
// the end of the fixed 12-byte record for as many bytes as dataLength says.
//
// A small local definition until the platform's audio layer provides the type; the layout is
// checked below, so the two can be swapped without a change to the callers.
#pragma once

#include <cstddef>
#include <cstdint>

struct MIDIMetaEvent {
    std::uint8_t metaEventType;
    std::uint8_t unused1;
    std::uint8_t unused2;
    std::uint8_t unused3;
    std::uint32_t dataLength;
    std::uint8_t data[1]; // the first of dataLength bytes
};

static_assert(sizeof(MIDIMetaEvent) == 12);
static_assert(offsetof(MIDIMetaEvent, dataLength) == 4);
static_assert(offsetof(MIDIMetaEvent, data) == 8);
