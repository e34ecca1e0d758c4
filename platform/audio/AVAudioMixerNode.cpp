#include "audio/AVAudioMixerNode.h"

#include "audio/devices/AudioOutputDevice.h"

namespace pf {

namespace {
std::shared_ptr<const AVAudioFormat> deviceFormat() {
    static const auto format = AVAudioFormat::standardFormatWithSampleRate(
        AudioOutputDevice::kSampleRate, AudioOutputDevice::kChannels);
    return format;
}
} // namespace

AVAudioMixerNode::AVAudioMixerNode() : output_(deviceFormat()) {}

NSUInteger AVAudioMixerNode::numberOfInputs() const {
    std::lock_guard lock(formatMutex_);
    return inputs_.empty() ? 1 : inputs_.rbegin()->first + 2;
}

std::shared_ptr<const AVAudioFormat> AVAudioMixerNode::inputFormat(NSUInteger bus) const {
    std::lock_guard lock(formatMutex_);
    const auto found = inputs_.find(bus);
    return found == inputs_.end() ? nullptr : found->second;
}

std::shared_ptr<const AVAudioFormat> AVAudioMixerNode::outputFormat(NSUInteger bus) const {
    std::lock_guard lock(formatMutex_);
    return bus == 0 ? output_ : nullptr;
}

NSUInteger AVAudioMixerNode::nextAvailableInputBus() const {
    std::lock_guard lock(formatMutex_);
    NSUInteger bus = 0;
    while (inputs_.count(bus) != 0)
        ++bus;
    return bus;
}

AVAudioOutputNode::AVAudioOutputNode() : format_(deviceFormat()) {}

std::shared_ptr<const AVAudioFormat> AVAudioOutputNode::inputFormat(NSUInteger bus) const {
    return bus == 0 ? format_ : nullptr;
}

std::shared_ptr<const AVAudioFormat> AVAudioOutputNode::outputFormat(NSUInteger bus) const {
    return bus == 0 ? format_ : nullptr;
}

} // namespace pf
