// The compander kernel: parameter slots and their effects, processing branches, log lines, and
// the faults it guards against (non-finite values, times lost on re-rating).
#include <cmath>
#include <limits>
#include <memory>
#include <utility>
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
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

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
    explicit KernelRun(std::size_t frames, float fill = -7.0f)
        : in(2, frames), out(2, frames, fill) {
        const auto music = testsignals::musicLike(frames);
        in.channels[0] = music.left;
        in.channels[1] = music.right;
    }
    void process(Kernel& kernel) {
        kernel.setBuffers(&in.list, &out.list);
        kernel.process(static_cast<pf::AUAudioFrameCount>(in.channels[0].size()), 0);
    }
    bool unchanged() const { return in.channels == out.channels; }
};

} // namespace

TEST(CompanderKernel, SlotsKeepRawValuesAndReachTheirSettings) {
    RecordedLog log;
    auto kernel = makeKernel();
    const struct {
        unsigned address;
        float value;
        float (*reading)(const Kernel&);
        float expected;
    } cases[] = {
        {3, 0.75f, [](const Kernel& k) { return float(k.compander.fMultiplier); }, 0.5f},
        {4, 0.3f, [](const Kernel& k) { return float(k.compander.fGain); }, 0.6f},
        {6, 2.9f, [](const Kernel& k) { return float(k.compander.lMode); }, 2.0f},
        {6, -1e20f, [](const Kernel& k) { return float(k.compander.lMode); }, -2147483648.0f},
        {6, kNaN, [](const Kernel& k) { return float(k.compander.lMode); }, 0.0f},
        {8, 0.999f, [](const Kernel& k) { return float(k.compander.bInverted); }, 0.0f},
        {8, 1.0f, [](const Kernel& k) { return float(k.compander.bInverted); }, 1.0f},
        {9, 0.2f, [](const Kernel& k) { return k.splitB.fCutoff1.load(); }, 0.2f},
        {10, 0.9f, [](const Kernel& k) { return k.splitB.fCutoff2.load(); }, 0.9f},
    };
    for (const auto& t : cases) {
        kernel->setParameter(t.address, t.value);
        EXPECT_FLOAT_EQ(t.reading(*kernel), t.expected) << t.address << " = " << t.value;
    }
}

TEST(CompanderKernel, EveryChangeLogsOneLineMarkedWithTheThreadItCameFrom) {
    auto kernel = makeKernel();
    ::testing::internal::CaptureStdout(); // the default sink prints
    kernel->setParameter(3, 0.25f);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "unit received parameter : address:3, value:0.250000\n");

    RecordedLog log;
    kernel->setParameter(11, 1.0f);
    kernel->setParameter(15, 1.0f); // no such slot: nothing
    ChannelBuffers buffers(2, 64);
    testsupport::EventList events;
    events.parameter(10, 5, 0.5f);
    kernel->setBuffers(&buffers.list, &buffers.list);
    pf::AudioTimeStamp timestamp;
    kernel->processWithEvents(&timestamp, 64, events.link(), {});
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].text, "unit received parameter : address:11, value:1.000000");
    EXPECT_EQ(log.lines()[0].origin, DSPLogOrigin::callerThread);
    EXPECT_EQ(log.lines()[1].text, "unit received parameter : address:5, value:0.500000");
    EXPECT_EQ(log.lines()[1].origin, DSPLogOrigin::renderThread);
}

TEST(CompanderKernel, CompanderRunsOnlyWithDefaultCrossoversAndNoBypass) {
    auto kernel = makeKernel();
    kernel->setParameter(3, 1.0f); // multiplier 1: quiet passages lifted
    KernelRun processed(4800);
    processed.process(*kernel);
    EXPECT_FALSE(processed.unchanged());
    const float dynamics = kernel->getDynamicsValue1();

    for (const auto& [address, value] : {std::pair{7u, 0.5f}, std::pair{10u, 0.99f}}) {
        kernel->setParameter(address, value);
        KernelRun copied(4800);
        copied.process(*kernel);
        EXPECT_TRUE(copied.unchanged()) << address;
        EXPECT_EQ(kernel->getDynamicsValue1(), dynamics) << "meters hold";
        kernel->setParameter(address, testsupport::kDefaultParameters[address]);
    }
    EXPECT_NE(kernel->splitB.bufferLP[0][100], 0.0f) << "the splitter saw the signal";
    kernel->setBypassed(true);
    KernelRun bypassed(4800);
    bypassed.process(*kernel);
    EXPECT_TRUE(bypassed.unchanged());
}

// A cycle cut by events is processed segment by segment at each segment's own offset, so an
// event that changes nothing leaves every sample as an uncut cycle gives it, in place or not.
TEST(CompanderKernel, ACycleCutByEventsEqualsTheUncutCycle) {
    RecordedLog log;
    KernelRun uncut(2048);
    auto reference = makeKernel();
    reference->setParameter(3, 0.9f);
    uncut.process(*reference);
    for (const bool inPlace : {false, true}) {
        auto kernel = makeKernel();
        kernel->setParameter(3, 0.9f);
        KernelRun cut(2048);
        kernel->setBuffers(&cut.in.list, inPlace ? &cut.in.list : &cut.out.list);
        testsupport::EventList events;
        events.parameter(700, 3, 0.9f);
        events.parameter(1500, 3, 0.9f);
        pf::AudioTimeStamp timestamp;
        kernel->processWithEvents(&timestamp, 2048, events.link(), {});
        EXPECT_EQ(inPlace ? cut.in.channels : cut.out.channels, uncut.out.channels) << inPlace;
    }
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

// NaN and infinities from any entry (panel, tree, events, presets) used to reach table indices,
// follower ramps and float-to-int conversions. The slot keeps the raw value; the audio and the
// meters stay finite, whether the kernel renders into its own output or in place.
TEST(CompanderKernel, NonFiniteValuesAtEveryAddressLeaveTheAudioFinite) {
    RecordedLog log; // keep the lines off standard output
    for (pf::AUParameterAddress address = 0; address < 15; ++address) {
        for (float value : {kNaN, kInf, -kInf}) {
            for (const auto& [scheduled, inPlace] :
                 {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
                auto kernel = makeKernel();
                kernel->setParameter(3, 0.9f);
                KernelRun run(2048);
                kernel->setBuffers(&run.in.list, inPlace ? &run.in.list : &run.out.list);
                testsupport::EventList events;
                if (scheduled) {
                    events.parameter(0, address, value);
                } else {
                    kernel->setParameter(address, value);
                }
                pf::AudioTimeStamp timestamp;
                kernel->processWithEvents(&timestamp, 2048, events.link(), {});
                const auto& out = inPlace ? run.in.channels : run.out.channels;
                for (std::size_t i = 0; i < 2048; ++i) {
                    ASSERT_TRUE(std::isfinite(out[0][i]) && std::isfinite(out[1][i]))
                        << "address " << address << " value " << value << " frame " << i
                        << (inPlace ? " in place" : "");
                }
                const float slot = kernel->getParameter(address);
                EXPECT_TRUE(std::isnan(value) ? std::isnan(slot) : slot == value);
                EXPECT_TRUE(std::isfinite(kernel->getDynamicsValue1()));
                EXPECT_TRUE(std::isfinite(kernel->getPeakValue2()));
            }
        }
    }
}
