#include "audio/devices/PacedAudioDevice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "core/NSError.h"

namespace pf {

namespace {

void putLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

PacedAudioDevice::PacedAudioDevice(std::optional<std::string> wavPath)
    : wavPath_(std::move(wavPath)) {}

PacedAudioDevice::~PacedAudioDevice() {
    stop();
}

void PacedAudioDevice::writeHeader(std::uint32_t dataBytes) {
    // RIFF/WAVE, format 3 (IEEE float), 32 bits, 48 kHz, two channels.
    std::uint8_t h[44] = {};
    std::memcpy(h, "RIFF", 4);
    putLE(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLE(h + 16, 16, 4);
    putLE(h + 20, 3, 2);
    putLE(h + 22, kChannels, 2);
    putLE(h + 24, static_cast<std::uint32_t>(kSampleRate), 4);
    putLE(h + 28, static_cast<std::uint32_t>(kSampleRate) * kChannels * 4, 4);
    putLE(h + 32, kChannels * 4, 2);
    putLE(h + 34, 32, 2);
    std::memcpy(h + 36, "data", 4);
    putLE(h + 40, dataBytes, 4);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    std::fseek(file_, 0, SEEK_END);
}

void PacedAudioDevice::start(RenderCallback callback) {
    if (running_.load()) return;
    if (wavPath_) {
        file_ = std::fopen(wavPath_->c_str(), "wb");
        if (file_ == nullptr) {
            const int error = errno;
            throw NSErrorException(
                NSError(NSPOSIXErrorDomain, error,
                        {{NSLocalizedDescriptionKey, "Could not create the WAV file '" + *wavPath_ +
                                                         "': " + std::strerror(error)}}));
        }
        framesWritten_ = 0;
        writeHeader(0);
    }
    planar_.assign(std::size_t{kPeriodFrames} * kChannels, 0.0f);
    interleaved_.assign(std::size_t{kPeriodFrames} * kChannels, 0.0f);
    callback_ = std::move(callback);
    running_.store(true);
    thread_ = std::thread([this] { run(); });
}

void interleaveForOutputFile(const float* const* channels, AVAudioChannelCount channelCount,
                             AUAudioFrameCount frames, float* out) noexcept {
    for (AUAudioFrameCount i = 0; i < frames; ++i) {
        for (AVAudioChannelCount c = 0; c < channelCount; ++c) {
            const float x = channels[c][i];
            out[std::size_t(i) * channelCount + c] =
                std::isfinite(x) ? std::clamp(x, -1.0f, 1.0f) : 0.0f;
        }
    }
}

void PacedAudioDevice::stop() noexcept {
    if (!running_.exchange(false)) return;
    if (thread_.joinable()) thread_.join();
    callback_ = nullptr;
    if (file_ != nullptr) {
        const std::uint64_t bytes = framesWritten_ * kChannels * sizeof(float);
        writeHeader(static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu - 36)));
        std::fclose(file_);
        file_ = nullptr;
    }
}

void PacedAudioDevice::run() {
    const long periodNs = static_cast<long>(1e9 * kPeriodFrames / kSampleRate);
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    float* channels[kChannels] = {planar_.data(), planar_.data() + kPeriodFrames};
    // A started device renders at least one period, however soon it is stopped.
    do {
        renderDeviceCycle(callback_, kPeriodFrames, channels);
        if (file_ != nullptr) {
            interleaveForOutputFile(channels, kChannels, kPeriodFrames, interleaved_.data());
            std::fwrite(interleaved_.data(), sizeof(float), interleaved_.size(), file_);
            framesWritten_ += kPeriodFrames;
        }
        deadline.tv_nsec += periodNs;
        while (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_nsec -= 1000000000L;
            ++deadline.tv_sec;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double lateNs =
            double(now.tv_sec - deadline.tv_sec) * 1e9 + double(now.tv_nsec - deadline.tv_nsec);
        if (lateNs > periodNs) {
            deadline = now; // more than a period late: start the cadence afresh
        } else {
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        }
    } while (running_.load(std::memory_order_relaxed));
}

} // namespace pf
