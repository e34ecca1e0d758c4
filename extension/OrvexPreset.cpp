#include "OrvexPreset.h"

#include <charconv>
#include <limits>
#include <mutex>
#include <string_view>

#include "audio/AudioComponent.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/NSError.h"

namespace {

bool contains(std::string_view key, std::string_view word) {
    return key.find(word) != std::string_view::npos;
}

std::string indexedKey(std::string_view word, std::size_t index) {
    return std::string(word) + " " + std::to_string(index);
}

// ---- What a reader accepts for each key it reads ------------------------------------------

bool isString(const pf::PlistValue& v) {
    return v.string() != nullptr;
}
bool isInteger(const pf::PlistValue& v) {
    return v.integer().has_value();
}
bool isNumber(const pf::PlistValue& v) {
    return v.number().has_value();
}
bool isAddress(const pf::PlistValue& v) {
    return v.integer().has_value() && *v.integer() >= 0;
}
bool isType(const pf::PlistValue& v) {
    const auto n = v.integer();
    return n && *n >= 0 && *n <= std::numeric_limits<std::uint32_t>::max();
}

std::optional<std::string> problemInParam(const pf::PlistDictionary& dict,
                                          const std::string& where) {
    for (const auto& [key, value] : dict) {
        if (key == "identifier" && !isString(value)) {
            return "'identifier' of '" + where + "' is not a string";
        }
        if (key == "address" && !isAddress(value)) {
            return "'address' of '" + where + "' is not a non-negative integer";
        }
        if (key == "value" && !isNumber(value)) {
            return "'value' of '" + where + "' is not a number";
        }
    }
    return std::nullopt;
}

std::optional<std::string> problemInGroup(const pf::PlistDictionary& dict,
                                          const std::string& where) {
    for (const auto& [key, value] : dict) {
        if (key == "identifier") {
            if (!isString(value)) return "'identifier' of '" + where + "' is not a string";
        } else if (contains(key, "param")) {
            const auto* param = value.dictionary();
            if (param == nullptr) return "'" + key + "' of '" + where + "' is not a dictionary";
            if (auto problem = problemInParam(*param, key)) return problem;
        }
    }
    return std::nullopt;
}

std::mutex delegateMutex;
std::weak_ptr<OrvexPresetDelegate> sharedDelegate;

} // namespace

// ---- PresetParam --------------------------------------------------------------------------

pf::PlistDictionary PresetParam::toDictionary() const {
    pf::PlistDictionary dict;
    dict.set("address", pf::PlistValue(static_cast<unsigned long long>(address)));
    dict.set("identifier", pf::PlistValue(identifier));
    dict.set("value", pf::PlistValue(value));
    return dict;
}

void PresetParam::fromDictionary(const pf::PlistDictionary& dict, bool report) {
    for (const auto& [key, entry] : dict) {
        if (key == "identifier") {
            if (const auto* text = entry.string()) identifier = *text;
        } else if (key == "address") {
            if (isAddress(entry)) address = static_cast<std::uint64_t>(*entry.integer());
        } else if (key == "value") {
            if (const auto number = entry.number()) value = static_cast<float>(*number);
        }
    }
    if (report) {
        OrvexPreset::foundParameter(group != nullptr ? group->id : 0, identifier, address, value);
    }
}

// ---- PresetGroup --------------------------------------------------------------------------

pf::PlistDictionary PresetGroup::toDictionary() const {
    pf::PlistDictionary dict;
    dict.set("identifier", pf::PlistValue(identifier));
    dict.set("count", pf::PlistValue(static_cast<long long>(params.size())));
    for (std::size_t i = 0; i < params.size(); ++i) {
        dict.set(indexedKey("param", i), pf::PlistValue(params[i]->toDictionary()));
    }
    return dict;
}

