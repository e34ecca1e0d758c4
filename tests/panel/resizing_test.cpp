#include <gtest/gtest.h>

#include "OrvexCompressorViewBase.h"
#include "ResizingBehavior.h"

using pf::CGRect;
using pf::CGSize;
using R0 = OrvexCompressorViewBase::ResizingBehavior0;
using R = OrvexCompressorViewBase::ResizingBehavior;

namespace {
const CGRect kDesign{0, 0, 512, 340};
}

// Each behaviour on a wide target: the rectangle it draws in and the scale it stores; the early
// returns (a zero target, and a target equal to the design rectangle) return the design.
TEST(ResizingApply, EachBehaviourPlacesTheDesignAndStoresItsScale) {
    const struct {
        R0 behaviour;
        CGRect target, expected;
        CGSize scale;
    } rows[] = {
        {R0::aspectFit, {0, 0, 1024, 340}, {256, 0, 512, 340}, {1, 1}},
        {R0::aspectFill, {0, 0, 1024, 340}, {0, -170, 1024, 680}, {2, 2}},
        {R0::stretch, {0, 0, 1024, 340}, {0, 0, 1024, 340}, {2, 1}},
        {R0::center, {0, 0, 1024, 340}, {256, 0, 512, 340}, {1, 1}},
        {R0::aspectFit, {0, 0, 1024, 680}, {0, 0, 1024, 680}, {2, 2}},
        // A zero target keeps the stored scale (here the 2 of the row before).
        {R0::aspectFit, CGRect::zero(), kDesign, {2, 2}},
        // Exactly the design size stores the true scale of 1, not the stale 2.
        {R0::aspectFit, kDesign, kDesign, {1, 1}},
    };
    OrvexCompressorViewBase base;
    for (const auto& row : rows) {
        EXPECT_EQ(panel::apply(row.behaviour, kDesign, row.target, base), row.expected)
            << panel::rawValue(row.behaviour);
        EXPECT_EQ(base.viewScale, row.scale) << panel::rawValue(row.behaviour);
    }
    panel::apply(R0::stretch, kDesign, CGRect{0, 0, 1024, 340}, base);
    EXPECT_FLOAT_EQ(base.getScalingFactor(), 2.0f) << "the horizontal factor only";
    // The plain variant centres in an offset target; a negative design width still scales up.
    EXPECT_EQ(panel::apply(R::aspectFit, CGRect{0, 0, 90, 90}, CGRect{10, 20, 180, 90}),
              (CGRect{55, 20, 90, 90}));
    EXPECT_EQ(panel::apply(R::stretch, CGRect{0, 0, -100, 50}, CGRect{0, 0, 200, 100}),
              (CGRect{0, 0, 200, 100}));
    EXPECT_FALSE(panel::resizingFromRawValue<R>(4).has_value());
    EXPECT_FALSE(panel::resizingFromRawValue<R>(-1).has_value());
    EXPECT_EQ(panel::resizingFromRawValue<R0>(3), R0::center);
}
