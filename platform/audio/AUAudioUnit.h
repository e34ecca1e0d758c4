// AUAudioUnit: the base class of every audio unit, our own and the plug-in's.
//
// Construction is two-phase, as on the platform: a derived constructor first does its own steps
// (its kernel, its parameter tree, its buses), then calls `initWithComponentDescription`, which
// records the description and the registered component's name and version. Units are always
// held by `std::shared_ptr` (render blocks and instance handles refer back to them).
//
// Life cycle, a checked state machine:
//
//     constructed ──initWithComponentDescription──▶ initialized ◀──deallocate── allocated
//                                                        └──allocateRenderResources──▶ ┘
//
// `allocateRenderResources` in `initialized` or `allocated` (a second allocation is allowed and
// repeats the work); `deallocateRenderResources` and `reset` in `initialized` or `allocated`.
// Any of them before `initWithComponentDescription`, or on the render thread, is misuse, reported
// through checkFailed(); the call then changes nothing.
// An override of the three calls the base implementation, which performs the transition and
// nothing else (it reads no property of the unit).
// `renderBlock()` answers kAudioUnitErr_Uninitialized for a cycle while the unit is not allocated,
// without calling the unit.
//
// Scheduled events: `scheduleParameterBlock` (every unit) and `scheduleMIDIEventBlock` (units of
// the types that take MIDI: music devices, music effects, MIDI processors) queue events from any
// thread without a lock; each cycle of `renderBlock()` that renders frames hands the events due in
// it, in time order, to the internal render block as its event list. Their sample times are those
// of the time stamps the unit is rendered with (an engine counts them from 0 at the unit's
// allocation). Events scheduled while the unit has no render resources are dropped; the queue
// holds AUScheduledEventQueue::kRingCapacity events on their way and kWaitingCapacity waiting for
// a later cycle, and refuses more: the new event when the ring is full, the latest in time when
// the waiting list is (events due in a cycle never wait). `scheduledEventCounts` tells what
// became of every event.
//
// Threads: properties and the life cycle are [main-thread] or any one host thread at a time,
// never concurrently with each other; `shouldBypassEffect`, `maximumFramesToRender` and the
// allocation state are atomics the render thread may read. Render blocks run on the
// [render-thread]: no allocation, no lock, no exception.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/AUAudioUnitBus.h"
#include "audio/AUAudioUnitPreset.h"
#include "audio/AUBlocks.h"
#include "audio/AUParameters.h"
#include "audio/AUScheduledEvents.h"
#include "audio/AudioComponent.h"
#include "audio/CoreAudioTypes.h"
#include "core/NSError.h"
#include "core/PropertyList.h"

namespace pf {

class UIViewController; // defined by the interface layer; the audio layer only passes it along

// The block a host calls to render a unit: the internal render block without the event list.
using AURenderBlock = Block<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
    AUAudioFrameCount frameCount, NSInteger outputBusNumber, AudioBufferList* outputData,
    const AURenderPullInputBlock& pullInputBlock)>;

// A view configuration a host offers: a size and whether it hosts controllers.
struct AUAudioUnitViewConfiguration {
    double width = 0;
    double height = 0;
    bool hostHasController = false;
};

using AUViewControllerCompletion = std::function<void(std::shared_ptr<UIViewController>)>;
// Delivers the unit's view controller (or null) to the completion, on the main queue.
using AUViewControllerProvider = std::function<void(AUViewControllerCompletion)>;

class AUAudioUnit : public std::enable_shared_from_this<AUAudioUnit> {
public:
    enum class LifeCycle { constructed, initialized, allocated };

    virtual ~AUAudioUnit();
    AUAudioUnit(const AUAudioUnit&) = delete;
    AUAudioUnit& operator=(const AUAudioUnit&) = delete;

    // ---- Identity --------------------------------------------------------------------------
    const AudioComponentDescription& componentDescription() const { return description_; }
    // The registered component of the description, or null when none is registered.
    AudioComponent component() const { return component_; }
    // "Manufacturer: Name" as registered; absent for an unregistered description.
    std::optional<std::string> componentName() const;
    // The part after ": " (the whole name when there is none), and the part before it.
    std::optional<std::string> audioUnitName() const;
    std::optional<std::string> manufacturerName() const;
    virtual std::optional<std::string> audioUnitShortName() const { return std::nullopt; }
    std::uint32_t componentVersion() const;
    // The handle `AudioUnitSetParameter` takes for this unit (owned by the unit).
    AudioUnit audioUnitHandle();

