// The built-in peak-limiter unit as a host sees it: registration, parameters, buses, and the
// render block (pulling, in place, bypass, discontinuities, statuses, no allocation per cycle).
// The limiter's own physics are measured on its DSP; here the unit must carry them through.
#include <cmath>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "LimiterSignals.h"
#include "audio/AVAudioNode.h"
#include "audio/units/PeakLimiterUnit.h"

namespace pf {
namespace {

using limiter_test::peakOf;
using limiter_test::Stereo;

constexpr AudioComponentDescription kLimiter{fourCharCode("aufx"), fourCharCode("lmtr"),
                                             fourCharCode("appl"), 0, 0};

// A host for one unit: renders a whole signal through the unit's render block in blocks, handing
// the input over through a pull block, either into the unit's own input buffers or, like the
// plug-in's pull block, by pointing the unit's input list at the output buffers (in place).
class Host {
public:
    explicit Host(double rate = 48000.0, AUAudioFrameCount maxFrames = 512) {
        effect_ = AVAudioUnitEffect::make(kLimiter);
        unit = effect_->auAudioUnit();
        const auto format = AVAudioFormat::standardFormatWithSampleRate(rate, 2);
        EXPECT_EQ((*unit->inputBusses())[0]->setFormat(format), noErr);
        EXPECT_EQ((*unit->outputBusses())[0]->setFormat(format), noErr);
        unit->setMaximumFramesToRender(maxFrames);
    }

    void set(AudioUnitParameterID id, AUValue value) {
        ASSERT_EQ(
            AudioUnitSetParameter(effect_->audioUnit(), id, kAudioUnitScope_Global, 0, value, 0),
            noErr);
    }
    AUValue get(AudioUnitParameterID id) {
        AUValue value = -1;
        EXPECT_EQ(
            AudioUnitGetParameter(effect_->audioUnit(), id, kAudioUnitScope_Global, 0, &value),
            noErr);
        return value;
    }

    // Renders `input` in blocks of `block` frames starting at sample time `startTime`.
    Stereo render(const Stereo& input, AUAudioFrameCount block, bool inPlace,
                  double startTime = 0.0) {
        Stereo io = input;
        const auto renderBlock = unit->renderBlock();
        AudioBufferList out;
        const auto pull = AURenderPullInputBlock([&](AudioUnitRenderActionFlags*,
                                                     const AudioTimeStamp*,
                                                     AUAudioFrameCount frames, NSInteger,
                                                     AudioBufferList* in) -> AUAudioUnitStatus {
            for (std::uint32_t c = 0; c < 2; ++c) {
                if (inPlace) {
                    in->mBuffers[c] = out.mBuffers[c];
                } else {
                    const float* source = static_cast<const float*>(out.mBuffers[c].mData);
                    std::copy(source, source + frames, static_cast<float*>(in->mBuffers[c].mData));
                }
            }
            return noErr;
        });
        for (std::size_t begin = 0; begin < io.frames(); begin += block) {
            const auto frames =
                static_cast<AUAudioFrameCount>(std::min<std::size_t>(block, io.frames() - begin));
            out.mNumberBuffers = 2;
            out.mBuffers[0] = {1, frames * 4u, io.left.data() + begin};
            out.mBuffers[1] = {1, frames * 4u, io.right.data() + begin};
            AudioTimeStamp time;
            time.mSampleTime = startTime + static_cast<double>(begin);
            time.mFlags = sampleTimeValid ? kAudioTimeStampSampleTimeValid : 0;
            AudioUnitRenderActionFlags flags = 0;
            std::optional<testsupport::AllocationCount> count;
            if (countAllocations) count.emplace();
            lastStatus = renderBlock(&flags, &time, frames, 0, &out, pull);
            if (count) allocations += count->count();
            if (lastStatus != noErr) break;
        }
        return io;
    }

