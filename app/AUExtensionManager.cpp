#include "AUExtensionManager.h"

#include <cstdio>
#include <utility>

#include "Extensions.h"
#include "audio/AudioDescriptions.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/ProcessInfo.h"

using pf::Console;

namespace {

// The plug-in's component: a music effect, sandbox-safe; the flags do not count under mask 0.
constexpr pf::AudioComponentDescription kPluginDescription{0x61756D66, // "aumf"
                                                           0x6F727663, // "orvc"
                                                           0x5172626E, // "Qrbn"
                                                           2, 0};

} // namespace

std::shared_ptr<AUExtensionManager>
AUExtensionManager::make(std::shared_ptr<AUExtensionManagerDelegate> delegate) {
    std::shared_ptr<AUExtensionManager> manager(new AUExtensionManager(std::move(delegate)));
    manager->loadForRelease();
    return manager;
}

AUExtensionManager::AUExtensionManager(std::shared_ptr<AUExtensionManagerDelegate> delegate)
    : auEngine(AUEnginePlayer::make()), delegate_(std::move(delegate)),
      componentDescription_(kPluginDescription) {}

// ---- Fields --------------------------------------------------------------------------------

std::shared_ptr<AUExtensionManagerDelegate> AUExtensionManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void AUExtensionManager::setDelegate(std::shared_ptr<AUExtensionManagerDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<pf::AUAudioUnit> AUExtensionManager::audioUnit() const {
    std::lock_guard lock(mutex_);
    return audioUnit_;
}

void AUExtensionManager::setAudioUnit(std::shared_ptr<pf::AUAudioUnit> unit) {
    std::lock_guard lock(mutex_);
    audioUnit_ = std::move(unit);
}

std::shared_ptr<pf::AUViewController> AUExtensionManager::viewController() const {
    std::lock_guard lock(mutex_);
    return viewController_;
}

void AUExtensionManager::setViewController(std::shared_ptr<pf::AUViewController> controller) {
    std::lock_guard lock(mutex_);
    viewController_ = std::move(controller);
}

pf::AudioComponentDescription AUExtensionManager::componentDescription() const {
    std::lock_guard lock(mutex_);
    return componentDescription_;
}

void AUExtensionManager::setComponentDescription(const pf::AudioComponentDescription& description) {
    std::lock_guard lock(mutex_);
    componentDescription_ = description;
}

std::vector<std::shared_ptr<pf::AVAudioUnitComponent>>
AUExtensionManager::availableAudioUnits() const {
    std::lock_guard lock(mutex_);
    return availableAudioUnits_;
}

std::vector<Preset> AUExtensionManager::presets() const {
    std::vector<Preset> result;
    const auto unit = audioUnit();
    if (!unit) return result;
    if (const auto list = unit->factoryPresets()) {
        for (const auto& preset : *list)
            result.push_back(Preset(preset));
    }
    return result;
}

std::optional<Preset> AUExtensionManager::currentPreset() const {
    const auto unit = audioUnit();
    if (!unit) return std::nullopt;
    auto preset = unit->currentPreset();
    if (!preset) return std::nullopt;
    return Preset(std::move(preset));
}

void AUExtensionManager::setCurrentPreset(const std::optional<Preset>& preset) {
    const auto unit = audioUnit();
    if (!unit) return;
    unit->setCurrentPreset(preset ? preset->audioUnitPreset() : nullptr);
}

// ---- Operations ------------------------------------------------------------------------------

bool AUExtensionManager::togglePlayback() {
    return auEngine->toggle();
}

void AUExtensionManager::cleanup() {
    auEngine->finalize();
}

void AUExtensionManager::connectParametersToControls() {
    if (!audioUnit()) Console::printLine("WARNING: Audio unit is nil (yet?).");
}

// ---- Search, instantiation and connection ------------------------------------------------------

void AUExtensionManager::loadForRelease() {
    Console::printLine(
        "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!");
    pf::DispatchQueue::global().async([self = shared_from_this()] { self->search(); });
}

void AUExtensionManager::search() {
    const auto found =
        pf::AVAudioUnitComponentManager::sharedAudioUnitComponentManager().components(
            componentDescription());
    {
        std::lock_guard lock(mutex_);
        availableAudioUnits_ = found;
    }
    if (found.empty()) {
        Console::printLine("ERROR: There were no audio units found.");
        return;
    }
    selectfoundComponent(found.front(), [self = shared_from_this()] { self->onFoundComponent(); });
}

void AUExtensionManager::selectfoundComponent(std::shared_ptr<pf::AVAudioUnitComponent> component,
                                              Completion completionHandler) {
    if (!component) {
        Console::printLine("ERROR: Component is nil.");
        return;
    }
    Console::printLine("AUExtensionManager: Loaded component has following properties.");
    log(component->audioComponentDescription());
    selectAudioUnitWithComponentDescription(component->audioComponentDescription(),
                                            std::move(completionHandler));
}

void AUExtensionManager::log(const pf::AudioComponentDescription& description) {
    const auto& process = pf::ProcessInfo::processInfo();
    Console::printLine("\nProcess Name: " + process.processName() +
                       " PID: " + std::to_string(process.processIdentifier()) + "\n");
    char flags[16];
    std::snprintf(flags, sizeof flags, "%#010x", description.componentFlags);
    Console::printLine("AUExtension (\ntype: " + stringValue(description.componentType) +
                       "\nsubtype: " + stringValue(description.componentSubType) +
                       "\nmanufacturer: " + stringValue(description.componentManufacturer) +
                       "\nflags: " + flags + "\n)");
}

void AUExtensionManager::selectAudioUnitWithComponentDescription(
    std::optional<pf::AudioComponentDescription> description, Completion completionHandler) {
    if (!description) {
        Console::printLine("Error: Component description is nil.");
        return;
    }
    // Empty options: the platform decides where the plug-in runs.
    pf::AVAudioUnit::instantiate(
        *description, 0,
        [self = shared_from_this(), description = *description,
         completion = std::move(completionHandler)](std::shared_ptr<pf::AVAudioUnit> unit,
                                                    std::optional<pf::NSError>) mutable {
            if (!unit || !unit->auAudioUnit()) {
                Console::printLine(pf::description(description));
                Console::printLine("Error: Could not instantiate audio unit.");
                return;
            }
            self->connect(std::move(unit), std::move(completion));
        });
}

void AUExtensionManager::connect(std::shared_ptr<pf::AVAudioUnit> unit,
                                 Completion completionHandler) {
    Console::printLine("AUExtensionManager: Audio unit was found, making connections now ...");
    unit->auAudioUnit()->setContextName("running in distribution host");
    auEngine->connect(
        unit, [self = shared_from_this(), unit, completion = std::move(completionHandler)] {
            Console::printLine("AUExtensionManager: Performed audio unit connection.");
            if (const auto listener = self->delegate()) listener->onFoundComponent(unit);
            completion();
        });
}

void AUExtensionManager::onFoundComponent() {
    connectParametersToControls();
    if (const auto listener = delegate()) listener->onEngineInitialized();
}
