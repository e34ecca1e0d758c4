// Output devices: where an engine's rendered audio goes. The engine opens one when it starts and
// closes it when it stops; which one comes from PF_AUDIO_OUTPUT (or a test's override):
//
//   sdl        the desktop's audio through SDL2, 48 kHz stereo float (the default)
//   null       a thread paced by the steady clock that renders and discards
//   wav:PATH   paced like null, writes what it renders to PATH as 32-bit float WAV
//   manual     no thread: a test renders on demand through ManualAudioDevice::render
//
// A device renders planar float at 48000 Hz, 2 channels. Every device calls the render callback
// inside a render-thread scope with subnormals flushed to zero (`renderDeviceCycle`).
//
// Threads: open/start/stop are [any-thread, not render]. The callback runs on the device's
// render thread (the test's thread for the manual device). `stop` returns only when no callback
// runs any more and the device's thread (if any) has been joined.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/CoreAudioTypes.h"

namespace pf {

class AudioOutputDevice {
public:
    static constexpr double kSampleRate = 48000.0;
    static constexpr AVAudioChannelCount kChannels = 2;

    // Fills `frames` frames of every channel (one pointer per channel). [render-thread]
    using RenderCallback = std::function<void(AUAudioFrameCount frames, float* const* channels)>;

    virtual ~AudioOutputDevice() = default;

    // Opens the device and starts calling `callback`. Throws NSErrorException when the device
    // cannot be opened (nothing is called then).
    virtual void start(RenderCallback callback) = 0;
    // Stops calling back and releases the device; idempotent.
    virtual void stop() noexcept = 0;
    // A short name for diagnostics ("sdl", "null", "wav", "manual").
    virtual const char* kind() const noexcept = 0;
};

// The device that PF_AUDIO_OUTPUT (or the override) names; "sdl" when neither is set. An unknown
// name throws NSErrorException (no silent fallback).
std::shared_ptr<AudioOutputDevice> makeAudioOutputDevice();

// The process's exit status after its audio output could not be opened or written
// (core/ProcessExit.h), however the application ends otherwise.
constexpr int kAudioOutputFailedExitStatus = 3;

// Makes the device (makeAudioOutputDevice) and starts it with `callback`. When either fails it
// says so on standard error ("pf: the audio output could not be opened: " and the reason, which
// names the path or the device), records kAudioOutputFailedExitStatus and rethrows.
std::shared_ptr<AudioOutputDevice>
startAudioOutputDevice(AudioOutputDevice::RenderCallback callback);
// Tests: names the device that makeAudioOutputDevice makes, whatever the environment says;
// nothing restores the environment's choice.
void setAudioOutputOverride(std::optional<std::string> selection);

// Runs one device cycle of `callback` as the render thread, with subnormals flushed.
void renderDeviceCycle(const AudioOutputDevice::RenderCallback& callback, AUAudioFrameCount frames,
                       float* const* channels) noexcept;

// The device of the tests: renders when asked, on the asking thread.
class ManualAudioDevice final : public AudioOutputDevice,
                                public std::enable_shared_from_this<ManualAudioDevice> {
public:
    // The manual device started last and not yet stopped, or null.
    static std::shared_ptr<ManualAudioDevice> current();

    void start(RenderCallback callback) override;
    void stop() noexcept override;
    const char* kind() const noexcept override { return "manual"; }

    // [render-thread] Renders `frames` frames into `channels` (two pointers). Silence while the
    // device is stopped or being stopped. Allocates nothing.
    void render(AUAudioFrameCount frames, float* const* channels) noexcept;
    // Renders `frames` frames and returns them, one vector per channel. Allocates.
    std::vector<std::vector<float>> render(AUAudioFrameCount frames);
    bool isRunning() const noexcept;

private:
    struct State;
    std::shared_ptr<State> state_ = makeState();
    static std::shared_ptr<State> makeState();
};

} // namespace pf
