// The modulator: its frequency map, its settings and their bounds, the table pairs it selects, the
// tables every modulator shares, its noise source, and the 66 fixed wavetables.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "Modulator.h"
#include "SVFilter4Pole1.h"
#include "Wavetables.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The magnitude of harmonic k of one cycle of 4096 samples, in units of the wave's amplitude.
double harmonic(const float* table, int k) {
    std::complex<double> sum = 0.0;
    for (int i = 0; i < kWavetableLength; ++i) {
        const double angle = -2.0 * std::numbers::pi * k * i / kWavetableLength;
        sum += static_cast<double>(table[i]) * std::polar(1.0, angle);
    }
    return 2.0 * std::abs(sum) / kWavetableLength;
}

// Puts a shared table back when the test ends, however it ends.
class RestoreTable {
public:
    template <std::size_t N>
    explicit RestoreTable(float (&table)[N]) : table_(table), saved_(table, table + N) {}
    ~RestoreTable() { std::copy(saved_.begin(), saved_.end(), table_); }
    RestoreTable(const RestoreTable&) = delete;
    RestoreTable& operator=(const RestoreTable&) = delete;

private:
    float* table_;
    std::vector<float> saved_;
};

} // namespace

// Non-finite values used to index the table far outside its bounds.
TEST(Modulator, FrequencyScaledMapsOntoTheLogarithmicRampAndSaturates) {
    const Modulator modulator; // builds the shared table
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in, out, tolerance;
    } cases[] = {{0.0f, 0.0f, 0},
                 {0.5f, 0.015625f, 0},
                 {1.0f, 1.0f, 0},
                 {7.0f, 1.0f, 0},
                 {inf, 1.0f, 0},
                 {-inf, -1.0f, 0},
                 {-0.5f, -0.015625f, 0},
                 {-1.0f, -1.0f, 0},
                 {0.25f, 0.0013811f, 1e-7f},
                 {0.99999f, 0.99807f, 1e-5f},
                 {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0}};
    for (const auto& c : cases)
        EXPECT_NEAR(Modulator::getValueFrequencyScaled(c.in), c.out, c.tolerance) << c.in;
}

TEST(Modulator, NewModulatorStartsAtItsDocumentedSettings) {
    const Modulator m;
    EXPECT_EQ(m.getMode(), 1);
    EXPECT_EQ(m.getGain(), 0.5f);
    EXPECT_EQ(m.getFrequency(), 1.0f);
    EXPECT_EQ(m.getShape(), 1.0f);
    EXPECT_EQ(m.getPhase(), 0.0f);
    EXPECT_EQ(m.getNumCycles(), 0);
    EXPECT_EQ(m.fSamplerate, 48000.0f);
    EXPECT_NEAR(m.sicvt, 349.52533f, 1e-3f) << "phase units per sample at 1 Hz";
    EXPECT_EQ(m.lobits, 12) << "a 4096-entry table";
    EXPECT_EQ(m.waveTable1, Modulator::waveSine);
    EXPECT_EQ(m.waveTable2, Modulator::waveSine);
    EXPECT_EQ(m.currentValue, 0.0f);
    EXPECT_EQ(m.currentIndex, 0);
    EXPECT_EQ(m.cycles, 0);
    EXPECT_FALSE(m.isBidirectional);
    EXPECT_EQ(m.onCycleEnd, nullptr);
    EXPECT_EQ(m.onSyncReceived, nullptr);
    EXPECT_EQ(m.triggerDestination, nullptr);
    EXPECT_EQ(m.noise.randseed, 33333u);
}

