// The `null` and `wav:PATH` output devices: a thread of our own renders one period (512 frames)
// per period of the steady clock, on absolute deadlines, so it neither drifts nor catches up in
// bursts after a late wake-up (a period missed by more than one is skipped). The `wav` device
// writes every period to a 32-bit float WAV file after the render cycle, outside the render-thread
// scope: its thread has no hardware deadline, and the absolute pacing absorbs the write.
#pragma once

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/devices/AudioOutputDevice.h"

namespace pf {

// Interleaves `frames` frames of `channelCount` planar channels into `out` the way a converter to
// a fixed-point device would see them: samples held to [-1, 1], a non-finite sample as 0. The WAV
// file thus holds what the device could play, whatever a resampling stage after the last limiter
// adds (a windowed-sinc converter can overshoot full scale by a few parts in 10^4).
void interleaveForOutputFile(const float* const* channels, AVAudioChannelCount channelCount,
                             AUAudioFrameCount frames, float* out) noexcept;

class PacedAudioDevice final : public AudioOutputDevice {
public:
    static constexpr AUAudioFrameCount kPeriodFrames = 512;

    // Without a path the device discards what it renders.
    explicit PacedAudioDevice(std::optional<std::string> wavPath);
    ~PacedAudioDevice() override;

    // Throws when the WAV file cannot be created.
    void start(RenderCallback callback) override;
    void stop() noexcept override;
    const char* kind() const noexcept override { return wavPath_ ? "wav" : "null"; }

private:
    void run();
    void writeHeader(std::uint32_t dataBytes);

    std::optional<std::string> wavPath_;
    std::FILE* file_ = nullptr;
    std::uint64_t framesWritten_ = 0;
    RenderCallback callback_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<float> planar_;
    std::vector<float> interleaved_;
};

} // namespace pf
