// Sample-rate conversion and channel mapping, against signals computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "EngineTestSupport.h"
#include "audio/engine/FormatConverter.h"

using enginetest::peak;

namespace {

using Channels = std::vector<std::vector<float>>;

// Serves its channels from the start, then silence.
struct Source {
    Channels channels;
    std::size_t position = 0;
    static void pull(void* context, pf::AUAudioFrameCount frames, float* const* out) noexcept {
        auto& s = *static_cast<Source*>(context);
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

TEST(FormatConverter, EqualRatesDuplicateMonoAndAverageStereoDownToMono) {
    Source mono{{sine(440, 48000, 100)}};
    EXPECT_EQ(convert(mono, 48000, 48000, 2, 100), Channels(2, mono.channels[0]));

    Source pair{{std::vector<float>(10, 0.5f), std::vector<float>(10, -0.25f)}};
    EXPECT_EQ(convert(pair, 48000, 48000, 1, 10)[0], std::vector<float>(10, 0.125f));
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
