// AVAudioUnitComponent and AVAudioUnitComponentManager: the registry's components as a host
// browses them. `AVAudioUnit::instantiate` (AVAudioNode.h) makes units from them.
//
// Ownership: a component object refers to a registry record, which lives as long as its
// registry (the shared registry: the whole process).
// Threads: [any-thread, not render]. A query may scan plug-in bundles the first time (file reads
// only).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioComponent.h"

namespace pf {

class AVAudioUnitComponent {
public:
    explicit AVAudioUnitComponent(AudioComponent component) : component_(component) {}

    AudioComponent audioComponent() const noexcept { return component_; }
    // The description as registered: a plug-in's flags included, mask 0.
    AudioComponentDescription audioComponentDescription() const { return component_->description; }
    // The registered name is "Manufacturer: Name"; these are its two parts (without a ": ", the
    // whole name is the name and the manufacturer's name is empty).
    std::string name() const;
    std::string manufacturerName() const;
    std::uint32_t version() const noexcept { return component_->version; }

private:
    AudioComponent component_;
};

class AVAudioUnitComponentManager {
public:
    // The manager over the shared registry.
    static AVAudioUnitComponentManager& sharedAudioUnitComponentManager();
    // A manager over `registry`, which must outlive it (tests).
    explicit AVAudioUnitComponentManager(AudioComponentRegistry& registry) : registry_(registry) {}

    // Every component matching `matching`, in the registry's order (built-in units, then plug-in
    // bundles in search order; a newer version of a component before an older one). Matching:
    // type, subtype and manufacturer equal where the query's field is not 0, flags equal under
    // the query's mask.
    std::vector<std::shared_ptr<AVAudioUnitComponent>>
    components(const AudioComponentDescription& matching) const;

private:
    AudioComponentRegistry& registry_;
};

} // namespace pf
