// AUAudioUnitBus: one input or output connection point of an audio unit, carrying the format of
// the audio that flows through it and the largest channel count it accepts.
//
// Threads: [any-thread, not render] for every member; a bus is configured while the unit's render
// resources are not allocated, and renderers take what they need from it at allocation.
#pragma once

#include <limits>
#include <memory>

#include "audio/AVAudioFormat.h"
#include "audio/CoreAudioTypes.h"

namespace pf {

class AUAudioUnitBus {
public:
    // A bus with `format`. Absent, with `*outError` = kAudioUnitErr_FormatNotSupported, when the
    // format is absent or not standard; otherwise `*outError` = noErr. `outError` may be null.
    static std::shared_ptr<AUAudioUnitBus> initWithFormat(std::shared_ptr<const AVAudioFormat> format,
                                                          OSStatus* outError = nullptr);

    const std::shared_ptr<const AVAudioFormat>& format() const noexcept { return format_; }

    // noErr when the format was taken; kAudioUnitErr_FormatNotSupported (bus unchanged) when it
    // is absent, not standard, or has more channels than `maximumChannelCount`.
    OSStatus setFormat(std::shared_ptr<const AVAudioFormat> format);

    // No limit until set.
    AUAudioChannelCount maximumChannelCount() const noexcept { return maximumChannelCount_; }
    void setMaximumChannelCount(AUAudioChannelCount count) noexcept {
        maximumChannelCount_ = count;
    }

    explicit AUAudioUnitBus(std::shared_ptr<const AVAudioFormat> format);

private:
    std::shared_ptr<const AVAudioFormat> format_;
    AUAudioChannelCount maximumChannelCount_ = std::numeric_limits<AUAudioChannelCount>::max();
};

} // namespace pf
