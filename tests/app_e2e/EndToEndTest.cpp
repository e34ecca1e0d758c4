// The application end to end: the real plug-in found through the registry, instantiated, its
// view embedded; playback of a real audio file through the real compander and limiter; the
// main screen's buttons; and the application itself started, shown and ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

#include "HelpViewController.h"
#include "ViewController.h"
#include "audio/AUParameters.h"
#include "audio/devices/AudioOutputDevice.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIApplication.h"
#include "ui/UIWindow.h"

extern char** environ;

namespace {

const std::string kConnected = "AU Diagnostics: Connected parameters to the plugins interface.";

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The main screen, keeping the unit the manager reports so the test can reach its parameters.
class RecordingScreen : public ViewController {
public:
    void onFoundComponent(std::shared_ptr<pf::AVAudioUnit> unit) override {
        {
            std::lock_guard lock(mutex_);
            unit_ = unit;
        }
        ViewController::onFoundComponent(std::move(unit));
    }
    std::shared_ptr<pf::AVAudioUnit> unit() {
        std::lock_guard lock(mutex_);
        return unit_;
    }

private:
    std::mutex mutex_;
    std::shared_ptr<pf::AVAudioUnit> unit_;
};

struct Rendered {
    double peak = 0;
    double rms = 0;
    bool finite = true;
};

// Renders `seconds` of the running manual device in cycles of 512 frames.
Rendered render(double seconds) {
    const auto device = pf::ManualAudioDevice::current();
    Rendered r;
    if (!device) return r;
    const auto total = static_cast<std::size_t>(seconds * 48000);
    double sum = 0;
    for (std::size_t done = 0; done < total; done += 512) {
        const auto cycle = device->render(512);
        for (const auto& channel : cycle) {
            for (float x : channel) {
                r.finite = r.finite && std::isfinite(x);
                r.peak = std::max(r.peak, double(std::fabs(x)));
                sum += double(x) * x;
            }
        }
        pf::RunLoop::main().drainQueue();
    }
    r.rms = std::sqrt(sum / double(2 * total));
    return r;
}

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() {
        pf::RunLoop::claimMainThread();
        pf::setAudioOutputOverride("manual");
        pf::UIApplication::setURLOpenerForTesting([this](const pf::URL& url) {
            opened_.push_back(url);
            return true;
        });
    }
    ~EndToEnd() override {
        pf::UIApplication::setURLOpenerForTesting(nullptr);
        pf::setAudioOutputOverride(std::nullopt);
    }
    bool runUntil(const std::function<bool()>& done, int seconds = 20) {
        return pf::RunLoop::main().runUntil(done, std::chrono::seconds(seconds));
    }
    static void tap(pf::UIControl& control) {
        control.sendActions(pf::UIControlEventTouchUpInside);
    }

    pf::ConsoleCapture console_;
    std::vector<pf::URL> opened_;
};

