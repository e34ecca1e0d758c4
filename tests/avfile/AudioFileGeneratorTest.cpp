// The application's generated audio files: what survives the codec.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "AacM4aWriter.h"
#include "AudioSynth.h"
#include "TestSupport.h"
#include "audio/file/AudioFileDecoder.h"

namespace {

using avfiletest::TempDir;

class GeneratedFile : public testing::TestWithParam<int> {};

// The properties every application file has after a round trip through the codec.
TEST_P(GeneratedFile, KeepsItsFormatAndLengthAndEndsFadedOutThroughTheCodec) {
    TempDir dir;
    audiofiles::writeAacM4a(dir.file("f.m4a"), audiofiles::synthesiseFile(GetParam()));
    const pf::DecodedAudio audio = pf::decodeAudioFile(dir.file("f.m4a"));
    const audiofiles::FilePlan plan = audiofiles::planForFile(GetParam());
    EXPECT_EQ(audio.sampleRate, plan.sampleRate);
    ASSERT_EQ(audio.channels, 2u);
    EXPECT_EQ(audio.frameLength(), plan.frames);

    // Files play in a loop: the last millisecond of both channels has faded out, so the loop
    // point cannot click.
    const auto lastMs = static_cast<size_t>(audio.sampleRate / 1000);
    for (const auto& channel : audio.samples) {
        float tail = 0.0f;
        for (size_t i = channel.size() - lastMs; i < channel.size(); ++i)
            tail = std::max(tail, std::abs(channel[i]));
        EXPECT_LT(tail, 0.06f) << "the end is not faded";
    }
}

// Both rates, shortest and longest lengths among them.
INSTANTIATE_TEST_SUITE_P(Samples, GeneratedFile, testing::Values(1, 3, 7, 40, 80));

} // namespace
