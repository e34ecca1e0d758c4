#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "MIDIDefinitions.h"

namespace {

TEST(MIDIDefinitions, StatusBytes) {
    EXPECT_EQ(STATUS_NOTEOFF, 0x80);
    EXPECT_EQ(STATUS_NOTEON, 0x90);
    EXPECT_EQ(STATUS_CONTROLLER, 0xB0);
    EXPECT_EQ(STATUS_PITCHBEND, 0xE0);
    EXPECT_EQ(STATUS_SYSEX, 0xF0);
    EXPECT_EQ(STATUS_EOX, 0xF7);
    EXPECT_EQ(STATUS_RESET, 0xFF);
    EXPECT_EQ(STATUS_RESERVED4, 0xFD);
    EXPECT_EQ(STATUS_META, STATUS_RESERVED4);
    EXPECT_NE(STATUS_META, STATUS_RESET);
    // Every status byte but the meta alias has a value of its own.
    const std::set<std::uint8_t> distinct = {
        STATUS_NOTEOFF,   STATUS_NOTEON,        STATUS_PPRESSURE,  STATUS_CONTROLLER,
        STATUS_PROGRAM,   STATUS_CPRESSURE,     STATUS_PITCHBEND,  STATUS_SYSEX,
        STATUS_TIMECODE,  STATUS_SONGPOSITION,  STATUS_SONGSELECT, STATUS_RESERVED1,
        STATUS_RESERVED2, STATUS_TUNEREQUEST,   STATUS_EOX,        STATUS_TIMINGCLOCK,
        STATUS_RESERVED3, STATUS_START,         STATUS_CONTINUE,   STATUS_STOP,
        STATUS_RESERVED4, STATUS_ACTIVESENSING, STATUS_RESET};
    EXPECT_EQ(distinct.size(), 23u);
}

TEST(MIDIDefinitions, ControllerNumbersFollowTheMidiAssignments) {
    EXPECT_EQ(CONTROLLER_BANKSELECT_MSB, 0);
    EXPECT_EQ(CONTROLLER_MODWHEEL, 1);
    EXPECT_EQ(CONTROLLER_VOLUME, 7);
    EXPECT_EQ(CONTROLLER_PAN, 10);
    EXPECT_EQ(CONTROLLER_BANKSELECT_LSB, 32);
    EXPECT_EQ(CONTROLLER_SUSTAIN, 64);
    EXPECT_EQ(CONTROLLER_SUSTAIN2, 76);
    EXPECT_EQ(CONTROLLER_SOUNDS_OFF, 120);
    EXPECT_EQ(CONTROLLER_RESET_CONTROLLERS, 121);
    EXPECT_EQ(CONTROLLER_NOTES_OFF, 123);
    EXPECT_EQ(CONTROLLER_016, 16);
    EXPECT_EQ(CONTROLLER_112, 112);
}

TEST(MIDIDefinitions, MetaTypes) {
    EXPECT_EQ(META_SEQUENCENUMBER, 0x00);
    EXPECT_EQ(META_DEVICENAME, 0x09);
    EXPECT_EQ(META_EOT, 0x2F);
    EXPECT_EQ(META_SETTEMPO, 0x51);
    EXPECT_EQ(META_SPECIFIC, 0x7F);
    EXPECT_EQ(META_SYSEX, 0xF0);
    for (std::uint8_t shared : {META_UNKNOWN, META_EXTENDEDNOTE, META_AUPARAMETER, META_AUPRESET})
        EXPECT_EQ(shared, 0xFF);
}

TEST(MyMetaEvent, RecordLayoutWithThreeDataBytes) {
    const std::vector<std::uint8_t> data = {0x11, 0x22, 0x33};
    const MyMetaEvent event(0x7F, data);
    ASSERT_EQ(event.size(), 15);
    const std::uint8_t* bytes = event.mem();
    EXPECT_EQ(bytes[0], 0x7F);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 0);
    std::uint32_t length = 0;
    std::memcpy(&length, bytes + 4, sizeof length);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(bytes[8], 0x11);
    EXPECT_EQ(bytes[9], 0x22);
    EXPECT_EQ(bytes[10], 0x33);
    for (int i = 11; i < 15; ++i)
        EXPECT_EQ(bytes[i], 0) << i;

    int calls = 0;
    event.withMIDIMetaEventPtr([&](const MIDIMetaEvent* record) {
        ++calls;
        EXPECT_EQ(static_cast<const void*>(record), static_cast<const void*>(bytes));
        EXPECT_EQ(record->metaEventType, 0x7F);
        EXPECT_EQ(record->dataLength, 3u);
        EXPECT_EQ(record->data[0], 0x11);
    });
    EXPECT_EQ(calls, 1);
}

TEST(MyMetaEvent, NoDataGivesTheBareRecord) {
    const MyMetaEvent event(META_EOT, {});
    EXPECT_EQ(event.size(), 12);
    event.withMIDIMetaEventPtr([](const MIDIMetaEvent* record) {
        EXPECT_EQ(record->metaEventType, META_EOT);
        EXPECT_EQ(record->dataLength, 0u);
        EXPECT_EQ(record->data[0], 0);
    });
}

TEST(MyMetaEvent, LongDataRunsPastTheFixedRecord) {
    std::vector<std::uint8_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    const MyMetaEvent event(META_TEXT, data);
    EXPECT_EQ(event.size(), 312);
    EXPECT_EQ(std::memcmp(event.mem() + 8, data.data(), data.size()), 0);
    test_MyMetaEvent();
}

} // namespace
