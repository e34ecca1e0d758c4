// Render resources and the render block: allocation and its lines, the kernel at the host's rate,
// the limiter's settings, the two stages on the same buffers, the statuses, the refused formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "RenderHarness.h"
#include "UnitTestSupport.h"
#include "audio/AVAudioFormat.h"
#include "core/NSError.h"

using namespace unittest;

namespace {

// A stereo sine at +7 dBFS (peak about 2.24), left and right a little apart.
void feedHotSine(RenderHarness& host, double rate = 48000.0) {
    const float amplitude = static_cast<float>(std::pow(10.0, 7.0 / 20.0));
    std::vector<float> left(4800), right(4800);
    for (std::size_t i = 0; i < left.size(); ++i) {
        const double phase = 2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / rate;
        left[i] = amplitude * static_cast<float>(std::sin(phase));
        right[i] = amplitude * static_cast<float>(std::sin(phase + 0.3));
    }
    host.setInput(std::move(left), std::move(right));
}

float peakOf(const RenderHarness& host, pf::AUAudioFrameCount frames) {
    float peak = 0.0f;
    for (pf::AUAudioFrameCount i = 0; i < frames; ++i) {
        peak = std::max({peak, std::fabs(host.left()[i]), std::fabs(host.right()[i])});
    }
    return peak;
}

pf::AUValue limiterParameter(const Unit& unit, pf::AudioUnitParameterID id) {
    pf::AUValue value = -1000.0f;
    EXPECT_EQ(pf::AudioUnitGetParameter(unit.wrapped()->audioUnitHandle(), id,
                                        pf::kAudioUnitScope_Global, 0, &value),
              pf::noErr);
    return value;
}

} // namespace

TEST(UnitAllocation, WithoutHostBlocksLogsThreeWarningsAndSucceeds) {
    const auto unit = makeUnit();
    pf::ConsoleCapture capture;
    RenderHarness host(unit, {.sampleRate = 48000.0});
    host.allocate();
    const auto lines = drainedLines(capture);
    const std::vector<std::string> expected{
        "AUExtension::allocateRenderResources()",
        "AUExtension::outputBusses: 1",
        "AUExtension::outputBusses: 1",
        "AUExtension: WARNING: The property 'musicalContextBlock' is NOT defined.",
        "AUExtension: WARNING: The property 'transportStateBlock' is NOT defined.",
        // A music effect takes MIDI: the platform offers its own block for scheduling it.
        "AUExtension: The property 'scheduleMIDIEventBlock' is defined.",
        "AUExtension::midiOutputEventBlock (get) ",
        "AUExtension::midiOutputEventBlock (get) ",
        "AUExtension: WARNING: The property 'midiOutputEventBlock' is NOT defined.",
        "AUExtension: Native wrapped unit input samplerate (prior): 48000.0.",
        "AUExtension: Native wrapped unit output samplerate (prior): 48000.0.",
        "AUExtension::outputBusses: 1",
        "AUExtension::outputBusses: 1",
        "AUExtension: New wrapped unit input samplerate: 48000.0.",
        "AUExtension: New wrapped unit output samplerate: 48000.0.",
    };
    auto first = std::find(lines.begin(), lines.end(), expected.front());
    ASSERT_NE(first, lines.end());
    std::vector<std::string> allocationLines;
    for (auto it = first; it != lines.end(); ++it) {
        if (it->rfind("AUExtension", 0) == 0) allocationLines.push_back(*it);
    }
    allocationLines.resize(std::min(allocationLines.size(), expected.size()));
    EXPECT_EQ(allocationLines, expected);
    EXPECT_TRUE(unit->renderResourcesAllocated());
}

TEST(UnitAllocation, HostBlocksAreHandedOnAndReportedDefined) {
    const auto unit = makeUnit();
    unit->setMusicalContextBlock(
        [](double*, double*, pf::NSInteger*, double*, pf::NSInteger*, double*) { return true; });
    unit->setTransportStateBlock(
        [](pf::AUHostTransportStateFlags*, double*, double*, double*) { return true; });
    unit->setScheduleMIDIEventBlock(
        [](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger, const std::uint8_t*) {});
    unit->setMIDIOutputEventBlock([](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                     const std::uint8_t*) { return pf::noErr; });
    pf::ConsoleCapture capture;
    RenderHarness host(unit);
    host.allocate();
    const auto lines = drainedLines(capture);
    for (const char* name : {"musicalContextBlock", "transportStateBlock", "scheduleMIDIEventBlock",
                             "midiOutputEventBlock"}) {
        EXPECT_EQ(
            countOf(lines, std::string("AUExtension: The property '") + name + "' is defined."), 1)
            << name;
    }
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("WARNING") != l.npos; }),
              0);
}

