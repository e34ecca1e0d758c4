// The preset model: the unit's parameter values as a three-level dictionary (patch → groups →
// parameters), which is both a factory preset file (a property list) and the unit's full state.
//
//   root:  "version" "type" "manufacturer" "subtype" "number" "name" "count", "group <i>" …
//   group: "identifier" "count", "param <i>" …
//   param: "address" "identifier" "value"
//
// Reading never sets a value itself: every parameter read is reported once, as soon as its entry
// has been read, to the class-level `OrvexPreset` delegate (the audio unit), unless the facade
// was told not to report. Keys are matched as written; any root key containing "group" is a group,
// any group key containing "param" a parameter; both "count" keys are never read.
//
// Refusals: a dictionary whose read keys hold values of the wrong type (a name that is not a
// string, an address that is not a non-negative integer, a value that is not a number, a group or
// parameter entry that is not a dictionary) is refused whole, so nothing of it is applied.
//
// Messages are printed directly on the calling thread, one console line each.
// Threads: the thread of the host's call (full state, current preset, preset state); no locks
// except the one guarding the class-level delegate.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AUParameters.h"
#include "core/PropertyList.h"
#include "core/URL.h"

// Receives every parameter a preset reading finds.
class OrvexPresetDelegate {
public:
    virtual ~OrvexPresetDelegate() = default;
    virtual void onFoundParameter(std::int64_t group, const std::string& identifier,
                                  std::uint64_t address, float value) = 0;
};

class PresetGroup;

class PresetParam {
public:
    // The group that read this parameter (it owns the parameter); null otherwise.
    const PresetGroup* group = nullptr;
    std::uint64_t address = 0;
    std::string identifier = "parameter";
    float value = 0.0f;

    pf::PlistDictionary toDictionary() const;
    // Reads the entries it knows (an entry of the wrong type is skipped), then reports the
    // parameter when `report` is set.
    void fromDictionary(const pf::PlistDictionary& dict, bool report = true);
};

class PresetGroup {
public:
    PresetGroup() = default;
    PresetGroup(const PresetGroup&) = delete;
    PresetGroup& operator=(const PresetGroup&) = delete;

    std::int64_t id = 0;
    std::int64_t count = 0; // declared only
    std::string identifier = "group";
    std::vector<std::unique_ptr<PresetParam>> params;

    pf::PlistDictionary toDictionary() const;
    // Empties `params`, then reads the entries in the dictionary's order.
    void fromDictionary(const pf::PlistDictionary& dict, bool report = true);
    // `id` from the last blank-separated word of `identifier` when it is a decimal number that
    // fits, otherwise 0.
    void findGroupNumber();
};

class PresetPatch {
public:
    std::int64_t version = 1;
    std::uint32_t type;        // "aumf"
    std::int64_t manufacturer; // "Qrbn"
    std::int64_t subtype;      // "orvc"
    std::int64_t number = 0;
    std::string name = "Orvex Compander Preset";
    std::vector<std::uint8_t> data; // declared only; never written
    std::vector<std::unique_ptr<PresetGroup>> groups;

    PresetPatch();
    PresetPatch(const PresetPatch&) = delete;
    PresetPatch& operator=(const PresetPatch&) = delete;

    pf::PlistDictionary toDictionary() const;
    // Empties `groups`, then reads the entries in the dictionary's order, reporting each
    // parameter when `report` is set.
    void fromDictionary(const pf::PlistDictionary& dict, bool report = true);

    // Writes toDictionary() as an XML property list, atomically. False (after its message) when
    // serialising or writing failed; a previous file then stays as it was.
    bool saveToFile(const pf::URL& url) const;
    // Reads a property list of any format and applies fromDictionary(). False, with nothing read
    // or reported, when the file does not exist, cannot be parsed, has no dictionary at its root
    // or holds values of the wrong type (each with its message).
    bool loadFromFile(const pf::URL& url, bool report = true);

    // Nothing when `dict` can be read whole; otherwise what is wrong with it.
    static std::optional<std::string> problemIn(const pf::PlistDictionary& dict);
};

// The facade the audio unit uses: a new one for every operation.
class OrvexPreset {
public:
    OrvexPreset();

    std::unique_ptr<PresetPatch> patch;
    // Whether readings of this facade reach the class-level delegate. Reading a preset only for
    // its state turns it off, so asking never applies anything.
    bool reportsParameters = true;

    // The class-level delegate, shared by every facade. Held weakly: a unit that goes is no
    // longer reported to.
    static std::shared_ptr<OrvexPresetDelegate> delegate();
    static void setDelegate(const std::shared_ptr<OrvexPresetDelegate>& delegate);
    // Hands the four values to the delegate when there is one.
    static void foundParameter(std::int64_t group, const std::string& identifier,
                               std::uint64_t address, float value);

    // Fills the patch from the groups of `tree` in order (a child that is not a group is
    // skipped); absent: prints "PresetPatch: The parameter group has no children.".
    void makeFrom(const std::shared_ptr<pf::AUParameterGroup>& tree);
    // Reads `state` into the patch; absent does nothing. False when the state is refused (its
    // message printed, nothing read or reported).
    bool makeFrom(const std::optional<pf::PlistDictionary>& state);
    std::optional<pf::PlistDictionary> getDictionary() const;
    bool save(const pf::URL& url) const;
    // Callers check that the file exists first. See PresetPatch::loadFromFile.
    bool load(const pf::URL& url);
};
