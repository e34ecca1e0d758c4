#include "AUPeakLimiter.h"

#include <cmath>

#include "Extensions.h"
#include "audio/AudioDescriptions.h"
#include "core/Console.h"
#include "core/SwiftText.h"

namespace {

struct Setting {
    pf::AudioUnitParameterID id;
    double low;
    double high;
};
constexpr Setting kAttack{0, 0.001, 0.03};
constexpr Setting kDecay{1, 0.001, 0.06};
constexpr Setting kPreGain{2, -40.0, 40.0};

// Below the low bound gives the low bound, then above the high bound the high bound. A NaN would
// slip past both tests, so it keeps the previous value.
double pinned(double value, double previous, const Setting& s) {
    if (std::isnan(value)) return previous;
    if (value < s.low) value = s.low;
    if (value > s.high) value = s.high;
    return value;
}

std::string orNone(const std::optional<std::string>& text) {
    return text ? *text : "none";
}

template <class Block> std::string blockText(const Block& block) {
    return block ? "Optional((Function))" : "nil";
}

} // namespace

AUPeakLimiter::AUPeakLimiter() {
    create();
    initialize();
}

void AUPeakLimiter::create() {
    internalEffect = pf::AVAudioUnitEffect::make(cd);
}

pf::AudioUnit AUPeakLimiter::internalAU() const {
    return internalEffect ? internalEffect->audioUnit() : nullptr;
}

std::shared_ptr<pf::AUAudioUnit> AUPeakLimiter::auAudioUnit() const {
    return internalEffect ? internalEffect->auAudioUnit() : nullptr;
}

void AUPeakLimiter::send(pf::AudioUnitParameterID id, double value) const {
    // The status is not examined: a refused value leaves the setting as sent.
    (void)pf::AudioUnitSetParameter(internalAU(), id, pf::kAudioUnitScope_Global, 0,
                                    static_cast<pf::AUValue>(value), 0);
}

void AUPeakLimiter::initialize() {
    if (internalAU() == nullptr) {
        pf::Console::printLine("ERROR: Unit (peak limiter) not initialized.");
        return;
    }
    send(kAttack.id, attackTime_);
    send(kDecay.id, decayTime_);
    send(kPreGain.id, preGain_);
    pf::Console::printLine("System Peak Limiter AudioUnit created and initialized.");
}

void AUPeakLimiter::setAttackTime(double seconds) {
    attackTime_ = pinned(seconds, attackTime_, kAttack);
    if (internalAU() != nullptr) send(kAttack.id, attackTime_);
}

void AUPeakLimiter::setDecayTime(double seconds) {
    decayTime_ = pinned(seconds, decayTime_, kDecay);
    if (internalAU() != nullptr) send(kDecay.id, decayTime_);
}

void AUPeakLimiter::setPreGain(double decibels) {
    preGain_ = pinned(decibels, preGain_, kPreGain);
    if (internalAU() != nullptr) send(kPreGain.id, preGain_);
}

void AUPeakLimiter::safeprint(const std::string& message) const {
    ::safeprint(message);
}

// ---- Self-test and diagnostics -------------------------------------------------------------

void AUPeakLimiter::run(const std::shared_ptr<pf::AUAudioUnitBus>& /*bus*/) {
    if (internalAU() == nullptr) {
        pf::Console::printLine("ERROR: Unit (peak limiter) not initialized.");
        return;
    }
    pf::Console::printLine("CREATING AVAUDIO ENGINE ..");
    engine = pf::AVAudioEngine::make();
    if (!engine) {
        pf::Console::printLine("ERROR: Could not initialize internal audio engine.");
        return;
    }
    pf::Console::printLine("ATTACHING EFFECT ..");
    engine->attach(internalEffect);
    nodeDiagnostics();
    pf::Console::printLine("DETACHING EFFECT ..");
    engine->detach(internalEffect);
}