TEST(UnitAllocation, KernelRunsAtTheHostRateAndKeepsAttackAndReleaseOfTheTree) {
    const auto unit = makeUnit();
    unit->parameterTree()->parameterWithAddress(kCompanderAttack)->setValue(0.3f);
    unit->parameterTree()->parameterWithAddress(kCompanderRelease)->setValue(0.7f);
    RenderHarness host(unit, {.sampleRate = 44100.0});
    host.allocate();
    auto& kernel = unit->adapter()->kernel();
    EXPECT_EQ(kernel.getSamplerate(), 44100.0f);
    EXPECT_EQ(unit->adapter()->outputBus()->format()->sampleRate(), 48000.0); // its own bus stays
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_EQ(kernel.compander.inputFollower[channel].fAttack, 0.3f);
        EXPECT_EQ(kernel.compander.inputFollower[channel].fRelease, 0.7f);
        EXPECT_EQ(kernel.compander.inputFollower[channel].fSamplerate, 44100.0f);
    }
}

TEST(UnitAllocation, LimiterReceivesItsPinnedSettingsAndTheFrameMaximumOnEveryAllocation) {
    const auto unit = makeUnit();
    RenderHarness host(unit, {.maximumFrames = 2048});
    for (int round = 0; round < 2; ++round) {
        pf::ConsoleCapture capture;
        host.allocate(); // the second without a release in between
        EXPECT_EQ(unit->limiterHolder().attackTime(), 0.03);
        EXPECT_EQ(unit->limiterHolder().decayTime(), 0.06);
        EXPECT_EQ(unit->limiterHolder().preGain(), -0.01);
        EXPECT_EQ(limiterParameter(*unit, 0), 0.03f);
        EXPECT_EQ(limiterParameter(*unit, 1), 0.06f);
        EXPECT_EQ(limiterParameter(*unit, 2), -0.01f);
        EXPECT_EQ(unit->wrapped()->maximumFramesToRender(), 2048u);
        EXPECT_TRUE(unit->wrapped()->renderResourcesAllocated());
        EXPECT_EQ(countOf(drainedLines(capture), "AUExtension::allocateRenderResources()"), 1);
    }
}

TEST(UnitAllocation, AMonoPublishedFormatIsRefusedBeforeAnythingIsPrepared) {
    const auto unit = makeUnit();
    (*unit->outputBusses())[0]->setFormat(
        pf::AVAudioFormat::standardFormatWithSampleRate(48000, 1));
    (*unit->inputBusses())[0]->setFormat(pf::AVAudioFormat::standardFormatWithSampleRate(48000, 1));
    pf::drainMainQueue();
    pf::ConsoleCapture capture;
    try {
        unit->allocateRenderResources();
        FAIL() << "a mono format was accepted";
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().domain(), pf::NSOSStatusErrorDomain);
        EXPECT_EQ(e.error().code(), pf::kAudioUnitErr_FormatNotSupported);
    }
    EXPECT_FALSE(unit->renderResourcesAllocated());
    EXPECT_FALSE(unit->wrapped()->renderResourcesAllocated());
    EXPECT_EQ(drainedLines(capture),
              std::vector<std::string>{"AUExtension::allocateRenderResources()"});
}

TEST(UnitAllocation, ReleaseAndResetGoToTheAdapterThenTheLimiter) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    host.allocate();
    pf::ConsoleCapture capture;
    unit->reset();
    host.deallocate();
    EXPECT_FALSE(unit->wrapped()->renderResourcesAllocated());
    EXPECT_EQ(host.renderCycle(64), pf::kAudioUnitErr_Uninitialized); // no render block any more
    const auto lines = drainedLines(capture);
    EXPECT_EQ(countOf(lines, "AUExtension::reset()"), 1);
    EXPECT_EQ(countOf(lines, "AUExtension::deallocateRenderResources()"), 1);
}

// Both stages work on the output list handed in, or in place on the input when it has no memory.
TEST(UnitRender, FinalLimiterKeepsEverySampleAtOrBelowFullScaleOnAHotSignal) {
    for (const bool inPlace : {false, true}) {
        const auto unit = makeUnit();
        RenderHarness host(unit, {.outputInPlace = inPlace});
        feedHotSine(host);
        host.allocate();
        for (int cycle = 0; cycle < 40; ++cycle) {
            ASSERT_EQ(host.renderCycle(512), pf::noErr);
            ASSERT_LE(peakOf(host, 512), 1.0f) << "cycle " << cycle << (inPlace ? " in place" : "");
        }
        EXPECT_EQ(unit->currentOuputData(), &host.outputList());
    }
}

