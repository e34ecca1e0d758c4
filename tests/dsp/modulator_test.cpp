// Modulator: shared tables built once, the cutoff map, setter limits; NoiseOscillator rates.
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "Modulator.h"
#include "Wavetables.h"

TEST(Modulator, SharedTablesAreBuiltOnceAndRebuiltAfterTheLastModulatorGoes) {
    ASSERT_EQ(Modulator::count, 0);
    EXPECT_EQ(Modulator::maxFrequency, 22050.0f) << "before any modulator";
    auto first = std::make_unique<Modulator>();
    EXPECT_EQ(Modulator::count, 1);
    EXPECT_EQ(Modulator::maxFrequency, 14080.0f);
    const float built = Modulator::waveSine[7];

    Modulator::waveSine[7] = -5.0f; // a marker: a second modulator must not rebuild
    auto second = std::make_unique<Modulator>();
    EXPECT_EQ(Modulator::count, 2);
    EXPECT_EQ(Modulator::waveSine[7], -5.0f);

    first.reset();
    second.reset();
    EXPECT_EQ(Modulator::count, 0);
    Modulator third;
    EXPECT_EQ(Modulator::waveSine[7], built) << "rebuilt with the same values";
}

TEST(Modulator, TablesHoldTheirStatedValues) {
    Modulator modulator;
    EXPECT_NEAR(Modulator::freqTable[0], 8.1758f, 1e-4f);
    EXPECT_NEAR(Modulator::freqTable[60], 261.6256f, 1e-3f);
    EXPECT_NEAR(Modulator::freqTable[69], 440.0f, 1e-3f);
    EXPECT_NEAR(Modulator::freqTable[127], 12543.85f, 0.05f);
    EXPECT_EQ(Modulator::freqFactors[60], 1.0f);
    EXPECT_EQ(Modulator::wave100[0], 13.75f);
    EXPECT_FLOAT_EQ(Modulator::wave100[2048], 440.0f);
    EXPECT_NEAR(Modulator::wave100[4095], 14056.19f, 0.05f);
    EXPECT_NEAR(Modulator::waveRampLogUp[1024], 0.0013811f, 1e-7f);
    EXPECT_NEAR(Modulator::waveRampLogUp[3072], 0.13258f, 1e-5f);
    EXPECT_EQ(Modulator::waveRampLogDown[0], Modulator::waveRampLogUp[4095]);
    EXPECT_EQ(Modulator::waveRampExponDown[10], Modulator::waveRampExponUp[4085]);
    EXPECT_FLOAT_EQ(Modulator::waveSine[1024], 1.0f);
    EXPECT_FLOAT_EQ(Modulator::waveSineSquar[1024], 1.0f);
    EXPECT_FLOAT_EQ(Modulator::waveSineSquar[3072], 0.0f);
}

TEST(Modulator, FrequencyScaledMapsOntoTheLogarithmicRamp) {
    Modulator modulator;
    EXPECT_EQ(Modulator::getValueFrequencyScaled(0.0f), 0.0f);
    EXPECT_NEAR(Modulator::getValueFrequencyScaled(0.25f), 0.0013811f, 1e-7f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(0.5f), 0.015625f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(-0.5f), -0.015625f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(1.0f), 1.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(7.0f), 1.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(-1.0f), -1.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(0.99999f), Modulator::waveRampLogUp[4095]);
    EXPECT_NEAR(Modulator::waveRampLogUp[4095], 0.99807f, 1e-5f);
    // Non-finite values used to index the table far outside its bounds.
    EXPECT_EQ(Modulator::getValueFrequencyScaled(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(std::numeric_limits<float>::infinity()), 1.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(-std::numeric_limits<float>::infinity()), -1.0f);
    EXPECT_EQ(Modulator::getValueFrequencyScaled(3e38f), 1.0f);
}

TEST(Modulator, NewModulatorHasItsDefaults) {
    Modulator modulator;
    EXPECT_EQ(modulator.getMode(), 1);
    EXPECT_EQ(modulator.getGain(), 0.5f);
    EXPECT_EQ(modulator.getFrequency(), 1.0f);
    EXPECT_EQ(modulator.getShape(), 1.0f);
    EXPECT_EQ(modulator.waveTable1, Modulator::waveSine);
    EXPECT_EQ(modulator.waveTable2, Modulator::waveSine);
    EXPECT_EQ(modulator.lobits, 12);
    EXPECT_FLOAT_EQ(modulator.sicvt, 349.52533f);
}

TEST(Modulator, SetTableSelectsPairsAndFallsBackToTheBuiltInSine) {
    Modulator modulator;
    for (int k : {65, -1, 1000}) {
        modulator.setTable(k);
        EXPECT_EQ(modulator.waveTable1, Modulator::waveSine) << k;
        EXPECT_EQ(modulator.waveTable2, Modulator::waveSine) << k;
    }
    modulator.setTable(0);
    EXPECT_EQ(modulator.waveTable1, table_sine);
    EXPECT_EQ(modulator.waveTable2, table_tri);
    modulator.setTable(2);
    EXPECT_EQ(modulator.waveTable2, table_sqr);
    modulator.setTable(64);
    EXPECT_EQ(modulator.waveTable1, table_sine);
    EXPECT_EQ(modulator.waveTable2, table_64);
    modulator.setTables(table_sine, table_saw, 1 << 20);
    EXPECT_EQ(modulator.lobits, 4);
}

TEST(Modulator, SettersClampOrIgnore) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Modulator modulator;
    modulator.setFrequency(48000.0f);
    EXPECT_EQ(modulator.getFrequency(), 47999.0f);
    modulator.setFrequency(-5.0f);
    EXPECT_EQ(modulator.getFrequency(), 0.0f);
    modulator.setFrequency(nan);
    EXPECT_EQ(modulator.getFrequency(), 0.0f);
    modulator.setPhase(0.5f);
    EXPECT_EQ(modulator.getPhase(), 0.5f);
    modulator.setPhase(-0.1f);
    EXPECT_EQ(modulator.phase, 0);
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
    EXPECT_EQ(modulator.fSamplerate, 48000.0f);
    EXPECT_EQ(modulator.sicvt, increment);
}

TEST(NoiseOscillator, RateFollowsFrequencyAndSampleRate) {
    NoiseOscillator noise;
    EXPECT_EQ(noise.randseed, 33333u);
    EXPECT_EQ(noise.freq, 44100.0f);
    noise.setFrequency(0.0f);
    EXPECT_EQ(noise.freq, 0.0f);
    noise.setSamplerate(48000.0f);
    EXPECT_EQ(noise.freq, 1.0f) << "at least 1 after a sample-rate change";
    noise.setFrequency(2.0f);
    EXPECT_EQ(noise.fFrequency, 1.0f);
    EXPECT_EQ(noise.freq, 48000.0f);
}
