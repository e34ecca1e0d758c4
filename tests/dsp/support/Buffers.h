// Buffer lists over test-owned memory, render events and a log sink that records the DSP
// library's lines.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "DSPLog.h"
#include "audio/AURenderEvent.h"
#include "audio/CoreAudioTypes.h"

namespace testsupport {

// Non-interleaved float channels and a buffer list describing them.
struct ChannelBuffers {
    std::vector<std::vector<float>> channels;
    pf::AudioBufferList list;

    ChannelBuffers(std::size_t channelCount, std::size_t frames, float fill = 0.0f)
        : channels(channelCount, std::vector<float>(frames, fill)) {
        list.mNumberBuffers = static_cast<std::uint32_t>(channelCount);
        for (std::size_t c = 0; c < channelCount; ++c) {
            list.mBuffers[c].mNumberChannels = 1;
            list.mBuffers[c].mDataByteSize = static_cast<std::uint32_t>(frames * sizeof(float));
            list.mBuffers[c].mData = channels[c].data();
        }
    }
    ChannelBuffers(const ChannelBuffers&) = delete;
    ChannelBuffers& operator=(const ChannelBuffers&) = delete;

    float* operator[](std::size_t channel) { return channels[channel].data(); }
};

// A buffer list whose buffers carry no memory: "render in place, please".
inline pf::AudioBufferList nullBufferList(std::uint32_t buffers) {
    pf::AudioBufferList list;
    list.mNumberBuffers = buffers;
    for (std::uint32_t c = 0; c < buffers; ++c)
        list.mBuffers[c].mNumberChannels = 1;
    return list;
}

// A linked list of events in a vector; link() after the last push.
struct EventList {
    std::vector<pf::AURenderEvent> events;

    void parameter(pf::AUEventSampleTime time, pf::AUParameterAddress address, float value,
                   pf::AURenderEventType type = pf::AURenderEventParameter) {
        pf::AURenderEvent event;
        event.parameter = pf::AUParameterEvent{};
        event.parameter.eventSampleTime = time;
        event.parameter.eventType = type;
        event.parameter.parameterAddress = address;
        event.parameter.value = value;
        events.push_back(event);
    }
    void midi(pf::AUEventSampleTime time, std::uint8_t status, std::uint8_t data1 = 0,
              std::uint8_t data2 = 0, pf::AURenderEventType type = pf::AURenderEventMIDI) {
        pf::AURenderEvent event;
        event.MIDI = pf::AUMIDIEvent{};
        event.MIDI.eventSampleTime = time;
        event.MIDI.eventType = type;
        event.MIDI.length = 3;
        event.MIDI.data[0] = status;
        event.MIDI.data[1] = data1;
        event.MIDI.data[2] = data2;
        events.push_back(event);
    }
    const pf::AURenderEvent* link() {
        for (std::size_t i = 0; i + 1 < events.size(); ++i)
            events[i].head.next = &events[i + 1];
        if (!events.empty()) events.back().head.next = nullptr;
        return events.empty() ? nullptr : &events.front();
    }
};

// Records the DSP log lines while it lives; the default sink comes back afterwards.
class RecordedLog {
public:
    struct Line {
        std::string text;
        DSPLogOrigin origin;
    };

    RecordedLog() {
        lines().clear();
        setDSPLogSink(&record);
    }
    ~RecordedLog() { setDSPLogSink(nullptr); }
    RecordedLog(const RecordedLog&) = delete;
    RecordedLog& operator=(const RecordedLog&) = delete;

    static std::vector<Line>& lines() {
        static std::vector<Line> recorded;
        return recorded;
    }

private:
    static void record(const char* line, DSPLogOrigin origin) noexcept {
        lines().push_back({line, origin});
    }
};

} // namespace testsupport
