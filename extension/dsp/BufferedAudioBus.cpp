#include "BufferedAudioBus.h"

#include <new>
#include <utility>

void BufferedAudioBus::init(std::shared_ptr<const pf::AVAudioFormat> format,
                            pf::AUAudioChannelCount maxChannels) {
    maxFrames = 0;
    pcmBuffer.reset();
    originalAudioBufferList = nullptr;
    mutableAudioBufferList = nullptr;
    bus = pf::AUAudioUnitBus::initWithFormat(std::move(format));
    if (bus) bus->setMaximumChannelCount(maxChannels);
}

bool BufferedAudioBus::allocateRenderResources(pf::AUAudioFrameCount inMaxFrames) {
    deallocateRenderResources();
    if (!bus) return false;
    try {
        pcmBuffer = pf::AVAudioPCMBuffer::initWithPCMFormat(bus->format(), inMaxFrames);
    } catch (const std::bad_alloc&) {
        pcmBuffer.reset();
    }
    if (!pcmBuffer) return false;
    maxFrames = inMaxFrames;
    originalAudioBufferList = pcmBuffer->audioBufferList();
    mutableAudioBufferList = pcmBuffer->mutableAudioBufferList();
    return true;
}

void BufferedAudioBus::deallocateRenderResources() {
    pcmBuffer.reset();
    maxFrames = 0;
    originalAudioBufferList = nullptr;
    mutableAudioBufferList = nullptr;
}

pf::AUAudioUnitStatus
BufferedInputBus::pullInput(pf::AudioUnitRenderActionFlags* actionFlags,
                            const pf::AudioTimeStamp* timestamp, pf::AUAudioFrameCount frameCount,
                            pf::NSInteger inputBusNumber,
                            const pf::AURenderPullInputBlock& pullInputBlock) noexcept {
    if (!pullInputBlock) return pf::kAudioUnitErr_NoConnection;
    if (mutableAudioBufferList == nullptr) return pf::kAudioUnitErr_Uninitialized;
    prepareInputBufferList();
    return pullInputBlock(actionFlags, timestamp, frameCount, inputBusNumber,
                          mutableAudioBufferList);
}

void BufferedInputBus::prepareInputBufferList() noexcept {
    if (mutableAudioBufferList == nullptr || originalAudioBufferList == nullptr) return;
    const std::uint32_t count = originalAudioBufferList->mNumberBuffers;
    mutableAudioBufferList->mNumberBuffers = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        const pf::AudioBuffer& own = originalAudioBufferList->mBuffers[i];
        pf::AudioBuffer& buffer = mutableAudioBufferList->mBuffers[i];
        buffer.mNumberChannels = own.mNumberChannels;
        buffer.mData = own.mData;
        buffer.mDataByteSize = static_cast<std::uint32_t>(maxFrames * sizeof(float));
    }
}
