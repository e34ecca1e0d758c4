// The engine player: its wiring sequences and their lines, the seamless file loop and its
// reports, notifications on the main thread, the MIDI output log, and the faults fixed on its
// start path.
#include <fstream>
#include <set>

#include "PlayerFixture.h"

using namespace playertest;
using enginetest::peak;
using enginetest::zeroCrossingFrequency;

namespace {

const std::string kSessionActive = "AUEnginePlayer: Audio session was set active.";

std::vector<float> samplesOf(const std::string& path, int channel = 0) {
    return pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path))
        ->samples()
        ->samples[std::size_t(channel)];
}

} // namespace

TEST_F(PlayerTest, PlaysIntoTheMixerLoopsSeamlesslyReportingEachTurnOnTheMainThreadAndStops) {
    const auto path = addFile(1);
    const auto file = samplesOf(path);
    EXPECT_TRUE(player_->toggle());
    EXPECT_EQ(takeLines(), (std::vector<std::string>{
                               "AUEnginePlayer: Audio file at '" + path +
                                   "' was selected for loading into the player.",
                               "AUEnginePlayer: The player was connected to the mainMixerNode.",
                               path, kSessionActive, "AUEnginePlayer: Audio engine starting."}));

    // The next turn is scheduled once the player has read the file's end, so three turns follow
    // each other sample for sample.
    for (int turn = 1; turn <= 3; ++turn) {
        const auto out = render(kFileFrames - kReadAhead);
        ASSERT_TRUE(waitForLoop(path, turn));
        const auto rest = render(kReadAhead);
        for (std::size_t i = 0; i < kFileFrames; ++i) {
            const float x = i < out[0].size() ? out[0][i] : rest[0][i - out[0].size()];
            ASSERT_EQ(x, file[i]) << "turn " << turn << ", frame " << i;
        }
    }
    EXPECT_EQ(delegate_->events(),
              (std::vector<std::string>{"file " + path, "playing", "loop 0", "loop 1", "loop 2"}));
    EXPECT_FALSE(delegate_->offMain);

    takeLines();
    EXPECT_FALSE(player_->toggle());
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{kSessionActive, "AUEnginePlayer: Audio engine stopping."}));
    EXPECT_EQ(delegate_->events().back(), "stopped");
    EXPECT_EQ(pf::ManualAudioDevice::current(), nullptr) << "the engine stopped its device";
    player_->stop();
    EXPECT_TRUE(takeLines().empty()) << "stop while stopped prints nothing";
}

TEST_F(PlayerTest, AUnitIsWiredBetweenPlayerAndMixerBeforeAnyFileWhilePlayingAndRemovedAgain) {
    const auto path = addFile(1);
    const auto file = samplesOf(path);
    std::shared_ptr<enginetest::GainUnit> unit;
    bool completed = false;
    player_->connect(enginetest::makeGainNode(&unit), [&] { completed = true; });
    EXPECT_TRUE(completed);
    const std::vector<std::string> attach{
        "AUEnginePlayer: A new audio unit will be connected.",
        "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.",
        "AUEnginePlayer: Audio unit was attached."};
    auto expected = attach;
    expected.push_back("AUEnginePlayer::ERROR: There was a problem with the file processing "
                       "format or the file is nil (yet).");
    EXPECT_EQ(takeLines(), expected);

    // The first start wires it through the load.
    player_->start();
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  "AUEnginePlayer: Audio file at '" + path +
                      "' was selected for loading into the player.",
                  "AUEnginePlayer: Player was (temporarily) disconnecting from the main mixer.",
                  "AUEnginePlayer: Audio unit was (temporarily) disconnecting from the player.",
                  "2", "AUEnginePlayer: Audio unit re-connecting to the player.",
                  "AUEnginePlayer: Audio unit re-connectingto the main mixer.", path,
                  kSessionActive, "AUEnginePlayer: Audio engine starting."}));
    auto out = render(4800);
    for (int c = 0; c < 2; ++c) {
        const auto channel = samplesOf(path, c);
        for (std::size_t i = 0; i < 4800; ++i)
            ASSERT_EQ(out[std::size_t(c)][i], 0.5f * channel[i]) << c << " " << i;
    }

    // Removed while playing: the loop is reset once, playback goes on at full level where it was.
    player_->disconnect();
    EXPECT_EQ(
        takeLines(),
        (std::vector<std::string>{
            "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes disconnection.",
            "AUEnginePlayer: Audio unit was disconnecting and detaching.",
            "AUEnginePlayer: Performed audio unit disconnection.",
            "AUEnginePlayer: The audio unit was set to 'nil'."}));
    out = render(2400);
    for (std::size_t i = 0; i < 2400; ++i)
        ASSERT_EQ(out[0][i], file[4800 + i]) << i;

    // Connected while playing: paused for the rewiring, resumed where it was, at half level.
    player_->connect(enginetest::makeGainNode(&unit));
    expected = attach;
    expected.push_back("AUEnginePlayer: Audio Unit was connected to the player.");
    expected.push_back("AUEnginePlayer: Audio Unit was connected to the main mixer.");
    EXPECT_EQ(takeLines(), expected);
    out = render(2400);
    for (std::size_t i = 0; i < 2400; ++i)
        ASSERT_EQ(out[0][i], 0.5f * file[7200 + i]) << i;
}

