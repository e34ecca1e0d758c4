#include "audio/devices/PacedAudioDevice.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <set>

#include "core/NSError.h"
#include "core/ProcessExit.h"

namespace pf {

namespace {

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
    file_ = std::make_unique<WavFileWriter>(path, append);
    std::lock_guard lock(r.mutex);
    r.paths.insert(path);
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
    callback_ = std::move(callback);
    running_.store(true);
    thread_ = std::thread([this] { run(); });
}

void PacedAudioDevice::stop() noexcept {
    std::lock_guard stopping(stopMutex_);
    if (!running_.exchange(false)) return;
    if (thread_.joinable()) thread_.join();
    callback_ = nullptr;
    file_.reset(); // writes the header and closes
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
        if (file_) file_->write(channels, kPeriodFrames);
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
