#include "AudioSynth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace audiofiles {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// splitmix64: tiny, fast and identical everywhere (the standard distributions are not).
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    double bipolar() { return 2.0 * uniform() - 1.0; }

private:
    uint64_t state_;
};

double dbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

// Equal-power pan: -1 hard left, +1 hard right.
std::pair<double, double> panGains(double pan) {
    const double angle = (pan + 1.0) * std::numbers::pi / 4.0;
    return {std::cos(angle), std::sin(angle)};
}

class Mixer {
public:
    Mixer(int sampleRate, size_t frames)
        : rate_(sampleRate), left_(frames, 0.0), right_(frames, 0.0) {}

    int rate() const { return rate_; }
    size_t frames() const { return left_.size(); }

    // Sum of decaying partials: a plucked string when decays shorten with the partial number.
    // Each partial is a phasor turned and shrunk by a constant step (no sine per sample); the
    // partials advance side by side, which keeps the processor busy, and each one leaves the
    // sum once it is 60 dB down.
    void pluck(size_t start, double frequency, double gain, double decaySeconds, double pan,
               int partials, double brightness) {
        constexpr int kMaxPartials = 12;
        const auto [gl, gr] = panGains(pan);
        std::array<double, kMaxPartials> re{}, im{}, stepRe{}, stepIm{};
        std::array<size_t, kMaxPartials> ends{};
        int count = 0;
        for (int k = 1; k <= std::min(partials, kMaxPartials); ++k) {
            const double f = frequency * k * (1.0 + 0.0004 * (k - 1) * (k - 1)); // slight stiffness
            if (f > 0.45 * rate_) break;
            const double tau = decaySeconds / std::pow(k, 0.7);
            const double radius = std::exp(-1.0 / (tau * rate_));
            im[count] = gain * std::pow(brightness, k - 1) / k;
            stepRe[count] = radius * std::cos(kTwoPi * f / rate_);
            stepIm[count] = radius * std::sin(kTwoPi * f / rate_);
            ends[count] = static_cast<size_t>(tau * 7.0 * rate_); // shrinking with k
            ++count;
        }
        const size_t length = std::min(frames() - std::min(start, frames()), count ? ends[0] : 0);
        const size_t attack = static_cast<size_t>(0.002 * rate_) + 1;
        for (size_t i = 0; i < length; ++i) {
            while (count > 1 && ends[count - 1] <= i)
                --count;
            double v = 0.0;
            for (int k = 0; k < count; ++k) {
                v += im[k];
                const double nextRe = re[k] * stepRe[k] - im[k] * stepIm[k];
                im[k] = re[k] * stepIm[k] + im[k] * stepRe[k];
                re[k] = nextRe;
            }
            if (i < attack) v *= static_cast<double>(i) / attack;
            left_[start + i] += gl * v;
            right_[start + i] += gr * v;
        }
    }

    // A drum-like thump: a sine whose pitch falls quickly, with a sharp attack.
    void thump(size_t start, double gain, double pan) {
        const auto [gl, gr] = panGains(pan);
        const size_t length =
            std::min(frames() - std::min(start, frames()), static_cast<size_t>(0.4 * rate_));
        double phase = 0.0;
        for (size_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / rate_;
            const double f = 45.0 + 110.0 * std::exp(-t / 0.03);
            phase += kTwoPi * f / rate_;
            const double v = gain * std::exp(-t / 0.12) * std::sin(phase);
            left_[start + i] += gl * v;
            right_[start + i] += gr * v;
        }
    }

    // A noise burst with an instant attack: partly shared, partly independent per channel,
    // shaped by a one-pole filter (dark or bright).
    void burst(size_t start, double gain, double decaySeconds, double pan, double cutoffHz,
               bool highPass, Random& random) {
        const auto [gl, gr] = panGains(pan);
        const size_t length = std::min(frames() - std::min(start, frames()),
                                       static_cast<size_t>(decaySeconds * 7.0 * rate_));
        const double a = std::exp(-kTwoPi * cutoffHz / rate_);
        const double decay = std::exp(-1.0 / (decaySeconds * rate_));
        double envelope = gain;
        double lowL = 0.0;
        double lowR = 0.0;
        for (size_t i = 0; i < length; ++i) {
            const double shared = random.bipolar();
            const double inL = 0.7 * shared + 0.3 * random.bipolar();
            const double inR = 0.7 * shared + 0.3 * random.bipolar();
            lowL = (1.0 - a) * inL + a * lowL;
            lowR = (1.0 - a) * inR + a * lowR;
            const double outL = highPass ? inL - lowL : lowL;
            const double outR = highPass ? inR - lowR : lowR;
            left_[start + i] += gl * envelope * outL;
            right_[start + i] += gr * envelope * outR;
            envelope *= decay;
        }
    }

    // The player loops files back to back: a short fade at the end keeps the loop point from
    // clicking (the start needs none, a sharp onset there is part of the material).
    void fadeOut(double seconds) {
        const size_t length = std::min(frames(), static_cast<size_t>(seconds * rate_));
        for (size_t i = 0; i < length; ++i) {
            const double gain = static_cast<double>(i) / static_cast<double>(length);
            left_[frames() - 1 - i] *= gain;
            right_[frames() - 1 - i] *= gain;
        }
    }