void PresetGroup::fromDictionary(const pf::PlistDictionary& dict, bool report) {
    params.clear();
    for (const auto& [key, entry] : dict) {
        if (key == "identifier") {
            if (const auto* text = entry.string()) {
                identifier = *text;
                findGroupNumber();
            }
        } else if (contains(key, "param")) {
            const auto* paramDict = entry.dictionary();
            if (paramDict == nullptr) continue;
            auto param = std::make_unique<PresetParam>();
            param->group = this;
            params.push_back(std::move(param));
            params.back()->fromDictionary(*paramDict, report);
        }
    }
}

void PresetGroup::findGroupNumber() {
    const auto blank = identifier.rfind(' ');
    std::string_view last = identifier;
    if (blank != std::string::npos) last.remove_prefix(blank + 1);
    // An optional sign, then digits only; anything else (or a number too large) gives 0.
    std::string_view digits = last;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const bool whole =
        !digits.empty() && error == std::errc{} && end == digits.data() + digits.size();
    const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!whole || magnitude > limit + (negative ? 1 : 0)) {
        id = 0;
        return;
    }
    id = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

// ---- PresetPatch --------------------------------------------------------------------------

PresetPatch::PresetPatch()
    : type(pf::fourCharCode("aumf")), manufacturer(pf::fourCharCode("Qrbn")),
      subtype(pf::fourCharCode("orvc")) {}

pf::PlistDictionary PresetPatch::toDictionary() const {
    pf::PlistDictionary dict;
    dict.set("version", pf::PlistValue(static_cast<long long>(version)));
    dict.set("type", pf::PlistValue(static_cast<unsigned>(type)));
    dict.set("manufacturer", pf::PlistValue(static_cast<long long>(manufacturer)));
    dict.set("subtype", pf::PlistValue(static_cast<long long>(subtype)));
    dict.set("number", pf::PlistValue(static_cast<long long>(number)));
    dict.set("name", pf::PlistValue(name));
    dict.set("count", pf::PlistValue(static_cast<long long>(groups.size())));
    for (std::size_t i = 0; i < groups.size(); ++i) {
        dict.set(indexedKey("group", i), pf::PlistValue(groups[i]->toDictionary()));
    }
    return dict;
}

void PresetPatch::fromDictionary(const pf::PlistDictionary& dict, bool report) {
    groups.clear();
    for (const auto& [key, entry] : dict) {
        if (key == "version") {
            if (const auto n = entry.integer()) version = *n;
        } else if (key == "type") {
            if (isType(entry)) type = static_cast<std::uint32_t>(*entry.integer());
        } else if (key == "manufacturer") {
            if (const auto n = entry.integer()) manufacturer = *n;
        } else if (key == "subtype") {
            if (const auto n = entry.integer()) subtype = *n;
        } else if (key == "number") {
            if (const auto n = entry.integer()) number = *n;
        } else if (key == "name") {
            if (const auto* text = entry.string()) name = *text;
        } else if (contains(key, "group")) {
            const auto* groupDict = entry.dictionary();
            if (groupDict == nullptr) continue;
            groups.push_back(std::make_unique<PresetGroup>());
            groups.back()->fromDictionary(*groupDict, report);
        }
    }
}

std::optional<std::string> PresetPatch::problemIn(const pf::PlistDictionary& dict) {
    for (const auto& [key, value] : dict) {
        if (key == "version" || key == "manufacturer" || key == "subtype" || key == "number") {
            if (!isInteger(value)) return "'" + key + "' is not an integer";
        } else if (key == "type") {
            if (!isType(value)) return "'type' is not a 32-bit unsigned integer";
        } else if (key == "name") {
            if (!isString(value)) return "'name' is not a string";
        } else if (contains(key, "group")) {
            const auto* group = value.dictionary();
            if (group == nullptr) return "'" + key + "' is not a dictionary";
            if (auto problem = problemInGroup(*group, key)) return problem;
        }
    }
    return std::nullopt;
}

