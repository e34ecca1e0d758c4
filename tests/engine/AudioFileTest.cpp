// AVAudioFile over the decoder: formats, lengths and content of generated files, and the errors
// of files that cannot be read.
#include <gtest/gtest.h>

#include <fstream>

#include "EngineTestSupport.h"
#include "audio/AVAudioSession.h"
#include "core/NSError.h"

using namespace enginetest;

TEST(AudioFile, GeneratedFilesOpenAtTheirOwnRateWithExactLengthAndTheirTone) {
    TempDir dir;
    for (const int rate : {44100, 48000}) {
        const auto file = pf::AVAudioFile::forReading(writeTone(
            dir.file(std::to_string(rate) + ".m4a"), rate, 1000.0, std::size_t(rate / 2)));
        const auto& f = *file->processingFormat();
        EXPECT_EQ(f.sampleRate(), double(rate));
        EXPECT_EQ(f.channelCount(), 2u);
        EXPECT_TRUE(f.isStandard());
        EXPECT_EQ(file->length(), rate / 2);
        EXPECT_NEAR(
            zeroCrossingFrequency(file->samples()->samples[0], rate / 20, rate * 9 / 20, rate),
            1000.0, 0.5);

        // read() delivers the decoded frames in order.
        auto buffer = pf::AVAudioPCMBuffer::initWithPCMFormat(file->processingFormat(), 1000);
        file->setFramePosition(100);
        file->read(*buffer);
        EXPECT_EQ(buffer->frameLength(), 1000u);
        EXPECT_EQ(buffer->floatChannelData()[1][0], file->samples()->samples[1][100]);
        EXPECT_EQ(file->framePosition(), 1100);
    }
}

TEST(AudioFile, MissingTextAndTruncatedFilesThrowErrorsThatNameTheFile) {
    TempDir dir;
    const auto good = writeTone(dir.file("good.m4a"), 48000, 500.0, 48000);
    const auto text = dir.file("text.m4a");
    std::ofstream(text) << "this is not audio\n";
    const auto truncated = dir.file("cut.m4a");
    {
        std::ifstream in(good.path(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(truncated, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size() / 2));
    }
    for (const auto& path : {dir.file("missing.m4a"), text, truncated}) {
        try {
            pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path));
            ADD_FAILURE() << path << " opened";
        } catch (const pf::NSErrorException& e) {
            EXPECT_NE(e.error().localizedDescription().find(path), std::string::npos)
                << e.error().localizedDescription();
        }
    }
}

TEST(AudioSession, AlwaysSucceedsUnlessAFailureIsInjected) {
    auto& session = pf::AVAudioSession::sharedInstance();
    session.setCategory(pf::AVAudioSessionCategoryPlayback, pf::AVAudioSessionModeDefault, 0);
    session.setActive(true, 0);
    EXPECT_EQ(session.category(), pf::AVAudioSessionCategoryPlayback);
    EXPECT_TRUE(session.isActive());
    session.setCategoryFailureForTesting(pf::NSError(pf::NSOSStatusErrorDomain, -50));
    EXPECT_THROW(
        session.setCategory(pf::AVAudioSessionCategoryPlayback, pf::AVAudioSessionModeDefault, 0),
        pf::NSErrorException);
    session.setCategoryFailureForTesting(std::nullopt);
    session.setActive(false, 0);
    EXPECT_FALSE(session.isActive());
}
