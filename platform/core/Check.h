#pragma once
// One handler for misuse that the platform layer refuses to turn into a deadlock or a crash
// further down (a `sync` onto the queue that is running, a main-thread call from elsewhere).

#include <string_view>

namespace pf {

// Called with a description of the misuse. The default handler prints it to standard error and
// aborts. A replacement (tests) may return; the checked call then returns without doing its work.
using CheckFailureHandler = void (*)(std::string_view message);

// [any-thread] Installs `handler` (nullptr restores the default); returns the previous one.
CheckFailureHandler setCheckFailureHandler(CheckFailureHandler handler) noexcept;

// [any-thread] Reports misuse through the installed handler.
void checkFailed(std::string_view message) noexcept;

// The thread roles of the contracts ([main-thread], "not on the render thread"), checked in
// debug builds of the caller: a call from the wrong thread is reported through checkFailed()
// with `what` in the message. Both return whether the role held.
bool isOnMainThread() noexcept;
bool isOnRenderThread() noexcept;
inline bool checkMainThread([[maybe_unused]] std::string_view what) noexcept {
#ifndef NDEBUG
    if (!isOnMainThread()) {
        checkFailed(what);
        return false;
    }
#endif
    return true;
}
inline bool checkNotRenderThread([[maybe_unused]] std::string_view what) noexcept {
#ifndef NDEBUG
    if (isOnRenderThread()) {
        checkFailed(what);
        return false;
    }
#endif
    return true;
}

} // namespace pf