    PlanarAudio normalised(float peak) const {
        double maxAbs = 0.0;
        for (size_t i = 0; i < frames(); ++i) {
            maxAbs = std::max({maxAbs, std::abs(left_[i]), std::abs(right_[i])});
        }
        const double scale = maxAbs > 0.0 ? peak / maxAbs : 0.0;
        PlanarAudio out;
        out.sampleRate = rate_;
        out.channels.assign(2, std::vector<float>(frames()));
        for (size_t i = 0; i < frames(); ++i) {
            out.channels[0][i] = static_cast<float>(left_[i] * scale);
            out.channels[1][i] = static_cast<float>(right_[i] * scale);
        }
        return out;
    }

private:
    int rate_;
    std::vector<double> left_;
    std::vector<double> right_;
};

// Notes of a few keys, as semitones above A1 (55 Hz).
constexpr int kScale[] = {0, 2, 3, 5, 7, 8, 10, 12, 14, 15, 17, 19, 20, 22, 24, 26, 27, 29, 31};
constexpr int kChords[][4] = {{0, 3, 7, 12}, {0, 4, 7, 11}, {0, 5, 7, 10}, {0, 3, 7, 10}};

double noteFrequency(int semitones) {
    return 55.0 * std::pow(2.0, semitones / 12.0);
}

// One event at `start`, `level` being the passage's loudness.
void addEvent(Mixer& mix, Random& random, size_t start, double level, int root) {
    const double gain = level * random.between(0.5, 1.0);
    const double pan = random.between(-0.7, 0.7);
    switch (random.below(6)) {
    case 0:
    case 1: {
        const int note = root + kScale[random.below(static_cast<int>(std::size(kScale)))];
        mix.pluck(start, noteFrequency(note + 12), gain, random.between(0.12, 0.5), pan, 10,
                  random.between(0.55, 0.85));
        break;
    }
    case 2: {
        const auto& chord = kChords[random.below(static_cast<int>(std::size(kChords)))];
        const double decay = random.between(0.3, 0.8);
        for (int interval : chord) {
            const size_t strum = static_cast<size_t>(random.between(0.0, 0.025) * mix.rate());
            mix.pluck(start + strum, noteFrequency(root + 12 + interval), 0.45 * gain, decay,
                      random.between(-0.8, 0.8), 6, 0.6);
        }
        break;
    }
    case 3:
        mix.thump(start, 1.4 * gain, random.between(-0.2, 0.2));
        break;
    default: {
        const bool bright = random.below(2) == 0;
        mix.burst(start, 0.9 * gain, random.between(0.015, 0.15), pan,
                  bright ? random.between(2000.0, 6000.0) : random.between(300.0, 1500.0), bright,
                  random);
        break;
    }
    }
}

} // namespace

FilePlan planForFile(int number) {
    Random random(0x6F72766578ull * 1000003ull + static_cast<uint64_t>(number));
    FilePlan plan;
    plan.number = number;
    plan.sampleRate = number % 4 == 3 ? 44100 : 48000;
    const double seconds = 3.0 + 5.0 * random.uniform();
    plan.frames = static_cast<size_t>(seconds * plan.sampleRate);
    return plan;
}

PlanarAudio synthesiseFile(int number) {
    const FilePlan plan = planForFile(number);
    Random random(0x61756469ull * 7919ull + static_cast<uint64_t>(number));
    Mixer mix(plan.sampleRate, plan.frames);
    const int root = random.below(12);

    // Loud passages (0.4 to 1.4 s, 0 to -4 dB) alternate with quiet ones (0.8 to 1.6 s, -28 to
    // -40 dB), so every file has both whatever its length; quiet passages last long enough for
    // the loud tails to die away within them.
    bool loud = random.below(2) == 0;
    size_t position = 0;
    while (position < plan.frames) {
        const double seconds = loud ? random.between(0.4, 1.4) : random.between(0.8, 1.6);
        const size_t passage = static_cast<size_t>(seconds * plan.sampleRate);
        const double level =
            loud ? dbToGain(random.between(-4.0, 0.0)) : dbToGain(random.between(-40.0, -28.0));
        const double eventsPerSecond = random.between(3.0, 9.0);
        const size_t events = 1 + static_cast<size_t>(eventsPerSecond * passage / plan.sampleRate);
        for (size_t e = 0; e < events; ++e) {
            const size_t at = position + static_cast<size_t>(random.uniform() * passage);
            if (at < plan.frames) addEvent(mix, random, at, level, root);
        }
        position += passage;
        loud = !loud;
    }
    mix.fadeOut(0.02);
    return mix.normalised(kPeakLevel);
}

PlanarAudio synthesiseTone(int sampleRate, double frequency, size_t frames, float amplitude) {
    PlanarAudio out;
    out.sampleRate = sampleRate;
    out.channels.assign(2, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(kTwoPi * frequency * static_cast<double>(i) / sampleRate);
        out.channels[0][i] = static_cast<float>(v);
        out.channels[1][i] = static_cast<float>(0.5 * v);
    }
    return out;
}

} // namespace audiofiles
