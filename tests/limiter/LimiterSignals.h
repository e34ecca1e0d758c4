#pragma once
// Test signals and measurements for the peak limiter, shared by its tests and its benchmark.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "audio/units/PeakLimiterDSP.h"

namespace limiter_test {

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;

    explicit Stereo(std::size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::size_t frames() const { return left.size(); }
};

inline Stereo mono(std::vector<float> samples) {
    Stereo s;
    s.right = samples;
    s.left = std::move(samples);
    return s;
}

inline std::vector<float> sine(double sampleRate, double frequency, double amplitude,
                               std::size_t frames, double phase = 0.0) {
    std::vector<float> out(frames);
    for (std::size_t n = 0; n < frames; ++n)
        out[n] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * n / sampleRate + phase));
    return out;
}

// Dense, loud, mastered-too-hot material: a kick, a snare, hats, a bass line and a chord pad,
// different in each channel, normalised so that its sample peak is `peak` (above the ceiling).
// Deterministic for a given seed.
inline Stereo hotMusic(double sampleRate, std::size_t frames, double peak = 4.0,
                       std::uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    Stereo s(frames);
    const double beat = 0.5 * sampleRate;
    double kickPhase = 0.0;
    double bassPhase = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = n / sampleRate;
        const double inBeat = std::fmod(static_cast<double>(n), beat) / sampleRate;
        const double inHalf = std::fmod(static_cast<double>(n) + beat / 2, beat) / sampleRate;
        const double inHat = std::fmod(static_cast<double>(n), beat / 4) / sampleRate;
        kickPhase += 2.0 * std::numbers::pi * (50.0 + 90.0 * std::exp(-inBeat * 30.0)) / sampleRate;
        const double kick = 1.6 * std::exp(-inBeat * 9.0) * std::sin(kickPhase);
        const double snareNoise = noise(random);
        const double snare = 0.9 * std::exp(-inHalf * 18.0) * snareNoise;
        const double hat = 0.25 * std::exp(-inHat * 60.0) * noise(random);
        const double bassFrequency = (std::fmod(t, 2.0) < 1.0) ? 55.0 : 73.4;
        bassPhase += 2.0 * std::numbers::pi * bassFrequency / sampleRate;
        double bass = 0.0;
        for (int k = 1; k <= 5; ++k)
            bass += std::sin(k * bassPhase) / k;
        bass *= 0.45;
        const double tremolo = 0.8 + 0.2 * std::sin(2.0 * std::numbers::pi * 3.0 * t);
        double padL = 0.0;
        double padR = 0.0;
        for (const double f : {220.0, 277.18, 329.63, 440.0}) {
            padL += 0.16 * tremolo * std::sin(2.0 * std::numbers::pi * f * t);
            padR += 0.16 * tremolo * std::sin(2.0 * std::numbers::pi * f * 1.003 * t + 0.7);
        }
        s.left[n] = static_cast<float>(kick + 0.8 * snare + hat + bass + padL);
        s.right[n] = static_cast<float>(kick + snare + 0.6 * hat + bass + padR +
                                        0.15 * snareNoise * std::exp(-inHalf * 5.0));
    }
    float largest = 0.0f;
    for (std::size_t n = 0; n < frames; ++n)
        largest = std::max({largest, std::fabs(s.left[n]), std::fabs(s.right[n])});
    const auto scale = static_cast<float>(peak / largest);
    for (std::size_t n = 0; n < frames; ++n) {
        s.left[n] *= scale;
        s.right[n] *= scale;
    }
    return s;
}

struct Settings {
    float attack = pf::PeakLimiterDSP::kAttackTime.initial;
    float decay = pf::PeakLimiterDSP::kDecayTime.initial;
    float preGain = pf::PeakLimiterDSP::kPreGain.initial;
};

// The settings the system always sends after it allocates the limiter.
inline constexpr Settings kSystemSettings{0.03f, 0.06f, -0.01f};

// A limiter prepared at `sampleRate` with `settings` in effect from its first frame.
inline std::unique_ptr<pf::PeakLimiterDSP>
preparedLimiter(double sampleRate, Settings settings = {}, std::uint32_t maximumFrames = 4096) {
    auto limiter = std::make_unique<pf::PeakLimiterDSP>();
    limiter->setAttackTime(settings.attack);
    limiter->setDecayTime(settings.decay);
    limiter->setPreGain(settings.preGain);
    limiter->prepare(sampleRate, maximumFrames);
    return limiter;
}

inline double decibelsToGain(double decibels) {
    return std::pow(10.0, decibels / 20.0);
}

// Runs `input` through `limiter` in blocks of `block` frames; out of place unless `inPlace`. With
// one channel, only the left one is processed.
inline Stereo run(pf::PeakLimiterDSP& limiter, const Stereo& input, std::uint32_t block,
                  bool inPlace = false, int channels = 2) {
    Stereo output = input;
    Stereo source = input;
    for (std::size_t begin = 0; begin < input.frames(); begin += block) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(block, input.frames() - begin));
        float* out[2] = {output.left.data() + begin, output.right.data() + begin};
        const float* in[2] = {source.left.data() + begin, source.right.data() + begin};
        if (inPlace) {
            limiter.process(out, out, channels, count);
        } else {
            limiter.process(in, out, channels, count);
        }
    }
    return output;
}

inline float peakOf(const std::vector<float>& samples, std::size_t begin = 0) {
    float peak = 0.0f;
    for (std::size_t n = begin; n < samples.size(); ++n)
        peak = std::max(peak, std::fabs(samples[n]));
    return peak;
}

inline float peakOf(const Stereo& s, std::size_t begin = 0) {
    return std::max(peakOf(s.left, begin), peakOf(s.right, begin));
}

} // namespace limiter_test
