// AUExtensionManager: the container application's link to the plug-in.
//
// Made once by the main screen while its view loads. Construction prints the release-mode note
// and queues the search on the global queue; from there the plug-in's component is looked up,
// the first match instantiated, its context name set, the unit handed to the engine player and
// the delegate told, all on the thread of the instantiation's completion:
//
//     found line, context name, the engine player's connection lines, performed-connection line,
//     delegate onFoundComponent(unit:), the "(yet?)" warning, delegate onEngineInitialized()
//
// Nothing is reported to the delegate unless a unit was made. The manager never stores the unit
// it made (`audioUnit` stays empty, so `presets` is empty and `currentPreset` is none); the engine
// player holds it.
//
// Ownership: held by std::shared_ptr (`make`); the queued search and the instantiation's
// completion keep the manager alive until they have run. The manager owns the engine player and
// holds its delegate strongly, as the main screen holds the manager: clear the delegate to let
// the two go.
// Threads: construction, `togglePlayback()` and `cleanup()` on the main thread; the search on a
// global-queue thread; the rest on the instantiation's completion thread. Fields read across
// threads are guarded by the manager's own mutex, released before any delegate or engine call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AUEnginePlayer.h"
#include "audio/AUAudioUnit.h"
#include "audio/AUAudioUnitPreset.h"
#include "audio/AVAudioNode.h"
#include "audio/AVAudioUnitComponent.h"

namespace pf {
class AUViewController; // the interface layer's; the manager only holds an empty reference
}

// A preset of the unit, read through on every access. Only the manager makes them.
class Preset {
public:
    const std::shared_ptr<pf::AUAudioUnitPreset>& audioUnitPreset() const {
        return audioUnitPreset_;
    }
    std::int64_t number() const { return audioUnitPreset_->number; }
    std::string name() const { return audioUnitPreset_->name; }

private:
    friend class AUExtensionManager;
    explicit Preset(std::shared_ptr<pf::AUAudioUnitPreset> preset)
        : audioUnitPreset_(std::move(preset)) {}

    std::shared_ptr<pf::AUAudioUnitPreset> audioUnitPreset_;
};

class AUExtensionManagerDelegate {
public:
    virtual ~AUExtensionManagerDelegate() = default;
    // The unit has been instantiated and connected into the engine graph.
    virtual void onFoundComponent(std::shared_ptr<pf::AVAudioUnit> unit) = 0;
    // The manager has finished its own step after the connection.
    virtual void onEngineInitialized() = 0;
};

class AUExtensionManager : public std::enable_shared_from_this<AUExtensionManager> {
public:
    // init(delegate:): makes the engine player, sets the fields, stores the delegate and calls
    // loadForRelease(), which queues the search. [main-thread]
    static std::shared_ptr<AUExtensionManager>
    make(std::shared_ptr<AUExtensionManagerDelegate> delegate);

    virtual ~AUExtensionManager() = default;
    AUExtensionManager(const AUExtensionManager&) = delete;
    AUExtensionManager& operator=(const AUExtensionManager&) = delete;

    const std::shared_ptr<AUEnginePlayer> auEngine;
    const std::string componentName = "Qrbn: Orvex Compander Extension";

    std::shared_ptr<AUExtensionManagerDelegate> delegate() const;
    void setDelegate(std::shared_ptr<AUExtensionManagerDelegate> delegate);
    std::shared_ptr<pf::AUAudioUnit> audioUnit() const;
    void setAudioUnit(std::shared_ptr<pf::AUAudioUnit> unit);
    std::shared_ptr<pf::AUViewController> viewController() const;
    void setViewController(std::shared_ptr<pf::AUViewController> controller);
    pf::AudioComponentDescription componentDescription() const;
    void setComponentDescription(const pf::AudioComponentDescription& description);
    // _availableAudioUnits: the answer of the search, every match in the registry's order.
    std::vector<std::shared_ptr<pf::AVAudioUnitComponent>> availableAudioUnits() const;

    // The unit's factory presets, wrapped; empty without a unit or a list.
    std::vector<Preset> presets() const;
    // The unit's current preset, wrapped; none without a unit. Setting does nothing without one.
    std::optional<Preset> currentPreset() const;
    void setCurrentPreset(const std::optional<Preset>& preset);

    // Toggles the engine player; true when it is playing afterwards. [main-thread]
    virtual bool togglePlayback();
    // Finalizes the engine player. Nothing in the application calls it. [main-thread]
    virtual void cleanup();
    // Prints "WARNING: Audio unit is nil (yet?)." when there is no unit.
    virtual void connectParametersToControls();

protected:
    using Completion = std::function<void()>;

    explicit AUExtensionManager(std::shared_ptr<AUExtensionManagerDelegate> delegate);

    // The private steps of the start-up, reachable by a subclass (tests).

    virtual void loadForRelease();
    virtual void selectfoundComponent(std::shared_ptr<pf::AVAudioUnitComponent> component,
                                      Completion completionHandler);
    virtual void log(const pf::AudioComponentDescription& description);
    virtual void selectAudioUnitWithComponentDescription(
        std::optional<pf::AudioComponentDescription> description, Completion completionHandler);
    virtual void onFoundComponent();

private:
    void search();
    void connect(std::shared_ptr<pf::AVAudioUnit> unit, Completion completionHandler);

    mutable std::mutex mutex_;
    std::shared_ptr<AUExtensionManagerDelegate> delegate_;
    std::shared_ptr<pf::AUAudioUnit> audioUnit_;
    std::shared_ptr<pf::AUViewController> viewController_;
    pf::AudioComponentDescription componentDescription_;
    std::vector<std::shared_ptr<pf::AVAudioUnitComponent>> availableAudioUnits_;
};
