// The compander kernel: parameter slots and their effects, processing branches, meters, log lines,
// MIDI, and the faults it guards against (non-finite values, times lost on re-rating).
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "Orvex_Compander_Extension_DSPKernel.h"
#include "support/Buffers.h"
#include "support/Defaults.h"
#include "support/Signals.h"

using testsupport::ChannelBuffers;
using testsupport::RecordedLog;

namespace {

using Kernel = Orvex_Compander_Extension_DSPKernel;

std::unique_ptr<Kernel> makeKernel() {
    auto kernel = std::make_unique<Kernel>();
    kernel->init(2, 48000.0);
    testsupport::pushDefaults(*kernel);
    return kernel;
}

// Runs `kernel` over `frames` of music-like input into separate output buffers.
struct KernelRun {
    ChannelBuffers in;
    ChannelBuffers out;
    explicit KernelRun(std::size_t frames) : in(2, frames), out(2, frames, -7.0f) {
        const auto music = testsignals::musicLike(frames);
        in.channels[0] = music.left;
        in.channels[1] = music.right;
    }
    void process(Kernel& kernel) {
        kernel.setBuffers(&in.list, &out.list);
        kernel.process(static_cast<pf::AUAudioFrameCount>(in.channels[0].size()), 0);
    }
    bool outputEqualsInput() const {
        return in.channels[0] == out.channels[0] && in.channels[1] == out.channels[1];
    }
};

} // namespace

TEST(CompanderKernel, ParameterSlotsKeepRawValuesAndIgnoreHigherAddresses) {
    RecordedLog log;
    auto kernel = makeKernel();
    log.lines().clear();
    kernel->setParameter(15, 0.7f);
    kernel->setParameter(1000, 0.7f);
    EXPECT_TRUE(log.lines().empty()) << "nothing printed for an ignored address";
    EXPECT_EQ(kernel->getParameter(15), 0.0f);
    EXPECT_EQ(kernel->getParameter(~0ull), 0.0f);

    kernel->setParameter(0, 5.0f); // out of the follower's range: slot keeps it, DSP ignores it
    EXPECT_EQ(kernel->getParameter(0), 5.0f);
    EXPECT_EQ(kernel->compander.inputFollower[0].fAttack, 0.1f);
    kernel->setParameter(14, 3.0f);
    EXPECT_EQ(kernel->getParameter(14), 3.0f);
}

TEST(CompanderKernel, EachAddressReachesItsSetting) {
    auto kernel = makeKernel();
    kernel->setParameter(2, 0.0f);
    EXPECT_FLOAT_EQ(kernel->compander.vThreshold, 1.95f);
    kernel->setParameter(3, 0.75f);
    EXPECT_EQ(kernel->compander.fMultiplier, 0.5f);
    kernel->setParameter(4, 0.3f);
    EXPECT_FLOAT_EQ(kernel->compander.fGain, 0.6f);
    kernel->setParameter(5, 0.25f);
    EXPECT_EQ(kernel->compander.fMix, 0.25f);
    kernel->setParameter(6, 2.9f);
    EXPECT_EQ(kernel->compander.lMode, 2);
    kernel->setParameter(6, 3.0f);
    EXPECT_EQ(kernel->compander.lMode, 3);
    kernel->setParameter(8, 0.999f);
    EXPECT_FALSE(kernel->compander.bInverted);
    kernel->setParameter(8, 1.0f);
    EXPECT_TRUE(kernel->compander.bInverted);
    kernel->setParameter(9, 0.2f);
    EXPECT_EQ(kernel->splitB.fCutoff1, 0.2f);
    kernel->setParameter(10, 0.9f);
    EXPECT_EQ(kernel->splitB.fCutoff2, 0.9f);
}

TEST(CompanderKernel, EveryChangePrintsOneLineThroughTheLogSeam) {
    RecordedLog log;
    auto kernel = makeKernel();
    log.lines().clear();
    kernel->setParameter(2, 0.8f);
    kernel->setParameter(11, 1.0f);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].text, "unit received parameter : address:2, value:0.800000");
    EXPECT_EQ(log.lines()[0].origin, DSPLogOrigin::callerThread);
    EXPECT_EQ(log.lines()[1].text, "unit received parameter : address:11, value:1.000000");

    // A scheduled event is applied inside the render cycle: the line says so.
    ChannelBuffers buffers(2, 64);
    testsupport::EventList events;
    events.parameter(10, 5, 0.5f);
    kernel->setBuffers(&buffers.list, &buffers.list);
    pf::AudioTimeStamp timestamp;
    kernel->processWithEvents(&timestamp, 64, events.link(), {});
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[2].text, "unit received parameter : address:5, value:0.500000");
    EXPECT_EQ(log.lines()[2].origin, DSPLogOrigin::renderThread);
}

TEST(CompanderKernel, DefaultSinkPrintsTheLineToStandardOutput) {
    auto kernel = makeKernel();
    ::testing::internal::CaptureStdout();
    kernel->setParameter(3, 0.25f);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "unit received parameter : address:3, value:0.250000\n");
}

