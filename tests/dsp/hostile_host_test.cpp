// A careless host: buffers shorter than the cycle are refused before anything is written, and a
// maximum frame count no buffer can hold fails the allocation instead of every later cycle.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "support/Buffers.h"
#include "support/Host.h"

using testsupport::ChannelBuffers;
using testsupport::makeAllocatedAdapter;

namespace {

constexpr float kUntouched = 7.0f;

TEST(HostileHost, CyclesIntoBuffersShorterThanTheCycleWriteNothing) {
    struct Case {
        const char* what;
        std::uint32_t leftFrames, rightFrames, cycle;
        pf::AUAudioUnitStatus status;
        std::uint32_t pulledFrames = 0; // a pull that hands back input buffers of this length
    };
    const Case cases[] = {
        {"512 frames into buffers of 64", 64, 64, 512, pf::kAudio_ParamError},
        {"one buffer a frame short", 512, 511, 512, pf::kAudio_ParamError},
        {"buffers that hold the cycle exactly", 512, 512, 512, pf::noErr},
        {"a pull handing back input of 64 frames", 512, 512, 512, pf::kAudio_ParamError, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto adapter = makeAllocatedAdapter(1024);
        ChannelBuffers out(2, 1024, kUntouched); // the memory behind the short byte sizes
        out.list.mBuffers[0].mDataByteSize = c.leftFrames * sizeof(float);
        out.list.mBuffers[1].mDataByteSize = c.rightFrames * sizeof(float);
        ChannelBuffers shortInput(2, 64);
        int pulls = 0;
        const pf::AURenderPullInputBlock pull =
            [&](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
                pf::NSInteger, pf::AudioBufferList* input) {
                ++pulls;
                if (c.pulledFrames > 0) {
                    for (std::uint32_t ch = 0; ch < 2; ++ch) {
                        input->mBuffers[ch].mData = shortInput[ch];
                        input->mBuffers[ch].mDataByteSize = c.pulledFrames * sizeof(float);
                    }
                }
                return pf::noErr;
            };
        pf::AudioUnitRenderActionFlags flags = 0;
        pf::AudioTimeStamp timestamp;
        EXPECT_EQ(adapter->render(&flags, &timestamp, c.cycle, 0, &out.list, nullptr, pull),
                  c.status);
        const bool written = out[0][c.cycle - 1] != kUntouched || out[1][0] != kUntouched;
        EXPECT_EQ(written, c.status == pf::noErr);
        EXPECT_EQ(pulls, c.status == pf::noErr || c.pulledFrames > 0 ? 1 : 0);
    }
}

TEST(HostileHost, AMaximumNoBufferCanHoldFailsTheAllocationAndLeavesNothingHalfMade) {
    auto adapter = makeAllocatedAdapter(512);
    adapter->setMaximumFramesToRender(4294967295u);
    EXPECT_FALSE(adapter->allocateRenderResources());
    ChannelBuffers out(2, 64);
    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AudioTimeStamp timestamp;
    EXPECT_EQ(adapter->render(&flags, &timestamp, 64, 0, &out.list, nullptr, {}),
              pf::kAudioUnitErr_Uninitialized);
    adapter->setMaximumFramesToRender(512);
    EXPECT_TRUE(adapter->allocateRenderResources());
}

} // namespace
