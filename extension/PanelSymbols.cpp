#include "PanelSymbols.h"

#include <cmath>

#include "ui/TextDrawing.h"

namespace panel {

CGFloat needleAngle(CGFloat value, CGFloat sweep) {
    return (2 * value - 1) * (-sweep);
}

std::string knobValueText(CGFloat value) {
    const CGFloat hundred = value * 100;
    const CGFloat rounded = std::round(hundred); // halves away from zero
    // 2^63 itself does not fit; everything below it in magnitude does.
    if (!std::isfinite(rounded) || std::fabs(rounded) >= 9223372036854775808.0) return {};
    return std::to_string(static_cast<long long>(rounded));
}

UIBezierPath needlePath(CGPoint from, CGPoint to, CGFloat width) {
    UIBezierPath p;
    p.move(from);
    p.addLine(to);
    p.lineWidth = width;
    p.lineCapStyle = pf::CGLineCap::round;
    p.lineJoinStyle = pf::CGLineJoin::round;
    return p;
}

void strokeNeedle(CGContext& ctx, CGPoint pivot, CGFloat value, CGFloat sweep,
                  const UIBezierPath& needle) {
    const CGFloat a = needleAngle(value, sweep);
    if (!std::isfinite(a)) return;
    ctx.saveGState();
    ctx.translateBy(pivot.x, pivot.y);
    ctx.rotate(-a * M_PI / 180);
    needle.stroke();
    ctx.restoreGState();
}

void drawTextBlock(const std::string& text, const CGRect& rect, const std::optional<UIFont>& font,
                   const UIColor& color) {
    CGContext* ctx = pf::UIGraphicsGetCurrentContext();
    if (!ctx || !font || text.empty()) return;
    pf::NSStringAttributes attrs;
    attrs.font = font;
    attrs.foregroundColor = color;
    attrs.paragraphStyle.alignment = pf::NSTextAlignment::center;
    const CGFloat h = pf::boundingRect(text, {rect.width(), std::numeric_limits<CGFloat>::max()},
                                       pf::NSStringDrawingUsesLineFragmentOrigin, attrs)
                          .height();
    ctx->saveGState();
    ctx->clip(rect);
    pf::drawText(text, {rect.minX(), rect.minY() + (rect.height() - h) / 2, rect.width(), h},
                 attrs);
    ctx->restoreGState();
}

void DesignFrame::enter(const CGRect& target, CGFloat w, CGFloat h) {
    ctx_->translateBy(target.minX(), target.minY());
    ctx_->scaleBy(target.width() / w, target.height() / h);
}

void placeSymbol(CGContext& ctx, CGPoint anchor, CGFloat factor, const CGRect& r,
                 const std::function<void(const CGRect& frame)>& draw) {
    ctx.saveGState();
    ctx.translateBy(anchor.x, anchor.y);
    ctx.scaleBy(factor, factor);
    ctx.saveGState();
    ctx.clip(r);
    ctx.translateBy(r.minX(), r.minY());
    draw(CGRect{0, 0, r.width(), r.height()});
    ctx.restoreGState();
    ctx.restoreGState();
}

} // namespace panel
