#include "core/UserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "core/ProcessInfo.h"
#include "core/SwiftText.h"

namespace pf {
namespace {

constexpr std::int64_t kNoSuchFileError = 260; // the file layer's code for a missing file

bool isRefusedName(std::string_view name) {
    return name.empty() || name == "NSGlobalDomain" || name == "." || name == ".." ||
           name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) : std::string();
}

std::string storageRoot(const std::optional<std::string>& override) {
    if (override) return *override;
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && config[0] == '/') {
        return std::string(config) + "/pf-preferences";
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config/pf-preferences";
}

struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    while (begin < end && *begin == ' ')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr == begin) return std::nullopt;
    return value;
}

} // namespace

// One domain's values, its file, and the lock that orders its users in this process.
class NSUserDefaults::Domain {
public:
    // An empty `folder` keeps the domain in memory; `expectFile` says whether that is news.
    Domain(std::string name, std::string folder, bool expectFile = true)
        : name_(std::move(name)), folder_(std::move(folder)),
          path_(folder_.empty() ? std::string() : folder_ + "/" + name_ + ".plist") {
        if (path_.empty() && expectFile)
            warnOnce("no folder for settings (neither XDG_CONFIG_HOME nor HOME set)");
    }

    const std::string& name() const noexcept { return name_; }

    std::optional<PlistValue> get(std::string_view key) {
        std::lock_guard lock(mutex_);
        refresh();
        if (const PlistValue* value = values_.find(key)) return *value;
        return std::nullopt;
    }

    PlistDictionary snapshot() {
        std::lock_guard lock(mutex_);
        refresh();
        return values_;
    }

    void set(std::string_view key, std::optional<PlistValue> value) {
        std::lock_guard lock(mutex_);
        const int lockFd = lockFile();
        refresh();
        PlistValue updated(values_);
        PlistDictionary& values = *updated.dictionary();
        if (value) {
            values.set(std::string(key), std::move(*value));
        } else if (!values.erase(key)) {
            unlockFile(lockFd);
            return;
        }
        if (save(updated, key)) values_ = std::move(values);
        unlockFile(lockFd);
    }

private:
    void warnOnce(const std::string& reason) {
        if (warned_) return;
        warned_ = true;
        std::fprintf(stderr, "pf: user defaults domain %s kept in memory only: %s\n", name_.c_str(),
                     reason.c_str());
    }

    // Reloads the file when it changed since it was last read or written.
    void refresh() {
        if (path_.empty() || inMemoryOnly_) return;
        const FileStamp now = stampOf(path_);
        if (now == stamp_) return;
        stamp_ = now;
        if (!now.exists) {
            values_ = {};
            return;
        }
        try {
            PlistValue root = PropertyListSerialization::propertyListWithContentsOfFile(path_);
            if (PlistDictionary* dict = root.dictionary()) {
                values_ = std::move(*dict);
                return;
            }
            std::fprintf(stderr, "pf: the property list %s cannot be read: %s\n", path_.c_str(),
                         "it holds no dictionary");
            setAside();
        } catch (const NSErrorException& e) {
            const std::int64_t code = e.error().code();
            if (code == NSPropertyListReadCorruptError || code == NSFileReadTooLargeError) {
                setAside();
            } else if (code == kNoSuchFileError) { // removed since it was looked at
                values_ = {};
            } else { // the file may be sound: left as it is, never written
                warnOnce(e.error().localizedDescription());
                inMemoryOnly_ = true;
            }
        }
    }

