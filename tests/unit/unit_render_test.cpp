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

// In place, as a host that hands in buffers without memory asks for.
TEST(UnitRender, LimiterRunsOnlyWhileParameterElevenIsExactlyOne) {
    const auto unit = makeUnit();
    RenderHarness host(unit, {.outputInPlace = true});
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
