#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
    }
    void TearDown() override { fs::remove_all(dir_); }
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

// Only a regular file below 4 GiB loads; anything else names the path and empties the string.
// The 4 GiB file is sparse, so it costs no disk space.
TEST_F(CStringFile, LoadingAMissingFileADirectoryOrAFileOfFourGigabytesIsRefused) {
    const std::string huge = path("huge.bin");
    std::FILE* f = std::fopen(huge.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const bool sized = ::ftruncate(fileno(f), 0x100000000LL) == 0;
    std::fclose(f);
    for (const std::string& file : {path("missing.txt"), dir_.string(), huge}) {
        if (file == huge && !sized) continue;
        CString s("old");
        EXPECT_EQ(printed([&] { EXPECT_EQ(s << file.c_str(), 0); }), cannotLoad(file));
        EXPECT_TRUE(s.Empty()) << file;
    }
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

// Saving reports an empty string, a path that cannot be opened, and a full disk (which often
// shows only when the file is closed).
TEST_F(CStringFile, SaveFailuresAreReported) {
    EXPECT_EQ(printed([&] { CString() >> path("never.txt").c_str(); }),
              "\nError: String object is empty.");
    EXPECT_FALSE(fs::exists(path("never.txt")));
    CString s("some text that cannot be stored");
    EXPECT_EQ(printed([&] { s >> dir_.c_str(); }),
              "\nERROR: File '" + dir_.string() + "' could not be opened for saving.");
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(printed([&] { EXPECT_EQ(s >> "/dev/full", 0); }), "\nERROR: While writing file.");
}

} // namespace
