#include "audio/AUAudioUnit.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "audio/ScopedFlushDenormals.h"
#include "core/Check.h"
#include "core/Dispatch.h"
#include "core/RenderThread.h"

namespace pf {

namespace {

std::string_view nameBeforeColon(const std::string& name, bool before) {
    const auto colon = name.find(": ");
    if (colon == std::string::npos) return before ? std::string_view{} : std::string_view{name};
    return before ? std::string_view(name).substr(0, colon)
                  : std::string_view(name).substr(colon + 2);
}

const char* stateText(AUAudioUnit::LifeCycle state) {
    switch (state) {
    case AUAudioUnit::LifeCycle::constructed:
        return "constructed";
    case AUAudioUnit::LifeCycle::initialized:
        return "initialized";
    case AUAudioUnit::LifeCycle::allocated:
        return "allocated";
    }
    return "?";
}

// The cycle's first frame as an event time: truncated toward zero like the kernels' own reading,
// saturated, and 0 for a time stamp that carries no number.
AUEventSampleTime sampleTimeOf(const AudioTimeStamp& timestamp) noexcept {
    constexpr double limit = 0x1p62;
    const double time = timestamp.mSampleTime;
    if (!(time == time)) return 0;
    return static_cast<AUEventSampleTime>(std::clamp(time, -limit, limit));
}

} // namespace

AUAudioUnit::AUAudioUnit()
    : anchor_(std::make_shared<AUAudioUnit* const>(this)),
      scheduledEvents_(std::make_shared<AUScheduledEventQueue>()) {
    // The blocks hold the queue, not the unit: a host may keep them longer than the unit.
    scheduleParameterBlock_ = AUScheduleParameterBlock(
        [events = scheduledEvents_](AUEventSampleTime time, AUAudioFrameCount ramp,
                                    AUParameterAddress address, AUValue value) noexcept {
            AURenderEvent event;
            event.parameter.eventSampleTime = time;
            event.parameter.eventType =
                ramp > 0 ? AURenderEventParameterRamp : AURenderEventParameter;
            event.parameter.rampDurationSampleFrames = ramp;
            event.parameter.parameterAddress = address;
            event.parameter.value = value;
            events->push(event);
        });
    ownScheduleMIDIEventBlock_ = AUScheduleMIDIEventBlock(
        [events = scheduledEvents_](AUEventSampleTime time, std::uint8_t cable, NSInteger length,
                                    const std::uint8_t* bytes) noexcept {
            // A render event carries at most three bytes.
            if (bytes == nullptr || length < 1 || length > 3) {
                events->countRefused();
                return;
            }
            AURenderEvent event;
            event.MIDI.eventSampleTime = time;
            event.MIDI.eventType = bytes[0] == 0xF0 ? AURenderEventMIDISysEx : AURenderEventMIDI;
            event.MIDI.length = static_cast<std::uint16_t>(length);
            event.MIDI.cable = cable;
            std::copy(bytes, bytes + length, event.MIDI.data);
            events->push(event);
        });
}

AUAudioUnit::~AUAudioUnit() {
    detail::unregisterInstanceHandle(&handle_);
}

void AUAudioUnit::initWithComponentDescription(const AudioComponentDescription& description,
                                               AudioComponentInstantiationOptions /*options*/) {
    if (lifeCycle() != LifeCycle::constructed) {
        checkFailed("AUAudioUnit: initWithComponentDescription called twice");
        return;
    }
    description_ = description;
    AudioComponentDescription exact = description;
    exact.componentFlags = 0;
    exact.componentFlagsMask = 0;
    component_ = AudioComponentRegistry::shared().findNext(nullptr, exact);
    state_.store(LifeCycle::initialized, std::memory_order_release);
}

std::optional<std::string> AUAudioUnit::componentName() const {
    if (component_ == nullptr) return std::nullopt;
    return component_->name;
}

std::optional<std::string> AUAudioUnit::audioUnitName() const {
    if (component_ == nullptr) return std::nullopt;
    return std::string(nameBeforeColon(component_->name, false));
}

std::optional<std::string> AUAudioUnit::manufacturerName() const {
    if (component_ == nullptr) return std::nullopt;
    const auto maker = nameBeforeColon(component_->name, true);
    if (maker.empty()) return std::nullopt;
    return std::string(maker);
}

std::uint32_t AUAudioUnit::componentVersion() const {
    return component_ != nullptr ? component_->version : 0;
}

AudioUnit AUAudioUnit::audioUnitHandle() {
    if (handle_.unit.expired()) {
        handle_.unit = weak_from_this();
        detail::registerInstanceHandle(&handle_);
    }
    return &handle_;
}

// ---- Render configuration ---------------------------------------------------------------

AUAudioFrameCount AUAudioUnit::maximumFramesToRender() const {
    return maximumFramesToRender_.load(std::memory_order_relaxed);
}

void AUAudioUnit::setMaximumFramesToRender(AUAudioFrameCount frames) {
    maximumFramesToRender_.store(frames, std::memory_order_relaxed);
}

bool AUAudioUnit::shouldBypassEffect() const {
    return shouldBypassEffect_.load(std::memory_order_relaxed);
}

void AUAudioUnit::setShouldBypassEffect(bool bypass) {
    shouldBypassEffect_.store(bypass, std::memory_order_relaxed);
}

AUScheduleMIDIEventBlock AUAudioUnit::scheduleMIDIEventBlock() const {
    if (scheduleMIDIEventBlock_) return scheduleMIDIEventBlock_;
    const OSType type = description_.componentType;
    const bool takesMIDI = type == fourCharCode("aumu") || type == fourCharCode("aumf") ||
                           type == fourCharCode("aumi");
    return takesMIDI ? ownScheduleMIDIEventBlock_ : AUScheduleMIDIEventBlock();
}

std::shared_ptr<AUAudioUnitBusArray> AUAudioUnit::inputBusses() {
    if (!inputBusses_) {
        inputBusses_ =
            AUAudioUnitBusArray::make(anchor_, AUAudioUnitBusType::AUAudioUnitBusTypeInput, {});
    }
    return inputBusses_;
}

std::shared_ptr<AUAudioUnitBusArray> AUAudioUnit::outputBusses() {
    if (!outputBusses_) {
        outputBusses_ =
            AUAudioUnitBusArray::make(anchor_, AUAudioUnitBusType::AUAudioUnitBusTypeOutput, {});
    }
    return outputBusses_;
}

bool AUAudioUnit::shouldChangeToFormat(const AVAudioFormat&, const AUAudioUnitBus&) {
    return true;
}

std::shared_ptr<AUParameterTree> AUAudioUnit::parameterTree() {
    return parameterTree_;
}

void AUAudioUnit::setParameterTree(std::shared_ptr<AUParameterTree> tree) {
    parameterTree_ = std::move(tree);
}

std::vector<NSInteger> AUAudioUnit::parametersForOverview(NSInteger /*count*/) {
    return {};
}

std::set<NSUInteger> AUAudioUnit::supportedViewConfigurations(
    const std::vector<AUAudioUnitViewConfiguration>& configurations) {
    std::set<NSUInteger> all;
    for (NSUInteger i = 0; i < configurations.size(); ++i)
        all.insert(i);
    return all;
}

// ---- Presets and state --------------------------------------------------------------------

// ---- Presets and state ----------------------------------------------------------------------

std::optional<PlistDictionary> AUAudioUnit::fullState() {
    PlistDictionary state;
    state.set("type", PlistValue(description_.componentType));
    state.set("subtype", PlistValue(description_.componentSubType));
    state.set("manufacturer", PlistValue(description_.componentManufacturer));
    state.set("version", PlistValue(componentVersion()));
    PlistDictionary values;
    if (const auto tree = parameterTree()) {
        for (const auto& parameter : tree->allParameters()) {
            values.set(std::to_string(parameter->address()), PlistValue(parameter->value()));
        }
    }
    state.set("data", PlistValue(std::move(values)));
    return state;
}

void AUAudioUnit::setFullState(std::optional<PlistDictionary> state) {
    const auto tree = parameterTree();
    if (!state || !tree) return;
    const PlistValue* data = state->find("data");
    const PlistDictionary* values = data != nullptr ? data->dictionary() : nullptr;
    if (values == nullptr) return;
    for (const auto& [key, value] : *values) {
        AUParameterAddress address = 0;
        const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), address);
        if (error != std::errc{} || end != key.data() + key.size()) continue;
        const auto parameter = tree->parameterWithAddress(address);
        const auto number = value.number();
        if (parameter && number) parameter->setValue(static_cast<AUValue>(*number));
    }
}

