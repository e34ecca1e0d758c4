#include "audio/PluginModule.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "audio/AudioComponentBundles.h"
#include "core/Dispatch.h"
#include "core/NSError.h"

namespace pf {
namespace {

struct LoadedModule {
    const PFAudioPluginEntry* entry = nullptr; // null: loading failed with `error`
    std::optional<NSError> error;
};

std::mutex gModulesMutex;
std::map<std::string, LoadedModule> gModules; // by canonical path; entries are never removed

// Why the ELF file at `path` cannot be mapped safely, or nothing. dlopen maps the load segments
// the program headers name; a segment beyond the end of the file (an interrupted copy) is mapped
// anyway and the first touch of it kills the process with SIGBUS, so such a file is refused here.
// Files that are no ELF object at all are left to dlopen, which refuses them with its own reason.
template <typename Header, typename ProgramHeader>
std::optional<std::string> truncation(int fd, std::uint64_t size) {
    Header header{};
    if (size < sizeof header) return "is truncated: its ELF header is incomplete";
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) {
        return "cannot be read";
    }
    if (header.e_phentsize != sizeof(ProgramHeader)) return "has damaged ELF program headers";
    const std::uint64_t tableEnd =
        std::uint64_t{header.e_phoff} + std::uint64_t{header.e_phnum} * sizeof(ProgramHeader);
    if (header.e_phoff > size || tableEnd > size) {
        return "is truncated: its program headers lie beyond the end of the file";
    }
    for (std::uint16_t i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment{};
        const auto at = static_cast<off_t>(header.e_phoff + i * sizeof segment);
        if (::pread(fd, &segment, sizeof segment, at) != static_cast<ssize_t>(sizeof segment)) {
            return "cannot be read";
        }
        if (segment.p_type != PT_LOAD) continue;
        if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) {
            return "is truncated: a load segment ends at byte " +
                   std::to_string(std::uint64_t{segment.p_offset} + segment.p_filesz) +
                   " of a file of " + std::to_string(size) + " bytes";
        }
    }
    return std::nullopt;
}

std::optional<std::string> unmappable(const std::string& path) {
    // Not blocking: a named pipe in the module's place must not stall the host.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::string("cannot be opened: ") + std::strerror(errno);
    struct stat st {};
    std::optional<std::string> why;
    unsigned char ident[EI_NIDENT] = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "is not a regular file";
    } else if (::pread(fd, ident, sizeof ident, 0) == static_cast<ssize_t>(sizeof ident) &&
               std::memcmp(ident, ELFMAG, SELFMAG) == 0) {
        const auto size = static_cast<std::uint64_t>(st.st_size);
        why = ident[EI_CLASS] == ELFCLASS64 ? truncation<Elf64_Ehdr, Elf64_Phdr>(fd, size)
                                            : truncation<Elf32_Ehdr, Elf32_Phdr>(fd, size);
    }
    ::close(fd);
    return why;
}

LoadedModule load(const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        std::fprintf(stderr, "pf: the plug-in module %s is refused: it %s.\n", path.c_str(),
                     why.c_str());
        return LoadedModule{nullptr, statusError(kAudioUnitErr_ExtensionNotFound,
                                                 "The plug-in module '" + path + "' " + why + ".")};
    };
    if (const auto why = unmappable(path)) return refuse(*why);
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        return refuse(std::string("cannot be loaded: ") + (why ? why : "unknown reason"));
    }
    // The module stays loaded even when refused: its static objects may already be in use
    // elsewhere (another bundle holding the same file), and unloading C++ code is not safe.
    const auto function =
        reinterpret_cast<PFAudioPluginEntryFunction>(::dlsym(handle, PF_AUDIO_PLUGIN_ENTRY_SYMBOL));
    if (function == nullptr) return refuse("exports no " PF_AUDIO_PLUGIN_ENTRY_SYMBOL);
    const PFAudioPluginEntry* entry = function();
    if (entry == nullptr || entry->createPrincipal == nullptr) {
        return refuse("answers no entry");
    }
    if (entry->abiVersion != PF_AUDIO_PLUGIN_ABI_VERSION) {
        return refuse("was built for plug-in ABI version " + std::to_string(entry->abiVersion) +
                      ", this host has version " + std::to_string(PF_AUDIO_PLUGIN_ABI_VERSION));
    }
    return LoadedModule{entry, std::nullopt};
}

// The principal object is an interface object: it must go on the main thread, whichever thread
// drops the last reference to the unit or to a failed instantiation. The answer shares ownership
// of `principal` and hands its final release to the main queue.
std::shared_ptr<AUAudioUnitFactory> releasedOnMain(std::shared_ptr<AUAudioUnitFactory> principal) {
    if (!principal) return nullptr;
    AUAudioUnitFactory* const raw = principal.get();
    return std::shared_ptr<AUAudioUnitFactory>(
        raw, [keep = std::move(principal)](AUAudioUnitFactory*) mutable {
            if (DispatchQueue::main().isCurrent()) {
                keep.reset();
            } else {
                DispatchQueue::main().async([last = std::move(keep)] {});
            }
        });
}

} // namespace

NSError statusError(OSStatus status, std::string description) {
    return NSError(NSOSStatusErrorDomain, status,
                   {{NSLocalizedDescriptionKey, std::move(description)}});
}

const PFAudioPluginEntry& loadAudioPluginModule(const std::string& executablePath) {
    std::error_code ignored;
    const std::filesystem::path resolved = std::filesystem::canonical(executablePath, ignored);
    const std::string key = resolved.empty() ? executablePath : resolved.string();
    std::lock_guard lock(gModulesMutex);
    auto it = gModules.find(key);
    if (it == gModules.end()) it = gModules.emplace(key, load(key)).first;
    if (it->second.entry == nullptr) throw NSErrorException(*it->second.error);
    return *it->second.entry;
}

AudioComponentFactory bundledComponentFactory(const AudioComponentBundleInfo& bundle) {
    return [executable = bundle.executablePath, principalClass = bundle.principalClass](
               const AudioComponentDescription& description,
               AudioComponentInstantiationOptions) -> std::shared_ptr<AUAudioUnit> {
        const PFAudioPluginEntry& entry = loadAudioPluginModule(executable);

        // The principal object and its view belong to the main thread; the view is loaded
        // before the unit exists, so the unit's own main-queue work finds it loaded.
        std::shared_ptr<AUAudioUnitFactory> principal;
        std::exception_ptr thrown;
        const auto makePrincipal = [&] {
            try {
                principal = releasedOnMain(entry.createPrincipal(principalClass.c_str()));
                if (principal) principal->loadPrincipalView();
            } catch (...) {
                thrown = std::current_exception();
            }
        };
        if (DispatchQueue::main().isCurrent()) {
            makePrincipal();
        } else {
            DispatchQueue::main().sync(makePrincipal);
        }
        if (thrown) std::rethrow_exception(thrown);
        if (!principal) {
            throw NSErrorException(statusError(kAudioUnitErr_FailedInitialization,
                                               "The plug-in module '" + executable +
                                                   "' has no class '" + principalClass + "'."));
        }

        std::shared_ptr<AUAudioUnit> unit = principal->createAudioUnit(description);
        if (!unit) {
            throw NSErrorException(statusError(kAudioUnitErr_FailedInitialization,
                                               "The plug-in's factory made no audio unit."));
        }
        unit->setViewControllerProvider([principal](AUViewControllerCompletion completion) {
            DispatchQueue::main().async([principal, completion = std::move(completion)] {
                completion(principal->principalViewController());
            });
        });
        return unit;
    };
}

} // namespace pf