    std::optional<std::string> contextName() const { return contextName_; }
    void setContextName(std::optional<std::string> name) { contextName_ = std::move(name); }

    // ---- Render configuration --------------------------------------------------------------
    // Default 1156 frames, as on the platform; a derived unit may keep its own copy in sync by
    // overriding the setter and calling the base (the render block checks the stored value).
    virtual AUAudioFrameCount maximumFramesToRender() const;
    virtual void setMaximumFramesToRender(AUAudioFrameCount frames);
    virtual bool shouldBypassEffect() const;
    virtual void setShouldBypassEffect(bool bypass);
    virtual NSInteger renderQuality() const { return renderQuality_; }
    virtual void setRenderQuality(NSInteger quality) { renderQuality_ = quality; }
    bool isRenderingOffline() const { return renderingOffline_; }
    void setRenderingOffline(bool offline) { renderingOffline_ = offline; }

    // Empty arrays unless the derived unit publishes its own.
    virtual std::shared_ptr<AUAudioUnitBusArray> inputBusses();
    virtual std::shared_ptr<AUAudioUnitBusArray> outputBusses();
    // Asked before a bus of this unit takes a new format; the base accepts every valid one.
    virtual bool shouldChangeToFormat(const AVAudioFormat& format, const AUAudioUnitBus& bus);

    virtual std::shared_ptr<AUParameterTree> parameterTree();
    virtual void setParameterTree(std::shared_ptr<AUParameterTree> tree);
    virtual std::vector<NSInteger> parametersForOverview(NSInteger count);
    virtual bool allParameterValues() const { return false; }

    // ---- Fixed answers a derived unit may replace ---------------------------------------------
    virtual bool isMusicDeviceOrEffect() const { return false; }
    virtual NSInteger virtualMIDICableCount() const { return 0; }
    virtual std::vector<std::string> MIDIOutputNames() const { return {}; }
    virtual NSInteger MIDIOutputBufferSizeHint() const { return midiOutputBufferSizeHint_; }
    virtual bool canPerformInput() const { return false; }
    virtual bool canPerformOutput() const { return false; }
    virtual bool canProcessInPlace() const { return false; }
    virtual std::optional<std::vector<NSInteger>> channelCapabilities() const {
        return std::nullopt;
    }
    virtual std::optional<std::vector<NSInteger>> channelMap() const { return channelMap_; }
    virtual void setChannelMap(std::optional<std::vector<NSInteger>> map) {
        channelMap_ = std::move(map);
    }
    // The indexes of `configurations` the unit supports; the base supports all of them.
    virtual std::set<NSUInteger>
    supportedViewConfigurations(const std::vector<AUAudioUnitViewConfiguration>& configurations);
    virtual double latency() const { return 0.0; }
    virtual double tailTime() const { return 0.0; }
    virtual bool providesUserInterface() const { return false; }
    virtual bool supportsMPE() const { return false; }

    // ---- Host blocks ---------------------------------------------------------------------------
    virtual AUMIDIOutputEventBlock MIDIOutputEventBlock() const { return midiOutputEventBlock_; }
    virtual void setMIDIOutputEventBlock(AUMIDIOutputEventBlock block) {
        midiOutputEventBlock_ = std::move(block);
    }
    AUHostMusicalContextBlock musicalContextBlock() const { return musicalContextBlock_; }
    void setMusicalContextBlock(AUHostMusicalContextBlock block) {
        musicalContextBlock_ = std::move(block);
    }
    AUHostTransportStateBlock transportStateBlock() const { return transportStateBlock_; }
    void setTransportStateBlock(AUHostTransportStateBlock block) {
        transportStateBlock_ = std::move(block);
    }
    // [any-thread] Blocks that queue events for the unit's render cycles (see above). The MIDI
    // block is absent for a unit of a type that takes no MIDI, unless a host installed one.
    AUScheduleParameterBlock scheduleParameterBlock() const { return scheduleParameterBlock_; }
    AUScheduleMIDIEventBlock scheduleMIDIEventBlock() const;
    AUScheduledEventCounts scheduledEventCounts() const { return scheduledEvents_->counts(); }
    void setScheduleMIDIEventBlock(AUScheduleMIDIEventBlock block) {
        scheduleMIDIEventBlock_ = std::move(block);
    }

