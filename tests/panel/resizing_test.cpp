#include <gtest/gtest.h>

#include "OrvexCompressorViewBase.h"
#include "OrvexDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "ProbeHelpers.h"
#include "ResizingBehavior.h"

using pf::CGRect;
using pf::CGSize;
using R0 = OrvexCompressorViewBase::ResizingBehavior0;
using R = OrvexCompressorViewBase::ResizingBehavior;

namespace {
const CGRect kDesign{0, 0, 512, 340};
}

TEST(ResizingApply, FourBehavioursOnAWideTarget) {
    const CGRect wide{0, 0, 1024, 340};
    OrvexCompressorViewBase base;
    EXPECT_EQ(panel::apply(R0::aspectFit, kDesign, wide, base), (CGRect{256, 0, 512, 340}));
    EXPECT_EQ(base.viewScale, (CGSize{1, 1}));
    EXPECT_EQ(panel::apply(R0::aspectFill, kDesign, wide, base), (CGRect{0, -170, 1024, 680}));
    EXPECT_EQ(base.viewScale, (CGSize{2, 2}));
    EXPECT_EQ(panel::apply(R0::stretch, kDesign, wide, base), (CGRect{0, 0, 1024, 340}));
    EXPECT_EQ(base.viewScale, (CGSize{2, 1}));
    EXPECT_FLOAT_EQ(base.getScalingFactor(), 2.0f) << "the horizontal factor only";
    EXPECT_EQ(panel::apply(R0::center, kDesign, wide, base), (CGRect{256, 0, 512, 340}));
    EXPECT_EQ(base.viewScale, (CGSize{1, 1}));
}

TEST(ResizingApply, AspectFitDoublesIntoTwiceTheDesignSize) {
    OrvexDynamicsDisplayViewBase base;
    EXPECT_EQ(panel::apply(OrvexDynamicsDisplayViewBase::ResizingBehavior0::aspectFit, kDesign,
                           CGRect{0, 0, 1024, 680}, base),
              (CGRect{0, 0, 1024, 680}));
    EXPECT_EQ(base.viewScale, (CGSize{2, 2}));
    EXPECT_FLOAT_EQ(base.getScalingFactor(), 2.0f);
}

TEST(ResizingApply, PlainVariantStoresNothingAndCentresInAnOffsetTarget) {
    EXPECT_EQ(panel::apply(R::aspectFit, CGRect{0, 0, 90, 90}, CGRect{10, 20, 180, 90}),
              (CGRect{55, 20, 90, 90}));
}

TEST(ResizingApply, NegativeDesignWidthGivesAPositiveScaleAndStandardisedResult) {
    const CGRect r = panel::apply(R::stretch, CGRect{0, 0, -100, 50}, CGRect{0, 0, 200, 100});
    EXPECT_EQ(r, (CGRect{0, 0, 200, 100}));
}

TEST(ResizingApply, ZeroTargetReturnsTheDesignAndKeepsTheStoredScale) {
    OrvexCompressorViewBase base;
    panel::apply(R0::aspectFit, kDesign, CGRect{0, 0, 1024, 680}, base);
    EXPECT_EQ(panel::apply(R0::aspectFit, kDesign, CGRect::zero(), base), kDesign);
    EXPECT_EQ(base.viewScale, (CGSize{2, 2}));
}

// A panel first drawn at 1024 x 680 and then at exactly its design size used to keep the scale
// of 2, so touches were mapped to the wrong controls.
TEST(ResizingApply, DrawingAtExactlyTheDesignSizeStoresTheTrueScaleOfOne) {
    OrvexCompressorViewBase base;
    panel::apply(R0::aspectFit, kDesign, CGRect{0, 0, 1024, 680}, base);
    ASSERT_EQ(base.viewScale, (CGSize{2, 2}));
    EXPECT_EQ(panel::apply(R0::aspectFit, kDesign, kDesign, base), kDesign);
    EXPECT_EQ(base.viewScale, (CGSize{1, 1}));

    PluginFrameBaseEx frame;
    panel::apply(PluginFrameBaseEx::ResizingBehavior::aspectFit, CGRect{0, 0, 400, 300},
                 CGRect{0, 0, 800, 600}, frame);
    ASSERT_EQ(frame.viewScale, (CGSize{2, 2}));
    frame.draw({0, 0, 400, 300}); // no context: nothing drawn, nothing stored
    EXPECT_EQ(frame.viewScale, (CGSize{2, 2}));
    panel::apply(PluginFrameBaseEx::ResizingBehavior::aspectFit, CGRect{0, 0, 400, 300},
                 CGRect{0, 0, 400, 300}, frame);
    EXPECT_EQ(frame.viewScale, (CGSize{1, 1}));
}

TEST(ResizingRawValues, OnlyZeroToThreeNameACase) {
    EXPECT_EQ(panel::resizingFromRawValue<R>(2), R::stretch);
    EXPECT_EQ(panel::resizingFromRawValue<R0>(3), R0::center);
    EXPECT_FALSE(panel::resizingFromRawValue<R>(4).has_value());
    EXPECT_FALSE(panel::resizingFromRawValue<R>(-1).has_value());
    EXPECT_EQ(panel::rawValue(PluginFrameBaseEx::ResizingBehavior::aspectFill), 1);
}

TEST(ContrastRule, LinesTakeGreyOneMinusCAndSelectionColoursStay) {
    OrvexCompressorViewBase base;
    panel::applyContrast(base, 0.15);
    EXPECT_TRUE(colorNear(base.colorMain, pf::UIColor(0.85, 0.85, 0.85, 1)));
    EXPECT_EQ(base.colorContrast, base.colorMain);
    EXPECT_TRUE(colorNear(base.colorContrastInverted, pf::UIColor(0.15, 0.15, 0.15, 1)));
    EXPECT_TRUE(colorNear(base.colorSelected1, pf::UIColor(0.76, 0.29, 0.29, 1)));
    panel::applyContrast(base, 0);
    EXPECT_TRUE(colorNear(base.colorMain, pf::UIColor::white()));
    panel::applyContrast(base, 1);
    EXPECT_TRUE(colorNear(base.colorMain, pf::UIColor(0, 0, 0, 1)));

    auto display = std::make_shared<OrvexDynamicsDisplayView>(CGRect{0, 0, 100, 100});
    display->setContrast(0.2);
    const auto& b = *display->baseClass;
    EXPECT_TRUE(colorNear(b.colorContrast, pf::UIColor(0.8, 0.8, 0.8, 1)));
    EXPECT_TRUE(colorNear(b.colorContrastInverted, pf::UIColor(0.2, 0.2, 0.2, 1)));
    EXPECT_TRUE(colorNear(b.colorMain, pf::UIColor(0.8, 0.8, 0.8, 1)));
    EXPECT_TRUE(colorNear(b.colorSelected2, pf::UIColor(0.195, 0.479, 0.75, 1)));
    EXPECT_TRUE(display->needsDisplay());
}
