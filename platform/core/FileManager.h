#pragma once
// The file system as the system uses it. [any-thread]; failures that the platform reports by
// throwing throw NSErrorException with an NSCocoaErrorDomain error (its NSFilePath entry names
// the path, its description is the platform's wording).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/URL.h"

namespace pf {

class FileManager {
public:
    enum class SearchPathDirectory { documentDirectory };
    enum class SearchPathDomainMask { userDomainMask };

    static FileManager& defaultManager();

    // True for any item at `path`, a plain file as well as a directory.
    bool fileExists(const std::string& atPath) const;
    // The same, reporting whether the item is a directory (symbolic links followed).
    bool fileExists(const std::string& atPath, bool& isDirectory) const;

    // Creates a directory (and, with `withIntermediateDirectories`, its missing parents), mode
    // 0777 less the umask. An existing directory is success only with intermediates (as on the
    // platform); a plain file in the way throws NSFileWriteFileExistsError.
    void createDirectory(const URL& at, bool withIntermediateDirectories) const;
    void createDirectory(const std::string& atPath, bool withIntermediateDirectories) const;

    // The names of the items of a directory, sorted by name, without "." and "..".
    std::vector<std::string> contentsOfDirectory(const std::string& atPath) const;

    // { <data folder>/<process name>/Documents } with the data folder $XDG_DATA_HOME, else
    // $HOME/.local/share; empty when neither is set. The folder is not created.
    std::vector<URL> urls(SearchPathDirectory directory, SearchPathDomainMask domain) const;

    // The most `readData` reads unless told otherwise: far above any property list, image or page
    // the system reads, far below what would strain memory.
    static constexpr std::size_t kDefaultReadLimit = std::size_t{16} << 20; // 16 MiB

    // The whole content of a regular file; throws on any failure (a short read included). Anything
    // else at `path` (a named pipe, a device, a directory) is refused without blocking, and so is
    // a file larger than `limit` bytes (NSFileReadTooLargeError), before anything is allocated.
    std::vector<std::uint8_t> readData(const std::string& path,
                                       std::size_t limit = kDefaultReadLimit) const;
    // Nothing instead of throwing.
    std::optional<std::vector<std::uint8_t>> contents(const std::string& atPath,
                                                      std::size_t limit = kDefaultReadLimit) const;

    // Writes `data` to a temporary file in the same folder, flushes it and renames it over
    // `path`: readers see the old content or the new one, never a part. On failure the
    // temporary file is removed, `path` is untouched, and the error is thrown.
    void writeAtomically(const std::string& path, std::span<const std::uint8_t> data) const;

    // Removes a file or an empty directory; throws when that fails.
    void removeItem(const std::string& atPath) const;
};

} // namespace pf
