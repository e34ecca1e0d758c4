#include "audio/AUAudioUnitBus.h"

#include <utility>

namespace pf {

namespace {
bool isSupported(const AVAudioFormat* format) { return format != nullptr && format->isStandard(); }
} // namespace

std::shared_ptr<AUAudioUnitBus>
AUAudioUnitBus::initWithFormat(std::shared_ptr<const AVAudioFormat> format, OSStatus* outError) {
    const bool supported = isSupported(format.get());
    if (outError != nullptr) *outError = supported ? noErr : kAudioUnitErr_FormatNotSupported;
    if (!supported) return nullptr;
    return std::make_shared<AUAudioUnitBus>(std::move(format));
}

AUAudioUnitBus::AUAudioUnitBus(std::shared_ptr<const AVAudioFormat> format)
    : format_(std::move(format)) {}

OSStatus AUAudioUnitBus::setFormat(std::shared_ptr<const AVAudioFormat> format) {
    if (!isSupported(format.get()) || format->channelCount() > maximumChannelCount_) {
        return kAudioUnitErr_FormatNotSupported;
    }
    format_ = std::move(format);
    return noErr;
}

} // namespace pf
