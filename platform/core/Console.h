#pragma once
// Standard output as the system's log: whole lines, one at a time, from any thread.
// Tests capture what would be printed with ConsoleCapture.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

class Console {
public:
    // [any-thread][render-thread] Writes `line` and one line feed as one unit; lines of different
    // threads never interleave. On the render thread the line goes into the log ring instead
    // (no allocation, no lock; cut to a slot, dropped when the ring is full) and the main thread
    // prints it, unchanged, later.
    static void printLine(std::string_view line);
    // [any-thread] Writes `text` exactly as given (for callers whose text carries its own line
    // feeds), under the same lock.
    static void write(std::string_view text);
    // [any-thread] Calls `observer` with every piece of text the console writes or a capture
    // collects (a line with its line feed), under the console's lock: it must not print. One
    // observer at a time; a new one replaces the old, an empty one removes it.
    static void setObserver(std::function<void(std::string_view)> observer);

private:
    friend class ConsoleCapture;
    static void emit(std::string_view text, std::string_view end);
};

// While alive, collects everything the console would print (from any thread) instead of
// printing it, and wakes the main run loop for each piece, so that a wait on it for a line sees
// the line when it comes. Captures nest: the newest one collects. [main-thread]
// construction/destruction.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // [any-thread] Everything collected so far, byte for byte.
    std::string text() const;
    // [any-thread] The collected text split at line feeds (a final line without one included).
    std::vector<std::string> lines() const;
    // [any-thread] Forgets what was collected.
    void clear();

private:
    friend class Console;
    void append(std::string_view text, std::string_view end);

    mutable std::mutex mutex_;
    std::string text_;
    ConsoleCapture* previous_ = nullptr;
};

} // namespace pf
