#include "ui/TextDrawing.h"

#include <pango/pangocairo.h>

#include "ui/CGContext.h"

namespace pf {

namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

PangoAlignment toPango(NSTextAlignment a) {
    switch (a) {
    case NSTextAlignment::center:
        return PANGO_ALIGN_CENTER;
    case NSTextAlignment::right:
        return PANGO_ALIGN_RIGHT;
    default:
        return PANGO_ALIGN_LEFT;
    }
}

LayoutPtr makeLayout(const std::string& text, CGFloat width, const NSStringAttributes& attrs) {
    LayoutPtr layout(pango_layout_new(textMeasuringContext()));
    const UIFont font = attrs.font ? *attrs.font : UIFont::systemFont(12);
    pango_layout_set_font_description(layout.get(), font.pangoDescription());
    pango_layout_set_alignment(layout.get(), toPango(attrs.paragraphStyle.alignment));
    pango_layout_set_justify(layout.get(),
                             attrs.paragraphStyle.alignment == NSTextAlignment::justified);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    // Pango widths are ints of 1/1024 unit: anything beyond that range means "no wrapping".
    if (std::isfinite(width) && width >= 0 && width < 1e6)
        pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    else
        pango_layout_set_width(layout.get(), -1);
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    return layout;
}

} // namespace

PangoContext* textMeasuringContext() {
    static PangoContext* ctx = [] {
        PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
        cairo_font_options_t* opts = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(c, opts);
        cairo_font_options_destroy(opts);
        pango_context_set_round_glyph_positions(c, FALSE);
        return c;
    }();
    return ctx;
}

CGRect boundingRect(const std::string& text, CGSize size, unsigned /*options*/,
                    const NSStringAttributes& attributes) {
    if (text.empty()) return CGRect::zero();
    LayoutPtr layout = makeLayout(text, size.width, attributes);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return {0, 0, static_cast<CGFloat>(logical.width) / PANGO_SCALE,
            static_cast<CGFloat>(logical.height) / PANGO_SCALE};
}

int lineCount(const std::string& text, CGFloat width, const NSStringAttributes& attributes) {
    if (text.empty()) return 0;
    return pango_layout_get_line_count(makeLayout(text, width, attributes).get());
}

void drawText(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx || text.empty() || ctx->isDrawingSuppressed()) return;
    const CGRect r = rect.standardized();
    if (r.isNull() || !std::isfinite(r.origin.x) || !std::isfinite(r.origin.y)) return;
    LayoutPtr layout = makeLayout(text, r.size.width, attributes);
    const UIColor color = attributes.foregroundColor.value_or(UIColor::black());
    cairo_t* cr = ctx->cairo();
    ctx->saveGState();
    ctx->setFillColor(color);
    ctx->prepareFillSource();
    cairo_move_to(cr, r.origin.x, r.origin.y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_new_path(cr);
    ctx->restoreGState();
}

} // namespace pf
