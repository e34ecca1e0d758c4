// Events a host schedules: they reach the unit's render block in their cycle, in time order, MIDI
// and parameters alike; at the queue's limits, and while threads push as a host opens and closes
// the queue, every event ends delivered, refused or dropped.
#include <array>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "TestUnit.h"
#include "audio/AVAudioEngine.h"
#include "audio/devices/AudioOutputDevice.h"

namespace pf {
namespace {

using test::TestUnit;

constexpr AudioComponentDescription kMusicEffect{fourCharCode("aumf"), fourCharCode("tst2"),
                                                 fourCharCode("Tstm"), 0, 0};
constexpr AUEventSampleTime kNow = AUEventSampleTimeImmediate;

// What the unit saw, an event a line: "<cycle start>:<time> ", then P<address> for a parameter,
// R<address>/<ramp frames> for a ramp, M<status>/<length> for MIDI.
std::vector<std::string> seen(const TestUnit& unit) {
    std::vector<std::string> list;
    const auto& probe = *unit.probe();
    for (int i = 0; i < probe.seenCount.load() && i < int(probe.seen.size()); ++i) {
        const test::SeenEvent& e = probe.seen[std::size_t(i)];
        const bool midi = e.type >= AURenderEventMIDI;
        const auto detail = midi ? e.length : e.ramp;
        list.push_back(std::to_string(e.cycleStart) + ':' + std::to_string(e.time) + ' ' +
                       " PR     MM"[e.type] + std::to_string(midi ? e.status : e.address) +
                       (detail > 0 ? '/' + std::to_string(detail) : ""));
    }
    return list;
}

// A host of a fresh music effect: schedules events and renders stereo cycles.
struct Host {
    std::shared_ptr<TestUnit> unit = std::make_shared<TestUnit>(kMusicEffect);
    void at(AUEventSampleTime time, AUParameterAddress address, AUAudioFrameCount ramp = 0) {
        unit->scheduleParameterBlock()(time, ramp, address, 0.5f);
    }
    void midi(AUEventSampleTime time, std::uint8_t status, NSInteger length = 3) {
        const std::uint8_t bytes[4] = {status, 60, 100, 0xF7};
        unit->scheduleMIDIEventBlock()(time, 0, length, bytes);
    }
    void render(AUEventSampleTime start, AUAudioFrameCount frames = 64, NSInteger bus = 0) {
        EXPECT_EQ(test::StereoCycle().render(unit->renderBlock(), start, frames, bus), noErr);
    }
};

// Producers push while the host opens the queue, renders a cycle and closes it, round after
// round: a closed queue holds nothing, and in the end every push is counted.
void pushWhileTheHostCloses(Host&) {
    AUScheduledEventQueue queue;
    std::atomic<std::uint64_t> pushed{0};
    std::vector<std::jthread> producers;
    for (int p = 0; p < 3; ++p) {
        producers.emplace_back([&](std::stop_token stop) {
            for (AURenderEvent event; !stop.stop_requested(); pushed.fetch_add(1))
                queue.push(event);
        });
    }
    while (pushed.load() < 1000) // the producers are under way
        std::this_thread::yield();
    int leftInClosedQueue = 0;
    for (AUEventSampleTime start = 0; start < 6000 * 64; start += 64) {
        queue.open();
        queue.beginCycle(start, 64);
        queue.endCycle();
        queue.close();
        std::this_thread::yield(); // a push still under way may end meanwhile
        leftInClosedQueue += queue.beginCycle(start, 64) != nullptr;
        queue.endCycle();
    }
    producers.clear(); // each stops and is joined
    EXPECT_EQ(leftInClosedQueue, 0);
    const auto c = queue.counts();
    EXPECT_EQ(c.delivered + c.refused + c.dropped, pushed.load());
}

struct Case {
    const char* claim;
    std::function<void(Host&)> run;
    std::vector<std::string> firstSeen;  // the first events the unit saw
    std::array<std::uint64_t, 3> counts; // the unit's delivered, refused, dropped
};

TEST(ScheduledEvents, ReachTheUnitInTimeOrderAndAreEachCountedOnceUpToTheQueuesLimits) {
    // A unit type that takes no MIDI offers no MIDI block.
    EXPECT_FALSE(std::make_shared<TestUnit>()->scheduleMIDIEventBlock());
    const std::vector<Case> cases{
        {"in their cycle, in time order, MIDI and parameters alike",
         [](Host& h) {
             h.unit->allocateRenderResources();
             // Cycles of 64 frames from 1000 and from 1064; scheduled out of order.
             h.at(1064, 1);           // the first frame of the second cycle
             h.midi(1010, 0x90);      // a note-on at frame 10 …
             h.at(1010, 2, 16);       // … and after it, at the same time, a ramp
             h.at(kNow, 3);           // the first frame of the next cycle
             h.at(900, 4);            // late: handed over with its own time, first
             h.midi(kNow + 70, 0x80); // 70 frames into the next cycle
             h.midi(1010, 0xF0, 4);   // refused: longer than a render event holds
             h.midi(1010, 0x90, 0);   // refused: empty
             h.unit->scheduleMIDIEventBlock()(1010, 0, 1, nullptr); // refused: no bytes
             h.render(1000);
             h.at(kNow, 5);
             h.render(1064);
             h.render(1128);
         },
         {"1000:900 P4", "1000:1000 P3", "1000:1010 M144/3", "1000:1010 R2/16", "1064:1064 P1",
          "1064:1064 P5", "1064:1070 M128/3"},
         {{7, 3, 0}}},
        {"at the limits: a full ring refuses the new event, a full waiting list the latest in "
         "time; nothing is taken outside the allocation, by another bus or in 0 frames",
         [](Host& h) {
             h.at(kNow, 9); // not yet allocated
             h.unit->allocateRenderResources();
             for (AUEventSampleTime i = 0; i <= 1024; ++i)
                 h.at(100000 + i, 0); // the last one finds the ring full
             h.render(0);
             h.at(200000, 3); // later than all that wait: refused
             h.at(100000, 4); // after the waiting event of its time
             h.at(100, 1);
             h.at(kNow, 2);
             h.render(32, 64, 1);
             h.render(48, 0);
             h.render(64);
             h.render(100000);
             h.unit->deallocateRenderResources();
             h.at(kNow, 5);
             EXPECT_EQ(h.unit->scheduledEventCounts().dropped, 1u + 959 + 1) << "at once";
             h.unit->allocateRenderResources();
             h.render(200000);
         },
         {"64:64 P2", "64:100 P1", "100000:100000 P0", "100000:100000 P4", "100000:100001 P0"},
         {{2 + 65, 1 + 2, 1 + 959 + 1}}},
        {"threads push while the host opens and closes the queue", pushWhileTheHostCloses, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.claim);
        Host host;
        c.run(host);
        auto first = seen(*host.unit);
        first.resize(std::min(first.size(), c.firstSeen.size()));
        EXPECT_EQ(first, c.firstSeen);
        const auto n = host.unit->scheduledEventCounts();
        EXPECT_EQ((std::array{n.delivered, n.refused, n.dropped}), c.counts);
        EXPECT_EQ(std::uint64_t(host.unit->probe()->seenCount.load()), n.delivered)
            << "the unit saw each event delivered, once";
    }
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
    EXPECT_EQ(seen(*unit), std::vector<std::string>{"1440:1540 P1"});
    engine->stop();
    setAudioOutputOverride(std::nullopt);
}

} // namespace
} // namespace pf
