// Modulator: shared tables built once, the cutoff map, setter limits; NoiseOscillator rates.
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "Modulator.h"
#include "Wavetables.h"

TEST(Modulator, SharedTablesAreBuiltOnceAndRebuiltAfterTheLastModulatorGoes) {
    ASSERT_EQ(Modulator::count, 0);
    auto first = std::make_unique<Modulator>();
    EXPECT_EQ(Modulator::count, 1);
    EXPECT_NEAR(Modulator::freqTable[69], 440.0f, 1e-3f);
    EXPECT_FLOAT_EQ(Modulator::waveSine[1024], 1.0f);
    const float built = Modulator::waveSine[7];
    Modulator::waveSine[7] = -5.0f; // a marker: a second modulator must not rebuild
    auto second = std::make_unique<Modulator>();
    EXPECT_EQ(Modulator::waveSine[7], -5.0f);
    first.reset();
    second.reset();
    EXPECT_EQ(Modulator::count, 0);
    Modulator third;
    EXPECT_EQ(Modulator::waveSine[7], built) << "rebuilt with the same values";
}

// Non-finite values used to index the table far outside its bounds.
TEST(Modulator, FrequencyScaledMapsOntoTheLogarithmicRampAndSaturates) {
    Modulator modulator;
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in, out;
    } cases[] = {{0.0f, 0.0f},        {0.5f, 0.015625f},
                 {-0.5f, -0.015625f}, {1.0f, 1.0f},
                 {7.0f, 1.0f},        {-1.0f, -1.0f},
                 {inf, 1.0f},         {-inf, -1.0f},
                 {3e38f, 1.0f},       {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(Modulator::getValueFrequencyScaled(c.in), c.out) << c.in;
    EXPECT_NEAR(Modulator::getValueFrequencyScaled(0.25f), 0.0013811f, 1e-7f);
    EXPECT_NEAR(Modulator::getValueFrequencyScaled(0.99999f), 0.99807f, 1e-5f);
}

TEST(Modulator, SetTableSelectsPairsAndFallsBackToTheBuiltInSine) {
    Modulator modulator;
    for (int k : {65, -1, 1000}) {
        modulator.setTable(k);
        EXPECT_EQ(modulator.waveTable1, Modulator::waveSine) << k;
        EXPECT_EQ(modulator.waveTable2, Modulator::waveSine) << k;
    }
    modulator.setTable(2);
    EXPECT_EQ(modulator.waveTable1, table_sine);
    EXPECT_EQ(modulator.waveTable2, table_sqr);
    modulator.setTable(64);
    EXPECT_EQ(modulator.waveTable2, table_64);
}

TEST(Modulator, SettersClampSaturateOrIgnore) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Modulator modulator;
    modulator.setFrequency(48000.0f);
    EXPECT_EQ(modulator.getFrequency(), 47999.0f);
    modulator.setFrequency(-5.0f);
    modulator.setFrequency(nan);
    EXPECT_EQ(modulator.getFrequency(), 0.0f);
    modulator.setPhase(-0.1f);
    modulator.setPhase(nan);
    EXPECT_EQ(modulator.phase, 0);
    modulator.setPhase(1e30f); // saturates instead of an undefined conversion
    EXPECT_EQ(modulator.phase, std::numeric_limits<std::int32_t>::max());
    modulator.setGain(3.0f);
    EXPECT_EQ(modulator.getGain(), 1.0f);
    modulator.setGain(-3.0f);
    EXPECT_EQ(modulator.getGain(), -1.0f);
    modulator.setShape(-1.0f);
    EXPECT_EQ(modulator.getShape(), 0.0f);
    const float increment = modulator.sicvt;
    modulator.setSamplerate(0.0f);
    EXPECT_EQ(modulator.sicvt, increment);
}

TEST(NoiseOscillator, RateFollowsFrequencyAndSampleRate) {
    NoiseOscillator noise;
    noise.setFrequency(0.0f);
    EXPECT_EQ(noise.freq, 0.0f);
    noise.setSamplerate(48000.0f);
    EXPECT_EQ(noise.freq, 1.0f) << "at least 1 after a sample-rate change";
    noise.setFrequency(2.0f);
    EXPECT_EQ(noise.freq, 48000.0f);
}
