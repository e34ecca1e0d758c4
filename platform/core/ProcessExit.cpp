#include "core/ProcessExit.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace pf {

namespace {

std::mutex gMutex;
std::vector<std::function<void()>> gHandlers;
bool gRan = false;
std::atomic<int> gFailure{0};

} // namespace

void addProcessExitHandler(std::function<void()> handler) {
    std::lock_guard lock(gMutex);
    gHandlers.push_back(std::move(handler));
}

void runProcessExitHandlers() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(gMutex);
        if (gRan) return;
        gRan = true;
        handlers.swap(gHandlers);
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
        if (*it) (*it)();
    }
}

void recordProcessFailure(int status) noexcept {
    int none = 0;
    gFailure.compare_exchange_strong(none, status);
}

int recordedProcessFailure() noexcept {
    return gFailure.load();
}

} // namespace pf
