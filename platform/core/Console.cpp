#include "core/Console.h"

#include <cstdio>

#include "core/LogRing.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

std::mutex& consoleMutex() {
    static std::mutex* const mutex = new std::mutex; // usable until the very end of the process
    return *mutex;
}

ConsoleCapture* gCapture = nullptr; // guarded by consoleMutex()

std::function<void(std::string_view)>& observer() { // guarded by consoleMutex()
    static auto* const slot = new std::function<void(std::string_view)>; // like the mutex
    return *slot;
}

} // namespace

void Console::emit(std::string_view text, std::string_view end) {
    std::lock_guard lock(consoleMutex());
    if (observer()) observer()(std::string(text).append(end));
    if (gCapture != nullptr) {
        gCapture->append(text, end);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fwrite(end.data(), 1, end.size(), stdout);
    std::fflush(stdout);
}

void Console::printLine(std::string_view line) {
    if (isRenderThread()) {
        LogRing::shared().tryPost(line); // no blocking I/O there: printed from the main thread
        return;
    }
    emit(line, "\n");
}

void Console::write(std::string_view text) {
    emit(text, {});
}

void Console::setObserver(std::function<void(std::string_view)> next) {
    std::lock_guard lock(consoleMutex());
    observer().swap(next);
}

ConsoleCapture::ConsoleCapture() {
    std::lock_guard lock(consoleMutex());
    previous_ = gCapture;
    gCapture = this;
}

ConsoleCapture::~ConsoleCapture() {
    std::lock_guard lock(consoleMutex());
    if (gCapture == this) gCapture = previous_;
}

void ConsoleCapture::append(std::string_view text, std::string_view end) {
    {
        std::lock_guard lock(mutex_);
        text_.append(text);
        text_.append(end); // a reader never sees a line without its end
    }
    // A test waiting on the main run loop for a line printed on another thread sees it at once.
    if (!RunLoop::isMainThread()) RunLoop::main().signalFromRealtime();
}

std::string ConsoleCapture::text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

std::vector<std::string> ConsoleCapture::lines() const {
    const std::string all = text();
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < all.size()) {
        const auto end = all.find('\n', start);
        if (end == std::string::npos) {
            result.push_back(all.substr(start));
            break;
        }
        result.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

void ConsoleCapture::clear() {
    std::lock_guard lock(mutex_);
    text_.clear();
}

} // namespace pf
