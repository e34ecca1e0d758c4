#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TouchHarness.h"
#include "ui/UIAlertController.h"
#include "ui/UIViewController.h"

using namespace pf;
using namespace touchtest;

namespace {
class Plain : public UIViewController {
public:
    void loadView() override { setView(std::make_shared<UIView>(CGRect{0, 0, 200, 100})); }
};
} // namespace

TEST(ViewControllers, PresentationCoversTheWindowAndItsCompletionRunsOnceShownNotAtDismissal) {
    Harness h;
    auto host = std::make_shared<Plain>();
    h.window->addSubview(host->view());
    auto shown = std::make_shared<Plain>();
    int completions = 0;
    host->present(shown, true, [&] { ++completions; });
    EXPECT_EQ(completions, 0); // queued on the main queue
    h.drain();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(shown->view()->superview(), h.window.get());
    EXPECT_EQ(shown->view()->frame(), h.window->bounds());
    EXPECT_EQ(host->presentedViewController(), shown);
    EXPECT_EQ(shown->presentingViewController(), host);
    // One presentation at a time.
    auto other = std::make_shared<Plain>();
    host->present(other, true);
    EXPECT_EQ(host->presentedViewController(), shown);
    shown->dismiss(true, [&] { ++completions; });
    h.drain();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(shown->view()->superview(), nullptr);
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST(Alerts, TypedTextReachesTheAlertsFieldAndReturnChoosesTheDefaultAction) {
    Harness h;
    auto host = std::make_shared<Plain>();
    h.window->addSubview(host->view());
    auto alert = UIAlertController::make("File name", "Name?", UIAlertControllerStyle::alert);
    alert->addTextField([](UITextField& f) {
        f.placeholder = "file name";
        f.setText("a");
    });
    std::string chosen;
    alert->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel,
                                                     [&](UIAlertAction&) { chosen = "Cancel"; }));
    alert->addAction(std::make_shared<UIAlertAction>(
        "OK", UIAlertActionStyle::defaultStyle,
        [&](UIAlertAction&) { chosen = "OK " + alert->textFields().front()->text(); }));
    host->present(alert, true);
    h.window->runPasses();
    h.click(Harness::centreOf(*alert->textFields().front()));
    h.text("bc");
    h.key(13);
    EXPECT_EQ(chosen, "OK abc");
    EXPECT_EQ(host->presentedViewController(), nullptr);
}
