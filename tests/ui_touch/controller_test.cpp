#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "TouchHarness.h"
#include "ui/UIAlertController.h"
#include "ui/UIDocumentPickerViewController.h"
#include "ui/UIViewController.h"

using namespace pf;
using namespace touchtest;

namespace {

class CountingController : public UIViewController {
public:
    std::vector<std::string> calls;
    void loadView() override {
        calls.push_back("loadView");
        setView(std::make_shared<UIView>(CGRect{0, 0, 200, 100}));
    }
    void viewDidLoad() override { calls.push_back("viewDidLoad"); }
    void viewWillLayoutSubviews() override { calls.push_back("willLayout"); }
    void viewDidLayoutSubviews() override { calls.push_back("didLayout"); }
    void prepare(UIStoryboardSegue& segue, const std::shared_ptr<void>&) override {
        calls.push_back("prepare " + segue.identifier().value_or("?") +
                        (segue.destination()->isViewLoaded() ? " loaded" : " unloaded"));
    }
};

} // namespace

TEST(ViewControllers, TheViewLoadsOnceOnFirstUseAndEachLayoutOfItIsReported) {
    Harness h;
    auto c = std::make_shared<CountingController>();
    EXPECT_FALSE(c->isViewLoaded());
    auto v = c->view();
    EXPECT_EQ(c->view(), v);
    EXPECT_EQ(c->calls, (std::vector<std::string>{"loadView", "viewDidLoad"}));
    h.window->addSubview(v);
    h.window->runPasses();
    EXPECT_EQ(c->calls,
              (std::vector<std::string>{"loadView", "viewDidLoad", "willLayout", "didLayout"}));
    v->setFrame({0, 0, 300, 100}); // a size change lays the view out again
    h.window->runPasses();
    EXPECT_EQ(c->calls.back(), "didLayout");
    EXPECT_EQ(c->calls.size(), 6u);
}

