#include <gtest/gtest.h>

#include <vector>

#include "TouchHarness.h"
#include "ui/UIGestureRecognizer.h"

using namespace pf;
using namespace touchtest;

namespace {

struct Recorder {
    std::vector<UIGestureRecognizerState> states;
    std::vector<CGPoint> translations;
    std::vector<CGFloat> scales;
};

template <typename R> std::shared_ptr<R> attach(UIView& view, Recorder& rec, const char* selector) {
    auto r = std::make_shared<R>();
    r->addTarget(nullptr, selector, [&rec](UIGestureRecognizer& sender) {
        rec.states.push_back(sender.state());
        if (auto* pan = dynamic_cast<UIPanGestureRecognizer*>(&sender))
            rec.translations.push_back(pan->translation(sender.view()));
        if (auto* pinch = dynamic_cast<UIPinchGestureRecognizer*>(&sender))
            rec.scales.push_back(pinch->scale());
    });
    view.addGestureRecognizer(r);
    return r;
}

using S = UIGestureRecognizerState;

class Gestures : public ::testing::Test {
protected:
    Harness h;
    std::shared_ptr<UIView> parent = std::make_shared<UIView>(CGRect{0, 0, 400, 300});
    void SetUp() override { h.window->addSubview(parent); }
};

} // namespace

// Losing the focus cancels a pan, and nothing is tracked after it.
TEST_F(Gestures, APanBeginsAfterTenPointsItsTranslationIsCumulativeAndLosingFocusCancelsIt) {
    Recorder rec;
    attach<UIPanGestureRecognizer>(*parent, rec, "onPanGesture:");
    h.down({110, 110});
    h.move({115, 114}); // 6.4 points: not yet
    EXPECT_TRUE(rec.states.empty());
    h.move({120, 110}); // 10 points
    h.move({150, 130});
    h.up({160, 140});
    ASSERT_EQ(rec.states, (std::vector<S>{S::began, S::changed, S::ended}));
    EXPECT_EQ(rec.translations[1], (CGPoint{40, 20}));
    EXPECT_EQ(rec.translations[2], (CGPoint{50, 30}));

    h.down({110, 110});
    h.move({140, 110});
    h.send(InputEvent::Kind::focusLost, {});
    EXPECT_EQ(rec.states.back(), S::cancelled);
    h.move({150, 110}); // nothing is tracked any more
    EXPECT_EQ(rec.states.size(), 5u);
}

TEST_F(Gestures, ALongPressIsAStillHoldOfHalfASecond) {
    Recorder rec;
    attach<UILongPressGestureRecognizer>(*parent, rec, "onlongPressGesture:");
    h.down({120, 120});
    h.runFor(499ms);
    EXPECT_TRUE(rec.states.empty());
    h.runFor(2ms);
    EXPECT_EQ(rec.states, (std::vector<S>{S::began}));
    h.up({120, 120});
    EXPECT_EQ(rec.states, (std::vector<S>{S::began, S::ended}));
    h.down({120, 120});
    h.move({131, 120}); // moved 11 points before the hold: no long press
    h.runFor(1s);
    h.up({131, 120});
    EXPECT_EQ(rec.states.size(), 2u);
}

TEST_F(Gestures, TwoClicksWithinTheIntervalAreADoubleTapAndEveryClickATap) {
    Recorder single, twice;
    attach<UITapGestureRecognizer>(*parent, single, "onTapGesture:");
    auto doubleTap = attach<UITapGestureRecognizer>(*parent, twice, "onDoubleTapGesture:");
    doubleTap->numberOfTapsRequired = 2;
    h.click({120, 120});
    h.runFor(340ms);
    h.click({122, 121});
    EXPECT_EQ(single.states.size(), 2u);
    EXPECT_EQ(twice.states, (std::vector<S>{S::ended}));
    // Too slow: two single taps, no double.
    h.runFor(1s);
    h.click({120, 120});
    h.runFor(360ms);
    h.click({120, 120});
    EXPECT_EQ(single.states.size(), 4u);
    EXPECT_EQ(twice.states.size(), 1u);
}

TEST_F(Gestures, TheWheelPinchesByTenPercentANotchAndEndsAQuarterSecondAfterTheLast) {
    Recorder rec;
    attach<UIPinchGestureRecognizer>(*parent, rec, "onPinchGesture:");
    h.wheel({120, 120}, 1);
    h.runFor(100ms);
    h.wheel({120, 120}, 1, InputModifierControl);
    h.runFor(100ms);
    h.wheel({120, 120}, -1);
    // The first notch begins the pinch at scale 1 and is then its first change.
    ASSERT_EQ(rec.states, (std::vector<S>{S::began, S::changed, S::changed, S::changed}));
    const CGFloat scales[] = {1, 1.1, 1.21, 1.1};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(rec.scales[i], scales[i], 1e-12) << i;
    h.runFor(249ms);
    EXPECT_EQ(rec.states.size(), 4u);
    h.runFor(2ms);
    EXPECT_EQ(rec.states.back(), S::ended);
    // A new pinch starts from 1 again.
    h.wheel({120, 120}, -1);
    EXPECT_NEAR(rec.scales.back(), 1 / 1.1, 1e-12);
}