TEST(CompanderKernel, CompanderRunsOnlyWithDefaultCrossoversAndNoBypass) {
    auto kernel = makeKernel();
    kernel->setParameter(3, 1.0f); // multiplier 1: quiet passages lifted
    KernelRun processed(4800);
    processed.process(*kernel);
    EXPECT_FALSE(processed.outputEqualsInput());
    const float dynamics = kernel->getDynamicsValue1();
    EXPECT_GT(dynamics, 0.5f);

    kernel->setParameter(7, 0.5f); // panel bypass
    KernelRun bypassedBySlot(4800);
    bypassedBySlot.process(*kernel);
    EXPECT_TRUE(bypassedBySlot.outputEqualsInput());
    EXPECT_EQ(kernel->getDynamicsValue1(), dynamics) << "meters hold";

    kernel->setParameter(7, 0.0f);
    kernel->setParameter(10, 0.99f); // band-split branch: compander off
    KernelRun split(4800);
    split.process(*kernel);
    EXPECT_TRUE(split.outputEqualsInput());
    EXPECT_EQ(kernel->getDynamicsValue1(), dynamics) << "meters hold";
    EXPECT_NE(kernel->splitB.bufferLP[0][100], 0.0f) << "the splitter saw the signal";

    kernel->setParameter(10, 1.0f);
    kernel->setBypassed(true);
    KernelRun bypassed(4800);
    bypassed.process(*kernel);
    EXPECT_TRUE(bypassed.outputEqualsInput());
}

TEST(CompanderKernel, ProcessesInPlaceWhenInputAndOutputAreTheSame) {
    auto a = makeKernel();
    auto b = makeKernel();
    for (Kernel* k : {a.get(), b.get()})
        k->setParameter(3, 0.9f);
    KernelRun separate(2048);
    separate.process(*a);
    ChannelBuffers same(2, 2048);
    same.channels[0] = separate.in.channels[0];
    same.channels[1] = separate.in.channels[1];
    b->setBuffers(&same.list, &same.list);
    b->process(1024, 0);
    b->process(1024, 1024);
    EXPECT_EQ(same.channels[0], separate.out.channels[0]);
    EXPECT_EQ(same.channels[1], separate.out.channels[1]);
}

TEST(CompanderKernel, OtherChannelCountsAreCopiedUnprocessed) {
    auto kernel = makeKernel();
    kernel->setParameter(3, 1.0f);
    kernel->init(1, 48000.0);
    KernelRun run(1024);
    run.process(*kernel);
    EXPECT_EQ(run.out.channels[0], run.in.channels[0]);
    EXPECT_EQ(run.out.channels[1], std::vector<float>(1024, -7.0f)) << "beyond the channel count";
}

TEST(CompanderKernel, TouchesOnlyTheBuffersBothListsHold) {
    auto kernel = makeKernel();
    ChannelBuffers in(2, 256, 0.25f);
    ChannelBuffers out(1, 256, -1.0f); // a mono output list
    kernel->setBuffers(&in.list, &out.list);
    kernel->process(256, 0);
    EXPECT_EQ(out.channels[0], in.channels[0]) << "copied, not processed";

    ChannelBuffers monoIn(1, 256, 0.25f);
    ChannelBuffers stereoOut(2, 256, -1.0f);
    kernel->setBuffers(&monoIn.list, &stereoOut.list);
    kernel->process(256, 0);
    EXPECT_EQ(stereoOut.channels[1], std::vector<float>(256, -1.0f));
}

TEST(CompanderKernel, MetersAreHalfTheFactorsAndOutputPeaks) {
    auto kernel = makeKernel();
    kernel->setParameter(3, 1.0f);
    KernelRun run(4800);
    run.process(*kernel);
    EXPECT_EQ(kernel->getDynamicsValue1(), kernel->compander.getFactorL() * 0.5f);
    EXPECT_EQ(kernel->getDynamicsValue2(), kernel->compander.getFactorR() * 0.5f);
    EXPECT_EQ(kernel->getPeakValue1(), kernel->compander.getPeakOutL() * 0.5f);
    EXPECT_EQ(kernel->getPeakValue2(), kernel->compander.getPeakOutR() * 0.5f);
    EXPECT_GT(kernel->getPeakValue1(), 0.0f);
}

