// Sample-rate conversion and channel mapping, against signals computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "EngineTestSupport.h"
#include "audio/engine/FormatConverter.h"

using enginetest::peak;
using enginetest::zeroCrossingFrequency;

namespace {

using Channels = std::vector<std::vector<float>>;

// Serves its channels from the start, then silence; remembers the largest pull.
struct Source {
    Channels channels;
    std::size_t position = 0;
    std::size_t largestPull = 0;
    static void pull(void* context, pf::AUAudioFrameCount frames, float* const* out) noexcept {
        auto& s = *static_cast<Source*>(context);
        s.largestPull = std::max<std::size_t>(s.largestPull, frames);
        for (std::size_t c = 0; c < s.channels.size(); ++c) {
            for (std::size_t i = 0; i < frames; ++i) {
                const std::size_t at = s.position + i;
                out[c][i] = at < s.channels[c].size() ? s.channels[c][at] : 0.0f;
            }
        }
        s.position += frames;
    }
};

std::vector<float> sine(double hz, double rate, std::size_t n) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = 0.5f * float(std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    return x;
}

// Converts `source` from (rate, its channel count) to (outRate, outChannels) in cycles.
Channels convert(Source& source, double rate, double outRate, pf::AVAudioChannelCount outChannels,
                 std::size_t frames, pf::AUAudioFrameCount cycle = 480) {
    pf::FormatConverter converter;
    converter.configure(*pf::AVAudioFormat::standardFormatWithSampleRate(
                            rate, pf::AVAudioChannelCount(source.channels.size())),
                        *pf::AVAudioFormat::standardFormatWithSampleRate(outRate, outChannels));
    Channels out(outChannels, std::vector<float>(frames));
    std::vector<float*> pointers(out.size());
    for (std::size_t done = 0; done < frames; done += cycle) {
        const auto n = pf::AUAudioFrameCount(std::min<std::size_t>(cycle, frames - done));
        for (std::size_t c = 0; c < out.size(); ++c)
            pointers[c] = out[c].data() + done;
        converter.render(n, pointers.data(), &Source::pull, &source);
    }
    return out;
}

} // namespace

TEST(FormatConverter, EqualRatesPassSamplesAndChannelsAreDuplicatedAveragedOrSilenced) {
    Source stereo{{sine(440, 48000, 5000), sine(880, 48000, 5000)}};
    EXPECT_EQ(convert(stereo, 48000, 48000, 2, 5000, 700), stereo.channels);

    Source mono{{sine(440, 48000, 100)}};
    EXPECT_EQ(convert(mono, 48000, 48000, 2, 100), Channels(2, mono.channels[0]));

    Source pair{{std::vector<float>(10, 0.5f), std::vector<float>(10, -0.25f)}};
    EXPECT_EQ(convert(pair, 48000, 48000, 1, 10)[0], std::vector<float>(10, 0.125f));
    pair.position = 0;
    EXPECT_EQ(convert(pair, 48000, 48000, 4, 10),
              (Channels{pair.channels[0], pair.channels[1], std::vector<float>(10, 0.0f),
                        std::vector<float>(10, 0.0f)}));
}

TEST(FormatConverter, ResamplingKeepsFrequencyLevelAndDuration) {
    struct Case {
        double in, out, hz;
    };
    // The first four give few phases in lowest terms (an exact table); 44100 → 47999 gives
    // 47999 and takes the interpolated table.
    for (const auto& c :
         {Case{44100, 48000, 1000}, Case{48000, 44100, 3000}, Case{96000, 48000, 5000},
          Case{22050, 48000, 200}, Case{44100, 47999, 1000}}) {
        SCOPED_TRACE(std::to_string(c.in) + " to " + std::to_string(c.out));
        Source source{{sine(c.hz, c.in, std::size_t(c.in))}}; // one second
        const auto out = convert(source, c.in, c.out, 1, std::size_t(c.out) + 512, 512)[0];
        const auto from = std::size_t(c.out / 10);
        const auto to = std::size_t(c.out * 9 / 10);
        EXPECT_NEAR(zeroCrossingFrequency(out, from, to, c.out), c.hz, 0.01);
        EXPECT_NEAR(peak(out, from, to), 0.5, 0.002);
        // The tone ends where one second ends, within the filter's half length.
        EXPECT_LT(peak(out, std::size_t(c.out) + 200, out.size()), 1e-3);
        EXPECT_LE(source.largestPull, pf::FormatConverter::kMaximumPullFrames);
    }
}

TEST(FormatConverter, ResamplingPassesDCAtUnityAndRejectsWhatTheOutputCannotCarry) {
    // Every phase of the filter sums to one, so a constant comes through within float rounding.
    for (const double rate : {96000.0, 44100.0}) {
        Source dc{{std::vector<float>(96000, 0.25f)}};
        const auto flat = convert(dc, rate, 48000, 1, 24000)[0];
        for (std::size_t i = 1000; i < 23000; ++i)
            ASSERT_NEAR(flat[i], 0.25f, 1e-6) << rate << " Hz, frame " << i;
    }

    // 30 kHz at 96 kHz lies above the 24 kHz Nyquist frequency of the output: filtered away
    // rather than folded down to 18 kHz.
    Source high{{sine(30000, 96000, 96000)}};
    EXPECT_LT(peak(convert(high, 96000, 48000, 1, 24000)[0], 2000, 22000), 0.01);
}
