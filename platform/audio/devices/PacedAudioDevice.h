// The `null` and `wav:PATH` output devices: a thread of our own renders one period (512 frames)
// per period of the steady clock, on absolute deadlines, so it neither drifts nor catches up in
// bursts after a late wake-up (a period missed by more than one is skipped). The `wav` device
// writes every period to its WAV file (WavFileWriter.h) after the render cycle, outside the
// render-thread scope: its thread has no hardware deadline, and the absolute pacing absorbs the
// write.
//
// The WAV file of a path is one file per run of the process: the first device started on the
// path creates it (replacing what an earlier run left), every later start appends to it. Each
// stop writes the header for everything on disk and closes the file, so the file is complete
// whenever no device writes to it; a running device is stopped (and its file finished) before
// the application's entry ends the process (core/ProcessExit.h). After a write error or at the
// format's size limit the device renders on, writing nothing more.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/devices/AudioOutputDevice.h"
#include "audio/devices/WavFileWriter.h"

namespace pf {

class PacedAudioDevice final : public AudioOutputDevice,
                               public std::enable_shared_from_this<PacedAudioDevice> {
public:
    static constexpr AUAudioFrameCount kPeriodFrames = 512;

    // Without a path the device discards what it renders.
    explicit PacedAudioDevice(std::optional<std::string> wavPath);
    ~PacedAudioDevice() override;

    // Throws when the WAV file cannot be opened (WavFileWriter), or once the process is ending.
    void start(RenderCallback callback) override;
    // Returns once the thread has ended and the file is complete (also when another thread's
    // stop got there first).
    void stop() noexcept override;
    const char* kind() const noexcept override { return wavPath_ ? "wav" : "null"; }

private:
    void run();
    void openFile();

    std::optional<std::string> wavPath_;
    std::unique_ptr<WavFileWriter> file_;
    RenderCallback callback_;
    std::mutex stopMutex_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<float> planar_;
};

} // namespace pf
