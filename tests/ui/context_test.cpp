#include <gtest/gtest.h>

#include <cairo.h>

#include "ui/CGContext.h"
#include "ui/Offscreen.h"
#include "ui/UIBezierPath.h"

using namespace pf;

namespace {

bool near(RGBA8 p, int r, int g, int b, int a = 255, int tol = 2) {
    return std::abs(p.r - r) <= tol && std::abs(p.g - g) <= tol && std::abs(p.b - b) <= tol &&
           std::abs(p.a - a) <= tol;
}

} // namespace

// A singular or non-finite transform, width or dash would put Cairo into an error state that
// ends all drawing; the context refuses them instead, and a singular scale only suppresses
// drawing until the state it was made in is restored.
TEST(CGContextGuard, BadTransformsWidthsAndDashesLeaveTheContextDrawing) {
    BitmapContext bmp(20, 20);
    CGContext& ctx = bmp.context();
    ScopedCurrentContext current(ctx);
    ctx.saveGState();
    ctx.scaleBy(0, 0);
    EXPECT_TRUE(ctx.isDrawingSuppressed());
    ctx.setFillColor(UIColor(1, 0, 0, 1));
    ctx.fill(CGRect{0, 0, 20, 20});
    ctx.saveGState(); // nested states stay suppressed
    ctx.translateBy(1, 1);
    EXPECT_TRUE(ctx.isDrawingSuppressed());
    ctx.restoreGState();
    ctx.restoreGState();
    EXPECT_FALSE(ctx.isDrawingSuppressed());
    EXPECT_EQ(bmp.image().pixel(10, 10).a, 0) << "nothing drawn while suppressed";

    ctx.saveGState();
    ctx.rotate(NAN);
    ctx.setLineWidth(NAN);
    const CGFloat badDash[] = {NAN, 2};
    ctx.setLineDash(0, badDash);
    EXPECT_FALSE(ctx.hasLineDash());
    const CGFloat negativeDash[] = {-1, 2};
    ctx.setLineDash(0, negativeDash);
    EXPECT_FALSE(ctx.hasLineDash());
    UIBezierPath::rect({2, 2, 16, 16}).fill();
    ctx.restoreGState();
    ctx.restoreGState(); // unbalanced: ignored
    EXPECT_EQ(ctx.gStateDepth(), 0);
    ctx.setFillColor(UIColor(0, 1, 0, 1));
    UIBezierPath::rect({2, 2, 16, 16}).fill();
    EXPECT_TRUE(near(bmp.image().pixel(10, 10), 0, 255, 0));
    EXPECT_EQ(cairo_status(ctx.cairo()), CAIRO_STATUS_SUCCESS);
}

TEST(CGContextState, RestoreUndoesTransformClipDashAndColoursAndTheInnermostContextIsCurrent) {
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    BitmapContext bmp(40, 40);
    CGContext& ctx = bmp.context();
    ScopedCurrentContext current(ctx);
    {
        BitmapContext inner(4, 4);
        ScopedCurrentContext nested(inner.context());
        EXPECT_EQ(UIGraphicsGetCurrentContext(), &inner.context());
    }
    EXPECT_EQ(UIGraphicsGetCurrentContext(), &ctx);
    const CGAffineTransform before = ctx.ctm();
    ctx.saveGState();
    ctx.translateBy(5, 5);
    ctx.rotate(0.3);
    ctx.clip(CGRect{0, 0, 2, 2});
    const CGFloat dash[] = {2, 3};
    ctx.setLineDash(0, dash);
    ctx.setFillColor(UIColor(1, 0, 0, 1));
    EXPECT_TRUE(ctx.hasLineDash());
    ctx.restoreGState();
    EXPECT_EQ(ctx.ctm(), before);
    EXPECT_FALSE(ctx.hasLineDash());
    EXPECT_EQ(ctx.fillColor(), UIColor::black());
    EXPECT_EQ(ctx.clipBoundingBox(), (CGRect{0, 0, 40, 40}));
}

TEST(UIBezierPathShapes, ContainsFollowsTheShapeAndAnEmptyPathContainsNothing) {
    EXPECT_FALSE(UIBezierPath().contains({0, 0}));
    const auto rect = UIBezierPath::rect({39, 44, 90, 98});
    EXPECT_TRUE(rect.contains({40, 50}));
    EXPECT_FALSE(rect.contains({133, 50}));
    EXPECT_EQ(rect.bounds(), (CGRect{39, 44, 90, 98}));
    const auto oval = UIBezierPath::ovalIn({0, 0, 100, 50});
    EXPECT_TRUE(oval.contains({50, 25}));
    EXPECT_FALSE(oval.contains({3, 3})); // the corner of the box is outside the ellipse
    const auto rounded = UIBezierPath::roundedRect({0, 0, 100, 100}, 30);
    EXPECT_FALSE(rounded.contains({1, 1}));
    EXPECT_TRUE(rounded.contains({50, 1}));
}

TEST(UIBezierPathPainting, StrokeUsesThePathsWidthAndTheContextsColourAndDash) {
    BitmapContext bmp(100, 20);
    CGContext& ctx = bmp.context();
    ScopedCurrentContext current(ctx);
    ctx.setStrokeColor(UIColor(0, 0, 0, 1));
    const CGFloat dash[] = {10, 10};
    ctx.setLineDash(0, dash);
    UIBezierPath line;
    line.move({0, 10});
    line.addLine({100, 10});
    line.lineWidth = 6;
    line.stroke();
    EXPECT_TRUE(near(bmp.image().pixel(5, 8), 0, 0, 0)) << "inside a dash, within the width";
    EXPECT_EQ(bmp.image().pixel(15, 10).a, 0) << "in a gap of the dash";
    EXPECT_EQ(bmp.image().pixel(5, 15).a, 0) << "outside the line's width";
    EXPECT_EQ(ctx.lineWidth(), 1) << "the path's width does not stay on the context";
}
