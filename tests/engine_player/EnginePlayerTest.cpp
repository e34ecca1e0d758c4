// The engine player: its wiring sequences and their lines, the file loop, notifications on the
// main thread, the session, the MIDI output log, and the faults fixed on its start path.
#include "PlayerFixture.h"

using namespace playertest;
using enginetest::peak;
using enginetest::zeroCrossingFrequency;

namespace {

const std::string kSessionActive = "AUEnginePlayer: Audio session was set active.";
const std::string kNilWarning =
    "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes disconnection.";

// The lines of a connect with a unit that reports MIDI output names, then `rest`.
std::vector<std::string> unitConnectLines(std::initializer_list<std::string> rest) {
    std::vector<std::string> lines{
        "AUEnginePlayer: A new audio unit will be connected.",
        "AUEnginePlayer: The audio unit reports MIDI output names. Assigning a handling block.",
        "AUEnginePlayer: Audio unit was attached."};
    lines.insert(lines.end(), rest);
    return lines;
}

std::vector<std::string> loadLinesWithoutUnit(const std::string& path) {
    return {"AUEnginePlayer: Audio file at '" + path +
                "' was selected for loading into the player.",
            "AUEnginePlayer: The player was connected to the mainMixerNode.", path};
}

} // namespace

TEST_F(PlayerTest, StartWithoutAUnitPlaysTheFileIntoTheMixerAndNotifiesOnTheMainThread) {
    const auto path = addFile(1);
    drawNext({1});
    EXPECT_TRUE(player_->toggle());
    auto expected = loadLinesWithoutUnit(path);
    expected.push_back(kSessionActive);
    expected.push_back("AUEnginePlayer: Audio engine starting.");
    EXPECT_EQ(takeLines(), expected);
    EXPECT_EQ(delegate_->names(), (std::vector<std::string>{"file " + path, "playing"}));
    for (const auto& e : delegate_->events())
        EXPECT_TRUE(e.onMain) << e.what;

    const auto file = pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path));
    const auto out = render(4800);
    for (std::size_t i = 0; i < 4800; ++i)
        ASSERT_EQ(out[0][i], file->samples()->samples[0][i]);

    EXPECT_FALSE(player_->toggle());
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{kSessionActive, "AUEnginePlayer: Audio engine stopping."}));
    EXPECT_EQ(delegate_->names().back(), "stopped");
    EXPECT_TRUE(delegate_->events().back().onMain);
    EXPECT_EQ(pf::ManualAudioDevice::current(), nullptr) << "the engine stopped its device";

    player_->stop();
    EXPECT_TRUE(takeLines().empty()) << "stop while stopped prints nothing";
}

TEST_F(PlayerTest, EveryFinishedLoopIsReportedAndPlaybackGoesOn) {
    const auto path = addFile(1);
    player_->start();
    takeLines();
    render(kFileFrames + 512);
    ASSERT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + path + "' looped: 1."));
    ASSERT_TRUE(soundsAgain()) << "the file was scheduled again";
    render(kFileFrames);
    ASSERT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + path + "' looped: 2."));
    EXPECT_EQ(delegate_->count("loop"), 2u);
    EXPECT_EQ(delegate_->names()[2], "loop 0") << "the first loop reports 0";
    EXPECT_EQ(delegate_->names()[3], "loop 1");
    for (const auto& e : delegate_->events())
        EXPECT_TRUE(e.onMain) << e.what;
}

TEST_F(PlayerTest, AStopFollowedAtOnceByAStartRunsOneLoopChain) {
    const auto path = addFile(1);
    for (int round = 0; round < 5; ++round) {
        player_->start();
        player_->stop();
    }
    player_->start();
    ASSERT_TRUE(soundsAgain());
    render(kFileFrames);
    ASSERT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + path + "' looped: 1."));
    runUntil(
        [&] { return hasLine("AUEnginePlayer: Current audio file '" + path + "' looped: 2."); },
        kGrace);
    EXPECT_FALSE(hasLine("AUEnginePlayer: Current audio file '" + path + "' looped: 2."))
        << "a handler flushed by an earlier stop started a second chain";
    EXPECT_EQ(delegate_->count("loop"), 1u);
}

TEST_F(PlayerTest, AUnitConnectedBeforeAnyFileIsAttachedUnwiredAndWiredByTheFirstStart) {
    const auto path = addFile(1);
    std::shared_ptr<GainUnit> unit;
    bool completed = false;
    player_->connect(gainNode(&unit), [&] { completed = true; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(takeLines(),
              unitConnectLines({"AUEnginePlayer::ERROR: There was a problem with the file "
                                "processing format or the file is nil (yet)."}));
    EXPECT_TRUE(unit->MIDIOutputEventBlock());

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

    // Player → unit → mixer at one rate: exactly half of the file.
    const auto file = pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path));
    const auto out = render(kFileFrames);
    for (int c = 0; c < 2; ++c) {
        for (std::size_t i = 0; i < kFileFrames; ++i) {
            ASSERT_EQ(out[c][i], 0.5f * file->samples()->samples[c][i]) << c << " " << i;
        }
    }
}