TEST(Modulator, SettersClampToTheirRangesAndKeepNonFiniteValuesOut) {
    Modulator m;
    const struct {
        float in, frequency, gain, shape;
    } cases[] = {
        {0.3f, 0.3f, 0.3f, 0.3f},         {-0.25f, 0.0f, -0.25f, 0.0f},
        {-5.0f, 0.0f, -1.0f, 0.0f},       {2.0f, 2.0f, 1.0f, 1.0f},
        {440.0f, 440.0f, 1.0f, 1.0f},     {47999.0f, 47999.0f, 1.0f, 1.0f},
        {48000.0f, 47999.0f, 1.0f, 1.0f}, {1e9f, 47999.0f, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        m.setFrequency(c.in);
        m.setGain(c.in);
        m.setShape(c.in);
        EXPECT_EQ(m.getFrequency(), c.frequency) << c.in;
        EXPECT_EQ(m.getGain(), c.gain) << c.in;
        EXPECT_EQ(m.getShape(), c.shape) << c.in;
    }
    for (const float bad : {kNaN, kInf, -kInf}) {
        m.setFrequency(bad);
        m.setGain(bad);
        m.setShape(bad);
        EXPECT_TRUE(m.getFrequency() >= 0.0f && m.getFrequency() < 48000.0f) << bad;
        EXPECT_TRUE(m.getGain() >= -1.0f && m.getGain() <= 1.0f) << bad;
        EXPECT_TRUE(m.getShape() >= 0.0f && m.getShape() <= 1.0f) << bad;
    }
}

// A phase is kept in 2^24 units per cycle: not wrapped above one cycle, saturated at the 32-bit
// limit, and 0 for anything not at or above zero.
TEST(Modulator, PhaseRoundTripsInFixedPointAndRetriggerStartsOver) {
    Modulator m;
    const struct {
        float in, out;
    } cases[] = {{0.5f, 0.5f},  {0.25f, 0.25f}, {1.75f, 1.75f}, {-0.1f, 0.0f}, {kNaN, 0.0f},
                 {-kInf, 0.0f}, {1e9f, 128.0f}, {kInf, 128.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        m.setPhase(0.125f);
        m.setPhase(c.in);
        EXPECT_NEAR(m.getPhase(), c.out, 1e-6f) << c.in;
    }
    m.setPhase(0.5f);
    EXPECT_EQ(m.phase, 8388608) << "half of 2^24";

    m.setPhase(0.25f);
    m.currentIndex = 5;
    m.cycles = 3;
    m.currentValue = 0.7f;
    m.retrigger();
    EXPECT_EQ(m.getPhase(), 0.0f);
    EXPECT_EQ(m.currentIndex, 0);
    EXPECT_EQ(m.cycles, 0);
    EXPECT_EQ(m.currentValue, 0.0f);
}

TEST(Modulator, SampleRateSetsThePhaseIncrementAndTheFrequencyLimitAndZeroIsIgnored) {
    Modulator m;
    m.setSamplerate(0.0f);
    EXPECT_EQ(m.fSamplerate, 48000.0f);
    EXPECT_NEAR(m.sicvt, 349.52533f, 1e-3f);
    m.setSamplerate(44100.0f);
    EXPECT_EQ(m.fSamplerate, 44100.0f);
    EXPECT_NEAR(m.sicvt, 380.43574f, 1e-3f);
    m.setFrequency(44100.0f);
    EXPECT_EQ(m.getFrequency(), 44099.0f);
    m.setSamplerate(kNaN);
    EXPECT_EQ(m.fSamplerate, 44100.0f);
}

// Every pair starts with the sine; the second table is the one whose number is asked for.
TEST(Modulator, SetTablePairsTheSineWithTheNumberedTableOrFallsBackToTheBuiltInSine) {
    Modulator m;
    const struct {
        int k;
        const float *first, *second;
    } cases[] = {{0, table_sine, table_tri},
                 {1, table_sine, table_saw},
                 {2, table_sine, table_sqr},
                 {3, table_sine, table_03},
                 {10, table_sine, table_10},
                 {37, table_sine, table_37},
                 {63, table_sine, table_63},
                 {64, table_sine, table_64},
                 {65, Modulator::waveSine, Modulator::waveSine},
                 {-1, Modulator::waveSine, Modulator::waveSine},
                 {1000, Modulator::waveSine, Modulator::waveSine}};
    for (const auto& c : cases) {
        m.setTable(2); // something else first
        m.setTable(c.k);
        EXPECT_EQ(m.waveTable1, c.first) << c.k;
        EXPECT_EQ(m.waveTable2, c.second) << c.k;
        EXPECT_EQ(m.lobits, 12) << c.k;
    }
}

// The shift brings a table's length to 2^24 phase units.
TEST(Modulator, SetTablesShiftsThePhaseOntoTheTableLength) {
    Modulator m;
    const struct {
        int length;
        std::int64_t shift;
    } cases[] = {{1, 24}, {2, 23}, {256, 16}, {4096, 12}, {8192, 11}, {16777216, 0}};
    for (const auto& c : cases) {
        m.setTables(table_saw, table_tri, c.length);
        EXPECT_EQ(m.lobits, c.shift) << c.length;
        EXPECT_EQ(m.waveTable1, table_saw);
        EXPECT_EQ(m.waveTable2, table_tri);
    }
}

// The first modulator builds the shared tables (here the one inside a filter, which needs them
// for its first coefficients); another one while it lives leaves them alone; after the last one
// has gone, the next builds them again.
TEST(Modulator, FirstModulatorBuildsTheSharedTablesAndOnlyTheFirstAfterTheLastHasGone) {
    ASSERT_EQ(Modulator::count.load(), 0) << "no modulator outlives its test";
    const RestoreTable restoreRamp(Modulator::waveRampLogUp);
    const RestoreTable restoreNotes(Modulator::freqTable);
    std::fill(std::begin(Modulator::waveRampLogUp), std::end(Modulator::waveRampLogUp), 0.5f);
    Modulator::freqTable[69] = 0.0f;
    {
        const auto filter = std::make_unique<SVFilter4Pole1>();
        EXPECT_EQ(Modulator::count.load(), 1);
        EXPECT_EQ(Modulator::freqTable[69], 440.0f);
        EXPECT_EQ(filter->cf, 0.015625f) << "the filter's cutoff setting 0.5 through the new ramp";

        Modulator::waveRampLogUp[2048] = 0.25f; // marks the built tables
        {
            const Modulator second;
            EXPECT_EQ(Modulator::count.load(), 2);
            EXPECT_EQ(Modulator::waveRampLogUp[2048], 0.25f) << "rebuilt by a second modulator";
        }
        EXPECT_EQ(Modulator::count.load(), 1);
    }
    EXPECT_EQ(Modulator::count.load(), 0);
    {
        const Modulator again;
        EXPECT_EQ(Modulator::count.load(), 1);
        EXPECT_EQ(Modulator::waveRampLogUp[2048], 0.015625f) << "not rebuilt after the last went";
    }
    EXPECT_EQ(Modulator::count.load(), 0);
}

TEST(Modulator, SharedTablesHoldTheirDocumentedValues) {
    const Modulator modulator;
    const struct {
        const char* name;
        float value, expected, tolerance;
    } cases[] = {
        {"note 0", Modulator::freqTable[0], 8.1758f, 1e-4f},
        {"note 60", Modulator::freqTable[60], 261.6256f, 1e-3f},
        {"note 69", Modulator::freqTable[69], 440.0f, 1e-3f},
        {"note 127", Modulator::freqTable[127], 12543.85f, 0.01f},
        {"factor of note 60", Modulator::freqFactors[60], 1.0f, 1e-6f},
        {"factor an octave up", Modulator::freqFactors[72], 2.0f, 1e-5f},
        {"factor an octave down", Modulator::freqFactors[48], 0.5f, 1e-5f},
        {"sine start", Modulator::waveSine[0], 0.5f, 1e-6f},
        {"sine top", Modulator::waveSine[1024], 1.0f, 1e-6f},
        {"sine bottom", Modulator::waveSine[3072], 0.0f, 1e-6f},
        {"saw start", Modulator::waveSaw[0], 1.0f, 0},
        {"saw middle", Modulator::waveSaw[2048], 0.5f, 0},
        {"squared sine top", Modulator::waveSineSquar[1024], 1.0f, 1e-6f},
        {"squared sine eighth", Modulator::waveSineSquar[512], 0.9788016f, 1e-6f},
        {"squared sine bottom", Modulator::waveSineSquar[3072], 0.0f, 1e-6f},
        {"squared sine lower eighth", Modulator::waveSineSquar[3584], 0.0211984f, 1e-6f},
        {"cubed sine eighth", Modulator::waveSineQuad[512], 0.6767767f, 1e-6f},
        {"cubed sine bottom", Modulator::waveSineQuad[3072], 0.0f, 1e-6f},
        {"linear up middle", Modulator::waveRampLinUp[2048], 0.5f, 0},
        {"linear up end", Modulator::waveRampLinUp[4095], 0.99975586f, 1e-7f},
        {"linear down start", Modulator::waveRampLinDown[0], 1.0f, 0},
        {"linear down quarter", Modulator::waveRampLinDown[1024], 0.75f, 0},
        {"cubic up middle", Modulator::waveRampExponUp[2048], 0.125f, 1e-7f},
        {"cubic up quarter", Modulator::waveRampExponUp[1024], 0.015625f, 1e-7f},
        {"cubic down start", Modulator::waveRampExponDown[0], 0.99926776f, 1e-6f},
        {"cubic down end", Modulator::waveRampExponDown[4095], 0.0f, 0},
        {"highest frequency", Modulator::maxFrequency, 14080.0f, 0},
        {"log frequency start", Modulator::wave100[0], 13.75f, 1e-4f},
        {"log frequency middle", Modulator::wave100[2048], 440.0f, 1e-3f},
        {"log frequency end", Modulator::wave100[4095], 14056.19f, 0.02f},
        {"log ramp start", Modulator::waveRampLogUp[0], 0.0f, 0},
        {"log ramp quarter", Modulator::waveRampLogUp[1024], 0.0013811f, 1e-7f},
        {"log ramp middle", Modulator::waveRampLogUp[2048], 0.015625f, 1e-7f},
        {"log ramp three quarters", Modulator::waveRampLogUp[3072], 0.13258f, 1e-5f},
        {"log ramp end", Modulator::waveRampLogUp[4095], 0.99807f, 1e-5f},
        {"log ramp down start", Modulator::waveRampLogDown[0], 0.99807f, 1e-5f},
        {"log ramp down middle", Modulator::waveRampLogDown[2047], 0.015625f, 1e-7f},
        {"log ramp down end", Modulator::waveRampLogDown[4095], 0.0f, 0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.name;
}

TEST(NoiseOscillator, RateIsFrequencyTimesSampleRateWithinItsBounds) {
    NoiseOscillator noise;
    EXPECT_EQ(noise.randseed, 33333u);
    EXPECT_EQ(noise.fFrequency, 1.0f);
    EXPECT_EQ(noise.fVolume, 1.0f);
    EXPECT_EQ(noise.lMode, 0);
    EXPECT_EQ(noise.samplerate, 44100.0f);
    EXPECT_EQ(noise.freq, 44100.0f);

    const struct {
        float frequency, samplerate, rate; // a sample rate of 0: set the frequency only
        float storedFrequency;
    } steps[] = {
        {0.5f, 0, 22050.0f, 0.5f}, {0.5f, 48000.0f, 24000.0f, 0.5f},
        {3.0f, 0, 48000.0f, 1.0f}, {-1.0f, 0, 0.0f, 0.0f},
        {0.0f, 0, 0.0f, 0.0f},     {0.0f, 44100.0f, 1.0f, 0.0f}, // raised to 1 by a new rate
        {1.0f, 0.5f, 0.5f, 1.0f},  {0.25f, 0, 0.125f, 0.25f},
    };
    for (const auto& s : steps) {
        noise.setFrequency(s.frequency);
        if (s.samplerate != 0) noise.setSamplerate(s.samplerate);
        EXPECT_EQ(noise.freq, s.rate) << s.frequency << " at " << s.samplerate;
        EXPECT_EQ(noise.fFrequency, s.storedFrequency) << s.frequency;
    }
    noise.setFrequency(kNaN);
    noise.setSamplerate(kNaN);
    EXPECT_FALSE(std::isnan(noise.freq));

    noise.noise = noise.noise2 = noise.last = noise.inc = noise.skip = 0.5f;
    noise.init();
    for (const float word : {noise.noise, noise.noise2, noise.last, noise.inc, noise.skip})
        EXPECT_EQ(word, 0.0f);
}

// Each table is one cycle with a peak magnitude of 1, a mean near zero and edges near zero (the
// square starts part-way up its rising edge).
TEST(Wavetables, EveryTableIsOneCycleOfUnitPeakAroundZero) {
    const float* const named[] = {table_sine, table_tri, table_saw, table_sqr};
    for (int t = 0; t < kWavetableCount; ++t) {
        const float* table = wavetables[t];
        if (t < 4) {
            EXPECT_EQ(table, named[t]) << "the named tables come first, in order";
        }
        double peak = 0.0, sum = 0.0;
        for (int i = 0; i < kWavetableLength; ++i) {
            peak = std::max(peak, std::fabs(static_cast<double>(table[i])));
            sum += table[i];
        }
        EXPECT_GE(peak, 0.99) << "table " << t;
        EXPECT_LE(peak, 1.006) << "table " << t;
        EXPECT_LE(std::fabs(sum / kWavetableLength), 0.011) << "table " << t;
        if (table == table_sqr) {
            // One sample of its steep edge is about a tenth.
            EXPECT_NEAR(table[0], 0.51f, 0.1f);
            EXPECT_GT(table[8], table[0]) << "on a rising edge";
            EXPECT_LT(table[kWavetableLength - 1], table[0]) << "the cycle ends just below it";
        } else {
            EXPECT_LE(std::fabs(table[0]), 0.05f) << "table " << t;
            EXPECT_LE(std::fabs(table[kWavetableLength - 1]), 0.05f) << "table " << t;
        }
    }
}

// The named tables by their harmonic content; "about" is taken as within a fifth.
TEST(Wavetables, NamedTablesHaveTheHarmonicsOfTheirWaveform) {
    const double sine = harmonic(table_sine, 1);
    EXPECT_NEAR(sine, 1.0, 0.01);
    for (int k = 2; k <= 8; ++k)
        EXPECT_LT(harmonic(table_sine, k), 0.002 * sine) << "sine harmonic " << k;
    EXPECT_GT(table_sine[64], table_sine[0]) << "the sine rises from zero";
    EXPECT_NEAR(table_sine[1024], 1.0f, 0.01f) << "a quarter cycle in";

    const struct {
        const char* name;
        const float* table;
        double exponent; // harmonic k at 1 / k^exponent of the fundamental
        bool oddOnly;
    } waves[] = {{"triangle", table_tri, 2.0, true},
                 {"sawtooth", table_saw, 1.0, false},
                 {"square", table_sqr, 1.0, true}};
    for (const auto& w : waves) {
        const double fundamental = harmonic(w.table, 1);
        for (int k = 2; k <= 9; ++k) {
            const double ratio = harmonic(w.table, k) / fundamental;
            if (w.oddOnly && k % 2 == 0) {
                EXPECT_LT(ratio, 0.01) << w.name << " harmonic " << k;
            } else {
                const double expected = 1.0 / std::pow(k, w.exponent);
                EXPECT_NEAR(ratio, expected, 0.2 * expected) << w.name << " harmonic " << k;
            }
        }
    }
    const auto [low, high] = std::minmax_element(table_saw, table_saw + kWavetableLength);
    EXPECT_NEAR(*high, 0.58f, 0.03f) << "the sawtooth's positive peak";
    EXPECT_NEAR(*low, -0.99f, 0.02f) << "the sawtooth's negative peak";
}
