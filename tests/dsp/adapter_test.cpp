// The kernel adapter: statuses, pulling, in-place rendering, parameters, sample rate, blocks.
#include <atomic>
#include <cmath>
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
                             pf::AudioBufferList* out, const pf::AURenderPullInputBlock& pull,
                             const pf::AURenderEvent* events = nullptr) {
    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AudioTimeStamp timestamp;
    return adapter.render(&flags, &timestamp, frames, 0, out, events, pull);
}

struct CountingPull {
    int calls = 0;
    pf::AURenderPullInputBlock block() {
        return [this](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                      pf::AUAudioFrameCount, pf::NSInteger, pf::AudioBufferList*) {
            ++calls;
            return pf::noErr;
        };
    }
};

} // namespace

TEST(KernelAdapter, StartsAtFortyEightKilohertzStereoWithItsOwnBuses) {
    Adapter adapter;
    EXPECT_EQ(adapter.getSamplerate(), 48000.0f);
    EXPECT_EQ(adapter.maximumFramesToRender(), 4096u);
    ASSERT_TRUE(adapter.inputBus() && adapter.outputBus());
    EXPECT_EQ(adapter.outputBus()->format()->channelCount(), 2u);
    EXPECT_EQ(adapter.outputBus()->format()->sampleRate(), 48000.0);
    EXPECT_TRUE(adapter.outputBus()->format()->isStandard());
    EXPECT_EQ(adapter.inputBus()->maximumChannelCount(), 2u);
    EXPECT_EQ(adapter.outputBus()->maximumChannelCount(), 2u);
}

