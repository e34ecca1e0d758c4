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
    EXPECT_GE(finished.frames(), kFileFrames / 2);

    // A title that names nothing on screen ends the run at once with status 2.
    const auto wrong = runApplication(dir_.file("none.wav"), "Plug-In; Paly; quit");
    ASSERT_TRUE(WIFEXITED(wrong.status));
    EXPECT_EQ(WEXITSTATUS(wrong.status), 2);
    EXPECT_NE(wrong.err.find("no control titled 'Paly' on screen"), std::string::npos) << wrong.err;
}

} // namespace