TEST_F(PlayerTest, AStartWhilePlayingSwitchesFilesUnlessTheNewOneCannotBeOpened) {
    const auto first = addFile(1);
    const auto bad = (resources_ / "2.m4a").string();
    std::ofstream(bad) << "not audio\n";
    const auto second = addFile(3, 44100, 1000.0, 22050);
    player_->connect(enginetest::makeGainNode());
    drawNext({1, 2, 3});
    player_->start();
    render(2400);
    takeLines();
    const auto events = delegate_->events().size();

    // A file that cannot be opened changes neither the file nor the graph.
    player_->start();
    const auto lines = takeLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("AUEnginePlayer::ERROR: Could not create AVAudioFile instance for "
                             "URL '" +
                                 pf::URL::fileURLWithPath(bad).absoluteString() + "'. error: ",
                             0),
              0u)
        << lines[1];
    EXPECT_EQ(delegate_->events().size(), events) << "no onFileSelect, no notification";
    EXPECT_NEAR(zeroCrossingFrequency(render(4800)[0], 0, 4800, 48000.0), 500.0, 2.0);

    // Another file: the flushed turn's handler schedules it, and its loop goes on.
    player_->start();
    ASSERT_TRUE(waitForLoop(second, 1));
    EXPECT_EQ(delegate_->count("playing"), 1u) << "no second start notification";
    EXPECT_NEAR(zeroCrossingFrequency(render(9600)[0], 480, 9600, 48000.0), 1000.0, 2.0);
}

// A start that cannot sound: a missing resource keeps the earlier file, no file at all fails the
// start, a failed engine start leaves nothing scheduled, and a session failure is only reported.
TEST_F(PlayerTest, StartFailuresAreReportedAndLeaveNothingBehind) {
    drawNext({7});
    EXPECT_FALSE(player_->toggle());
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  "AUEnginePlayer::ERROR: The audio file '7' was not found inside the resource "
                  "folder for the app.",
                  kSessionActive, "AUEnginePlayer::ERROR: `file` parameter must not be nil."}));
    EXPECT_EQ(pf::ManualAudioDevice::current(), nullptr) << "no engine start";

    const auto stale = addFile(1, 48000, 500.0);
    const auto fresh = addFile(2, 48000, 1000.0);
    drawNext({1, 2, 42});
    pf::setAudioOutputOverride("wav:/nonexistent-folder/out.wav");
    EXPECT_FALSE(player_->toggle());
    EXPECT_EQ(takeLines().back().rfind("AUEnginePlayer::ERROR: Could not start audio engine. "
                                       "error: Could not create the WAV file "
                                       "'/nonexistent-folder/out.wav'",
                                       0),
              0u);
    pf::setAudioOutputOverride("manual");
    pf::AVAudioSession::sharedInstance().setActivationFailureForTesting(pf::NSError(
        pf::NSOSStatusErrorDomain, 560030580, {{pf::NSLocalizedDescriptionKey, "Session busy"}}));
    EXPECT_TRUE(player_->toggle());
    EXPECT_TRUE(hasLine("AUEnginePlayer::ERROR: Could not set audio session active true. system "
                        "error: Session busy."));
    pf::AVAudioSession::sharedInstance().setActivationFailureForTesting(std::nullopt);
    EXPECT_NEAR(zeroCrossingFrequency(render(4800)[0], 480, 4800, 48000.0), 1000.0, 2.0)
        << "the new file plays first, not the one of the failed start";
    player_->stop();

    // Missing resource 42: the earlier file loops on, and the loop line names it.
    EXPECT_TRUE(player_->toggle());
    EXPECT_TRUE(hasLine("AUEnginePlayer::ERROR: The audio file '42' was not found inside the "
                        "resource folder for the app."));
    render(kFileFrames - kReadAhead);
    EXPECT_TRUE(waitForLoop(fresh, 1));
    EXPECT_FALSE(hasLine(loopLine(stale, 1)));
    EXPECT_EQ(delegate_->count("playing"), 2u);
}

