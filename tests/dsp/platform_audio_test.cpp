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
    int calls = 0;
    pf::AUMIDIOutputEventBlock block = [&calls](pf::AUEventSampleTime time, std::uint8_t,
                                                pf::NSInteger, const std::uint8_t*) {
        ++calls;
        return static_cast<pf::OSStatus>(time);
    };
    const pf::AUMIDIOutputEventBlock copy = block;
    EXPECT_TRUE(copy == block);
    EXPECT_EQ(copy(7, 0, 0, nullptr), 7);
    EXPECT_EQ(calls, 1);
    const pf::AUMIDIOutputEventBlock lookalike = [](pf::AUEventSampleTime, std::uint8_t,
                                                    pf::NSInteger,
                                                    const std::uint8_t*) { return pf::noErr; };
    EXPECT_FALSE(lookalike == block);
    pf::AUMIDIOutputEventBlock absent;
    EXPECT_FALSE(absent);
    EXPECT_TRUE(absent == pf::AUMIDIOutputEventBlock(nullptr));
}

TEST(PlatformAudioFormat, StandardFormatIsNonInterleavedFloatWithinLimits) {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 2);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->commonFormat(), pf::AVAudioCommonFormat::AVAudioPCMFormatFloat32);
    EXPECT_FALSE(format->isInterleaved());
    EXPECT_TRUE(format->isStandard());
    EXPECT_EQ(format->bytesPerFrame(), 4u);
    EXPECT_TRUE(format->isEqual(*pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 2)));
    EXPECT_FALSE(format->isEqual(*pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)));
    EXPECT_FALSE(pf::AVAudioFormat::standardFormatWithSampleRate(0.0, 2));
    EXPECT_FALSE(pf::AVAudioFormat::standardFormatWithSampleRate(
        std::numeric_limits<double>::quiet_NaN(), 2));
    EXPECT_FALSE(pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 0));
    EXPECT_FALSE(pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 9));
}

TEST(PlatformAudioPCMBuffer, OwnsZeroedMemoryDescribedByBothLists) {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
    const auto buffer = pf::AVAudioPCMBuffer::initWithPCMFormat(format, 256);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->frameCapacity(), 256u);
    const pf::AudioBufferList* own = buffer->audioBufferList();
    ASSERT_EQ(own->mNumberBuffers, 2u);
    for (std::uint32_t c = 0; c < 2; ++c) {
        EXPECT_EQ(own->mBuffers[c].mData, buffer->floatChannelData()[c]);
        EXPECT_EQ(own->mBuffers[c].mNumberChannels, 1u);
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
    const auto bus = pf::AUAudioUnitBus::initWithFormat(stereo, &error);
    ASSERT_TRUE(bus);
    EXPECT_EQ(error, pf::noErr);
    EXPECT_FALSE(pf::AUAudioUnitBus::initWithFormat(nullptr, &error));
    EXPECT_EQ(error, pf::kAudioUnitErr_FormatNotSupported);

    bus->setMaximumChannelCount(1);
    EXPECT_EQ(bus->setFormat(stereo), pf::kAudioUnitErr_FormatNotSupported);
    const auto mono = pf::AVAudioFormat::standardFormatWithSampleRate(44100.0, 1);
    EXPECT_EQ(bus->setFormat(mono), pf::noErr);
    EXPECT_EQ(bus->format(), mono);
}

TEST(PlatformAudioDenormals, GuardFlushesSubnormalsAndRestoresTheMode) {
    ASSERT_FALSE(pf::ScopedFlushDenormals::isFlushing());
    volatile float tiny = std::numeric_limits<float>::min();
    {
        const pf::ScopedFlushDenormals guard;
        EXPECT_TRUE(pf::ScopedFlushDenormals::isFlushing());
        const float result = tiny * 0.5f;
        EXPECT_EQ(result, 0.0f);
    }
    EXPECT_FALSE(pf::ScopedFlushDenormals::isFlushing());
    const float result = tiny * 0.5f;
    EXPECT_EQ(std::fpclassify(result), FP_SUBNORMAL);
}
