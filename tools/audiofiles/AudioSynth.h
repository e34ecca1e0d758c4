#pragma once
// Synthesis of the application's demonstration audio: material with real dynamics for a
// compander and a limiter to act on (plucked and decaying tones, chords, drum-like thumps, noise
// bursts with sharp attacks, alternating quiet and loud passages, peaks near full scale).
//
// Everything is a pure function of its arguments: file n always gives the same samples.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace audiofiles {

/// Stereo (or any channel count) planar float audio: `channels[c][i]`.
struct PlanarAudio {
    int sampleRate = 0;
    std::vector<std::vector<float>> channels;

    size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

/// Properties of the application's file number n (1 … 80).
struct FilePlan {
    int number = 0;
    int sampleRate = 0; ///< 48000 for most files, 44100 for every fourth (3, 7, 11, …)
    size_t frames = 0;  ///< 3 to 8 seconds
};

inline constexpr int kApplicationFileCount = 80;

/// Level the loudest sample of every application file is scaled to (-1 dBFS), leaving headroom
/// for the overshoot of lossy coding.
inline constexpr float kPeakLevel = 0.891f;

FilePlan planForFile(int number);

/// The samples of application file `number` (stereo, at `planForFile(number)`'s rate and length).
PlanarAudio synthesiseFile(int number);

/// A steady stereo sine tone: the left channel at `amplitude`, the right at half of it, so a
/// reader can tell the channels apart.
PlanarAudio synthesiseTone(int sampleRate, double frequency, size_t frames, float amplitude);

} // namespace audiofiles