TEST_F(PlayerTest, AUnitConnectedWhilePlayingIsWiredBetweenPlayerAndMixerAndPlaybackResumes) {
    const auto path = addFile(1);
    const auto file = pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path));
    const auto& samples = file->samples()->samples[0];
    player_->start();
    const auto before = render(4800);
    for (std::size_t i = 0; i < 4800; ++i)
        ASSERT_EQ(before[0][i], samples[i]);
    takeLines();
    std::shared_ptr<GainUnit> unit;
    player_->connect(gainNode(&unit));
    EXPECT_EQ(takeLines(),
              unitConnectLines({"AUEnginePlayer: Audio Unit was connected to the player.",
                                "AUEnginePlayer: Audio Unit was connected to the main mixer."}));
    // Paused for the rewiring and resumed where it was: no frame lost, now at half level.
    const auto after = render(2400);
    for (std::size_t i = 0; i < 2400; ++i)
        ASSERT_EQ(after[0][i], 0.5f * samples[4800 + i]) << i;
    EXPECT_GT(unit->log()->cycles.load(), 0);
}

TEST_F(PlayerTest, RemovingTheUnitResetsTheLoopOnceAndPlaysStraightIntoTheMixer) {
    const auto path = addFile(1);
    const auto file = pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(path));
    const auto& samples = file->samples()->samples[0];
    player_->connect(gainNode());
    player_->start();
    render(4800);
    takeLines();
    player_->disconnect();
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  kNilWarning, "AUEnginePlayer: Audio unit was disconnecting and detaching.",
                  "AUEnginePlayer: Performed audio unit disconnection.",
                  "AUEnginePlayer: The audio unit was set to 'nil'."}));
    const auto out = render(2400);
    for (std::size_t i = 0; i < 2400; ++i)
        ASSERT_EQ(out[0][i], samples[4800 + i]) << i;

    // Without any unit or file, the reset runs once and reports the missing file.
    auto fresh = AUEnginePlayer::make();
    fresh->connect(nullptr);
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  kNilWarning,
                  "AUEnginePlayer: ERROR: There is a problem with the audio file processing "
                  "format.",
                  "AUEnginePlayer: The audio unit was set to 'nil'."}));
}

TEST_F(PlayerTest, StartWhilePlayingSwitchesFilesAndTheLoopContinuesWithTheNewFile) {
    const auto first = addFile(1, 48000, 500.0);
    const auto second = addFile(2, 44100, 1000.0, 8820);
    player_->connect(gainNode());
    drawNext({1, 2});
    player_->start();
    render(2400);
    takeLines();
    const auto notifications = delegate_->count("playing");

    player_->start(); // while playing: another file, rewired, no notification
    ASSERT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + second + "' looped: 1."))
        << "the flushed segment's handler schedules the new file";
    EXPECT_EQ(delegate_->count("playing"), notifications);
    ASSERT_TRUE(soundsAgain());
    const auto out = render(9600);
    EXPECT_NEAR(zeroCrossingFrequency(out[0], 480, 9000, 48000.0), 1000.0, 2.0);
    render(2400);
    ASSERT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + second + "' looped: 2."));
}

TEST_F(PlayerTest, StartWithNoFileAtAllFailsWithoutStartingOrNotifying) {
    drawNext({7});
    EXPECT_FALSE(player_->toggle());
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  "AUEnginePlayer::ERROR: The audio file '7' was not found inside the resource "
                  "folder for the app.",
                  kSessionActive, "AUEnginePlayer::ERROR: `file` parameter must not be nil."}));
    runUntil([] { return false; }, kGrace);
    EXPECT_EQ(delegate_->count("playing"), 0u);
    EXPECT_EQ(pf::ManualAudioDevice::current(), nullptr) << "no engine start";
}