void AUPeakLimiter::nodeDiagnostics() {
    if (!internalEffect) return;
    const pf::AVAudioUnitEffect& node = *internalEffect;
    const std::string banner = "\nAUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-') + "\n";
    const auto unit = node.auAudioUnit();

    safeprint(banner);
    safeprint(" - node name: " + orNone(unit ? unit->audioUnitName() : std::nullopt));
    safeprint(" - node unit: " + (unit ? pf::description(*unit) : std::string("nil")));
    if (unit) unitDiagnostics(*unit);
    const auto renderTime = node.lastRenderTime().value_or(pf::AVAudioTime::timeWithHostTime(0));
    safeprint(" - node last render time: " + pf::description(renderTime));
    safeprint(" - node latency: " + pf::swiftText(node.latency()));
    safeprint(" - node number of inputs: " + pf::swiftText(node.numberOfInputs()));
    const auto formatText = [](const std::shared_ptr<const pf::AVAudioFormat>& format) {
        return format ? pf::description(*format) : std::string("nil");
    };
    for (pf::NSUInteger i = 0; i < node.numberOfInputs(); ++i) {
        const std::string bus = " - node input bus " + pf::swiftText(i);
        safeprint(bus + " format: " + formatText(node.inputFormat(i)));
        safeprint(bus + " name: " + orNone(node.nameForInputBus(i)));
    }
    safeprint(" - node number of outputs: " + pf::swiftText(node.numberOfOutputs()));
    for (pf::NSUInteger i = 0; i < node.numberOfOutputs(); ++i) {
        const std::string bus = " - node output bus " + pf::swiftText(i);
        safeprint(bus + " format: " + formatText(node.outputFormat(i)));
        safeprint(bus + " name: " + orNone(node.nameForOutputBus(i)));
    }
    safeprint(" - node output presentation latency: " +
              pf::swiftText(node.outputPresentationLatency()));
    safeprint(banner);
}