PlistDictionary AUAudioUnit::presetState(const AUAudioUnitPreset& /*preset*/) {
    throw NSErrorException(osStatusError(kAudioUnitErr_InvalidFilePath));
}

// ---- Life cycle ------------------------------------------------------------------------------

bool AUAudioUnit::checkTransition(const char* operation) const {
    if (isRenderThread()) {
        checkFailed(std::string("AUAudioUnit: ") + operation + " on the render thread");
        return false;
    }
    const auto state = lifeCycle();
    if (state == LifeCycle::constructed) {
        checkFailed(std::string("AUAudioUnit: ") + operation + " while " + stateText(state) +
                    " (before initWithComponentDescription)");
        return false;
    }
    return true;
}

void AUAudioUnit::allocateRenderResources() {
    // Only the transition: a derived unit checks its own buses, and reading them here through
    // the virtual accessors would run whatever those accessors do (a plug-in's logs a line).
    if (!checkTransition("allocateRenderResources")) return;
    scheduledEvents_->open();
    state_.store(LifeCycle::allocated, std::memory_order_release);
}

void AUAudioUnit::deallocateRenderResources() {
    if (!checkTransition("deallocateRenderResources")) return;
    state_.store(LifeCycle::initialized, std::memory_order_release);
    scheduledEvents_->close();
}

