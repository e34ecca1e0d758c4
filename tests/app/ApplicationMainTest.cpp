// The application's entry ends its process, so how it ends runs in a child process of its own:
// its exit status after an unknown delegate, after a WAV output that failed in any way, and when
// signals come while it ends.
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "audio/devices/WavFileWriter.h"
#include "core/ClassRegistry.h"
#include "ui/UIApplicationMain.h"

namespace {

// Quits as soon as it has launched; with `signals`, ends by SIGTERM instead and, while ending,
// sends another one and hangs (until an alarm kills it).
class QuitAtLaunch : public pf::UIApplicationDelegate {
public:
    bool application(pf::UIApplication&, const pf::UIApplicationLaunchOptions&) override {
        signals ? (void)::kill(::getpid(), SIGTERM) : pf::terminateApplication(0);
        return true;
    }
    void applicationWillTerminate(pf::UIApplication&) override {
        if (!signals) return;
        ::kill(::getpid(), SIGTERM);
        ::alarm(30);
        for (;;)
            ::pause();
    }
    static inline bool signals = false;
};

[[noreturn]] void runEntry(const char* delegate) {
    pf::ClassRegistry::shared().registerClass<pf::UIApplicationDelegate>(
        "QuitAtLaunch", [] { return std::make_shared<QuitAtLaunch>(); });
    char* argv[] = {const_cast<char*>("entry"), nullptr};
    pf::UIApplicationMainWithBundle(1, argv, nullptr, delegate,
                                    pf::Bundle::withPath("/nonexistent"));
}

TEST(ApplicationMain, AnUnknownDelegateClassEndsWithStatusOneAndSaysWhich) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runEntry("NoSuchDelegate"), ::testing::ExitedWithCode(1),
                "no application delegate class named 'NoSuchDelegate'");
}

TEST(ApplicationMain, ASignalWhileTheApplicationEndsEndsItAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QuitAtLaunch::signals = true;
    EXPECT_EXIT(runEntry("QuitAtLaunch"), ::testing::ExitedWithCode(128 + SIGTERM),
                "ending at once on a second signal");
}

// The frames of the float stereo 48 kHz WAV file at `path`, every header field checked against
// the bytes on disk; -1 when no regular file is there.
long wavFrames(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) return -1;
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), {});
    const auto le = [](std::size_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s += char(v >> (8 * i));
        return s;
    };
    const std::size_t data = b.size() - std::min<std::size_t>(b.size(), 44);
    // RIFF size; fmt: 16 bytes, IEEE float, 2 channels, 48000 frames and 384000 bytes a second,
    // 8 bytes a frame, 32 bits a sample; data size.
    EXPECT_EQ(b.substr(0, 44), "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(3, 2) +
                                   le(2, 2) + le(48000, 4) + le(384000, 4) + le(8, 2) + le(32, 2) +
                                   "data" + le(data, 4));
    EXPECT_EQ(data % 8, 0u) << "whole frames";
    return long(data / 8);
}

struct WavRow {
    const char* name;
    const char* target; // in the temporary folder, as "wav:" + path; or an output's name
    enum { file, fifo, folder } kind;
    std::vector<long> fileSizeLimits; // one Play and Stop each; 0: none
    std::uint64_t dataLimit;          // 0: the format's
    long frames;         // in the header at the end, or more by whole periods of 512 (-1: no file)
    const char* message; // on standard error, "@" for the WAV's path
};

// clang-format off
const WavRow kWavRows[] = {
    {"MissingFolder", "missing/out.wav", WavRow::file, {0}, 0, -1,
     "pf: the audio output could not be opened: Could not create the WAV file '@': No such file"},
    {"NamedPipe", "pipe", WavRow::fifo, {0}, 0, -1,
     "pf: the audio output could not be opened: Could not create the WAV file '@': not a regular"},
    {"Folder", "folder", WavRow::folder, {0}, 0, -1,
     "pf: the audio output could not be opened: Could not create the WAV file '@': not a regular"},
    {"UnknownOutput", "", WavRow::file, {0}, 0, -1,
     "pf: the audio output could not be opened: Unknown audio output 'bogus'"},
    {"WriteFailsMidFrame", "out.wav", WavRow::file, {44 + 1004}, 0, 125,
     "pf: could not write the WAV file '@': File too large"},
    {"SizeLimitTwice", "out.wav", WavRow::file, {0, 0}, 1004, 125,
     "pf: the WAV file '@' is full: it holds at most 125 frames; recording into it stopped"},
    {"AppendAfterAFailure", "out.wav", WavRow::file, {44 + 1004, 0}, 0, 637,
     "pf: could not write the WAV file '@': File too large"},
};
// clang-format on
void PrintTo(const WavRow& row, std::ostream* out) {
    *out << row.name;
}

class WavOutput : public ::testing::TestWithParam<WavRow> {};

TEST_P(WavOutput, HoldsWhatItSaysSaysWhatFailedAndEndsTheRunWithItsStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const WavRow& row = GetParam();
    enginetest::TempDir dir;
    const std::string path = dir.file(row.target);
    ASSERT_TRUE(row.kind != WavRow::fifo || ::mkfifo(path.c_str(), 0644) == 0);
    ASSERT_TRUE(row.kind != WavRow::folder || std::filesystem::create_directory(path));
    pf::setAudioOutputOverride(*row.target ? "wav:" + path : "bogus");
    pf::WavFileWriter::setDataLimitForTesting(row.dataLimit ? std::optional(row.dataLimit)
                                                            : std::nullopt);
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN); // a full disk: writes past the size limit fail with EFBIG
    ::testing::internal::CaptureStderr();
    for (const long limit : row.fileSizeLimits) {
        const rlimit small{rlim_t(limit), unlimited.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, limit ? &small : &unlimited);
        try {
            pf::AVAudioEngine::make()->start(); // the engine stops as it goes
        } catch (const pf::NSErrorException&) {
        }
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
    }
    const auto err = ::testing::internal::GetCapturedStderr();
    pf::setAudioOutputOverride(std::nullopt);
    pf::WavFileWriter::setDataLimitForTesting(std::nullopt);
    EXPECT_EXIT(runEntry("QuitAtLaunch"), ::testing::ExitedWithCode(3), "");

    std::string message = row.message;
    if (const auto at = message.find('@'); at != std::string::npos) message.replace(at, 1, path);
    EXPECT_NE(err.find(message), std::string::npos) << err;
    const long frames = wavFrames(path);
    EXPECT_EQ(frames % 512, row.frames % 512) << "appended on a frame boundary";
    EXPECT_GE(frames, row.frames);
    if (frames >= 0) {
        EXPECT_NE(err.find("' closed: " + std::to_string(frames) + " frames;"), std::string::npos)
            << "the closing line counts what the file holds: " << err;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, WavOutput, ::testing::ValuesIn(kWavRows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
