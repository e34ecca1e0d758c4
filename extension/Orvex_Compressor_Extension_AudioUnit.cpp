// The unit itself: construction, buses, fixed answers, properties and the interface's entry
// points. Rendering and presets live in their own files.
#include "Orvex_Compressor_Extension_AudioUnit.h"

#include <string>

#include "DSPLog.h"
#include "Extensions.h"
#include "UnitRenderState.h"
#include "core/Console.h"
#include "core/LogRing.h"
#include "core/SwiftText.h"

namespace {

// The kernel's line for every parameter change: printed at once from a setter's own thread, and
// through the real-time log ring (printed unchanged on the main thread) from inside a render
// cycle, where printing would block.
void kernelLogSink(const char* line, DSPLogOrigin origin) noexcept {
    if (origin == DSPLogOrigin::renderThread) {
        pf::LogRing::shared().tryPost(line);
        return;
    }
    try {
        pf::Console::printLine(line);
    } catch (...) {
        // Printing failed for want of memory; the line is lost, the caller goes on.
    }
}

} // namespace

std::shared_ptr<Orvex_Compander_Extension_AudioUnit> Orvex_Compander_Extension_AudioUnit::create(
    const pf::AudioComponentDescription& componentDescription,
    pf::AudioComponentInstantiationOptions options) {
    return std::make_shared<Orvex_Compander_Extension_AudioUnit>(componentDescription, options);
}

Orvex_Compander_Extension_AudioUnit::Orvex_Compander_Extension_AudioUnit(
    const pf::AudioComponentDescription& componentDescription,
    pf::AudioComponentInstantiationOptions /*options: never passed on*/)
    : renderState(std::make_shared<RenderState>()) {
    safeprint("AUExtension::init()");
    safeprint(stringValue(componentDescription.componentManufacturer) + " : " +
              stringValue(componentDescription.componentSubType));

    setDSPLogSink(&kernelLogSink);
    kernelAdapter = std::make_shared<Orvex_Compander_ExtensionDSPKernelAdapter>();
    parameters = std::make_unique<Orvex_Compander_Extension_Parameters>(kernelAdapter);
    effect = std::make_unique<AUPeakLimiter>();
    // Every use of the limiter needs its unit; without one there is no unit to offer.
    if (!effect->auAudioUnit()) {
        throw pf::NSErrorException(pf::osStatusError(pf::kAudioUnitErr_FailedInitialization));
    }

    initWithComponentDescription(componentDescription, 0);
}

Orvex_Compander_Extension_AudioUnit::~Orvex_Compander_Extension_AudioUnit() = default;

void Orvex_Compander_Extension_AudioUnit::debugprint(std::string_view message) const {
    safeprint(message);
}

std::shared_ptr<pf::AUAudioUnit> Orvex_Compander_Extension_AudioUnit::wrapped() const {
    return effect->auAudioUnit();
}

// ---- Buses and fixed answers ----------------------------------------------------------------

std::shared_ptr<pf::AUAudioUnitBusArray> Orvex_Compander_Extension_AudioUnit::inputBusses() {
    debugprint("AUExtension::inputBusses: " + std::to_string(wrapped()->inputBusses()->count()));
    return wrapped()->inputBusses();
}

std::shared_ptr<pf::AUAudioUnitBusArray> Orvex_Compander_Extension_AudioUnit::outputBusses() {
    debugprint("AUExtension::outputBusses: " + std::to_string(wrapped()->outputBusses()->count()));
    return wrapped()->outputBusses();
}

bool Orvex_Compander_Extension_AudioUnit::isMusicDeviceOrEffect() const {
    debugprint("AUExtension::isMusicDeviceOrEffect: " + pf::swiftText(true));
    return true;
}

pf::NSInteger Orvex_Compander_Extension_AudioUnit::virtualMIDICableCount() const {
    debugprint("AUExtension::virtualMIDICableCount: 1");
    return 1;
}

std::vector<std::string> Orvex_Compander_Extension_AudioUnit::MIDIOutputNames() const {
    std::vector<std::string> names{"Orvex Compander MIDI Out"};
    debugprint("AUExtension::midiOutputNames: " + pf::swiftText(names));
    return names;
}

bool Orvex_Compander_Extension_AudioUnit::canPerformInput() const {
    debugprint("AUExtension::canPerformInput: true");
    return true;
}

bool Orvex_Compander_Extension_AudioUnit::canPerformOutput() const {
    debugprint("AUExtension::canPerformOutput: true");
    return true;
}

bool Orvex_Compander_Extension_AudioUnit::canProcessInPlace() const {
    debugprint("AUExtension::canProcessInPlace() true");
    return true;
}

std::optional<std::vector<pf::NSInteger>>
Orvex_Compander_Extension_AudioUnit::channelCapabilities() const {
    debugprint("AUExtension::channelCapabilities() 2:2");
    return std::vector<pf::NSInteger>{2, 2};
}

