// The kernel adapter: statuses, pulling, in-place rendering, parameters, sample rate, blocks.
#include <atomic>
#include <cmath>
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

// Rendering before allocation (or after release) used to dereference a null buffer list, and a
// maximum raised after allocation let a cycle run past the input buffer.
TEST(KernelAdapter, RefusedCyclesReturnTheirStatusAndTouchNothing) {
    RecordedLog log;
    const struct {
        const char* claim;
        std::function<std::shared_ptr<Adapter>()> make;
        pf::AUAudioFrameCount frames;
        bool withOutput;
        pf::AUAudioUnitStatus pullStatus;
        pf::AUAudioUnitStatus expected;
    } cases[] = {
        {"above the maximum", [] { return makeAllocatedAdapter(4096); }, 4097, true, 0,
         pf::kAudioUnitErr_TooManyFramesToProcess},
        {"maximum raised after allocation",
         [] {
             auto a = makeAllocatedAdapter(512);
             a->setMaximumFramesToRender(4096);
             return a;
         },
         1024, true, 0, pf::kAudioUnitErr_TooManyFramesToProcess},
        {"never allocated", [] { return std::make_shared<Adapter>(); }, 256, true, 0,
         pf::kAudioUnitErr_Uninitialized},
        {"released",
         [] {
             auto a = makeAllocatedAdapter();
             a->deallocateRenderResources();
             return a;
         },
         256, true, 0, pf::kAudioUnitErr_Uninitialized},
        {"no output list", [] { return makeAllocatedAdapter(); }, 256, false, 0,
         pf::kAudio_ParamError},
        {"failed pull", [] { return makeAllocatedAdapter(); }, 128, true, -42, -42},
    };
    for (const auto& c : cases) {
        const auto adapter = c.make();
        int pulls = 0;
        const pf::AURenderPullInputBlock pull =
            [&](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
                pf::NSInteger, pf::AudioBufferList*) {
                ++pulls;
                return c.pullStatus;
            };
        ChannelBuffers out(2, c.frames, 0.25f);
        EXPECT_EQ(render(*adapter, c.frames, c.withOutput ? &out.list : nullptr, pull), c.expected)
            << c.claim;
        EXPECT_EQ(pulls, c.pullStatus != 0 ? 1 : 0) << c.claim;
        EXPECT_EQ(out.channels[0], std::vector<float>(c.frames, 0.25f)) << c.claim;
    }
    auto adapter = makeAllocatedAdapter(512);
    pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
    EXPECT_EQ(render(*adapter, 512, &inPlace, {}), pf::noErr) << "exactly the maximum";
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

// The MIDI output block used to be replaced while the render thread read it.
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
}
