// The render-event loop, observed through a kernel that records its calls.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DSPKernel.h"
#include "support/Buffers.h"

namespace {

using Calls = std::vector<std::string>;
constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class RecordingKernel final : public DSPKernel {
public:
    Calls calls;
    void process(pf::AUAudioFrameCount frames, pf::AUAudioFrameCount offset) noexcept override {
        calls.push_back("process(" + std::to_string(frames) + ", " + std::to_string(offset) + ")");
    }
    void setParameterAutomated(pf::AUParameterAddress address, pf::AUValue value,
                               std::int64_t) noexcept override {
        calls.push_back("set " + std::to_string(address) + "=" + std::to_string(int(value)));
    }
    void handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept override {
        calls.push_back("midi " + std::to_string(event.data[0]));
    }
};

struct Event {
    std::int64_t time;
    int address;
    pf::AURenderEventType type = pf::AURenderEventParameter;
};

struct Case {
    const char* claim;
    double sampleTime;
    pf::AUAudioFrameCount frames;
    std::vector<Event> events;
    Calls expected;
};

} // namespace

// Segments end at event times and never pass the end of the cycle; events at or after the end
// (however far, even where the distance overflows 32 or 64 bits) are still applied, in order.
TEST(RenderEventLoop, CutsTheCycleAtEventTimesAndAppliesEveryEventInOrder) {
    const auto midi = pf::AURenderEventMIDI;
    const Case cases[] = {
        {"no events", 1000, 512, {}, {"process(512, 0)"}},
        {"one event", 1000, 512, {{1100, 4}}, {"process(100, 0)", "set 4=4", "process(412, 100)"}},
        {"past or first sample",
         1000,
         512,
         {{900, 1}, {1000, 2}},
         {"set 1=1", "set 2=2", "process(512, 0)"}},
        {"simultaneous",
         1000,
         512,
         {{1100, 1}, {1100, 2}, {1200, 3}},
         {"process(100, 0)", "set 1=1", "set 2=2", "process(100, 100)", "set 3=3",
          "process(312, 200)"}},
        {"beyond the cycle",
         1000,
         512,
         {{1300, 1}, {1512, 2}, {1600, 3}, {kFar, 4}},
         {"process(300, 0)", "set 1=1", "process(212, 300)", "set 2=2", "set 3=3", "set 4=4"}},
        {"64-bit overflow", -1e18, 64, {{kFar, 5}}, {"process(64, 0)", "set 5=5"}},
        {"32-bit wrap", 0, 64, {{(std::int64_t{1} << 32) + 10, 6}}, {"process(64, 0)", "set 6=6"}},
        {"empty cycle", 0, 0, {{0, 1}}, {}},
        {"types",
         0,
         32,
         {{0, 1},
          {0, 2, pf::AURenderEventParameterRamp},
          {0, 0x90, midi},
          {0, 0xF0, pf::AURenderEventMIDISysEx},
          {0, 3, pf::AURenderEventType(3)},
          {0, 0x80, pf::AURenderEventType(10)}},
         {"set 1=1", "set 2=2", "midi 144", "midi 240", "process(32, 0)"}},
        {"NaN time counts from 0",
         kNaN,
         32,
         {{16, 1}},
         {"process(16, 0)", "set 1=1", "process(16, 16)"}},
        {"huge time", 1e300, 32, {}, {"process(32, 0)"}},
    };
    for (const Case& c : cases) {
        testsupport::EventList list;
        for (const Event& e : c.events) {
            if (e.type == pf::AURenderEventMIDI || e.type == pf::AURenderEventMIDISysEx ||
                e.type == pf::AURenderEventType(10)) {
                list.midi(e.time, std::uint8_t(e.address), 0, 0, e.type);
            } else {
                list.parameter(e.time, pf::AUParameterAddress(e.address), float(e.address), e.type);
            }
        }
        RecordingKernel kernel;
        pf::AudioTimeStamp timestamp;
        timestamp.mSampleTime = c.sampleTime;
        kernel.processWithEvents(&timestamp, c.frames, list.link(), {});
        EXPECT_EQ(kernel.calls, c.expected) << c.claim;
    }
}
