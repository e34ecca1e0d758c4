#include "ui/UIBezierPath.h"

#include <cairo.h>

#include <algorithm>

namespace pf {

namespace {
// Control-point distance of a cubic quarter circle of radius 1.
constexpr CGFloat kKappa = 0.5522847498307936;
} // namespace

UIBezierPath UIBezierPath::rect(const CGRect& rect) {
    const CGRect r = rect.standardized();
    UIBezierPath p;
    p.move({r.minX(), r.minY()});
    p.addLine({r.maxX(), r.minY()});
    p.addLine({r.maxX(), r.maxY()});
    p.addLine({r.minX(), r.maxY()});
    p.close();
    return p;
}

UIBezierPath UIBezierPath::roundedRect(const CGRect& rect, CGFloat cornerRadius) {
    const CGRect r = rect.standardized();
    const CGFloat rad = std::clamp(cornerRadius, 0.0, std::min(r.width(), r.height()) / 2);
    if (!(rad > 0)) return UIBezierPath::rect(r);
    const CGFloat k = rad * kKappa;
    const CGFloat x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    UIBezierPath p;
    p.move({x0 + rad, y0});
    p.addLine({x1 - rad, y0});
    p.addCurve({x1, y0 + rad}, {x1 - rad + k, y0}, {x1, y0 + rad - k});
    p.addLine({x1, y1 - rad});
    p.addCurve({x1 - rad, y1}, {x1, y1 - rad + k}, {x1 - rad + k, y1});
    p.addLine({x0 + rad, y1});
    p.addCurve({x0, y1 - rad}, {x0 + rad - k, y1}, {x0, y1 - rad + k});
    p.addLine({x0, y0 + rad});
    p.addCurve({x0 + rad, y0}, {x0, y0 + rad - k}, {x0 + rad - k, y0});
    p.close();
    return p;
}

UIBezierPath UIBezierPath::ovalIn(const CGRect& rect) {
    const CGRect r = rect.standardized();
    const CGFloat rx = r.width() / 2, ry = r.height() / 2;
    const CGFloat cx = r.midX(), cy = r.midY();
    const CGFloat kx = rx * kKappa, ky = ry * kKappa;
    UIBezierPath p;
    p.move({cx + rx, cy});
    p.addCurve({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    p.addCurve({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    p.addCurve({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    p.addCurve({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    p.close();
    return p;
}

void UIBezierPath::move(CGPoint to) {
    elements_.push_back({Op::move, {to, {}, {}}});
}

void UIBezierPath::addLine(CGPoint to) {
    elements_.push_back({Op::line, {to, {}, {}}});
}

void UIBezierPath::addCurve(CGPoint to, CGPoint controlPoint1, CGPoint controlPoint2) {
    elements_.push_back({Op::curve, {controlPoint1, controlPoint2, to}});
}

void UIBezierPath::close() {
    elements_.push_back({Op::close, {}});
}

CGRect UIBezierPath::bounds() const {
    CGRect box = CGRect::null();
    for (const Element& e : elements_) {
        const int n = e.op == Op::curve ? 3 : e.op == Op::close ? 0 : 1;
        for (int i = 0; i < n; ++i)
            box = box.unionWith(CGRect(e.p[i], {}));
    }
    return box;
}

bool UIBezierPath::isFinite() const {
    for (const Element& e : elements_)
        for (const CGPoint& p : e.p)
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    return true;
}

void UIBezierPath::appendTo(CGContext& ctx) const {
    cairo_t* cr = ctx.cairo();
    cairo_new_path(cr);
    for (const Element& e : elements_) {
        switch (e.op) {
        case Op::move:
            cairo_move_to(cr, e.p[0].x, e.p[0].y);
            break;
        case Op::line:
            cairo_line_to(cr, e.p[0].x, e.p[0].y);
            break;
        case Op::curve:
            cairo_curve_to(cr, e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
            break;
        case Op::close:
            cairo_close_path(cr);
            break;
        }
    }
}

bool UIBezierPath::contains(CGPoint point) const {
    if (elements_.empty() || !isFinite()) return false;
    // A 1 x 1 scratch context answers the winding question exactly as the fill would paint it.
    static cairo_surface_t* scratchSurface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratchSurface);
    {
        CGContext ctx(cr);
        appendTo(ctx);
    }
    cairo_set_fill_rule(cr,
                        usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    const bool inside = cairo_in_fill(cr, point.x, point.y);
    cairo_destroy(cr);
    return inside;
}

void UIBezierPath::fill() const {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx || elements_.empty() || !isFinite() || ctx->isDrawingSuppressed()) return;
    appendTo(*ctx);
    ctx->fillCurrentPath(usesEvenOddFillRule);
}

void UIBezierPath::stroke() const {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx || elements_.empty() || !isFinite() || ctx->isDrawingSuppressed()) return;
    if (!std::isfinite(lineWidth) || lineWidth < 0) return;
    cairo_t* cr = ctx->cairo();
    cairo_save(cr);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, lineCapStyle == CGLineCap::round    ? CAIRO_LINE_CAP_ROUND
                           : lineCapStyle == CGLineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                               : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, lineJoinStyle == CGLineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                            : lineJoinStyle == CGLineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                 : CAIRO_LINE_JOIN_MITER);
    appendTo(*ctx);
    ctx->strokeCurrentPath();
    cairo_restore(cr);
}

} // namespace pf
