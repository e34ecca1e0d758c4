// The `null` and `wav:PATH` output devices: a thread of our own renders one period (512 frames)
// per period of the steady clock, on absolute deadlines, so it neither drifts nor catches up in
// bursts after a late wake-up (a period missed by more than one is skipped). The `wav` device
// writes every period to a 32-bit float WAV file after the render cycle, outside the render-thread
// scope: its thread has no hardware deadline, and the absolute pacing absorbs the write.
//
// The WAV file of a path is one file per run of the process: the first device started on the
// path creates it (replacing what an earlier run left), every later start appends to it. Each
// stop writes the header for everything written so far and closes the file, so the file is
// complete whenever no device writes to it; a running device is stopped (and its file finished)
// before the application's entry ends the process (core/ProcessExit.h). Closing the file prints
// one line on standard error with the frames written and the samples that had to be clamped to
// full scale or replaced (not finite), so a fault upstream shows. A write error is reported on
// standard error with the path and the system's reason; the device then renders on, writing
// nothing more.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

class PacedAudioDevice final : public AudioOutputDevice,
                               public std::enable_shared_from_this<PacedAudioDevice> {
public:
    static constexpr AUAudioFrameCount kPeriodFrames = 512;

    // Without a path the device discards what it renders.
    explicit PacedAudioDevice(std::optional<std::string> wavPath);
    ~PacedAudioDevice() override;

    // Throws when the WAV file cannot be created or opened for appending, or once the process
    // is ending.
    void start(RenderCallback callback) override;
    // Returns once the thread has ended and the file is complete (also when another thread's
    // stop got there first).
    void stop() noexcept override;
    const char* kind() const noexcept override { return wavPath_ ? "wav" : "null"; }

private:
    void run();
    void openFile();
    void writePeriod(const float* const* channels) noexcept;
    void closeFile() noexcept;
    void reportWriteError(int error) noexcept;

    std::optional<std::string> wavPath_;
    std::FILE* file_ = nullptr;
    std::uint64_t framesWritten_ = 0;
    OutputFileSampleCounts counts_;
    bool writeFailed_ = false;
    RenderCallback callback_;
    std::mutex stopMutex_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<float> planar_;
    std::vector<float> interleaved_;
};

} // namespace pf
