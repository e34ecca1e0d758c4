#include "audio/devices/PacedAudioDevice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <set>

#include "core/NSError.h"
#include "core/ProcessExit.h"

namespace pf {

namespace {

void putLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr long kHeaderBytes = 44;
constexpr std::uint64_t kFrameBytes = PacedAudioDevice::kChannels * sizeof(float);

// The paths written in this run, and the devices running now (finished at process exit).
struct Registry {
    std::mutex mutex;
    std::set<std::string> paths;
    std::vector<std::pair<PacedAudioDevice*, std::weak_ptr<PacedAudioDevice>>> running;
    bool exiting = false;
    bool exitHandlerAdded = false;
};

Registry& registry() {
    static auto* r = new Registry; // outlives every device, whatever the exit order
    return *r;
}

void stopRunningDevicesAtExit() {
    std::vector<std::shared_ptr<PacedAudioDevice>> devices;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        r.exiting = true;
        for (auto& [raw, weak] : r.running)
            if (auto device = weak.lock()) devices.push_back(std::move(device));
    }
    for (auto& device : devices)
        device->stop();
}

bool writeHeader(std::FILE* file, std::uint64_t frames) {
    const std::uint32_t dataBytes =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * kFrameBytes, 0xFFFFFFFFu - 36));
    // RIFF/WAVE, format 3 (IEEE float), 32 bits, 48 kHz, two channels.
    constexpr auto channels = PacedAudioDevice::kChannels;
    constexpr auto rate = static_cast<std::uint32_t>(PacedAudioDevice::kSampleRate);
    std::uint8_t h[kHeaderBytes] = {};
    std::memcpy(h, "RIFF", 4);
    putLE(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLE(h + 16, 16, 4);
    putLE(h + 20, 3, 2);
    putLE(h + 22, channels, 2);
    putLE(h + 24, rate, 4);
    putLE(h + 28, rate * channels * 4, 4);
    putLE(h + 32, channels * 4, 2);
    putLE(h + 34, 32, 2);
    std::memcpy(h + 36, "data", 4);
    putLE(h + 40, dataBytes, 4);
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file) == sizeof h &&
           std::fseek(file, 0, SEEK_END) == 0;
}

} // namespace

PacedAudioDevice::PacedAudioDevice(std::optional<std::string> wavPath)
    : wavPath_(std::move(wavPath)) {}

PacedAudioDevice::~PacedAudioDevice() {
    stop();
}

void PacedAudioDevice::openFile() {
    const std::string& path = *wavPath_;
    auto& r = registry();
    bool append = false;
    {
        std::lock_guard lock(r.mutex);
        append = r.paths.count(path) != 0;
    }
    framesWritten_ = 0;
    if (append) {
        file_ = std::fopen(path.c_str(), "r+b");
        if (file_ != nullptr && std::fseek(file_, 0, SEEK_END) == 0) {
            const long size = std::ftell(file_);
            if (size >= kHeaderBytes) {
                framesWritten_ = std::uint64_t(size - kHeaderBytes) / kFrameBytes;
            } else {
                std::fclose(file_);
                file_ = nullptr;
            }
        }
    }
    if (file_ == nullptr) {
        file_ = std::fopen(path.c_str(), "wb");
        if (file_ == nullptr) {
            const int error = errno;
            throw NSErrorException(
                NSError(NSPOSIXErrorDomain, error,
                        {{NSLocalizedDescriptionKey, "Could not create the WAV file '" + path +
                                                         "': " + std::strerror(error)}}));
        }
        framesWritten_ = 0;
    }
    {
        std::lock_guard lock(r.mutex);
        r.paths.insert(path);
    }
    counts_ = {};
    writeFailed_ = false;
    // Seen by readers while the device runs: a valid file of what is there so far.
    if (!writeHeader(file_, framesWritten_)) reportWriteError(errno);
}

void PacedAudioDevice::reportWriteError(int error) noexcept {
    if (writeFailed_) return;
    writeFailed_ = true;
    std::fprintf(stderr, "pf: could not write the WAV file '%s': %s\n", wavPath_->c_str(),
                 std::strerror(error != 0 ? error : EIO));
}

