// Audio components: their descriptions, the process-wide registry that finds them, and the
// instance handle that `AudioUnitSetParameter` / `AudioUnitGetParameter` take.
//
// The registry holds the built-in components (registered in code on first use) and whatever the
// component sources added through `addComponentSource` contribute; sources run once, lazily,
// before the next query after they were added. Bundle scanning plugs in there.
//
// Threads: [any-thread]. The registry serialises itself with a mutex; it is never used on the
// render thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/AUParameters.h"
#include "audio/CoreAudioTypes.h"

namespace pf {

class AUAudioUnit;

using OSType = std::uint32_t;

// The four characters read as a big-endian number: fourCharCode("aufx") == 0x61756678.
constexpr OSType fourCharCode(const char (&code)[5]) {
    return (OSType(std::uint8_t(code[0])) << 24) | (OSType(std::uint8_t(code[1])) << 16) |
           (OSType(std::uint8_t(code[2])) << 8) | OSType(std::uint8_t(code[3]));
}

struct AudioComponentDescription {
    OSType componentType = 0;
    OSType componentSubType = 0;
    OSType componentManufacturer = 0;
    std::uint32_t componentFlags = 0;
    std::uint32_t componentFlagsMask = 0;

    friend bool operator==(const AudioComponentDescription&,
                           const AudioComponentDescription&) = default;
};

// Does `component` answer the query `query`? Type, subtype and manufacturer must be equal where
// the query's field is not 0; the flags are compared under the query's mask only.
bool audioComponentMatches(const AudioComponentDescription& component,
                           const AudioComponentDescription& query) noexcept;

using AudioComponentInstantiationOptions = std::uint32_t;
inline constexpr AudioComponentInstantiationOptions kAudioComponentInstantiation_LoadOutOfProcess =
    1;
inline constexpr AudioComponentInstantiationOptions kAudioComponentInstantiation_LoadInProcess = 2;

// Creates a unit for a description; may throw `NSErrorException`. [any-thread, not render]
using AudioComponentFactory = std::function<std::shared_ptr<AUAudioUnit>(
    const AudioComponentDescription&, AudioComponentInstantiationOptions)>;

// One registered component. The registry owns it for the life of the process; its address is the
// `AudioComponent` handle.
struct AudioComponentRecord {
    AudioComponentDescription description;
    std::string name; // "Manufacturer: Unit name", as the platform shows it
    std::uint32_t version = 0;
    AudioComponentFactory factory;
};
using AudioComponent = const AudioComponentRecord*;

class AudioComponentRegistry {
public:
    // The process's registry; the built-in components are registered on first use.
    static AudioComponentRegistry& shared();

    // Registers a component and returns its handle. Components are found in registration order,
    // except that a higher version of the same type/subtype/manufacturer comes before a lower
    // one (both stay registered).
    AudioComponent registerComponent(AudioComponentDescription description, std::string name,
                                     std::uint32_t version, AudioComponentFactory factory);

    // Every component that matches `query`, in registration order.
    std::vector<AudioComponent> components(const AudioComponentDescription& query);
    // The first match after `previous` (null: from the start), or null.
    AudioComponent findNext(AudioComponent previous, const AudioComponentDescription& query);

    // Adds a source of components (bundle scanning); it runs once before the next query.
    using ComponentSource = std::function<void(AudioComponentRegistry&)>;
    void addComponentSource(ComponentSource source);

    // A fresh registry holding only the built-in components (tests use their own).
    AudioComponentRegistry();
    AudioComponentRegistry(const AudioComponentRegistry&) = delete;
    AudioComponentRegistry& operator=(const AudioComponentRegistry&) = delete;

private:
    void runPendingSources();

    std::recursive_mutex mutex_; // a source registers while the registry runs it
    std::vector<std::unique_ptr<AudioComponentRecord>> records_;
    std::vector<ComponentSource> pendingSources_;
};

// The platform's C entry points over the shared registry.
AudioComponent AudioComponentFindNext(AudioComponent previous,
                                      const AudioComponentDescription& query);
std::uint32_t AudioComponentCount(const AudioComponentDescription& query);

// Registers the units that the platform layer itself provides (defined with those units).
void registerBuiltInAudioComponents(AudioComponentRegistry& registry);

// ---- Component instances ------------------------------------------------------------------

// The handle of a live component instance: what `AVAudioUnit::audioUnit()` answers. Handles are
// known to the registry while their unit lives, so a call through the handle of a unit that is
// gone fails with kAudio_ParamError instead of reaching freed memory.
struct OpaqueAudioComponentInstance {
    std::weak_ptr<AUAudioUnit> unit;
};
using AudioUnit = OpaqueAudioComponentInstance*;

namespace detail {
// For AUAudioUnit: a handle becomes valid when issued and invalid when its unit goes.
void registerInstanceHandle(AudioUnit handle);
void unregisterInstanceHandle(AudioUnit handle);
} // namespace detail

using AudioUnitParameterID = std::uint32_t;
using AudioUnitScope = std::uint32_t;
using AudioUnitElement = std::uint32_t;
inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;
inline constexpr AudioUnitScope kAudioUnitScope_Input = 1;
inline constexpr AudioUnitScope kAudioUnitScope_Output = 2;

// Sets parameter `id` (its tree address) of the unit. Our units keep their parameters in global
// scope, element 0. [any-thread, not render]
// Status: noErr; kAudio_ParamError for a null or dead handle; kAudioUnitErr_InvalidScope for a
// scope other than global; kAudioUnitErr_InvalidElement for an element other than 0;
// kAudioUnitErr_InvalidParameter when the unit's tree has no parameter `id`;
// kAudioUnitErr_InvalidParameterValue for a NaN. Range handling is the unit's (ours clamp).
// `bufferOffsetFrames` is accepted and ignored: the value applies from the next cycle.
OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AUValue value,
                               std::uint32_t bufferOffsetFrames);
// Reads parameter `id` into `*outValue`; the same statuses, plus kAudio_ParamError for a null
// `outValue`.
OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AUValue* outValue);

} // namespace pf
