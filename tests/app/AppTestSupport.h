// The application tests' bench: a temporary application bundle (help pages, generated audio),
// the manual audio device, captured standard output, a recording URL opener and the main screen
// in a window. The shared registry searches an empty folder (see CMakeLists.txt), so the extension
// manager finds nothing and tests hand the screen their own units.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../engine/EngineTestSupport.h"
#include "HelpViewController.h"
#include "ViewController.h"
#include "audio/devices/AudioOutputDevice.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/UIApplication.h"
#include "ui/UIWindow.h"

namespace apptest {

// Records every URL the application asks the system browser to open (on the main thread).
class RecordingOpener {
public:
    RecordingOpener() {
        pf::UIApplication::setURLOpenerForTesting([this](const pf::URL& url) {
            urls.push_back(url.absoluteString());
            return true;
        });
    }
    ~RecordingOpener() { pf::UIApplication::setURLOpenerForTesting(nullptr); }
    std::vector<std::string> urls;
};

// A temporary Test.app with the real help pages; main() of every module answers it.
class TestBundle {
public:
    TestBundle() {
        resources_ = std::filesystem::path(dir_.path()) / "Test.app" / "Resources";
        std::filesystem::create_directories(resources_ / "help");
        for (const auto& page : std::filesystem::directory_iterator(ORVEX_HELP_SOURCE_DIR)) {
            std::filesystem::copy_file(page.path(), resources_ / "help" / page.path().filename());
        }
        pf::Bundle::setMainBundleOverride(
            (std::filesystem::path(dir_.path()) / "Test.app").string());
    }
    ~TestBundle() { pf::Bundle::setMainBundleOverride(std::nullopt); }
    const std::filesystem::path& resources() const { return resources_; }
    void addTone(int n) {
        enginetest::writeTone((resources_ / (std::to_string(n) + ".m4a")).string(), 48000, 440.0,
                              9600);
    }

private:
    enginetest::TempDir dir_;
    std::filesystem::path resources_;
};

inline bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest() {
        pf::RunLoop::claimMainThread();
        window_ = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, ViewController::kCanvasSize.width,
                                                            ViewController::kCanvasSize.height});
        screen_ = makeMainScreen();
        window_->addSubview(screen_->view());
        // The search of the empty registry ends with its error line; let it land first.
        EXPECT_TRUE(waitForLine("ERROR: There were no audio units found."));
    }

    ~ScreenTest() override {
        if (const auto& manager = screen_->audioUnitManager()) {
            manager->auEngine->stop();
            manager->auEngine->setDelegate(nullptr);
            manager->setDelegate(nullptr);
        }
        drain();
        pf::setAudioOutputOverride(std::nullopt);
    }

    void drain() { pf::RunLoop::main().drainQueue(); }
    bool runUntil(const std::function<bool()>& done) {
        return pf::RunLoop::main().runUntil(done, std::chrono::seconds(5));
    }
    ::testing::AssertionResult waitForLine(const std::string& line) {
        if (runUntil([&] { return contains(console_.lines(), line); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no line \"" << line << "\" in:\n"
                                             << console_.text();
    }
    static void tap(pf::UIControl& control) {
        control.sendActions(pf::UIControlEventTouchUpInside);
    }

    // Order matters: the bundle and the device come before the screen, which searches at load.
    enginetest::ManualOutput output_;
    TestBundle bundle_;
    RecordingOpener opener_;
    pf::ConsoleCapture console_;
    std::shared_ptr<pf::UIWindow> window_;
    std::shared_ptr<ViewController> screen_;
};

} // namespace apptest
