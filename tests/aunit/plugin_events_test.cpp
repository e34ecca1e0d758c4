// The plug-in as a host meets it: found and loaded through the component registry, then fed
// parameter events scheduled at exact frames, and thousands of them from another thread while
// it renders, with its waiting list free and full.
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "audio/AVAudioNode.h"
#include "audio/AudioComponentBundles.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "ui/WindowBackend.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 0, 0};
constexpr AUAudioFrameCount kFrames = 512;
constexpr AUEventSampleTime kStart = 48000; // the time stamp of the cycle under test
constexpr AUParameterAddress kThreshold = 2, kGain = 4, kFinalLimiter = 11;

// A stereo tone whose level swells, so the compander has work in every frame.
float input(int channel, double time) {
    const double swell = 0.6 + 0.35 * std::sin(2 * M_PI * 3.0 * time / 48000.0);
    return static_cast<float>(swell * std::sin(2 * M_PI * 440.0 * time / 48000.0 + channel));
}

struct Stereo {
    std::array<float, kFrames> channel[2]{};
};

// Renders one cycle of kFrames stamped `start` into `out`.
AUAudioUnitStatus render(const AURenderBlock& block, const AURenderPullInputBlock& pull,
                         AUEventSampleTime start, Stereo& out) {
    AudioBufferList list;
    list.mNumberBuffers = 2;
    for (std::uint32_t c = 0; c < 2; ++c)
        list.mBuffers[c] = {1, kFrames * sizeof(float), out.channel[c].data()};
    AudioTimeStamp time;
    time.mSampleTime = static_cast<double>(start);
    time.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    return block(&flags, &time, kFrames, 0, &list, pull);
}

class PlugInEvents : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunLoop::claimMainThread();
        previousBackend_ = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
        registry_ = std::make_unique<AudioComponentRegistry>();
        registry_->addComponentSource(audioComponentBundleSource({PLUGIN_FOLDER}));
    }
    static void TearDownTestSuite() {
        registry_.reset();
        RunLoop::main().drainQueue();
        WindowBackend::setShared(std::move(previousBackend_));
    }

    // A new instance with its render resources allocated.
    std::shared_ptr<AUAudioUnit> instantiate(bool finalLimiter) {
        std::shared_ptr<AVAudioUnit> node;
        std::atomic<bool> done{false};
        AVAudioUnit::instantiate(*registry_, kPlugin, 0,
                                 [&](std::shared_ptr<AVAudioUnit> unit, std::optional<NSError>) {
                                     node = std::move(unit);
                                     DispatchQueue::main().async([&] { done = true; });
                                 });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }, 10s));
        if (!node) return nullptr;
        nodes_.push_back(node);
        const auto unit = node->auAudioUnit();
        unit->parameterTree()->parameterWithAddress(kFinalLimiter)->setValue(finalLimiter ? 1 : 0);
        unit->allocateRenderResources();
        return unit;
    }

    // Pulls the tone for the cycle's time stamp.
    static AURenderPullInputBlock tone() {
        return AURenderPullInputBlock([](AudioUnitRenderActionFlags*, const AudioTimeStamp* ts,
                                         AUAudioFrameCount frames, NSInteger,
                                         AudioBufferList* in) noexcept {
            for (std::uint32_t c = 0; c < in->mNumberBuffers && c < 2; ++c) {
                auto* data = static_cast<float*>(in->mBuffers[c].mData);
                for (AUAudioFrameCount i = 0; i < frames; ++i)
                    data[i] = input(int(c), ts->mSampleTime + i);
            }
            return noErr;
        });
    }

    ConsoleCapture console_; // the kernel's line for every event
    std::vector<std::shared_ptr<AVAudioUnit>> nodes_;
    static inline std::unique_ptr<AudioComponentRegistry> registry_;
    static inline std::unique_ptr<WindowBackend> previousBackend_;
};

struct Event {
    AUEventSampleTime time; // frames into the cycle, or AUEventSampleTimeImmediate
    AUParameterAddress address;
    AUValue value;
};

struct Case {
    const char* claim;
    std::vector<Event> events;
    int firstChangedFrame; // from here on every frame differs from a run without the events
};

