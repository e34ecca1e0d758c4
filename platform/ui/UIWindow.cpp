#include "ui/UIWindow.h"

#include <cairo.h>

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

UIWindow::PassScheduler UIWindow::setPassScheduler(PassScheduler s) {
    std::swap(scheduler(), s);
    return s;
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    if (!inputHandler) UIApplication::shared().attach(*this);
    WindowBackend::shared().attach(*this);
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
