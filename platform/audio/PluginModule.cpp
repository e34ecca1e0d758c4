#include "audio/PluginModule.h"

#include <dlfcn.h>

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

LoadedModule load(const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        return LoadedModule{nullptr, statusError(kAudioUnitErr_ExtensionNotFound,
                                                 "The plug-in module '" + path + "' " + why + ".")};
    };
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
