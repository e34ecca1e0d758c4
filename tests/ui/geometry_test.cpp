#include <gtest/gtest.h>

#include "ui/CGGeometry.h"

using namespace pf;

TEST(Geometry, RectanglesAreHalfOpenStandardizedAndBoxedAfterTransforms) {
    EXPECT_EQ((CGRect{10, 20, -4, -6}).standardized(), (CGRect{6, 14, 4, 6}));
    const CGRect r{0, 0, 10, 10};
    EXPECT_FALSE(r.contains(CGPoint{10, 5}));
    EXPECT_FALSE(r.contains(CGPoint{5, 10}));
    EXPECT_TRUE(r.intersects(CGRect{10, 0, 5, 5})) << "touching edges intersect";
    EXPECT_FALSE(r.intersects(CGRect{10.5, 0, 5, 5}));
    EXPECT_EQ(r.intersection(CGRect{5, -5, 10, 10}), (CGRect{5, 0, 5, 5}));
    const CGRect turned = CGRect{0, 0, 10, 20}.applying(CGAffineTransform::makeRotation(M_PI / 2));
    EXPECT_NEAR(turned.minX(), -20, 1e-9);
    EXPECT_NEAR(turned.width(), 20, 1e-9);
}

TEST(Geometry, TransformsComposeInThePlatformsOrderAndOnlyRegularOnesInvert) {
    // Scale then translate: translatedBy prepends, so the translation is scaled too.
    const auto t = CGAffineTransform::identity().scaledBy(2, 3).translatedBy(1, 1);
    EXPECT_EQ(applying(CGPoint{0, 0}, t), (CGPoint{2, 3}));
    const CGPoint p = applying(CGPoint{1, 0}, CGAffineTransform::makeRotation(M_PI / 2));
    EXPECT_NEAR(p.x, 0, 1e-12); // clockwise on a y-down screen
    EXPECT_NEAR(p.y, 1, 1e-12);
    for (const auto& singular :
         {CGAffineTransform::makeScale(0, 0), CGAffineTransform::makeScale(1, NAN),
          CGAffineTransform::makeTranslation(INFINITY, 0)})
        EXPECT_FALSE(singular.isInvertible());
    const auto u = CGAffineTransform::makeScale(2, 4).translatedBy(3, -1);
    const CGPoint back = applying(applying(CGPoint{7, 9}, u), u.inverted());
    EXPECT_NEAR(std::hypot(back.x - 7, back.y - 9), 0, 1e-12);
}
