// BufferedAudioBus pairs a platform bus with a PCM buffer of the maximum frame count;
// BufferedInputBus pulls the host's input into that buffer, where the kernel then works in place.
//
// Threads: `init`, `allocateRenderResources` and `deallocateRenderResources` run while nothing
// renders; `pullInput` and `prepareInputBufferList` on the render thread (no allocation there:
// the buffer is made at allocation and never resized).
#pragma once

#include <memory>

#include "audio/AUAudioUnitBus.h"
#include "audio/AUBlocks.h"
#include "audio/AVAudioFormat.h"
#include "audio/AVAudioPCMBuffer.h"
#include "audio/CoreAudioTypes.h"

class BufferedAudioBus {
public:
    // A new bus with `format` (a format the bus refuses leaves it absent) and `maxChannels`; no
    // buffer yet.
    void init(std::shared_ptr<const pf::AVAudioFormat> format, pf::AUAudioChannelCount maxChannels);
    // A new PCM buffer of `inMaxFrames` frames in the bus's format, replacing any previous one.
    // False, with both lists null, without a bus or when no buffer of that size can be made.
    bool allocateRenderResources(pf::AUAudioFrameCount inMaxFrames);
    // Drops the PCM buffer; both lists become null.
    void deallocateRenderResources();

    std::shared_ptr<pf::AUAudioUnitBus> bus;
    pf::AUAudioFrameCount maxFrames = 0;
    std::shared_ptr<pf::AVAudioPCMBuffer> pcmBuffer;
    const pf::AudioBufferList* originalAudioBufferList = nullptr;
    pf::AudioBufferList* mutableAudioBufferList = nullptr;
};

class BufferedInputBus : public BufferedAudioBus {
public:
    // [render-thread] Pulls `frameCount` frames of bus `inputBusNumber` into the buffer.
    // kAudioUnitErr_NoConnection without a pull block; kAudioUnitErr_Uninitialized without a
    // buffer; otherwise the pull block's status.
    pf::AUAudioUnitStatus pullInput(pf::AudioUnitRenderActionFlags* actionFlags,
                                    const pf::AudioTimeStamp* timestamp,
                                    pf::AUAudioFrameCount frameCount, pf::NSInteger inputBusNumber,
                                    const pf::AURenderPullInputBlock& pullInputBlock) noexcept;

    // [render-thread] Points the mutable list at the buffer's own memory again (a pull may have
    // pointed it elsewhere), each buffer's byte size the full capacity.
    void prepareInputBufferList() noexcept;
};
