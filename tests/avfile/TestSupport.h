#pragma once
// Helpers shared by the audio-file tests: a temporary folder, file bytes, and measurements.

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "../_support/TempDir.h"

namespace avfiletest {

using TempDir = test::TempDir;

inline std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, std::vector<char>(text.begin(), text.end()));
}

/// Frequency of a steady tone from its rising zero crossings, interpolated between samples.
inline double zeroCrossingFrequency(const std::vector<float>& x, size_t from, size_t to,
                                    double sampleRate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0.0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * sampleRate / (last - first) : 0.0;
}

/// Amplitude of one frequency in x[from, to) by the Goertzel recurrence (a sine of amplitude A
/// gives about A).
inline double goertzelAmplitude(const std::vector<float>& x, size_t from, size_t to,
                                double frequency, double sampleRate) {
    const double coeff = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / sampleRate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = static_cast<double>(to - from);
    return 2.0 * std::sqrt(s1 * s1 + s2 * s2 - coeff * s1 * s2) / n;
}

inline double rms(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

} // namespace avfiletest
