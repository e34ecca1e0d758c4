#include <gtest/gtest.h>

#include "ui/Offscreen.h"
#include "ui/UIWindow.h"

#include "Swatch.h"

using namespace pf;

namespace {

// Pins `plugin` to the four edges of its superview `area` (100 x 100), then grows `area` to
// 200 x 150: after each layout `plugin` fills it.
void pinAndGrow(const std::shared_ptr<UIView>& area, const std::shared_ptr<UIView>& plugin) {
    plugin->translatesAutoresizingMaskIntoConstraints = false;
    NSLayoutConstraint::activate({
        {plugin, NSLayoutAttribute::top, area, NSLayoutAttribute::top},
        {plugin, NSLayoutAttribute::leading, area, NSLayoutAttribute::leading},
        {plugin, NSLayoutAttribute::bottom, area, NSLayoutAttribute::bottom},
        {plugin, NSLayoutAttribute::trailing, area, NSLayoutAttribute::trailing},
    });
    area->layoutIfNeeded();
    EXPECT_EQ(plugin->frame(), (CGRect{0, 0, 100, 100}));
    area->setBounds({0, 0, 200, 150});
    area->layoutIfNeeded();
    EXPECT_EQ(plugin->frame(), (CGRect{0, 0, 200, 150}));
}

} // namespace

TEST(ViewHitTesting, FrontMostVisibleInteractiveViewWinsAndTransformsCount) {
    auto root = std::make_shared<UIView>(CGRect{0, 0, 200, 200});
    auto back = std::make_shared<UIView>(CGRect{0, 0, 200, 200});
    auto front = std::make_shared<UIView>(CGRect{50, 50, 50, 50});
    root->addSubview(back);
    root->addSubview(front);
    EXPECT_EQ(root->hitTest({75, 75}, nullptr), front.get());

    front->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({75, 75}, nullptr), back.get()) << "nearly transparent views";
    front->setAlpha(0.02);
    EXPECT_EQ(root->hitTest({75, 75}, nullptr), front.get());

    // Scaled 2x about its centre (75, 75), the front view now covers 25..125.
    front->setTransform(CGAffineTransform::makeScale(2, 2));
    EXPECT_EQ(root->hitTest({30, 30}, nullptr), front.get());
    EXPECT_EQ(root->hitTest({20, 30}, nullptr), back.get());
    front->setTransform(CGAffineTransform::makeScale(0, 0));
    EXPECT_EQ(root->hitTest({75, 75}, nullptr), back.get()) << "a collapsed view takes no touch";
}

TEST(ViewLayout, AutoresizingAndEdgeConstraintsMakeSubviewsFollowTheirSuperview) {
    auto area = std::make_shared<UIView>(CGRect{0, 0, 100, 100});
    auto fill = std::make_shared<UIView>(CGRect{10, 10, 80, 80});
    fill->autoresizingMask = UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
    auto pinnedRight = std::make_shared<UIView>(CGRect{70, 0, 30, 10});
    pinnedRight->autoresizingMask = UIViewAutoresizingFlexibleLeftMargin;
    auto plugin = std::make_shared<UIView>(CGRect{5, 5, 10, 10});
    for (const auto& v : {fill, pinnedRight, plugin})
        area->addSubview(v);
    pinAndGrow(area, plugin);
    EXPECT_EQ(fill->frame(), (CGRect{10, 10, 180, 130}));
    EXPECT_EQ(pinnedRight->frame(), (CGRect{170, 0, 30, 10}));
    plugin->removeFromSuperview();
    EXPECT_TRUE(area->constraints().empty()) << "its constraints leave with the view";
}

// The edge constraints alone, with no sibling laid out by its autoresizing mask.
TEST(ViewLayout, EdgeConstraintsMakeASubviewFollowItsSuperviewAndLeaveWithIt) {
    auto area = std::make_shared<UIView>(CGRect{0, 0, 100, 100});
    auto plugin = std::make_shared<UIView>(CGRect{5, 5, 10, 10});
    area->addSubview(plugin);
    pinAndGrow(area, plugin);
    plugin->removeFromSuperview();
    EXPECT_TRUE(area->constraints().empty()) << "its constraints leave with the view";
}

TEST(ViewDisplay, MarksCoalesceAndOnlyMarkedResizedOrShownViewsRedraw) {
    auto window = std::make_shared<UIWindow>(CGRect{0, 0, 100, 100});
    auto a = std::make_shared<Swatch>(CGRect{0, 0, 50, 50}, UIColor(1, 0, 0, 1));
    auto b = std::make_shared<Swatch>(CGRect{50, 0, 50, 50}, UIColor(0, 0, 1, 1));
    window->addSubview(a);
    window->addSubview(b);
    window->runPasses();
    a->setNeedsDisplay();
    a->setNeedsDisplay();
    window->runPasses();
    EXPECT_EQ(a->draws, 2) << "two marks, one redraw";
    EXPECT_EQ(b->draws, 1) << "an unmarked view is not redrawn";
    b->setBounds({0, 0, 40, 40});
    window->runPasses();
    EXPECT_EQ(b->draws, 2) << "a resized view is redrawn";
    a->setHidden(true);
    a->setNeedsDisplay();
    window->runPasses();
    a->setHidden(false);
    window->runPasses();
    EXPECT_EQ(a->draws, 3) << "its mark made while hidden waited until it was shown";
    window->setScreenScale(2);
    window->runPasses();
    EXPECT_EQ(b->draws, 3) << "a new screen scale redraws every view";
}

TEST(ViewCompositing, AlphaIsGroupOpacityAndClippingIsOptIn) {
    auto root = std::make_shared<UIView>(CGRect{0, 0, 40, 20});
    root->setBackgroundColor(UIColor::white());
    auto group = std::make_shared<UIView>(CGRect{0, 0, 20, 20});
    group->setAlpha(0.5);
    // Two overlapping opaque black children: with group opacity the overlap is no darker. The
    // second reaches past the group's bounds.
    group->addSubview(std::make_shared<Swatch>(CGRect{0, 0, 15, 20}, UIColor::black()));
    group->addSubview(std::make_shared<Swatch>(CGRect{5, 0, 25, 20}, UIColor::black()));
    root->addSubview(group);
    ImageSurface img = renderView(*root);
    EXPECT_NEAR(img.pixel(10, 10).r, 128, 2);
    EXPECT_NEAR(img.pixel(25, 10).r, 128, 2) << "not clipped: the child shows past the bounds";
    group->setClipsToBounds(true);
    img = renderView(*root);
    EXPECT_EQ(img.pixel(25, 10).r, 255);
}
