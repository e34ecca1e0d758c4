// Deterministic test signals for the DSP tests and benchmarks: stereo, 48 kHz, generated from a
// fixed seed, so every run sees the same samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsignals {

inline constexpr double kSampleRate = 48000.0;
inline constexpr double kTwoPi = 6.283185307179586;

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
    std::size_t size() const { return left.size(); }
};

// xorshift32: uniform numbers in -1..1.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed ? seed : 1u) {}
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_) * (2.0f / 4294967296.0f) - 1.0f;
    }

private:
    std::uint32_t state_;
};

// Music-like material: low-passed noise, three tones with a 5 Hz tremolo and phrases that swell
// and fade every second, peaks near 0.9; the channels share most, but not all, of it.
inline Stereo musicLike(std::size_t frames, std::uint32_t seed = 20261206u) {
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    Noise noise(seed);
    float lowL = 0.0f, lowR = 0.0f;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double phrase = 0.15 + 0.85 * std::pow(std::sin(kTwoPi * 0.5 * t), 2.0);
        const double tremolo = 0.75 + 0.25 * std::sin(kTwoPi * 5.0 * t);
        const double tones = 0.30 * std::sin(kTwoPi * 110.0 * t) +
                             0.18 * std::sin(kTwoPi * 277.18 * t) +
                             0.10 * std::sin(kTwoPi * 659.25 * t);
        const float common = noise.next();
        lowL += 0.2f * ((0.7f * common + 0.3f * noise.next()) - lowL);
        lowR += 0.2f * ((0.7f * common + 0.3f * noise.next()) - lowR);
        const double body = tones * tremolo;
        out.left[i] = static_cast<float>(phrase * (body + 0.35 * lowL));
        out.right[i] = static_cast<float>(phrase * (0.8 * body + 0.35 * lowR));
    }
    return out;
}

inline Stereo sine(std::size_t frames, double frequency = 1000.0, double amplitude = 0.5) {
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<float>(
            amplitude * std::sin(kTwoPi * frequency * static_cast<double>(i) / kSampleRate));
        out.left[i] = v;
        out.right[i] = v;
    }
    return out;
}

inline Stereo silence(std::size_t frames) {
    return Stereo{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
}

// The music-like material raised so that its peak is at +7 dBFS.
inline Stereo hot(std::size_t frames) {
    Stereo out = musicLike(frames);
    float peak = 0.0f;
    for (std::size_t i = 0; i < frames; ++i) {
        peak = std::max(peak, std::max(std::fabs(out.left[i]), std::fabs(out.right[i])));
    }
    const float scale = static_cast<float>(std::pow(10.0, 7.0 / 20.0)) / peak;
    for (std::size_t i = 0; i < frames; ++i) {
        out.left[i] *= scale;
        out.right[i] *= scale;
    }
    return out;
}

// A loud burst (the +7 dBFS material) for `loudFrames`, then silence.
inline Stereo loudThenSilence(std::size_t frames, std::size_t loudFrames) {
    Stereo out = hot(frames);
    for (std::size_t i = loudFrames; i < frames; ++i) {
        out.left[i] = 0.0f;
        out.right[i] = 0.0f;
    }
    return out;
}

} // namespace testsignals
