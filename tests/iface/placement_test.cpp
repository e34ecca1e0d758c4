// Where the panel sits and how the mouse moves it: fitted into the plug-in's area, dragged by
// its background, scaled by Ctrl + wheel, put back by a double click, held still by freeze; and
// the appearance controls a long press shows; the outlets by which the panel's parts are set.
#include <gtest/gtest.h>

#include <cmath>

#include "IfaceHarness.h"

using namespace ifacetest;
using pf::CGRect;

namespace {

void expectRect(const CGRect& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.origin.x, x, 1e-9);
    EXPECT_NEAR(r.origin.y, y, 1e-9);
    EXPECT_NEAR(r.size.width, w, 1e-9);
    EXPECT_NEAR(r.size.height, h, 1e-9);
}

class Placement : public ::testing::Test {
protected:
    Harness h;
    std::shared_ptr<Unit> unit = h.open(makeUnit());
    AudioUnitViewController& c = *h.controller;
    const CGRect fitted = c.pluginView->frame();

    // Points on the plug-in's background, off the panel's controls wherever it is.
    const CGPoint background{16, 660}, corner{5, 5};
    void layoutPass() {
        c.view()->setNeedsLayout();
        h.window->runPasses();
    }
    // A still hold of half a second on the background, or a right click: shows (or hides) the
    // contrast and freeze buttons.
    void longPress(int button = 1) {
        const bool hidden = c.freezeButton->isHidden();
        h.down(background, button);
        if (button == 1) {
            h.runFor(490ms);
            EXPECT_EQ(c.freezeButton->isHidden(), hidden) << "before half a second";
            h.runFor(20ms);
        }
        EXPECT_NE(c.freezeButton->isHidden(), hidden);
        EXPECT_EQ(c.contrastButton->isHidden(), c.freezeButton->isHidden());
        h.up(background, button);
        h.runFor(1s);
    }
    // The plug-in in an area of 768 x 510: the panel fitted at one and a half times its design
    // size.
    void use768By510Area() { h.resize(768, 510); }
    // A point on the plug-in's own background, off the panel's controls.
    CGPoint emptyPanelPoint() const { return h.panelPoint({8, 330}); }
};

} // namespace

TEST_F(Placement, TheFitFillsTheHeightOfALandscapeAreaOrTheWidthOtherwise) {
    expectRect(fitted, 0, 0, 1024, 680);
    h.resize(1000, 500);
    expectRect(c.pluginView->frame(), 500 - 500 / 0.6640625 / 2, 0, 500 / 0.6640625, 500);
    c.fitToHeight = false;
    c.centerpluginView();
    expectRect(c.pluginView->frame(), 0, -82.03125, 1000, 664.0625);
    c.fitToHeight = true;
    h.resize(400, 400); // square: the width-filling branch
    expectRect(c.pluginView->frame(), 0, 200 - 400 * 0.6640625 / 2, 400, 400 * 0.6640625);
}

// A drag on the background moves the panel once the pointer has gone 10 points, then with the
// pointer; a layout pass on the way does not put it back, the next one does, and so does a
// double click (two clicks within 0.35 s). Losing the focus ends a drag where it is. A knob
// that lost its touch that way does not keep the panel from being dragged beside it.
TEST_F(Placement, ADragOnTheBackgroundMovesThePanelUntilALayoutPassOrADoubleClick) {
    h.drag(background, {9, 0});
    EXPECT_EQ(c.pluginView->frame(), fitted);
    h.down(background);
    h.move({28, 660});
    h.move({56, 630});
    layoutPass();
    h.move({76, 630});
    h.up({76, 630});
    EXPECT_EQ(c.pluginView->frame(), fitted.offsetBy(60, -30));
    layoutPass();
    EXPECT_EQ(c.pluginView->frame(), fitted);
    h.drag(background, {-50, 20});
    h.doubleClick(corner, 360ms);
    EXPECT_EQ(c.pluginView->frame(), fitted.offsetBy(-50, 20));
    h.doubleClick(corner, 340ms);
    EXPECT_EQ(c.pluginView->frame(), fitted);

    h.resize(1200, 680); // the panel, 1024 wide, with 88 points either side
    const CGRect wide = c.pluginView->frame();
    h.down(h.at(kKnobs[3].at));
    h.send(pf::InputEvent::Kind::focusLost);
    h.down({40, 340});
    h.move({30, 350});
    h.move({20, 360});
    h.send(pf::InputEvent::Kind::focusLost);
    h.move({0, 400});
    h.up({0, 400});
    EXPECT_EQ(c.pluginView->frame(), wide.offsetBy(-20, 20));
}

