#include "PersistentAppData.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SettingsScratch.h"
#include "SettingsValues.h"
#include "core/Console.h"

extern char** environ;

namespace {

using Storage = PersistentAppData::Storage;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsScratch("org.orvex.tests.settings"));

int runHelper(std::vector<std::string> args) {
    args.insert(args.begin(), SETTINGS_HELPER);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, SETTINGS_HELPER, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void clearAll(Storage s) {
    auto& data = PersistentAppData::sharedInstance();
    for (const char* key : {"s", "i", "f", "b", "u", "w", "o"})
        data.setObject(key, std::nullopt, s);
}

TEST(PersistentAppData, SharedInstanceIsMadeOnceUnderConcurrentFirstUse) {
    std::vector<PersistentAppData*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &PersistentAppData::sharedInstance(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(std::set<PersistentAppData*>(seen.begin(), seen.end()).size(), 1u);
}

TEST(PersistentAppData, CombinedIsTheStandardStoreAndSharedIsTheGroupAlone) {
    auto& data = PersistentAppData::sharedInstance();
    data.setInteger("viaCombined", 42, Storage::combined);
    EXPECT_EQ(data.getInteger("viaCombined", Storage::defaults), 42);
    EXPECT_EQ(data.getInteger("viaCombined", Storage::shared), 0);

    data.setInteger("groupOnly", 7, Storage::shared);
    EXPECT_EQ(data.getInteger("groupOnly", Storage::defaults), 7); // found through the search list
    EXPECT_EQ(NSUserDefaultsExt::shared()->integerForKey("groupOnly"), 7); // a fresh object
    data.setInteger("groupOnly", 8, Storage::defaults);                    // the app's own domain
    EXPECT_EQ(data.getInteger("groupOnly", Storage::shared), 7);
    EXPECT_EQ(data.getInteger("groupOnly", Storage::combined), 8);
}

TEST(PersistentAppData, EveryTypeCrossesToASecondProcessInBothDomains) {
    auto& data = PersistentAppData::sharedInstance();
    for (Storage s : {Storage::defaults, Storage::shared}) {
        const char* where = s == Storage::shared ? "shared" : "defaults";
        writeSettings(data, s);
        EXPECT_EQ(runHelper({"check", where}), 0) << where;
        clearAll(s);
        EXPECT_EQ(runHelper({"write", where}), 0) << where;
        EXPECT_EQ(checkSettings(data, s), "") << where;
        clearAll(s);
    }
}

TEST(PersistentAppData, FrameToDictionaryStandardisesTheRectangle) {
    const auto d = PersistentAppData::frameToDictionary(pf::CGRect(10, 20, 300, 200));
    EXPECT_EQ(d.find("left")->real(), 10.0);
    EXPECT_EQ(d.find("top")->real(), 20.0);
    EXPECT_EQ(d.find("width")->real(), 300.0);
    EXPECT_EQ(d.find("height")->real(), 200.0);
    const auto n = PersistentAppData::frameToDictionary(pf::CGRect(10, 20, -300, -200));
    EXPECT_EQ(n.find("left")->real(), -290.0);
    EXPECT_EQ(n.find("width")->real(), 300.0);
    EXPECT_EQ(n.find("top")->real(), -180.0);
    EXPECT_EQ(n.find("height")->real(), 200.0);
    // Narrowed to 32-bit floats.
    const auto f = PersistentAppData::frameToDictionary(pf::CGRect(0.1, 0, 1, 1));
    EXPECT_EQ(f.find("left")->real(), static_cast<double>(0.1f));
}

TEST(PersistentAppData, DictionaryToFrameFillsMissingEntriesAndRefusesOtherValues) {
    auto& data = PersistentAppData::sharedInstance();
    pf::PlistDictionary onlyWidth;
    onlyWidth.set("width", 640.0f);
    onlyWidth.set("depth", 3.0f); // ignored
    data.setObject("frame", pf::PlistValue(onlyWidth));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), pf::CGRect(0, 0, 640, 100));

    data.setObject("frame", pf::PlistValue(PersistentAppData::frameToDictionary(
                                pf::CGRect(10, 20, -300, 200))));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), pf::CGRect(-290, 20, 300, 200));

    pf::PlistDictionary integers;
    integers.set("left", 5);
    data.setObject("frame", pf::PlistValue(integers));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), pf::CGRect(5, 0, 100, 100));

    data.setString("frame", "not a frame");
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), std::nullopt);
    pf::PlistDictionary mixed = onlyWidth;
    mixed.set("left", "ten");
    data.setObject("frame", pf::PlistValue(mixed));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), std::nullopt);
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("missing"), std::nullopt);
    // Only the standard store is read.
    data.setObject("sharedFrame", pf::PlistValue(onlyWidth), Storage::shared);
    data.setObject("sharedFrame", pf::PlistValue(integers), Storage::defaults);
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("sharedFrame"), pf::CGRect(5, 0, 100, 100));
}

TEST(PersistentAppData, DumpoutPrintsEachStoreUnderItsHeading) {
    auto& data = PersistentAppData::sharedInstance();
    for (const auto& key : NSUserDefaultsExt::combined()->dictionaryRepresentation().keys()) {
        data.setObject(key, std::nullopt, Storage::defaults);
        data.setObject(key, std::nullopt, Storage::shared);
    }
    data.setInteger("count", 3);
    pf::ConsoleCapture capture;
    data.dumpout();
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  "PersistentAppData::dumpout() : UserDefaults.standard : ", "count = 3 ", "",
                  "PersistentAppData::dumpout() : UserDefaults.shared : ",
                  "PersistentAppData::dumpout() : UserDefaults.combined : ", "count = 3 ", ""}));

    data.setObject("list",
                   pf::PlistValue(pf::PlistArray{pf::PlistValue("a b"), pf::PlistValue(1.5)}),
                   Storage::shared);
    data.setObject("when", pf::PlistValue(pf::PlistDate{86400.0 + 3661.0}), Storage::shared);
    capture.clear();
    data.dumpout();
    EXPECT_NE(capture.text().find("when = 2001-01-02 01:01:01 +0000 \n"), std::string::npos);
    EXPECT_NE(capture.text().find("list = (\n    \"a b\",\n    1.5\n) \n"), std::string::npos)
        << capture.text();
}

// A refused group suite keeps its settings in memory instead of taking the process down.
TEST(PersistentAppData, RefusedSuiteFallsBackToMemoryWithOneLogLine) {
    namespace fs = std::filesystem;
    testing::internal::CaptureStderr();
    auto refused = NSUserDefaultsExt::suite("group/../escape");
    ASSERT_TRUE(refused);
    refused->setInteger(5, "k");
    EXPECT_EQ(NSUserDefaultsExt::suite("group/../escape")->integerForKey("k"), 5);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("refused"), std::string::npos) << err;
    // Nothing reached the disk; the group suite itself is a file.
    NSUserDefaultsExt::shared()->setInteger(1, "k");
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(SettingsScratch::root + "/config"))
        if (e.is_regular_file()) files.push_back(e.path().filename().string());
    EXPECT_NE(std::find(files.begin(), files.end(), std::string(sharedContainer) + ".plist"),
              files.end());
    EXPECT_EQ(
        std::count_if(files.begin(), files.end(),
                      [](const std::string& f) { return f.find("escape") != std::string::npos; }),
        0);
}

} // namespace
