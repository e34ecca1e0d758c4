// The kernel adapter: the cycles it refuses (and touches nothing of), pulling, in-place rendering,
// the sample rate, and the MIDI output block.
#include <atomic>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "support/Buffers.h"
#include "support/Host.h"

using testsupport::Adapter;
using testsupport::ChannelBuffers;
using testsupport::makeAllocatedAdapter;
using testsupport::RecordedLog;
using testsupport::SignalSource;

namespace {

pf::AUAudioUnitStatus render(Adapter& adapter, pf::AUAudioFrameCount frames,
                             pf::AudioBufferList* out, const pf::AURenderPullInputBlock& pull) {
    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AudioTimeStamp timestamp;
    return adapter.render(&flags, &timestamp, frames, 0, out, nullptr, pull);
}

pf::AUMIDIOutputEventBlock midiBlock(pf::OSStatus answer) {
    return [answer](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger, const std::uint8_t*) {
        return answer;
    };
}

} // namespace

// Rendering before allocation (or after release) used to dereference a null buffer list; a
// maximum raised after allocation, or buffers shorter than the cycle (the host's or those a pull
// hands back), let a cycle run past a buffer.
TEST(KernelAdapter, RefusedCyclesReturnTheirStatusAndTouchNothing) {
    RecordedLog log;
    constexpr float kUntouched = 0.25f;
    const auto allocated = [](pf::AUAudioFrameCount maximum) {
        return [maximum] { return makeAllocatedAdapter(maximum); };
    };
    const struct {
        const char* claim;
        std::function<std::shared_ptr<Adapter>()> make;
        pf::AUAudioFrameCount frames, leftFrames, rightFrames; // what the output buffers hold
        bool withOutput;
        std::uint32_t pulledFrames; // not 0: the pull hands back input buffers this long
        pf::AUAudioUnitStatus pullStatus, expected;
    } cases[] = {
        {"above the maximum", allocated(4096), 4097, 4097, 4097, true, 0, 0,
         pf::kAudioUnitErr_TooManyFramesToProcess},
        {"maximum raised after allocation",
         [] {
             auto a = makeAllocatedAdapter(512);
             a->setMaximumFramesToRender(4096);
             return a;
         },
         1024, 1024, 1024, true, 0, 0, pf::kAudioUnitErr_TooManyFramesToProcess},
        {"never allocated", [] { return std::make_shared<Adapter>(); }, 256, 256, 256, true, 0, 0,
         pf::kAudioUnitErr_Uninitialized},
        {"released",
         [] {
             auto a = makeAllocatedAdapter();
             a->deallocateRenderResources();
             return a;
         },
         256, 256, 256, true, 0, 0, pf::kAudioUnitErr_Uninitialized},
        {"no output list", allocated(4096), 256, 256, 256, false, 0, 0, pf::kAudio_ParamError},
        {"failed pull", allocated(4096), 128, 128, 128, true, 0, -42, -42},
        {"512 frames into buffers of 64", allocated(1024), 512, 64, 64, true, 0, 0,
         pf::kAudio_ParamError},
        {"one buffer a frame short", allocated(1024), 512, 512, 511, true, 0, 0,
         pf::kAudio_ParamError},
        {"a pull handing back input of 64 frames", allocated(1024), 512, 512, 512, true, 64, 0,
         pf::kAudio_ParamError},
        {"exactly the maximum, into buffers that hold it", allocated(512), 512, 512, 512, true, 0,
         0, pf::noErr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.claim);
        const auto adapter = c.make();
        ChannelBuffers out(2, 4097, kUntouched), shortInput(2, 64);
        out.list.mBuffers[0].mDataByteSize = c.leftFrames * sizeof(float);
        out.list.mBuffers[1].mDataByteSize = c.rightFrames * sizeof(float);
        int pulls = 0;
        const pf::AURenderPullInputBlock pull =
            [&](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
                pf::NSInteger, pf::AudioBufferList* input) {
                ++pulls;
                for (std::uint32_t ch = 0; c.pulledFrames > 0 && ch < 2; ++ch) {
                    input->mBuffers[ch].mData = shortInput[ch];
                    input->mBuffers[ch].mDataByteSize = c.pulledFrames * sizeof(float);
                }
                return c.pullStatus;
            };
        EXPECT_EQ(render(*adapter, c.frames, c.withOutput ? &out.list : nullptr, pull), c.expected);
        const bool pulled = c.expected == pf::noErr || c.pullStatus != 0 || c.pulledFrames > 0;
        EXPECT_EQ(pulls, pulled ? 1 : 0);
        const bool written = out[0][c.frames - 1] != kUntouched || out[1][0] != kUntouched;
        EXPECT_EQ(written, c.expected == pf::noErr);
        if (c.expected != pf::noErr) {
            EXPECT_EQ(out.channels[0], std::vector<float>(4097, kUntouched));
        }
    }
    auto adapter = makeAllocatedAdapter(512);
    pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
    EXPECT_EQ(render(*adapter, 512, &inPlace, {}), pf::noErr) << "exactly the maximum, in place";
    adapter->setMaximumFramesToRender(0xFFFFFFFFu);
    EXPECT_EQ(adapter->maximumFramesToRender(), 0x7FFFFFFFu);
}

