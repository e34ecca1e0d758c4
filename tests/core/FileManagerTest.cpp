#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "EnvGuard.h"
#include "TempDir.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "core/ProcessInfo.h"
#include "core/URL.h"

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(FileManager, AtomicWriteReplacesWholeFilesAndLeavesNothingBehindOnFailure) {
    test::TempDir dir;
    auto& fm = pf::FileManager::defaultManager();
    const std::string file = dir.path() + "/state.plist";
    writeText(file, "old content that is longer than the new one");
    fm.writeAtomically(file, bytes("new"));
    EXPECT_EQ(readText(file), "new");

    // A directory in the way: the rename fails, the directory stays as it was.
    const std::string blocked = dir.path() + "/blocked";
    fm.createDirectory(blocked, false);
    writeText(blocked + "/inside", "kept");
    EXPECT_THROW(fm.writeAtomically(blocked, bytes("data")), pf::NSErrorException);
    EXPECT_EQ(readText(blocked + "/inside"), "kept");

    // A missing folder: nothing is created.
    EXPECT_THROW(fm.writeAtomically(dir.path() + "/missing/file", bytes("data")),
                 pf::NSErrorException);

    EXPECT_EQ(fm.contentsOfDirectory(dir.path()),
              (std::vector<std::string>{"blocked", "state.plist"})); // no temporary file left
}

TEST(FileManager, CreateDirectoryMakesIntermediatesAndRefusesAFileInTheWay) {
    test::TempDir dir;
    auto& fm = pf::FileManager::defaultManager();
    const std::string deep = dir.path() + "/a/b/c";
    fm.createDirectory(pf::URL::fileURLWithPath(deep, true), true);
    bool isDirectory = false;
    EXPECT_TRUE(fm.fileExists(deep, isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_NO_THROW(fm.createDirectory(deep, true)); // existing: fine with intermediates

    try {
        fm.createDirectory(deep, false);
        ADD_FAILURE();
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().code(), pf::NSFileWriteFileExistsError);
    }

    const std::string file = dir.path() + "/plain";
    writeText(file, "x");
    try {
        fm.createDirectory(file, true);
        ADD_FAILURE();
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().domain(), pf::NSCocoaErrorDomain);
        EXPECT_EQ(e.error().code(), pf::NSFileWriteFileExistsError);
        EXPECT_EQ(e.error().localizedDescription(),
                  "The file \u201Cplain\u201D couldn\u2019t be saved in the folder \u201C" +
                      pf::URL::fileURLWithPath(dir.path()).lastPathComponent() +
                      "\u201D because a file with the same name already exists.");
    }
    EXPECT_THROW(fm.createDirectory(file + "/below", true), pf::NSErrorException);
    EXPECT_TRUE(fm.fileExists(file, isDirectory));
    EXPECT_FALSE(isDirectory);
}

TEST(FileManager, ContentsOfDirectoryAreSortedByName) {
    test::TempDir dir;
    auto& fm = pf::FileManager::defaultManager();
    for (const char* name : {"b.plist", "A.plist", "a.plist", "10.plist", "2.plist"}) {
        writeText(dir.path() + "/" + name, "");
    }
    EXPECT_EQ(fm.contentsOfDirectory(dir.path()),
              (std::vector<std::string>{"10.plist", "2.plist", "A.plist", "a.plist", "b.plist"}));
    try {
        fm.contentsOfDirectory(dir.path() + "/nope");
        ADD_FAILURE();
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().localizedDescription(),
                  "The folder \u201Cnope\u201D doesn\u2019t exist.");
    }
    EXPECT_THROW(fm.readData(dir.path()), pf::NSErrorException);
    EXPECT_FALSE(fm.contents(dir.path() + "/nope").has_value());
}

