#pragma once
// Helpers shared by the audio-file tests: a temporary folder, file bytes, and measurements.

#include <cmath>
#include <fstream>
#include <iterator>
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

} // namespace avfiletest
