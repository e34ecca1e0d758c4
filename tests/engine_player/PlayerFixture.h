// The engine player's test bench: a temporary application bundle with generated audio files, the
// manual output device, captured standard output, a recording delegate and a scripted draw.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "../engine/EngineTestSupport.h"
#include "AUEnginePlayer.h"
#include "audio/AVAudioSession.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace playertest {

using enginetest::GainUnit;

struct DelegateEvent {
    std::string what;
    bool onMain;
};

class RecordingDelegate final : public AUEnginePlayerDelegate {
public:
    void onPlayerStateChanged(bool playing) override { add(playing ? "playing" : "stopped"); }
    void onFileSelect(const std::string& file) override { add("file " + file); }
    void onLoop(std::int64_t count) override { add("loop " + std::to_string(count)); }

    std::vector<DelegateEvent> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& e : events())
            out.push_back(e.what);
        return out;
    }
    std::size_t count(const std::string& prefix) {
        std::size_t n = 0;
        for (const auto& e : events())
            n += e.what.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

private:
    void add(std::string what) {
        std::lock_guard lock(mutex_);
        events_.push_back({std::move(what), pf::RunLoop::isMainThread()});
    }
    std::mutex mutex_;
    std::vector<DelegateEvent> events_;
};

class PlayerTest : public ::testing::Test {
protected:
    static constexpr std::size_t kFileFrames = 24000; // 0.5 s at 48 kHz, twice the read-ahead

    PlayerTest() {
        pf::RunLoop::claimMainThread();
        pf::setAudioOutputOverride("manual");
        resources_ = std::filesystem::path(dir_.path()) / "Test.app" / "Resources";
        std::filesystem::create_directories(resources_);
        pf::Bundle::setMainBundleOverride(dir_.file("Test.app"));
        player_ = AUEnginePlayer::make();
        player_->setDelegate(delegate_);
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
        pf::setAudioOutputOverride(std::nullopt);
        pf::AVAudioSession::sharedInstance().setCategoryFailureForTesting(std::nullopt);
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

    // Runs the main queue until `done` or the timeout passed (for what must not happen: a short
    // grace for the other threads' blocks to arrive).
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        return pf::RunLoop::main().runUntil(done, timeout);
    }
    static constexpr std::chrono::milliseconds kGrace{250};
    void drain() { pf::RunLoop::main().drainQueue(); }
    // Lets blocks on the notifier, the state queue and the main queue run their course: waits
    // for a line to appear, or gives the queues a moment when none is expected.
    ::testing::AssertionResult waitForLine(const std::string& line) {
        if (runUntil([&] { return hasLine(line); })) return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure() << "no line \"" << line << "\" in:";
        for (const auto& l : console_.lines())
            failure << "\n  " << l;
        return failure;
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

    std::vector<std::vector<float>> render(std::size_t frames) {
        auto device = pf::ManualAudioDevice::current();
        if (!device) return {std::vector<float>(frames), std::vector<float>(frames)};
        return enginetest::renderFrames(frames);
    }

    // Renders short cycles until one is audible (at most two seconds). The scheduling that
    // follows a loop runs on other threads, so some cycles may pass in silence first.
    bool soundsAgain() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (enginetest::peak(render(64)[0], 0, 64) > 0.05) return true;
            drain();
            std::this_thread::yield();
        }
        return false;
    }

    enginetest::TempDir dir_;
    std::filesystem::path resources_;
    pf::ConsoleCapture console_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
    std::shared_ptr<AUEnginePlayer> player_;
    std::mutex drawMutex_;
    std::deque<int> draws_;
};

inline std::shared_ptr<pf::AVAudioUnit> gainNode(std::shared_ptr<GainUnit>* unit = nullptr) {
    return enginetest::makeGainNode(unit);
}

} // namespace playertest
