// The settings store both deliverables compile: typed settings in the user defaults, in three
// stores: the application's own standard defaults, the defaults of the application group that the
// plug-in and the container application share (so one reads what the other wrote), and a combined
// view. `combined` is the standard object itself, with the group suite added to its search list:
// from construction on, reads through `defaults` also find group values the application's own
// domain lacks, and writes through `combined` go to the application's own domain. Only `shared`
// writes into the group suite.
//
// Nothing reports a failure: getters answer the platform's value for a missing key (nothing, 0,
// 0, false), setters answer nothing. A group suite the platform refuses is replaced by a suite
// kept in memory, told once on standard error.
//
// Thread: [any-thread]; each operation is one call of a user-defaults object, which locks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/PropertyList.h"
#include "core/URL.h"
#include "core/UserDefaults.h"
#include "ui/CGGeometry.h"

// The application group both deliverables belong to; names the shared suite.
inline constexpr std::string_view sharedContainer = "group.org.orvex.compander";

// The store constructors the support library adds to the platform's user-defaults class.
namespace NSUserDefaultsExt {
// A new object for the suite named `suiteName`. When the platform refuses the suite, a suite of
// that name kept in memory for the life of the process, told once per name on standard error.
std::shared_ptr<pf::NSUserDefaults> suite(std::string_view suiteName);
// suite(sharedContainer) (NSUserDefaults.shared).
std::shared_ptr<pf::NSUserDefaults> shared();
// The standard object, after adding the suite `sharedContainer` to its search list
// (NSUserDefaults.combined); adding it again changes nothing.
std::shared_ptr<pf::NSUserDefaults> combined();
} // namespace NSUserDefaultsExt

class PersistentAppData {
public:
    enum class Storage : std::int64_t { defaults = 0, shared = 1, combined = 2 };
    // The case with that raw value; nothing for any other value.
    static std::optional<Storage> makeStorage(std::int64_t rawValue) noexcept;

    // The process-wide instance, made on first use (once, also under concurrent first use).
    static PersistentAppData& sharedInstance();

    // Sets defaults, then shared, then combined.
    PersistentAppData();
    virtual ~PersistentAppData() = default;
    PersistentAppData(const PersistentAppData&) = delete;
    PersistentAppData& operator=(const PersistentAppData&) = delete;

    // The platform's label `_for` names the store to write; `from` the store to read.
    virtual void setString(std::string_view key, std::string_view value,
                           Storage storage = Storage::defaults);
    virtual std::optional<std::string> getString(std::string_view key,
                                                 Storage from = Storage::defaults);
    virtual void setInteger(std::string_view key, std::int64_t value,
                            Storage storage = Storage::defaults);
    virtual std::int64_t getInteger(std::string_view key, Storage from = Storage::defaults);
    virtual void setFloat(std::string_view key, float value, Storage storage = Storage::defaults);
    virtual float getFloat(std::string_view key, Storage from = Storage::defaults);
    virtual void setBool(std::string_view key, bool value, Storage storage = Storage::defaults);
    virtual bool getBool(std::string_view key, Storage from = Storage::defaults);
    // An absent address removes the key.
    virtual void setURL(std::string_view key, const std::optional<pf::URL>& value,
                        Storage storage = Storage::defaults);
    virtual std::optional<pf::URL> getUrl(std::string_view key, Storage from = Storage::defaults);
    // An absent value removes the key.
    virtual void setObject(std::string_view key, std::optional<pf::PlistValue> value,
                           Storage storage = Storage::defaults);
    virtual std::optional<pf::PlistValue> getObject(std::string_view key,
                                                    Storage from = Storage::defaults);
    // Prints every entry of the standard, a fresh shared and the combined store directly on
    // standard output, each store under its heading line; each entry is "<key> = <value> " and
    // an empty line.
    virtual void dumpout();

    // "left", "top", "width" and "height" of the rectangle as the platform's rectangle functions
    // report them (a negative width or height is standardised), as 32-bit floats.
    static pf::PlistDictionary frameToDictionary(const pf::CGRect& frame);
    // The rectangle stored under `key` in the standard store of sharedInstance(); nothing when
    // the key is missing or does not hold a dictionary of numbers. Missing entries give 0, 0,
    // 100 and 100.
    static std::optional<pf::CGRect> dictionaryToFrame(std::string_view key);

private:
    pf::NSUserDefaults& store(Storage storage) const;

    const std::shared_ptr<pf::NSUserDefaults> defaults;
    const std::shared_ptr<pf::NSUserDefaults> shared;
    const std::shared_ptr<pf::NSUserDefaults> combined;
};
