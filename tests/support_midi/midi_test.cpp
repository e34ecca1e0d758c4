#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "MIDIDefinitions.h"

namespace {

// A few values from each table, as the MIDI specification assigns them.
TEST(MIDIDefinitions, TablesHoldTheMidiAssignments) {
    EXPECT_EQ(STATUS_NOTEON, 0x90);
    EXPECT_EQ(STATUS_PITCHBEND, 0xE0);
    EXPECT_EQ(STATUS_EOX, 0xF7);
    EXPECT_EQ(STATUS_META, 0xFD);
    EXPECT_EQ(STATUS_RESET, 0xFF);
    EXPECT_EQ(CONTROLLER_VOLUME, 7);
    EXPECT_EQ(CONTROLLER_SUSTAIN, 64);
    EXPECT_EQ(CONTROLLER_NOTES_OFF, 123);
    EXPECT_EQ(META_EOT, 0x2F);
    EXPECT_EQ(META_SETTEMPO, 0x51);
}

// The record is type, three zero bytes, a 32-bit length, then the data, padded to whole words.
TEST(MyMetaEvent, RecordHoldsTypeLengthAndDataPastTheFixedPart) {
    const MyMetaEvent event(0x7F, std::vector<std::uint8_t>{0x11, 0x22, 0x33});
    ASSERT_EQ(event.size(), 15);
    const std::uint8_t expected[15] = {0x7F, 0, 0, 0, 3, 0, 0, 0, 0x11, 0x22, 0x33, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(event.mem(), expected, sizeof expected), 0);
    int calls = 0;
    event.withMIDIMetaEventPtr([&](const MIDIMetaEvent* record) {
        ++calls;
        EXPECT_EQ(static_cast<const void*>(record), static_cast<const void*>(event.mem()));
        EXPECT_EQ(record->dataLength, 3u);
    });
    EXPECT_EQ(calls, 1);

    EXPECT_EQ(MyMetaEvent(META_EOT, {}).size(), 12);
    std::vector<std::uint8_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    const MyMetaEvent longEvent(META_TEXT, data);
    EXPECT_EQ(longEvent.size(), 312);
    EXPECT_EQ(std::memcmp(longEvent.mem() + 8, data.data(), data.size()), 0);
}

} // namespace