std::vector<pf::NSInteger>
Orvex_Compander_Extension_AudioUnit::parametersForOverview(pf::NSInteger) {
    debugprint("AUExtension::parametersForOverview()");
    return {};
}

std::set<pf::NSUInteger> Orvex_Compander_Extension_AudioUnit::supportedViewConfigurations(
    const std::vector<pf::AUAudioUnitViewConfiguration>&) {
    debugprint("AUExtension::supportedViewConfigurations()");
    return {};
}

// ---- Properties with actions ------------------------------------------------------------------

void Orvex_Compander_Extension_AudioUnit::setMaximumFramesToRender(pf::AUAudioFrameCount frames) {
    AUAudioUnit::setMaximumFramesToRender(frames);
    debugprint("AUExtension::maximumFramesToRender (set): " +
               std::to_string(maximumFramesToRender()));
    kernelAdapter->setMaximumFramesToRender(maximumFramesToRender());
}

void Orvex_Compander_Extension_AudioUnit::setShouldBypassEffect(bool bypass) {
    AUAudioUnit::setShouldBypassEffect(bypass);
    debugprint("AUExtension::shouldBypassEffect (did set)");
    kernelAdapter->setBypass(shouldBypassEffect());
    wrapped()->setShouldBypassEffect(shouldBypassEffect());
}

std::shared_ptr<pf::AUParameterTree> Orvex_Compander_Extension_AudioUnit::parameterTree() {
    return parameters->parameterTree;
}

void Orvex_Compander_Extension_AudioUnit::setParameterTree(std::shared_ptr<pf::AUParameterTree>) {
    debugprint("AUExtension::parameterTree (set) !!!");
}

pf::AUMIDIOutputEventBlock Orvex_Compander_Extension_AudioUnit::MIDIOutputEventBlock() const {
    debugprint("AUExtension::midiOutputEventBlock (get) ");
    return _midiOutputEventBlock;
}

void Orvex_Compander_Extension_AudioUnit::setMIDIOutputEventBlock(
    pf::AUMIDIOutputEventBlock block) {
    debugprint("AUExtension::midiOutputEventBlock (set) ");
    _midiOutputEventBlock = std::move(block);
    kernelAdapter->setAUMIDIOutputEventBlock(_midiOutputEventBlock);
}

// ---- Parameters and meters ---------------------------------------------------------------------

void Orvex_Compander_Extension_AudioUnit::setParameter(std::int32_t address, float value) {
    const auto tree = parameterTree();
    if (!tree) return;
    // Widened with its sign: a negative address finds no parameter.
    const auto parameter =
        tree->parameterWithAddress(static_cast<pf::AUParameterAddress>(std::int64_t{address}));
    if (!parameter) return;
    if (parameter->value() != value) parameter->setValue(value);
    kernelAdapter->setParameter(parameter->address(), value);
}

float Orvex_Compander_Extension_AudioUnit::getParameter(std::int32_t address) {
    const auto tree = parameterTree();
    if (!tree) return 0.0f;
    const auto parameter =
        tree->parameterWithAddress(static_cast<pf::AUParameterAddress>(std::int64_t{address}));
    if (!parameter) return 0.0f;
    return kernelAdapter->valueForParameter(parameter->address());
}

double Orvex_Compander_Extension_AudioUnit::getSamplerate() {
    return (*outputBusses())[0]->format()->sampleRate();
}

float Orvex_Compander_Extension_AudioUnit::getDynamicsValue1() {
    return kernelAdapter->getDynamicsValue1();
}

float Orvex_Compander_Extension_AudioUnit::getDynamicsValue2() {
    return kernelAdapter->getDynamicsValue2();
}

float Orvex_Compander_Extension_AudioUnit::getPeakValue1() {
    return kernelAdapter->getPeakValue1();
}

float Orvex_Compander_Extension_AudioUnit::getPeakValue2() {
    return kernelAdapter->getPeakValue2();
}

void Orvex_Compander_Extension_AudioUnit::onFoundParameter(std::int64_t, const std::string&,
                                                           std::uint64_t address, float value) {
    const auto tree = parameterTree();
    if (!tree) return;
    if (const auto parameter = tree->parameterWithAddress(address)) parameter->setValue(value);
}

void Orvex_Compander_Extension_AudioUnit::dumpParameters(
    const std::string&, const std::shared_ptr<pf::AUParameterGroup>& tree, std::int64_t level) {
    const std::string indent(static_cast<std::size_t>(level > 0 ? level : 0), ' ');
    if (!tree) return;
    for (const auto& child : tree->children()) {
        debugprint(indent + child->displayName());
        if (child->isGroup()) {
            dumpParameters(child->displayName(),
                           std::static_pointer_cast<pf::AUParameterGroup>(child), level + 1);
        }
    }
}
