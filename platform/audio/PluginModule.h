// Plug-in modules: loading a bundle's module and making units through its principal class.
//
// A module is loaded with dlopen once per process (by its canonical path) and never unloaded, so
// code and objects it made stay valid for the life of the process. Its entry point is checked
// before anything of it runs: the exported `pf_audio_plugin_entry` must exist and answer the
// host's ABI version.
//
// A module whose ELF load segments reach beyond the end of its file (an interrupted copy) is
// refused before dlopen, which would map it and crash on the first touch of the missing part.
//
// Threads: [any-thread, not render]. A factory made here may block on the main queue: it must run
// on the main thread itself or on a thread the main run loop does not wait for.
#pragma once

#include <string>

#include "audio/AudioComponent.h"
#include "audio/PluginEntry.h"
#include "core/NSError.h"

namespace pf {

struct AudioComponentBundleInfo;

// An error of NSOSStatusErrorDomain with `status` and a description.
NSError statusError(OSStatus status, std::string description);

// The checked entry of the module at `executablePath`, loading it on first use. Throws
// NSErrorException (NSOSStatusErrorDomain, kAudioUnitErr_ExtensionNotFound) when the module
// cannot be loaded, exports no entry, or answers another ABI version; a failure is remembered.
const PFAudioPluginEntry& loadAudioPluginModule(const std::string& executablePath);

// The factory the registry keeps for a component of `bundle`. Each call loads the module (once),
// then on the main queue makes the principal class and loads its view, then on the calling thread
// asks it for the unit, and gives the unit a view-controller provider that answers the principal's
// view controller on the main queue. The principal object is always released on the main queue,
// also when the unit goes on another thread or the instantiation fails. Throws NSErrorException:
// kAudioUnitErr_ExtensionNotFound for the module, kAudioUnitErr_FailedInitialization for an unknown
// principal class or a factory that made no unit (an NSErrorException of the plug-in's own passes
// through unchanged).
AudioComponentFactory bundledComponentFactory(const AudioComponentBundleInfo& bundle);

} // namespace pf