void AUPeakLimiter::unitDiagnostics(pf::AUAudioUnit& unit) {
    using pf::swiftText;
    const auto presets = unit.factoryPresets();
    std::optional<std::string> presetsText;
    if (presets) {
        std::string list = "[";
        for (std::size_t i = 0; i < presets->size(); ++i) {
            list += (i != 0 ? ", " : "") + pf::description(*(*presets)[i]);
        }
        presetsText = list + "]";
    }
    const auto current = unit.currentPreset();
    const auto capabilities = unit.channelCapabilities();
    const auto channelMap = unit.channelMap();
    const auto tree = unit.parameterTree();
    const auto inputs = unit.inputBusses();
    const auto outputs = unit.outputBusses();

    safeprint(" -- unit all parameter values: " + swiftText(unit.allParameterValues()));
    safeprint(" -- unit name: " + orNone(unit.audioUnitName()));
    safeprint(" -- unit short name: " + orNone(unit.audioUnitShortName()));
    safeprint(" -- unit can process inplace: " + swiftText(unit.canProcessInPlace()));
    safeprint(" -- unit channel capabilities: " +
              pf::optionalDescription(
                  capabilities ? std::optional(pf::listDescription(*capabilities)) : std::nullopt));
    safeprint(" -- unit channel map: " +
              pf::optionalDescription(channelMap ? std::optional(pf::listDescription(*channelMap))
                                                 : std::nullopt));
    safeprint(" -- unit component: " + pf::addressDescription(unit.component()));
    safeprint(" -- unit component description: " + pf::description(unit.componentDescription()));
    safeprint(" -- unit component name: " + orNone(unit.componentName()));
    safeprint(" -- unit component version: " + swiftText(unit.componentVersion()));
    safeprint(" -- unit context name: " + orNone(unit.contextName()));
    safeprint(
        " -- unit current preset: " +
        pf::optionalDescription(current ? std::optional(pf::description(*current)) : std::nullopt));
    safeprint(" -- unit .factory presets: " + pf::optionalDescription(presetsText));
    safeprint(" -- unit input busses: " + pf::description(*inputs));
    safeprint(" -- unit input bus count: " + swiftText(inputs->count()));
    safeprint(" -- unit input bus type: " + pf::description(inputs->busType()));
    for (pf::NSUInteger i = 0; i < inputs->count(); ++i) {
        busDiagnostics(*(*inputs)[i], static_cast<pf::NSInteger>(i));
    }
    safeprint(" -- unit music device: " + swiftText(unit.isMusicDeviceOrEffect()));
    safeprint(" -- unit rendering offline: " + swiftText(unit.isRenderingOffline()));
    safeprint(" -- unit latency: " + swiftText(unit.latency()));
    safeprint(" -- unit manufacturer name: " + orNone(unit.manufacturerName()));
    safeprint(" -- unit max. frames to render: " + swiftText(unit.maximumFramesToRender()));
    safeprint(" -- unit midi buffer size: " + swiftText(unit.MIDIOutputBufferSizeHint()));
    safeprint(" -- unit midi output event block: " + blockText(unit.MIDIOutputEventBlock()));
    safeprint(" -- unit midi output names:" + swiftText(unit.MIDIOutputNames()));
    safeprint(" -- unit musical context block: " + blockText(unit.musicalContextBlock()));
    safeprint(" -- unit output busses: " + pf::description(*outputs));
    safeprint(" -- unit output bus count: " + swiftText(outputs->count()));
    safeprint(" -- unit output bus type: " + pf::description(outputs->busType()));
    for (pf::NSUInteger i = 0; i < outputs->count(); ++i) {
        busDiagnostics(*(*outputs)[i], static_cast<pf::NSInteger>(i));
    }
    safeprint(" -- unit parameters for overview: " +
              pf::listDescription(unit.parametersForOverview(1)));
    safeprint(" -- unit parameter tree: " +
              pf::optionalDescription(tree ? std::optional(pf::description(*tree)) : std::nullopt));
    safeprint(" -- unit provides user interface: " + swiftText(unit.providesUserInterface()));
    safeprint(" -- unit render quality: " + swiftText(unit.renderQuality()));
    safeprint(" -- unit resources allocated: " + swiftText(unit.renderResourcesAllocated()));
    safeprint(" -- unit should bypass effect: " + swiftText(unit.shouldBypassEffect()));
    safeprint(" -- unit supported view configurations: " +
              pf::indexSetDescription(unit.supportedViewConfigurations({})));
    safeprint(" -- unit suppoerts MPE: " + swiftText(unit.supportsMPE()));
    safeprint(" -- unit supports user presets: " + swiftText(unit.supportsUserPresets()));
    safeprint(" -- unit tail time: " + swiftText(unit.tailTime()));
    safeprint(" -- unit transport state block: " + blockText(unit.transportStateBlock()));
    std::string userPresets = "[";
    const auto users = unit.userPresets();
    for (std::size_t i = 0; i < users.size(); ++i) {
        userPresets += (i != 0 ? ", " : "") + pf::description(*users[i]);
    }
    safeprint(" -- unit user presets: " + userPresets + "]");
    safeprint(" -- unit midi cable count: " + swiftText(unit.virtualMIDICableCount()));
}

void AUPeakLimiter::busDiagnostics(pf::AUAudioUnitBus& bus, pf::NSInteger index) {
    using pf::swiftText;
    const std::string prefix = " --- bus " + swiftText(index);
    const auto format = bus.format();
    safeprint(prefix + " type: " + pf::description(bus.busType()));
    safeprint(prefix + " representation latency: " + swiftText(bus.contextPresentationLatency()));
    safeprint(prefix + " format: " + pf::description(*format));
    safeprint(prefix + " format channel count: " + swiftText(format->channelCount()));
    safeprint(prefix + " format common format: " + pf::description(format->commonFormat()));
    safeprint(prefix + " format channel layout: nil"); // no layouts beyond the standard ones
    safeprint(prefix + " format interleaved: " + swiftText(format->isInterleaved()));
    safeprint(prefix + " format standard: " + swiftText(format->isStandard()));
    safeprint(prefix + " format samplerate: " + swiftText(format->sampleRate()));
    safeprint(prefix + " format settings: " + pf::settingsDescription(*format));
    safeprint(prefix + " index: " + swiftText(index));
    safeprint(prefix + " enabled: " + swiftText(bus.isEnabled()));
    safeprint(prefix + " max. channel count: " + swiftText(bus.maximumChannelCount()));
    safeprint(prefix + " name: " + orNone(bus.name()));
    safeprint(prefix + " should allocate buffer: " + swiftText(bus.shouldAllocateBuffer()));
}