TEST_F(EndToEnd, ThePlugInIsFoundEmbeddedPlayedWithinFullScaleAndTheButtonsWork) {
    auto window = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, 800, 600});
    auto screen = std::make_shared<RecordingScreen>();
    const auto toHelp = [] { return std::make_shared<HelpViewController>(); };
    screen->registerSegue("ShowHelp", toHelp);
    screen->registerSegue("ShowInfo", toHelp);
    screen->view()->setFrame(window->bounds());
    window->addSubview(screen->view());

    // Found through the registry in the bundle's PlugIns, instantiated, its view embedded and its
    // parameters connected to the panel.
    ASSERT_TRUE(runUntil([&] {
        return !screen->pluginView->subviews().empty() && contains(console_.lines(), kConnected);
    })) << console_.text();
    const auto found = screen->audioUnitManager()->availableAudioUnits();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->name(), "Orvex Compander Extension");
    ASSERT_EQ(screen->children().size(), 1u);
    const auto& child = *screen->children()[0];
    EXPECT_NE(std::string(typeid(child).name()).find("AudioUnitViewController"), std::string::npos);
    const auto node = screen->unit();
    ASSERT_TRUE(node && node->auAudioUnit());
    EXPECT_EQ(node->auAudioUnit()->contextName(), "running in distribution host");
    // The plug-in finds its factory presets in its own bundle, not in the host's.
    const auto presets = node->auAudioUnit()->factoryPresets();
    ASSERT_TRUE(presets);
    EXPECT_EQ(presets->size(), 5u);

    // The unit button shows and hides the plug-in area; shown, the area holds the drawn panel.
    pf::RunLoop::main().drainQueue();
    const auto hidden = pf::renderView(*window);
    EXPECT_TRUE(screen->pluginView->isHidden());
    tap(*screen->buttonUnit);
    tap(*screen->buttonUnit);
    EXPECT_TRUE(screen->pluginView->isHidden());
    tap(*screen->buttonUnit);
    ASSERT_FALSE(screen->pluginView->isHidden());
    pf::RunLoop::main().drainQueue();
    const auto shown = pf::renderView(*window);
    ASSERT_TRUE(shown.writePNG(ORVEX_E2E_SCREENSHOT));
    int changed = 0;
    int area = 0;
    for (int y = 60; y < shown.height(); y += 2) {
        for (int x = 0; x < shown.width(); x += 2) {
            const auto a = hidden.pixel(x, y);
            const auto b = shown.pixel(x, y);
            ++area;
            changed += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 48;
        }
    }
    EXPECT_GT(changed, area / 20) << "the panel's knobs, labels and frame are drawn";
    // Nothing above the area changes.
    EXPECT_EQ(hidden.pixel(400, 4), shown.pixel(400, 4));

    // Play: a file of the bundle through the compander and the final limiter.
    tap(*screen->playButton);
    ASSERT_TRUE(runUntil([&] { return screen->playButton->isHidden(); }));
    EXPECT_FALSE(screen->stopButton->isHidden());
    EXPECT_TRUE(contains(console_.lines(), "AUEnginePlayer: Audio unit was attached."));
    const auto plain = render(2.0);
    EXPECT_TRUE(plain.finite);
    EXPECT_GT(plain.rms, 1e-3);
    EXPECT_LE(plain.peak, 1.0);

    // Full make-up gain and full ratio drive the compander hard; the limiter holds full scale.
    const auto tree = node->auAudioUnit()->parameterTree();
    ASSERT_TRUE(tree);
    tree->parameterWithAddress(4)->setValue(1.0f); // gain
    tree->parameterWithAddress(3)->setValue(1.0f); // ratio
    const auto hot = render(3.0);
    std::fprintf(stderr, "e2e figures: plain peak %.4f rms %.4f, hot peak %.4f rms %.4f\n",
                 plain.peak, plain.rms, hot.peak, hot.rms);
    EXPECT_TRUE(hot.finite);
    EXPECT_GT(hot.peak, 0.5);
    EXPECT_LE(hot.peak, 1.0);

    // Stop (either button toggles).
    tap(*screen->stopButton);
    ASSERT_TRUE(runUntil([&] { return screen->stopButton->isHidden(); }));
    EXPECT_FALSE(screen->playButton->isHidden());

    // Help: the browser is asked for the site root, and the help screen shows the product page.
    tap(*screen->buttonHelp);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].lastPathComponent(), "index.html");
    EXPECT_TRUE(std::filesystem::is_regular_file(opened_[0].path()));
    const auto help =
        std::dynamic_pointer_cast<HelpViewController>(screen->presentedViewController());
    ASSERT_TRUE(help);
    ASSERT_TRUE(runUntil([&] { return !help->webView()->title().empty(); }));
    EXPECT_EQ(help->webView()->title(), "Orvex Compander \u2013 Help");
    ASSERT_TRUE(pf::renderView(*window).writePNG(ORVEX_E2E_HELP_SCREENSHOT));
    tap(*help->buttonExit);
    EXPECT_FALSE(screen->presentedViewController());

    screen->audioUnitManager()->auEngine->setDelegate(nullptr);
    screen->audioUnitManager()->setDelegate(nullptr);
}

// Reads the child's standard output until every one of `lines` has arrived or the output ends
// (at most `seconds`).
bool readUntilLines(int fd, const std::vector<std::string>& lines, std::string& all, int seconds) {
    const auto complete = [&] {
        return std::all_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return all.find(line + "\n") != std::string::npos;
        });
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[4096];
    while (!complete()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const auto n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        all.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

TEST(Application, StartsFindsAndConnectsThePlugInAndEndsCleanlyOnTerminate) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> env{"PF_UI_BACKEND=offscreen", "PF_AUDIO_OUTPUT=null"};
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("PF_", 0) != 0) env.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = ORVEX_APP_EXECUTABLE;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string output;
    // The panel's connection (main queue) and the engine wiring (the instantiation's thread) run
    // side by side; both must be done before the application is ended.
    const bool connected = readUntilLines(
        out[0], {kConnected, "AUExtensionManager: Performed audio unit connection."}, output, 30);
    ::kill(pid, SIGTERM);
    // The rest of the output, up to the end of the process.
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(connected) << output;
    EXPECT_EQ(output.rfind("Info: Main view controller loaded.\n", 0), 0u) << output;
    EXPECT_NE(output.find("flags: 0x00000002\n"), std::string::npos);
    EXPECT_NE(output.find("AUExtensionManager: Performed audio unit connection.\n"),
              std::string::npos);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