    std::shared_ptr<AUAudioUnit> unit;
    AUAudioUnitStatus lastStatus = noErr;
    bool countAllocations = false; // count allocations inside the render calls
    long allocations = 0;          // the allocations counted
    bool sampleTimeValid = true;   // whether the time stamps carry their sample time

private:
    std::shared_ptr<AVAudioUnitEffect> effect_;
};

TEST(PeakLimiterUnit, IsRegisteredWithThreeGlobalParametersAndOneStereoBusEachWay) {
    const auto effect = AVAudioUnitEffect::make(kLimiter);
    const auto unit = std::dynamic_pointer_cast<PeakLimiterUnit>(effect->auAudioUnit());
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->componentDescription(), kLimiter);
    EXPECT_TRUE(unit->componentName().has_value());
    EXPECT_EQ(unit->inputBusses()->count(), 1u);
    EXPECT_EQ(unit->outputBusses()->count(), 1u);
    const auto format = (*unit->outputBusses())[0]->format();
    EXPECT_EQ(format->channelCount(), 2u);
    EXPECT_TRUE(format->isStandard());
    EXPECT_TRUE(unit->canProcessInPlace());

    const auto params = unit->parameterTree()->allParameters();
    ASSERT_EQ(params.size(), 3u);
    struct Expected {
        AUParameterAddress address;
        float min, max, initial;
        AudioUnitParameterUnit unit;
    };
    const Expected expected[] = {{0, 0.001f, 0.03f, 0.012f, kAudioUnitParameterUnit_Seconds},
                                 {1, 0.001f, 0.06f, 0.024f, kAudioUnitParameterUnit_Seconds},
                                 {2, -40.0f, 40.0f, 0.0f, kAudioUnitParameterUnit_Decibels}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(params[i]->address(), expected[i].address);
        EXPECT_EQ(params[i]->minValue(), expected[i].min);
        EXPECT_EQ(params[i]->maxValue(), expected[i].max);
        EXPECT_EQ(params[i]->value(), expected[i].initial);
        EXPECT_EQ(params[i]->unit(), expected[i].unit);
    }
}

TEST(PeakLimiterUnit, OutOfRangeParameterValuesAreClamped) {
    Host host;
    host.set(0, 0.1f);
    host.set(1, 0.0005f);
    host.set(2, 50.0f);
    EXPECT_EQ(host.get(0), 0.03f);
    EXPECT_EQ(host.get(1), 0.001f);
    EXPECT_EQ(host.get(2), 40.0f);
    host.set(2, -50.0f);
    EXPECT_EQ(host.get(2), -40.0f);
    host.set(0, 0.02f);
    EXPECT_EQ(host.get(0), 0.02f);
}

TEST(PeakLimiterUnit, ReportsItsConstantLatencyOfAtMostOnePointFiveMilliseconds) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        Host host(rate);
        const double before = host.unit->latency();
        host.unit->allocateRenderResources();
        EXPECT_EQ(host.unit->latency(), before);
        EXPECT_LE(host.unit->latency(), 0.0015);
        EXPECT_GT(host.unit->latency(), 0.001);
        const double frames = host.unit->latency() * rate;
        EXPECT_NEAR(frames, std::round(frames), 1e-9);
        EXPECT_EQ(host.unit->tailTime(), host.unit->latency());
    }
}

TEST(PeakLimiterUnit, BelowTheCeilingOutputIsTheInputDelayedByTheReportedLatency) {
    Host host(44100.0);
    host.unit->allocateRenderResources();
    const auto delay = static_cast<std::size_t>(std::lround(host.unit->latency() * 44100.0));
    const Stereo input{limiter_test::mono(limiter_test::sine(44100.0, 997.0, 0.5, 6000))};
    const Stereo output = host.render(input, 256, true);
    ASSERT_EQ(host.lastStatus, noErr);
    for (std::size_t n = 0; n < delay; ++n)
        ASSERT_EQ(output.left[n], 0.0f);
    for (std::size_t n = delay; n < output.frames(); ++n) {
        ASSERT_NEAR(output.left[n], input.left[n - delay], 1e-6) << n;
        ASSERT_NEAR(output.right[n], input.right[n - delay], 1e-6) << n;
    }
}

TEST(PeakLimiterUnit, InPlaceRenderingEqualsRenderingFromItsOwnBuffersAndKeepsTheCeiling) {
    const Stereo music = limiter_test::hotMusic(48000.0, 48000);
    Host inPlace;
    Host separate;
    for (Host* h : {&inPlace, &separate}) {
        h->set(0, 0.03f);
        h->set(1, 0.06f);
        h->set(2, -0.01f);
        h->unit->allocateRenderResources();
    }
    const Stereo a = inPlace.render(music, 512, true);
    const Stereo b = separate.render(music, 512, false);
    ASSERT_EQ(inPlace.lastStatus, noErr);
    ASSERT_EQ(separate.lastStatus, noErr);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    EXPECT_LE(peakOf(a), 1.0f);
    EXPECT_GT(peakOf(a), 0.5f);
}

