#include <gtest/gtest.h>

#include "ui/CGGeometry.h"

using namespace pf;

TEST(Geometry, RectanglesAreHalfOpenStandardizedAndBoxedAfterTransforms) {
    const CGRect flipped{10, 20, -4, -6};
    EXPECT_EQ(flipped.standardized(), (CGRect{6, 14, 4, 6}));
    EXPECT_DOUBLE_EQ(flipped.minX(), 6);
    EXPECT_DOUBLE_EQ(flipped.maxY(), 20);

    const CGRect r{0, 0, 10, 10};
    EXPECT_TRUE(r.contains(CGPoint{0, 0}));
    EXPECT_TRUE(r.contains(CGPoint{9.999, 5}));
    EXPECT_FALSE(r.contains(CGPoint{10, 5}));
    EXPECT_FALSE(r.contains(CGPoint{5, 10}));
    EXPECT_FALSE(CGRect::null().contains(CGPoint{0, 0}));
    EXPECT_TRUE(r.intersects(CGRect{10, 0, 5, 5})) << "touching edges intersect";
    EXPECT_EQ(r.intersection(CGRect{10, 0, 5, 5}).width(), 0);
    EXPECT_FALSE(r.intersects(CGRect{10.5, 0, 5, 5}));
    EXPECT_TRUE(r.intersection(CGRect{20, 20, 1, 1}).isNull());
    EXPECT_EQ(r.intersection(CGRect{5, -5, 10, 10}), (CGRect{5, 0, 5, 5}));

    const CGRect rotated = CGRect{0, 0, 10, 20}.applying(CGAffineTransform::makeRotation(M_PI / 2));
    EXPECT_NEAR(rotated.minX(), -20, 1e-9);
    EXPECT_NEAR(rotated.width(), 20, 1e-9);
    EXPECT_NEAR(rotated.height(), 10, 1e-9);
}

TEST(Geometry, TransformsComposeInThePlatformsOrderAndOnlyRegularOnesInvert) {
    // Scale then translate: translatedBy prepends, so the translation is scaled too.
    const auto t = CGAffineTransform::identity().scaledBy(2, 3).translatedBy(1, 1);
    EXPECT_EQ(applying(CGPoint{0, 0}, t), (CGPoint{2, 3}));
    const auto c =
        CGAffineTransform::makeScale(2, 2).concatenating(CGAffineTransform::makeTranslation(5, 0));
    EXPECT_EQ(applying(CGPoint{1, 1}, c), (CGPoint{7, 2}));
    const CGPoint p = applying(CGPoint{1, 0}, CGAffineTransform::makeRotation(M_PI / 2));
    EXPECT_NEAR(p.x, 0, 1e-12); // clockwise on a y-down screen
    EXPECT_NEAR(p.y, 1, 1e-12);

    EXPECT_FALSE(CGAffineTransform::makeScale(0, 0).isInvertible());
    EXPECT_FALSE(CGAffineTransform::makeScale(1, NAN).isInvertible());
    EXPECT_FALSE(CGAffineTransform::makeTranslation(INFINITY, 0).isInvertible());
    const auto u = CGAffineTransform::makeScale(2, 4).translatedBy(3, -1);
    ASSERT_TRUE(u.isInvertible());
    const CGPoint back = applying(applying(CGPoint{7, 9}, u), u.inverted());
    EXPECT_NEAR(back.x, 7, 1e-12);
    EXPECT_NEAR(back.y, 9, 1e-12);
    // The platform answers a singular transform's inverse with the transform itself.
    EXPECT_EQ(CGAffineTransform::makeScale(0, 0).inverted(), CGAffineTransform::makeScale(0, 0));
}