TEST(ViewControllers, PresentationCoversTheWindowAndItsCompletionRunsOnceShownNotAtDismissal) {
    Harness h;
    auto host = std::make_shared<CountingController>();
    h.window->addSubview(host->view());
    auto shown = std::make_shared<CountingController>();
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
    auto other = std::make_shared<CountingController>();
    host->present(other, true);
    EXPECT_EQ(host->presentedViewController(), shown);
    shown->dismiss(true, [&] { ++completions; });
    h.drain();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(shown->view()->superview(), nullptr);
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST(ViewControllers, ChildrenAndSeguesFollowThePlatformsOrder) {
    Harness h;
    auto parent = std::make_shared<CountingController>();
    auto child = std::make_shared<CountingController>();
    parent->addChild(child);
    EXPECT_EQ(child->parent(), parent);
    EXPECT_EQ(parent->children().size(), 1u);
    child->removeFromParent();
    EXPECT_EQ(child->parent(), nullptr);
    EXPECT_TRUE(parent->children().empty());

    std::shared_ptr<CountingController> destination;
    parent->registerSegue("ShowInfo",
                          [&] { return destination = std::make_shared<CountingController>(); });
    EXPECT_FALSE(parent->performSegue("Missing", nullptr));
    EXPECT_TRUE(parent->performSegue("ShowInfo", nullptr));
    ASSERT_FALSE(parent->calls.empty());
    EXPECT_EQ(parent->calls.front(), "prepare ShowInfo unloaded"); // before anything was shown
    EXPECT_EQ(parent->presentedViewController(), destination);
}

TEST(Alerts, AButtonDismissesTheAlertBeforeItsHandlerSoTheHandlerMayPresentAgain) {
    Harness h;
    auto host = std::make_shared<CountingController>();
    h.window->addSubview(host->view());
    auto first = UIAlertController::make("Title", "Message", UIAlertControllerStyle::alert);
    std::vector<std::string> log;
    std::shared_ptr<UIAlertController> second;
    first->addAction(std::make_shared<UIAlertAction>(
        "OK", UIAlertActionStyle::defaultStyle, [&](UIAlertAction&) {
            log.push_back(host->presentedViewController() ? "still shown" : "dismissed");
            second = UIAlertController::make("Again", std::nullopt, UIAlertControllerStyle::alert);
            second->addAction(
                std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel,
                                                [&](UIAlertAction&) { log.push_back("cancel"); }));
            host->present(second, true);
        }));
    first->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel));
    host->present(first, true);
    h.window->runPasses();
    ASSERT_TRUE(first->buttonFor("OK"));
    // Buttons stand left to right in the order of the actions.
    EXPECT_LT(Harness::centreOf(*first->buttonFor("OK")).x,
              Harness::centreOf(*first->buttonFor("Cancel")).x);
    h.click(Harness::centreOf(*first->buttonFor("OK")));
    EXPECT_EQ(log, (std::vector<std::string>{"dismissed"}));
    EXPECT_EQ(host->presentedViewController(), second);
    h.window->runPasses();
    h.click(Harness::centreOf(*second->buttonFor("Cancel")));
    EXPECT_EQ(log, (std::vector<std::string>{"dismissed", "cancel"}));
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST(Alerts, TypedTextReachesTheAlertsFieldAndReturnChoosesTheDefaultAction) {
    Harness h;
    auto host = std::make_shared<CountingController>();
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

namespace {
struct PickerLog : UIDocumentPickerDelegate {
    std::vector<std::string> lines;
    void documentPicker(UIDocumentPickerViewController&, const std::vector<URL>& urls) override {
        std::string s = "picked";
        for (const auto& u : urls)
            s += " " + u.lastPathComponent();
        lines.push_back(s);
    }
    void documentPickerWasCancelled(UIDocumentPickerViewController&) override {
        lines.push_back("cancelled");
    }
};

std::filesystem::path scratchFolder() {
    auto dir = std::filesystem::temp_directory_path() / ("picker-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "folder");
    std::ofstream(dir / "b.txt") << "b";
    std::ofstream(dir / "a.txt") << "a";
    return dir;
}
} // namespace

TEST(DocumentPicker, TheListedFilesCanBePickedSeveralAtATimeOrTheDialogCancelled) {
    Harness h;
    const auto dir = scratchFolder();
    auto host = std::make_shared<CountingController>();
    h.window->addSubview(host->view());
    auto delegate = std::make_shared<PickerLog>();

    auto picker = std::make_shared<UIDocumentPickerViewController>(
        std::vector<std::string>{"public.data"}, UIDocumentPickerMode::importMode);
    picker->delegate = delegate;
    picker->allowsMultipleSelection = true;
    picker->directoryURL = URL::fileURLWithPath(dir.string(), true);
    host->present(picker, true);
    h.window->runPasses();
    ASSERT_EQ(picker->entries().size(), 3u);
    EXPECT_EQ(picker->entries()[0].lastPathComponent(), "a.txt");
    h.click(Harness::centreOf(*picker->buttonFor("b.txt")));
    h.click(Harness::centreOf(*picker->buttonFor("a.txt")));
    h.click(Harness::centreOf(*picker->buttonFor("Open")));
    EXPECT_EQ(delegate->lines, (std::vector<std::string>{"picked a.txt b.txt"}));
    EXPECT_EQ(host->presentedViewController(), nullptr);

    auto again = std::make_shared<UIDocumentPickerViewController>(
        std::vector<std::string>{"public.data"}, UIDocumentPickerMode::importMode);
    again->delegate = delegate;
    again->directoryURL = URL::fileURLWithPath(dir.string(), true);
    host->present(again, true);
    h.window->runPasses();
    h.click(Harness::centreOf(*again->buttonFor("Open"))); // nothing selected: stays open
    EXPECT_EQ(host->presentedViewController(), again);
    h.click(Harness::centreOf(*again->buttonFor("Cancel")));
    EXPECT_EQ(delegate->lines.back(), "cancelled");
    std::filesystem::remove_all(dir);
}
