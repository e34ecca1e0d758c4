#include "core/ProcessInfo.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdio>
#include <mutex>
#include <random>

namespace pf {

ProcessInfo& ProcessInfo::processInfo() {
    static ProcessInfo info;
    return info;
}

ProcessInfo::ProcessInfo() {
    std::array<char, PATH_MAX> buffer{};
    const auto n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string path = n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : "";
    const auto slash = path.rfind('/');
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

int ProcessInfo::processIdentifier() const noexcept {
    return static_cast<int>(::getpid());
}

std::string ProcessInfo::globallyUniqueString() const {
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    static std::atomic<unsigned long long> counter{0};
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    {
        std::lock_guard lock(mutex);
        high = generator();
        low = generator();
    }
    high = (high & 0xFFFFFFFFFFFF0FFFull) | 0x4000ull;           // version 4
    low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant 1
    char text[96];
    std::snprintf(text, sizeof text, "%08llX-%04llX-%04llX-%04llX-%012llX-%d-%016llX",
                  static_cast<unsigned long long>(high >> 32),
                  static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFFF),
                  static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull), processIdentifier(),
                  counter.fetch_add(1) + 1);
    return text;
}

} // namespace pf
