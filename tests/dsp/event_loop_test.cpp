// The render-event loop, observed through a kernel that records its calls.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DSPKernel.h"
#include "support/Buffers.h"

namespace {

class RecordingKernel final : public DSPKernel {
public:
    std::vector<std::string> calls;

    void process(pf::AUAudioFrameCount frames, pf::AUAudioFrameCount offset) noexcept override {
        calls.push_back("process(" + std::to_string(frames) + ", " + std::to_string(offset) + ")");
    }
    void setParameterAutomated(pf::AUParameterAddress address, pf::AUValue value,
                               std::int64_t) noexcept override {
        calls.push_back("set " + std::to_string(address) + "=" +
                        std::to_string(static_cast<int>(value)));
    }
    void handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept override {
        calls.push_back("midi " + std::to_string(event.data[0]));
    }

    std::vector<std::string> run(double sampleTime, pf::AUAudioFrameCount frames,
                                 testsupport::EventList& events) {
        calls.clear();
        pf::AudioTimeStamp timestamp;
        timestamp.mSampleTime = sampleTime;
        processWithEvents(&timestamp, frames, events.link(), {});
        return calls;
    }
};

using Calls = std::vector<std::string>;

} // namespace

TEST(RenderEventLoop, CycleWithoutEventsIsOneProcessCall) {
    RecordingKernel kernel;
    testsupport::EventList none;
    EXPECT_EQ(kernel.run(1000, 512, none), (Calls{"process(512, 0)"}));
}

TEST(RenderEventLoop, EventCutsTheCycleAtItsSampleTime) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(1100, 4, 7);
    EXPECT_EQ(kernel.run(1000, 512, events),
              (Calls{"process(100, 0)", "set 4=7", "process(412, 100)"}));
}

TEST(RenderEventLoop, EventsAtTheFirstSampleOrInThePastApplyBeforeAnyFrame) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(900, 1, 1);
    events.parameter(1000, 2, 2);
    EXPECT_EQ(kernel.run(1000, 512, events), (Calls{"set 1=1", "set 2=2", "process(512, 0)"}));
}

TEST(RenderEventLoop, SimultaneousEventsApplyTogetherAndALaterOneEndsTheBatch) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(1100, 1, 1);
    events.parameter(1100, 2, 2);
    events.parameter(1200, 3, 3);
    EXPECT_EQ(kernel.run(1000, 512, events),
              (Calls{"process(100, 0)", "set 1=1", "set 2=2", "process(100, 100)", "set 3=3",
                     "process(312, 200)"}));
}

// An event at or after the end of the cycle used to make a segment run past the buffers.
TEST(RenderEventLoop, EventsBeyondTheCycleNeverStretchASegmentAndAreStillApplied) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(1300, 1, 1);
    events.parameter(1512, 2, 2); // exactly the end
    events.parameter(1000 + 600, 3, 3);
    events.parameter(std::numeric_limits<std::int64_t>::max(), 4, 4);
    EXPECT_EQ(kernel.run(1000, 512, events),
              (Calls{"process(300, 0)", "set 1=1", "process(212, 300)", "set 2=2", "set 3=3",
                     "set 4=4"}));

    testsupport::EventList farAway; // the difference overflows 64 bits without saturation
    farAway.parameter(std::numeric_limits<std::int64_t>::max(), 5, 5);
    EXPECT_EQ(kernel.run(-1e18, 64, farAway), (Calls{"process(64, 0)", "set 5=5"}));

    testsupport::EventList uint32Wrap; // 2^32 + 10 frames ahead must not wrap to 10
    uint32Wrap.parameter((std::int64_t{1} << 32) + 10, 6, 6);
    EXPECT_EQ(kernel.run(0, 64, uint32Wrap), (Calls{"process(64, 0)", "set 6=6"}));
}

TEST(RenderEventLoop, EmptyCycleProcessesAndAppliesNothing) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(0, 1, 1);
    EXPECT_TRUE(kernel.run(0, 0, events).empty());
}

TEST(RenderEventLoop, EventTypesSelectTheirHandler) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(0, 1, 1, pf::AURenderEventParameter);
    events.parameter(0, 2, 2, pf::AURenderEventParameterRamp);
    events.midi(0, 0x90, 60, 1, pf::AURenderEventMIDI);
    events.midi(0, 0xF0, 0, 0, pf::AURenderEventMIDISysEx);
    events.parameter(0, 3, 3, static_cast<pf::AURenderEventType>(3));
    events.midi(0, 0x80, 0, 0, static_cast<pf::AURenderEventType>(10));
    EXPECT_EQ(kernel.run(0, 32, events),
              (Calls{"set 1=1", "set 2=2", "midi 144", "midi 240", "process(32, 0)"}));
}

TEST(RenderEventLoop, UnusableTimeStampsCountFromZero) {
    RecordingKernel kernel;
    testsupport::EventList events;
    events.parameter(16, 1, 1);
    EXPECT_EQ(kernel.run(std::numeric_limits<double>::quiet_NaN(), 32, events),
              (Calls{"process(16, 0)", "set 1=1", "process(16, 16)"}));
    testsupport::EventList none;
    EXPECT_EQ(kernel.run(1e300, 32, none), (Calls{"process(32, 0)"}));
}

TEST(RenderEventLoop, KeepsTheCyclesMidiOutputBlock) {
    RecordingKernel kernel;
    pf::AUMIDIOutputEventBlock block = [](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                          const std::uint8_t*) { return pf::noErr; };
    pf::AudioTimeStamp timestamp;
    kernel.processWithEvents(&timestamp, 16, nullptr, block);
    EXPECT_TRUE(kernel.midiOut == block);
    kernel.processWithEvents(&timestamp, 16, nullptr, {});
    EXPECT_FALSE(kernel.midiOut);
}
