// The built-in peak-limiter unit as a host sees it: registration, parameters, buses, and the
// render block (pulling, in place, bypass, discontinuities, statuses). The limiter's own physics
// and its render safety are measured on its DSP; here the unit must carry them through.
#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

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
            lastStatus = renderBlock(&flags, &time, frames, 0, &out, pull);
            if (lastStatus != noErr) break;
        }
        return io;
    }

    std::shared_ptr<AUAudioUnit> unit;
    AUAudioUnitStatus lastStatus = noErr;
    bool sampleTimeValid = true; // whether the time stamps carry their sample time

private:
    std::shared_ptr<AVAudioUnitEffect> effect_;
};

TEST(PeakLimiterUnit, IsRegisteredWithThreeClampedGlobalParametersAndAFixedLatency) {
    Host host;
    const auto unit = std::dynamic_pointer_cast<PeakLimiterUnit>(host.unit);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->componentDescription(), kLimiter);
    EXPECT_EQ(unit->inputBusses()->count(), 1u);
    EXPECT_EQ(unit->outputBusses()->count(), 1u);
    EXPECT_TRUE(unit->canProcessInPlace());
    const auto params = unit->parameterTree()->allParameters();
    ASSERT_EQ(params.size(), 3u);
    // address, minimum, maximum, initial value, unit
    const std::tuple<AUParameterAddress, float, float, float, AudioUnitParameterUnit> expected[] = {
        {0, 0.001f, 0.03f, 0.012f, kAudioUnitParameterUnit_Seconds},
        {1, 0.001f, 0.06f, 0.024f, kAudioUnitParameterUnit_Seconds},
        {2, -40.0f, 40.0f, 0.0f, kAudioUnitParameterUnit_Decibels}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& p = *params[i];
        EXPECT_EQ(std::make_tuple(p.address(), p.minValue(), p.maxValue(), p.value(), p.unit()),
                  expected[i]);
        host.set(AudioUnitParameterID(i), 1000.0f); // out of range: pinned to the maximum
        EXPECT_EQ(host.get(AudioUnitParameterID(i)), std::get<2>(expected[i]));
    }
    for (const double rate : {44100.0, 96000.0}) {
        Host other(rate);
        const double before = other.unit->latency();
        other.unit->allocateRenderResources();
        EXPECT_EQ(other.unit->latency(), before);
        EXPECT_GT(before, 0.001);
        EXPECT_LE(before, 0.0015);
        EXPECT_NEAR(before * rate, std::round(before * rate), 1e-9);
        EXPECT_EQ(other.unit->tailTime(), before);
    }
}

TEST(PeakLimiterUnit, BelowTheCeilingTheOutputIsTheInputDelayedByTheLatencyOrUndelayedInBypass) {
    Stereo input{limiter_test::mono(limiter_test::sine(44100.0, 997.0, 0.5, 6000))};
    for (auto& x : input.right)
        x *= -0.5f; // the channels differ
    for (const bool bypass : {false, true}) {
        Host host(44100.0);
        host.unit->setShouldBypassEffect(bypass);
        host.unit->allocateRenderResources();
        const auto delay =
            bypass ? 0u : static_cast<std::size_t>(std::lround(host.unit->latency() * 44100.0));
        const Stereo output = host.render(input, 256, true);
        ASSERT_EQ(host.lastStatus, noErr);
        for (std::size_t n = 0; n < output.frames(); ++n) {
            ASSERT_NEAR(output.left[n], n < delay ? 0.0f : input.left[n - delay], 1e-6) << n;
            ASSERT_NEAR(output.right[n], n < delay ? 0.0f : input.right[n - delay], 1e-6) << n;
        }
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

// After a loud cycle, what the next cycle of silence holds: the delayed tail of a continuous
// stream, nothing after a jump in time, a reset or a new allocation.
TEST(PeakLimiterUnit, OnlyAContinuousStreamCarriesTheLookaheadIntoTheNextCycle) {
    enum class Then { follow, jump, reset, reallocate, noSampleTime };
    const Stereo loud{limiter_test::mono(limiter_test::sine(48000.0, 440.0, 0.9, 512))};
    const Stereo silence(64);
    for (const Then then :
         {Then::follow, Then::jump, Then::reset, Then::reallocate, Then::noSampleTime}) {
        Host host;
        host.sampleTimeValid = then != Then::noSampleTime;
        host.unit->allocateRenderResources();
        host.render(loud, 512, true, 0.0);
        if (then == Then::reset) host.unit->reset();
        if (then == Then::reallocate) host.unit->allocateRenderResources();
        const double next = then == Then::jump ? 10000.0 : then == Then::noSampleTime ? 0 : 512.0;
        const float tail = peakOf(host.render(silence, 64, true, next));
        const bool carried = then == Then::follow || then == Then::noSampleTime;
        if (carried) {
            EXPECT_GT(tail, 0.1f) << int(then);
        } else {
            EXPECT_EQ(tail, 0.0f) << int(then);
        }
    }
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

} // namespace
} // namespace pf
