// The application end to end, in a child process: the real plug-in found and connected, a short
// file looped through it into a WAV without a display, and every way the run ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "AacM4aWriter.h"
#include "TempDir.h"
#include "audio/AVAudioFile.h"

extern char** environ;

namespace {

struct Child {
    int status = -1;
    std::string out, err;
};

// Starts the application of the loop bundle with the offscreen backend, the WAV output and
// `actions`; reads its standard output until `until` has arrived (empty: the end), then sends
// `signal` (0: none) and reads to the end. A `fileSizeLimit` (bytes) is the child's RLIMIT_FSIZE.
Child runApplication(const std::string& wav, const std::string& actions,
                     const std::string& until = {}, int signal = 0, rlim_t fileSizeLimit = 0) {
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
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("PF_", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = ORVEX_LOOP_APP "/MacOS/Orvex_Compander";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit limited{fileSizeLimit, unlimited.rlim_max};
    if (fileSizeLimit != 0) ::setrlimit(RLIMIT_FSIZE, &limited);
    const int spawned = ::posix_spawn(&pid, program.c_str(), &files, nullptr, argv, envp.data());
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
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

// A float WAV as the output device writes it: whether its header is a float stereo one, the data
// size its header gives, the size of the file, whether that data size counts all the samples
// (every field of the header: tests/app/ApplicationMainTest.cpp), and the interleaved stereo
// frames.
struct Wav {
    bool valid = false;
    std::uint32_t dataBytes = 0;
    std::uintmax_t fileBytes = 0;
    bool complete = false;
    std::vector<float> samples;
    std::size_t frames() const { return samples.size() / 2; }
};

Wav readWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), {});
    Wav wav;
    if (b.size() < 44) return wav;
    const auto* h = reinterpret_cast<const unsigned char*>(b.data());
    wav.valid = std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVEfmt ", 8) == 0 &&
                h[20] == 3 && h[22] == 2 && std::memcmp(h + 36, "data", 4) == 0;
    wav.dataBytes = std::uint32_t(h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24);
    wav.fileBytes = b.size();
    wav.complete = b.compare(0, 4, "RIFF") == 0 && wav.dataBytes == b.size() - 44;
    wav.samples.resize((b.size() - 44) / sizeof(float));
    std::memcpy(wav.samples.data(), b.data() + 44, wav.samples.size() * sizeof(float));
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

    // Play once the plug-in is connected; quit once the loop has turned four times.
    const auto path = dir_.file("out.wav");
    const auto run = runApplication(path, "Plug-In; wait for AUExtensionManager: Performed audio "
                                          "unit connection.; Play; wait for looped: 4.; quit");
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_EQ(run.out.rfind("Info: Main view controller loaded.\nNOTE: WE ARE IN AUDIO UNIT "
                            "RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!\n",
                            0),
              0u)
        << run.out;
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
    ASSERT_TRUE(wav.valid && wav.frames() > 0);
    EXPECT_EQ(wav.dataBytes + 44u, wav.fileBytes) << "the header holds the whole run";
    ASSERT_TRUE(wav.complete) << "the header holds the whole run";
    // From the first sound to the last: three turns at least, and never more than 8 silent
    // frames in a row.
    const auto silent = [&](std::size_t i) {
        return wav.samples[2 * i] == 0.0f && wav.samples[2 * i + 1] == 0.0f;
    };
    std::size_t first = 0, last = wav.frames() - 1, longest = 0;
    while (first < last && silent(first))
        ++first;
    while (last > first && silent(last))
        --last;
    for (std::size_t i = first, run_ = 0; i <= last; ++i)
        longest = std::max(longest, run_ = silent(i) ? run_ + 1 : 0);
    double peak = 0;
    for (float x : wav.samples)
        peak = std::max(peak, double(std::fabs(x)));
    std::fprintf(stderr, "loop figures: %zu frames played; longest silent run %zu\n", last - first,
                 longest);
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
    EXPECT_TRUE(finished.complete);
    EXPECT_GE(finished.frames(), kFileFrames / 2);

    // A file-size limit reached while recording is a write error the run reports, not a signal
    // that kills it with the header unwritten: the audio plays on and the status says it failed.
    const auto limitedPath = dir_.file("limited.wav");
    const auto limited =
        runApplication(limitedPath, "Play; wait for looped: 1.; quit", {}, 0, 40000);
    ASSERT_TRUE(WIFEXITED(limited.status)) << limited.err;
    EXPECT_EQ(WEXITSTATUS(limited.status), 3);
    EXPECT_NE(
        limited.err.find("pf: could not write the WAV file '" + limitedPath + "': File too large"),
        std::string::npos)
        << limited.err;
    EXPECT_TRUE(readWav(limitedPath).complete);

    // A title that names nothing on screen ends the run at once with status 2.
    const auto wrongTitle = runApplication(dir_.file("none.wav"), "Plug-In; Paly; quit");
    ASSERT_TRUE(WIFEXITED(wrongTitle.status));
    EXPECT_EQ(WEXITSTATUS(wrongTitle.status), 2);
    EXPECT_NE(wrongTitle.err.find("no control titled 'Paly' on screen"), std::string::npos)
        << wrongTitle.err;

    // A named pipe as the WAV file is refused at once: the engine's line on standard output, the
    // path and the reason on standard error. A title that names nothing on screen then ends the
    // run with status 2.
    const auto pipe = dir_.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const auto wrong = runApplication(pipe, "Play; Paly; quit");
    ASSERT_TRUE(WIFEXITED(wrong.status)) << wrong.err;
    EXPECT_EQ(WEXITSTATUS(wrong.status), 2);
    const auto reason = "Could not create the WAV file '" + pipe + "': not a regular file";
    EXPECT_EQ(countOf(wrong.out, "AUEnginePlayer::ERROR: Could not start audio engine. error: " +
                                     reason + ".\n"),
              1u)
        << wrong.out;
    EXPECT_EQ(countOf(wrong.err, "pf: the audio output could not be opened: " + reason), 1u)
        << wrong.err;
    EXPECT_NE(wrong.err.find("no control titled 'Paly' on screen"), std::string::npos) << wrong.err;
}

} // namespace
