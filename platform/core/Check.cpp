#include "core/Check.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "core/RenderThread.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

void defaultHandler(std::string_view message) {
    std::fprintf(stderr, "pf: fatal: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

std::atomic<CheckFailureHandler> gHandler{&defaultHandler};

} // namespace

CheckFailureHandler setCheckFailureHandler(CheckFailureHandler handler) noexcept {
    return gHandler.exchange(handler != nullptr ? handler : &defaultHandler);
}

bool isOnMainThread() noexcept {
    return RunLoop::isMainThread();
}

bool isOnRenderThread() noexcept {
    return isRenderThread();
}

void checkFailed(std::string_view message) noexcept {
    gHandler.load()(message);
}

} // namespace pf
