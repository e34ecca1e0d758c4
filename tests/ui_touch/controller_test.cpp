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

TEST(ViewControllers, AChildLeavesItsParentsList) {
    auto parent = std::make_shared<Plain>();
    auto child = std::make_shared<Plain>();
    parent->addChild(child);
    EXPECT_EQ(child->parent(), parent);
    child->removeFromParent();
    EXPECT_EQ(child->parent(), nullptr);
    EXPECT_TRUE(parent->children().empty());
}

// The folder's files in name order; several picked at once are handed over in that order; Open
// with nothing picked keeps the dialog.
TEST(DocumentPicker, SeveralFilesArePickedInNameOrderAndNothingPickedKeepsTheDialog) {
    Harness h;
    const auto dir =
        std::filesystem::temp_directory_path() / ("picker-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "b.txt") << "b";
    std::ofstream(dir / "a.txt") << "a";
    auto host = std::make_shared<Plain>();
    h.window->addSubview(host->view());
    std::vector<std::string> picked;
    struct Log : UIDocumentPickerDelegate {
        std::vector<std::string>* out;
        void documentPicker(UIDocumentPickerViewController&,
                            const std::vector<URL>& urls) override {
            for (const auto& u : urls)
                out->push_back(u.lastPathComponent());
        }
    };
    auto delegate = std::make_shared<Log>();
    delegate->out = &picked;
    auto picker = std::make_shared<UIDocumentPickerViewController>(
        std::vector<std::string>{"public.data"}, UIDocumentPickerMode::importMode);
    picker->delegate = delegate;
    picker->allowsMultipleSelection = true;
    picker->directoryURL = URL::fileURLWithPath(dir.string(), true);
    host->present(picker, true);
    h.window->runPasses();
    h.click(Harness::centreOf(*picker->buttonFor("Open")));
    EXPECT_EQ(host->presentedViewController(), picker);
    h.click(Harness::centreOf(*picker->buttonFor("b.txt")));
    h.click(Harness::centreOf(*picker->buttonFor("a.txt")));
    h.click(Harness::centreOf(*picker->buttonFor("Open")));
    EXPECT_EQ(picked, (std::vector<std::string>{"a.txt", "b.txt"}));
    std::filesystem::remove_all(dir);
}
