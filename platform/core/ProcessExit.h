#pragma once
// Work that must be done before the process ends, whichever way the application ends. The
// application's entry ends the process without running destructors or atexit handlers (worker
// threads may still be running), so a layer that holds something unfinished, such as an open
// output file, registers a handler here and the entry runs them first.
//
// [any-thread] Handlers run on the thread that calls runProcessExitHandlers, in the reverse order
// of their registration, at most once per process.

#include <functional>

namespace pf {

void addProcessExitHandler(std::function<void()> handler);
void runProcessExitHandlers();

// [any-thread] Records that work the user asked for failed for good (an audio output that could
// not be opened or written), so that the application's entry ends with `status` (non-zero)
// where it would have ended with 0. The first status recorded stays.
void recordProcessFailure(int status) noexcept;
// [any-thread] The status recorded, 0 when nothing failed.
int recordedProcessFailure() noexcept;

} // namespace pf
