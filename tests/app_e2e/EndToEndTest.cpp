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
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

#include "AacM4aWriter.h"
#include "HelpViewController.h"
#include "TempDir.h"
#include "ViewController.h"
#include "audio/AUParameters.h"
#include "audio/AVAudioFile.h"
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

// ---- The application itself, in a child process ----------------------------------------------

struct Child {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts the application of the loop bundle with the offscreen backend, the WAV output and
// `actions`; reads its standard output until `until` has arrived (empty: the end), then sends
// `signal` (0: none) and reads to the end.
Child runApplication(const std::string& wav, const std::string& actions,
                     const std::string& until = {}, int signal = 0) {
    Child child;
    int out[2];
    if (::pipe(out) != 0) return child;
    const std::string errPath = wav + ".stderr";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&files, out[0]);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> env{"PF_UI_BACKEND=offscreen", "PF_AUDIO_OUTPUT=wav:" + wav,
                                 "PF_UI_ACTIONS=" + actions};
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("PF_", 0) != 0) env.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = ORVEX_LOOP_APP "/MacOS/Orvex_Compander";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &files, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&files);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return child;
    }
    char buffer[4096];
    for (ssize_t n; (until.empty() || child.out.find(until) == std::string::npos) &&
                    (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        child.out.append(buffer, static_cast<std::size_t>(n));
    if (signal != 0) ::kill(pid, signal);
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        child.out.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    while (::waitpid(pid, &child.status, 0) < 0 && errno == EINTR) {
    }
    std::ifstream err(errPath);
    child.err.assign(std::istreambuf_iterator<char>(err), {});
    return child;
}

// A float WAV as the output device writes it: the data size its header gives, the size of the
// file, and the interleaved stereo frames.
struct Wav {
    bool valid = false;
    std::uint32_t dataBytes = 0;
    std::uintmax_t fileBytes = 0;
    std::vector<float> samples;
    std::size_t frames() const { return samples.size() / 2; }
};

Wav readWav(const std::string& path) {
    Wav wav;
    std::ifstream in(path, std::ios::binary);
    unsigned char h[44] = {};
    if (!in.read(reinterpret_cast<char*>(h), 44)) return wav;
    wav.valid = std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVEfmt ", 8) == 0 &&
                h[20] == 3 && h[22] == 2 && std::memcmp(h + 36, "data", 4) == 0;
    wav.dataBytes = std::uint32_t(h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24);
    wav.fileBytes = std::filesystem::file_size(path);
    wav.samples.resize((wav.fileBytes - 44) / sizeof(float));
    in.read(reinterpret_cast<char*>(wav.samples.data()),
            std::streamsize(wav.samples.size() * sizeof(float)));
    return wav;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class Application : public ::testing::Test {
protected:
    // Every resource of the loop bundle is one short generated tone: 0.5 s, twice the player's
    // read-ahead, without silence of its own (checked below), at the device's rate.
    static void SetUpTestSuite() {
        const std::filesystem::path resources = ORVEX_LOOP_APP "/Resources";
        std::filesystem::create_directories(resources);
        const auto tone = (resources / "tone.m4a").string();
        audiofiles::writeAacM4a(tone, audiofiles::synthesiseTone(48000, 440.0, kFileFrames, 0.5f));
        for (int n = 1; n <= 80; ++n) {
            const auto link = resources / (std::to_string(n) + ".m4a");
            std::error_code ignored;
            std::filesystem::remove(link, ignored);
            std::filesystem::create_symlink("tone.m4a", link);
        }
    }
    static constexpr std::size_t kFileFrames = 24000;
    test::TempDir dir_;
};

TEST_F(Application, PlaysAHeadlessScriptIntoAWavThatLoopsWithoutGapsAndEndsCleanly) {
    const auto tone =
        pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(ORVEX_LOOP_APP "/Resources/tone.m4a"));
    const auto& decoded = tone->samples()->samples[0];
    ASSERT_EQ(decoded.size(), kFileFrames);
    ASSERT_GT(std::fabs(decoded.front()) + std::fabs(decoded[1]), 0.0f) << "no silence of its own";
    ASSERT_GT(std::fabs(decoded.back()), 0.0f);

    // The plug-in is connected within the first second and a half; then three turns of the loop.
    const auto path = dir_.file("out.wav");
    const auto run = runApplication(path, "Plug-In; wait 1.5; Play; wait 2; quit");
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_EQ(run.out.rfind("Info: Main view controller loaded.\n", 0), 0u) << run.out;
    ASSERT_LT(run.out.find("AUExtensionManager: Performed audio unit connection."),
              run.out.find("AUEnginePlayer: Audio engine starting."))
        << "the plug-in was connected only after the start";
    // One loop line per turn, each naming the file that loops.
    for (int turn = 1; turn <= 3; ++turn) {
        EXPECT_EQ(countOf(run.out, "' looped: " + std::to_string(turn) + ".\n"), 1u) << run.out;
    }
    EXPECT_EQ(countOf(run.out, ".m4a' looped: "), countOf(run.out, "' looped: "));
    EXPECT_NE(run.err.find("0 samples clamped to full scale, 0 not finite"), std::string::npos)
        << run.err;

    const auto wav = readWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.dataBytes + 44u, wav.fileBytes) << "the header holds the whole run";
    // From the first sound to the last: three turns at least, and never more than 8 silent
    // frames in a row.
    std::size_t first = wav.frames(), last = 0, longest = 0, run_ = 0;
    double peak = 0;
    for (std::size_t i = 0; i < wav.frames(); ++i) {
        const float l = wav.samples[2 * i], r = wav.samples[2 * i + 1];
        peak = std::max({peak, double(std::fabs(l)), double(std::fabs(r))});
        if (l != 0.0f || r != 0.0f) {
            first = std::min(first, i);
            last = i;
        }
    }
    std::string gaps;
    for (std::size_t i = first; i <= last && first < last; ++i) {
        const bool silent = wav.samples[2 * i] == 0.0f && wav.samples[2 * i + 1] == 0.0f;
        if (!silent && run_ > 1) gaps += " " + std::to_string(run_);
        run_ = silent ? run_ + 1 : 0;
        longest = std::max(longest, run_);
    }
    std::fprintf(stderr, "loop figures: %zu frames played; silent runs:%s\n", last - first,
                 gaps.empty() ? " none" : gaps.c_str());
    EXPECT_GE(last - first, 3 * kFileFrames);
    EXPECT_LE(longest, 8u) << "silence where the loop turns";
    EXPECT_LE(peak, 1.0);
    EXPECT_GT(peak, 0.4);

    // Ended by SIGTERM while playing: the file is finished all the same.
    const auto killedPath = dir_.file("killed.wav");
    const auto killed = runApplication(killedPath, "Play", "looped: 1.", SIGTERM);
    ASSERT_TRUE(WIFEXITED(killed.status)) << killed.err;
    EXPECT_EQ(WEXITSTATUS(killed.status), 0);
    const auto finished = readWav(killedPath);
    EXPECT_TRUE(finished.valid);
    EXPECT_EQ(finished.dataBytes + 44u, finished.fileBytes);
    EXPECT_GE(finished.frames(), kFileFrames / 2);

    // A title that names nothing on screen ends the run at once with status 2.
    const auto wrong = runApplication(dir_.file("none.wav"), "Plug-In; Paly; quit");
    ASSERT_TRUE(WIFEXITED(wrong.status));
    EXPECT_EQ(WEXITSTATUS(wrong.status), 2);
    EXPECT_NE(wrong.err.find("no control titled 'Paly' on screen"), std::string::npos) << wrong.err;
}

} // namespace
