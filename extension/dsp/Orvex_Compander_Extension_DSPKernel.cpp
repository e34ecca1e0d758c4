#include "Orvex_Compander_Extension_DSPKernel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "DSPMath.h"

void Orvex_Compander_Extension_DSPKernel::init(int channelCount, double sampleRate) noexcept {
    setSamplerate(static_cast<float>(sampleRate));
    numChannels = channelCount;
    reset();
}

void Orvex_Compander_Extension_DSPKernel::setSamplerate(float rate) noexcept {
    if (!dsp::isFinite(rate)) return;
    fSamplerate = rate;
    follower[0].setSamplerate(rate);
    follower[1].setSamplerate(rate);
    splitB.setSamplerate(rate);
    compander.setSamplerate(rate);
    if (timeSlotSet[0]) compander.setAttack(fParameters[0]);
    if (timeSlotSet[1]) compander.setRelease(fParameters[1]);
}

void Orvex_Compander_Extension_DSPKernel::reset() noexcept {
    follower[0].reset();
    follower[1].reset();
    splitS.reset();
    splitB.reset();
    splitB.setCutoff1(0.0f);
    splitB.setCutoff2(1.0f);
    compander.reset();
}

void Orvex_Compander_Extension_DSPKernel::setParameter(pf::AUParameterAddress address,
                                                       pf::AUValue value) noexcept {
    applyParameter(address, value, DSPLogOrigin::callerThread);
}

void Orvex_Compander_Extension_DSPKernel::setParameterAutomated(pf::AUParameterAddress address,
                                                                pf::AUValue value,
                                                                std::int64_t) noexcept {
    applyParameter(address, value, DSPLogOrigin::renderThread);
}

void Orvex_Compander_Extension_DSPKernel::applyParameter(pf::AUParameterAddress address,
                                                         pf::AUValue value,
                                                         DSPLogOrigin origin) noexcept {
    if (address >= kParameterSlots) return;
    fParameters[address] = value;

    char line[160];
    std::snprintf(line, sizeof line, "unit received parameter : address:%llu, value:%f",
                  static_cast<unsigned long long>(address), static_cast<double>(value));
    dspLog(line, origin);

    switch (address) {
    case 0:
        compander.setAttack(value);
        timeSlotSet[0] = true;
        break;
    case 1:
        compander.setRelease(value);
        timeSlotSet[1] = true;
        break;
    case 2:
        compander.setThreshold(value);
        break;
    case 3:
        compander.setMultiplier(2.0f * value - 1.0f);
        break;
    case 4:
        compander.setGain(value);
        break;
    case 5:
        compander.setMix(value);
        break;
    case 6:
        compander.setMode(dsp::saturatingToInt32(fParameters[6]));
        break;
    case 8:
        compander.setInverted(static_cast<double>(value) == 1.0);
        break;
    case 9:
        splitB.setCutoff1(value);
        break;
    case 10:
        splitB.setCutoff2(value);
        break;
    default:
        break;
    }
}

pf::AUValue
Orvex_Compander_Extension_DSPKernel::getParameter(pf::AUParameterAddress address) const noexcept {
    return address < kParameterSlots ? fParameters[address].load() : 0.0f;
}

void Orvex_Compander_Extension_DSPKernel::process(pf::AUAudioFrameCount frameCount,
                                                  pf::AUAudioFrameCount bufferOffset) noexcept {
    const pf::AudioBufferList* in = inBufferListPtr;
    const pf::AudioBufferList* out = outBufferListPtr;
    if (in == nullptr || out == nullptr) return;

    // Only the buffers both lists hold are touched.
    const std::uint32_t buffers =
        std::min({in->mNumberBuffers, out->mNumberBuffers, pf::kAudioBufferListCapacity});
    const std::uint32_t channels =
        std::min(static_cast<std::uint32_t>(std::max(numChannels, 0)), buffers);
    for (std::uint32_t c = 0; c < channels; ++c) {
        const auto* source = static_cast<const float*>(in->mBuffers[c].mData);
        auto* destination = static_cast<float*>(out->mBuffers[c].mData);
        if (source == nullptr || destination == nullptr) continue;
        source += bufferOffset;
        destination += bufferOffset;
        if (source != destination) {
            std::memmove(destination, source, std::size_t{frameCount} * sizeof(float));
        }
    }

    if (bBypass) return;
    if (numChannels != 2 || buffers < 2) return;
    float* left = static_cast<float*>(out->mBuffers[0].mData);
    float* right = static_cast<float*>(out->mBuffers[1].mData);
    if (left == nullptr || right == nullptr) return;
    left += bufferOffset;
    right += bufferOffset;
    if (fParameters[7] != 0.0f) return;

    if (fParameters[9] == 0.0f && fParameters[10] == 1.0f) {
        compander.processBuffers(left, right, frameCount);
    } else {
        const auto frames = static_cast<std::int32_t>(
            std::min<pf::AUAudioFrameCount>(frameCount, std::numeric_limits<std::int32_t>::max()));
        splitB.split(left, right, frames);
    }
}

void Orvex_Compander_Extension_DSPKernel::handleMIDIEvent(const pf::AUMIDIEvent& event) noexcept {
    if (event.length > 0) {
        switch (event.data[0]) {
        case 0xF8: // timing clock
        case 0xFA: // start
        case 0xFB: // continue
        case 0xFC: // stop
        case 0xFF: // reset
            return;
        default:
            break;
        }
    }
    if (midiOut && midiThru) {
        // The record holds at most three bytes; never hand on more than it has.
        const auto length = std::min<std::uint16_t>(event.length, sizeof event.data);
        midiOut(event.eventSampleTime, 0, length, event.data);
    }
}
