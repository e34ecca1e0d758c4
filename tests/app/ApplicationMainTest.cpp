// The application's entry: delegate by name, the storyboard's window, the life-cycle order and a
// clean end with status 0 when the run loop stops. Each run ends its process, so it runs in a
// child process of its own.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "AppTestSupport.h"
#include "core/ClassRegistry.h"
#include "core/Timer.h"
#include "ui/UIApplicationMain.h"
#include "ui/UIWindow.h"

namespace {

class RootController : public pf::UIViewController {
public:
    void viewDidLoad() override { std::fprintf(stderr, "[root loaded]"); }
    void viewWillAppear(bool) override { std::fprintf(stderr, "[root appears]"); }
};

class TestDelegate : public pf::UIApplicationDelegate {
public:
    std::shared_ptr<pf::UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<pf::UIWindow> window) override {
        std::fprintf(stderr, "[window %gx%g]", window->bounds().size.width,
                     window->bounds().size.height);
        window_ = std::move(window);
    }
    bool application(pf::UIApplication&, const pf::UIApplicationLaunchOptions&) override {
        std::fprintf(stderr, "[launched]");
        // Ends the run once the screenshot (due at once) has been taken.
        pf::Timer::scheduledTimer(0.05, false, [](pf::Timer&) { pf::RunLoop::main().stop(); });
        return true;
    }
    void applicationDidBecomeActive(pf::UIApplication&) override {
        std::fprintf(stderr, "[active]");
    }
    void applicationWillResignActive(pf::UIApplication&) override {
        std::fprintf(stderr, "[resign]");
    }
    void applicationWillTerminate(pf::UIApplication&) override {
        std::fprintf(stderr, "[terminate]");
    }

private:
    std::shared_ptr<pf::UIWindow> window_;
};

void runEntry(const std::string& bundle, const std::string& shot, const char* delegate) {
    pf::ClassRegistry::shared().registerClass<pf::UIApplicationDelegate>(
        "TestDelegate", [] { return std::make_shared<TestDelegate>(); });
    pf::UIStoryboard::registerStoryboard("Board", pf::CGSize{320, 240},
                                         [] { return std::make_shared<RootController>(); });
    ::setenv("PF_UI_BACKEND", "offscreen", 1);
    if (!shot.empty()) {
        ::setenv("PF_UI_SCREENSHOT", shot.c_str(), 1);
        ::setenv("PF_UI_SCREENSHOT_DELAY", "0", 1);
    }
    char name[] = "entry";
    char* argv[] = {name, nullptr};
    pf::UIApplicationMainWithBundle(1, argv, nullptr, delegate, pf::Bundle::withPath(bundle));
}

TEST(ApplicationMain, RunsTheDelegateAndTheStoryboardInOrderAndEndsWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child process runs this test body again from its start: the folder's name reaches it
    // through the environment, which it inherits.
    if (!std::getenv("ORVEX_ENTRY_TEST_FOLDER")) {
        const auto name = "orvex-application-entry-" + std::to_string(::getpid());
        ::setenv("ORVEX_ENTRY_TEST_FOLDER", (std::filesystem::temp_directory_path() / name).c_str(),
                 1);
    }
    const std::filesystem::path folder = std::getenv("ORVEX_ENTRY_TEST_FOLDER");
    const auto bundle = folder / "Entry.app";
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>UIMainStoryboardFile</key><string>Board</string></dict></plist>\n";
    const auto shot = (folder / "entry.png").string();
    std::filesystem::remove(shot);

    EXPECT_EXIT(runEntry(bundle.string(), shot, "TestDelegate"), ::testing::ExitedWithCode(0),
                "\\[root loaded\\]\\[root appears\\]\\[window 320x240\\]\\[launched\\]\\[active\\]"
                "[^#]*\\[resign\\]\\[terminate\\]");
    EXPECT_TRUE(std::filesystem::exists(shot));
    std::filesystem::remove_all(folder);
}

TEST(ApplicationMain, AnUnknownDelegateClassEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runEntry("/nonexistent", "", "NoSuchDelegate"), ::testing::ExitedWithCode(1),
                "no application delegate class named 'NoSuchDelegate'");
}

} // namespace
