// Plug-in bundles as a source of audio components.
//
// A plug-in bundle is a folder `<Name>.appex` laid out as
//
//     <Name>.appex/Info.plist
//     <Name>.appex/MacOS/<CFBundleExecutable>        the module, exporting pf_audio_plugin_entry
//     <Name>.appex/Resources/...                     found by the module's own Bundle::main()
//
// and its Info.plist names the module and the components it provides:
//
//     CFBundleExecutable               string, the module's file name in MacOS/
//     NSExtension
//       NSExtensionPrincipalClass      string, the class the entry point makes
//       NSExtensionAttributes
//         AudioComponents              array of dictionaries, at least one:
//           type, subtype, manufacturer   exactly four printable ASCII characters each
//           name                          string, "Manufacturer: Unit name"
//           version                       integer, 0 to 4294967295
//           sandboxSafe                   boolean, optional: true registers flags 2
//
// The registry looks in the application's `PlugIns` folder and then in each folder of
// `PF_AUDIO_COMPONENT_PATH` (colon-separated), in that order; inside a folder, bundles in the
// byte order of their names. A bundle that cannot be read is skipped whole, with one line on
// standard error. Scanning reads files only: no module is loaded until a unit is instantiated.
//
// Threads: [any-thread, not render].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio/AudioComponent.h"

namespace pf {

// kAudioComponentFlag_SandboxSafe: registered for a component whose entry says sandboxSafe.
inline constexpr std::uint32_t kAudioComponentFlag_SandboxSafe = 2;

struct AudioComponentBundleEntry {
    AudioComponentDescription description; // flags as registered, mask 0
    std::string name;
    std::uint32_t version = 0;
};

struct AudioComponentBundleInfo {
    std::string bundlePath;
    std::string executablePath;
    std::string principalClass;
    std::vector<AudioComponentBundleEntry> components;
};

// Reads one bundle. Nothing, with the reason in `whyNot`, when it is not a usable plug-in bundle.
std::optional<AudioComponentBundleInfo> readAudioComponentBundle(const std::string& bundlePath,
                                                                 std::string& whyNot);

// Every usable bundle of `folders`, in search order; broken ones are reported on standard error.
// A missing folder holds nothing; a bundle reached twice is read once.
std::vector<AudioComponentBundleInfo>
scanAudioComponentFolders(const std::vector<std::string>& folders);

// The folders to search: `<applicationBundlePath>/PlugIns` when an application bundle is given,
// then the folders of PF_AUDIO_COMPONENT_PATH (empty items skipped).
std::vector<std::string>
audioComponentSearchFolders(const std::optional<std::string>& applicationBundlePath);

// The bundle folder of the running executable when it is `X.app/MacOS/<file>`; otherwise nothing.
std::optional<std::string> runningApplicationBundlePath();

// Registers the components of `bundles` with factories that load their modules on first use.
void registerAudioComponentBundles(AudioComponentRegistry& registry,
                                   const std::vector<AudioComponentBundleInfo>& bundles);

// A registry source that scans `folders` when it runs.
AudioComponentRegistry::ComponentSource
audioComponentBundleSource(std::vector<std::string> folders);

// Adds the source over the running application's folders; the shared registry does this itself.
void addBundledAudioComponentSources(AudioComponentRegistry& registry);

} // namespace pf
