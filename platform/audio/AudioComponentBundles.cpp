#include "audio/AudioComponentBundles.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <span>
#include <string_view>

#include "audio/PluginModule.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "core/PropertyList.h"

namespace pf {
namespace {

namespace fs = std::filesystem;

const PlistDictionary* dictionaryAt(const PlistDictionary& dictionary, std::string_view key) {
    const PlistValue* value = dictionary.find(key);
    return value ? value->dictionary() : nullptr;
}

const std::string* stringAt(const PlistDictionary& dictionary, std::string_view key) {
    const PlistValue* value = dictionary.find(key);
    return value ? value->string() : nullptr;
}

// "aumf" → 0x61756D66; only four printable ASCII characters make a code.
std::optional<OSType> codeAt(const PlistDictionary& dictionary, std::string_view key) {
    const std::string* text = stringAt(dictionary, key);
    if (text == nullptr || text->size() != 4) return std::nullopt;
    OSType code = 0;
    for (const char c : *text) {
        if (c < 0x20 || c > 0x7E) return std::nullopt;
        code = (code << 8) | static_cast<std::uint8_t>(c);
    }
    return code;
}

std::optional<AudioComponentBundleEntry> readEntry(const PlistValue& value, std::string& whyNot) {
    const PlistDictionary* entry = value.dictionary();
    if (entry == nullptr) {
        whyNot = "an AudioComponents item is not a dictionary";
        return std::nullopt;
    }
    const auto type = codeAt(*entry, "type");
    const auto subtype = codeAt(*entry, "subtype");
    const auto manufacturer = codeAt(*entry, "manufacturer");
    if (!type || !subtype || !manufacturer) {
        whyNot = "type, subtype and manufacturer must be four characters each";
        return std::nullopt;
    }
    const std::string* name = stringAt(*entry, "name");
    if (name == nullptr || name->empty()) {
        whyNot = "a component has no name";
        return std::nullopt;
    }
    const PlistValue* version = entry->find("version");
    const auto number = version ? version->integer() : std::nullopt;
    if (!number || *number < 0 || *number > std::int64_t{UINT32_MAX}) {
        whyNot = "a component has no version between 0 and 4294967295";
        return std::nullopt;
    }
    bool sandboxSafe = false;
    if (const PlistValue* safe = entry->find("sandboxSafe")) {
        if (!safe->boolean()) {
            whyNot = "sandboxSafe is not a boolean";
            return std::nullopt;
        }
        sandboxSafe = *safe->boolean();
    }
    AudioComponentBundleEntry result;
    result.description = {*type, *subtype, *manufacturer,
                          sandboxSafe ? kAudioComponentFlag_SandboxSafe : 0u, 0};
    result.name = *name;
    result.version = static_cast<std::uint32_t>(*number);
    return result;
}

std::string canonical(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

} // namespace

std::optional<AudioComponentBundleInfo> readAudioComponentBundle(const std::string& bundlePath,
                                                                 std::string& whyNot) {
    PlistDictionary info;
    try {
        // Read here rather than through propertyListWithContentsOfFile, which prints a line of
        // its own: a skipped bundle gets exactly one line, the one below, with the reason.
        const auto bytes = FileManager::defaultManager().readData(
            bundlePath + "/Info.plist", PropertyListSerialization::kFileLimit);
        PlistValue root = PropertyListSerialization::propertyList(std::span(bytes));
        if (PlistDictionary* dictionary = root.dictionary()) info = std::move(*dictionary);
    } catch (const NSErrorException& e) {
        const auto& details = e.error().userInfo();
        const auto reason = details.find(NSDebugDescriptionErrorKey);
        whyNot = "Info.plist cannot be read (" + e.error().localizedDescription() +
                 (reason != details.end() ? " Reason: " + reason->second : std::string()) + ")";
        return std::nullopt;
    }
    if (info.empty()) {
        whyNot = "Info.plist holds no dictionary";
        return std::nullopt;
    }

    AudioComponentBundleInfo result;
    result.bundlePath = bundlePath;
    const std::string* executable = stringAt(info, "CFBundleExecutable");
    if (executable == nullptr || executable->empty() ||
        executable->find('/') != std::string::npos || *executable == "." || *executable == "..") {
        whyNot = "CFBundleExecutable is missing or not a plain file name";
        return std::nullopt;
    }
    result.executablePath = bundlePath + "/MacOS/" + *executable;
    std::error_code error;
    if (!fs::is_regular_file(result.executablePath, error)) {
        whyNot = "the module MacOS/" + *executable + " is missing";
        return std::nullopt;
    }

    const PlistDictionary* extension = dictionaryAt(info, "NSExtension");
    const std::string* principal =
        extension ? stringAt(*extension, "NSExtensionPrincipalClass") : nullptr;
    if (principal == nullptr || principal->empty()) {
        whyNot = "NSExtension has no NSExtensionPrincipalClass";
        return std::nullopt;
    }
    result.principalClass = *principal;

    const PlistDictionary* attributes = dictionaryAt(*extension, "NSExtensionAttributes");
    const PlistValue* components = attributes ? attributes->find("AudioComponents") : nullptr;
    const PlistArray* list = components ? components->array() : nullptr;
    if (list == nullptr || list->empty()) {
        whyNot = "NSExtensionAttributes has no AudioComponents";
        return std::nullopt;
    }
    for (const PlistValue& item : *list) {
        auto entry = readEntry(item, whyNot);
        if (!entry) return std::nullopt;
        result.components.push_back(std::move(*entry));
    }
    return result;
}

std::vector<AudioComponentBundleInfo>
scanAudioComponentFolders(const std::vector<std::string>& folders) {
    std::vector<AudioComponentBundleInfo> found;
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        std::error_code error;
        std::vector<std::string> bundles;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const fs::path& path = it->path();
            if (path.extension() == ".appex" && it->is_directory(error)) {
                bundles.push_back(path.string());
            }
        }
        std::sort(bundles.begin(), bundles.end());
        for (const std::string& bundle : bundles) {
            if (!seen.insert(canonical(bundle)).second) continue;
            std::string whyNot;
            if (auto info = readAudioComponentBundle(bundle, whyNot)) {
                found.push_back(std::move(*info));
            } else {
                std::fprintf(stderr, "AudioComponentRegistry: skipping the bundle '%s': %s.\n",
                             bundle.c_str(), whyNot.c_str());
            }
        }
    }
    return found;
}