TEST(FileManager, DocumentsFolderFollowsXdgDataHomeThenHome) {
    test::EnvGuard xdg("XDG_DATA_HOME");
    test::EnvGuard home("HOME");
    auto& fm = pf::FileManager::defaultManager();
    const auto name = pf::ProcessInfo::processInfo().processName();
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    auto urls = fm.urls(pf::FileManager::SearchPathDirectory::documentDirectory,
                        pf::FileManager::SearchPathDomainMask::userDomainMask);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].path(), "/data/home/" + name + "/Documents");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/someone", 1);
    urls = fm.urls(pf::FileManager::SearchPathDirectory::documentDirectory,
                   pf::FileManager::SearchPathDomainMask::userDomainMask);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].path(), "/home/someone/.local/share/" + name + "/Documents");
    ::unsetenv("HOME");
    EXPECT_TRUE(fm.urls(pf::FileManager::SearchPathDirectory::documentDirectory,
                        pf::FileManager::SearchPathDomainMask::userDomainMask)
                    .empty());
}

TEST(URL, FileUrlsEscapeTheirPathAndTakeItApart) {
    const auto url = pf::URL::fileURLWithPath("/tmp/a b/Factory Presets/Soft.plist");
    EXPECT_TRUE(url.isFileURL());
    EXPECT_EQ(url.absoluteString(), "file:///tmp/a%20b/Factory%20Presets/Soft.plist");
    EXPECT_EQ(url.path(), "/tmp/a b/Factory Presets/Soft.plist");
    EXPECT_EQ(url.lastPathComponent(), "Soft.plist");
    EXPECT_EQ(url.pathExtension(), "plist");
    EXPECT_EQ(url.deletingPathExtension().lastPathComponent(), "Soft");
    EXPECT_EQ(url.deletingLastPathComponent().path(), "/tmp/a b/Factory Presets");
    const auto folder = pf::URL::fileURLWithPath("/tmp/x", true);
    EXPECT_EQ(folder.absoluteString(), "file:///tmp/x/");
    EXPECT_EQ(folder.path(), "/tmp/x");
    EXPECT_TRUE(folder.hasDirectoryPath());
    EXPECT_EQ(folder.appendingPathComponent("1.m4a").absoluteString(), "file:///tmp/x/1.m4a");
    EXPECT_EQ(pf::URL::fileURLWithPath("/tmp/x").appendingPathComponent("/y").path(), "/tmp/x/y");
    EXPECT_EQ(pf::URL::fileURLWithPath("/tmp/.hidden").pathExtension(), "");
    EXPECT_EQ(pf::URL::fileURLWithPath("/").path(), "/");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(pf::URL::fileURLWithPath("rel.txt").path(), std::string(cwd) + "/rel.txt");
}

TEST(URL, TextIsParsedOnlyWhenItIsAValidUrl) {
    const auto web = pf::URL::string("https://example.org/help/index.html?x=1#top");
    ASSERT_TRUE(web.has_value());
    EXPECT_EQ(web->scheme(), "https");
    EXPECT_FALSE(web->isFileURL());
    EXPECT_EQ(web->path(), "/help/index.html");
    EXPECT_EQ(web->lastPathComponent(), "index.html");
    EXPECT_EQ(pf::URL::string("https://example.org")->appendingPathComponent("a").absoluteString(),
              "https://example.org/a");
    EXPECT_EQ(
        pf::URL::string("https://example.org?q=1")->appendingPathComponent("a").absoluteString(),
        "https://example.org/a?q=1");
    EXPECT_EQ(pf::URL::string("file:///tmp/a%20b")->path(), "/tmp/a b");
    EXPECT_TRUE(pf::URL::string("help.html").has_value());
    EXPECT_EQ(pf::URL::string("help.html")->scheme(), "");
    EXPECT_FALSE(pf::URL::string("has space").has_value());
    EXPECT_FALSE(pf::URL::string("bad%zzescape").has_value());
    EXPECT_FALSE(pf::URL::string("trailing%2").has_value());
    EXPECT_FALSE(pf::URL::string("").has_value());
}

TEST(ProcessInfo, NamesTheExecutableAndMakesUniqueStrings) {
    EXPECT_EQ(pf::ProcessInfo::processInfo().processName(), "core_platform_test");
    EXPECT_EQ(pf::ProcessInfo::processInfo().processIdentifier(), ::getpid());
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i)
        seen.insert(pf::ProcessInfo::processInfo().globallyUniqueString());
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_NE(seen.begin()->find("-" + std::to_string(::getpid()) + "-"), std::string::npos);
}

} // namespace
