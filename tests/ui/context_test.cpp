#include <gtest/gtest.h>

#include <cairo.h>

#include "ui/CGContext.h"
#include "ui/Offscreen.h"
#include "ui/UIBezierPath.h"

using namespace pf;

// A singular or non-finite transform, width or dash would put Cairo into an error state that
// ends all drawing; the context refuses them instead, and a singular scale only suppresses
// drawing until the state it was made in is restored.
TEST(CGContext, BadTransformsWidthsAndDashesLeaveTheContextDrawingUntilRestored) {
    BitmapContext bmp(20, 20);
    CGContext& ctx = bmp.context();
    ScopedCurrentContext current(ctx);
    ctx.saveGState();
    ctx.scaleBy(0, 0);
    EXPECT_TRUE(ctx.isDrawingSuppressed());
    ctx.setFillColor(UIColor(1, 0, 0, 1));
    ctx.fill(CGRect{0, 0, 20, 20});
    ctx.restoreGState();
    EXPECT_FALSE(ctx.isDrawingSuppressed());
    EXPECT_EQ(ctx.fillColor(), UIColor::black()) << "restored with the state";
    EXPECT_EQ(bmp.image().pixel(10, 10).a, 0) << "nothing drawn while suppressed";

    ctx.saveGState();
    ctx.rotate(NAN);
    ctx.setLineWidth(NAN);
    for (const CGFloat bad : {CGFloat(NAN), CGFloat(-1)}) {
        const CGFloat dash[] = {bad, 2};
        ctx.setLineDash(0, dash);
        EXPECT_FALSE(ctx.hasLineDash()) << bad;
    }
    UIBezierPath::rect({2, 2, 16, 16}).fill();
    ctx.restoreGState();
    ctx.restoreGState(); // unbalanced: ignored
    ctx.setFillColor(UIColor(0, 1, 0, 1));
    UIBezierPath::rect({2, 2, 16, 16}).fill();
    EXPECT_EQ(bmp.image().pixel(10, 10), (RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(cairo_status(ctx.cairo()), CAIRO_STATUS_SUCCESS);
    {
        BitmapContext inner(4, 4);
        ScopedCurrentContext nested(inner.context());
        EXPECT_EQ(UIGraphicsGetCurrentContext(), &inner.context()) << "the innermost is current";
    }
    EXPECT_EQ(UIGraphicsGetCurrentContext(), &ctx);
}
