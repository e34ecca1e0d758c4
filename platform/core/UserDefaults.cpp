#include "core/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
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
#include <ctime>
#include <limits>
#include <map>

#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "core/ProcessInfo.h"

namespace pf {

namespace {

// Identity of a file's content as far as a reader can tell: replaced (inode), rewritten in
// place (size, modification time) or gone.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    static FileStamp of(const struct stat& st) {
        FileStamp s;
        s.exists = true;
        s.device = st.st_dev;
        s.inode = st.st_ino;
        s.size = st.st_size;
        s.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
        s.ctimeNs = std::int64_t{st.st_ctim.tv_sec} * 1'000'000'000 + st.st_ctim.tv_nsec;
        return s;
    }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

void logLine(const std::string& line) {
    std::string text = "NSUserDefaults: " + line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string errnoText(int err) {
    return NSError::posix(err).localizedDescription();
}

// Names that can stand as one file name in the preferences folder.
std::optional<std::string> fileNameProblem(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (name == "." || name == "..") return "the name is a folder reference";
    if (name.size() > 200) return "the name is too long";
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos)
        return "the name holds a slash or a NUL";
    return std::nullopt;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

// Closes a descriptor and releases its lock on every path out.
class FileLock {
public:
    explicit FileLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_); // closing the last descriptor releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const noexcept { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

// One domain of the process: the cached dictionary and the file behind it.
class DefaultsDomain {
public:
    // `path` empty: the domain lives in memory only.
    DefaultsDomain(std::string name, std::string path)
        : name_(std::move(name)), path_(std::move(path)) {}

    const std::string& name() const noexcept { return name_; }
    bool isVolatile() const noexcept { return path_.empty(); }

    std::optional<PlistValue> get(std::string_view key) {
        std::lock_guard lock(mutex_);
        refreshLocked();
        if (const PlistValue* v = values_.find(key)) return *v;
        return std::nullopt;
    }

    PlistDictionary snapshot() {
        std::lock_guard lock(mutex_);
        refreshLocked();
        return values_;
    }

    void set(std::string_view key, std::optional<PlistValue> value) {
        std::lock_guard lock(mutex_);
        if (path_.empty() || failed_) {
            apply(key, std::move(value));
            return;
        }
        FileLock fileLock(path_ + ".lock");
        if (!fileLock.locked()) {
            const int err = errno;
            tellOnce("cannot lock the settings of \"" + name_ + "\" (" + errnoText(err) +
                     "); changes are kept in memory only");
            failed_ = true;
            apply(key, std::move(value));
            return;
        }
        // Another process may have written since we last looked: start from its keys.
        refreshLocked(true);
        if (!apply(key, std::move(value))) return;
        if (failed_) return;
        const auto bytes =
            PropertyListSerialization::data(PlistValue(values_), PropertyListFormat::xml);
        try {
            FileManager::defaultManager().writeAtomically(path_, bytes);
        } catch (const NSErrorException& e) {
            tellOnce("cannot write the settings of \"" + name_ + "\" to " + path_ + " (" +
                     e.error().localizedDescription() + "); the change is kept in memory only");
            stamp_ = {}; // read the file again when it changes
            return;
        }
        struct stat st {};
        if (::stat(path_.c_str(), &st) == 0) stamp_ = FileStamp::of(st);
    }

private:
    // Returns false when nothing changed.
    bool apply(std::string_view key, std::optional<PlistValue> value) {
        if (!value) return values_.erase(key);
        if (const PlistValue* old = values_.find(key); old && *old == *value) return false;
        values_.set(std::string(key), std::move(*value));
        return true;
    }

    void tellOnce(const std::string& line) {
        if (told_) return;
        told_ = true;
        logLine(line);
    }

    // Reads the file again when it changed since the last look. `underFileLock`: the caller
    // holds the domain's file lock, so a damaged file may be set aside safely.
    void refreshLocked(bool underFileLock = false) {
        if (path_.empty() || failed_) return;
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            if (err == ENOENT) {
                if (stamp_.exists) values_ = {}; // removed from outside: the domain is empty
                stamp_ = {};
                return;
            }
            giveUp("cannot read " + path_ + " (" + errnoText(err) + ")");
            return;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            giveUp(path_ + " is not a regular file");
            return;
        }
        const FileStamp stamp = FileStamp::of(st);
        if (stamp == stamp_) {
            ::close(fd);
            return;
        }
        std::string bytes;
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        bytes.resize(done);
        std::string problem;
        try {
            PlistValue root = PropertyListSerialization::propertyList(bytes);
            if (PlistDictionary* dict = root.dictionary()) {
                values_ = std::move(*dict);
                stamp_ = stamp;
                return;
            }
            problem = "its top level is not a dictionary";
        } catch (const NSErrorException& e) {
            problem = e.error().localizedDescription();
        }
        setAside(stamp, problem, underFileLock);
    }

    // A damaged file is never overwritten: it moves aside and the domain starts empty.
    void setAside(const FileStamp& damaged, const std::string& problem, bool underFileLock) {
        std::optional<FileLock> fileLock;
        if (!underFileLock) fileLock.emplace(path_ + ".lock");
        struct stat st {};
        // Under the lock, only the damaged file itself is moved, never one a writer just put there.
        if (::stat(path_.c_str(), &st) == 0 && FileStamp::of(st).inode == damaged.inode) {
            const std::string aside =
                path_ + ".corrupt-" + std::to_string(static_cast<long long>(std::time(nullptr)));
            if (::rename(path_.c_str(), aside.c_str()) == 0) {
                logLine("the settings file " + path_ + " is damaged (" + problem +
                        "); it was kept as " + aside + " and \"" + name_ + "\" starts empty");
            } else {
                const int err = errno;
                giveUp("the settings file " + path_ + " is damaged (" + problem +
                       ") and cannot be set aside (" + errnoText(err) + ")");
                return;
            }
        }
        values_ = {};
        stamp_ = {};
    }

    void giveUp(const std::string& why) {
        failed_ = true;
        tellOnce(why + "; \"" + name_ + "\" is kept in memory only");
    }

    const std::string name_;
    const std::string path_;
    std::mutex mutex_;
    PlistDictionary values_;
    FileStamp stamp_;
    bool failed_ = false; // the file cannot be used; the domain lives on in memory
    bool told_ = false;
};

namespace {

std::mutex gRegistryMutex;
std::map<std::string, std::shared_ptr<DefaultsDomain>, std::less<>> gDomains;
std::map<std::string, std::shared_ptr<DefaultsDomain>, std::less<>> gVolatileDomains;

std::shared_ptr<DefaultsDomain> openDomain(std::string_view name) {
    std::lock_guard lock(gRegistryMutex);
    if (auto it = gDomains.find(name); it != gDomains.end()) return it->second;
    std::string path;
    if (const auto problem = fileNameProblem(name)) {
        logLine("\"" + std::string(name) + "\" cannot be kept in a file (" + *problem +
                "); it is kept in memory only");
    } else {
        const std::string folder = NSUserDefaults::storageDirectory();
        try {
            FileManager::defaultManager().createDirectory(folder, true);
            path = folder + "/" + std::string(name) + ".plist";
        } catch (const NSErrorException& e) {
            logLine("cannot make the folder " + folder + " (" + e.error().localizedDescription() +
                    "); \"" + std::string(name) + "\" is kept in memory only");
        }
    }
    auto domain = std::make_shared<DefaultsDomain>(std::string(name), std::move(path));
    gDomains.emplace(std::string(name), domain);
    return domain;
}

bool refusedSuiteName(std::string_view name) {
    return name.empty() || name == NSUserDefaults::kGlobalDomain ||
           name == NSUserDefaults::standardDomainName();
}

// The bundle folder of the executable when it sits at X.app/MacOS/<file>.
std::optional<std::string> executableBundleIdentifier() {
    char buffer[4096];
    const auto n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::nullopt;
    std::string exe(buffer, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string folder = exe.substr(0, slash);
    if (!folder.ends_with("/MacOS")) return std::nullopt;
    const std::string bundle = folder.substr(0, folder.size() - 6);
    if (!bundle.ends_with(".app") && !bundle.ends_with(".appex")) return std::nullopt;
    return Bundle::withPath(bundle).bundleIdentifier();
}

template <class T> T saturatingCast(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (v >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

std::string numberText(double v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

} // namespace

std::string NSUserDefaults::storageDirectory() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        base = homeDirectory() + "/.config";
    }
    return base + "/orvex/Preferences";
}

std::string NSUserDefaults::standardDomainName() {
    static const std::string name = [] {
        // A test's main-bundle override, or the application's bundle, names the domain.
        if (auto id = Bundle::main().bundleIdentifier()) return *id;
        if (auto id = executableBundleIdentifier()) return *id;
        return ProcessInfo::processInfo().processName();
    }();
    return name;
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    static const std::shared_ptr<NSUserDefaults> standard(
        new NSUserDefaults(openDomain(standardDomainName())));
    return standard;
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::initWithSuiteName(std::string_view suiteName) {
    if (refusedSuiteName(suiteName)) return nullptr;
    return std::shared_ptr<NSUserDefaults>(new NSUserDefaults(openDomain(suiteName)));
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::inMemorySuite(std::string_view suiteName) {
    std::shared_ptr<DefaultsDomain> domain;
    {
        std::lock_guard lock(gRegistryMutex);
        auto& slot = gVolatileDomains[std::string(suiteName)];
        if (!slot) slot = std::make_shared<DefaultsDomain>(std::string(suiteName), std::string());
        domain = slot;
    }
    return std::shared_ptr<NSUserDefaults>(new NSUserDefaults(std::move(domain)));
}

NSUserDefaults::NSUserDefaults(std::shared_ptr<DefaultsDomain> own) : own_(std::move(own)) {}
NSUserDefaults::~NSUserDefaults() = default;

const std::string& NSUserDefaults::domainName() const noexcept {
    return own_->name();
}
bool NSUserDefaults::isVolatile() const noexcept {
    return own_->isVolatile();
}

void NSUserDefaults::addSuiteNamed(std::string_view suiteName) {
    if (refusedSuiteName(suiteName) || suiteName == own_->name()) return;
    auto domain = openDomain(suiteName);
    std::lock_guard lock(mutex_);
    if (std::find(suites_.begin(), suites_.end(), domain) == suites_.end())
        suites_.push_back(std::move(domain));
}

std::vector<std::shared_ptr<DefaultsDomain>> NSUserDefaults::searchList() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<DefaultsDomain>> list{own_};
    list.insert(list.end(), suites_.begin(), suites_.end());
    return list;
}

std::optional<PlistValue> NSUserDefaults::objectForKey(std::string_view key) const {
    for (const auto& domain : searchList()) {
        if (auto value = domain->get(key)) return value;
    }
    return std::nullopt;
}

void NSUserDefaults::setObject(std::optional<PlistValue> value, std::string_view key) {
    own_->set(key, std::move(value));
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

std::optional<std::string> NSUserDefaults::stringForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* s = value->string()) return *s;
    if (auto b = value->boolean()) return *b ? "1" : "0";
    if (auto i = value->integer()) return std::to_string(*i);
    if (auto u = value->unsignedInteger()) return std::to_string(*u);
    if (auto r = value->real()) return numberText(*r);
    return std::nullopt;
}

void NSUserDefaults::setInteger(std::int64_t value, std::string_view key) {
    setObject(PlistValue(static_cast<long long>(value)), key);
}

std::int64_t NSUserDefaults::integerForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto i = value->integer()) return *i;
    if (value->unsignedInteger()) return std::numeric_limits<std::int64_t>::max();
    if (auto r = value->real()) return saturatingCast<std::int64_t>(std::trunc(*r));
    if (auto b = value->boolean()) return *b ? 1 : 0;
    if (const std::string* s = value->string()) {
        errno = 0;
        const long long v = std::strtoll(s->c_str(), nullptr, 10);
        return errno == 0 ? v : 0;
    }
    return 0;
}

void NSUserDefaults::setFloat(float value, std::string_view key) {
    setObject(PlistValue(value), key);
}

float NSUserDefaults::floatForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (auto n = value->number()) return static_cast<float>(*n);
    if (auto b = value->boolean()) return *b ? 1.0f : 0.0f;
    if (const std::string* s = value->string()) return std::strtof(s->c_str(), nullptr);
    return 0;
}

