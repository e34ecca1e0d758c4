// AVAudioFile over the decoder: its format, reading from a position, and errors that name the file.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "core/NSError.h"

using namespace enginetest;

TEST(AudioFile, OpensAtTheFilesOwnRateAndReadsFramesFromThePosition) {
    TempDir dir;
    const auto file = toneFile(dir, "t.m4a", 44100, 1000.0, 22050);
    EXPECT_TRUE(file->processingFormat()->isEqual(
        *pf::AVAudioFormat::standardFormatWithSampleRate(44100, 2)));
    EXPECT_EQ(file->length(), 22050);
    auto buffer = pf::AVAudioPCMBuffer::initWithPCMFormat(file->processingFormat(), 1000);
    file->setFramePosition(100);
    file->read(*buffer);
    EXPECT_EQ(buffer->frameLength(), 1000u);
    EXPECT_EQ(buffer->floatChannelData()[1][0], file->samples()->samples[1][100]);
    EXPECT_EQ(file->framePosition(), 1100);
    file->setFramePosition(22000);
    file->read(*buffer);
    EXPECT_EQ(buffer->frameLength(), 50u) << "only what is left";
    EXPECT_THROW(file->read(*buffer), pf::NSErrorException) << "at the end";
}
