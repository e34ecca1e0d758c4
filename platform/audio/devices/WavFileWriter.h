// The file behind the `wav:PATH` output: 32-bit float WAV (format 3), 48000 Hz, two channels,
// with the 44-byte header of the plain RIFF format. What the file says is what it holds:
//
//   - frames count once the system has taken them (the write returned), never when they were
//     only handed to a buffer;
//   - closing writes the header from the size of the file on disk and cuts the file to whole
//     frames, so a write that failed part-way through a frame leaves no half frame behind, and
//     a later append (a following Play) starts on a frame boundary;
//   - the header's size fields are 32 bits: the audio stops at kFormatDataLimit bytes (4 GiB
//     less the header, in whole frames). Writing then stops with a message on standard error
//     and the header stays true; the device renders on without writing.
//
// Only a regular file is written: a named pipe, a device, a directory or a socket is refused,
// and opening never blocks. Every failure (cannot open, a write error, the size limit) goes to
// standard error with the path and the reason, and is recorded for the process's exit status
// (kAudioOutputFailedExitStatus, core/ProcessExit.h).
//
// Threads: one thread at a time (the paced device's own thread, outside the render-thread
// scope: this is blocking I/O).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/devices/AudioOutputDevice.h"

namespace pf {

// What interleaveForOutputFile had to change.
struct OutputFileSampleCounts {
    std::uint64_t clamped = 0;   // finite samples beyond full scale, held to ±1
    std::uint64_t nonFinite = 0; // NaN or infinite samples, written as 0
};

// Interleaves `frames` frames of `channelCount` planar channels into `out` the way a converter to
// a fixed-point device would see them: samples held to [-1, 1], a non-finite sample as 0. The WAV
// file thus holds what the device could play, whatever a resampling stage after the last limiter
// adds (a windowed-sinc converter can overshoot full scale by a few parts in 10^4). Adds what it
// changed to `counts`.
void interleaveForOutputFile(const float* const* channels, AVAudioChannelCount channelCount,
                             AUAudioFrameCount frames, float* out,
                             OutputFileSampleCounts& counts) noexcept;

class WavFileWriter {
public:
    static constexpr std::uint64_t kHeaderBytes = 44;
    static constexpr std::uint64_t kFrameBytes = AudioOutputDevice::kChannels * sizeof(float);
    // The most audio bytes the header's 32-bit sizes can state, in whole frames.
    static constexpr std::uint64_t kFormatDataLimit =
        (0xFFFFFFFFull - (kHeaderBytes - 8)) / kFrameBytes * kFrameBytes;

    // Opens `path` for writing: a new file (replacing a regular file of that name), or with
    // `append` the end of the file's whole frames (a new file when it holds no header). Throws
    // NSErrorException ("Could not create the WAV file 'PATH': REASON") when the path is not a
    // regular file or cannot be opened, and reports nothing itself.
    WavFileWriter(const std::string& path, bool append);
    ~WavFileWriter(); // closes
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Appends `frames` frames of the two planar channels, as interleaveForOutputFile makes them.
    // After a write error or at the size limit it writes nothing more. Allocates nothing.
    void write(const float* const* channels, AUAudioFrameCount frames) noexcept;
    // Writes the header from what is on disk, closes the file and prints the closing line on
    // standard error (frames, clamped and non-finite samples). Idempotent.
    void close() noexcept;

    // Tests: a smaller limit on the audio bytes of the files opened from now on (trimmed to whole
    // frames; none: kFormatDataLimit).
    static void setDataLimitForTesting(std::optional<std::uint64_t> bytes);

private:
    void fail(const char* what) noexcept;

    std::string path_;
    int fd_ = -1;
    std::uint64_t dataBytes_ = 0; // taken by the system, from the end of the header
    std::uint64_t limit_ = kFormatDataLimit;
    bool stopped_ = false; // a write failed or the limit was reached
    OutputFileSampleCounts counts_;
    std::vector<float> interleaved_;
};

} // namespace pf