    // ---- Presets and state ----------------------------------------------------------------------
    // The base state: "type", "subtype", "manufacturer", "version" and "data", a dictionary of
    // every parameter's value keyed by its address in decimal. Setting a state sets the values
    // of the addresses the tree holds and ignores everything else.
    virtual std::optional<PlistDictionary> fullState();
    virtual void setFullState(std::optional<PlistDictionary> state);
    virtual std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>> factoryPresets() {
        return std::vector<std::shared_ptr<AUAudioUnitPreset>>{};
    }
    virtual std::shared_ptr<AUAudioUnitPreset> currentPreset() { return currentPreset_; }
    virtual void setCurrentPreset(std::shared_ptr<AUAudioUnitPreset> preset) {
        currentPreset_ = std::move(preset);
    }
    virtual std::vector<std::shared_ptr<AUAudioUnitPreset>> userPresets() const { return {}; }
    virtual bool supportsUserPresets() const { return false; }
    // The state of `preset`; throws NSErrorException. The base has no preset files and throws
    // kAudioUnitErr_InvalidFilePath.
    virtual PlistDictionary presetState(const AUAudioUnitPreset& preset);

    // ---- Life cycle and rendering
    // ------------------------------------------------------------------
    virtual void allocateRenderResources(); // throws NSErrorException
    virtual void deallocateRenderResources();
    virtual void reset();
    bool renderResourcesAllocated() const;
    LifeCycle lifeCycle() const { return state_.load(std::memory_order_acquire); }

    // The unit's own render block; a new block on every read. The base renders nothing and
    // answers kAudioUnitErr_NoConnection.
    virtual AUInternalRenderBlock internalRenderBlock();
    // [main-thread] The block a host calls. Per cycle it answers kAudioUnitErr_Uninitialized
    // while the unit is not allocated (or gone), kAudio_ParamError for a null list or time stamp,
    // kAudioUnitErr_TooManyFramesToProcess above `maximumFramesToRender`; otherwise it marks the
    // render thread, flushes denormals and calls the internal render block with the scheduled
    // events due in the cycle (for output bus 0; other buses get none).
    AURenderBlock renderBlock();

    // ---- View
    // ------------------------------------------------------------------------------------ Hands
    // the unit's view controller (or null) to `completion` on the main queue.
    void requestViewController(AUViewControllerCompletion completion);
    // Filled in by the registry that instantiated the unit.
    void setViewControllerProvider(AUViewControllerProvider provider) {
        viewControllerProvider_ = std::move(provider);
    }

protected:
    AUAudioUnit();
    // Second phase of construction; throws NSErrorException. The options are recorded only.
    void initWithComponentDescription(const AudioComponentDescription& description,
                                      AudioComponentInstantiationOptions options = 0);
    // For the bus arrays a derived unit builds.
    const AUAudioUnitOwnerAnchor& ownerAnchor() const { return anchor_; }
    // Whether a life-cycle call may run now; misuse is reported through checkFailed(). An
    // override asks first, so that a refused call runs none of its own steps either.
    bool checkTransition(const char* operation) const;

private:
    AUAudioUnitOwnerAnchor anchor_;
    OpaqueAudioComponentInstance handle_;
    AudioComponentDescription description_;
    AudioComponent component_ = nullptr;
    std::optional<std::string> contextName_;
    std::atomic<LifeCycle> state_{LifeCycle::constructed};
    std::atomic<AUAudioFrameCount> maximumFramesToRender_{1156};
    std::atomic<bool> shouldBypassEffect_{false};
    NSInteger renderQuality_ = 127;
    bool renderingOffline_ = false;
    NSInteger midiOutputBufferSizeHint_ = 0;
    std::optional<std::vector<NSInteger>> channelMap_;
    std::shared_ptr<AUParameterTree> parameterTree_;
    std::shared_ptr<AUAudioUnitBusArray> inputBusses_;
    std::shared_ptr<AUAudioUnitBusArray> outputBusses_;
    AUMIDIOutputEventBlock midiOutputEventBlock_;
    AUHostMusicalContextBlock musicalContextBlock_;
    AUHostTransportStateBlock transportStateBlock_;
    AUScheduleMIDIEventBlock scheduleMIDIEventBlock_;
    std::shared_ptr<AUScheduledEventQueue> scheduledEvents_;
    AUScheduleParameterBlock scheduleParameterBlock_;
    AUScheduleMIDIEventBlock ownScheduleMIDIEventBlock_;
    std::shared_ptr<AUAudioUnitPreset> currentPreset_;
    AUViewControllerProvider viewControllerProvider_;
};

} // namespace pf