    // Moves an unreadable file beside the new one, under a name no earlier one holds; when it
    // cannot be moved, the domain stays in memory, so the file is never overwritten.
    void setAside() {
        values_ = {};
        for (int n = 1; n <= 100; ++n) {
            const std::string aside =
                path_ + ".unreadable" + (n == 1 ? std::string() : "-" + std::to_string(n));
            if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) ==
                0) {
                std::fprintf(stderr,
                             "pf: user defaults domain %s starts empty; its unreadable file is "
                             "kept as %s\n",
                             name_.c_str(), aside.c_str());
                stamp_ = stampOf(path_);
                return;
            }
            if (errno != EEXIST) break;
        }
        warnOnce("its file " + path_ + " cannot be read, and cannot be moved aside (" +
                 std::strerror(errno) + ")");
        inMemoryOnly_ = true;
    }

    // Writes `values` to the file: XML, or binary when text holds U+0000, which XML cannot hold.
    // False, with a line on standard error, when neither form holds them exactly (a key holding
    // U+0000): the change is refused. A file that cannot be written keeps the domain in memory.
    bool save(const PlistValue& values, std::string_view key) {
        if (path_.empty() || inMemoryOnly_) return true;
        std::vector<std::uint8_t> bytes;
        try {
            try {
                bytes = PropertyListSerialization::data(values, PropertyListFormat::xml);
            } catch (const NSErrorException&) {
                bytes = PropertyListSerialization::data(values, PropertyListFormat::binary);
            }
        } catch (const NSErrorException& e) {
            const auto& info = e.error().userInfo();
            const auto reason = info.find(NSDebugDescriptionErrorKey);
            std::fprintf(stderr, "pf: the setting \"%s\" of domain %s is not saved: %s\n",
                         std::string(key).c_str(), name_.c_str(),
                         reason != info.end() ? reason->second.c_str()
                                              : e.error().localizedDescription().c_str());
            return false;
        }
        try {
            FileManager::defaultManager().writeAtomically(path_, bytes);
            stamp_ = stampOf(path_);
        } catch (const NSErrorException& e) {
            warnOnce(e.error().localizedDescription());
            inMemoryOnly_ = true;
        }
        return true;
    }

    // Serialises writers across processes; -1 when the lock file cannot be made (then only this
    // process's order holds).
    int lockFile() {
        if (path_.empty() || inMemoryOnly_) return -1;
        try {
            FileManager::defaultManager().createDirectory(folder_, true);
        } catch (const NSErrorException& e) {
            warnOnce(e.error().localizedDescription());
            inMemoryOnly_ = true;
            return -1;
        }
        const int fd = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        return fd;
    }

    static void unlockFile(int fd) {
        if (fd < 0) return;
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }

    const std::string name_;
    const std::string folder_;
    const std::string path_;
    std::mutex mutex_;
    PlistDictionary values_;
    FileStamp stamp_;
    bool inMemoryOnly_ = false;
    bool warned_ = false;
};

namespace {

struct Registry {
    std::mutex mutex;
    std::optional<std::string> storageOverride;
    std::map<std::string, std::shared_ptr<NSUserDefaults::Domain>, std::less<>> domains;
    std::map<std::string, std::shared_ptr<NSUserDefaults>, std::less<>> standards;
};

Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

std::shared_ptr<NSUserDefaults::Domain> domainNamed(std::string_view name, bool inMemory = false) {
    auto& r = registry();
    // In-memory domains live beside the file-backed ones, under a key no file name can have.
    const std::string key = inMemory ? "/memory/" + std::string(name) : std::string(name);
    std::lock_guard lock(r.mutex);
    auto it = r.domains.find(key);
    if (it != r.domains.end()) return it->second;
    auto domain = inMemory ? std::make_shared<NSUserDefaults::Domain>(std::string(name), "", false)
                           : std::make_shared<NSUserDefaults::Domain>(
                                 std::string(name), storageRoot(r.storageOverride));
    r.domains.emplace(key, domain);
    return domain;
}

} // namespace

