#include "ui/UIWindow.h"

#include <cairo.h>

namespace pf {

namespace {
UIWindow::PassScheduler& scheduler() {
  static UIWindow::PassScheduler s;
  return s;
}
}  // namespace

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {}

UIWindow::~UIWindow() = default;

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

void UIWindow::setPassScheduler(PassScheduler s) { scheduler() = std::move(s); }

void UIWindow::makeKeyAndVisible() {
  setHidden(false);
  passRequested();
}

}  // namespace pf
