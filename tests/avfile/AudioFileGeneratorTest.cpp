// The application's generated audio files: what survives the codec, and the
// generator program's output and arguments.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "AacM4aWriter.h"
#include "AudioSynth.h"
#include "TestSupport.h"
#include "audio/file/AudioFileDecoder.h"

namespace {

using avfiletest::TempDir;

int runGenerator(const std::string& arguments) {
    const std::string command = std::string("'") + ORVEX_GEN_AUDIO_FILES + "' " + arguments;
    return std::system(command.c_str());
}

double toDb(double x) {
    return 20.0 * std::log10(std::max(x, 1e-12));
}

// Level (RMS of both channels) over consecutive windows of `seconds`.
std::vector<double> windowLevels(const pf::DecodedAudio& audio, double seconds) {
    const auto window = static_cast<size_t>(seconds * audio.sampleRate);
    std::vector<double> levels;
    for (size_t at = 0; at + window <= audio.frameLength(); at += window) {
        const double l = avfiletest::rms(audio.samples[0], at, at + window);
        const double r = avfiletest::rms(audio.samples[1], at, at + window);
        levels.push_back(std::sqrt(0.5 * (l * l + r * r)));
    }
    return levels;
}

class GeneratedFile : public testing::TestWithParam<int> {};

// The properties every application file has after a round trip through the codec.
TEST_P(GeneratedFile, KeepsItsFormatLengthPeakAndDynamicsThroughTheCodec) {
    TempDir dir;
    audiofiles::writeAacM4a(dir.file("f.m4a"), audiofiles::synthesiseFile(GetParam()));
    const pf::DecodedAudio audio = pf::decodeAudioFile(dir.file("f.m4a"));
    const audiofiles::FilePlan plan = audiofiles::planForFile(GetParam());
    EXPECT_EQ(audio.sampleRate, plan.sampleRate);
    ASSERT_EQ(audio.channels, 2u);
    EXPECT_EQ(audio.frameLength(), plan.frames);

    float top = 0.0f;
    double difference = 0.0;
    for (size_t i = 0; i < audio.frameLength(); ++i) {
        const float l = audio.samples[0][i];
        const float r = audio.samples[1][i];
        top = std::max({top, std::abs(l), std::abs(r)});
        difference = std::max(difference, static_cast<double>(std::abs(l - r)));
    }
    EXPECT_LE(top, 1.0f) << "decoded peaks stay at or below full scale";
    EXPECT_GE(top, 0.8f) << "peaks come near full scale";
    EXPECT_GT(difference, 0.05) << "two different channels, not a copied mono signal";

    // Loud and quiet passages: the loudest 50 ms well above the quietest one that is not silent.
    double loudest = 0.0;
    double quietest = 1.0;
    for (double level : windowLevels(audio, 0.05)) {
        loudest = std::max(loudest, level);
        if (level > 1e-4) quietest = std::min(quietest, level);
    }
    EXPECT_GE(toDb(loudest) - toDb(quietest), 20.0);

    // Sharp attacks: somewhere a 2 ms window is 20 dB above the 10 ms just before it.
    const auto fine = windowLevels(audio, 0.002);
    double sharpest = 0.0;
    for (size_t i = 5; i < fine.size(); ++i) {
        double before = 0.0;
        for (size_t j = i - 5; j < i; ++j)
            before += fine[j] * fine[j];
        sharpest = std::max(sharpest, toDb(fine[i]) - toDb(std::sqrt(before / 5.0)));
    }
    EXPECT_GE(sharpest, 20.0) << "no sharp transient";

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

TEST(ApplicationAudioFiles, GeneratorWritesTheSameFilesOnEveryRunAndRefusesBadArguments) {
    TempDir first;
    TempDir second;
    ASSERT_EQ(runGenerator("'" + first.path() + "' 3"), 0);
    ASSERT_EQ(runGenerator("'" + second.path() + "' 3"), 0);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(first.path())) {
        ++files;
        const std::string name = entry.path().filename().string();
        const auto bytes = avfiletest::readBytes(entry.path().string());
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(bytes, avfiletest::readBytes(second.file(name))) << name;
    }
    EXPECT_EQ(files, 3u) << "1.m4a, 2.m4a, 3.m4a and nothing left over";
    EXPECT_TRUE(std::filesystem::exists(first.file("3.m4a")));

    for (const char* bad : {"", "--tone x 44100 440", "--tone x 1000 440 100", "DIR 0", "DIR 81",
                            "DIR 3x", "--count 3"})
        EXPECT_NE(runGenerator(std::string(bad) + " 2>/dev/null"), 0) << bad;
    EXPECT_FALSE(std::filesystem::exists("DIR"));
}

} // namespace