// Ctrl + wheel: each notch scales the panel by a tenth about its centre, within 128 to 2048
// points of width; notches less than a quarter second apart make one gesture, held through
// layout passes until it ends. A double click puts the panel back.
TEST_F(Placement, EachWheelNotchScalesThePanelAboutItsCentreWithinItsWidthBounds) {
    const struct {
        double notches;
        bool applied;
    } rows[] = {{1, true}, {-21, true}, {-22, false}, {7, true}, {8, false}};
    for (const auto& row : rows) {
        h.wheel(h.at({256, 170}), row.notches);
        const CGRect r = c.pluginView->frame();
        const double width = row.applied ? 1024 * std::pow(1.1, row.notches) : 1024;
        EXPECT_NEAR(r.size.width, width, 1e-6) << row.notches;
        EXPECT_NEAR(r.midX(), fitted.midX(), 1e-6) << row.notches;
        EXPECT_NEAR(r.midY(), fitted.midY(), 1e-6) << row.notches;
        h.runFor(300ms); // the gesture ends
        h.doubleClick(corner);
        EXPECT_EQ(c.pluginView->frame(), fitted);
    }
    for (const double notches : {1, 1, -1}) {
        h.wheel(h.at({256, 170}), notches);
        h.runFor(240ms);
        layoutPass();
    }
    EXPECT_NEAR(c.pluginView->frame().size.width, 1024 * 1.1, 1e-6);
    h.runFor(20ms);
    layoutPass();
    EXPECT_EQ(c.pluginView->frame(), fitted);
}

// A long press shows the contrast and freeze buttons; the contrast button shows and hides the
// brightness slider. Frozen, the panel neither moves nor scales, but a double click still puts
// it back. A long press that hides the buttons hides the slider too and keeps the panel frozen
// until freeze is pressed again.
TEST_F(Placement, TheLongPressControlsShowTheSliderAndFreezeThePanel) {
    ASSERT_TRUE(c.freezeButton->isHidden());
    longPress();
    ASSERT_FALSE(c.freezeButton->isHidden());
    EXPECT_FALSE(c.touchesLocked);
    h.tap(h.at(kContrastButton));
    EXPECT_FALSE(c.brightnessSlider->isHidden());
    EXPECT_TRUE(c.touchesLocked);
    h.tap(h.at(kContrastButton));
    EXPECT_TRUE(c.brightnessSlider->isHidden());
    EXPECT_EQ(c.contrastButton->alpha(), 0.5);
    EXPECT_FALSE(c.touchesLocked);

    h.tap(h.at(kFreezeButton));
    EXPECT_EQ(c.freezeButton->alpha(), 1.0);
    h.drag(background, {40, 40});
    h.wheel(h.at({256, 170}), 2);
    h.runFor(300ms);
    EXPECT_EQ(c.pluginView->frame(), fitted);
    c.pluginView->setFrame(fitted.offsetBy(30, 30));
    h.doubleClick(corner);
    EXPECT_EQ(c.pluginView->frame(), fitted);

    h.tap(h.at(kContrastButton));
    longPress();
    EXPECT_TRUE(c.contrastButton->isHidden());
    EXPECT_TRUE(c.freezeButton->isHidden());
    EXPECT_TRUE(c.brightnessSlider->isHidden());
    h.drag(background, {40, 40});
    EXPECT_EQ(c.pluginView->frame(), fitted);
    longPress(3); // the right button
    h.tap(h.at(kFreezeButton));
    EXPECT_EQ(c.freezeButton->alpha(), 0.5);
    h.drag(background, {40, 40});
    EXPECT_EQ(c.pluginView->frame(), fitted.offsetBy(40, 40));
}

