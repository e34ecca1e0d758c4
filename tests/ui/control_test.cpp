#include <gtest/gtest.h>

#include "ui/UIControl.h"

using namespace pf;

TEST(ControlTargetAction, ActionsRunForTheirEventsInRegistrationOrder) {
    auto control = std::make_shared<UIControl>(CGRect{0, 0, 10, 10});
    std::vector<std::string> calls;
    auto target = std::make_shared<int>(0);
    control->addTarget(
        target, "onValue:", [&](UIControl&, const UIEvent*) { calls.push_back("v"); },
        UIControlEventValueChanged);
    control->addTarget(
        nullptr, "onTouch:", [&](UIControl&, const UIEvent*) { calls.push_back("t"); },
        UIControlEventTouchDown | UIControlEventValueChanged);
    control->sendActions(UIControlEventValueChanged);
    control->sendActions(UIControlEventTouchDown);
    control->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(calls, (std::vector<std::string>{"v", "t", "t"}));
    EXPECT_EQ(control->actions(target.get(), UIControlEventValueChanged),
              (std::vector<std::string>{"onValue:"}));
    EXPECT_EQ(control->allControlEvents(), UIControlEventTouchDown | UIControlEventValueChanged);
}

TEST(ControlTargetAction, RemovalIsPerEventAndAGoneOrSelfRemovedTargetRunsNoMore) {
    auto control = std::make_shared<UIControl>();
    int count = 0, once = 0;
    auto target = std::make_shared<int>(0);
    control->addTarget(
        target, "a:", [&](UIControl&, const UIEvent*) { ++count; },
        UIControlEventTouchDown | UIControlEventTouchUpInside);
    control->addTarget(
        nullptr, "once:",
        [&](UIControl& sender, const UIEvent*) {
            ++once;
            sender.removeTarget(nullptr, UIControlEventAllEvents);
        },
        UIControlEventValueChanged);
    control->removeTarget(target.get(), UIControlEventTouchDown);
    control->sendActions(UIControlEventTouchDown);
    EXPECT_EQ(count, 0);
    control->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(count, 1);
    target.reset();
    control->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(control->allControlEvents(), UIControlEventValueChanged) << "a gone target is not";
    control->sendActions(UIControlEventValueChanged);
    control->sendActions(UIControlEventValueChanged);
    EXPECT_EQ(once, 1) << "an action may remove its own target while sending";
}
