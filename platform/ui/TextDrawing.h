// Measuring and drawing attributed text with Pango, the subset the panel uses of the platform's
// string drawing: a font, a foreground colour and a paragraph style (alignment); text wraps at
// word (or, for a word longer than the line, character) boundaries.
//
// Every layout is made in one measuring context with an identity transform, hint metrics and
// glyph-position rounding off, and then painted through the current context's transform; so a
// text lays out identically at every scale, and measuring needs no drawing context.
// [main-thread]
#pragma once

#include <optional>
#include <string>

#include "ui/CGGeometry.h"
#include "ui/UIColor.h"
#include "ui/UIFont.h"

typedef struct _PangoContext PangoContext;

namespace pf {

enum class NSTextAlignment { left, center, right, justified, natural };

struct NSParagraphStyle {
    NSTextAlignment alignment = NSTextAlignment::natural;
};
using NSMutableParagraphStyle = NSParagraphStyle;

// The platform's attribute dictionary, reduced to the keys in use. An absent font is the
// system font of size 12; an absent colour is black.
struct NSStringAttributes {
    std::optional<UIFont> font;
    std::optional<UIColor> foregroundColor;
    NSParagraphStyle paragraphStyle;
};

enum NSStringDrawingOptions : unsigned {
    NSStringDrawingUsesLineFragmentOrigin = 1u << 0,
};

// The rectangle the text occupies when laid out in `size` (width wraps; an infinite or huge
// width does not), from the line-fragment origin: origin (0, 0), the widest line's width and
// the height of all lines. An empty text measures (0, 0, 0, 0).
CGRect boundingRect(const std::string& text, CGSize size, unsigned options,
                    const NSStringAttributes& attributes);

// Number of lines the text takes at that width (0 for an empty text).
int lineCount(const std::string& text, CGFloat width, const NSStringAttributes& attributes);

// Draws the text laid out in `rect` (wrapped at its width, aligned in it, from its top) into
// the current context. Nothing without a current context, or while its drawing is suppressed.
void drawText(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes);

// The shared measuring context (owned by this layer).
PangoContext* textMeasuringContext();

} // namespace pf
