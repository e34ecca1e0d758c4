#pragma once
// Encodes planar float audio to AAC-LC in an m4a file with FFmpeg's own "aac" encoder.
// Output is bit-exact for equal input: no version strings, no creation time, one thread.

#include <string>

#include "AudioSynth.h"

namespace audiofiles {

inline constexpr long kBitRatePerChannel = 80000;

/// Writes `audio` to `path` (through "path.part", renamed on success, so an interrupted run
/// leaves no half-written file under the final name). Throws std::runtime_error on failure.
void writeAacM4a(const std::string& path, const PlanarAudio& audio);

} // namespace audiofiles
