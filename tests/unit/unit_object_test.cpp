// The audio unit as an object: construction, fixed answers, properties with actions, the
// parameter tree, and the entry points of the plug-in interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "RenderHarness.h"
#include "UnitTestSupport.h"
#include "core/SwiftText.h"

using namespace unittest;

namespace {

std::string kernelLine(int address, float value) {
    return pf::format("unit received parameter : address:%d, value:%f", address, double{value});
}

} // namespace

// Maximum frames and bypass reach the adapter and the final limiter on every write, and every write
// is logged. What bypass does to the sound is measured on the plug-in's output.
TEST(UnitObject, MaximumFramesAndBypassReachTheAdapterAndTheLimiterOnEveryWrite) {
    const auto unit = makeUnit();
    pf::ConsoleCapture capture;
    unit->setMaximumFramesToRender(1024);
    EXPECT_EQ(unit->maximumFramesToRender(), 1024u);
    EXPECT_EQ(unit->adapter()->maximumFramesToRender(), 1024u);

    unit->setShouldBypassEffect(true);
    unit->setShouldBypassEffect(true);
    EXPECT_TRUE(unit->adapter()->shouldBypassEffect());
    EXPECT_TRUE(unit->wrapped()->shouldBypassEffect());
    unit->setShouldBypassEffect(false);
    EXPECT_FALSE(unit->adapter()->shouldBypassEffect());
    EXPECT_FALSE(unit->wrapped()->shouldBypassEffect());

    const auto lines = drainedLines(capture);
    EXPECT_EQ(countOf(lines, "AUExtension::maximumFramesToRender (set): 1024"), 1);
    EXPECT_EQ(countOf(lines, "AUExtension::shouldBypassEffect (did set)"), 3);
}

TEST(UnitParameters, SetParameterTouchesTheTreeOnlyForANewValueAndTheAdapterAlways) {
    const auto unit = makeUnit();
    const auto tree = unit->parameterTree();
    int notified = 0;
    tree->tokenByAddingParameterObserver([&](pf::AUParameterAddress, pf::AUValue) { ++notified; });
    pf::ConsoleCapture capture;

    unit->setParameter(2, 0.8f); // the value the tree holds
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(countOf(capture.lines(), kernelLine(2, 0.8f)), 1);

    capture.clear();
    unit->setParameter(2, 0.3f);
    EXPECT_EQ(notified, 1);
    // Once through the tree's observer, once directly.
    EXPECT_EQ(countOf(capture.lines(), kernelLine(2, 0.3f)), 2);
    EXPECT_EQ(unit->adapter()->kernel().getParameter(2), 0.3f);

    capture.clear();
    unit->setParameter(12, 0.5f);
    unit->setParameter(-1, 0.5f);
    EXPECT_EQ(capture.lines().size(), 0u);
    EXPECT_EQ(unit->getParameter(12), 0.0f);
    EXPECT_EQ(unit->getParameter(-1), 0.0f);
    EXPECT_EQ(notified, 1);
}

// Automation reaches the kernel directly; the tree, its text and getParameter read it from there.
TEST(UnitParameters, TreeAndGetParameterReadTheKernelAfterAutomation) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    host.allocate();
    ASSERT_TRUE(host.scheduleParameter(10, kCompanderGain, 0.9f));
    ASSERT_EQ(host.renderCycle(64), pf::noErr);
    const auto parameter = unit->parameterTree()->parameterWithAddress(kCompanderGain);
    EXPECT_EQ(unit->getParameter(kCompanderGain), 0.9f);
    EXPECT_EQ(parameter->value(), 0.9f);
    EXPECT_EQ(parameter->stringFromValue(), "0.9");
    const float quarter = 0.25f;
    EXPECT_EQ(parameter->stringFromValue(&quarter), "0.25");
    unit->parameterTree()->parameterWithAddress(6)->setValue(2.0f);
    EXPECT_EQ(unit->adapter()->kernel().getParameter(6), 2.0f);
}

// The unit announces itself and the component it was made for, and ignores the options it is
// asked for.
TEST(UnitObject, ConstructionLogsInitAndTheManufacturerAndSubtypeCodesWhateverTheOptions) {
    for (const pf::AudioComponentInstantiationOptions options :
         {pf::AudioComponentInstantiationOptions{0},
          pf::kAudioComponentInstantiation_LoadOutOfProcess,
          pf::AudioComponentInstantiationOptions{0xffffffff}}) {
        pf::drainMainQueue();
        pf::ConsoleCapture capture;
        const auto unit = Unit::create(Unit::kComponentDescription, options);
        const auto lines = drainedLines(capture);
        // The kernel prints its parameter lines at once; the unit's own come later, in order.
        ASSERT_EQ(countOf(lines, "AUExtension::init()"), 1) << options;
        const auto init = std::find(lines.begin(), lines.end(), "AUExtension::init()");
        ASSERT_NE(init + 1, lines.end()) << options;
        EXPECT_EQ(init[1], "Qrbn : orvc") << options;
        const auto& description = unit->componentDescription();
        EXPECT_EQ(description.componentType, pf::fourCharCode("aumf"));
        EXPECT_EQ(description.componentSubType, pf::fourCharCode("orvc"));
        EXPECT_EQ(description.componentManufacturer, pf::fourCharCode("Qrbn"));
    }
}