TEST_F(PlayerTest, MIDIEventsFromTheUnitAreLoggedOnTheMainQueueWithAtMostThreeBytes) {
    std::shared_ptr<enginetest::GainUnit> unit;
    player_->connect(enginetest::makeGainNode(&unit));
    takeLines();
    const auto block = unit->MIDIOutputEventBlock();
    ASSERT_TRUE(block);
    const std::uint8_t bytes[5] = {144, 60, 100, 1, 2};
    // Three bytes, two, five, a null pointer and a negative length.
    const std::pair<const std::uint8_t*, int> calls[] = {
        {bytes, 3}, {bytes, 2}, {bytes, 5}, {nullptr, 3}, {bytes, -1}};
    for (std::int64_t at = 7; const auto& [data, length] : calls)
        EXPECT_EQ(block(at++, 0, length, data), 0);
    EXPECT_TRUE(console_.lines().empty()) << "nothing printed during the call";
    const std::string warning = "AUEnginePlayer::WARNING: The MIDI data length is not as expected.";
    const std::string event = "AUEnginePlayer: MIDI event from audio unit at: ";
    EXPECT_EQ(takeLines(), (std::vector<std::string>{
                               event + "7, data: 144, 60, 100", warning, event + "8, data: 144, 60",
                               warning, event + "9, data: 144, 60, 100",
                               event + "10, data: ", warning, event + "11, data: "}));
}

TEST_F(PlayerTest, ConnectingUnitsOnAnotherThreadWhileStartingAndStoppingEndsInAValidGraph) {
    addFile(1);
    std::atomic<bool> done{false};
    std::thread instantiation([&] {
        for (int i = 0; i < 20; ++i)
            player_->connect(i % 2 ? nullptr : enginetest::makeGainNode());
        done.store(true);
    });
    for (int i = 0; i < 6 || !done.load(); ++i) {
        player_->toggle();
        render(512);
        drain();
    }
    instantiation.join();
    player_->stop();
    std::shared_ptr<enginetest::GainUnit> unit;
    player_->connect(enginetest::makeGainNode(&unit));
    player_->start();
    EXPECT_GT(peak(render(2400)[0], 0, 2400), 0.1);
    EXPECT_GT(unit->log()->cycles.load(), 0) << "the last unit is wired between player and mixer";
}

// A file shorter than a render cycle ends within the cycle that plays it: each turn is still
// heard, reported and counted.
TEST_F(PlayerTest, AFileShorterThanARenderCycleLoopsAndEveryTurnIsCounted) {
    const auto path = addFile(1, 48000, 500.0, 300);
    const auto file = samplesOf(path);
    ASSERT_LT(file.size(), 512u);
    player_->start();
    for (int turn = 1; turn <= 3; ++turn) {
        const auto cycle = render(512);
        for (std::size_t i = 0; i < file.size(); ++i)
            ASSERT_EQ(cycle[0][i], file[i]) << "turn " << turn << ", frame " << i;
        ASSERT_TRUE(waitForLoop(path, turn));
    }
    EXPECT_EQ(delegate_->events(),
              (std::vector<std::string>{"file " + path, "playing", "loop 0", "loop 1", "loop 2"}));
}

// Play draws the file at random from the bundle's 1.m4a … 80.m4a: over many plays every number
// comes up and none outside. The bundle here is empty, so each play names the number it drew.
TEST_F(PlayerTest, PlayDrawsEveryNumberFromOneToEightyAndNoOther) {
    player_ = AUEnginePlayer::make(); // with its own draw, not the script's
    std::set<int> drawn;
    const std::string before = "AUEnginePlayer::ERROR: The audio file '";
    for (int play = 0; play < 3000; ++play) {
        player_->start();
        for (const auto& line : takeLines())
            if (line.starts_with(before)) drawn.insert(std::stoi(line.substr(before.size())));
    }
    std::set<int> all;
    for (int n = 1; n <= 80; ++n)
        all.insert(n);
    EXPECT_EQ(drawn, all);
}