std::vector<std::string>
audioComponentSearchFolders(const std::optional<std::string>& applicationBundlePath) {
    std::vector<std::string> folders;
    if (applicationBundlePath) folders.push_back(*applicationBundlePath + "/PlugIns");
    if (const char* path = std::getenv("PF_AUDIO_COMPONENT_PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const std::string_view item = rest.substr(0, colon);
            if (!item.empty()) folders.emplace_back(item);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    return folders;
}

std::optional<std::string> runningApplicationBundlePath() {
    std::array<char, PATH_MAX> buffer{};
    const auto n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return std::nullopt;
    const fs::path executable(std::string(buffer.data(), static_cast<std::size_t>(n)));
    const fs::path macos = executable.parent_path();
    const fs::path bundle = macos.parent_path();
    if (macos.filename() != "MacOS" || bundle.extension() != ".app") return std::nullopt;
    return bundle.string();
}

void registerAudioComponentBundles(AudioComponentRegistry& registry,
                                   const std::vector<AudioComponentBundleInfo>& bundles) {
    for (const AudioComponentBundleInfo& bundle : bundles) {
        for (const AudioComponentBundleEntry& entry : bundle.components) {
            registry.registerComponent(entry.description, entry.name, entry.version,
                                       bundledComponentFactory(bundle));
        }
    }
}

AudioComponentRegistry::ComponentSource
audioComponentBundleSource(std::vector<std::string> folders) {
    return [folders = std::move(folders)](AudioComponentRegistry& registry) {
        registerAudioComponentBundles(registry, scanAudioComponentFolders(folders));
    };
}

void addBundledAudioComponentSources(AudioComponentRegistry& registry) {
    registry.addComponentSource([](AudioComponentRegistry& r) {
        // The folders are read when the source runs, at the first query, not at start-up.
        audioComponentBundleSource(audioComponentSearchFolders(runningApplicationBundlePath()))(r);
    });
}

} // namespace pf