TEST(UnitRender, LimiterRunsOnlyWhileParameterElevenIsExactlyOne) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    feedHotSine(host);
    host.allocate();
    // The kernel leaves the audio as it is, so what comes out is the limiter's doing alone.
    unit->setParameter(kCompanderBypass, 1.0f);
    for (const float setting : {0.0f, 0.999f, 1.0f}) {
        unit->setParameter(kCompanderFinalLimiter, setting);
        float peak = 0.0f;
        for (int cycle = 0; cycle < 10; ++cycle) {
            ASSERT_EQ(host.renderCycle(512), pf::noErr);
            peak = std::max(peak, peakOf(host, 512));
        }
        if (setting == 1.0f) {
            EXPECT_LE(peak, 1.0f);
        } else {
            EXPECT_GT(peak, 2.0f) << "parameter 11 at " << setting;
        }
    }
}

TEST(UnitRender, ABusOtherThanZeroIsRefusedWithNothingTouched) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    feedHotSine(host);
    host.allocate();
    pf::drainMainQueue();
    pf::ConsoleCapture capture;
    EXPECT_EQ(host.renderCycle(64, 1), pf::kAudioUnitErr_NoConnection);
    EXPECT_EQ(unit->currentOuputData(), nullptr);
    EXPECT_EQ(host.left()[0], 0.0f); // the host's buffers were never written
    EXPECT_EQ(unit->getPeakValue1(), 0.0f);
    EXPECT_TRUE(drainedLines(capture).empty());
}

TEST(UnitRender, AKernelFailureIsReturnedAndTheLimiterSkippedEvenWithParameterElevenOn) {
    const auto unit = makeUnit();
    RenderHarness host(unit, {.maximumFrames = 4096});
    feedHotSine(host);
    host.allocate();
    pf::ConsoleCapture capture;
    for (const float setting : {1.0f, 0.0f}) {
        unit->setParameter(kCompanderFinalLimiter, setting);
        EXPECT_EQ(host.renderCycle(4097), pf::kAudioUnitErr_TooManyFramesToProcess) << setting;
        EXPECT_EQ(host.left()[0], 0.0f);
    }
    EXPECT_EQ(countOf(drainedLines(capture),
                      "AUExtension::ERROR: We have a problem with the kernel! -10874"),
              2);
    // A cycle the kernel can take still renders afterwards.
    EXPECT_EQ(host.renderCycle(4096), pf::noErr);
}

// The limiter's pull copies buffer descriptions (not samples) for the buffers both lists hold.
TEST(UnitRender, LimiterPullHandsOverBufferDescriptionsOfTheListsItHolds) {
    const auto unit = makeUnit();
    const auto pull = unit->renderPullInputBlock();
    pf::AudioBufferList input;
    input.mNumberBuffers = 2;
    EXPECT_EQ(pull(nullptr, nullptr, 16, 0, &input), pf::noErr); // no cycle yet: unchanged
    EXPECT_EQ(input.mBuffers[0].mData, nullptr);
    RenderHarness host(unit);
    host.allocate();
    ASSERT_EQ(host.renderCycle(16), pf::noErr);
    input.mNumberBuffers = 1;
    EXPECT_EQ(pull(nullptr, nullptr, 16, 0, &input), pf::noErr);
    EXPECT_EQ(input.mBuffers[0].mData, host.outputList().mBuffers[0].mData);
    EXPECT_EQ(input.mBuffers[0].mDataByteSize, 16u * sizeof(float));
    EXPECT_EQ(input.mBuffers[1].mData, nullptr);
    EXPECT_EQ(input.mNumberBuffers, 1u);
}

TEST(UnitRender, ScheduledEventsTakeEffectAtTheirSampleTime) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    std::vector<float> ones(64, 0.5f);
    host.setInput(ones, ones);
    host.allocate();
    unit->setParameter(kCompanderFinalLimiter, 0.0f);
    ASSERT_TRUE(host.scheduleParameter(100, kCompanderBypass, 1.0f));
    ASSERT_EQ(host.renderCycle(64), pf::noErr);
    EXPECT_EQ(unit->getParameter(kCompanderBypass), 0.0f);
    ASSERT_EQ(host.renderCycle(64), pf::noErr); // the event lands at frame 36 of this cycle
    EXPECT_EQ(unit->getParameter(kCompanderBypass), 1.0f);
    for (int i = 36; i < 64; ++i)
        EXPECT_EQ(host.left()[i], 0.5f) << i;
}
