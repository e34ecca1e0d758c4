// The controller's construction, factory, unit binding, parameter connection, life cycle and
// meter refresh.
#include "AudioUnitViewController.h"

#include <cstdio>
#include <cstdlib>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "core/Timer.h"

using pf::Console;

namespace {
constexpr double kMeterInterval = 0.04; // seconds: 25 refreshes a second
constexpr int kBypassParameter = 7;
} // namespace

AudioUnitViewController::AudioUnitViewController(std::optional<std::string> nibName,
                                                 const pf::Bundle* bundle)
    : pf::AUViewController(std::move(nibName), bundle) {}

AudioUnitViewController::~AudioUnitViewController() {
    // A closed plug-in stops polling and leaves nothing behind on its unit's tree.
    if (timer_) timer_->invalidate();
    if (parameterObserverToken)
        if (const auto tree = observedTree_.lock())
            tree->removeParameterObserver(*parameterObserverToken);
}

std::shared_ptr<AudioUnitViewController> AudioUnitViewController::self() {
    return std::static_pointer_cast<AudioUnitViewController>(shared_from_this());
}

std::shared_ptr<pf::AUAudioUnitFactory> makeOrvexPrincipal(const char* className) {
    if (!className || std::string(className) != AudioUnitViewController::kClassName) return nullptr;
    return AudioUnitViewController::make();
}

// ---- Panel delegate -----------------------------------------------------------------------------

void AudioUnitViewController::onOrvexCompressorViewParameter(int address, float value) {
    if (const auto unit = audioUnit())
        unit->setParameter(static_cast<std::int32_t>(address), value);
}

void AudioUnitViewController::onOrvexCompressorViewOption(int, float) {}

// ---- Factory ------------------------------------------------------------------------------------

std::shared_ptr<pf::AUAudioUnit>
AudioUnitViewController::createAudioUnit(const pf::AudioComponentDescription& with) {
    auto unit = Orvex_Compander_Extension_AudioUnit::create(with, 0);
    setAudioUnit(unit);
    return unit;
}

std::shared_ptr<pf::AUAudioUnit> AudioUnitViewController::createAudioUnitWithComponentDescription(
    const pf::AudioComponentDescription& description, std::optional<pf::NSError>* error) {
    try {
        return createAudioUnit(description);
    } catch (const pf::NSErrorException& e) {
        if (error) *error = e.error();
        return nullptr;
    }
}

// ---- The unit -----------------------------------------------------------------------------------

std::shared_ptr<Orvex_Compander_Extension_AudioUnit> AudioUnitViewController::audioUnit() const {
    std::lock_guard lock(unitMutex_);
    return audioUnit_;
}

void AudioUnitViewController::setAudioUnit(
    std::shared_ptr<Orvex_Compander_Extension_AudioUnit> unit) {
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(unitMutex_);
        audioUnit_ = std::move(unit);
        generation = ++assignments_;
    }
    Console::printLine("AU Diagnostics: AUAudioUnit::didSet()");
    pf::RunLoop::main().perform(
        [strong = self(), generation] { strong->connectIfLoaded(generation); });
}

void AudioUnitViewController::connectIfLoaded(std::uint64_t generation) {
    if (!isViewLoaded()) {
        Console::printLine("AU Diagnostics: WARNING: Plugin view is not loaded.");
        connectionPending_ = true; // viewDidLoad makes the connection
        return;
    }
    // viewDidLoad may have connected this assignment (or a later one) already.
    if (generation <= connectedAssignment_) return;
    connectedAssignment_ = generation;
    connectionPending_ = false;
    Console::printLine(
        "AU Diagnostics: We are about to connect the audio unit to its view controller.");
    if (mainView) mainView->setViewController(self());
    setPaths();
    connectParameters();
    updateView();
}

void AudioUnitViewController::setPaths() {
    if (!audioUnit()) {
        Console::printLine("Error: could not set paths, audio unit is nil.");
        return;
    }
    const auto documents = pf::FileManager::defaultManager().urls(
        pf::FileManager::SearchPathDirectory::documentDirectory,
        pf::FileManager::SearchPathDomainMask::userDomainMask);
    Console::printLine("Audio Unit's documents path is: " +
                       (documents.empty() ? std::string() : documents.front().path()));
    const auto& resources = pf::Bundle::main().resourceURL();
    Console::printLine("Audio Unit's resources path is: " +
                       (resources ? resources->path() : std::string()));
}

