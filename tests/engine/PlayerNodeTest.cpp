// The player node's schedule and its completion handlers, and reading the files it plays.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "core/RenderThread.h"

using namespace enginetest;

namespace {

// An engine that plays a player node into the manual device, and the calls of the handlers
// scheduled through it, in order, with the threads they ran on.
struct PlayerGraph {
    std::mutex mutex;
    std::vector<std::string> calls;
    bool offTheCallersThreads = true;
    ManualOutput manual;
    TempDir dir;
    std::shared_ptr<pf::AVAudioEngine> engine = pf::AVAudioEngine::make();
    std::shared_ptr<pf::AVAudioPlayerNode> player = pf::AVAudioPlayerNode::make();
    PlayerGraph() {
        engine->attach(player);
        engine->connect(player, engine->mainMixerNode(), nullptr);
        engine->start();
    }
    ~PlayerGraph() { engine->stop(); }

    void schedule(const std::shared_ptr<pf::AVAudioFile>& file, std::string name) {
        const auto caller = std::this_thread::get_id();
        player->scheduleFile(file, std::nullopt, [this, name, caller] {
            std::lock_guard lock(mutex);
            calls.push_back(name);
            if (pf::isRenderThread() || std::this_thread::get_id() == caller)
                offTheCallersThreads = false;
        });
    }
    // The calls once every handler the player has made due so far has run.
    std::vector<std::string> settled() {
        player->waitForDueHandlersForTesting();
        std::lock_guard lock(mutex);
        return calls;
    }
};

} // namespace

// Two files, alone or after one that ends within the first cycle (100 frames): every count below
// moves by that lead.
TEST(PlayerNode, FilesPlayBackToBackAndEachHandlerRunsOnceItsDataIsReadAheadOffTheRenderThread) {
    using Calls = std::vector<std::string>;
    for (const bool shortFirst : {false, true}) {
        SCOPED_TRACE(shortFirst ? "after a file shorter than a cycle" : "two files");
        PlayerGraph g;
        const auto shortFile = toneFile(g.dir, "short.m4a", 48000, 700, 100);
        const auto a = toneFile(g.dir, "long.m4a", 48000, 500, 24000);
        const auto b = toneFile(g.dir, "b.m4a", 48000, 900, 2400);
        const std::size_t lead = shortFirst ? 100 : 0;
        Calls calls;
        if (shortFirst) g.schedule(shortFile, "short");
        g.schedule(a, "a");
        g.schedule(b, "b");
        g.player->play();

        std::size_t rendered = 0;
        if (shortFirst) {
            renderFrames(512);
            rendered = 512;
            calls.push_back("short");
            EXPECT_EQ(g.settled(), calls) << "a file that ends within one cycle";
        }
        // The player reads a quarter of a second (12000 frames) ahead of what it renders.
        renderFrames(lead + 24000 - 12000 - 1 - rendered);
        EXPECT_EQ(g.settled(), calls) << "the first file's end is not read yet";
        renderFrames(1);
        calls.push_back("a");
        EXPECT_EQ(g.settled(), calls);
        renderFrames(2400 - 1);
        EXPECT_EQ(g.settled(), calls) << "b's end is one frame too far";
        // One device cycle across the boundary: the first file's last frame, the whole second.
        const auto second = pf::ManualAudioDevice::current()->render(9600 + 1 + 2400 + 100);
        calls.push_back("b");
        EXPECT_EQ(g.settled(), calls);
        EXPECT_TRUE(g.offTheCallersThreads);

        // Gapless: the second file starts on the frame after the first one ends.
        EXPECT_EQ(second[0][9600], a->samples()->samples[0][23999]);
        for (std::size_t i = 0; i < 2400; ++i)
            ASSERT_EQ(second[0][9601 + i], b->samples()->samples[0][i]);
        EXPECT_EQ(peak(second[0], 12001, 12101), 0.0);
        EXPECT_EQ(g.player->renderedFrames(), lead + 24000u + 2400u);
    }
}

TEST(PlayerNode, StopFlushesTheScheduleAndHandsEveryPendingHandlerToTheNotifier) {
    PlayerGraph g;
    // Long enough that neither file is read ahead to its end before the stop.
    const auto a = toneFile(g.dir, "long.m4a", 48000, 500, 24000);
    g.schedule(a, "first");
    g.schedule(a, "second");
    g.player->play();
    renderFrames(1000);
    EXPECT_TRUE(g.settled().empty());
    g.player->stop();
    EXPECT_EQ(g.settled(), (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(g.offTheCallersThreads) << "not inside stop";
    EXPECT_FALSE(g.player->isPlaying());
    EXPECT_EQ(peak(renderFrames(1000)[0], 0, 1000), 0.0) << "nothing left to play";
}

TEST(AudioFile, ReadsFramesFromThePositionAndAdvancesIt) {
    TempDir dir;
    const auto file = toneFile(dir, "t.m4a", 44100, 1000.0, 22050);
    auto buffer = pf::AVAudioPCMBuffer::initWithPCMFormat(file->processingFormat(), 1000);
    file->setFramePosition(100);
    file->read(*buffer);
    EXPECT_EQ(buffer->frameLength(), 1000u);
    EXPECT_EQ(buffer->floatChannelData()[1][0], file->samples()->samples[1][100]);
    EXPECT_EQ(file->framePosition(), 1100);
    file->setFramePosition(22000);
    file->read(*buffer);
    EXPECT_EQ(buffer->frameLength(), 50u) << "only what is left";
}
