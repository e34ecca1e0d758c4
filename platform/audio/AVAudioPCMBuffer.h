// AVAudioPCMBuffer: sample memory for `frameCapacity` frames of a standard (non-interleaved
// float) format, owned by the buffer and zeroed when made.
//
// Two buffer lists describe the memory: `audioBufferList()`, which always describes the buffer's
// own memory, and `mutableAudioBufferList()`, which a pull or render may re-point elsewhere for one
// cycle. Both report `frameLength` frames in their byte sizes.
//
// Threads: made and destroyed off the render thread; during rendering the render thread is the
// only user of the memory and of the mutable list. The sample memory never moves.
#pragma once

#include <memory>
#include <vector>

#include "audio/AVAudioFormat.h"
#include "audio/CoreAudioTypes.h"

namespace pf {

class AVAudioPCMBuffer {
public:
    // [any-thread, not render] Absent when the format is absent or not standard, or when the
    // capacity's byte size does not fit 32 bits. Allocates.
    static std::shared_ptr<AVAudioPCMBuffer>
    initWithPCMFormat(std::shared_ptr<const AVAudioFormat> format, AVAudioFrameCount frameCapacity);

    const std::shared_ptr<const AVAudioFormat>& format() const noexcept { return format_; }
    AVAudioFrameCount frameCapacity() const noexcept { return frameCapacity_; }

    // The number of valid frames, 0 when made; at most the capacity (larger values are lowered).
    AVAudioFrameCount frameLength() const noexcept { return frameLength_; }
    void setFrameLength(AVAudioFrameCount frames) noexcept;

    // One pointer per channel to `frameCapacity` floats.
    float* const* floatChannelData() const noexcept { return channelData_.data(); }

    const AudioBufferList* audioBufferList() const noexcept { return &original_; }
    AudioBufferList* mutableAudioBufferList() noexcept { return &mutable_; }

    AVAudioPCMBuffer(std::shared_ptr<const AVAudioFormat> format, AVAudioFrameCount frameCapacity);
    AVAudioPCMBuffer(const AVAudioPCMBuffer&) = delete;
    AVAudioPCMBuffer& operator=(const AVAudioPCMBuffer&) = delete;

private:
    std::shared_ptr<const AVAudioFormat> format_;
    AVAudioFrameCount frameCapacity_;
    AVAudioFrameCount frameLength_ = 0;
    std::vector<float> samples_;
    std::vector<float*> channelData_;
    AudioBufferList original_;
    AudioBufferList mutable_;
};

} // namespace pf
