#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Vesk/CString.h"
#include "vesk_test_support.h"

namespace {

using Vesk::CString;
namespace fs = std::filesystem;

using vesk_test::text;

using vesk_test::printed;

class CStringFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vesk-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(CStringFile, SaveAndLoadRoundTripBinaryBytes) {
    CString out;
    out = "line one\n";
    out += '\0';
    out += "\xFF tail";
    const std::string file = path("data.bin");
    EXPECT_EQ(printed([&] { EXPECT_EQ(out >> file.c_str(), 0); }), "");

    CString in("previous");
    std::string log = printed([&] { EXPECT_EQ(in << file.c_str(), 16); });
    EXPECT_EQ(log, "");
    EXPECT_EQ(text(in), text(out));
    EXPECT_EQ(fs::file_size(file), 16u);
}

TEST_F(CStringFile, AbsentPathsDoNothing) {
    CString s("keep");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << static_cast<const char*>(nullptr), 0); }), "");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s >> static_cast<const char*>(nullptr), 0); }), "");
    EXPECT_EQ(text(s), "keep");
}

TEST_F(CStringFile, LoadingAMissingFileNamesItAndEmptiesTheString) {
    CString s("old");
    const std::string file = path("missing.txt");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << file.c_str(), 0); }),
              "\nERROR: File '" + file + "' could not be opened for loading.");
    EXPECT_TRUE(s.Empty());
}

TEST_F(CStringFile, LoadingAnEmptyFileGivesAnEmptyString) {
    const std::string file = path("empty.txt");
    std::ofstream(file).close();
    CString s("old");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << file.c_str(), 0); }), "");
    EXPECT_TRUE(s.Empty());
}

TEST_F(CStringFile, SavingAnEmptyStringIsRefused) {
    const std::string file = path("never.txt");
    EXPECT_EQ(printed([&] { EXPECT_EQ(CString() >> file.c_str(), 0); }),
              "\nError: String object is empty.");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(CStringFile, SavingWhereNoFileCanBeOpenedNamesThePath) {
    CString s("x");
    const std::string target = dir_.string(); // a directory cannot be opened for writing
    EXPECT_EQ(printed([&] { s >> target.c_str(); }),
              "\nERROR: File '" + target + "' could not be opened for saving.");
}

// Fault S5: a directory opens for reading on Linux, and its size is no file size.
TEST_F(CStringFile, LoadingADirectoryIsRefused) {
    CString s("old");
    const std::string target = dir_.string();
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << target.c_str(), 0); }),
              "\nERROR: File '" + target + "' could not be opened for loading.");
    EXPECT_TRUE(s.Empty());
}

// Fault S5: a file of 4 GiB or more wrapped the 32-bit length. The file is sparse, so this
// costs no disk space.
TEST_F(CStringFile, LoadingAFileOfFourGigabytesIsRefused) {
    const std::string file = path("huge.bin");
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const bool sized = ::ftruncate(fileno(f), 0x100000000LL) == 0;
    std::fclose(f);
    if (!sized) GTEST_SKIP() << "the file system has no room for a sparse 4 GiB file";
    CString s("old");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s << file.c_str(), 0); }),
              "\nERROR: File '" + file + "' could not be opened for loading.");
    EXPECT_TRUE(s.Empty());
}

// Fault S5: a short read was reported as success with the file's size. A kernel attribute file
// announces a page but delivers a line, which is exactly a short read.
TEST_F(CStringFile, AShortReadIsAFailure) {
    const char* candidates[] = {"/sys/kernel/mm/transparent_hugepage/enabled",
                                "/sys/kernel/profiling", "/sys/power/state",
                                "/sys/devices/system/cpu/online"};
    const char* source = nullptr;
    for (const char* candidate : candidates) {
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

// Fault S5: save never checked its writes, so a full disk lost the text silently.
TEST_F(CStringFile, AFullDiskIsReported) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    CString s("some text that cannot be stored");
    EXPECT_EQ(printed([&] { EXPECT_EQ(s >> "/dev/full", 0); }), "\nERROR: While writing file.");
}

} // namespace
