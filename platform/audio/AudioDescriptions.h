// Text forms of the audio objects, as log lines and diagnostics show them: the platform's own
// descriptions of formats, buses, units and times, and the language's forms of optionals
// ("Optional(...)" or "nil") and index sets ("3 indexes").
//
// [any-thread, not render]: they allocate.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/AUAudioUnit.h"
#include "audio/AVAudioFormat.h"
#include "audio/AVAudioTime.h"
#include "audio/AudioComponent.h"

namespace pf {

// AudioComponentDescription(componentType: 1635083896, componentSubType: ..., ...)
std::string description(const AudioComponentDescription& d);
// <AVAudioFormat:  2 ch,  44100 Hz, Float32, non-inter>
std::string description(const AVAudioFormat& format);
// The format's settings dictionary: ["AVFormatIDKey": 1819304813, "AVSampleRateKey": 44100.0, ...]
std::string settingsDescription(const AVAudioFormat& format);
// "pcmFormatFloat32", "pcmFormatInt16", ...
std::string description(AVAudioCommonFormat format);
// "input" / "output"
std::string description(AUAudioUnitBusType type);
// <AUAudioUnitBusArray: 1 output bus>
std::string description(const AUAudioUnitBusArray& busses);
// <AUAudioUnit: 0x...: Manufacturer: Name> (or the description's codes when unregistered)
std::string description(const AUAudioUnit& unit);
// <AUAudioUnitPreset: 'Name' 3>
std::string description(const AUAudioUnitPreset& preset);
// <AUParameterTree: 3 parameters>
std::string description(const AUParameterTree& tree);
// <AVAudioTime: host time 0, sample time invalid>
std::string description(const AVAudioTime& time);
// 0x00005581c0a0e2b0: the address of a handle
std::string addressDescription(const void* handle);
// "0 indexes", "1 index", "3 indexes"
std::string indexSetDescription(const std::set<NSUInteger>& indexes);
// [1, 1, 2, 2]
std::string listDescription(const std::vector<NSInteger>& numbers);

// "Optional(<text>)" for a present value, "nil" for an absent one.
std::string optionalDescription(const std::optional<std::string>& text);

} // namespace pf
