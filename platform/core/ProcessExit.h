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

} // namespace pf
