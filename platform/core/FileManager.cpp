#include "core/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/NSError.h"
#include "core/ProcessInfo.h"

namespace pf {
namespace {

std::string quoted(const std::string& name) {
    return "\u201C" + name + "\u201D";
}

std::string baseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string parentName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    return baseName(slash == 0 ? std::string("/") : p.substr(0, slash));
}

NSError fileError(std::int64_t code, std::string description, const std::string& path, int err) {
    return NSError(NSCocoaErrorDomain, code,
                   {{NSLocalizedDescriptionKey, std::move(description)},
                    {NSFilePathErrorKey, path},
                    {"NSUnderlyingError",
                     NSError::posix(err).debugDescription() + " \"" + std::strerror(err) + "\""}});
}

[[noreturn]] void throwReadError(const std::string& path, int err) {
    const std::string name = quoted(baseName(path));
    if (err == ENOENT) {
        throw NSErrorException(fileError(
            260, "The file " + name + " couldn\u2019t be opened because there is no such file.",
            path, err));
    }
    if (err == EACCES || err == EPERM) {
        throw NSErrorException(fileError(
            NSFileReadNoPermissionError,
            "The file " + name +
                " couldn\u2019t be opened because you don\u2019t have permission to view it.",
            path, err));
    }
    throw NSErrorException(fileError(NSFileReadUnknownError,
                                     "The file " + name + " couldn\u2019t be opened.", path, err));
}

[[noreturn]] void throwWriteError(const std::string& path, int err) {
    const std::string name = quoted(baseName(path));
    const std::string folder = quoted(parentName(path));
    if (err == EEXIST) {
        throw NSErrorException(fileError(NSFileWriteFileExistsError,
                                         "The file " + name +
                                             " couldn\u2019t be saved in the folder " + folder +
                                             " because a file with the same name already exists.",
                                         path, err));
    }
    if (err == EACCES || err == EPERM || err == EROFS) {
        throw NSErrorException(fileError(NSFileWriteNoPermissionError,
                                         "You don\u2019t have permission to save the file " + name +
                                             " in the folder " + folder + ".",
                                         path, err));
    }
    if (err == ENOSPC) {
        throw NSErrorException(fileError(
            640,
            "The file " + name + " couldn\u2019t be saved because there isn\u2019t enough space.",
            path, err));
    }
    throw NSErrorException(fileError(
        NSFileWriteUnknownError,
        "The file " + name + " couldn\u2019t be saved in the folder " + folder + ".", path, err));
}

// The process's umask, read without changing it (umask() would, for every thread).
mode_t processUmask() {
    static const mode_t mask = [] {
        mode_t value = 022;
        if (FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::strncmp(line, "Umask:", 6) == 0) {
                    value = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
                    break;
                }
            }
            std::fclose(status);
        }
        return value;
    }();
    return mask;
}

bool isDirectoryAt(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

FileManager& FileManager::defaultManager() {
    static FileManager manager;
    return manager;
}

bool FileManager::fileExists(const std::string& atPath) const {
    bool ignored = false;
    return fileExists(atPath, ignored);
}

bool FileManager::fileExists(const std::string& atPath, bool& isDirectory) const {
    struct stat st {};
    if (::stat(atPath.c_str(), &st) != 0) return false;
    isDirectory = S_ISDIR(st.st_mode);
    return true;
}

void FileManager::createDirectory(const URL& at, bool withIntermediateDirectories) const {
    createDirectory(at.path(), withIntermediateDirectories);
}

void FileManager::createDirectory(const std::string& atPath,
                                  bool withIntermediateDirectories) const {
    std::string path = atPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (!withIntermediateDirectories) {
        if (::mkdir(path.c_str(), 0777) != 0) throwWriteError(path, errno);
        return;
    }
    // Each prefix in turn; an existing directory along the way is fine, anything else in the way
    // is the error of the path being created.
    std::size_t position = 0;
    while (position != std::string::npos) {
        position = path.find('/', position + 1);
        const std::string prefix = path.substr(0, position);
        if (prefix.empty()) continue;
        if (::mkdir(prefix.c_str(), 0777) == 0) continue;
        const int err = errno;
        if (err == EEXIST && isDirectoryAt(prefix)) continue;
        throwWriteError(path, err == EEXIST && position != std::string::npos ? ENOTDIR : err);
    }
}

std::vector<std::string> FileManager::contentsOfDirectory(const std::string& atPath) const {
    DIR* dir = ::opendir(atPath.c_str());
    if (dir == nullptr) {
        const int err = errno;
        if (err == ENOENT) {
            throw NSErrorException(
                fileError(260, "The folder " + quoted(baseName(atPath)) + " doesn\u2019t exist.",
                          atPath, err));
        }
        throwReadError(atPath, err);
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<URL> FileManager::urls(SearchPathDirectory, SearchPathDomainMask) const {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    const std::string folder = base + "/" + ProcessInfo::processInfo().processName() + "/Documents";
    return {URL::fileURLWithPath(folder, true)};
}

std::vector<std::uint8_t> FileManager::readData(const std::string& path, std::size_t limit) const {
    // Opened without blocking, then checked: opening a named pipe for reading would wait for a
    // writer, and reading a device may never end. Only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throwReadError(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throwReadError(path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode)) throwReadError(path, EISDIR);
        throw NSErrorException(fileError(NSFileReadUnknownError,
                                         "The file " + quoted(baseName(path)) +
                                             " couldn\u2019t be opened because it isn\u2019t a "
                                             "regular file.",
                                         path, EINVAL));
    }
    if (st.st_size < 0 || static_cast<std::uintmax_t>(st.st_size) > limit) {
        ::close(fd);
        throw NSErrorException(fileError(NSFileReadTooLargeError,
                                         "The file " + quoted(baseName(path)) +
                                             " couldn\u2019t be opened because it is too large.",
                                         path, EFBIG));
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const auto n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO; // a file that shrank while read is a failure
            ::close(fd);
            throwReadError(path, err);
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return data;
}

std::optional<std::vector<std::uint8_t>> FileManager::contents(const std::string& atPath,
                                                               std::size_t limit) const {
    try {
        return readData(atPath, limit);
    } catch (const NSErrorException&) {
        return std::nullopt;
    }
}

void FileManager::writeAtomically(const std::string& path,
                                  std::span<const std::uint8_t> data) const {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throwWriteError(path, errno);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        throwWriteError(path, err);
    };
    std::size_t done = 0;
    while (done < data.size()) {
        const auto n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, 0666 & ~processUmask()) != 0 || ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throwWriteError(path, err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throwWriteError(path, err);
    }
}

void FileManager::removeItem(const std::string& atPath) const {
    if (::remove(atPath.c_str()) != 0) throwWriteError(atPath, errno);
}

} // namespace pf
