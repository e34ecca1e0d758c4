// The core-audio stand-ins the DSP library builds on: blocks, formats, PCM buffers, buses and
// the subnormal guard.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "audio/AUAudioUnitBus.h"
#include "audio/AUBlocks.h"
#include "audio/AVAudioFormat.h"
#include "audio/AVAudioPCMBuffer.h"
#include "audio/ScopedFlushDenormals.h"

TEST(PlatformAudioBlocks, CopiesShareOneCallableAndCompareByIdentity) {
    const pf::AUMIDIOutputEventBlock block = [](pf::AUEventSampleTime time, std::uint8_t,
                                                pf::NSInteger, const std::uint8_t*) {
        return static_cast<pf::OSStatus>(time);
    };
    const pf::AUMIDIOutputEventBlock copy = block;
    EXPECT_TRUE(copy == block);
    EXPECT_EQ(copy(7, 0, 0, nullptr), 7);
    const pf::AUMIDIOutputEventBlock lookalike = [](pf::AUEventSampleTime, std::uint8_t,
                                                    pf::NSInteger,
                                                    const std::uint8_t*) { return pf::noErr; };
    EXPECT_FALSE(lookalike == block);
    EXPECT_TRUE(pf::AUMIDIOutputEventBlock() == pf::AUMIDIOutputEventBlock(nullptr));
}

TEST(PlatformAudioFormat, StandardFormatIsNonInterleavedFloatWithinLimits) {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 2);
    ASSERT_TRUE(format);
    EXPECT_FALSE(format->isInterleaved());
    EXPECT_EQ(format->bytesPerFrame(), 4u);
    EXPECT_TRUE(format->isEqual(*pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 2)));
    EXPECT_FALSE(format->isEqual(*pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)));
    for (const auto& [rate, channels] :
         {std::pair{0.0, 2u}, std::pair{std::numeric_limits<double>::quiet_NaN(), 2u},
          std::pair{48000.0, 0u}, std::pair{48000.0, 9u}})
        EXPECT_FALSE(pf::AVAudioFormat::standardFormatWithSampleRate(rate, channels)) << rate;
}

TEST(PlatformAudioPCMBuffer, OwnsZeroedMemoryDescribedByBothLists) {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
    const auto buffer = pf::AVAudioPCMBuffer::initWithPCMFormat(format, 256);
    ASSERT_TRUE(buffer);
    const pf::AudioBufferList* own = buffer->audioBufferList();
    ASSERT_EQ(own->mNumberBuffers, 2u);
    for (std::uint32_t c = 0; c < 2; ++c) {
        EXPECT_EQ(own->mBuffers[c].mData, buffer->floatChannelData()[c]);
        EXPECT_EQ(buffer->mutableAudioBufferList()->mBuffers[c].mData, own->mBuffers[c].mData);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(buffer->floatChannelData()[c][i], 0.0f);
    }
    buffer->setFrameLength(100);
    EXPECT_EQ(own->mBuffers[1].mDataByteSize, 400u);
    buffer->setFrameLength(1000);
    EXPECT_EQ(buffer->frameLength(), 256u);
    EXPECT_FALSE(pf::AVAudioPCMBuffer::initWithPCMFormat(nullptr, 256));
    EXPECT_FALSE(pf::AVAudioPCMBuffer::initWithPCMFormat(format, 0x40000000u));
}

TEST(PlatformAudioBus, RefusesFormatsItCannotCarry) {
    const auto stereo = pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
    pf::OSStatus error = -1;
    EXPECT_FALSE(pf::AUAudioUnitBus::initWithFormat(nullptr, &error));
    EXPECT_EQ(error, pf::kAudioUnitErr_FormatNotSupported);
    const auto bus = pf::AUAudioUnitBus::initWithFormat(stereo, &error);
    ASSERT_TRUE(bus);
    EXPECT_EQ(error, pf::noErr);
    bus->setMaximumChannelCount(1);
    EXPECT_EQ(bus->setFormat(stereo), pf::kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->setFormat(pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 1)),
              pf::noErr);
}

TEST(PlatformAudioDenormals, GuardFlushesSubnormalsAndRestoresTheMode) {
    ASSERT_FALSE(pf::ScopedFlushDenormals::isFlushing());
    volatile float tiny = std::numeric_limits<float>::min();
    {
        const pf::ScopedFlushDenormals guard;
        EXPECT_EQ(tiny * 0.5f, 0.0f);
    }
    EXPECT_FALSE(pf::ScopedFlushDenormals::isFlushing());
    EXPECT_EQ(std::fpclassify(tiny * 0.5f), FP_SUBNORMAL);
}
