#include "ui/UIWindow.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "core/RunLoop.h"
#include "ui/MainThread.h"
#include "ui/UIApplication.h"

namespace pf {

namespace {
// One block on the main run loop per requested pass: the pass runs after the work that asked
// for it, with every mark made meanwhile.
void runLoopScheduler(UIWindow& window) {
    std::weak_ptr<UIView> weak = window.weak_from_this();
    if (weak.expired()) return; // not owned by a shared_ptr: its owner runs its passes
    RunLoop::main().perform([weak] {
        auto view = weak.lock();
        if (!view) return;
        auto& w = static_cast<UIWindow&>(*view);
        if (!w.isPassPending()) return; // run by hand meanwhile
        w.runPasses();
        if (WindowBackend* backend = currentWindowBackend(); backend && backend->isAttached(w))
            backend->present(w);
    });
}

UIWindow::PassScheduler& scheduler() {
    static UIWindow::PassScheduler s = runLoopScheduler;
    return s;
}
} // namespace

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {}

UIWindow::~UIWindow() {
    if (WindowBackend* backend = currentWindowBackend()) backend->detach(*this);
}

void UIWindow::setScreenScale(CGFloat scale) {
    if (!(scale > 0) || !std::isfinite(scale) || scale == scale_) return;
    scale_ = scale;
    invalidateAll();
    passRequested();
}

void UIWindow::passRequested() {
    if (passPending_ || inPass_) return;
    passPending_ = true;
    if (scheduler()) scheduler()(*this);
}

bool UIWindow::runPasses() {
    requireMainThread("UIWindow::runPasses called off the main thread");
    const bool due = passPending_;
    passPending_ = false;
    // What layout and drawing change is covered by this pass (layout settles in its rounds and
    // the display runs after it), so their requests schedule nothing more.
    inPass_ = true;
    layoutIfNeeded();
    displayIfNeeded();
    inPass_ = false;
    return due;
}

void UIWindow::render(cairo_t* cr) const {
    // The window's own frame places it on its target; draw it at the target's origin.
    cairo_save(cr);
    const CGRect f = frame();
    cairo_translate(cr, -f.origin.x, -f.origin.y);
    renderInto(cr);
    cairo_restore(cr);
}

void UIWindow::renderRects(cairo_surface_t* target, const std::vector<PixelRect>& rects,
                           CGFloat scale, bool opaque) const {
    if (rects.empty()) return;
    cairo_t* cr = cairo_create(target);
    // Pixel-aligned rectangles make a clip region, which Cairo composites without masks.
    for (const PixelRect& r : rects)
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_clip(cr);
    if (opaque) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    } else {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    }
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_scale(cr, scale, scale);
    render(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
}

void UIWindow::invalidate(const CGRect& rect) {
    if (allDirty_ || rect.isNull() || rect.isEmpty() || !std::isfinite(rect.width()) ||
        !std::isfinite(rect.height()))
        return;
    for (const CGRect& r : dirty_)
        if (r.contains(rect)) return;
    if (dirty_.size() < kMaxDirtyRects) {
        dirty_.push_back(rect);
        return;
    }
    auto growth = [&](const CGRect& r) {
        const CGRect u = r.unionWith(rect);
        return u.width() * u.height() - r.width() * r.height();
    };
    auto best =
        std::min_element(dirty_.begin(), dirty_.end(),
                         [&](const CGRect& a, const CGRect& b) { return growth(a) < growth(b); });
    *best = best->unionWith(rect);
}

void UIWindow::invalidateAll() {
    allDirty_ = true;
    dirty_.clear();
}

std::vector<PixelRect> UIWindow::takeDirtyRegion(CGFloat scale, int width, int height) {
    std::vector<PixelRect> out;
    if (width <= 0 || height <= 0) return out;
    if (allDirty_) {
        out.push_back({0, 0, width, height});
    } else {
        const CGPoint origin = bounds().origin;
        for (const CGRect& r : dirty_) {
            // One pixel more on each side: antialiased edges and filtered layers reach into it.
            const double x0 = std::floor((r.minX() - origin.x) * scale) - 1;
            const double y0 = std::floor((r.minY() - origin.y) * scale) - 1;
            const double x1 = std::ceil((r.maxX() - origin.x) * scale) + 1;
            const double y1 = std::ceil((r.maxY() - origin.y) * scale) + 1;
            const int cx0 = int(std::clamp<double>(x0, 0, width));
            const int cy0 = int(std::clamp<double>(y0, 0, height));
            const int cx1 = int(std::clamp<double>(x1, 0, width));
            const int cy1 = int(std::clamp<double>(y1, 0, height));
            if (cx1 > cx0 && cy1 > cy0) out.push_back({cx0, cy0, cx1 - cx0, cy1 - cy0});
        }
    }
    allDirty_ = false;
    dirty_.clear();
    return out;
}

UIWindow::PassScheduler UIWindow::setPassScheduler(PassScheduler s) {
    std::swap(scheduler(), s);
    return s;
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    if (!inputHandler) UIApplication::shared().attach(*this);
    WindowBackend::shared().attach(*this);
    invalidateAll();
    passRequested();
}

bool UIWindow::isVisibleOnBackend() const {
    WindowBackend* backend = currentWindowBackend();
    return backend && backend->isAttached(*this);
}

void UIWindow::sendInput(const InputEvent& event) {
    if (inputHandler) inputHandler(event);
}

} // namespace pf
