#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Vesk/CString.h"
#include "vesk_test_support.h"

namespace {

using Vesk::CString;
namespace fs = std::filesystem;

using vesk_test::printed;
using vesk_test::text;

class CStringFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vesk-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ::alarm(10); // a file operation that blocks ends the test instead of hanging the suite
    }
    void TearDown() override {
        ::alarm(0);
        fs::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    static std::string cannotLoad(const std::string& file) {
        return "\nERROR: File '" + file + "' could not be opened for loading.";
    }

    fs::path dir_;
};

TEST_F(CStringFile, SaveAndLoadRoundTripBinaryBytes) {
    CString out("line one\n");
    out += '\0';
    out += "\xFF tail";
    const std::string file = path("data.bin");
    EXPECT_EQ(printed([&] { EXPECT_EQ(out >> file.c_str(), 0); }), "");
    CString in("previous");
    EXPECT_EQ(printed([&] { EXPECT_EQ(in << file.c_str(), 16); }), "");
    EXPECT_EQ(text(in), text(out));

    std::ofstream(path("empty.txt")).close();
    EXPECT_EQ(printed([&] { EXPECT_EQ(in << path("empty.txt").c_str(), 0); }), "");
    EXPECT_TRUE(in.Empty());
}

// Only a regular file below 4 GiB loads or is saved over; anything else names the path, empties
// the string or leaves the target alone, and never blocks. The 4 GiB file is sparse, so it costs
// no disk space.
TEST_F(CStringFile, AnythingButARegularFileBelowFourGigabytesIsRefusedWithoutBlocking) {
    const std::string huge = path("huge.bin"), fifo = path("pipe");
    std::ofstream(huge).close();
    fs::resize_file(huge, 0x100000000LL);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& file :
         {path("missing.txt"), dir_.string(), fifo, std::string("/dev/zero"), huge}) {
        CString s("old");
        EXPECT_EQ(printed([&] { EXPECT_EQ(s << file.c_str(), 0); }), cannotLoad(file));
        EXPECT_TRUE(s.Empty()) << file;
    }
    CString s("some text that cannot be stored");
    for (const std::string& file : {dir_.string(), fifo, std::string("/dev/null")})
        EXPECT_EQ(printed([&] { s >> file.c_str(); }),
                  "\nERROR: File '" + file + "' could not be opened for saving.");
}

// A kernel attribute file announces a page but delivers a line: exactly a short read, which
// must fail instead of passing for the file's announced size.
TEST_F(CStringFile, AShortReadIsAFailure) {
    const char* source = nullptr;
    for (const char* candidate : {"/sys/kernel/mm/transparent_hugepage/enabled",
                                  "/sys/kernel/profiling", "/sys/devices/system/cpu/online"}) {
        struct stat info {};
        if (::stat(candidate, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 4096 &&
            ::access(candidate, R_OK) == 0) {
            source = candidate;
            break;
        }
    }
    if (source == nullptr) GTEST_SKIP() << "no kernel attribute file to read";
    CString s("old");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << source, 0); }), "\nERROR: While reading file.");
    EXPECT_TRUE(s.Empty());
}

// Saving reports an empty string, a path that cannot be opened (a folder, or a device such as
// /dev/full, which is no regular file), and a full disk, which often shows only when the file is
// closed: a file size limit stands in for the full disk. Each failure returns 0.
TEST_F(CStringFile, SaveFailuresAreReported) {
    EXPECT_EQ(printed([&] { CString() >> path("never.txt").c_str(); }),
              "\nError: String object is empty.");
    EXPECT_FALSE(fs::exists(path("never.txt")));
    CString refused("some text that cannot be stored");
    EXPECT_EQ(printed([&] { refused >> dir_.c_str(); }),
              "\nERROR: File '" + dir_.string() + "' could not be opened for saving.");
    EXPECT_EQ(printed([&] { EXPECT_EQ(refused >> "/dev/full", 0); }),
              "\nERROR: File '/dev/full' could not be opened for saving.");
    CString s(std::string(64, 'x').c_str());
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{32, old.rlim_max}; // room for the captured error line, not for the text
    std::signal(SIGXFSZ, SIG_IGN);
    int saved = -1;
    EXPECT_EQ(printed([&] {
                  ::setrlimit(RLIMIT_FSIZE, &small);
                  saved = s >> path("full.txt").c_str();
                  ::setrlimit(RLIMIT_FSIZE, &old);
              }),
              "\nERROR: While writing file.");
    EXPECT_EQ(saved, 0);
}

} // namespace
