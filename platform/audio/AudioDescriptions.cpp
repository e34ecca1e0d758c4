#include "audio/AudioDescriptions.h"

#include <cinttypes>
#include <cstdio>

#include "core/SwiftText.h"

namespace pf {

std::string description(const AudioComponentDescription& d) {
    return format("AudioComponentDescription(componentType: %u, componentSubType: %u, "
                  "componentManufacturer: %u, componentFlags: %u, componentFlagsMask: %u)",
                  d.componentType, d.componentSubType, d.componentManufacturer, d.componentFlags,
                  d.componentFlagsMask);
}

namespace {

const char* sampleTypeText(AVAudioCommonFormat format) {
    switch (format) {
    case AVAudioCommonFormat::AVAudioPCMFormatFloat32:
        return "Float32";
    case AVAudioCommonFormat::AVAudioPCMFormatFloat64:
        return "Float64";
    case AVAudioCommonFormat::AVAudioPCMFormatInt16:
        return "Int16";
    case AVAudioCommonFormat::AVAudioPCMFormatInt32:
        return "Int32";
    case AVAudioCommonFormat::AVAudioOtherFormat:
        break;
    }
    return "other";
}

// The platform shows rates without a fractional part when they have none.
std::string rateText(double rate) {
    return rate == static_cast<double>(static_cast<std::int64_t>(rate))
               ? std::to_string(static_cast<std::int64_t>(rate))
               : swiftText(rate);
}

} // namespace

std::string description(const AVAudioFormat& f) {
    return format("<AVAudioFormat: %2u ch, %6s Hz, %s, %s>", f.channelCount(),
                  rateText(f.sampleRate()).c_str(), sampleTypeText(f.commonFormat()),
                  f.isInterleaved() ? "inter" : "non-inter");
}

std::string settingsDescription(const AVAudioFormat& f) {
    const bool isFloat = f.commonFormat() == AVAudioCommonFormat::AVAudioPCMFormatFloat32 ||
                         f.commonFormat() == AVAudioCommonFormat::AVAudioPCMFormatFloat64;
    const unsigned bits = f.channelCount() == 0
                              ? 0
                              : f.bytesPerFrame() * 8 / (f.isInterleaved() ? f.channelCount() : 1);
    constexpr unsigned kLinearPCM = 0x6C70636D; // "lpcm"
    return format("[\"AVFormatIDKey\": %u, \"AVLinearPCMBitDepthKey\": %u, "
                  "\"AVLinearPCMIsBigEndianKey\": 0, \"AVLinearPCMIsFloatKey\": %d, "
                  "\"AVLinearPCMIsNonInterleaved\": %d, \"AVNumberOfChannelsKey\": %u, "
                  "\"AVSampleRateKey\": %s]",
                  kLinearPCM, bits, isFloat ? 1 : 0, f.isInterleaved() ? 0 : 1, f.channelCount(),
                  swiftText(f.sampleRate()).c_str());
}

std::string description(AVAudioCommonFormat common) {
    switch (common) {
    case AVAudioCommonFormat::AVAudioPCMFormatFloat32:
        return "pcmFormatFloat32";
    case AVAudioCommonFormat::AVAudioPCMFormatFloat64:
        return "pcmFormatFloat64";
    case AVAudioCommonFormat::AVAudioPCMFormatInt16:
        return "pcmFormatInt16";
    case AVAudioCommonFormat::AVAudioPCMFormatInt32:
        return "pcmFormatInt32";
    case AVAudioCommonFormat::AVAudioOtherFormat:
        break;
    }
    return "otherFormat";
}

std::string description(AUAudioUnitBusType type) {
    return busTypeText(type);
}

std::string description(const AUAudioUnitBusArray& busses) {
    return format("<AUAudioUnitBusArray: %" PRIu64 " %s bus%s>", busses.count(),
                  busTypeText(busses.busType()), busses.count() == 1 ? "" : "es");
}

std::string description(const AUAudioUnit& unit) {
    const auto name = unit.componentName();
    return format("<AUAudioUnit: %s: %s>", addressDescription(&unit).c_str(),
                  name ? name->c_str() : description(unit.componentDescription()).c_str());
}

std::string description(const AUAudioUnitPreset& preset) {
    return format("<AUAudioUnitPreset: '%s' %" PRId64 ">", preset.name.c_str(), preset.number);
}

std::string description(const AUParameterTree& tree) {
    const auto count = tree.allParameters().size();
    return format("<AUParameterTree: %zu parameter%s>", count, count == 1 ? "" : "s");
}

std::string description(const AVAudioTime& time) {
    const std::string host = time.isHostTimeValid() ? "host time " + std::to_string(time.hostTime())
                                                    : "host time invalid";
    const std::string sample = time.isSampleTimeValid()
                                   ? "sample time " + std::to_string(time.sampleTime()) + " @ " +
                                         rateText(time.sampleRate()) + " Hz"
                                   : "sample time invalid";
    return "<AVAudioTime: " + host + ", " + sample + ">";
}

std::string addressDescription(const void* handle) {
    return format("0x%016" PRIxPTR, reinterpret_cast<std::uintptr_t>(handle));
}

std::string indexSetDescription(const std::set<NSUInteger>& indexes) {
    return std::to_string(indexes.size()) + (indexes.size() == 1 ? " index" : " indexes");
}

std::string listDescription(const std::vector<NSInteger>& numbers) {
    std::string text = "[";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i != 0) text += ", ";
        text += std::to_string(numbers[i]);
    }
    return text + "]";
}

std::string optionalDescription(const std::optional<std::string>& text) {
    return text ? "Optional(" + *text + ")" : "nil";
}

} // namespace pf
