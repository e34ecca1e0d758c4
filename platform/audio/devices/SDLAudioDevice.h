// The `sdl` output device: SDL2 audio at 48 kHz, stereo, 32-bit float, 512-frame periods; SDL
// converts to whatever the hardware takes. SDL's own audio thread calls back; the callback
// renders planar and interleaves into SDL's buffer. Failing to open throws with SDL's error text:
// there is no silent fallback to another device.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/devices/AudioOutputDevice.h"

namespace pf {

class SDLAudioDevice final : public AudioOutputDevice {
public:
    SDLAudioDevice() = default;
    ~SDLAudioDevice() override;

    void start(RenderCallback callback) override;
    void stop() noexcept override;
    const char* kind() const noexcept override { return "sdl"; }

private:
    static void fill(void* self, std::uint8_t* stream, int length) noexcept;

    std::uint32_t device_ = 0;
    bool subsystem_ = false;
    RenderCallback callback_;
    std::vector<float> planar_;
    AUAudioFrameCount capacity_ = 0;
};

} // namespace pf
