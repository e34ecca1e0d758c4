// The decoder over FFmpeg: exact lengths and content of generated files, and every kind of input
// it refuses, each with its reason and a message that names it.
#include "audio/file/AudioFileDecoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "AacM4aWriter.h"
#include "AudioSynth.h"
#include "TestSupport.h"

namespace {

using avfiletest::TempDir;
using Reason = pf::AudioFileError::Reason;

std::string writeTone(const TempDir& dir, const std::string& name, int rate, size_t frames) {
    const std::string path = dir.file(name);
    audiofiles::writeAacM4a(path, audiofiles::synthesiseTone(rate, 1000.0, frames, 0.5f));
    return path;
}

void put(std::vector<char>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A RIFF/WAVE file whose data chunk declares `declaredBytes` and holds `data`.
std::vector<char> wavFile(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                          const std::vector<char>& data, uint32_t declaredBytes) {
    std::vector<char> out{'R', 'I', 'F', 'F'};
    put(out, 36 + declaredBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    for (const auto& [value, bytes] : {std::pair<uint32_t, int>{16, 4},
                                       {formatTag, 2},
                                       {channels, 2},
                                       {rate, 4},
                                       {rate * channels * bits / 8, 4},
                                       {channels * bits / 8, 2},
                                       {bits, 2}})
        put(out, value, bytes);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(out, declaredBytes, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A CAF file of `frames` frames of 16-bit big-endian stereo PCM whose description declares
// `rate`; its data chunk states the size of those frames, the file holds `held` of them.
std::vector<char> cafFile(double rate, uint32_t frames = 1000, uint32_t held = 1000) {
    std::string out("caff\0\1\0\0desc\0\0\0\0\0\0\0\x20", 20);
    for (int i = 7; i >= 0; --i)
        out += static_cast<char>(std::bit_cast<uint64_t>(rate) >> (8 * i));
    out += std::string("lpcm\0\0\0\0\0\0\0\4\0\0\0\1\0\0\0\2\0\0\0\x10"
                       "data\0\0\0\0",
                       32);
    const uint32_t chunk = 4 + 4 * frames; // the edit count, then the frames
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>(chunk >> (8 * i));
    out += std::string(4, '\0');
    out.resize(out.size() + 4 * size_t{held}, 0x10);
    return {out.begin(), out.end()};
}

// An AIFF file of 16-bit stereo PCM at 48 kHz whose common chunk declares `frames` frames and
// whose sound data holds `held` of them.
std::vector<char> aiffFile(uint32_t frames, uint32_t held) {
    std::vector<char> out;
    const auto be = [&](uint32_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    const auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("FORM");
    be(4 + 26 + 16 + 4 * held, 4);
    tag("AIFF");
    tag("COMM");
    be(18, 4);
    be(2, 2);
    be(frames, 4);
    be(16, 2);
    for (const int byte : {0x40, 0x0E, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}) // 48000 as 80-bit extended
        out.push_back(static_cast<char>(byte));
    tag("SSND");
    be(8 + 4 * frames, 4);
    be(0, 4); // offset
    be(0, 4); // block size
    out.resize(out.size() + 4 * size_t{held}, 0x10);
    return out;
}

// Interleaved 16-bit stereo: left counts up from -20000, right is its negation.
std::vector<char> pcm16Stereo(size_t frames) {
    std::vector<char> data;
    for (size_t i = 0; i < frames; ++i) {
        const auto left = static_cast<int16_t>(-20000 + static_cast<int>(i % 40000));
        put(data, static_cast<uint16_t>(left), 2);
        put(data, static_cast<uint16_t>(static_cast<int16_t>(-left)), 2);
    }
    return data;
}

class Tone : public testing::TestWithParam<std::tuple<int, size_t>> {};

// Less than one codec frame, exactly one, and a length that is no multiple of it.
TEST_P(Tone, DecodesAtTheFilesRateWithExactlyTheEncodedFrames) {
    const auto [rate, frames] = GetParam();
    TempDir dir;
    const pf::DecodedAudio audio = pf::decodeAudioFile(writeTone(dir, "tone.m4a", rate, frames));
    EXPECT_EQ(audio.sampleRate, rate);
    ASSERT_EQ(audio.channels, 2u);
    ASSERT_EQ(audio.samples[1].size(), audio.samples[0].size());
    EXPECT_EQ(audio.frameLength(), frames) << "priming and padding must both be removed";
}

INSTANTIATE_TEST_SUITE_P(RatesAndLengths, Tone,
                         testing::Combine(testing::Values(44100, 48000),
                                          testing::Values(size_t{1000}, size_t{1024},
                                                          size_t{96123})));

TEST(AudioFileDecoder, LocalFileUrlsDecodeAndLinearPcmIsConvertedExactly) {
    TempDir dir;
    writeTone(dir, "a tone.m4a", 48000, 4800);
    EXPECT_EQ(pf::decodeAudioFile("file://localhost" + dir.path() + "/a%20tone.m4a").frameLength(),
              4800u);

    avfiletest::writeBytes(dir.file("pcm.wav"), wavFile(1, 2, 44100, 16, pcm16Stereo(3000), 12000));
    const pf::DecodedAudio audio = pf::decodeAudioFile(dir.file("pcm.wav"));
    EXPECT_EQ(audio.sampleRate, 44100);
    ASSERT_EQ(audio.channels, 2u);
    ASSERT_EQ(audio.frameLength(), 3000u);
    for (size_t i = 0; i < 3000; ++i) {
        const float left = static_cast<float>(-20000 + static_cast<int>(i)) / 32768.0f;
        ASSERT_EQ(audio.samples[0][i], left) << i;
        ASSERT_EQ(audio.samples[1][i], -left) << i;
    }
}

TEST(AudioFileDecoder, RefusesWhatIsNotALocalRegularFileOfAudioInAKnownFormatWithItsReason) {
    TempDir dir;
    const std::string tone = writeTone(dir, "tone.m4a", 48000, 4800);
    const auto text = [&](const std::string& name, const std::string& content) {
        avfiletest::writeText(dir.file(name), content);
        return dir.file(name);
    };
    const auto bytes = [&](const std::string& name, const std::vector<char>& content) {
        avfiletest::writeBytes(dir.file(name), content);
        return dir.file(name);
    };
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.m4a"));
    // Truncated inside the first box, inside the audio data, and inside the sample tables (the
    // generator writes the header after the audio).
    const auto whole = avfiletest::readBytes(writeTone(dir, "long.m4a", 44100, 44100));
    const std::string moov = "moov";
    const auto headerAt = static_cast<size_t>(
        std::search(whole.begin(), whole.end(), moov.begin(), moov.end()) - whole.begin());
    ASSERT_LT(headerAt, whole.size());
    const auto cut = [&](size_t keep) {
        return bytes("cut" + std::to_string(keep) + ".m4a",
                     std::vector<char>(whole.begin(), whole.begin() + long(keep)));
    };

    struct Case {
        std::string input;
        std::vector<Reason> reasons;
        std::string inMessage;
    };
    const Reason damagedOrTruncated[] = {Reason::damaged, Reason::truncated};
    std::vector<Case> cases;
    for (const std::string& address :
         std::vector<std::string>{"https://example.org/1.m4a", "pipe:0",
                                  "concat:" + tone + "|" + tone, "file://example.org" + tone})
        cases.push_back({address, {Reason::notLocal}, address});
    // A NUL ends the name nowhere: neither file exists.
    for (const std::string& missing : std::vector<std::string>{
             dir.file("17.m4a"), tone + std::string(1, '\0') + "x", "file://" + tone + "%00x"})
        cases.push_back({missing, {Reason::notFound}, ""});
    ASSERT_EQ(::mkfifo(dir.file("pipe.m4a").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.m4a"));
    for (const char* name : {"zero.m4a", "pipe.m4a", "folder.m4a"})
        cases.push_back({dir.file(name), {Reason::notRegularFile}, ""});
    std::filesystem::resize_file(text("huge.wav", ""), (uint64_t{1} << 30) + 1); // sparse
    cases.push_back({dir.file("huge.wav"), {Reason::tooLong}, ""});
    for (const auto& [name, rate] : {std::pair{"inf.caf", HUGE_VAL}, std::pair{"1e300.caf", 1e300}})
        cases.push_back({bytes(name, cafFile(rate)), {Reason::damaged}, "sample rate"});
    for (const auto& [name, content] : std::vector<std::pair<std::string, std::string>>{
             {"text.m4a", "This is not audio at all.\nJust some lines of text.\n"},
             {"empty.m4a", ""},
             {"hls.m4a", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + tone +
                             "\n#EXTINF:10,\nhttp://example.org/remote.aac\n#EXT-X-ENDLIST\n"},
             {"concat.m4a", "ffconcat version 1.0\nfile '" + tone + "'\n"}})
        cases.push_back({text(name, content), {Reason::unsupportedFormat}, ""});
    cases.push_back(
        {bytes("mulaw.wav", wavFile(7, 1, 8000, 8, std::vector<char>(8000, 0x55), 8000)),
         {Reason::unsupportedFormat},
         "pcm_mulaw"});
    // Whole packets, none cut short: only the declared length tells the file was cut.
    cases.push_back({bytes("cut.wav", wavFile(1, 2, 48000, 16, pcm16Stereo(10240), 48000 * 4)),
                     {Reason::truncated},
                     "truncated"});
    // Cut where a read of whole packets ends, so no packet comes short: only what the file
    // declares tells (the size of its data chunk, the number of frames).
    cases.push_back(
        {bytes("cut.caf", cafFile(48000, 20000, 2048)), {Reason::truncated}, "truncated"});
    cases.push_back({bytes("cut.aiff", aiffFile(20000, 2048)), {Reason::truncated}, "truncated"});
    for (const size_t keep : {size_t{20}, whole.size() / 2, headerAt + 200, headerAt + 600})
        cases.push_back(
            {cut(keep), {std::begin(damagedOrTruncated), std::end(damagedOrTruncated)}, ""});

    ::alarm(10); // a reader that blocks ends the test instead of hanging the suite
    for (const Case& c : cases) {
        try {
            pf::decodeAudioFile(c.input);
            ADD_FAILURE() << c.input << " decoded without an error";
        } catch (const pf::AudioFileError& e) {
            EXPECT_NE(std::find(c.reasons.begin(), c.reasons.end(), e.reason()), c.reasons.end())
                << c.input << ": " << e.what();
            const std::string named = c.inMessage.empty() ? c.input : c.inMessage;
            if (c.input.find('\0') == std::string::npos && !c.input.empty()) {
                EXPECT_NE(std::string(e.what()).find(named), std::string::npos)
                    << c.input << ": " << e.what();
            }
        }
    }
    ::alarm(0);
}

} // namespace
