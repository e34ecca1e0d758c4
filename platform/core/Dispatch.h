#pragma once
// Dispatch queues: the main queue (the main thread's run loop), a global queue (a small pool of
// worker threads) and serial queues (one worker each, first in, first out).

#include <functional>
#include <memory>
#include <string>

namespace pf {

class DispatchQueue {
public:
    using Work = std::function<void()>;

    // [any-thread] Blocks run on the main thread's run loop, in order, each after the task that
    // is running when it is queued (never inside it).
    static DispatchQueue& main();
    // [any-thread] Blocks run concurrently on a small pool; no order between them.
    static DispatchQueue& global();

    // [any-thread] A serial queue with its own worker thread. Destroying it runs the blocks
    // already queued, then ends the worker.
    explicit DispatchQueue(std::string label);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    // [any-thread] Queues `work` and returns at once. Allocates, so not on the render thread
    // (debug builds report that through checkFailed()).
    void async(Work work);
    // [any-thread] Runs `work` on the queue and returns when it has run. On the main queue from the
    // main thread, or on a serial queue from inside one of its own blocks, this would never
    // return: it is reported through checkFailed() instead and `work` does not run. On the global
    // queue `work` runs on the calling thread.
    void sync(const Work& work);

    const std::string& label() const noexcept { return label_; }
    // [any-thread] True inside a block of this queue (the main queue: on the main thread).
    bool isCurrent() const noexcept;

    class Impl;

private:
    enum class Kind { main, global, serial };
    DispatchQueue(Kind kind, std::string label);

    Kind kind_;
    std::string label_;
    std::shared_ptr<Impl> impl_;
};

} // namespace pf
