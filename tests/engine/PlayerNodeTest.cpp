// The player node's schedule and its completion handlers.
#include <gtest/gtest.h>

#include <condition_variable>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

// Handler calls with their thread and render-thread role, waited for with a bound.
struct HandlerLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> calls;
    std::vector<std::thread::id> threads;
    bool onRenderThread = false;

    pf::AVAudioNodeCompletionHandler handler(std::string name) {
        return [this, name] {
            std::lock_guard lock(mutex);
            calls.push_back(name);
            threads.push_back(std::this_thread::get_id());
            onRenderThread = onRenderThread || pf::isRenderThread();
            changed.notify_all();
        };
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(2),
                                [&] { return calls.size() >= count; });
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return calls;
    }
};

struct PlayerGraph {
    ManualOutput manual;
    std::shared_ptr<pf::AVAudioEngine> engine = pf::AVAudioEngine::make();
    std::shared_ptr<pf::AVAudioPlayerNode> player = pf::AVAudioPlayerNode::make();
    PlayerGraph() {
        engine->attach(player);
        engine->connect(player, engine->mainMixerNode(), nullptr);
        engine->start();
    }
    ~PlayerGraph() { engine->stop(); }
};

} // namespace

TEST(PlayerNode, FilesPlayBackToBackAndEachHandlerRunsOnceItsDataIsReadAheadOffTheRenderThread) {
    TempDir dir;
    const auto a = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 48000, 500, 24000));
    const auto b = pf::AVAudioFile::forReading(writeTone(dir.file("b.m4a"), 48000, 900, 2400));
    HandlerLog log;
    PlayerGraph g;
    g.player->scheduleFile(a, std::nullopt, log.handler("a"));
    g.player->scheduleFile(b, std::nullopt, log.handler("b"));
    g.player->play();

    // The player reads a quarter of a second (12000 frames) ahead of what it renders.
    const auto first = renderFrames(24000 - 12000 - 1);
    EXPECT_TRUE(log.snapshot().empty()) << "the first file's end is not read yet";
    renderFrames(1);
    ASSERT_TRUE(log.waitFor(1));
    renderFrames(2400 - 1);
    EXPECT_EQ(log.snapshot().size(), 1u) << "the second file's end is one frame too far";
    // One device cycle across the boundary: the first file's last frame, the whole second file.
    const auto second = pf::ManualAudioDevice::current()->render(9600 + 1 + 2400 + 100);
    ASSERT_TRUE(log.waitFor(2)) << log.snapshot().size() << " handlers, "
                                << g.player->renderedFrames() << " frames rendered, "
                                << g.engine->renderDropouts() << " dropouts";
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(log.onRenderThread);
    for (const auto& id : log.threads)
        EXPECT_NE(id, std::this_thread::get_id());

    // Gapless: the second file starts on the frame after the first one ends.
    EXPECT_EQ(second[0][9600], a->samples()->samples[0][23999]);
    for (std::size_t i = 0; i < 2400; ++i)
        ASSERT_EQ(second[0][9601 + i], b->samples()->samples[0][i]);
    EXPECT_EQ(peak(second[0], 12001, 12101), 0.0);
    EXPECT_EQ(g.player->renderedFrames(), 24000u + 2400u);
}

TEST(PlayerNode, StopFlushesTheScheduleAndHandsEveryPendingHandlerToTheNotifier) {
    TempDir dir;
    const auto a = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 48000, 500, 4800));
    HandlerLog log;
    PlayerGraph g;
    g.player->scheduleFile(a, std::nullopt, log.handler("first"));
    g.player->scheduleFile(a, std::nullopt, log.handler("second"));
    g.player->play();
    renderFrames(1000);
    g.player->stop();
    ASSERT_TRUE(log.waitFor(2));
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"first", "second"}));
    for (const auto& id : log.threads)
        EXPECT_NE(id, std::this_thread::get_id()) << "not inside stop";
    EXPECT_FALSE(g.player->isPlaying());
    EXPECT_EQ(peak(renderFrames(1000)[0], 0, 1000), 0.0) << "nothing left to play";
}

TEST(PlayerNode, PauseKeepsThePositionAndPlayResumesThere) {
    TempDir dir;
    const auto a = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 48000, 500, 4800));
    PlayerGraph g;
    g.player->scheduleFile(a, std::nullopt, nullptr);
    g.player->play();
    renderFrames(1000);
    g.player->pause();
    EXPECT_EQ(peak(renderFrames(500)[0], 0, 500), 0.0);
    g.player->play();
    const auto out = renderFrames(100);
    for (std::size_t i = 0; i < 100; ++i)
        ASSERT_EQ(out[0][i], a->samples()->samples[0][1000 + i]);
}

TEST(PlayerNode, AHandlerMayDropTheLastReferenceToItsPlayer) {
    TempDir dir;
    const auto a = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 48000, 500, 480));
    HandlerLog log;
    auto player = pf::AVAudioPlayerNode::make();
    auto done = log.handler("done");
    player->scheduleFile(a, std::nullopt, [player, done]() mutable { done(); });
    player->stop(); // the handler now holds the only other reference
    player.reset();
    EXPECT_TRUE(log.waitFor(1));
}
