// Events a host schedules: they reach the unit's render block in their cycle, in time order, MIDI
// and parameters alike; nothing is accepted outside the allocation and a full queue refuses.
#include <tuple>

#include <gtest/gtest.h>

#include "TestUnit.h"
#include "audio/AVAudioEngine.h"
#include "audio/devices/AudioOutputDevice.h"

namespace pf {
namespace {

using test::SeenEvent;
using test::TestUnit;

constexpr AudioComponentDescription kMusicEffect{fourCharCode("aumf"), fourCharCode("tst2"),
                                                 fourCharCode("Tstm"), 0, 0};

void midi(const AUScheduleMIDIEventBlock& block, AUEventSampleTime time, std::uint8_t status) {
    const std::uint8_t bytes[3] = {status, 60, 100};
    block(time, 0, 3, bytes);
}

// cycle start, time, type, address, ramp, MIDI status
using Seen = std::tuple<AUEventSampleTime, AUEventSampleTime, int, AUParameterAddress,
                        AUAudioFrameCount, int>;

std::vector<Seen> seen(const TestUnit& unit) {
    std::vector<Seen> list;
    const auto& probe = *unit.probe();
    for (int i = 0; i < probe.seenCount.load(); ++i) {
        const SeenEvent& e = probe.seen[std::size_t(i)];
        list.emplace_back(e.cycleStart, e.time, e.type, e.address, e.ramp, e.status);
    }
    return list;
}

TEST(ScheduledEvents, ReachTheRenderBlockInTheirCycleInTimeOrder) {
    const auto unit = std::make_shared<TestUnit>(kMusicEffect);
    unit->allocateRenderResources();
    const auto block = unit->renderBlock();
    const auto parameter = unit->scheduleParameterBlock();
    const auto note = unit->scheduleMIDIEventBlock();
    ASSERT_TRUE(parameter && note);

    // Cycles of 64 frames from 1000 and from 1064; scheduled out of order.
    parameter(1064, 0, 1, 0.5f);                       // the first frame of the second cycle
    midi(note, 1010, 0x90);                            // a note-on at frame 10 …
    parameter(1010, 16, 2, 0.5f);                      // … and after it, at the same time, a ramp
    parameter(AUEventSampleTimeImmediate, 0, 3, 0.5f); // the first frame of the next cycle
    parameter(900, 0, 4, 0.5f);                        // late: handed over with its own time, first
    midi(note, AUEventSampleTimeImmediate + 70, 0x80); // 70 frames into the next cycle
    const std::uint8_t bytes[4] = {0xF0, 1, 2, 0xF7};
    note(1010, 0, 4, bytes);   // refused: longer than a render event holds
    note(1010, 0, 0, bytes);   // refused: empty
    note(1010, 0, 1, nullptr); // refused: no bytes
    ASSERT_EQ(test::StereoCycle().render(block, 1000), noErr);
    parameter(AUEventSampleTimeImmediate, 0, 5, 0.5f);
    ASSERT_EQ(test::StereoCycle().render(block, 1064), noErr);
    ASSERT_EQ(test::StereoCycle().render(block, 1128), noErr);

    const int P = AURenderEventParameter, R = AURenderEventParameterRamp, M = AURenderEventMIDI;
    const std::vector<Seen> expected{
        {1000, 900, P, 4, 0, 0},     {1000, 1000, P, 3, 0, 0}, {1000, 1010, M, 0, 0, 0x90},
        {1000, 1010, R, 2, 16, 0},   {1064, 1064, P, 1, 0, 0}, {1064, 1064, P, 5, 0, 0},
        {1064, 1070, M, 0, 0, 0x80},
    };
    EXPECT_EQ(seen(*unit), expected);
    EXPECT_EQ(unit->probe()->seen[2].length, 3u);
    EXPECT_EQ(unit->scheduledEventCounts().delivered, 7u);
    EXPECT_EQ(unit->scheduledEventCounts().refused, 3u);
}

TEST(ScheduledEvents, AreDroppedOutsideTheAllocationAndRefusedBeyondTheQueue) {
    // A unit type that takes no MIDI offers no MIDI block.
    EXPECT_FALSE(std::make_shared<TestUnit>()->scheduleMIDIEventBlock());

    const auto unit = std::make_shared<TestUnit>(kMusicEffect);
    const auto parameter = unit->scheduleParameterBlock();
    parameter(AUEventSampleTimeImmediate, 0, 0, 1.0f); // not yet allocated
    unit->allocateRenderResources();
    const auto block = unit->renderBlock();
    for (std::size_t i = 0; i <= AUScheduledEventQueue::kRingCapacity; ++i) {
        parameter(AUEventSampleTimeImmediate, 0, 0, 1.0f); // the last one finds the ring full
    }
    EXPECT_EQ(test::StereoCycle().render(block, 0, 64, 1), noErr); // another bus takes no events
    EXPECT_EQ(unit->probe()->seenCount.load(), 0);
    EXPECT_EQ(test::StereoCycle().render(block, 64), noErr);
    EXPECT_EQ(unit->probe()->seenCount.load(), int(AUScheduledEventQueue::kRingCapacity));

    parameter(1000, 0, 0, 1.0f); // waits for its cycle, and the unit is released before it
    EXPECT_EQ(test::StereoCycle().render(block, 128), noErr);
    unit->deallocateRenderResources();
    parameter(1000, 0, 0, 1.0f);
    EXPECT_EQ(unit->scheduledEventCounts().dropped, 3u); // at once, not at the next allocation
    unit->allocateRenderResources();
    EXPECT_EQ(test::StereoCycle().render(block, 1000), noErr);
    EXPECT_EQ(unit->probe()->seenCount.load(), int(AUScheduledEventQueue::kRingCapacity));

    const auto counts = unit->scheduledEventCounts();
    EXPECT_EQ(counts.delivered, AUScheduledEventQueue::kRingCapacity);
    EXPECT_EQ(counts.refused, 1u);
    EXPECT_EQ(counts.dropped, 3u);
}

TEST(ScheduledEvents, AHostSchedulesOnTheClockTheEngineRendersTheUnitWith) {
    setAudioOutputOverride("manual");
    const auto engine = AVAudioEngine::make();
    const auto unit = std::make_shared<TestUnit>(kMusicEffect);
    const auto node = std::make_shared<AVAudioUnit>(unit);
    engine->attach(node);
    engine->connect(node, engine->mainMixerNode(), nullptr);
    engine->start();
    const auto device = ManualAudioDevice::current();
    ASSERT_TRUE(device);
    EXPECT_FALSE(node->lastRenderTime().has_value());
    for (int cycle = 0; cycle < 3; ++cycle)
        device->render(480);
    const auto last = node->lastRenderTime();
    ASSERT_TRUE(last && last->isSampleTimeValid());
    EXPECT_EQ(last->sampleTime(), 960);
    unit->scheduleParameterBlock()(last->sampleTime() + 480 + 100, 0, 1, 0.5f);
    device->render(480);
    EXPECT_EQ(seen(*unit), (std::vector<Seen>{{1440, 1540, AURenderEventParameter, 1, 0, 0}}));
    engine->stop();
    setAudioOutputOverride(std::nullopt);
}

} // namespace
} // namespace pf
