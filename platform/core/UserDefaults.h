#pragma once
// User defaults: typed settings kept in named domains, one property-list file per domain under
// $XDG_CONFIG_HOME/pf-preferences (else ~/.config/pf-preferences): XML, or binary while some text
// holds U+0000 (which XML cannot hold), so every string reads back exactly. A change the file
// cannot hold exactly (a key holding U+0000) is refused with a line on standard error, and the
// domain keeps its previous value.
//
// A domain is shared by every object of the process that names it, and by other processes of
// the same user: a read reloads the file when it changed on disk, and a write takes a file
// lock, reloads, applies the change and replaces the file atomically, so two processes writing
// lose no update. A file whose content cannot be read (damaged, larger than the property-list
// limit, past its bounds) is never overwritten: it is kept beside the new one as
// <file>.unreadable (-2, -3 … when that name is taken), standard error says so, and the domain
// starts empty. A domain whose file cannot be opened (no permission, not a regular file) or
// written, or cannot be moved aside, keeps working in memory and says so once on standard error.
//
// The standard defaults of a module are the domain named by its bundle identifier (the bundle
// of the module, see Bundle::main(); the process name when there is none). A suite object reads
// and writes one named domain; adding a suite to an object makes its reads also search that
// suite, after the object's own domain, while writes still go to the own domain.
//
// All members are [any-thread].

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/PropertyList.h"
#include "core/URL.h"

namespace pf {

class NSUserDefaults {
public:
    // The standard defaults of the calling module; the same object on every call. Every module
    // compiles its own hidden copy of this function, and its address names the module.
    [[gnu::visibility("hidden")]] static std::shared_ptr<NSUserDefaults> standardUserDefaults() {
        return standardUserDefaultsFor(
            reinterpret_cast<const void*>(&NSUserDefaults::standardUserDefaults));
    }
    static std::shared_ptr<NSUserDefaults> standardUserDefaultsFor(const void* moduleAddress);

    // A new object for the domain `suiteName`; nullptr (refused, as the platform refuses) for an
    // empty name, "NSGlobalDomain", or a name that cannot be a file name ("/", NUL, ".", "..").
    static std::shared_ptr<NSUserDefaults> initWithSuiteName(std::string_view suiteName);

    // A new object for the process-wide in-memory domain `name` (never stored in a file): the
    // fallback of a caller whose suite was refused. Objects of one name share their values.
    static std::shared_ptr<NSUserDefaults> inMemorySuite(std::string_view name);

    // Adds the domain `suiteName` to the reads of this object (once; refused names are ignored).
    void addSuiteNamed(std::string_view suiteName);
    const std::string& domainName() const noexcept;

    // Stores `value` for `key` in the own domain; nothing removes the key.
    void setObject(std::optional<PlistValue> value, std::string_view forKey);
    void setValue(std::optional<PlistValue> value, std::string_view forKey) {
        setObject(std::move(value), forKey);
    }
    void removeObject(std::string_view forKey) { setObject(std::nullopt, forKey); }
    void setInteger(std::int64_t value, std::string_view forKey) {
        setObject(PlistValue(static_cast<long long>(value)), forKey);
    }
    void setFloat(float value, std::string_view forKey) { setObject(PlistValue(value), forKey); }
    void setDouble(double value, std::string_view forKey) { setObject(PlistValue(value), forKey); }
    void setBool(bool value, std::string_view forKey) { setObject(PlistValue(value), forKey); }
    // A file URL is kept as its path, with the home folder written "~"; another URL as data
    // holding its text. Nothing removes the key.
    void setURL(const std::optional<URL>& value, std::string_view forKey);

    // The first value for `key` along the search list (own domain, then added suites).
    std::optional<PlistValue> objectForKey(std::string_view key) const;
    // Strings, and numbers as their text; nothing for other types.
    std::optional<std::string> stringForKey(std::string_view key) const;
    // Numbers (reals truncated), booleans as 0/1, numeric strings; 0 otherwise.
    std::int64_t integerForKey(std::string_view key) const;
    float floatForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // Booleans; non-zero numbers; the strings "YES"/"true" (any case) and non-zero numeric
    // strings; false otherwise.
    bool boolForKey(std::string_view key) const;
    // A stored path (with "~" expanded) as a file URL, stored URL data as that URL.
    std::optional<URL> URLForKey(std::string_view key) const;
    // Every key and value the search list sees; a key of the own domain hides the same key of a
    // suite. Own keys first, in their order, then each suite's remaining keys.
    PlistDictionary dictionaryRepresentation() const;

    // Tests: stores domains under `directory` from now on (nothing: the XDG location) and
    // forgets every cached domain and standard object.
    static void setStorageDirectoryForTesting(std::optional<std::string> directory);

    class Domain;
    NSUserDefaults(std::shared_ptr<Domain> own);

private:
    std::vector<std::shared_ptr<Domain>> searchList() const;

    std::shared_ptr<Domain> own_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Domain>> suites_;
};

} // namespace pf
