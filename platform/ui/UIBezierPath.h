// A path of lines and cubic curves in user space, with its own stroke settings, painted into
// the current graphics context. A value type. [main-thread]
#pragma once

#include <vector>

#include "ui/CGContext.h"
#include "ui/CGGeometry.h"

namespace pf {

class UIBezierPath {
public:
    UIBezierPath() = default; // empty: contains nothing, draws nothing
    static UIBezierPath rect(const CGRect& rect);
    // Corner radius clamped to half the shorter side, as the platform does.
    static UIBezierPath roundedRect(const CGRect& rect, CGFloat cornerRadius);
    static UIBezierPath ovalIn(const CGRect& rect);

    void move(CGPoint to);
    void addLine(CGPoint to);
    void addCurve(CGPoint to, CGPoint controlPoint1, CGPoint controlPoint2);
    void close();
    void removeAllPoints() { elements_.clear(); }

    bool isEmpty() const { return elements_.empty(); }
    // Bounding box of all points, control points included; CGRect::null() when empty.
    CGRect bounds() const;
    // Non-zero winding rule, as the platform's default. False for an empty path.
    bool contains(CGPoint point) const;

    CGFloat lineWidth = 1;
    CGLineCap lineCapStyle = CGLineCap::butt;
    CGLineJoin lineJoinStyle = CGLineJoin::miter;
    bool usesEvenOddFillRule = false;

    // Paint with the current context's fill or stroke colour. The context's dash pattern
    // applies to the stroke; the path's width, cap and join apply for this stroke only.
    // Nothing is painted without a current context, or when a point is not finite.
    void fill() const;
    void stroke() const;

private:
    enum class Op { move, line, curve, close };
    struct Element {
        Op op;
        CGPoint p[3];
    };
    bool isFinite() const;
    void appendTo(CGContext& ctx) const;

    std::vector<Element> elements_;
};

} // namespace pf
