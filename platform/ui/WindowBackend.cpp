#include "ui/WindowBackend.h"

#include "ui/MainThread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pf {

namespace {

// Never destroyed: windows and the run loop's wait hooks may still refer to the backend while
// other statics go away at exit.
std::unique_ptr<WindowBackend>& slot() {
    static auto* backend = new std::unique_ptr<WindowBackend>();
    return *backend;
}

std::unique_ptr<WindowBackend> fromEnvironment() {
    const char* choice = std::getenv("PF_UI_BACKEND");
    if (choice && std::strcmp(choice, "offscreen") == 0)
        return std::make_unique<OffscreenBackend>();
    if (choice && *choice && std::strcmp(choice, "sdl") != 0)
        std::fprintf(stderr, "pf: unknown PF_UI_BACKEND '%s'; using sdl\n", choice);
    if (auto sdl = makeSDLBackend()) return sdl;
    std::fprintf(stderr, "pf: no window can be shown; using the offscreen backend\n");
    return std::make_unique<OffscreenBackend>();
}

} // namespace

WindowBackend& WindowBackend::shared() {
    requireMainThread("WindowBackend::shared called off the main thread");
    if (!slot()) slot() = fromEnvironment();
    return *slot();
}

std::unique_ptr<WindowBackend> WindowBackend::setShared(std::unique_ptr<WindowBackend> backend) {
    std::swap(slot(), backend);
    return backend;
}

void WindowBackend::countPresent(const std::vector<PixelRect>& rects) {
    ++frames_;
    for (const PixelRect& r : rects)
        pixels_ += static_cast<std::uint64_t>(r.area());
    static const bool report = std::getenv("PF_UI_PRESENT_STATS") != nullptr;
    if (report)
        std::fprintf(stderr, "pf: presents %llu pixels %llu\n",
                     static_cast<unsigned long long>(frames_),
                     static_cast<unsigned long long>(pixels_));
}

WindowBackend* currentWindowBackend() {
    return slot().get();
}

} // namespace pf