NSUserDefaults::NSUserDefaults(std::shared_ptr<Domain> own) : own_(std::move(own)) {}

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaultsFor(const void* moduleAddress) {
    const Bundle& bundle = Bundle::mainFor(moduleAddress);
    std::string name = bundle.bundleIdentifier().value_or(ProcessInfo::processInfo().processName());
    if (isRefusedName(name)) name = "pf.unnamed";
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        if (auto it = r.standards.find(name); it != r.standards.end()) return it->second;
    }
    auto defaults = std::make_shared<NSUserDefaults>(domainNamed(name));
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.standards.emplace(name, defaults).first->second;
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::initWithSuiteName(std::string_view suiteName) {
    if (isRefusedName(suiteName)) return nullptr;
    return std::make_shared<NSUserDefaults>(domainNamed(suiteName));
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::inMemorySuite(std::string_view name) {
    return std::make_shared<NSUserDefaults>(domainNamed(name, true));
}

void NSUserDefaults::addSuiteNamed(std::string_view suiteName) {
    if (isRefusedName(suiteName) || suiteName == own_->name()) return;
    auto domain = domainNamed(suiteName);
    std::lock_guard lock(mutex_);
    if (std::find(suites_.begin(), suites_.end(), domain) == suites_.end()) {
        suites_.push_back(std::move(domain));
    }
}

const std::string& NSUserDefaults::domainName() const noexcept {
    return own_->name();
}

std::vector<std::shared_ptr<NSUserDefaults::Domain>> NSUserDefaults::searchList() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Domain>> list{own_};
    list.insert(list.end(), suites_.begin(), suites_.end());
    return list;
}

void NSUserDefaults::setObject(std::optional<PlistValue> value, std::string_view forKey) {
    own_->set(forKey, std::move(value));
}

void NSUserDefaults::setURL(const std::optional<URL>& value, std::string_view forKey) {
    if (!value) {
        setObject(std::nullopt, forKey);
        return;
    }
    if (value->isFileURL()) {
        std::string path = value->path();
        const std::string home = homeFolder();
        if (!home.empty() && home != "/" &&
            (path == home || (path.starts_with(home) && path[home.size()] == '/'))) {
            path = "~" + path.substr(home.size());
        }
        setObject(PlistValue(path), forKey);
    } else {
        const std::string& text = value->absoluteString();
        setObject(PlistValue(PlistData(text.begin(), text.end())), forKey);
    }
}

std::optional<PlistValue> NSUserDefaults::objectForKey(std::string_view key) const {
    for (const auto& domain : searchList()) {
        if (auto value = domain->get(key)) return value;
    }
    return std::nullopt;
}

std::optional<std::string> NSUserDefaults::stringForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    if (auto i = value->integer()) return std::to_string(*i);
    if (auto u = value->unsignedInteger()) return std::to_string(*u);
    if (auto d = value->real()) return swiftText(*d);
    return std::nullopt;
}

double NSUserDefaults::doubleForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto n = value->number()) return *n;
    if (auto b = value->boolean()) return *b ? 1 : 0;
    if (const std::string* text = value->string()) return parseNumber(*text).value_or(0);
    return 0;
}

float NSUserDefaults::floatForKey(std::string_view key) const {
    return static_cast<float>(doubleForKey(key));
}

std::int64_t NSUserDefaults::integerForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto i = value->integer()) return *i;
    const double d = doubleForKey(key);
    // Saturating: a huge or non-finite stored real must not be an undefined conversion.
    if (std::isnan(d)) return 0;
    if (d >= 9.2233720368547758e18) return INT64_MAX;
    if (d <= -9.2233720368547758e18) return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

bool NSUserDefaults::boolForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return false;
    if (auto b = value->boolean()) return *b;
    if (auto n = value->number()) return *n != 0;
    if (const std::string* text = value->string()) {
        std::string lower = *text;
        for (auto& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "yes" || lower == "true") return true;
        return parseNumber(lower).value_or(0) != 0;
    }
    return false;
}

std::optional<URL> NSUserDefaults::URLForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) {
        std::string path = *text;
        if (path == "~" || path.starts_with("~/")) path = homeFolder() + path.substr(1);
        if (path.empty()) return std::nullopt;
        return URL::fileURLWithPath(path);
    }
    if (const PlistData* data = value->data()) {
        return URL::string(std::string(data->begin(), data->end()));
    }
    return std::nullopt;
}

PlistDictionary NSUserDefaults::dictionaryRepresentation() const {
    PlistDictionary all;
    for (const auto& domain : searchList()) {
        for (auto& [key, value] : domain->snapshot()) {
            if (!all.contains(key)) all.set(key, value);
        }
    }
    return all;
}

void NSUserDefaults::setStorageDirectoryForTesting(std::optional<std::string> directory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.storageOverride = std::move(directory);
    r.domains.clear();
    r.standards.clear();
}

} // namespace pf
