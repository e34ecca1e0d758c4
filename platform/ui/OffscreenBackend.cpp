#include <cairo.h>

#include <cmath>
#include <map>

#include "ui/Offscreen.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

namespace pf {

struct OffscreenBackend::Impl {
    struct Entry {
        std::weak_ptr<UIView> window;
        std::unique_ptr<ImageSurface> frame;
        std::uint64_t presents = 0;
    };
    std::map<const UIWindow*, Entry> windows;
};

OffscreenBackend::OffscreenBackend() : impl_(std::make_unique<Impl>()) {}
OffscreenBackend::~OffscreenBackend() = default;

void OffscreenBackend::attach(UIWindow& window) {
    impl_->windows[&window].window = window.weak_from_this();
}

void OffscreenBackend::detach(UIWindow& window) {
    impl_->windows.erase(&window);
}

bool OffscreenBackend::isAttached(const UIWindow& window) const {
    return impl_->windows.count(&window) != 0;
}

void OffscreenBackend::present(UIWindow& window) {
    auto it = impl_->windows.find(&window);
    if (it == impl_->windows.end()) return;
    const CGFloat scale = window.screenScale();
    const CGRect f = window.frame();
    const int w = static_cast<int>(std::ceil(f.width() * scale));
    const int h = static_cast<int>(std::ceil(f.height() * scale));
    auto& frame = it->second.frame;
    if (!frame || frame->width() != w || frame->height() != h) {
        frame = std::make_unique<ImageSurface>(w, h);
        window.invalidateAll();
    }
    const std::vector<PixelRect> rects = window.takeDirtyRegion(scale, w, h);
    if (rects.empty()) return;
    window.renderRects(frame->surface(), rects, scale, false);
    ++it->second.presents;
    countPresent(rects);
}

const ImageSurface* OffscreenBackend::lastFrame(const UIWindow& window) const {
    auto it = impl_->windows.find(&window);
    return it == impl_->windows.end() ? nullptr : it->second.frame.get();
}

std::uint64_t OffscreenBackend::presentCount(const UIWindow& window) const {
    auto it = impl_->windows.find(&window);
    return it == impl_->windows.end() ? 0 : it->second.presents;
}

bool OffscreenBackend::writeScreenshot(const UIWindow& window, const std::string& path) const {
    const ImageSurface* frame = lastFrame(window);
    return frame && frame->writePNG(path);
}

} // namespace pf