TEST_F(PlayerTest, AFailedEngineStartLeavesNothingScheduledForTheNextStart) {
    const auto stale = addFile(1, 48000, 500.0);
    addFile(2, 48000, 1000.0);
    drawNext({1, 2});
    pf::setAudioOutputOverride("wav:/nonexistent-folder/out.wav");
    EXPECT_FALSE(player_->toggle());
    const auto lines = takeLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("AUEnginePlayer::ERROR: Could not start audio engine. error: "
                                 "Could not create the WAV file '/nonexistent-folder/out.wav'",
                                 0),
              0u)
        << lines.back();
    EXPECT_EQ(delegate_->count("playing"), 0u);

    pf::setAudioOutputOverride("manual");
    EXPECT_TRUE(player_->toggle());
    const auto out = render(4800);
    EXPECT_NEAR(zeroCrossingFrequency(out[0], 480, 4800, 48000.0), 1000.0, 2.0)
        << "the new file plays first, not the one of the failed start";
    render(kFileFrames);
    runUntil([&] { return delegate_->count("loop") >= 1; });
    EXPECT_FALSE(hasLine("AUEnginePlayer: Current audio file '" + stale + "' looped: 1."));
}

TEST_F(PlayerTest, AMissingResourceKeepsThePreviousFileLoopingAndTheLoopLineNamesIt) {
    const auto path = addFile(1);
    drawNext({1, 42});
    player_->start();
    player_->stop();
    takeLines();
    player_->start();
    EXPECT_EQ(takeLines(),
              (std::vector<std::string>{
                  "AUEnginePlayer::ERROR: The audio file '42' was not found inside the resource "
                  "folder for the app.",
                  kSessionActive, "AUEnginePlayer: Audio engine starting."}));
    render(kFileFrames + 512);
    EXPECT_TRUE(waitForLine("AUEnginePlayer: Current audio file '" + path + "' looped: 1."));
}

TEST_F(PlayerTest, AFileThatCannotBeOpenedChangesNeitherTheFileNorTheGraph) {
    const auto good = addFile(1);
    const auto bad = (resources_ / "2.m4a").string();
    enginetest::TempDir unused;
    {
        std::FILE* f = std::fopen(bad.c_str(), "w");
        std::fputs("not audio\n", f);
        std::fclose(f);
    }
    drawNext({1, 2});
    player_->start();
    takeLines();
    const auto events = delegate_->events().size();
    player_->start(); // while playing: draws 2, which fails to open
    const auto lines = takeLines();
    ASSERT_GE(lines.size(), 2u);
    const auto prefix = "AUEnginePlayer::ERROR: Could not create AVAudioFile instance for URL '" +
                        pf::URL::fileURLWithPath(bad).absoluteString() + "'. error: ";
    EXPECT_EQ(lines[1].rfind(prefix, 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].back(), '.');
    EXPECT_EQ(delegate_->events().size(), events) << "no onFileSelect";
    EXPECT_TRUE(soundsAgain()) << "the earlier file plays on";
}

TEST_F(PlayerTest, SessionFailuresAreReportedAndTheStartGoesOn) {
    addFile(1);
    pf::AVAudioSession::sharedInstance().setActivationFailureForTesting(pf::NSError(
        pf::NSOSStatusErrorDomain, 560030580, {{pf::NSLocalizedDescriptionKey, "Session busy"}}));
    player_->start();
    EXPECT_TRUE(hasLine("AUEnginePlayer::ERROR: Could not set audio session active true. system "
                        "error: Session busy."));
    EXPECT_TRUE(waitForLine("AUEnginePlayer: Audio engine starting."));
}

TEST_F(PlayerTest, MIDIEventsFromTheUnitAreLoggedOnTheMainQueueWithAtMostThreeBytes) {
    std::shared_ptr<GainUnit> unit;
    player_->connect(gainNode(&unit));
    takeLines();
    const auto block = unit->MIDIOutputEventBlock();
    ASSERT_TRUE(block);
    const std::uint8_t bytes[5] = {144, 60, 100, 1, 2};
    EXPECT_EQ(block(7, 0, 3, bytes), 0);
    EXPECT_EQ(block(8, 0, 2, bytes), 0);
    EXPECT_EQ(block(9, 0, 5, bytes), 0);
    EXPECT_EQ(block(10, 0, 3, nullptr), 0) << "nothing is read through a null pointer";
    EXPECT_EQ(block(11, 0, -1, bytes), 0);
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
    addFile(2, 44100, 1000.0, 8820);
    drawNext({1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2});
    std::atomic<bool> done{false};
    std::thread instantiation([&] {
        for (int i = 0; i < 20; ++i)
            player_->connect(i % 2 ? nullptr : gainNode());
        done.store(true);
    });
    for (int i = 0; i < 6 || !done.load(); ++i) {
        player_->toggle();
        render(512);
        drain();
    }
    instantiation.join();
    player_->stop();
    std::shared_ptr<GainUnit> unit;
    player_->connect(gainNode(&unit));
    player_->start();
    ASSERT_TRUE(soundsAgain());
    EXPECT_GT(unit->log()->cycles.load(), 0) << "the last unit is wired between player and mixer";
}
