#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TouchHarness.h"
#include "ui/UILabel.h"

using namespace pf;
using namespace touchtest;

namespace {
struct EventLog {
    std::vector<std::string> names;
    void watch(UIControl& control) {
        const std::pair<std::uint32_t, const char*> events[] = {
            {UIControlEventTouchDown, "down"},       {UIControlEventTouchDragInside, "in"},
            {UIControlEventTouchDragOutside, "out"}, {UIControlEventTouchUpInside, "upIn"},
            {UIControlEventTouchUpOutside, "upOut"}, {UIControlEventTouchCancel, "cancel"},
            {UIControlEventValueChanged, "value"},
        };
        for (const auto& [event, name] : events) {
            std::string n = name;
            control.addTarget(
                nullptr, n, [this, n](UIControl&, const UIEvent*) { names.push_back(n); }, event);
        }
    }
};
} // namespace

TEST(ControlTouches, AButtonTracksTheTouchAndDecidesInsideOrOutsideAtTheLift) {
    Harness h;
    auto button = std::make_shared<UIButton>(CGRect{50, 50, 100, 40});
    button->setTitle("OK");
    h.window->addSubview(button);
    EventLog log;
    log.watch(*button);
    h.down({60, 60});
    EXPECT_TRUE(button->isHighlighted());
    h.move({200, 60});
    EXPECT_FALSE(button->isHighlighted());
    h.up({200, 60});
    EXPECT_EQ(log.names, (std::vector<std::string>{"down", "out", "upOut"}));
    log.names.clear();
    h.click({100, 70});
    EXPECT_EQ(log.names, (std::vector<std::string>{"down", "upIn"}));
    log.names.clear();
    button->setEnabled(false);
    h.click({100, 70});
    EXPECT_TRUE(log.names.empty());
}

TEST(ControlTouches, ASliderFollowsTheDragWithinItsRangeAndReportsEachChange) {
    Harness h;
    auto slider = std::make_shared<UISlider>(CGRect{0, 0, 224, 24}); // usable track 200 points
    slider->minimumValue = 0;
    slider->maximumValue = 2;
    h.window->addSubview(slider);
    EventLog log;
    log.watch(*slider);
    h.down({12, 12}); // the left end
    EXPECT_EQ(slider->value(), 0.0f);
    h.move({112, 12});
    EXPECT_FLOAT_EQ(slider->value(), 1.0f);
    h.move({400, 12}); // beyond the end: clamped
    EXPECT_FLOAT_EQ(slider->value(), 2.0f);
    h.up({400, 12});
    EXPECT_EQ(std::count(log.names.begin(), log.names.end(), "value"), 2);
    slider->setValue(-5);
    EXPECT_EQ(slider->value(), 0.0f);
}

TEST(ControlTouches, ATextFieldTakesTypedTextUntilAnotherTouchTakesTheFocus) {
    Harness h;
    auto field = std::make_shared<UITextField>(CGRect{0, 0, 200, 30});
    field->setText("ab");
    h.window->addSubview(field);
    h.text("x");
    EXPECT_EQ(field->text(), "ab"); // not focused yet
    h.click({10, 10});
    EXPECT_TRUE(field->isFirstResponder());
    h.text("c\xC3\xA4"); // "cä"
    h.key(8);
    h.key(8);
    EXPECT_EQ(field->text(), "ab");
    h.click({300, 200}); // elsewhere
    EXPECT_FALSE(field->isFirstResponder());
    h.text("z");
    EXPECT_EQ(field->text(), "ab");
}

TEST(ControlTouches, ALabelRedrawsOnlyWhenItsTextChanges) {
    Harness h;
    auto label = std::make_shared<UILabel>(CGRect{0, 0, 100, 20});
    h.window->addSubview(label);
    label->setText("one");
    h.window->runPasses();
    const auto draws = label->layerDrawCount();
    label->setText("one");
    h.window->runPasses();
    EXPECT_EQ(label->layerDrawCount(), draws);
}