TEST(KernelAdapter, TooManyFramesFailWithoutTouchingAnything) {
    auto adapter = makeAllocatedAdapter(4096);
    CountingPull pull;
    ChannelBuffers out(2, 4097, 0.25f);
    EXPECT_EQ(render(*adapter, 4097, &out.list, pull.block()),
              pf::kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(pull.calls, 0);
    EXPECT_EQ(out.channels[0], std::vector<float>(4097, 0.25f));

    // A maximum raised after allocation does not grow the buffer.
    auto small = makeAllocatedAdapter(512);
    small->setMaximumFramesToRender(4096);
    EXPECT_EQ(render(*small, 1024, &out.list, pull.block()),
              pf::kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(pull.calls, 0);
    EXPECT_EQ(render(*small, 512, &out.list, pull.block()), pf::noErr);
}

// Rendering before allocation (or after deallocation) used to dereference a null buffer list.
TEST(KernelAdapter, RenderingWithoutResourcesFailsAsUninitialized) {
    RecordedLog log;
    auto adapter = std::make_shared<Adapter>();
    CountingPull pull;
    ChannelBuffers out(2, 256, 0.25f);
    pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
    EXPECT_EQ(render(*adapter, 256, &out.list, pull.block()), pf::kAudioUnitErr_Uninitialized);
    EXPECT_EQ(render(*adapter, 256, &inPlace, {}), pf::kAudioUnitErr_Uninitialized);
    adapter->allocateRenderResources();
    EXPECT_EQ(render(*adapter, 256, &out.list, pull.block()), pf::noErr);
    adapter->deallocateRenderResources();
    EXPECT_EQ(render(*adapter, 256, &inPlace, pull.block()), pf::kAudioUnitErr_Uninitialized);
    EXPECT_EQ(pull.calls, 1);
    EXPECT_EQ(out.channels[1], std::vector<float>(256, 0.0f)) << "the one cycle copied silence";
}

TEST(KernelAdapter, NullOutputBuffersAreRenderedInPlaceOnTheInput) {
    auto adapter = makeAllocatedAdapter();
    adapter->setParameter(3, 1.0f);
    auto reference = makeAllocatedAdapter();
    reference->setParameter(3, 1.0f);

    SignalSource source(testsignals::musicLike(512));
    SignalSource same(testsignals::musicLike(512));
    pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
    ASSERT_EQ(render(*adapter, 512, &inPlace, source.pullBlock()), pf::noErr);
    EXPECT_EQ(inPlace.mBuffers[0].mData, adapter->inputs()->mBuffers[0].mData);
    EXPECT_EQ(inPlace.mBuffers[1].mData, adapter->inputs()->mBuffers[1].mData);

    ChannelBuffers own(2, 512);
    ASSERT_EQ(render(*reference, 512, &own.list, same.pullBlock()), pf::noErr);
    const auto* left = static_cast<const float*>(inPlace.mBuffers[0].mData);
    EXPECT_EQ(std::vector<float>(left, left + 512), own.channels[0]);
    EXPECT_NE(own.channels[0], source.signal().left) << "the compander ran";
}

TEST(KernelAdapter, OnlyTheBuffersBothListsHoldArePointedAtTheInput) {
    auto adapter = makeAllocatedAdapter();
    SignalSource source(testsignals::musicLike(256));
    pf::AudioBufferList three = testsupport::nullBufferList(3);
    EXPECT_EQ(render(*adapter, 256, &three, source.pullBlock()), pf::noErr);
    EXPECT_NE(three.mBuffers[1].mData, nullptr);
    EXPECT_EQ(three.mBuffers[2].mData, nullptr);

    pf::AudioBufferList mono = testsupport::nullBufferList(1);
    EXPECT_EQ(render(*adapter, 256, &mono, source.pullBlock()), pf::noErr);
    EXPECT_EQ(mono.mBuffers[1].mData, nullptr);
}

TEST(KernelAdapter, EveryPullSeesTheBuffersOwnMemoryAtFullCapacity) {
    auto adapter = makeAllocatedAdapter(1024);
    std::vector<float> elsewhere(1024);
    std::vector<pf::AudioBufferList> seen;
    pf::AURenderPullInputBlock pull = [&](pf::AudioUnitRenderActionFlags* flags,
                                          const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
                                          pf::NSInteger bus, pf::AudioBufferList* list) {
        EXPECT_EQ(*flags, 0u);
        EXPECT_EQ(bus, 0);
        seen.push_back(*list);
        list->mBuffers[0].mData = elsewhere.data(); // a host may point the list elsewhere
        list->mBuffers[0].mDataByteSize = 64;
        return pf::noErr;
    };
    ChannelBuffers out(2, 1024);
    ASSERT_EQ(render(*adapter, 64, &out.list, pull), pf::noErr);
    ASSERT_EQ(render(*adapter, 64, &out.list, pull), pf::noErr);
    ASSERT_EQ(seen.size(), 2u);
    const auto* own = adapter->kernel().getInputs(); // still the list handed to the pull
    for (const auto& list : seen) {
        EXPECT_EQ(list.mNumberBuffers, 2u);
        EXPECT_NE(list.mBuffers[0].mData, elsewhere.data());
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, 1024u * 4u);
        EXPECT_EQ(list.mBuffers[1].mDataByteSize, 1024u * 4u);
    }
    EXPECT_EQ(seen[1].mBuffers[1].mData, own->mBuffers[1].mData);
}

TEST(KernelAdapter, AFailedPullIsReturnedAndNothingIsProcessed) {
    auto adapter = makeAllocatedAdapter();
    pf::AURenderPullInputBlock failing =
        [](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
           pf::NSInteger, pf::AudioBufferList*) { return pf::OSStatus{-42}; };
    ChannelBuffers out(2, 128, 0.5f);
    EXPECT_EQ(render(*adapter, 128, &out.list, failing), -42);
    EXPECT_EQ(out.channels[0], std::vector<float>(128, 0.5f));
}

TEST(KernelAdapter, WithoutAPullBlockTheRenderMethodReusesThePreviousInput) {
    auto adapter = makeAllocatedAdapter();
    adapter->setBypass(true);
    SignalSource source(testsignals::musicLike(256));
    ChannelBuffers first(2, 256), second(2, 256);
    ASSERT_EQ(render(*adapter, 256, &first.list, source.pullBlock()), pf::noErr);
    ASSERT_EQ(render(*adapter, 256, &second.list, {}), pf::noErr);
    EXPECT_EQ(first.channels[0], second.channels[0]);
    EXPECT_EQ(second.channels[0], source.signal().left);

    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AudioTimeStamp timestamp;
    const auto block = adapter->internalRenderBlock();
    EXPECT_EQ(block(&flags, &timestamp, 256, 0, &second.list, nullptr, {}),
              pf::kAudioUnitErr_NoConnection);
    EXPECT_EQ(block(&flags, &timestamp, 256, 0, &second.list, nullptr, source.pullBlock()),
              pf::noErr);
    EXPECT_EQ(render(*adapter, 256, nullptr, source.pullBlock()), pf::kAudio_ParamError);
}

TEST(KernelAdapter, ParametersPassThroughWithSignExtendedAddresses) {
    RecordedLog log;
    Adapter adapter;
    adapter.setParameter(11, 1.0f);
    EXPECT_EQ(adapter.getParameterEx(11), 1.0f);
    EXPECT_EQ(adapter.valueForParameter(11), 1.0f);
    adapter.setParameterEx(4, 0.25f);
    EXPECT_EQ(adapter.valueForParameter(4), 0.25f);
    log.lines().clear();
    adapter.setParameterEx(-1, 0.5f);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(adapter.getParameterEx(-1), 0.0f);

    adapter.setShouldBypassEffect(true);
    EXPECT_TRUE(adapter.shouldBypassEffect());
    adapter.setBypass(false);
    EXPECT_FALSE(adapter.shouldBypassEffect());
    adapter.setMaximumFramesToRender(0xFFFFFFFFu);
    EXPECT_EQ(adapter.maximumFramesToRender(), 0x7FFFFFFFu);
}

TEST(KernelAdapter, AllocationRunsTheKernelAtItsOwnBusRate) {
    RecordedLog log;
    Adapter adapter;
    adapter.setSamplerate(44100.0f);
    adapter.allocateRenderResources();
    EXPECT_EQ(adapter.getSamplerate(), 48000.0f);
}

// The host's usual order — restore state, allocate, set its rate — used to lose attack and release.
TEST(KernelAdapter, AttackAndReleaseSurviveAllocationAndTheHostsRate) {
    RecordedLog log;
    auto adapter = makeAllocatedAdapter();
    adapter->setParameter(0, 0.1f);
    adapter->setParameter(1, 0.25f);
    adapter->allocateRenderResources();
    adapter->setSamplerate(44100.0f);
    const Follower& detector = adapter->kernel().compander.inputFollower[0];
    EXPECT_EQ(detector.attackTime, 0.1f * 44100.0f);
    EXPECT_EQ(detector.releaseTime, 0.25f * 44100.0f);
}

TEST(KernelAdapter, NonFiniteValuesThroughEveryEntryLeaveTheAudioFinite) {
    RecordedLog log;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto adapter = makeAllocatedAdapter(512);
    adapter->setSamplerate(nan);
    adapter->setSamplerate(inf);
    EXPECT_EQ(adapter->getSamplerate(), 48000.0f);
    for (std::int32_t address = 0; address < 11; ++address) {
        adapter->setParameterEx(address, address % 2 == 0 ? nan : -inf);
    }
    adapter->setParameter(7, 0.0f); // process, do not bypass
    adapter->setParameter(9, 0.0f);
    adapter->setParameter(10, 1.0f);
    testsupport::EventList events;
    for (pf::AUParameterAddress address = 0; address < 11; ++address) {
        if (address != 7 && address != 9 && address != 10) events.parameter(64, address, inf);
    }
    SignalSource source(testsignals::musicLike(512));
    ChannelBuffers out(2, 512);
    ASSERT_EQ(render(*adapter, 512, &out.list, source.pullBlock(), events.link()), pf::noErr);
    for (int c = 0; c < 2; ++c) {
        for (float sample : out.channels[c])
            ASSERT_TRUE(std::isfinite(sample));
    }
    EXPECT_TRUE(std::isfinite(adapter->getPeakValue1()));
    EXPECT_TRUE(std::isfinite(adapter->getDynamicsValue2()));
}

TEST(KernelAdapter, MetersReadTheKernel) {
    auto adapter = makeAllocatedAdapter();
    adapter->setParameter(3, 1.0f);
    SignalSource source(testsignals::musicLike(4800));
    pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
    for (int cycle = 0; cycle < 10; ++cycle) {
        inPlace = testsupport::nullBufferList(2);
        ASSERT_EQ(render(*adapter, 480, &inPlace, source.pullBlock()), pf::noErr);
    }
    auto& kernel = adapter->kernel();
    EXPECT_GT(adapter->getPeakValue1(), 0.0f);
    EXPECT_EQ(adapter->getPeakValue1(), kernel.getPeakValue1());
    EXPECT_EQ(adapter->getPeakValue2(), kernel.getPeakValue2());
    EXPECT_EQ(adapter->getDynamicsValue1(), kernel.getDynamicsValue1());
    EXPECT_EQ(adapter->getDynamicsValue2(), kernel.getDynamicsValue2());
    EXPECT_EQ(adapter->render2(64, &inPlace), pf::noErr);
    EXPECT_EQ(adapter->outputs(), &inPlace);
}

TEST(KernelAdapter, MidiOutputBlockReachesTheKernelEachCycle) {
    auto adapter = makeAllocatedAdapter();
    pf::AUMIDIOutputEventBlock first = [](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                          const std::uint8_t*) { return pf::noErr; };
    pf::AUMIDIOutputEventBlock second = first; // the same block
    pf::AUMIDIOutputEventBlock other = [](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                          const std::uint8_t*) { return pf::OSStatus{1}; };
    SignalSource source(testsignals::musicLike(256));
    ChannelBuffers out(2, 256);

    adapter->setAUMIDIOutputEventBlock(first);
    adapter->setAUMIDIOutputEventBlock(second);
    const long owners = first.pointer().use_count();
    adapter->setAUMIDIOutputEventBlock(second);
    EXPECT_EQ(first.pointer().use_count(), owners);
    ASSERT_EQ(render(*adapter, 256, &out.list, source.pullBlock()), pf::noErr);
    EXPECT_TRUE(adapter->kernel().midiOut == first);

    const auto captured = adapter->internalRenderBlock();
    adapter->setAUMIDIOutputEventBlock(other);
    ASSERT_EQ(render(*adapter, 256, &out.list, source.pullBlock()), pf::noErr);
    EXPECT_TRUE(adapter->kernel().midiOut == other);
    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AudioTimeStamp timestamp;
    ASSERT_EQ(captured(&flags, &timestamp, 256, 0, &out.list, nullptr, source.pullBlock()),
              pf::noErr);
    EXPECT_TRUE(adapter->kernel().midiOut == first) << "the block made earlier keeps its own";

    adapter->setAUMIDIOutputEventBlock({});
    ASSERT_EQ(render(*adapter, 256, &out.list, source.pullBlock()), pf::noErr);
    EXPECT_FALSE(adapter->kernel().midiOut);
}

// The MIDI output block used to be replaced while the render thread read it.
TEST(KernelAdapter, MidiOutputBlockMayBeReplacedWhileRendering) {
    auto adapter = makeAllocatedAdapter(256);
    std::vector<pf::AUMIDIOutputEventBlock> blocks;
    for (int i = 0; i < 4; ++i) {
        blocks.push_back([i](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                             const std::uint8_t*) { return pf::OSStatus{i}; });
    }
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (int i = 0; !stop.load(); ++i)
            adapter->setAUMIDIOutputEventBlock(blocks[i % 4]);
    });
    SignalSource source(testsignals::musicLike(256));
    ChannelBuffers out(2, 256);
    int failures = 0;
    for (int cycle = 0; cycle < 3000; ++cycle) {
        adapter->setAUMIDIOutputEventBlock(blocks[cycle % 4]); // the unit re-sends it each cycle
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
