#include "audio/devices/WavFileWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/NSError.h"
#include "core/ProcessExit.h"

namespace pf {

namespace {

std::atomic<std::uint64_t> gDataLimit{WavFileWriter::kFormatDataLimit};

void putLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

[[noreturn]] void refuse(const std::string& path, int error, const std::string& reason) {
    throw NSErrorException(NSError(
        NSPOSIXErrorDomain, error,
        {{NSLocalizedDescriptionKey, "Could not create the WAV file '" + path + "': " + reason}}));
}

// Writes all of `bytes` at `offset`, going on after a partial write. Returns how many were taken;
// fewer than asked means errno says why.
std::uint64_t writeAt(int fd, const void* data, std::uint64_t bytes, std::uint64_t offset) {
    std::uint64_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pwrite(fd, static_cast<const char*>(data) + done, bytes - done,
                                   static_cast<off_t>(offset + done));
        if (n > 0) {
            done += std::uint64_t(n);
        } else if (n == 0) {
            errno = EIO;
            break;
        } else if (errno != EINTR) {
            break;
        }
    }
    return done;
}

bool writeHeader(int fd, std::uint64_t dataBytes) {
    constexpr auto channels = AudioOutputDevice::kChannels;
    constexpr auto rate = static_cast<std::uint32_t>(AudioOutputDevice::kSampleRate);
    const auto data = static_cast<std::uint32_t>(dataBytes); // at most kFormatDataLimit
    std::uint8_t h[WavFileWriter::kHeaderBytes] = {};
    std::memcpy(h, "RIFF", 4);
    putLE(h + 4, 36 + data, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLE(h + 16, 16, 4);
    putLE(h + 20, 3, 2); // IEEE float
    putLE(h + 22, channels, 2);
    putLE(h + 24, rate, 4);
    putLE(h + 28, rate * channels * 4, 4);
    putLE(h + 32, channels * 4, 2);
    putLE(h + 34, 32, 2);
    std::memcpy(h + 36, "data", 4);
    putLE(h + 40, data, 4);
    return writeAt(fd, h, sizeof h, 0) == sizeof h;
}

} // namespace

void WavFileWriter::setDataLimitForTesting(std::optional<std::uint64_t> bytes) {
    gDataLimit.store(bytes ? std::min(*bytes / kFrameBytes * kFrameBytes, kFormatDataLimit)
                           : kFormatDataLimit);
}

WavFileWriter::WavFileWriter(const std::string& path, bool append)
    : path_(path), limit_(gDataLimit.load()) {
    // Checked before opening as well as after: opening a named pipe for writing would wait for
    // a reader (or, without blocking, fail with a reason that names no pipe).
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        refuse(path, EINVAL, "not a regular file");
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        refuse(path, error, std::strerror(error));
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        refuse(path, EINVAL, "not a regular file");
    }
    // Appending continues after the last whole frame; anything else starts afresh.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (append && size >= kHeaderBytes) {
        dataBytes_ = (size - kHeaderBytes) / kFrameBytes * kFrameBytes;
    }
    if (::ftruncate(fd, static_cast<off_t>(dataBytes_ > 0 ? kHeaderBytes + dataBytes_ : 0)) != 0) {
        const int error = errno;
        ::close(fd);
        refuse(path, error, std::strerror(error));
    }
    fd_ = fd;
    interleaved_.resize(std::size_t{4096} * AudioOutputDevice::kChannels);
    // Seen by readers while the device runs: a valid file of what is there so far.
    errno = 0;
    if (!writeHeader(fd_, dataBytes_)) fail(nullptr);
}

WavFileWriter::~WavFileWriter() {
    close();
}

void WavFileWriter::fail(const char* what) noexcept {
    if (stopped_) return;
    stopped_ = true;
    recordProcessFailure(kAudioOutputFailedExitStatus);
    if (what != nullptr) {
        std::fprintf(stderr, "pf: %s\n", what);
        return;
    }
    std::fprintf(stderr, "pf: could not write the WAV file '%s': %s\n", path_.c_str(),
                 std::strerror(errno != 0 ? errno : EIO));
}

void WavFileWriter::write(const float* const* channels, AUAudioFrameCount frames) noexcept {
    constexpr auto channelCount = AudioOutputDevice::kChannels;
    for (AUAudioFrameCount done = 0; done < frames;) {
        const AUAudioFrameCount n = std::min<AUAudioFrameCount>(frames - done, 4096);
        const float* part[channelCount] = {channels[0] + done, channels[1] + done};
        interleaveForOutputFile(part, channelCount, n, interleaved_.data(), counts_);
        done += n;
        if (stopped_) continue; // still counted: the closing line says what the run produced
        const std::uint64_t room = limit_ > dataBytes_ ? limit_ - dataBytes_ : 0;
        const std::uint64_t bytes = std::min<std::uint64_t>(n * kFrameBytes, room);
        errno = 0;
        const std::uint64_t taken =
            writeAt(fd_, interleaved_.data(), bytes, kHeaderBytes + dataBytes_);
        dataBytes_ += taken;
        if (taken < bytes) {
            fail(nullptr);
        } else if (bytes < n * kFrameBytes) {
            char message[512];
            std::snprintf(message, sizeof message,
                          "the WAV file '%s' is full: it holds at most %llu frames; recording "
                          "into it stopped",
                          path_.c_str(), static_cast<unsigned long long>(limit_ / kFrameBytes));
            fail(message);
        }
    }
}

void WavFileWriter::close() noexcept {
    if (fd_ < 0) return;
    // The header states the whole frames on disk, and the file ends with the last of them.
    struct stat st {};
    std::uint64_t frames = dataBytes_ / kFrameBytes;
    if (::fstat(fd_, &st) == 0 && std::uint64_t(st.st_size) >= kHeaderBytes) {
        frames = (std::uint64_t(st.st_size) - kHeaderBytes) / kFrameBytes;
    }
    errno = 0;
    if (::ftruncate(fd_, static_cast<off_t>(kHeaderBytes + frames * kFrameBytes)) != 0 ||
        !writeHeader(fd_, frames * kFrameBytes)) {
        stopped_ = false; // a failure here is reported even after an earlier one
        fail(nullptr);
    }
    errno = 0;
    if (::close(fd_) != 0) fail(nullptr);
    fd_ = -1;
    std::fprintf(stderr,
                 "pf: WAV file '%s' closed: %llu frames; %llu samples clamped to full scale, "
                 "%llu not finite written as 0\n",
                 path_.c_str(), static_cast<unsigned long long>(frames),
                 static_cast<unsigned long long>(counts_.clamped),
                 static_cast<unsigned long long>(counts_.nonFinite));
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

} // namespace pf
