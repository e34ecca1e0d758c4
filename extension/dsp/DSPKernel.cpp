#include "DSPKernel.h"

#include <algorithm>
#include <limits>

#include "DSPMath.h"

void DSPKernel::process(pf::AUAudioFrameCount, pf::AUAudioFrameCount) noexcept {}
void DSPKernel::process2(pf::AUAudioFrameCount, pf::AUAudioFrameCount) noexcept {}
void DSPKernel::setParameterAutomated(pf::AUParameterAddress, pf::AUValue, std::int64_t) noexcept {}
void DSPKernel::handleMIDIEvent(const pf::AUMIDIEvent&) noexcept {}

namespace {
// later − now, saturated to the 64-bit range.
std::int64_t framesUntil(std::int64_t later, std::int64_t now) noexcept {
    std::int64_t difference;
    if (__builtin_sub_overflow(later, now, &difference)) {
        return later < now ? std::numeric_limits<std::int64_t>::min()
                           : std::numeric_limits<std::int64_t>::max();
    }
    return difference;
}
} // namespace

void DSPKernel::processWithEvents(const pf::AudioTimeStamp* timestamp,
                                  pf::AUAudioFrameCount frameCount, const pf::AURenderEvent* events,
                                  const pf::AUMIDIOutputEventBlock& midiOutBlock) noexcept {
    midiOut = midiOutBlock;
    std::int64_t now = timestamp != nullptr ? dsp::saturatingToInt64(timestamp->mSampleTime) : 0;
    pf::AUAudioFrameCount remaining = frameCount;
    const pf::AURenderEvent* event = events;

    while (remaining > 0) {
        if (event == nullptr) {
            process(remaining, frameCount - remaining);
            return;
        }
        const std::int64_t until = framesUntil(event->head.eventSampleTime, now);
        const auto segment = static_cast<pf::AUAudioFrameCount>(
            std::clamp<std::int64_t>(until, 0, std::int64_t{remaining}));
        if (segment > 0) {
            process(segment, frameCount - remaining);
            remaining -= segment;
            now += segment;
        }
        if (until > std::int64_t{segment}) break; // the event lies beyond the cycle
        performAllSimultaneousEvents(now, event);
    }

    // Events at or after the end of the cycle: applied now, in order, so no value is lost.
    while (frameCount > 0 && event != nullptr) {
        handleOneEvent(event);
        event = event->head.next;
    }
}

void DSPKernel::performAllSimultaneousEvents(pf::AUEventSampleTime now,
                                             const pf::AURenderEvent*& event) noexcept {
    do {
        handleOneEvent(event);
        event = event->head.next;
    } while (event != nullptr && event->head.eventSampleTime <= now);
}

void DSPKernel::handleOneEvent(const pf::AURenderEvent* event) noexcept {
    switch (event->head.eventType) {
    case pf::AURenderEventParameter:
    case pf::AURenderEventParameterRamp:
        setParameterAutomated(event->parameter.parameterAddress, event->parameter.value,
                              event->parameter.rampDurationSampleFrames);
        break;
    case pf::AURenderEventMIDI:
    case pf::AURenderEventMIDISysEx:
        handleMIDIEvent(event->MIDI);
        break;
    default:
        break;
    }
}
