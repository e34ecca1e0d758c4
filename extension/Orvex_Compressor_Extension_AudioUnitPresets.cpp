// Factory presets, the current preset, preset state and the full state of the unit.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "Extensions.h"
#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "core/Bundle.h"
#include "core/FileManager.h"

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A preset name names a file of the factory folder and nothing else.
bool staysInFolder(const std::string& name) {
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
           name != "." && name != "..";
}

} // namespace

std::optional<pf::URL> Orvex_Compander_Extension_AudioUnit::factoryPresetFolder() {
    const auto& resources = pf::Bundle::main().resourceURL();
    if (!resources) return std::nullopt;
    return resources->appendingPathComponent("Orvex Compander Folder", true)
        .appendingPathComponent("Library", true)
        .appendingPathComponent("Factory Presets", true);
}

std::optional<pf::URL> Orvex_Compander_Extension_AudioUnit::presetFile(const std::string& name) {
    const auto folder = factoryPresetFolder();
    if (!folder || !staysInFolder(name)) return std::nullopt;
    return folder->appendingPathComponent(name + ".plist");
}

std::optional<pf::URL>
Orvex_Compander_Extension_AudioUnit::existingPresetFile(const std::string& name) const {
    auto file = presetFile(name);
    if (file && pf::FileManager::defaultManager().fileExists(file->path())) return file;
    debugprint("AUExtension::ERROR: The preset file '" + name + ".plist' does not exist.");
    return std::nullopt;
}

std::shared_ptr<OrvexPresetDelegate> Orvex_Compander_Extension_AudioUnit::asDelegate() {
    return std::static_pointer_cast<Orvex_Compander_Extension_AudioUnit>(shared_from_this());
}

std::optional<std::vector<std::shared_ptr<pf::AUAudioUnitPreset>>>
Orvex_Compander_Extension_AudioUnit::factoryPresets() {
    presets.clear();
    const auto& files = pf::FileManager::defaultManager();
    const auto folder = factoryPresetFolder();
    std::vector<std::string> entries;
    try {
        if (!folder) {
            throw pf::NSErrorException(
                pf::NSError(pf::NSCocoaErrorDomain, pf::NSFileNoSuchFileError));
        }
        entries = files.contentsOfDirectory(folder->path());
    } catch (const pf::NSErrorException& e) {
        debugprint("Creating factory presets failed: " + e.error().localizedDescription());
        return presets;
    }
    // Only preset files take numbers, so the numbers have no gaps and the range check of
    // setCurrentPreset() holds for every listed preset.
    for (const auto& entry : entries) {
        const auto url = folder->appendingPathComponent(entry);
        // Only regular files: reading a named pipe or a device in their place would block.
        std::error_code error;
        if (!std::filesystem::is_regular_file(url.path(), error)) continue;
        if (upper(url.pathExtension()) != "PLIST") continue;
        presets.push_back(
            pf::AUAudioUnitPreset::make(url.deletingPathExtension().lastPathComponent(),
                                        static_cast<std::int64_t>(presets.size())));
    }
    return presets;
}

void Orvex_Compander_Extension_AudioUnit::setCurrentPreset(
    std::shared_ptr<pf::AUAudioUnitPreset> preset) {
    if (!preset) {
        _currentPreset = nullptr;
        return;
    }
    if (preset->number < 0) {
        try {
            setFullState(presetState(*preset));
            _currentPreset = std::move(preset);
        } catch (const pf::NSErrorException&) {
            debugprint("AUExtension::ERROR: Unable to restore set for preset " + preset->name);
        }
        return;
    }
    if (static_cast<std::uint64_t>(preset->number) >= presets.size()) {
        debugprint("AUExtension::ERROR: The preset number " + std::to_string(preset->number) +
                   " is invalid.");
        return;
    }
    const auto file = existingPresetFile(preset->name);
    if (!file) return;
    OrvexPreset reader;
    OrvexPreset::setDelegate(asDelegate());
    // A file that cannot be read applies nothing and does not become current.
    if (reader.load(*file)) _currentPreset = std::move(preset);
}

pf::PlistDictionary
Orvex_Compander_Extension_AudioUnit::presetState(const pf::AUAudioUnitPreset& preset) {
    const auto file = existingPresetFile(preset.name);
    if (!file) throw pf::NSErrorException(pf::osStatusError(pf::kAudioUnitErr_InvalidFilePath));
    // Asking for a state applies nothing: this reading reports to nobody.
    OrvexPreset reader;
    reader.reportsParameters = false;
    if (!reader.load(*file)) {
        throw pf::NSErrorException(pf::osStatusError(pf::kAudioUnitErr_InvalidFile));
    }
    return *reader.getDictionary();
}

std::optional<pf::PlistDictionary> Orvex_Compander_Extension_AudioUnit::fullState() {
    OrvexPreset builder;
    builder.makeFrom(parameterTree());
    _fullState = builder.getDictionary();
    return _fullState;
}

void Orvex_Compander_Extension_AudioUnit::setFullState(std::optional<pf::PlistDictionary> state) {
    _fullState = std::move(state);
    OrvexPreset reader;
    OrvexPreset::setDelegate(asDelegate());
    reader.makeFrom(_fullState);
}

bool Orvex_Compander_Extension_AudioUnit::supportsUserPresets() const {
    debugprint("AUExtension::supportsUserPresets: true");
    return false;
}
