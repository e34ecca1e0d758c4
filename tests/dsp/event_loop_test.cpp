// The render-event loop, observed through a kernel that records its calls.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "DSPKernel.h"
#include "support/Buffers.h"

namespace {

class RecordingKernel final : public DSPKernel {
public:
    std::string calls;
    void process(pf::AUAudioFrameCount frames, pf::AUAudioFrameCount offset) noexcept override {
        calls += "process(" + std::to_string(frames) + ", " + std::to_string(offset) + ") ";
    }
    void setParameterAutomated(pf::AUParameterAddress address, pf::AUValue,
                               std::int64_t) noexcept override {
        calls += "set " + std::to_string(address) + " ";
    }
    void handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept override {
        calls += "midi " + std::to_string(event.data[0]) + " ";
    }
};

} // namespace

// Segments end at event times and never pass the end of the cycle; events at or after the end
// (however far, even where the distance overflows 32 or 64 bits) are still applied, in order.
// Events are written "time:type:address" (type 1 a parameter, 2 a ramp, 8 MIDI, 9 system
// exclusive, others ignored; MIDI events carry their status byte as the address).
TEST(RenderEventLoop, CutsTheCycleAtEventTimesAndAppliesEveryEventInOrder) {
    const std::string far = std::to_string(std::numeric_limits<std::int64_t>::max());
    const struct {
        double sampleTime;
        pf::AUAudioFrameCount frames;
        std::string events, calls;
    } cases[] = {
        {1000, 512, "", "process(512, 0)"},
        {1000, 512, "1100:1:4", "process(100, 0) set 4 process(412, 100)"},
        {1000, 512, "900:1:1 1000:1:2", "set 1 set 2 process(512, 0)"},
        {1000, 512, "1100:1:1 1100:1:2 1200:1:3",
         "process(100, 0) set 1 set 2 process(100, 100) set 3 process(312, 200)"},
        {1000, 512, "1300:1:1 1512:1:2 1600:1:3 " + far + ":1:4",
         "process(300, 0) set 1 process(212, 300) set 2 set 3 set 4"},
        {-1e18, 64, far + ":1:5", "process(64, 0) set 5"},
        {0, 64, "4294967306:1:6", "process(64, 0) set 6"},
        {0, 0, "0:1:1", ""},
        {0, 32, "0:1:1 0:2:2 0:8:144 0:9:240 0:3:3 0:10:128",
         "set 1 set 2 midi 144 midi 240 process(32, 0)"},
        {std::numeric_limits<double>::quiet_NaN(), 32, "16:1:1", // counts from 0
         "process(16, 0) set 1 process(16, 16)"},
        {1e300, 32, "", "process(32, 0)"},
    };
    for (const auto& c : cases) {
        testsupport::EventList list;
        std::istringstream events(c.events);
        for (std::string event; events >> event;) {
            std::int64_t time = 0;
            int type = 0, address = 0;
            std::sscanf(event.c_str(), "%" SCNd64 ":%d:%d", &time, &type, &address);
            const auto eventType = static_cast<pf::AURenderEventType>(type);
            if (type >= 8) {
                list.midi(time, std::uint8_t(address), 0, 0, eventType);
            } else {
                list.parameter(time, pf::AUParameterAddress(address), float(address), eventType);
            }
        }
        RecordingKernel kernel;
        pf::AudioTimeStamp timestamp;
        timestamp.mSampleTime = c.sampleTime;
        kernel.processWithEvents(&timestamp, c.frames, list.link(), {});
        EXPECT_EQ(kernel.calls, c.calls.empty() ? "" : c.calls + " ") << c.events;
    }
}
