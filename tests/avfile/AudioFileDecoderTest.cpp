#include "audio/file/AudioFileDecoder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixfmt.h>
}

#include "AacM4aWriter.h"
#include "AudioSynth.h"
#include "TestSupport.h"

namespace {

using avfiletest::TempDir;
using Reason = pf::AudioFileError::Reason;

// The reason `decodeAudioFile` gives for `path`; fails the test when it decodes instead.
Reason failureReason(const std::string& path, std::string* message = nullptr) {
    try {
        pf::decodeAudioFile(path);
    } catch (const pf::AudioFileError& e) {
        if (message != nullptr) *message = e.what();
        return e.reason();
    }
    ADD_FAILURE() << path << " decoded without an error";
    return Reason::damaged;
}

std::string writeTone(const TempDir& dir, const std::string& name, int rate, size_t frames) {
    const std::string path = dir.file(name);
    audiofiles::writeAacM4a(path, audiofiles::synthesiseTone(rate, 1000.0, frames, 0.5f));
    return path;
}

void put16(std::vector<char>& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}
void put32(std::vector<char>& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v & 0xffff));
    put16(out, static_cast<uint16_t>(v >> 16));
}

// A RIFF/WAVE file whose data chunk declares `declaredBytes` and holds `data`.
std::vector<char> wavFile(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                          const std::vector<char>& data, uint32_t declaredBytes) {
    std::vector<char> out;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bits / 8);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + declaredBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, formatTag);
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * blockAlign);
    put16(out, blockAlign);
    put16(out, bits);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, declaredBytes);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Interleaved 16-bit stereo: left counts up from -20000, right is its negation.
std::vector<char> pcm16Stereo(size_t frames) {
    std::vector<char> data;
    for (size_t i = 0; i < frames; ++i) {
        const auto left = static_cast<int16_t>(-20000 + static_cast<int>(i % 40000));
        put16(data, static_cast<uint16_t>(left));
        put16(data, static_cast<uint16_t>(static_cast<int16_t>(-left)));
    }
    return data;
}

