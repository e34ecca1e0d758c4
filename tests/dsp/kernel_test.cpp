// The compander kernel: the line it logs for every parameter change, and values that are not
// finite, from any entry (panel, tree, events, presets).
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

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

} // namespace

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

// NaN and infinities used to reach table indices, follower ramps and float-to-int conversions.
// The slot keeps the raw value; the audio and the meters stay finite.
TEST(CompanderKernel, NonFiniteValuesAtEveryAddressLeaveTheAudioFinite) {
    RecordedLog log; // keep the lines off standard output
    const auto music = testsignals::musicLike(2048);
    for (pf::AUParameterAddress address = 0; address < 15; ++address) {
        for (const float value :
             {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
              -std::numeric_limits<float>::infinity()}) {
            for (const bool scheduled : {false, true}) {
                auto kernel = makeKernel();
                kernel->setParameter(3, 0.9f);
                ChannelBuffers io(2, 2048);
                std::copy(music.left.begin(), music.left.end(), io[0]);
                std::copy(music.right.begin(), music.right.end(), io[1]);
                kernel->setBuffers(&io.list, &io.list);
                testsupport::EventList events;
                if (scheduled) {
                    events.parameter(0, address, value);
                } else {
                    kernel->setParameter(address, value);
                }
                pf::AudioTimeStamp timestamp;
                kernel->processWithEvents(&timestamp, 2048, events.link(), {});
                for (std::size_t i = 0; i < 2048; ++i) {
                    ASSERT_TRUE(std::isfinite(io[0][i]) && std::isfinite(io[1][i]))
                        << "address " << address << " value " << value << " frame " << i;
                }
                const float slot = kernel->getParameter(address);
                EXPECT_TRUE(std::isnan(value) ? std::isnan(slot) : slot == value);
                EXPECT_TRUE(std::isfinite(kernel->getDynamicsValue1()));
                EXPECT_TRUE(std::isfinite(kernel->getPeakValue2()));
            }
        }
    }
}
