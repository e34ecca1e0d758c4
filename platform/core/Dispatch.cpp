#include "core/Dispatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Check.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

thread_local const DispatchQueue::Impl* tCurrentQueue = nullptr;

} // namespace

// A FIFO of blocks served by `threads` workers. A serial queue has one worker.
class DispatchQueue::Impl : public std::enable_shared_from_this<Impl> {
public:
    void start(unsigned threads) {
        for (unsigned i = 0; i < threads; ++i) {
            workers_.emplace_back([self = shared_from_this()] { self->serve(); });
        }
    }

    void push(Work work) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
        }
        ready_.notify_one();
    }

    // Runs what is queued, then ends the workers. A queue released from inside its own block
    // cannot wait for itself: its worker finishes the queue and ends on its own.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        ready_.notify_all();
        for (auto& worker : workers_) {
            if (worker.get_id() == std::this_thread::get_id()) {
                worker.detach();
            } else if (worker.joinable()) {
                worker.join();
            }
        }
    }

private:
    void serve() {
        tCurrentQueue = this;
        for (;;) {
            Work work;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
                if (queue_.empty()) return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            if (work) work();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Work> queue_;
    bool closing_ = false;
    std::vector<std::thread> workers_;
};

DispatchQueue::DispatchQueue(Kind kind, std::string label) : kind_(kind), label_(std::move(label)) {
    if (kind_ == Kind::main) return;
    impl_ = std::make_shared<Impl>();
    const unsigned hw = std::max(2u, std::thread::hardware_concurrency());
    impl_->start(kind_ == Kind::global ? std::min(4u, hw) : 1u);
}

DispatchQueue::DispatchQueue(std::string label) : DispatchQueue(Kind::serial, std::move(label)) {}

DispatchQueue::~DispatchQueue() {
    if (impl_) impl_->close();
}

DispatchQueue& DispatchQueue::main() {
    static DispatchQueue* const queue = new DispatchQueue(Kind::main, "com.apple.main-thread");
    return *queue;
}

DispatchQueue& DispatchQueue::global() {
    // Never destroyed: its workers live as long as the process.
    static DispatchQueue* const queue = [] {
        auto* q = new DispatchQueue(Kind::global, "com.apple.root.default-qos");
        return q;
    }();
    return *queue;
}

bool DispatchQueue::isCurrent() const noexcept {
    if (kind_ == Kind::main) return RunLoop::isMainThread();
    return tCurrentQueue == impl_.get();
}

void DispatchQueue::async(Work work) {
    checkNotRenderThread("DispatchQueue::async() on the render thread allocates and locks; use "
                         "the log ring or a preallocated queue");
    if (kind_ == Kind::main) {
        RunLoop::main().perform(std::move(work));
    } else {
        impl_->push(std::move(work));
    }
}

void DispatchQueue::sync(const Work& work) {
    checkNotRenderThread("DispatchQueue::sync() on the render thread blocks");
    if (kind_ == Kind::global) {
        work();
        return;
    }
    if (isCurrent()) {
        checkFailed("DispatchQueue::sync() onto the queue that is running it (" + label_ +
                    ") would deadlock");
        return;
    }
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::exception_ptr error;
    async([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(mutex);
        finished = true;
        done.notify_one();
    });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    if (error) std::rethrow_exception(error);
}

} // namespace pf
