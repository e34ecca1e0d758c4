#include "audio/devices/SDLAudioDevice.h"

#include <SDL.h>

#include <algorithm>
#include <string>

#include "core/NSError.h"

namespace pf {

namespace {

[[noreturn]] void throwSDLError(const char* what) {
    throw NSErrorException(
        NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization,
                {{NSLocalizedDescriptionKey, std::string(what) + ": " + SDL_GetError()}}));
}

} // namespace

SDLAudioDevice::~SDLAudioDevice() {
    stop();
}

void SDLAudioDevice::start(RenderCallback callback) {
    if (device_ != 0) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) throwSDLError("Could not initialise SDL audio");
    subsystem_ = true;
    callback_ = std::move(callback);
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kSampleRate);
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(kChannels);
    want.samples = 512;
    want.callback = [](void* self, Uint8* stream, int length) { fill(self, stream, length); };
    want.userdata = this;
    SDL_AudioSpec have{};
    // The period size may differ; rate, format and channels are ours (SDL converts).
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0) {
        const std::string error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_ = false;
        callback_ = nullptr;
        throw NSErrorException(NSError(
            NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization,
            {{NSLocalizedDescriptionKey, "Could not open the SDL audio device: " + error}}));
    }
    capacity_ = std::max<AUAudioFrameCount>(have.samples, 512);
    planar_.assign(std::size_t{capacity_} * kChannels, 0.0f);
    SDL_PauseAudioDevice(device_, 0);
}

void SDLAudioDevice::stop() noexcept {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_); // waits for a callback in progress
        device_ = 0;
    }
    if (subsystem_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_ = false;
    }
    callback_ = nullptr;
}

void SDLAudioDevice::fill(void* self, std::uint8_t* stream, int length) noexcept {
    auto& device = *static_cast<SDLAudioDevice*>(self);
    auto* out = reinterpret_cast<float*>(stream);
    AUAudioFrameCount remaining =
        static_cast<AUAudioFrameCount>(length / static_cast<int>(sizeof(float) * kChannels));
    float* channels[kChannels] = {device.planar_.data(), device.planar_.data() + device.capacity_};
    while (remaining > 0) {
        const AUAudioFrameCount n = std::min(remaining, device.capacity_);
        renderDeviceCycle(device.callback_, n, channels);
        for (AUAudioFrameCount i = 0; i < n; ++i) {
            for (AVAudioChannelCount c = 0; c < kChannels; ++c)
                *out++ = channels[c][i];
        }
        remaining -= n;
    }
}

} // namespace pf
