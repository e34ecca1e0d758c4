#include "audio/AudioComponent.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

#include "audio/AUAudioUnit.h"
#include "audio/AudioComponentBundles.h"

namespace pf {

bool audioComponentMatches(const AudioComponentDescription& component,
                           const AudioComponentDescription& query) noexcept {
    const auto fieldMatches = [](OSType have, OSType want) { return want == 0 || have == want; };
    return fieldMatches(component.componentType, query.componentType) &&
           fieldMatches(component.componentSubType, query.componentSubType) &&
           fieldMatches(component.componentManufacturer, query.componentManufacturer) &&
           (component.componentFlags & query.componentFlagsMask) ==
               (query.componentFlags & query.componentFlagsMask);
}

namespace {

bool sameComponent(const AudioComponentDescription& a, const AudioComponentDescription& b) {
    return a.componentType == b.componentType && a.componentSubType == b.componentSubType &&
           a.componentManufacturer == b.componentManufacturer;
}

} // namespace

AudioComponentRegistry::AudioComponentRegistry() {
    registerBuiltInAudioComponents(*this);
}

AudioComponentRegistry& AudioComponentRegistry::shared() {
    static AudioComponentRegistry registry;
    static const bool scansBundles = (addBundledAudioComponentSources(registry), true);
    (void)scansBundles;
    return registry;
}

AudioComponent AudioComponentRegistry::registerComponent(AudioComponentDescription description,
                                                         std::string name, std::uint32_t version,
                                                         AudioComponentFactory factory) {
    auto record = std::make_unique<AudioComponentRecord>(
        AudioComponentRecord{description, std::move(name), version, std::move(factory)});
    const AudioComponent handle = record.get();
    std::lock_guard lock(mutex_);
    // A newer version of the same component comes before the older one, so it is found first.
    const auto older = std::find_if(records_.begin(), records_.end(), [&](const auto& other) {
        return sameComponent(other->description, description) && other->version < version;
    });
    records_.insert(older, std::move(record));
    return handle;
}

void AudioComponentRegistry::addComponentSource(ComponentSource source) {
    if (!source) return;
    std::lock_guard lock(mutex_);
    pendingSources_.push_back(std::move(source));
}

void AudioComponentRegistry::runPendingSources() {
    // Called with the mutex held; a source may register (recursive mutex) or add sources.
    while (!pendingSources_.empty()) {
        auto source = std::move(pendingSources_.front());
        pendingSources_.erase(pendingSources_.begin());
        source(*this);
    }
}

std::vector<AudioComponent>
AudioComponentRegistry::components(const AudioComponentDescription& query) {
    std::lock_guard lock(mutex_);
    runPendingSources();
    std::vector<AudioComponent> found;
    for (const auto& record : records_) {
        if (audioComponentMatches(record->description, query)) found.push_back(record.get());
    }
    return found;
}

AudioComponent AudioComponentRegistry::findNext(AudioComponent previous,
                                                const AudioComponentDescription& query) {
    std::lock_guard lock(mutex_);
    runPendingSources();
    bool searching = previous == nullptr;
    for (const auto& record : records_) {
        if (!searching) {
            searching = record.get() == previous;
            continue;
        }
        if (audioComponentMatches(record->description, query)) return record.get();
    }
    return nullptr;
}

AudioComponent AudioComponentFindNext(AudioComponent previous,
                                      const AudioComponentDescription& query) {
    return AudioComponentRegistry::shared().findNext(previous, query);
}

std::uint32_t AudioComponentCount(const AudioComponentDescription& query) {
    return static_cast<std::uint32_t>(AudioComponentRegistry::shared().components(query).size());
}

// ---- Instance handles, AudioUnitSetParameter / AudioUnitGetParameter ----------------------------

namespace {

std::mutex& handlesMutex() {
    static std::mutex mutex;
    return mutex;
}

// Never destroyed: a unit released on another thread while the process exits still unregisters.
std::unordered_set<AudioUnit>& liveHandles() {
    static auto* const handles = new std::unordered_set<AudioUnit>;
    return *handles;
}

std::shared_ptr<AUAudioUnit> unitOf(AudioUnit handle) {
    std::lock_guard lock(handlesMutex());
    if (!liveHandles().contains(handle)) return nullptr;
    return handle->unit.lock();
}

OSStatus findParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                       AudioUnitElement element, std::shared_ptr<AUParameter>& out) {
    const auto au = unitOf(unit);
    if (!au) return kAudio_ParamError;
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
    if (element != 0) return kAudioUnitErr_InvalidElement;
    const auto tree = au->parameterTree();
    out = tree ? tree->parameterWithAddress(id) : nullptr;
    return out ? noErr : kAudioUnitErr_InvalidParameter;
}

} // namespace

void detail::registerInstanceHandle(AudioUnit handle) {
    std::lock_guard lock(handlesMutex());
    liveHandles().insert(handle);
}

void detail::unregisterInstanceHandle(AudioUnit handle) {
    std::lock_guard lock(handlesMutex());
    liveHandles().erase(handle);
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AUValue value,
                               std::uint32_t /*bufferOffsetFrames*/) {
    std::shared_ptr<AUParameter> parameter;
    if (const OSStatus status = findParameter(unit, id, scope, element, parameter)) return status;
    if (std::isnan(value)) return kAudioUnitErr_InvalidParameterValue;
    parameter->setValue(value);
    return noErr;
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AUValue* outValue) {
    if (outValue == nullptr) return kAudio_ParamError;
    std::shared_ptr<AUParameter> parameter;
    if (const OSStatus status = findParameter(unit, id, scope, element, parameter)) return status;
    *outValue = parameter->value();
    return noErr;
}

} // namespace pf