bool PresetPatch::saveToFile(const pf::URL& url) const {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = pf::PropertyListSerialization::data(pf::PlistValue(toDictionary()),
                                                    pf::PropertyListFormat::xml);
    } catch (const std::exception&) {
        pf::Console::printLine("PresetPatch::FEHLER: Die Daten konnten nicht serialisiert werden.");
        return false;
    }
    try {
        pf::FileManager::defaultManager().writeAtomically(url.path(), bytes);
    } catch (const pf::NSErrorException& e) {
        pf::Console::printLine(
            "PresetPatch::FEHLER: Die Daten konnten nicht gespeichert werden. (" +
            e.error().debugDescription() + ")");
        return false;
    }
    return true;
}

bool PresetPatch::loadFromFile(const pf::URL& url, bool report) {
    const std::string path = url.path();
    if (!pf::FileManager::defaultManager().fileExists(path)) {
        pf::Console::printLine("AUPresetFile::ERROR: The path " + path + " does not exist.");
        return false;
    }
    auto format = pf::PropertyListFormat::xml;
    const auto refuse = [&format](const std::string& why) {
        pf::Console::printLine(
            "AUPresetFile::FEHLER: Die Datei konnte nicht eingelesen werden: " + why +
            ", Format: " + (format == pf::PropertyListFormat::xml ? "xml" : "binary"));
        return false;
    };
    pf::PlistValue root;
    try {
        root = pf::PropertyListSerialization::propertyListWithContentsOfFile(path, &format);
    } catch (const pf::NSErrorException& e) {
        return refuse(e.error().localizedDescription());
    }
    const auto* dict = root.dictionary();
    if (dict == nullptr) return refuse("the root of the property list is not a dictionary");
    if (auto problem = problemIn(*dict)) return refuse(*problem);
    fromDictionary(*dict, report);
    return true;
}

// ---- OrvexPreset --------------------------------------------------------------------------

OrvexPreset::OrvexPreset() : patch(std::make_unique<PresetPatch>()) {}

std::shared_ptr<OrvexPresetDelegate> OrvexPreset::delegate() {
    const std::lock_guard lock(delegateMutex);
    return sharedDelegate.lock();
}

void OrvexPreset::setDelegate(const std::shared_ptr<OrvexPresetDelegate>& delegate) {
    const std::lock_guard lock(delegateMutex);
    sharedDelegate = delegate;
}

void OrvexPreset::foundParameter(std::int64_t group, const std::string& identifier,
                                 std::uint64_t address, float value) {
    if (const auto target = delegate()) target->onFoundParameter(group, identifier, address, value);
}

void OrvexPreset::makeFrom(const std::shared_ptr<pf::AUParameterGroup>& tree) {
    if (!tree) {
        pf::Console::printLine("PresetPatch: The parameter group has no children.");
        return;
    }
    for (const auto& child : tree->children()) {
        if (!child->isGroup()) continue;
        const auto& source = static_cast<const pf::AUParameterGroup&>(*child);
        auto group = std::make_unique<PresetGroup>();
        group->identifier = source.identifier();
        for (const auto& parameter : source.allParameters()) {
            auto param = std::make_unique<PresetParam>();
            param->address = parameter->address();
            param->identifier = parameter->identifier();
            param->value = parameter->value();
            group->params.push_back(std::move(param));
        }
        patch->groups.push_back(std::move(group));
    }
}

bool OrvexPreset::makeFrom(const std::optional<pf::PlistDictionary>& state) {
    if (!state) return true;
    if (auto problem = PresetPatch::problemIn(*state)) {
        pf::Console::printLine("PresetPatch::FEHLER: Der Zustand konnte nicht gelesen werden: " +
                               *problem);
        return false;
    }
    patch->fromDictionary(*state, reportsParameters);
    return true;
}

std::optional<pf::PlistDictionary> OrvexPreset::getDictionary() const {
    return patch->toDictionary();
}

bool OrvexPreset::save(const pf::URL& url) const {
    return patch->saveToFile(url);
}

bool OrvexPreset::load(const pf::URL& url) {
    return patch->loadFromFile(url, reportsParameters);
}
