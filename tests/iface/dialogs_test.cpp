#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "IfaceHarness.h"
#include "core/FileManager.h"
#include "ui/UIAlertController.h"
#include "ui/UIDocumentPickerViewController.h"

using namespace ifacetest;

namespace {

// A Documents folder of our own, through XDG_DATA_HOME.
class Dialogs : public ::testing::Test {
protected:
    Harness h;
    std::filesystem::path data;
    std::filesystem::path documents;

    void SetUp() override {
        data = std::filesystem::temp_directory_path() /
               ("iface-dialogs-" + std::to_string(::getpid()));
        std::filesystem::remove_all(data);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const auto urls = pf::FileManager::defaultManager().urls(
            pf::FileManager::SearchPathDirectory::documentDirectory,
            pf::FileManager::SearchPathDomainMask::userDomainMask);
        documents = urls.front().path();
        std::filesystem::create_directories(documents / "folder");
        std::ofstream(documents / "taken.txt") << "x";
        h.show();
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        std::filesystem::remove_all(data);
    }
    std::shared_ptr<pf::UIAlertController> shownAlert() {
        return std::dynamic_pointer_cast<pf::UIAlertController>(
            h.controller->presentedViewController());
    }
    void press(const std::string& title) {
        auto alert = shownAlert();
        ASSERT_TRUE(alert);
        h.window->runPasses();
        h.click(touchtest::Harness::centreOf(*alert->buttonFor(title)));
    }
    void type(const std::string& text) { shownAlert()->textFields().front()->setText(text); }
};

} // namespace

TEST_F(Dialogs, TheFileNamePromptRepeatsWhileTheNameIsTakenAndEndsOnAFreeOne) {
    h.controller->alertFileName("save", "taken.txt");
    auto first = shownAlert();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->message(), "Please enter the file name for the current file: ");
    type("");
    press("OK"); // empty: the proposed name, which is taken
    auto second = shownAlert();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->message(), "The file already exists. Please type in another file name: ");
    EXPECT_EQ(second->textFields().front()->text(), "taken.txt");
    type("folder"); // a folder counts as taken
    press("OK");
    ASSERT_TRUE(shownAlert());
    type("free.txt");
    press("OK");
    EXPECT_FALSE(h.controller->presentedViewController());
    EXPECT_FALSE(std::filesystem::exists(documents / "free.txt")); // nothing is written
    h.controller->alertFileName("save", "");
    press("Cancel");
    EXPECT_EQ(h.lines().back(), "Save action was canceled.");
}

// The alert and the question print their caption and text when shown and the answer when a
// button is pressed, and run their completion once shown. The picker lists the Documents folder
// by name; "Open" prints the picked files as one list, "Cancel" that it was cancelled.
TEST_F(Dialogs, AlertsQuestionsAndThePickerPrintWhatIsShownAndWhatTheUserChose) {
    int completions = 0;
    h.controller->alert("Caption", "Message", [&] { ++completions; });
    EXPECT_EQ(h.lines().back(), "Alert: Caption : Message");
    h.drain();
    EXPECT_EQ(completions, 1);
    press("OK");
    EXPECT_EQ(h.lines().back(), "Alert was accepted.");
    EXPECT_FALSE(h.controller->presentedViewController());
    for (const auto& [button, line] :
         {std::pair{"No", "Answer was NO."}, {"Yes", "Answer was YES."}}) {
        h.controller->alertQuestion("Load", "Really?", nullptr);
        EXPECT_EQ(h.lines().back(), "Alert: Load : Really?");
        press(button);
        EXPECT_EQ(h.lines().back(), line);
        EXPECT_FALSE(h.controller->presentedViewController());
    }

    const auto picker = [&] {
        h.controller->openFilePicker();
        h.window->runPasses();
        return std::dynamic_pointer_cast<pf::UIDocumentPickerViewController>(
            h.controller->presentedViewController());
    };
    const auto url = [&](const char* name) {
        return pf::URL::fileURLWithPath((documents / name).string()).absoluteString();
    };
    auto shown = picker();
    ASSERT_TRUE(shown);
    h.console.clear();
    h.click(touchtest::Harness::centreOf(*shown->buttonFor("taken.txt")));
    h.click(touchtest::Harness::centreOf(*shown->buttonFor("folder")));
    h.click(touchtest::Harness::centreOf(*shown->buttonFor("Open")));
    // In name order; a folder's URL ends in a slash.
    EXPECT_EQ(h.lines(), (std::vector<std::string>{"documentPicker: [" + url("folder") + "/, " +
                                                   url("taken.txt") + "]"}));
    EXPECT_FALSE(h.controller->presentedViewController());
    shown = picker();
    ASSERT_TRUE(shown);
    h.console.clear();
    h.click(touchtest::Harness::centreOf(*shown->buttonFor("Cancel")));
    EXPECT_EQ(h.lines(), (std::vector<std::string>{"The document picker was canceled."}));
    EXPECT_FALSE(h.controller->presentedViewController());
}