TEST(PeakLimiterUnit, ACycleThatDoesNotFollowOnStartsWithAnEmptyLookahead) {
    const Stereo loud{limiter_test::mono(limiter_test::sine(48000.0, 440.0, 0.9, 512))};
    const Stereo silence(64);
    for (const bool jump : {false, true}) {
        Host host;
        host.unit->allocateRenderResources();
        host.render(loud, 512, true, 0.0);
        const Stereo after = host.render(silence, 64, true, jump ? 10000.0 : 512.0);
        if (jump) {
            EXPECT_EQ(peakOf(after), 0.0f) << "stale look-ahead audio after a jump";
        } else {
            EXPECT_GT(peakOf(after), 0.1f) << "the delayed tail of a continuous stream";
        }
    }
    // Without a valid sample time nothing tells a jump: the stream is taken as continuous.
    Host host;
    host.sampleTimeValid = false;
    host.unit->allocateRenderResources();
    host.render(loud, 512, true, 0.0);
    EXPECT_GT(peakOf(host.render(silence, 64, true, 0.0)), 0.1f);
}

TEST(PeakLimiterUnit, ResetAndReallocationClearTheState) {
    const Stereo loud{limiter_test::mono(limiter_test::sine(48000.0, 440.0, 0.9, 512))};
    const Stereo silence(64);
    Host host;
    host.unit->allocateRenderResources();
    host.render(loud, 512, true, 0.0);
    host.unit->reset();
    EXPECT_EQ(peakOf(host.render(silence, 64, true, 512.0)), 0.0f);

    host.render(loud, 512, true, 576.0);
    host.unit->allocateRenderResources();
    EXPECT_EQ(peakOf(host.render(silence, 64, true, 1088.0)), 0.0f);
}

TEST(PeakLimiterUnit, BypassPassesTheInputThroughUnchangedAndUndelayed) {
    const Stereo music = limiter_test::hotMusic(48000.0, 4096);
    Host host;
    host.unit->setShouldBypassEffect(true);
    host.unit->allocateRenderResources();
    const Stereo out = host.render(music, 512, true);
    EXPECT_EQ(out.left, music.left);
    EXPECT_EQ(out.right, music.right);
}

TEST(PeakLimiterUnit, ANullOutputBufferTakesTheInputsMemory) {
    Host host;
    host.unit->allocateRenderResources();
    auto block = host.unit->internalRenderBlock();
    float* pulledInto = nullptr;
    const AURenderPullInputBlock pull([&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount frames, NSInteger,
                                          AudioBufferList* in) -> AUAudioUnitStatus {
        pulledInto = static_cast<float*>(in->mBuffers[0].mData);
        for (std::uint32_t c = 0; c < 2; ++c) {
            std::fill_n(static_cast<float*>(in->mBuffers[c].mData), frames, 0.25f);
        }
        return noErr;
    });
    AudioBufferList out;
    out.mNumberBuffers = 2;
    out.mBuffers[0] = {1, 0, nullptr};
    out.mBuffers[1] = {1, 0, nullptr};
    AudioTimeStamp time;
    AudioUnitRenderActionFlags flags = 0;
    ASSERT_EQ(block(&flags, &time, 128, 0, &out, nullptr, pull), noErr);
    EXPECT_EQ(out.mBuffers[0].mData, pulledInto);
    EXPECT_EQ(out.mBuffers[0].mDataByteSize, 128u * 4u);
    EXPECT_NE(out.mBuffers[1].mData, nullptr);
}

