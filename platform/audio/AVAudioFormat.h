// AVAudioFormat: the description of a stream of audio samples. Only the standard format is made
// here: non-interleaved 32-bit float, one buffer per channel.
//
// Immutable once made, so one format may be shared by any number of buses and buffers and read
// from any thread.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/CoreAudioTypes.h"

namespace pf {

enum class AVAudioCommonFormat : std::uint32_t {
    AVAudioOtherFormat = 0,
    AVAudioPCMFormatFloat32 = 1,
    AVAudioPCMFormatFloat64 = 2,
    AVAudioPCMFormatInt16 = 3,
    AVAudioPCMFormatInt32 = 4,
};

class AVAudioFormat {
public:
    // The largest channel count a format may have: one buffer per channel of a buffer list.
    static constexpr AVAudioChannelCount kMaximumChannelCount = kAudioBufferListCapacity;

    // [any-thread] The standard format at `sampleRate` with `channels` channels. Absent when the
    // rate is not a finite number above 0 or the channel count is 0 or above the maximum.
    static std::shared_ptr<const AVAudioFormat>
    standardFormatWithSampleRate(double sampleRate, AVAudioChannelCount channels);

    double sampleRate() const noexcept { return sampleRate_; }
    AVAudioChannelCount channelCount() const noexcept { return channelCount_; }
    AVAudioCommonFormat commonFormat() const noexcept { return commonFormat_; }
    bool isInterleaved() const noexcept { return interleaved_; }
    bool isStandard() const noexcept {
        return commonFormat_ == AVAudioCommonFormat::AVAudioPCMFormatFloat32 && !interleaved_;
    }
    std::uint32_t bytesPerFrame() const noexcept;

    // Same rate, channel count, sample type and layout.
    bool isEqual(const AVAudioFormat& other) const noexcept;

    AVAudioFormat(double sampleRate, AVAudioChannelCount channels, AVAudioCommonFormat common,
                  bool interleaved) noexcept;

private:
    double sampleRate_;
    AVAudioChannelCount channelCount_;
    AVAudioCommonFormat commonFormat_;
    bool interleaved_;
};

} // namespace pf
