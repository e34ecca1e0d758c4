// Sample-rate conversion and channel mapping, against signals computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "EngineTestSupport.h"
#include "audio/engine/FormatConverter.h"

using enginetest::peak;
using enginetest::zeroCrossingFrequency;

namespace {

struct Source {
    std::vector<std::vector<float>> channels;
    std::size_t position = 0;
    std::size_t pulls = 0;
    std::size_t largestPull = 0;
    static void pull(void* context, pf::AUAudioFrameCount frames, float* const* out) noexcept {
        auto& s = *static_cast<Source*>(context);
        ++s.pulls;
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

std::vector<float> sine(double hz, double rate, std::size_t n, float amplitude = 0.5f) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = amplitude * float(std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    }
    return x;
}

std::vector<std::vector<float>> convert(pf::FormatConverter& converter, Source& source,
                                        std::size_t frames, pf::AUAudioFrameCount cycle) {
    std::vector<std::vector<float>> out(converter.outputChannels(), std::vector<float>(frames));
    std::vector<float*> pointers(out.size());
    for (std::size_t done = 0; done < frames; done += cycle) {
        const auto n = pf::AUAudioFrameCount(std::min<std::size_t>(cycle, frames - done));
        for (std::size_t c = 0; c < out.size(); ++c)
            pointers[c] = out[c].data() + done;
        converter.render(n, pointers.data(), &Source::pull, &source);
    }
    return out;
}

auto fmt(double rate, pf::AVAudioChannelCount channels) {
    return *pf::AVAudioFormat::standardFormatWithSampleRate(rate, channels);
}

} // namespace

TEST(FormatConverter, EqualRatesPassSamplesThroughUntouched) {
    pf::FormatConverter converter;
    converter.configure(fmt(48000, 2), fmt(48000, 2));
    Source source{{sine(440, 48000, 5000), sine(880, 48000, 5000)}};
    const auto out = convert(converter, source, 5000, 700);
    EXPECT_EQ(out[0], source.channels[0]);
    EXPECT_EQ(out[1], source.channels[1]);
}

TEST(FormatConverter, ChannelsAreDuplicatedAveragedOrSilencedAsTheCountsDemand) {
    pf::FormatConverter up;
    up.configure(fmt(48000, 1), fmt(48000, 2));
    Source mono{{sine(440, 48000, 100)}};
    const auto both = convert(up, mono, 100, 100);
    EXPECT_EQ(both[0], mono.channels[0]);
    EXPECT_EQ(both[1], mono.channels[0]);

    pf::FormatConverter down;
    down.configure(fmt(48000, 2), fmt(48000, 1));
    Source stereo{{std::vector<float>(100, 0.5f), std::vector<float>(100, -0.25f)}};
    EXPECT_EQ(convert(down, stereo, 100, 100)[0], std::vector<float>(100, 0.125f));

    pf::FormatConverter wide;
    wide.configure(fmt(48000, 2), fmt(48000, 4));
    Source pair{{std::vector<float>(10, 1.0f), std::vector<float>(10, 2.0f)}};
    const auto four = convert(wide, pair, 10, 10);
    EXPECT_EQ(four[1], std::vector<float>(10, 2.0f));
    EXPECT_EQ(four[3], std::vector<float>(10, 0.0f));
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
        pf::FormatConverter converter;
        converter.configure(fmt(c.in, 1), fmt(c.out, 1));
        const auto n = std::size_t(c.in); // one second
        Source source{{sine(c.hz, c.in, n)}};
        EXPECT_EQ(converter.outputFramesFor(n), std::size_t(c.out));
        const auto out = convert(converter, source, std::size_t(c.out) + 512, 512)[0];
        const auto from = std::size_t(c.out / 10);
        const auto to = std::size_t(c.out * 9 / 10);
        EXPECT_NEAR(zeroCrossingFrequency(out, from, to, c.out), c.hz, 0.01)
            << c.in << "→" << c.out;
        EXPECT_NEAR(peak(out, from, to), 0.5, 0.002) << c.in << "→" << c.out;
        // The tone ends where one second ends, within the filter's half length.
        EXPECT_LT(peak(out, std::size_t(c.out) + 200, out.size()), 1e-3);
        EXPECT_LE(source.largestPull, pf::FormatConverter::kMaximumPullFrames);
    }
}

TEST(FormatConverter, ResamplingPassesDCAtUnityAndRejectsWhatTheOutputCannotCarry) {
    pf::FormatConverter converter;
    converter.configure(fmt(96000, 1), fmt(48000, 1));
    Source dc{{std::vector<float>(96000, 0.25f)}};
    const auto flat = convert(converter, dc, 24000, 480)[0];
    EXPECT_NEAR(peak(flat, 1000, 23000), 0.25, 1e-4);
    EXPECT_NEAR(*std::min_element(flat.begin() + 1000, flat.begin() + 23000), 0.25f, 1e-4);

    // 30 kHz at 96 kHz lies above the 24 kHz Nyquist frequency of the output: filtered away
    // rather than folded down to 18 kHz.
    pf::FormatConverter alias;
    alias.configure(fmt(96000, 1), fmt(48000, 1));
    Source high{{sine(30000, 96000, 96000)}};
    EXPECT_LT(peak(convert(alias, high, 24000, 480)[0], 2000, 22000), 0.01);
}