TEST(PeakLimiterUnit, RenderFailuresAreStatusesAndTouchNothing) {
    Host host;
    auto block = host.unit->internalRenderBlock();
    std::vector<float> left(64, 0.5f);
    std::vector<float> right(64, 0.5f);
    AudioBufferList out;
    out.mNumberBuffers = 2;
    out.mBuffers[0] = {1, 256, left.data()};
    out.mBuffers[1] = {1, 256, right.data()};
    AudioTimeStamp time;
    AudioUnitRenderActionFlags flags = 0;
    int pulls = 0;
    OSStatus pullStatus = noErr;
    const AURenderPullInputBlock pull([&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount, NSInteger, AudioBufferList* in) {
        ++pulls;
        in->mBuffers[0] = out.mBuffers[0];
        in->mBuffers[1] = out.mBuffers[1];
        return pullStatus;
    });
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudioUnitErr_Uninitialized);
    host.unit->allocateRenderResources();
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, AURenderPullInputBlock{}),
              kAudioUnitErr_NoConnection);
    EXPECT_EQ(block(&flags, &time, 64, 1, &out, nullptr, pull), kAudioUnitErr_NoConnection);
    EXPECT_EQ(block(&flags, &time, 513, 0, &out, nullptr, pull),
              kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(pulls, 0);
    pullStatus = kAudioUnitErr_NoConnection;
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudioUnitErr_NoConnection);
    pullStatus = noErr;
    out.mNumberBuffers = 1; // fewer buffers than channels
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudio_ParamError);
    EXPECT_EQ(left[10], 0.5f);
    EXPECT_EQ(right[10], 0.5f);
    // A maximum raised after allocation does not let bigger cycles in.
    host.unit->setMaximumFramesToRender(4096);
    out.mNumberBuffers = 2;
    EXPECT_EQ(block(&flags, &time, 1024, 0, &out, nullptr, pull),
              kAudioUnitErr_TooManyFramesToProcess);
    host.unit->deallocateRenderResources();
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudioUnitErr_Uninitialized);
}

TEST(PeakLimiterUnit, AllocationRefusesDisagreeingBusesAndServesMono) {
    Host host;
    ASSERT_EQ((*host.unit->inputBusses())[0]->setFormat(
                  AVAudioFormat::standardFormatWithSampleRate(44100.0, 2)),
              noErr);
    try {
        host.unit->allocateRenderResources();
        FAIL() << "allocated with input and output at different rates";
    } catch (const NSErrorException& e) {
        EXPECT_EQ(e.error().code(), kAudioUnitErr_FormatNotSupported);
        EXPECT_EQ(e.error().domain(), "NSOSStatusErrorDomain");
    }
    ASSERT_EQ((*host.unit->inputBusses())[0]->setFormat(
                  AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)),
              noErr);
    EXPECT_THROW(host.unit->allocateRenderResources(), NSErrorException);
    EXPECT_FALSE(host.unit->renderResourcesAllocated());
    ASSERT_EQ((*host.unit->outputBusses())[0]->setFormat(
                  AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)),
              noErr);
    EXPECT_NO_THROW(host.unit->allocateRenderResources());
    EXPECT_EQ((*host.unit->outputBusses())[0]->setFormat(
                  AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)),
              kAudioUnitErr_Initialized);
}

TEST(PeakLimiterUnit, ParametersSetThroughTheHandleWhileRenderingKeepTheCeiling) {
    const Stereo music = limiter_test::hotMusic(48000.0, 512 * 100);
    Host host;
    host.unit->allocateRenderResources();
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i < 20000 && !done.load(); ++i) {
            host.set(0, 0.001f * static_cast<float>(i % 40));
            host.set(1, 0.002f * static_cast<float>(i % 35));
            host.set(2, static_cast<float>(i % 81) - 40.0f);
        }
    });
    const Stereo out = host.render(music, 512, true);
    done.store(true);
    automation.join();
    EXPECT_EQ(host.lastStatus, noErr);
    EXPECT_LE(peakOf(out), 1.0f);
}

TEST(PeakLimiterUnit, RenderCyclesAllocateNothingOnceResourcesAreAllocated) {
    const Stereo music = limiter_test::hotMusic(48000.0, 512 * 40);
    Host host;
    host.unit->allocateRenderResources();
    host.render(music, 512, true); // warm up
    host.countAllocations = true;
    const Stereo out = host.render(music, 512, true, double(music.frames()));
    EXPECT_EQ(host.lastStatus, noErr);
    EXPECT_EQ(host.allocations, 0);
    EXPECT_LE(peakOf(out), 1.0f);
}

} // namespace
} // namespace pf
