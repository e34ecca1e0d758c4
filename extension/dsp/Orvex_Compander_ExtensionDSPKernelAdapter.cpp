#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "Vesk/Vesk.h"
#include "audio/ScopedFlushDenormals.h"

// Vesk.h gives this file its own Vesk namespace objects, built when the module loads and
// destroyed at exit; nothing here uses them.

namespace {

// A host may hand buffers shorter than the cycle; the kernel reads or writes `frames` samples in
// every buffer that has memory, so each such buffer must hold them all.
bool holdsFrames(const pf::AudioBufferList& list, pf::AUAudioFrameCount frames) noexcept {
    const std::uint64_t bytes = std::uint64_t{frames} * sizeof(float);
    const std::uint32_t count = std::min(list.mNumberBuffers, pf::kAudioBufferListCapacity);
    for (std::uint32_t i = 0; i < count; ++i) {
        const pf::AudioBuffer& buffer = list.mBuffers[i];
        if (buffer.mData != nullptr && buffer.mDataByteSize < bytes) return false;
    }
    return true;
}

} // namespace

Orvex_Compander_ExtensionDSPKernelAdapter::Orvex_Compander_ExtensionDSPKernelAdapter() {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
    _kernel.init(static_cast<int>(format->channelCount()), format->sampleRate());
    _inputBus.init(format, 2);
    _outputBus = pf::AUAudioUnitBus::initWithFormat(format);
    _outputBus->setMaximumChannelCount(2);
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setParameter(pf::AUParameterAddress address,
                                                             pf::AUValue value) noexcept {
    _kernel.setParameter(address, value);
}

pf::AUValue Orvex_Compander_ExtensionDSPKernelAdapter::valueForParameter(
    pf::AUParameterAddress address) const noexcept {
    return _kernel.getParameter(address);
}

// Sign extension: a negative address becomes a huge one, which the kernel ignores.
void Orvex_Compander_ExtensionDSPKernelAdapter::setParameterEx(std::int32_t address,
                                                               pf::AUValue value) noexcept {
    _kernel.setParameter(static_cast<pf::AUParameterAddress>(std::int64_t{address}), value);
}

pf::AUValue
Orvex_Compander_ExtensionDSPKernelAdapter::getParameterEx(std::int32_t address) const noexcept {
    return _kernel.getParameter(static_cast<pf::AUParameterAddress>(std::int64_t{address}));
}

pf::AUAudioFrameCount
Orvex_Compander_ExtensionDSPKernelAdapter::maximumFramesToRender() const noexcept {
    return static_cast<pf::AUAudioFrameCount>(std::max(_kernel.getMaximumFramesToRender(), 0));
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setMaximumFramesToRender(
    pf::AUAudioFrameCount frames) noexcept {
    const auto limit = static_cast<pf::AUAudioFrameCount>(std::numeric_limits<std::int32_t>::max());
    _kernel.setMaximumFramesToRender(static_cast<std::int32_t>(std::min(frames, limit)));
}

bool Orvex_Compander_ExtensionDSPKernelAdapter::allocateRenderResources() {
    if (!_inputBus.allocateRenderResources(maximumFramesToRender())) return false;
    const auto& format = _outputBus->format();
    _kernel.init(static_cast<int>(format->channelCount()), format->sampleRate());
    _kernel.reset();
    return true;
}

void Orvex_Compander_ExtensionDSPKernelAdapter::deallocateRenderResources() {
    _inputBus.deallocateRenderResources();
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setAUMIDIOutputEventBlock(
    const pf::AUMIDIOutputEventBlock& block) noexcept {
    // Compare before storing: the unit re-sends the same block every cycle.
    if (!_outputEventBlock.holds(block.pointer())) _outputEventBlock.store(block.pointer());
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setAUHostMusicalContextBlock(
    pf::AUHostMusicalContextBlock block) noexcept {
    _musicalContext = std::move(block);
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setAUScheduleMIDIEventBlock(
    pf::AUScheduleMIDIEventBlock block) noexcept {
    _scheduleMIDIEventBlock = std::move(block);
}

void Orvex_Compander_ExtensionDSPKernelAdapter::setAUHostTransportStateBlock(
    pf::AUHostTransportStateBlock block) noexcept {
    _transportStateBlock = std::move(block);
}

pf::AUAudioUnitStatus Orvex_Compander_ExtensionDSPKernelAdapter::render(
    pf::AudioUnitRenderActionFlags* actionFlags, const pf::AudioTimeStamp* timestamp,
    pf::AUAudioFrameCount frameCount, pf::NSInteger, pf::AudioBufferList* outputData,
    const pf::AURenderEvent* realtimeEventListHead,
    const pf::AURenderPullInputBlock& pullInputBlock) noexcept {
    const pf::AUMIDIOutputEventBlock midiOut{_outputEventBlock.load()};
    return renderWith(actionFlags, timestamp, frameCount, outputData, realtimeEventListHead,
                      pullInputBlock, midiOut);
}

pf::AUAudioUnitStatus Orvex_Compander_ExtensionDSPKernelAdapter::renderWith(
    pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp* timestamp,
    pf::AUAudioFrameCount frameCount, pf::AudioBufferList* outputData,
    const pf::AURenderEvent* realtimeEventListHead,
    const pf::AURenderPullInputBlock& pullInputBlock,
    const pf::AUMIDIOutputEventBlock& midiOut) noexcept {
    const pf::ScopedFlushDenormals flushDenormals;

    if (frameCount > maximumFramesToRender()) return pf::kAudioUnitErr_TooManyFramesToProcess;
    if (_inputBus.mutableAudioBufferList == nullptr) return pf::kAudioUnitErr_Uninitialized;
    // The maximum may have been raised after allocation; the buffer keeps its capacity.
    if (frameCount > _inputBus.maxFrames) return pf::kAudioUnitErr_TooManyFramesToProcess;
    if (timestamp == nullptr || outputData == nullptr) return pf::kAudio_ParamError;
    if (!holdsFrames(*outputData, frameCount)) return pf::kAudio_ParamError;

    if (pullInputBlock) {
        pf::AudioUnitRenderActionFlags pullFlags = 0;
        const pf::AUAudioUnitStatus status =
            _inputBus.pullInput(&pullFlags, timestamp, frameCount, 0, pullInputBlock);
        if (status != pf::noErr) return status;
        // The pull may point the input at buffers of its own: the kernel reads the whole cycle.
        if (!holdsFrames(*_inputBus.mutableAudioBufferList, frameCount))
            return pf::kAudio_ParamError;
    }

    pf::AudioBufferList* inputData = _inputBus.mutableAudioBufferList;
    if (outputData->mNumberBuffers > 0 && outputData->mBuffers[0].mData == nullptr) {
        const std::uint32_t shared =
            std::min(outputData->mNumberBuffers, inputData->mNumberBuffers);
        for (std::uint32_t i = 0; i < shared; ++i) {
            outputData->mBuffers[i].mData = inputData->mBuffers[i].mData;
        }
    }

    _kernel.setBuffers(inputData, outputData);
    _kernel.processWithEvents(timestamp, frameCount, realtimeEventListHead, midiOut);
    return pf::noErr;
}

pf::AUInternalRenderBlock Orvex_Compander_ExtensionDSPKernelAdapter::internalRenderBlock() {
    const auto owner = weak_from_this().lock();
    const pf::AUMIDIOutputEventBlock midiOut{_outputEventBlock.load()};
    return [owner, adapter = this, midiOut](
               pf::AudioUnitRenderActionFlags* actionFlags, const pf::AudioTimeStamp* timestamp,
               pf::AUAudioFrameCount frameCount, pf::NSInteger, pf::AudioBufferList* outputData,
               const pf::AURenderEvent* realtimeEventListHead,
               const pf::AURenderPullInputBlock& pullInputBlock) noexcept {
        if (!pullInputBlock) return pf::kAudioUnitErr_NoConnection;
        return adapter->renderWith(actionFlags, timestamp, frameCount, outputData,
                                   realtimeEventListHead, pullInputBlock, midiOut);
    };
}

pf::AUAudioUnitStatus
Orvex_Compander_ExtensionDSPKernelAdapter::render2(pf::AUAudioFrameCount frameCount,
                                                   pf::AudioBufferList* outputData) noexcept {
    _kernel.setBuffers(_inputBus.mutableAudioBufferList, outputData);
    _kernel.process2(frameCount, 0);
    return pf::noErr;
}