void AudioUnitViewController::connectParameters() {
    const auto unit = audioUnit();
    if (!unit) {
        Console::printLine("AU Diagnostics: WARNING: The audio unit is nil.");
        return;
    }
    Console::printLine("AU Diagnostics: Retriving parameters from the audio unit: ");
    parameterTree = unit->parameterTree();
    if (!parameterTree) {
        Console::printLine(
            "AU Diagnostics: Retriving the parameter tree from the audio unit failed.");
        return;
    }
    Console::printLine("ExtensionViewController: Extracting at the parameter tree: ");
    extractParameters("parameterTree", parameterTree, 0);
    parameters = parameterTree->allParameters();

    // One observer at a time: the previous one goes first, from the tree it was added to.
    if (parameterObserverToken)
        if (const auto old = observedTree_.lock())
            old->removeParameterObserver(*parameterObserverToken);
    parameterObserverToken.reset();
    std::weak_ptr<AudioUnitViewController> weak = self();
    const auto token = parameterTree->tokenByAddingParameterObserver(
        [weak](pf::AUParameterAddress address, pf::AUValue value) {
            auto strong = weak.lock();
            if (!strong) {
                Console::printLine("AU Diagnostics: The strong self shit is nil.");
                return;
            }
            // The main queue takes the only reference, so the controller is released there.
            pf::RunLoop::main().perform([strong = std::move(strong), address, value] {
                if (strong->mainView)
                    strong->mainView->setParameter(static_cast<int>(address), value);
            });
        });
    if (token == 0) {
        Console::printLine("ERROR: Could not initialize parameter observer.");
        return;
    }
    parameterObserverToken = token;
    observedTree_ = parameterTree;
    Console::printLine("AU Diagnostics: Connected parameters to the plugins interface.");
}

void AudioUnitViewController::updateView() {
    if (!audioUnit() || !mainView) return;
    for (const auto& parameter : parameters)
        mainView->setParameter(static_cast<int>(parameter->address()), parameter->value());
}

// ---- View life cycle ----------------------------------------------------------------------------

namespace {
template <typename T> T& outlet(const std::shared_ptr<T>& p, const char* name) {
    if (!p) {
        std::fprintf(stderr, "AudioUnitViewController: the outlet %s is not connected\n", name);
        std::abort();
    }
    return *p;
}
} // namespace

void AudioUnitViewController::viewDidLoad() {
    pf::AUViewController::viewDidLoad();
    outlet(mainView, "mainView").setDelegate(self());
    mainView->setViewController(self());
    currentView = pluginView;
    outlet(currentView, "pluginView").setHidden(false);

    std::weak_ptr<AudioUnitViewController> weak = self();
    if (timer_) timer_->invalidate();
    timer_ = pf::Timer::scheduledTimer(kMeterInterval, true, [weak](pf::Timer& t) {
        if (const auto strong = weak.lock()) strong->onTimer(t);
    });
    if (!audioUnit())
        Console::printLine(
            "AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?).");
    if (connectionPending_) {
        std::uint64_t generation = 0;
        {
            std::lock_guard lock(unitMutex_);
            generation = assignments_;
        }
        connectIfLoaded(generation);
    }
}

void AudioUnitViewController::viewDidLayoutSubviews() {
    pf::AUViewController::viewDidLayoutSubviews();
    if (!lockAutoLayout && currentView) centerpluginView();
}

// ---- Meter refresh ------------------------------------------------------------------------------

bool AudioUnitViewController::isViewVisible(const pf::UIView& view) const {
    if (!view.window()) return false;
    for (const pf::UIView* current = &view;; current = current->superview()) {
        const pf::UIView* super = current->superview();
        if (!super) return true;
        if (!current->frame().intersects(super->bounds())) return false;
        if (current->isHidden()) return false;
    }
}

void AudioUnitViewController::onTimer(pf::Timer&) {
    const auto unit = audioUnit();
    if (!unit) {
        Console::printLine("WARNING: The Audio unit is not initialized.");
        return;
    }
    if (unit->shouldBypassEffect()) return;
    if (!mainView || !isViewVisible(*mainView)) return;
    if (!(unit->getParameter(kBypassParameter) == 0.0f)) return; // NaN counts as set
    const float value1 = unit->getDynamicsValue1();
    const float value2 = unit->getDynamicsValue2();
    outlet(displayView, "displayView").setCompressionValues(value1, value2);
    const float value3 = unit->getPeakValue1();
    const float value4 = unit->getPeakValue2();
    displayView->setOutputValues(value3, value4);
}
