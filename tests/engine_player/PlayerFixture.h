// The engine player's bench: a temporary application bundle with generated tones, the manual
// output device, captured standard output and a delegate that records what it hears and on which
// thread. Waits are for events (a line printed, a report queued on the main queue); their bound
// is only reached when the event never comes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <mutex>

#include "../engine/EngineTestSupport.h"
#include "AUEnginePlayer.h"
#include "audio/AVAudioSession.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace playertest {

// Records the reports in order, and whether one that belongs on the main queue came elsewhere
// (onFileSelect comes on the loader's thread).
class RecordingDelegate final : public AUEnginePlayerDelegate {
public:
    void onPlayerStateChanged(bool playing) override { add(playing ? "playing" : "stopped"); }
    void onFileSelect(const std::string& file) override { add("file " + file, false); }
    void onLoop(std::int64_t count) override { add("loop " + std::to_string(count)); }

    std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::size_t count(const std::string& event) {
        const auto all = events();
        return std::size_t(std::count(all.begin(), all.end(), event));
    }
    std::atomic<bool> offMain{false};

private:
    void add(std::string what, bool mainQueue = true) {
        if (mainQueue && !pf::RunLoop::isMainThread()) offMain = true;
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(what));
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
};

class PlayerTest : public ::testing::Test {
protected:
    static constexpr std::size_t kFileFrames = 24000; // 0.5 s at 48 kHz, twice the read-ahead
    static constexpr std::size_t kReadAhead = 12000;

    PlayerTest() {
        pf::RunLoop::claimMainThread();
        std::filesystem::create_directories(resources_);
        pf::Bundle::setMainBundleOverride(dir_.file("Test.app"));
        player_->setDelegate(delegate_);
        // Files are drawn as scripted by drawNext(), then 1, always from 1 to 80.
        player_->setRandomDrawForTesting([this](int low, int high) {
            EXPECT_EQ(low, 1);
            EXPECT_EQ(high, 80);
            std::lock_guard lock(drawMutex_);
            const int n = draws_.empty() ? 1 : draws_.front();
            if (!draws_.empty()) draws_.pop_front();
            return n;
        });
    }
    ~PlayerTest() override {
        player_->stop();
        drain();
        player_->setDelegate(nullptr);
        player_.reset();
        drain();
        pf::Bundle::setMainBundleOverride(std::nullopt);
        pf::AVAudioSession::sharedInstance().setActivationFailureForTesting(std::nullopt);
    }

    // Writes resource n as a tone; returns its path.
    std::string addFile(int n, int rate = 48000, double hz = 500.0,
                        std::size_t frames = kFileFrames) {
        const auto path = (resources_ / (std::to_string(n) + ".m4a")).string();
        enginetest::writeTone(path, rate, hz, frames);
        return path;
    }
    void drawNext(std::initializer_list<int> numbers) {
        std::lock_guard lock(drawMutex_);
        draws_.insert(draws_.end(), numbers);
    }

    void drain() { pf::RunLoop::main().drainQueue(); }
    bool runUntil(const std::function<bool()>& done) {
        return pf::RunLoop::main().runUntil(done, std::chrono::seconds(60));
    }
    ::testing::AssertionResult waitForLine(const std::string& line) {
        if (runUntil([&] { return hasLine(line); })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no line \"" << line << "\" in:\n"
                                             << console_.text();
    }
    bool hasLine(const std::string& line) const {
        const auto lines = console_.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> takeLines() {
        drain();
        auto lines = console_.lines();
        console_.clear();
        return lines;
    }
    static std::string loopLine(const std::string& path, int count) {
        return "AUEnginePlayer: Current audio file '" + path +
               "' looped: " + std::to_string(count) + ".";
    }
    // Waits for a loop line and for the state queue block that scheduled the next file with it.
    ::testing::AssertionResult waitForLoop(const std::string& path, int count) {
        auto result = waitForLine(loopLine(path, count));
        player_->syncStateQueueForTesting();
        return result;
    }

    enginetest::ManualOutput output_;
    enginetest::TempDir dir_;
    std::filesystem::path resources_ = std::filesystem::path(dir_.path()) / "Test.app/Resources";
    pf::ConsoleCapture console_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
    std::shared_ptr<AUEnginePlayer> player_ = AUEnginePlayer::make();
    std::mutex drawMutex_;
    std::deque<int> draws_;
};

// Renders from the running device; silence while no engine runs.
inline std::vector<std::vector<float>> render(std::size_t frames) {
    if (!pf::ManualAudioDevice::current()) return {std::vector<float>(frames), {}};
    return enginetest::renderFrames(frames);
}

} // namespace playertest
