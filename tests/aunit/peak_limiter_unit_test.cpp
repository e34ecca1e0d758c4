// The built-in peak-limiter unit as a host drives it: its render block pulling in place or into its
// own buffers, discontinuities and statuses. The limiter's own physics
// and its render safety are measured on its DSP; here the unit must carry them through.
#include <cmath>
#include <utility>

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
    Host() {
        effect_ = AVAudioUnitEffect::make(kLimiter);
        unit = effect_->auAudioUnit();
        const auto format = AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
        EXPECT_EQ((*unit->inputBusses())[0]->setFormat(format), noErr);
        EXPECT_EQ((*unit->outputBusses())[0]->setFormat(format), noErr);
        unit->setMaximumFramesToRender(512);
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

TEST(PeakLimiterUnit, InPlaceRenderingEqualsRenderingFromItsOwnBuffersAndKeepsTheCeiling) {
    const Stereo music = limiter_test::hotMusic(48000.0, 48000);
    Host inPlace;
    Host separate;
    inPlace.unit->allocateRenderResources();
    separate.unit->allocateRenderResources();
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
        EXPECT_TRUE(carried ? tail > 0.1f : tail == 0.0f) << "case " << int(then) << ": " << tail;
    }
}

// Statuses, and the buffers left as they were: the unit's own block is called directly by the
// plug-in, so it guards its buffers itself.
TEST(PeakLimiterUnit, RenderFailuresAreStatusesAndTouchNothing) {
    Host host;
    auto block = host.unit->internalRenderBlock();
    std::vector<float> left(64, 0.5f), right(64, 0.5f);
    AudioBufferList out;
    out.mNumberBuffers = 2;
    out.mBuffers[0] = {1, 256, left.data()};
    out.mBuffers[1] = {1, 256, right.data()};
    AudioTimeStamp time;
    AudioUnitRenderActionFlags flags = 0;
    int pulls = 0;
    const AURenderPullInputBlock pull([&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount, NSInteger, AudioBufferList* in) {
        ++pulls;
        in->mBuffers[0] = out.mBuffers[0];
        in->mBuffers[1] = out.mBuffers[1];
        return noErr;
    });
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudioUnitErr_Uninitialized);
    host.unit->allocateRenderResources();
    host.unit->setMaximumFramesToRender(4096); // raised after allocation: no bigger cycles
    EXPECT_EQ(block(&flags, &time, 513, 0, &out, nullptr, pull),
              kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(block(&flags, &time, 64, 1, &out, nullptr, pull), kAudioUnitErr_NoConnection);
    EXPECT_EQ(pulls, 0);
    out.mNumberBuffers = 1; // fewer buffers than channels
    EXPECT_EQ(block(&flags, &time, 64, 0, &out, nullptr, pull), kAudio_ParamError);
    EXPECT_EQ(std::make_pair(left[10], right[10]), std::make_pair(0.5f, 0.5f));
}

} // namespace
} // namespace pf