// The slider's value goes unchanged to the plate's grey and the panels' contrast colours; the
// buttons take black or white, whichever reads on that grey.
TEST_F(Placement, TheBrightnessSetsThePlateAndPanelsAndTheButtonsStayLegible) {
    const auto plateRed = [&] {
        const CGPoint p = h.at({8, 170}); // inside the plate, off the panel's outline
        return h.shown().pixel(static_cast<int>(p.x), static_cast<int>(p.y)).r;
    };
    EXPECT_NEAR(plateRed(), 0.15 * 255, 2);
    // The plate leaves a margin of 2, where the plug-in's own background shows.
    EXPECT_NEAR(h.shown().pixel(1, 340).r, 0.1 * 255, 2);
    c.brightnessSlider->setValue(0.75f);
    c.onBrightnessSlider(*c.brightnessSlider);
    EXPECT_NEAR(plateRed(), 0.75 * 255, 2);
    EXPECT_EQ(c.displayView->baseClass->colorContrastInverted, pf::UIColor(0.75, 0.75, 0.75, 1));
    EXPECT_NEAR(h.pixel(h.shown(), {16.5, 170}).r, 0.25 * 255, 2); // the panel's outline
    const auto luminance = [](double v) {
        v = std::clamp(v, 0.0, 1.0);
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    for (const float v : {0.0f, 0.15f, 0.3f, 0.46f, 0.6f, 0.85f, 1.0f}) {
        c.brightnessSlider->setValue(v);
        c.onBrightnessSlider(*c.brightnessSlider);
        for (const auto* button : {c.contrastButton.get(), c.freezeButton.get()}) {
            const double a = luminance(button->tintColor.red()), b = luminance(v);
            EXPECT_GE((std::max(a, b) + 0.05) / (std::min(a, b) + 0.05), 4.5)
                << "brightness " << v << ", " << button->title();
        }
    }
}

TEST_F(Placement, ADragOnThePanelsBackgroundMovesItUntilTheNextLayout) {
    use768By510Area();
    const CGRect fitted = h.controller->pluginView->frame();
    const CGPoint p = emptyPanelPoint();
    h.down(p);
    EXPECT_FALSE(h.controller->touchesLocked);
    h.move({p.x + 20, p.y});
    EXPECT_TRUE(h.controller->isAutoLayoutLocked());
    h.move({p.x + 40, p.y - 30});
    h.window->runPasses(); // a layout pass during the gesture does not re-centre
    expectRect(h.controller->pluginView->frame(), fitted.origin.x + 40, fitted.origin.y - 30,
               fitted.size.width, fitted.size.height);
    h.up({p.x + 40, p.y - 30});
    EXPECT_FALSE(h.controller->isAutoLayoutLocked());
    EXPECT_EQ(h.controller->savedControlFrame(), h.controller->pluginView->frame());
}

// The appearance controls: a long press shows the buttons, the contrast button the slider; the
// freeze button toggles sizing; a long press that hides the buttons hides the slider too.
TEST_F(Placement, ALongPressShowsTheButtonsWhichShowTheSliderAndFreezeThePanel) {
    use768By510Area();
    ASSERT_TRUE(c.contrastButton->isHidden());
    h.down(emptyPanelPoint(), 3);
    EXPECT_FALSE(c.contrastButton->isHidden());
    EXPECT_FALSE(c.freezeButton->isHidden());
    EXPECT_TRUE(c.touchesLocked);
    h.up(emptyPanelPoint(), 3);
    EXPECT_FALSE(c.touchesLocked);
    EXPECT_EQ(c.contrastButton->alpha(), 1.0);
    h.window->runPasses();

    h.click(Harness::centreOf(*c.contrastButton));
    EXPECT_FALSE(c.brightnessSlider->isHidden());
    EXPECT_TRUE(c.touchesLocked);
    h.click(Harness::centreOf(*c.contrastButton));
    EXPECT_TRUE(c.brightnessSlider->isHidden());
    EXPECT_EQ(c.contrastButton->alpha(), 0.5);
    EXPECT_FALSE(c.touchesLocked);

    h.click(Harness::centreOf(*c.freezeButton));
    EXPECT_FALSE(c.isSizeable);
    EXPECT_EQ(c.freezeButton->alpha(), 1.0);

    c.onContrastButton(*c.contrastButton);
    h.runFor(1s);
    h.down(emptyPanelPoint());
    h.runFor(600ms);
    h.up(emptyPanelPoint());
    EXPECT_TRUE(c.contrastButton->isHidden());
    EXPECT_TRUE(c.freezeButton->isHidden());
    EXPECT_TRUE(c.brightnessSlider->isHidden());
    EXPECT_FALSE(c.isSizeable);
}

// Ctrl + wheel: a pinch begins at scale 1, so its first notch already scales the panel about
// its centre; a width outside 128 to 2048 leaves the fitted frame.
TEST_F(Placement, EachCtrlWheelPinchScalesTheFittedPanelAboutItsCentreWithinItsWidthBounds) {
    use768By510Area();
    const CGRect fitted = h.controller->pluginView->frame(); // 768 wide
    const struct {
        double notches;
        bool applied;
    } rows[] = {{1, true}, {-18, true}, {-19, false}, {10, true}, {11, false}};
    for (const auto& row : rows) {
        h.controller->centerpluginView();
        h.wheel({384, 255}, row.notches);
        const CGRect r = h.controller->pluginView->frame();
        const double width = row.applied ? 768 * std::pow(1.1, row.notches) : 768;
        EXPECT_NEAR(r.size.width, width, 1e-6) << row.notches;
        EXPECT_NEAR(r.midX(), fitted.midX(), 1e-6) << row.notches;
        EXPECT_NEAR(r.midY(), fitted.midY(), 1e-6) << row.notches;
        h.runFor(300ms); // the gesture ends
    }
}

TEST_F(Placement, LayoutPassesRecentreThePanelExceptWhileAGestureHoldsIt) {
    use768By510Area();
    const CGRect fitted = c.pluginView->frame();
    c.pluginView->setFrame(fitted.offsetBy(50, 20));
    layoutPass();
    EXPECT_EQ(c.pluginView->frame(), fitted);
    h.wheel({384, 255}, 1); // a pinch holds the placement until it ends
    const CGRect scaled = c.pluginView->frame();
    ASSERT_NE(scaled, fitted);
    layoutPass();
    EXPECT_EQ(c.pluginView->frame(), scaled);
    h.runFor(300ms);
    layoutPass();
    EXPECT_EQ(c.pluginView->frame(), fitted);
}

TEST_F(Placement, TapsAndPinchesReleaseTheTouchLockAndATapSavesThePanelsFrame) {
    const std::pair<const char*, pf::UIGestureRecognizer*> actions[] = {
        {"onTapGesture:", c.tapGesture.get()},
        {"onDoubleTapGesture:", c.doubleTapGesture.get()},
        {"onPinchGesture:", c.pinchGesture.get()}};
    for (const auto& [selector, sender] : actions) {
        c.touchesLocked = true;
        ASSERT_TRUE(c.performAction(selector, *sender));
        EXPECT_FALSE(c.touchesLocked) << selector;
    }
    const CGRect moved = c.pluginView->frame().offsetBy(-30, 12);
    c.pluginView->setFrame(moved);
    c.performAction("onTapGesture:", *c.tapGesture);
    EXPECT_EQ(c.savedControlFrame(), moved);
}

TEST_F(Placement, TheOutletsAreReachableByNameAndTheirSettersTakeOnlyTheirOwnClass) {
    const auto members = [&] {
        return std::vector<const void*>{
            c.pluginFrame.get(),    c.pluginView.get(),       c.displayView.get(),
            c.mainView.get(),       c.infoView.get(),         c.infoMessage.get(),
            c.contrastButton.get(), c.brightnessSlider.get(), c.freezeButton.get(),
            c.panGesture.get(),     c.pinchGesture.get(),     c.doubleTapGesture.get(),
            c.tapGesture.get(),     c.longPressGesture.get()};
    };
    const auto& names = AudioUnitViewController::outletNames();
    const auto& setters = AudioUnitViewController::outletSetterSelectors();
    ASSERT_EQ(names.size(), 14u);
    ASSERT_EQ(setters.size(), 14u);
    EXPECT_EQ(setters[13], "setLongPressGesture:");
    const auto loaded = members();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto view = c.viewOutlet(names[i]);
        const auto gesture = c.gestureOutlet(names[i]);
        const void* got = view ? static_cast<const void*>(view.get()) : gesture.get();
        ASSERT_NE(got, nullptr) << names[i];
        EXPECT_EQ(got, loaded[i]) << names[i];
        // The setter writes its own outlet: cleared, then put back.
        EXPECT_TRUE(view ? c.performSetter(setters[i], std::shared_ptr<pf::UIView>())
                         : c.performSetter(setters[i], std::shared_ptr<pf::UIGestureRecognizer>()));
        EXPECT_EQ(members()[i], nullptr) << setters[i];
        EXPECT_TRUE(view ? c.performSetter(setters[i], view)
                         : c.performSetter(setters[i], gesture));
    }
    EXPECT_EQ(members(), loaded);
    // Objects of another class, and unknown names, change nothing.
    EXPECT_FALSE(c.performSetter("setPluginFrame:", c.infoView));
    EXPECT_FALSE(c.performSetter("setPinchGesture:", c.panGesture));
    EXPECT_FALSE(c.performSetter("setNothing:", c.infoView));
    EXPECT_EQ(members(), loaded);
}