// Re-rating used to put the detector times back to 0.01 s and 0.5 s while slots 0 and 1 (and
// the panel) still showed the user's values.
TEST(CompanderKernel, AttackAndReleaseSurviveSampleRateChangesAndInit) {
    auto kernel = makeKernel();
    kernel->setParameter(0, 0.1f);
    kernel->setParameter(1, 0.2f);
    kernel->setSamplerate(44100.0f);
    EXPECT_EQ(kernel->compander.inputFollower[0].attackTime, 0.1f * 44100.0f);
    EXPECT_EQ(kernel->compander.inputFollower[1].releaseTime, 0.2f * 44100.0f);
    kernel->init(2, 96000.0);
    EXPECT_EQ(kernel->compander.inputFollower[0].attackTime, 0.1f * 96000.0f);
    EXPECT_EQ(kernel->compander.inputFollower[1].releaseTime, 0.2f * 96000.0f);
    EXPECT_EQ(kernel->compander.outputFollower[0].attackTime, 0.01f * 96000.0f)
        << "the meter followers keep their own times";

    Kernel fresh; // never set: the followers keep their defaults
    fresh.setSamplerate(44100.0f);
    EXPECT_EQ(fresh.compander.inputFollower[0].attackTime, 0.01f * 44100.0f);
}

TEST(CompanderKernel, ResetClearsStateAndPutsTheCrossoversAtTheEnds) {
    auto kernel = makeKernel();
    kernel->setParameter(3, 1.0f);
    kernel->setParameter(9, 0.3f);
    KernelRun run(1024);
    run.process(*kernel);
    kernel->reset();
    EXPECT_EQ(kernel->splitB.fCutoff1, 0.0f);
    EXPECT_EQ(kernel->splitB.fCutoff2, 1.0f);
    EXPECT_EQ(kernel->splitB.bufferLP[0][10], 0.0f);
    EXPECT_EQ(kernel->getDynamicsValue1(), 0.5f);
    EXPECT_EQ(kernel->getParameter(9), 0.3f) << "slots stay";
}

// NaN and infinities from any entry (panel, tree, events, presets) used to reach table indices,
// follower ramps and float-to-int conversions.
TEST(CompanderKernel, NonFiniteValuesAtEveryAddressLeaveTheAudioFinite) {
    const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};
    RecordedLog log; // keep the lines off standard output
    for (pf::AUParameterAddress address = 0; address < 15; ++address) {
        for (float value : values) {
            for (bool scheduled : {false, true}) {
                auto kernel = makeKernel();
                kernel->setParameter(3, 0.9f);
                KernelRun run(2048);
                kernel->setBuffers(&run.in.list, &run.out.list);
                testsupport::EventList events;
                if (scheduled) {
                    events.parameter(0, address, value);
                } else {
                    kernel->setParameter(address, value);
                }
                pf::AudioTimeStamp timestamp;
                kernel->processWithEvents(&timestamp, 2048, events.link(), {});
                for (std::size_t i = 0; i < 2048; ++i) {
                    ASSERT_TRUE(std::isfinite(run.out.channels[0][i]) &&
                                std::isfinite(run.out.channels[1][i]))
                        << "address " << address << " value " << value << " frame " << i;
                }
                const float slot = kernel->getParameter(address);
                EXPECT_TRUE(std::isnan(value) ? std::isnan(slot) : slot == value)
                    << "the slot keeps the raw value";
                EXPECT_TRUE(std::isfinite(kernel->getDynamicsValue1()));
                EXPECT_TRUE(std::isfinite(kernel->getPeakValue2()));
            }
        }
    }
}

TEST(CompanderKernel, ModeSlotConversionSaturates) {
    RecordedLog log;
    auto kernel = makeKernel();
    kernel->setParameter(6, 1e20f);
    EXPECT_EQ(kernel->compander.lMode, std::numeric_limits<std::int32_t>::max());
    kernel->setParameter(6, -1e20f);
    EXPECT_EQ(kernel->compander.lMode, std::numeric_limits<std::int32_t>::min());
    kernel->setParameter(6, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(kernel->compander.lMode, 0);
}

TEST(CompanderKernel, MidiIsForwardedOnlyWithThruAndNeverClockMessages) {
    auto kernel = makeKernel();
    std::vector<std::vector<std::uint8_t>> sent;
    pf::AUMIDIOutputEventBlock block = [&sent](pf::AUEventSampleTime, std::uint8_t cable,
                                               pf::NSInteger length, const std::uint8_t* bytes) {
        EXPECT_EQ(cable, 0);
        sent.emplace_back(bytes, bytes + length);
        return pf::noErr;
    };
    ChannelBuffers buffers(2, 64);
    kernel->setBuffers(&buffers.list, &buffers.list);
    testsupport::EventList events;
    events.midi(0, 0x90, 60, 100);
    events.midi(1, 0xF8);
    events.midi(2, 0xB0, 7, 127, pf::AURenderEventMIDISysEx);
    const pf::AURenderEvent* head = events.link();
    pf::AudioTimeStamp timestamp;

    kernel->processWithEvents(&timestamp, 64, head, block);
    EXPECT_TRUE(sent.empty()) << "MIDI thru is off";

    kernel->midiThru = true;
    kernel->processWithEvents(&timestamp, 64, head, block);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (std::vector<std::uint8_t>{0x90, 60, 100}));
    EXPECT_EQ(sent[1], (std::vector<std::uint8_t>{0xB0, 7, 127}));
}
