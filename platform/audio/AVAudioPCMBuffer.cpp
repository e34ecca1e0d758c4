#include "audio/AVAudioPCMBuffer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace pf {

std::shared_ptr<AVAudioPCMBuffer>
AVAudioPCMBuffer::initWithPCMFormat(std::shared_ptr<const AVAudioFormat> format,
                                    AVAudioFrameCount frameCapacity) {
    if (!format || !format->isStandard()) return nullptr;
    // Byte sizes are 32-bit: refuse a capacity they cannot describe.
    if (frameCapacity > UINT32_MAX / sizeof(float)) return nullptr;
    return std::make_shared<AVAudioPCMBuffer>(std::move(format), frameCapacity);
}

AVAudioPCMBuffer::AVAudioPCMBuffer(std::shared_ptr<const AVAudioFormat> format,
                                   AVAudioFrameCount frameCapacity)
    : format_(std::move(format)), frameCapacity_(frameCapacity) {
    const std::size_t channels = std::min(format_->channelCount(), kAudioBufferListCapacity);
    samples_.assign(channels * std::size_t{frameCapacity}, 0.0f);
    channelData_.resize(channels);
    original_.mNumberBuffers = static_cast<std::uint32_t>(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        channelData_[c] = samples_.data() + c * std::size_t{frameCapacity};
        original_.mBuffers[c].mNumberChannels = 1;
        original_.mBuffers[c].mData = channelData_[c];
    }
    mutable_ = original_;
    setFrameLength(0);
}

void AVAudioPCMBuffer::setFrameLength(AVAudioFrameCount frames) noexcept {
    frameLength_ = std::min(frames, frameCapacity_);
    const auto bytes = static_cast<std::uint32_t>(frameLength_ * sizeof(float));
    for (std::uint32_t c = 0; c < original_.mNumberBuffers; ++c) {
        original_.mBuffers[c].mDataByteSize = bytes;
        mutable_.mBuffers[c].mDataByteSize = bytes;
    }
}

} // namespace pf
