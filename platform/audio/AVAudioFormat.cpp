#include "audio/AVAudioFormat.h"

#include <cmath>

namespace pf {

AVAudioFormat::AVAudioFormat(double sampleRate, AVAudioChannelCount channels,
                             AVAudioCommonFormat common, bool interleaved) noexcept
    : sampleRate_(sampleRate), channelCount_(channels), commonFormat_(common),
      interleaved_(interleaved) {}

std::shared_ptr<const AVAudioFormat>
AVAudioFormat::standardFormatWithSampleRate(double sampleRate, AVAudioChannelCount channels) {
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0) return nullptr;
    if (channels == 0 || channels > kMaximumChannelCount) return nullptr;
    return std::make_shared<const AVAudioFormat>(
        sampleRate, channels, AVAudioCommonFormat::AVAudioPCMFormatFloat32, false);
}

std::uint32_t AVAudioFormat::bytesPerFrame() const noexcept {
    std::uint32_t bytesPerSample = 0;
    switch (commonFormat_) {
    case AVAudioCommonFormat::AVAudioPCMFormatFloat32:
    case AVAudioCommonFormat::AVAudioPCMFormatInt32:
        bytesPerSample = 4;
        break;
    case AVAudioCommonFormat::AVAudioPCMFormatFloat64:
        bytesPerSample = 8;
        break;
    case AVAudioCommonFormat::AVAudioPCMFormatInt16:
        bytesPerSample = 2;
        break;
    case AVAudioCommonFormat::AVAudioOtherFormat:
        bytesPerSample = 0;
        break;
    }
    return interleaved_ ? bytesPerSample * channelCount_ : bytesPerSample;
}

bool AVAudioFormat::isEqual(const AVAudioFormat& other) const noexcept {
    return sampleRate_ == other.sampleRate_ && channelCount_ == other.channelCount_ &&
           commonFormat_ == other.commonFormat_ && interleaved_ == other.interleaved_;
}

} // namespace pf