// A QuickTime movie holding five frames of a tiny raw video and nothing else.
void writeVideoOnlyMovie(const std::string& path) {
    AVFormatContext* out = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&out, nullptr, "mov", path.c_str()), 0);
    AVStream* video = avformat_new_stream(out, nullptr);
    ASSERT_NE(video, nullptr);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    video->codecpar->format = AV_PIX_FMT_RGB24;
    video->codecpar->width = 2;
    video->codecpar->height = 2;
    video->time_base = AVRational{1, 25};
    ASSERT_GE(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(out, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    for (int i = 0; i < 5; ++i) {
        ASSERT_GE(av_new_packet(packet, 12), 0);
        std::memset(packet->data, 0x40 * i, 12);
        packet->pts = packet->dts = i;
        packet->duration = 1;
        packet->flags = AV_PKT_FLAG_KEY;
        packet->stream_index = video->index;
        ASSERT_GE(av_write_frame(out, packet), 0);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    ASSERT_GE(av_write_trailer(out), 0);
    avio_closep(&out->pb);
    avformat_free_context(out);
}

class ToneLength : public testing::TestWithParam<std::tuple<int, size_t>> {};

TEST_P(ToneLength, DecodesAtTheFilesRateWithExactlyTheEncodedFrames) {
    const auto [rate, frames] = GetParam();
    TempDir dir;
    const pf::DecodedAudio audio = pf::decodeAudioFile(writeTone(dir, "tone.m4a", rate, frames));

    EXPECT_EQ(audio.sampleRate, rate);
    ASSERT_EQ(audio.channels, 2u);
    ASSERT_EQ(audio.samples.size(), 2u);
    EXPECT_EQ(audio.samples[1].size(), audio.samples[0].size());
    EXPECT_EQ(audio.frameLength(), frames) << "priming and padding must both be removed";
}

// Less than one codec frame, exactly one, and a length that is no multiple of it.
INSTANTIATE_TEST_SUITE_P(RatesAndLengths, ToneLength,
                         testing::Combine(testing::Values(44100, 48000),
                                          testing::Values(size_t{1000}, size_t{1024},
                                                          size_t{48123})));

class ToneContent : public testing::TestWithParam<int> {};

TEST_P(ToneContent, KeepsTheTonesFrequencyLevelAndChannelOrder) {
    const int rate = GetParam();
    TempDir dir;
    const pf::DecodedAudio audio = pf::decodeAudioFile(writeTone(dir, "tone.m4a", rate, 2 * rate));
    ASSERT_EQ(audio.channels, 2u);

    // Away from the ends, where the codec's transform window shapes the tone.
    const size_t from = audio.frameLength() / 10;
    const size_t to = audio.frameLength() - from;
    EXPECT_NEAR(avfiletest::zeroCrossingFrequency(audio.samples[0], from, to, rate), 1000.0, 0.2);
    EXPECT_NEAR(avfiletest::zeroCrossingFrequency(audio.samples[1], from, to, rate), 1000.0, 0.2);
    const double left = avfiletest::goertzelPower(audio.samples[0], from, to, 1000.0, rate);
    const double right = avfiletest::goertzelPower(audio.samples[1], from, to, 1000.0, rate);
    EXPECT_NEAR(std::sqrt(left), 0.5, 0.02) << "the left channel carries the tone at 0.5";
    EXPECT_NEAR(std::sqrt(right), 0.25, 0.01) << "the right channel carries it at half level";
    const double beside = avfiletest::goertzelPower(audio.samples[0], from, to, 1250.0, rate);
    EXPECT_LT(beside, left * 1e-4) << "nothing 250 Hz away from the tone";
}

INSTANTIATE_TEST_SUITE_P(Rates, ToneContent, testing::Values(44100, 48000));

TEST(AudioFileDecoder, FileUrlsDecodeLikeTheirPaths) {
    TempDir dir;
    const std::string path = writeTone(dir, "a tone.m4a", 48000, 4800);
    std::string encoded = dir.path() + "/a%20tone.m4a";

    EXPECT_EQ(pf::decodeAudioFile("file://" + encoded).frameLength(), 4800u);
    EXPECT_EQ(pf::decodeAudioFile("file://localhost" + encoded).frameLength(), 4800u);
    EXPECT_EQ(pf::decodeAudioFile("FILE:" + path).frameLength(), 4800u);
}

TEST(AudioFileDecoder, AddressesThatAreNotLocalFilesAreRefused) {
    TempDir dir;
    const std::string path = writeTone(dir, "tone.m4a", 48000, 4800);
    for (const std::string& address : std::vector<std::string>{
             "http://example.org/1.m4a", "https://example.org/1.m4a", "ftp://example.org/1.m4a",
             "rtsp://example.org/stream", "concat:" + path + "|" + path, "pipe:0", "data:,abc",
             "file://example.org" + path}) {
        std::string message;
        EXPECT_EQ(failureReason(address, &message), Reason::notLocal) << address;
        EXPECT_NE(message.find(address), std::string::npos) << message;
    }
}

TEST(AudioFileDecoder, MissingFilesAndFoldersAreReportedByName) {
    TempDir dir;
    std::string message;
    EXPECT_EQ(failureReason(dir.file("17.m4a"), &message), Reason::notFound);
    EXPECT_NE(message.find(dir.file("17.m4a")), std::string::npos) << message;
    EXPECT_EQ(failureReason(dir.path()), Reason::notRegularFile);
    // An endless device behind an audio name is never read.
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.m4a"));
    EXPECT_EQ(failureReason(dir.file("zero.m4a")), Reason::notRegularFile);

    avfiletest::writeText(dir.file("plain"), "x");
    EXPECT_EQ(failureReason(dir.file("plain") + "/1.m4a"), Reason::notFound);
    EXPECT_EQ(failureReason(""), Reason::notFound);
    const std::string tone = writeTone(dir, "tone.m4a", 48000, 4800);
    EXPECT_EQ(failureReason(tone + std::string(1, '\0') + "x"), Reason::notFound)
        << "a name is never cut short at a NUL";
    EXPECT_EQ(failureReason("file://" + tone + "%00x"), Reason::notFound);
    // Not a scheme, so a relative path: FFmpeg's nested protocols never see it.
    EXPECT_EQ(failureReason("subfile,,start,0,end,100,,:" + dir.file("plain")), Reason::notFound);
}

TEST(AudioFileDecoder, TextFilesAndPlaylistsAreNotAudio) {
    TempDir dir;
    const std::string tone = writeTone(dir, "tone.m4a", 48000, 4800);
    const std::map<std::string, std::string> files = {
        {"text.m4a", "This is not audio at all.\nJust some lines of text.\n"},
        {"empty.m4a", ""},
        {"hls.m4a", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + tone +
                        "\n#EXTINF:10,\nhttp://example.org/remote.aac\n#EXT-X-ENDLIST\n"},
        {"concat.m4a", "ffconcat version 1.0\nfile '" + tone + "'\n"},
        {"playlist.m4a", "[playlist]\nNumberOfEntries=1\nFile1=http://example.org/a.mp3\n"},
        {"sdp.m4a", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\n"
                    "m=audio 5004 RTP/AVP 96\na=rtpmap:96 L16/48000/2\n"},
    };
    for (const auto& [name, text] : files) {
        avfiletest::writeText(dir.file(name), text);
        std::string message;
        EXPECT_EQ(failureReason(dir.file(name), &message), Reason::unsupportedFormat)
            << name << ": " << message;
    }
}

TEST(AudioFileDecoder, TruncatedM4aFilesAreRefused) {
    TempDir dir;
    const std::vector<char> whole = avfiletest::readBytes(writeTone(dir, "t.m4a", 44100, 44100));
    const std::string moov = "moov";
    const auto header = std::search(whole.begin(), whole.end(), moov.begin(), moov.end());
    ASSERT_NE(header, whole.end()) << "the generator writes the header after the audio";
    const auto headerAt = static_cast<size_t>(header - whole.begin());

    // Inside the first box, inside the audio data, and inside the sample tables.
    for (size_t keep : {size_t{20}, whole.size() / 2, headerAt + 200, headerAt + 600}) {
        const std::string path = dir.file("cut" + std::to_string(keep) + ".m4a");
        avfiletest::writeBytes(path, std::vector<char>(whole.begin(), whole.begin() + keep));
        std::string message;
        const Reason reason = failureReason(path, &message);
        EXPECT_TRUE(reason == Reason::damaged || reason == Reason::truncated)
            << keep << ": " << message;
    }
}

TEST(AudioFileDecoder, LinearPcmIsConvertedToFloatExactly) {
    TempDir dir;
    const size_t frames = 3000;
    avfiletest::writeBytes(dir.file("pcm.wav"),
                           wavFile(1, 2, 44100, 16, pcm16Stereo(frames), frames * 4));

    const pf::DecodedAudio audio = pf::decodeAudioFile(dir.file("pcm.wav"));

    EXPECT_EQ(audio.sampleRate, 44100);
    ASSERT_EQ(audio.channels, 2u);
    ASSERT_EQ(audio.frameLength(), frames);
    for (size_t i = 0; i < frames; ++i) {
        const float left = static_cast<float>(-20000 + static_cast<int>(i)) / 32768.0f;
        ASSERT_EQ(audio.samples[0][i], left) << i;
        ASSERT_EQ(audio.samples[1][i], -left) << i;
    }
}

TEST(AudioFileDecoder, FileHoldingLessThanItDeclaresIsTruncated) {
    TempDir dir;
    avfiletest::writeBytes(dir.file("cut.wav"),
                           wavFile(1, 2, 48000, 16, pcm16Stereo(10000), 48000 * 4));
    std::string message;
    EXPECT_EQ(failureReason(dir.file("cut.wav"), &message), Reason::truncated);
    EXPECT_NE(message.find("truncated"), std::string::npos) << message;
}

TEST(AudioFileDecoder, MediaWithoutAudioIsReported) {
    TempDir dir;
    writeVideoOnlyMovie(dir.file("video.m4a"));
    EXPECT_EQ(failureReason(dir.file("video.m4a")), Reason::noAudioStream);
}

TEST(AudioFileDecoder, AudioInACodecOffTheListIsRefused) {
    TempDir dir;
    const std::vector<char> muLaw(8000, static_cast<char>(0x55));
    avfiletest::writeBytes(dir.file("mulaw.wav"), wavFile(7, 1, 8000, 8, muLaw, 8000));
    std::string message;
    EXPECT_EQ(failureReason(dir.file("mulaw.wav"), &message), Reason::unsupportedFormat);
    EXPECT_NE(message.find("pcm_mulaw"), std::string::npos) << message;
}

} // namespace
