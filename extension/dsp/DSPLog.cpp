#include "DSPLog.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<DSPLogSink> installedSink{&printDSPLogLine};
static_assert(std::atomic<DSPLogSink>::is_always_lock_free);
} // namespace

void setDSPLogSink(DSPLogSink sink) noexcept {
    installedSink.store(sink != nullptr ? sink : &printDSPLogLine, std::memory_order_release);
}

void dspLog(const char* line, DSPLogOrigin origin) noexcept {
    installedSink.load(std::memory_order_acquire)(line, origin);
}

void printDSPLogLine(const char* line, DSPLogOrigin) noexcept {
    std::printf("%s\n", line);
}
