#include "ui/CGContext.h"

#include <cairo.h>

#include <algorithm>

namespace pf {

namespace {

cairo_matrix_t toCairo(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

thread_local std::vector<CGContext*> currentContexts;

} // namespace

CGContext::CGContext(cairo_t* cr) : cr_(cairo_reference(cr)) {
    stack_.emplace_back();
    cairo_set_line_width(cr_, 1);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
    cairo_set_dash(cr_, nullptr, 0, 0);
}

CGContext::~CGContext() {
    // Leave the Cairo context as we found it, whatever the caller left unbalanced.
    while (stack_.size() > 1)
        restoreGState();
    cairo_destroy(cr_);
}

void CGContext::saveGState() {
    cairo_save(cr_);
    stack_.push_back(state());
}

void CGContext::restoreGState() {
    if (stack_.size() <= 1) return;
    cairo_restore(cr_);
    stack_.pop_back();
}

CGAffineTransform CGContext::ctm() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

bool CGContext::applyMatrixChecked(const CGAffineTransform& next) {
    if (state().suppressed) return false;
    if (!next.isInvertible()) {
        state().suppressed = true;
        return false;
    }
    const cairo_matrix_t m = toCairo(next);
    cairo_set_matrix(cr_, &m);
    return true;
}

void CGContext::translateBy(CGFloat x, CGFloat y) {
    applyMatrixChecked(ctm().translatedBy(x, y));
}

void CGContext::scaleBy(CGFloat sx, CGFloat sy) {
    applyMatrixChecked(ctm().scaledBy(sx, sy));
}

void CGContext::rotate(CGFloat radians) {
    applyMatrixChecked(ctm().rotated(radians));
}

void CGContext::concatenate(const CGAffineTransform& t) {
    applyMatrixChecked(t.concatenating(ctm()));
}

void CGContext::clip(const CGRect& rect) {
    if (state().suppressed) return;
    const CGRect r = rect.standardized();
    if (r.isNull() || !std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) ||
        !std::isfinite(r.size.width) || !std::isfinite(r.size.height)) {
        // The platform clips to nothing; so do we, without handing Cairo non-finite numbers.
        cairo_new_path(cr_);
        cairo_rectangle(cr_, 0, 0, 0, 0);
        cairo_clip(cr_);
        return;
    }
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_clip(cr_);
}

CGRect CGContext::clipBoundingBox() const {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
    return {x0, y0, x1 - x0, y1 - y0};
}

void CGContext::setLineWidth(CGFloat width) {
    if (!std::isfinite(width) || width < 0) return;
    state().lineWidth = width;
    cairo_set_line_width(cr_, width);
}

void CGContext::setLineCap(CGLineCap cap) {
    cairo_set_line_cap(cr_, cap == CGLineCap::round    ? CAIRO_LINE_CAP_ROUND
                            : cap == CGLineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                       : CAIRO_LINE_CAP_BUTT);
}

void CGContext::setLineJoin(CGLineJoin join) {
    cairo_set_line_join(cr_, join == CGLineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                             : join == CGLineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                         : CAIRO_LINE_JOIN_MITER);
}

void CGContext::setLineDash(CGFloat phase, std::span<const CGFloat> lengths) {
    // Cairo puts itself into an error state for negative or all-zero dashes; refuse them here.
    bool anyPositive = false;
    for (CGFloat l : lengths) {
        if (!std::isfinite(l) || l < 0) return;
        anyPositive = anyPositive || l > 0;
    }
    if (!std::isfinite(phase)) return;
    if (lengths.empty() || !anyPositive) {
        cairo_set_dash(cr_, nullptr, 0, 0);
        return;
    }
    cairo_set_dash(cr_, lengths.data(), static_cast<int>(lengths.size()), phase);
}

bool CGContext::hasLineDash() const {
    return cairo_get_dash_count(cr_) > 0;
}

void CGContext::setAlpha(CGFloat alpha) {
    if (!std::isfinite(alpha)) return;
    state().alpha = std::clamp(alpha, 0.0, 1.0);
}

void CGContext::setSource(const UIColor& c) {
    cairo_set_source_rgba(cr_, c.red(), c.green(), c.blue(), c.alpha() * state().alpha);
}

bool CGContext::prepareFillSource() {
    if (state().suppressed) return false;
    setSource(state().fill);
    return true;
}

bool CGContext::fillCurrentPath(bool evenOdd) {
    if (state().suppressed) {
        cairo_new_path(cr_);
        return false;
    }
    setSource(state().fill);
    cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr_);
    return true;
}

bool CGContext::strokeCurrentPath() {
    if (state().suppressed) {
        cairo_new_path(cr_);
        return false;
    }
    setSource(state().stroke);
    cairo_stroke(cr_);
    return true;
}

void CGContext::fill(const CGRect& rect) {
    const CGRect r = rect.standardized();
    cairo_new_path(cr_);
    if (r.isNull()) return;
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    fillCurrentPath();
}

void CGContext::stroke(const CGRect& rect) {
    const CGRect r = rect.standardized();
    cairo_new_path(cr_);
    if (r.isNull()) return;
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    strokeCurrentPath();
}

void CGContext::clear(const CGRect& rect) {
    if (state().suppressed) return;
    const CGRect r = rect.standardized();
    if (r.isNull()) return;
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

CGContext* UIGraphicsGetCurrentContext() {
    return currentContexts.empty() ? nullptr : currentContexts.back();
}

void UIGraphicsPushContext(CGContext& ctx) {
    currentContexts.push_back(&ctx);
}

void UIGraphicsPopContext() {
    if (!currentContexts.empty()) currentContexts.pop_back();
}

} // namespace pf