void AUAudioUnit::reset() {
    checkTransition("reset");
}

bool AUAudioUnit::renderResourcesAllocated() const {
    return lifeCycle() == LifeCycle::allocated;
}

AUInternalRenderBlock AUAudioUnit::internalRenderBlock() {
    return AUInternalRenderBlock([](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                    AUAudioFrameCount, NSInteger, AudioBufferList*,
                                    const AURenderEvent*,
                                    const AURenderPullInputBlock&) noexcept -> AUAudioUnitStatus {
        return kAudioUnitErr_NoConnection;
    });
}

AURenderBlock AUAudioUnit::renderBlock() {
    // The block holds the unit weakly: a host keeps render blocks longer than it keeps units.
    return AURenderBlock(
        [weak = weak_from_this(), internal = internalRenderBlock(), events = scheduledEvents_](
            AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timestamp,
            AUAudioFrameCount frames, NSInteger bus, AudioBufferList* output,
            const AURenderPullInputBlock& pull) noexcept -> AUAudioUnitStatus {
            // Locking a weak pointer is two atomic operations; no allocation.
            const auto unit = weak.lock();
            if (!unit || !unit->renderResourcesAllocated()) return kAudioUnitErr_Uninitialized;
            if (output == nullptr || timestamp == nullptr) return kAudio_ParamError;
            // The stored value, not the virtual getter: nothing a derived unit adds may run here.
            if (frames > unit->maximumFramesToRender_.load(std::memory_order_relaxed)) {
                return kAudioUnitErr_TooManyFramesToProcess;
            }
            RenderThreadScope renderThread;
            ScopedFlushDenormals denormals;
            if (bus != 0) return internal(flags, timestamp, frames, bus, output, nullptr, pull);
            const AURenderEvent* due = events->beginCycle(sampleTimeOf(*timestamp), frames);
            const auto status = internal(flags, timestamp, frames, bus, output, due, pull);
            events->endCycle();
            return status;
        });
}

// ---- View ------------------------------------------------------------------------------------

void AUAudioUnit::requestViewController(AUViewControllerCompletion completion) {
    if (!completion) return;
    if (viewControllerProvider_) {
        viewControllerProvider_(std::move(completion));
        return;
    }
    DispatchQueue::main().async([completion = std::move(completion)] { completion(nullptr); });
}

} // namespace pf