void PacedAudioDevice::writePeriod(const float* const* channels) noexcept {
    interleaveForOutputFile(channels, kChannels, kPeriodFrames, interleaved_.data(), counts_);
    if (writeFailed_) return;
    errno = 0;
    if (std::fwrite(interleaved_.data(), sizeof(float), interleaved_.size(), file_) !=
        interleaved_.size()) {
        reportWriteError(errno);
        return;
    }
    framesWritten_ += kPeriodFrames;
}

void PacedAudioDevice::closeFile() noexcept {
    if (file_ == nullptr) return;
    errno = 0;
    bool written = writeHeader(file_, framesWritten_) && std::fflush(file_) == 0;
    if (!written) reportWriteError(errno);
    errno = 0;
    if (std::fclose(file_) != 0) reportWriteError(errno);
    file_ = nullptr;
    std::fprintf(stderr,
                 "pf: WAV file '%s' closed: %llu frames; %llu samples clamped to full scale, "
                 "%llu not finite written as 0\n",
                 wavPath_->c_str(), static_cast<unsigned long long>(framesWritten_),
                 static_cast<unsigned long long>(counts_.clamped),
                 static_cast<unsigned long long>(counts_.nonFinite));
}

void PacedAudioDevice::start(RenderCallback callback) {
    std::lock_guard stopping(stopMutex_);
    if (running_.load()) return;
    auto& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (r.exiting) {
            throw NSErrorException(NSError(NSPOSIXErrorDomain, ECANCELED,
                                           {{NSLocalizedDescriptionKey, "The process is ending"}}));
        }
        if (!r.exitHandlerAdded) {
            r.exitHandlerAdded = true;
            addProcessExitHandler(&stopRunningDevicesAtExit);
        }
        // Registered before the file is opened: an exit from here on finds and finishes it.
        r.running.emplace_back(this, weak_from_this());
    }
    if (wavPath_) {
        try {
            openFile();
        } catch (...) {
            std::lock_guard lock(r.mutex);
            std::erase_if(r.running, [this](const auto& entry) { return entry.first == this; });
            throw;
        }
    }
    planar_.assign(std::size_t{kPeriodFrames} * kChannels, 0.0f);
    interleaved_.assign(std::size_t{kPeriodFrames} * kChannels, 0.0f);
    callback_ = std::move(callback);
    running_.store(true);
    thread_ = std::thread([this] { run(); });
}

void interleaveForOutputFile(const float* const* channels, AVAudioChannelCount channelCount,
                             AUAudioFrameCount frames, float* out,
                             OutputFileSampleCounts& counts) noexcept {
    for (AUAudioFrameCount i = 0; i < frames; ++i) {
        for (AVAudioChannelCount c = 0; c < channelCount; ++c) {
            const float x = channels[c][i];
            float y = x;
            if (!std::isfinite(x)) {
                y = 0.0f;
                ++counts.nonFinite;
            } else if (x > 1.0f || x < -1.0f) {
                y = std::clamp(x, -1.0f, 1.0f);
                ++counts.clamped;
            }
            out[std::size_t(i) * channelCount + c] = y;
        }
    }
}

void PacedAudioDevice::stop() noexcept {
    std::lock_guard stopping(stopMutex_);
    if (!running_.exchange(false)) return;
    if (thread_.joinable()) thread_.join();
    callback_ = nullptr;
    closeFile();
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.running, [this](const auto& entry) { return entry.first == this; });
}

void PacedAudioDevice::run() {
    const long periodNs = static_cast<long>(1e9 * kPeriodFrames / kSampleRate);
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    float* channels[kChannels] = {planar_.data(), planar_.data() + kPeriodFrames};
    // A started device renders at least one period, however soon it is stopped.
    do {
        renderDeviceCycle(callback_, kPeriodFrames, channels);
        if (file_ != nullptr) writePeriod(channels);
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
