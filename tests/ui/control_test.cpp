#include <gtest/gtest.h>

#include "ui/UIControl.h"

using namespace pf;

TEST(ControlTargetAction, ActionsRunInOrderAndRemovalIsPerEventEvenWhileSending) {
    auto control = std::make_shared<UIControl>();
    std::string calls;
    auto target = std::make_shared<int>(0);
    control->addTarget(
        target, "a:", [&](UIControl&, const UIEvent*) { calls += 'a'; },
        UIControlEventTouchDown | UIControlEventTouchUpInside | UIControlEventTouchCancel);
    control->addTarget(
        nullptr, "once:",
        [&](UIControl& sender, const UIEvent*) {
            calls += 'o';
            sender.removeTarget(nullptr, UIControlEventValueChanged);
        },
        UIControlEventTouchUpInside | UIControlEventValueChanged);
    control->removeTarget(target.get(), UIControlEventTouchDown);
    for (const auto event : {UIControlEventTouchDown, UIControlEventTouchUpInside,
                             UIControlEventValueChanged, UIControlEventValueChanged})
        control->sendActions(event);
    EXPECT_EQ(calls, "ao") << "an action may remove targets while sending";
    target.reset();
    control->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(calls, "aoo") << "a gone target runs no more";
    EXPECT_EQ(control->allControlEvents(), std::uint32_t(UIControlEventTouchUpInside))
        << "nor keeps its events";
}
