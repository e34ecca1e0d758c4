#include "audio/devices/AudioOutputDevice.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "audio/ScopedFlushDenormals.h"
#include "audio/devices/PacedAudioDevice.h"
#include "audio/devices/SDLAudioDevice.h"
#include "core/NSError.h"
#include "core/ProcessExit.h"
#include "core/RenderThread.h"

namespace pf {

namespace {

std::mutex& selectionMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& selectionOverride() {
    static std::optional<std::string> selection;
    return selection;
}

std::weak_ptr<ManualAudioDevice>& currentManual() {
    static std::weak_ptr<ManualAudioDevice> device;
    return device;
}

} // namespace

void setAudioOutputOverride(std::optional<std::string> selection) {
    std::lock_guard lock(selectionMutex());
    selectionOverride() = std::move(selection);
}

std::shared_ptr<AudioOutputDevice> makeAudioOutputDevice() {
    std::string selection;
    {
        std::lock_guard lock(selectionMutex());
        if (selectionOverride()) {
            selection = *selectionOverride();
        } else if (const char* env = std::getenv("PF_AUDIO_OUTPUT"); env != nullptr && *env) {
            selection = env;
        } else {
            selection = "sdl";
        }
    }
    if (selection == "sdl") return std::make_shared<SDLAudioDevice>();
    if (selection == "null") return std::make_shared<PacedAudioDevice>(std::nullopt);
    if (selection.rfind("wav:", 0) == 0 && selection.size() > 4) {
        return std::make_shared<PacedAudioDevice>(selection.substr(4));
    }
    if (selection == "manual") return std::make_shared<ManualAudioDevice>();
    throw NSErrorException(NSError(
        NSOSStatusErrorDomain, kAudio_ParamError,
        {{NSLocalizedDescriptionKey, "Unknown audio output '" + selection +
                                         "' (PF_AUDIO_OUTPUT: sdl, null, wav:PATH, manual)"}}));
}

std::shared_ptr<AudioOutputDevice>
startAudioOutputDevice(AudioOutputDevice::RenderCallback callback) {
    try {
        auto device = makeAudioOutputDevice();
        device->start(std::move(callback));
        return device;
    } catch (const NSErrorException& e) {
        std::fprintf(stderr, "pf: the audio output could not be opened: %s\n",
                     e.error().localizedDescription().c_str());
        recordProcessFailure(kAudioOutputFailedExitStatus);
        throw;
    }
}

void renderDeviceCycle(const AudioOutputDevice::RenderCallback& callback, AUAudioFrameCount frames,
                       float* const* channels) noexcept {
    RenderThreadScope renderThread;
    ScopedFlushDenormals denormals;
    callback(frames, channels);
}

// ---- Manual device --------------------------------------------------------------------------

struct ManualAudioDevice::State {
    mutable std::mutex mutex; // the renderer only try-locks it
    RenderCallback callback;
    bool running = false;
};

std::shared_ptr<ManualAudioDevice::State> ManualAudioDevice::makeState() {
    return std::make_shared<State>();
}

std::shared_ptr<ManualAudioDevice> ManualAudioDevice::current() {
    std::lock_guard lock(selectionMutex());
    return currentManual().lock();
}

void ManualAudioDevice::start(RenderCallback callback) {
    {
        std::lock_guard lock(state_->mutex);
        state_->callback = std::move(callback);
        state_->running = true;
    }
    std::lock_guard lock(selectionMutex());
    currentManual() = weak_from_this();
}

void ManualAudioDevice::stop() noexcept {
    {
        std::lock_guard lock(state_->mutex);
        state_->running = false;
        state_->callback = nullptr;
    }
    std::lock_guard lock(selectionMutex());
    if (currentManual().lock().get() == this) currentManual().reset();
}

bool ManualAudioDevice::isRunning() const noexcept {
    std::lock_guard lock(state_->mutex);
    return state_->running;
}

void ManualAudioDevice::render(AUAudioFrameCount frames, float* const* channels) noexcept {
    std::unique_lock lock(state_->mutex, std::try_to_lock);
    if (lock.owns_lock() && state_->running && state_->callback) {
        renderDeviceCycle(state_->callback, frames, channels);
        return;
    }
    for (AVAudioChannelCount c = 0; c < kChannels; ++c) {
        for (AUAudioFrameCount i = 0; i < frames; ++i)
            channels[c][i] = 0.0f;
    }
}

std::vector<std::vector<float>> ManualAudioDevice::render(AUAudioFrameCount frames) {
    std::vector<std::vector<float>> out(kChannels, std::vector<float>(frames, 0.0f));
    float* pointers[kChannels] = {out[0].data(), out[1].data()};
    render(frames, pointers);
    return out;
}

} // namespace pf