void NSUserDefaults::setBool(bool value, std::string_view key) {
    setObject(PlistValue(value), key);
}

bool NSUserDefaults::boolForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return false;
    if (auto b = value->boolean()) return *b;
    if (auto n = value->number()) return *n != 0;
    if (const std::string* s = value->string()) {
        std::size_t i = s->find_first_not_of(" \t\n");
        if (i != std::string::npos && ((*s)[i] == '+' || (*s)[i] == '-')) ++i;
        while (i < s->size() && (*s)[i] == '0')
            ++i;
        if (i >= s->size()) return false;
        const char c = (*s)[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    return false;
}

void NSUserDefaults::setURL(const std::optional<URL>& value, std::string_view key) {
    if (!value) {
        setObject(std::nullopt, key);
        return;
    }
    if (value->isFileURL()) {
        std::string path = value->path();
        const std::string home = homeDirectory();
        if (!home.empty() && home != "/" && (path == home || path.starts_with(home + "/")))
            path = "~" + path.substr(home.size());
        setObject(PlistValue(std::move(path)), key);
        return;
    }
    const std::string& text = value->absoluteString();
    setObject(PlistValue(PlistData(text.begin(), text.end())), key);
}

std::optional<URL> NSUserDefaults::URLForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* s = value->string()) {
        if (s->empty()) return std::nullopt;
        std::string path = *s;
        if (path == "~" || path.starts_with("~/")) path = homeDirectory() + path.substr(1);
        return URL::fileURLWithPath(path);
    }
    if (const PlistData* d = value->data()) {
        return URL::string(std::string_view(reinterpret_cast<const char*>(d->data()), d->size()));
    }
    return std::nullopt;
}

} // namespace pf
