#pragma once
// User defaults: typed settings kept in named domains, one XML property-list file per domain at
// ${XDG_CONFIG_HOME:-~/.config}/orvex/Preferences/<domain>.plist.
//
// Every object of a process that names a domain works on one shared copy of it, so a value set
// through one object is seen at once through any other. A domain reads its file again whenever
// the file changed (device, inode, size or modification time), which is how one process sees what
// another wrote. A change is a read-modify-write under an exclusive lock (flock on
// "<domain>.plist.lock"): the file is read again if it changed, the change applied, and the whole
// domain written to a temporary file that is renamed over the old one, so two processes never
// lose each other's keys and a reader never sees a partial file.
//
// The standard object searches its own domain (named by the application bundle's identifier, or
// the process name when there is none) and then the suites added to it; it writes only to its own
// domain. A suite object searches and writes its suite's domain.
//
// Failures are never reported to callers (the platform's behaviour); each is told once per domain
// as one line on standard error:
// - a domain whose file cannot be used (a name that cannot be a file name, a folder that cannot be
//   made, a file that cannot be read) is kept in memory for the life of the process;
// - a damaged file is set aside as "<domain>.plist.corrupt-<seconds>" and the domain starts empty;
// - a write that fails leaves the change in memory only.
//
// Thread: every member is [any-thread]; objects and domains lock internally.

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

class DefaultsDomain;

class NSUserDefaults {
public:
    static constexpr std::string_view kGlobalDomain = "NSGlobalDomain";

    // The process-wide standard object (always the same one).
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    // A new object for the suite `suiteName`; nullptr for the names the platform refuses: empty,
    // "NSGlobalDomain", or the standard domain's own name.
    static std::shared_ptr<NSUserDefaults> initWithSuiteName(std::string_view suiteName);
    // A new object for a domain kept in memory only, for the life of the process (the fallback
    // for a suite that cannot be had).
    static std::shared_ptr<NSUserDefaults> inMemorySuite(std::string_view suiteName);
    // The name of the standard domain.
    static std::string standardDomainName();
    // The folder that holds the domain files.
    static std::string storageDirectory();

    // Adds the suite's domain to the end of the search list; a name already in the list, the
    // object's own domain and the names initWithSuiteName() refuses are ignored.
    void addSuiteNamed(std::string_view suiteName);
    // The domain this object writes to.
    const std::string& domainName() const noexcept;
    // True when the domain lives in memory only.
    bool isVolatile() const noexcept;

    // The first value the search list holds for `key`.
    std::optional<PlistValue> objectForKey(std::string_view key) const;
    // Stores `value` in the object's own domain; nothing removes the key.
    void setObject(std::optional<PlistValue> value, std::string_view key);
    void setValue(std::optional<PlistValue> value, std::string_view key) {
        setObject(std::move(value), key);
    }
    void removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }

    // A string; a number as its text; nothing for other types or a missing key.
    std::optional<std::string> stringForKey(std::string_view key) const;
    void setInteger(std::int64_t value, std::string_view key);
    // An integer; a real truncated toward zero (saturating, NaN gives 0); a truth value as 0 or 1;
    // the leading integer of a string; 0 otherwise.
    std::int64_t integerForKey(std::string_view key) const;
    void setFloat(float value, std::string_view key);
    // A number narrowed to float; a truth value as 0 or 1; the leading number of a string; 0
    // otherwise.
    float floatForKey(std::string_view key) const;
    void setBool(bool value, std::string_view key);
    // A truth value; a number other than 0; a string starting with Y, y, T, t or a digit 1 to 9
    // (after spaces and zeros); false otherwise.
    bool boolForKey(std::string_view key) const;
    // A file URL is stored as its path ("~" for the home folder), any other URL as data holding
    // its text. Nothing removes the key.
    void setURL(const std::optional<URL>& value, std::string_view key);
    // A path string as a file URL ("~" expanded), URL text stored as data as that URL; nothing
    // otherwise.
    std::optional<URL> URLForKey(std::string_view key) const;

    // Every key and value the search list sees; for a key in several domains the first wins.
    // The object's own domain comes first, in its order, then what each suite adds.
    PlistDictionary dictionaryRepresentation() const;

    NSUserDefaults(const NSUserDefaults&) = delete;
    NSUserDefaults& operator=(const NSUserDefaults&) = delete;
    ~NSUserDefaults();

private:
    explicit NSUserDefaults(std::shared_ptr<DefaultsDomain> own);
    std::vector<std::shared_ptr<DefaultsDomain>> searchList() const;

    const std::shared_ptr<DefaultsDomain> own_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<DefaultsDomain>> suites_;
};

} // namespace pf
