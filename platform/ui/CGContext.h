// A drawing context on a Cairo context, with the platform's graphics-state model: fill and
// stroke colours, line width, caps, joins and dash, clip and transform, all saved and restored
// together.
//
// Safety rule: Cairo stops drawing for good once it is handed a singular or non-finite matrix
// (its error state survives restore). This context refuses such a transform instead: it keeps
// the previous matrix, suppresses every drawing operation, and lifts the suppression at the
// restore that matches the save in force when the transform was refused. Non-finite line widths,
// dash patterns and clip rectangles are refused the same way, one operation at a time.
//
// [main-thread] All of it, like the views that draw.
#pragma once

#include <span>
#include <vector>

#include "ui/CGGeometry.h"
#include "ui/UIColor.h"

typedef struct _cairo cairo_t;

namespace pf {

enum class CGLineCap { butt, round, square };
enum class CGLineJoin { miter, round, bevel };

class CGContext {
public:
    // Borrows `cr` (takes a Cairo reference for its own lifetime). Starts with the platform's
    // defaults: black fill and stroke, line width 1, butt caps, miter joins, no dash.
    explicit CGContext(cairo_t* cr);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    cairo_t* cairo() const { return cr_; }

    void saveGState();
    // Does nothing when there is no save to restore (the platform logs and carries on).
    void restoreGState();
    int gStateDepth() const { return static_cast<int>(stack_.size()) - 1; }

    void translateBy(CGFloat x, CGFloat y);
    void scaleBy(CGFloat sx, CGFloat sy);
    void rotate(CGFloat radians); // positive turns clockwise on screen (y down)
    void concatenate(const CGAffineTransform& t);
    CGAffineTransform ctm() const;
    // True while a refused transform suppresses drawing in the current state.
    bool isDrawingSuppressed() const { return state().suppressed; }

    // Intersects the clip with a rectangle in user space.
    void clip(const CGRect& rect);
    CGRect clipBoundingBox() const;

    void setLineWidth(CGFloat width);
    CGFloat lineWidth() const { return state().lineWidth; }
    void setLineCap(CGLineCap cap);
    void setLineJoin(CGLineJoin join);
    // An empty list turns dashing off.
    void setLineDash(CGFloat phase, std::span<const CGFloat> lengths);
    bool hasLineDash() const;

    void setFillColor(const UIColor& color) { state().fill = color; }
    void setStrokeColor(const UIColor& color) { state().stroke = color; }
    UIColor fillColor() const { return state().fill; }
    UIColor strokeColor() const { return state().stroke; }
    // A global alpha that multiplies every fill and stroke.
    void setAlpha(CGFloat alpha);

    void fill(const CGRect& rect);
    void stroke(const CGRect& rect);
    void clear(const CGRect& rect); // makes the rectangle transparent

    // For path and text drawers of this layer: paint the path currently built on cairo().
    // Each returns false (and drops the path) while drawing is suppressed.
    bool fillCurrentPath(bool evenOdd = false);
    bool strokeCurrentPath();
    // Sets the fill colour (times the global alpha) as Cairo's source; false while suppressed.
    bool prepareFillSource();

private:
    struct State {
        UIColor fill = UIColor::black();
        UIColor stroke = UIColor::black();
        CGFloat lineWidth = 1;
        CGFloat alpha = 1;
        bool suppressed = false;
    };
    State& state() { return stack_.back(); }
    const State& state() const { return stack_.back(); }
    void setSource(const UIColor& c);
    bool applyMatrixChecked(const CGAffineTransform& next);

    cairo_t* cr_;
    std::vector<State> stack_;
};

// The stack of current contexts: a view's drawing pass pushes its layer's context, so that
// drawing code finds it without having it passed in.
CGContext* UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContext& ctx);
void UIGraphicsPopContext();

// Pushes a context for its lifetime.
class ScopedCurrentContext {
public:
    explicit ScopedCurrentContext(CGContext& ctx) { UIGraphicsPushContext(ctx); }
    ~ScopedCurrentContext() { UIGraphicsPopContext(); }
    ScopedCurrentContext(const ScopedCurrentContext&) = delete;
    ScopedCurrentContext& operator=(const ScopedCurrentContext&) = delete;
};

} // namespace pf