TEST(KernelAdapter, NullOutputBuffersThatBothListsHoldAreRenderedInPlaceOnTheInput) {
    auto adapter = makeAllocatedAdapter();
    auto reference = makeAllocatedAdapter();
    adapter->setParameter(3, 1.0f);
    reference->setParameter(3, 1.0f);
    SignalSource source(testsignals::musicLike(512)), same(testsignals::musicLike(512));
    pf::AudioBufferList inPlace = testsupport::nullBufferList(3);
    ASSERT_EQ(render(*adapter, 512, &inPlace, source.pullBlock()), pf::noErr);
    EXPECT_EQ(inPlace.mBuffers[0].mData, adapter->inputs()->mBuffers[0].mData);
    EXPECT_EQ(inPlace.mBuffers[1].mData, adapter->inputs()->mBuffers[1].mData);
    EXPECT_EQ(inPlace.mBuffers[2].mData, nullptr);

    ChannelBuffers own(2, 512);
    ASSERT_EQ(render(*reference, 512, &own.list, same.pullBlock()), pf::noErr);
    const auto* left = static_cast<const float*>(inPlace.mBuffers[0].mData);
    EXPECT_EQ(std::vector<float>(left, left + 512), own.channels[0]);
    EXPECT_NE(own.channels[0], source.signal().left) << "the compander ran";

    pf::AudioBufferList mono = testsupport::nullBufferList(1);
    EXPECT_EQ(render(*adapter, 256, &mono, source.pullBlock()), pf::noErr);
    EXPECT_EQ(mono.mBuffers[1].mData, nullptr);
}

TEST(KernelAdapter, AllocationRunsAtTheBusRateAndIgnoresNonFiniteRates) {
    RecordedLog log;
    auto adapter = makeAllocatedAdapter();
    adapter->setSamplerate(44100.0f);
    adapter->allocateRenderResources();
    EXPECT_EQ(adapter->getSamplerate(), 48000.0f) << "its own bus's rate";
    adapter->setSamplerate(44100.0f);
    adapter->setSamplerate(std::numeric_limits<float>::quiet_NaN());
    adapter->setSamplerate(std::numeric_limits<float>::infinity());
    EXPECT_EQ(adapter->getSamplerate(), 44100.0f);
    EXPECT_EQ(adapter->kernel().compander.inputFollower[0].fSamplerate.load(), 44100.0f);
}

TEST(KernelAdapter, MidiOutputBlockReachesTheKernelEachCycle) {
    auto adapter = makeAllocatedAdapter();
    SignalSource source(testsignals::musicLike(256));
    ChannelBuffers out(2, 256);
    for (const auto& block :
         {midiBlock(0), midiBlock(0), midiBlock(1), pf::AUMIDIOutputEventBlock{}}) {
        adapter->setAUMIDIOutputEventBlock(block);
        ASSERT_EQ(render(*adapter, 256, &out.list, source.pullBlock()), pf::noErr);
        EXPECT_TRUE(adapter->kernel().midiOut == block);
    }
}

// The MIDI output block used to be replaced while the render thread read it. Each cycle renders
// with the block set last.
TEST(KernelAdapter, MidiOutputBlockMayBeReplacedWhileRendering) {
    auto adapter = makeAllocatedAdapter(256);
    std::vector<pf::AUMIDIOutputEventBlock> blocks;
    for (int i = 0; i < 4; ++i)
        blocks.push_back(midiBlock(i));
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (int i = 0; !stop.load(); ++i)
            adapter->setAUMIDIOutputEventBlock(blocks[i % 4]);
    });
    SignalSource source(testsignals::musicLike(256));
    ChannelBuffers out(2, 256);
    int failures = 0;
    for (int cycle = 0; cycle < 3000; ++cycle) {
        adapter->setAUMIDIOutputEventBlock(blocks[cycle % 4]);
        if (render(*adapter, 256, &out.list, source.pullBlock()) != pf::noErr) ++failures;
        if (adapter->kernel().midiOut) {
            const pf::OSStatus which = adapter->kernel().midiOut(0, 0, 0, nullptr);
            if (which < 0 || which > 3) ++failures;
        }
    }
    stop = true;
    setter.join();
    EXPECT_EQ(failures, 0);
    for (const auto& block : {midiBlock(7), midiBlock(8), pf::AUMIDIOutputEventBlock{}}) {
        adapter->setAUMIDIOutputEventBlock(block);
        ASSERT_EQ(render(*adapter, 256, &out.list, {}), pf::noErr);
        EXPECT_TRUE(adapter->kernel().midiOut == block);
    }
}
