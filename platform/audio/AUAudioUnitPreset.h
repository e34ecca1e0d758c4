// A preset of an audio unit: a name and a number (0 and up for factory presets, negative for user
// presets). A reference type: a unit hands back the very object it was given as current preset.
// Threads: [any-thread] for reads; written by its creator before it is shared.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pf {

class AUAudioUnitPreset {
public:
    AUAudioUnitPreset() = default;
    AUAudioUnitPreset(std::string presetName, std::int64_t presetNumber)
        : name(std::move(presetName)), number(presetNumber) {}

    static std::shared_ptr<AUAudioUnitPreset> make(std::string name, std::int64_t number) {
        return std::make_shared<AUAudioUnitPreset>(std::move(name), number);
    }

    std::string name;
    std::int64_t number = 0;
};

} // namespace pf
