// Events a host schedules: they reach the unit's render block in their cycle, in time order, MIDI
// and parameters alike; at the queue's limits, and whatever threads push while a host allocates and
// releases the unit, every event ends delivered, refused or dropped.
#include <functional>
#include <optional>
#include <thread>
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
    // A unit type that takes no MIDI offers no MIDI block.
    EXPECT_FALSE(std::make_shared<TestUnit>()->scheduleMIDIEventBlock());
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

// A host of a fresh unit: schedules parameter events, renders stereo cycles on its own thread.
struct Host {
    std::shared_ptr<TestUnit> unit = std::make_shared<TestUnit>(kMusicEffect);
    AURenderBlock block = unit->renderBlock();
    AUScheduleParameterBlock schedule = unit->scheduleParameterBlock();
    void at(AUEventSampleTime time, AUParameterAddress address) { schedule(time, 0, address, 1); }
    void render(AUEventSampleTime start, AUAudioFrameCount frames = 64, NSInteger bus = 0) {
        EXPECT_EQ(test::StereoCycle().render(block, start, frames, bus), noErr);
    }
    std::uint64_t counted() const {
        const auto c = unit->scheduledEventCounts();
        return c.delivered + c.refused + c.dropped;
    }
};

// Producers push while the host allocates, renders a cycle and releases the unit, round after
// round: after each release everything pushed so far is counted, and in the end all of it.
void pushWhileTheHostReleases(Host& host) {
    constexpr int kProducers = 3, kRounds = 400;
    std::atomic<std::uint64_t> returned{0};
    std::atomic<bool> hostDone{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&] {
            for (int i = 0; !hostDone.load(); ++i) {
                host.at(AUEventSampleTimeImmediate + i % 100, 0);
                returned.fetch_add(1);
            }
        });
    }
    while (returned.load() == 0)
        std::this_thread::yield();
    bool lost = false;
    for (int round = 0; round < kRounds && !lost; ++round) {
        host.unit->allocateRenderResources();
        host.render(round * 64);
        host.unit->deallocateRenderResources();
        std::this_thread::yield(); // a push still under way may return meanwhile
        const std::uint64_t pushed = returned.load();
        lost = host.counted() < pushed;
    }
    hostDone = true;
    for (auto& producer : producers)
        producer.join();
    EXPECT_FALSE(lost) << "events left uncounted in the released queue";
    EXPECT_EQ(host.counted(), returned.load());
}

struct Limit {
    const char* claim;
    std::function<void(Host&)> run;
    std::vector<Seen> firstSeen;                  // the first events the unit saw
    std::optional<AUScheduledEventCounts> counts; // delivered, refused, dropped
};

TEST(ScheduledEvents, KeepTimeOrderAndAreEachCountedOnceAtTheQueuesLimits) {
    const AUEventSampleTime now = AUEventSampleTimeImmediate;
    const int P = AURenderEventParameter;
    const std::size_t ring = AUScheduledEventQueue::kRingCapacity;
    const std::vector<Limit> limits{
        {"dropped outside the allocation; a full ring refuses; another bus takes nothing",
         [&](Host& h) {
             h.at(now, 0); // not yet allocated
             h.unit->allocateRenderResources();
             for (std::size_t i = 0; i <= ring; ++i)
                 h.at(now, 1); // the last one finds the ring full
             h.render(0, 64, 1);
             h.render(64);
             h.at(1000, 2); // waits for its cycle, and the unit is released before it
             h.render(128);
             h.unit->deallocateRenderResources();
             h.at(1000, 2);
             EXPECT_EQ(h.unit->scheduledEventCounts().dropped, 3u) << "at once";
             h.unit->allocateRenderResources();
             h.render(1000);
         },
         {{64, 64, P, 1, 0, 0}},
         AUScheduledEventCounts{ring, 1, 3}},
        {"a full waiting list takes the events due now and refuses the latest in time",
         [&](Host& h) {
             h.unit->allocateRenderResources();
             for (AUEventSampleTime i = 0; i < 1024; ++i)
                 h.at(100000 + i, 0);
             h.render(0);
             h.at(200000, 3);
             h.at(100000, 4); // after the waiting event of its time
             h.at(100, 1);
             h.at(now, 2);
             h.render(64);
             h.render(100000);
             h.unit->deallocateRenderResources();
         },
         {{64, 64, P, 2, 0, 0},
          {64, 100, P, 1, 0, 0},
          {100000, 100000, P, 0, 0, 0},
          {100000, 100000, P, 4, 0, 0},
          {100000, 100001, P, 0, 0, 0}},
         AUScheduledEventCounts{2 + 65, 2, 1024 - 65}},
        {"a cycle of 0 frames hands over nothing",
         [&](Host& h) {
             h.unit->allocateRenderResources();
             h.at(now, 1);
             h.render(0, 0);
             h.render(64);
         },
         {{64, 64, P, 1, 0, 0}},
         AUScheduledEventCounts{1, 0, 0}},
        {"threads push while the host allocates and releases", pushWhileTheHostReleases, {}, {}},
    };
    for (const Limit& limit : limits) {
        SCOPED_TRACE(limit.claim);
        Host host;
        limit.run(host);
        auto first = seen(*host.unit);
        first.resize(std::min(first.size(), limit.firstSeen.size()));
        EXPECT_EQ(first, limit.firstSeen);
        if (!limit.counts) continue;
        const auto counts = host.unit->scheduledEventCounts();
        EXPECT_EQ(counts.delivered, limit.counts->delivered);
        EXPECT_EQ(counts.refused, limit.counts->refused);
        EXPECT_EQ(counts.dropped, limit.counts->dropped);
    }
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
