// The root of a view tree that is shown: it runs the tree's layout and display passes and
// composites the tree for its backend (an SDL window or an offscreen surface).
//
// Passes: every change in the tree that needs a layout, a redraw or a new composite calls
// `passRequested()`; the first call after a pass hands the window to the pass scheduler, so
// marks coalesce. The default scheduler queues one block on the main run loop that runs
// `runPasses()` and then presents the window through its backend when it is shown. Tests may
// also call `runPasses()` (or `layoutIfNeeded()` and `displayIfNeeded()`) themselves.
//
// Dirty region: the window keeps what changed since its last present, in window points: the
// pixels a redrawn layer actually changed, and the old and new places of every view that moved,
// resized, appeared, disappeared or changed how it is composited (alpha, background, clipping,
// order). A backend takes the region when it presents and composites and uploads only that; an
// empty region means the picture on screen is still exact and the present does nothing. Showing
// the window, a new size or a new scale make the whole window dirty once.
// [main-thread]
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/UIView.h"
#include "ui/WindowBackend.h"

namespace pf {

class UIWindow : public UIView {
public:
    explicit UIWindow(const CGRect& frame = CGRect::zero());
    ~UIWindow() override;

    // Device pixels per point of this window's layers (2 on a doubled display).
    CGFloat screenScale() const { return scale_; }
    void setScreenScale(CGFloat scale);

    // Layout pass over the whole tree (it settles in up to eight rounds).
    using UIView::layoutIfNeeded;
    // Display pass: redraws every marked or resized layer of the visible tree.
    void displayIfNeeded() { UIView::displayIfNeeded(scale_); }
    // Layout, then display; clears the pending request. Returns true when anything may look
    // different since the last call (a composite is due).
    bool runPasses();
    // Composites the whole window into `cr` (whose matrix maps window points to the target).
    void render(cairo_t* cr) const;
    // Composites the window into the given rectangles of `target`, an image of the window at
    // `scale` device pixels per point; each rectangle is first cleared to transparent, or to
    // opaque black when `opaque` (a window on a desktop has nothing behind it).
    void renderRects(cairo_surface_t* target, const std::vector<PixelRect>& rects, CGFloat scale,
                     bool opaque) const;

    // Adds a rectangle in window points to the dirty region.
    void invalidate(const CGRect& rect);
    // Makes the whole window dirty (shown, exposed, resized, new scale).
    void invalidateAll();
    bool hasDirtyRegion() const { return allDirty_ || !dirty_.empty(); }
    // The dirty region as device-pixel rectangles of an image `width` x `height` at `scale`,
    // rounded outwards (with a pixel for antialiased edges) and clipped to the image; empties
    // the region. Empty when nothing changed.
    std::vector<PixelRect> takeDirtyRegion(CGFloat scale, int width, int height);

    bool isPassPending() const { return passPending_; }
    // Called by the tree; schedules one pass through the scheduler when none is pending.
    void passRequested();

    // Replaces the scheduler of the process (null: passes are only run by hand); returns the
    // previous one.
    using PassScheduler = std::function<void(UIWindow&)>;
    static PassScheduler setPassScheduler(PassScheduler scheduler);

    // Shows the window through the process's window backend (see WindowBackend.h).
    void makeKeyAndVisible();
    bool isVisibleOnBackend() const;

    // Input from the backend, in window points; the touch layer installs the handler.
    std::function<void(const InputEvent&)> inputHandler;
    void sendInput(const InputEvent& event);

private:
    CGFloat scale_ = 1;
    // Up to kMaxDirtyRects rectangles; a further one is merged into the one it grows least.
    static constexpr std::size_t kMaxDirtyRects = 8;
    std::vector<CGRect> dirty_;
    bool allDirty_ = true;
    bool passPending_ = false;
    bool inPass_ = false;
};

} // namespace pf