TEST_F(PlugInEvents, ScheduledParametersTakeEffectAtTheirExactFrame) {
    const AUEventSampleTime now = AUEventSampleTimeImmediate;
    const std::vector<Case> cases{
        {"threshold and gain at frame 100", {{100, kThreshold, 0.3f}, {100, kGain, 0.25f}}, 100},
        {"an immediate event changes frame 0 on", {{now, kGain, 0.25f}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.claim);
        Stereo out[2];
        for (int run = 0; run < 2; ++run) {
            const auto unit = instantiate(false);
            ASSERT_TRUE(unit);
            const auto schedule = unit->scheduleParameterBlock();
            for (const Event& e : run == 0 ? c.events : std::vector<Event>{})
                schedule(e.time == now ? now : kStart + e.time, 0, e.address, e.value);
            ASSERT_EQ(render(unit->renderBlock(), tone(), kStart, out[run]), noErr);
        }
        for (int ch = 0; ch < 2; ++ch) {
            for (int i = 0; i < int(kFrames); ++i) {
                const bool changed = out[0].channel[ch][i] != out[1].channel[ch][i];
                ASSERT_EQ(changed, i >= c.firstChangedFrame) << "channel " << ch << " frame " << i;
            }
        }
    }
}

constexpr AUEventSampleTime kLater = AUEventSampleTime{1} << 40; // long after every cycle

struct Flood {
    AUAudioUnitStatus status = noErr;
    long allocations = -1, cycles = 0;
    std::array<std::uint64_t, 3> counts{}; // delivered, refused, dropped
};

// Ten thousand gain events scheduled from this thread, at most 512 of them not yet counted,
// while another thread renders until each is delivered or refused; when `everyTenthLater`, every
// tenth event is for much later instead of due in its cycle.
Flood flood(AUAudioUnit& unit, const AURenderPullInputBlock& pull, bool everyTenthLater) {
    const auto block = unit.renderBlock();
    const auto schedule = unit.scheduleParameterBlock();
    constexpr std::uint64_t kEvents = 10000;
    constexpr std::uint64_t kInFlight = 512; // below the queue's capacity
    const auto counted = [&] {
        const auto n = unit.scheduledEventCounts();
        return n.delivered + n.refused;
    };
    Flood result;
    std::atomic<bool> rendering{true}, scheduled{false};
    std::thread renderer([&] {
        Stereo out;
        // The first cycle may set up thread-local state.
        result.status = render(block, pull, 0, out);
        testsupport::AllocationCount count;
        // Ends when everything scheduled arrived, or long after it should have.
        while (result.status == noErr && !(scheduled && counted() == kEvents) &&
               result.cycles < 200000) {
            ++result.cycles;
            result.status = render(block, pull, result.cycles * kFrames, out);
        }
        result.allocations = count.count();
        rendering = false;
    });
    for (std::uint64_t i = 0; i < kEvents; ++i) {
        while (rendering && i >= kInFlight && counted() + kInFlight <= i)
            std::this_thread::yield();
        const bool later = everyTenthLater && i % 10 == 0;
        schedule(later ? kLater : AUEventSampleTimeImmediate + AUEventSampleTime(i % kFrames), 0,
                 kGain, i % 2 == 0 ? 0.25f : 0.75f);
    }
    scheduled = true;
    renderer.join();
    RunLoop::main().drainQueue();
    const auto n = unit.scheduledEventCounts();
    result.counts = {n.delivered, n.refused, n.dropped};
    return result;
}

TEST_F(PlugInEvents, TenThousandEventsFromAnotherThreadArriveWithoutAllocating) {
    const auto unit = instantiate(true);
    ASSERT_TRUE(unit);
    const Flood f = flood(*unit, tone(), false);
    EXPECT_EQ(f.status, noErr);
    EXPECT_EQ(f.allocations, 0) << "in " << f.cycles << " cycles";
    EXPECT_EQ(f.counts, (std::array<std::uint64_t, 3>{10000, 0, 0}));
}

TEST_F(PlugInEvents, TenThousandEventsFromAnotherThreadPassAFullWaitingListWithoutAllocating) {
    const auto unit = instantiate(true);
    ASSERT_TRUE(unit);
    // Events for much later fill the waiting list before the first cycle; every tenth event is
    // one more of them, refused in its cycle, while the others are due in theirs.
    const auto schedule = unit->scheduleParameterBlock();
    for (std::size_t i = 0; i < AUScheduledEventQueue::kWaitingCapacity; ++i)
        schedule(kLater, 0, kGain, 0.5f);
    Stereo first;
    ASSERT_EQ(render(unit->renderBlock(), tone(), 0, first), noErr);
    const Flood f = flood(*unit, tone(), true);
    EXPECT_EQ(f.status, noErr);
    EXPECT_EQ(f.allocations, 0) << "in " << f.cycles << " cycles";
    EXPECT_EQ(f.counts, (std::array<std::uint64_t, 3>{9000, 1000, 0}));
}

} // namespace
} // namespace pf
