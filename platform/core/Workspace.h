#pragma once
// Opening a URL with the desktop's handler (the system browser for web pages).

#include <functional>

#include "core/URL.h"

namespace pf {

class Workspace {
public:
    // Called on the main queue with true when the handler accepted the URL (exit status 0).
    using Completion = std::function<void(bool accepted)>;

    // [any-thread] Starts `xdg-open <url>` (the URL as one argument; no shell ever sees it) and
    // returns at once: false when the program could not be started. The child is reaped off the
    // calling thread; `completion`, when given, reports its result on the main queue.
    static bool openURL(const URL& url, Completion completion = {});

    // Tests: the program started instead of xdg-open (empty restores xdg-open).
    static void setOpenCommandForTesting(std::string program);
};

} // namespace pf
