// The one symbol a plug-in module exports.
//
// A plug-in bundle's module is built with hidden visibility and linked with the version script
// PluginExports.map, so it exports exactly one C function, `pf_audio_plugin_entry` (and no
// template instantiation of the standard library either), which answers a static
// `PFAudioPluginEntry`. The host loads the module
// with dlopen (once per process, never unloaded), looks the symbol up, and refuses the module
// unless `abiVersion` equals the host's `PF_AUDIO_PLUGIN_ABI_VERSION`.
//
// The version covers everything the two sides exchange across the boundary: this structure,
// `AUAudioUnitFactory`, `AUAudioUnit` and the types they pass, all of them C++ types of the
// shared platform layer. Raise it whenever one of them changes its layout or its virtual table.
//
// A plug-in defines its entry with the macro, naming a function that makes its principal class:
//
//     std::shared_ptr<pf::AUAudioUnitFactory> makePrincipal(const char* className);
//     PF_AUDIO_PLUGIN_ENTRY(makePrincipal)
//
// `createPrincipal` is called on the main thread with the NSExtensionPrincipalClass of the
// bundle's Info.plist and answers null for a name the module does not know. It may throw
// NSErrorException.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/AUAudioUnitFactory.h"

#define PF_AUDIO_PLUGIN_ABI_VERSION 1u
#define PF_AUDIO_PLUGIN_ENTRY_SYMBOL "pf_audio_plugin_entry"

extern "C" {

struct PFAudioPluginEntry {
    std::uint32_t abiVersion;
    std::shared_ptr<pf::AUAudioUnitFactory> (*createPrincipal)(const char* className);
};

using PFAudioPluginEntryFunction = const PFAudioPluginEntry* (*)();

} // extern "C"

#define PF_AUDIO_PLUGIN_ENTRY(createPrincipalFunction)                                             \
    extern "C" [[gnu::visibility("default")]] const PFAudioPluginEntry* pf_audio_plugin_entry() {  \
        static const PFAudioPluginEntry entry{PF_AUDIO_PLUGIN_ABI_VERSION,                         \
                                              (createPrincipalFunction)};                          \
        return &entry;                                                                             \
    }