// What the host reads once it has the unit: each answer, and the one line each read logs (none
// for the channel map).
TEST(UnitObject, FixedAnswersAndTheLineEachReadLogs) {
    const auto unit = makeUnit();
    const auto tree = unit->parameterTree();
    const struct {
        std::vector<std::string> lines;
        std::function<bool(Unit&)> answers;
    } cases[] = {
        {{"AUExtension::isMusicDeviceOrEffect: true"},
         [](Unit& u) { return u.isMusicDeviceOrEffect(); }},
        {{"AUExtension::virtualMIDICableCount: 1"},
         [](Unit& u) { return u.virtualMIDICableCount() == 1; }},
        {{"AUExtension::midiOutputNames: [\"Orvex Compander MIDI Out\"]"},
         [](Unit& u) {
             return u.MIDIOutputNames() == std::vector<std::string>{"Orvex Compander MIDI Out"};
         }},
        {{"AUExtension::canPerformInput: true"}, [](Unit& u) { return u.canPerformInput(); }},
        {{"AUExtension::canPerformOutput: true"}, [](Unit& u) { return u.canPerformOutput(); }},
        {{"AUExtension::canProcessInPlace() true"}, [](Unit& u) { return u.canProcessInPlace(); }},
        {{"AUExtension::channelCapabilities() 2:2"},
         [](Unit& u) {
             return u.channelCapabilities() == std::vector<pf::NSInteger>{2, 2};
         }},
        {{"AUExtension::parametersForOverview()"},
         [](Unit& u) { return u.parametersForOverview(4).empty(); }},
        {{"AUExtension::supportedViewConfigurations()"},
         [](Unit& u) {
             return u.supportedViewConfigurations({{512, 340, false}, {1024, 680, true}}).empty();
         }},
        // The limiter's own arrays, the very objects, so hosts negotiate with its buses.
        {{"AUExtension::inputBusses: 1"},
         [](Unit& u) { return u.inputBusses() == u.wrapped()->inputBusses(); }},
        {{"AUExtension::outputBusses: 1"},
         [](Unit& u) { return u.outputBusses() == u.wrapped()->outputBusses(); }},
        {{"AUExtension::inputBusses: 1", "AUExtension::outputBusses: 1"},
         [](Unit& u) { return u.inputBusses()->count() == 1 && u.outputBusses()->count() == 1; }},
        // A host's tree is refused: the published tree stays.
        {{"AUExtension::parameterTree (set) !!!"},
         [tree](Unit& u) {
             u.setParameterTree(nullptr);
             return u.parameterTree() == tree && tree != nullptr;
         }},
        {{},
         [](Unit& u) {
             u.setChannelMap(std::vector<pf::NSInteger>{1, 0});
             return !u.channelMap().has_value();
         }},
    };
    for (const auto& c : cases) {
        pf::ConsoleCapture capture;
        EXPECT_TRUE(c.answers(*unit)) << testing::PrintToString(c.lines);
        EXPECT_EQ(drainedLines(capture), c.lines);
    }
}

// A host may hand over (or take back) its MIDI output block while the unit renders; the kernel
// gets it from the next cycle on. Both directions log.
TEST(UnitObject, MidiOutputBlockWrittenWhileRenderingReachesTheKernelAndBothDirectionsLog) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    host.allocate();
    pf::drainMainQueue();
    pf::ConsoleCapture capture;
    const pf::AUMIDIOutputEventBlock block = [](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                                const std::uint8_t*) { return pf::noErr; };
    for (const auto& given : {block, pf::AUMIDIOutputEventBlock{}}) {
        unit->setMIDIOutputEventBlock(given);
        EXPECT_TRUE(unit->MIDIOutputEventBlock() == given);
        ASSERT_EQ(host.renderCycle(64), pf::noErr);
        EXPECT_TRUE(unit->adapter()->kernel().midiOut == given);
    }
    const std::vector<std::string> expected{
        "AUExtension::midiOutputEventBlock (set) ", "AUExtension::midiOutputEventBlock (get) ",
        "AUExtension::midiOutputEventBlock (set) ", "AUExtension::midiOutputEventBlock (get) "};
    EXPECT_EQ(drainedLines(capture), expected);
}

// The rate the host gave the published output bus, not the rate of the adapter's own bus.
TEST(UnitObject, SampleRateIsTheRateOfThePublishedOutputBus) {
    for (const double rate : {44100.0, 96000.0}) {
        const auto unit = makeUnit();
        RenderHarness host(unit, RenderHarness::Options{.sampleRate = rate});
        host.allocate();
        pf::drainMainQueue();
        pf::ConsoleCapture capture;
        EXPECT_EQ(unit->getSamplerate(), rate);
        EXPECT_EQ(drainedLines(capture), std::vector<std::string>{"AUExtension::outputBusses: 1"});
    }
}
