#include "PersistentAppData.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SettingsScratch.h"
#include "core/Console.h"

namespace {

using Storage = PersistentAppData::Storage;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsScratch("org.orvex.tests.settings"));

TEST(PersistentAppData, CombinedIsTheStandardStoreAndSharedIsTheGroupAlone) {
    auto& data = PersistentAppData::sharedInstance();
    data.setObject("groupOnly", std::nullopt, Storage::defaults); // as an earlier run left it
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

    pf::PlistDictionary mixed = onlyWidth;
    mixed.set("left", "ten");
    data.setObject("frame", pf::PlistValue(mixed));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), std::nullopt);
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
}

// A refused group suite keeps its settings in memory instead of taking the process down. The
// line is told once per name for the life of the process, so each run takes a name of its own.
TEST(PersistentAppData, RefusedSuiteFallsBackToMemoryWithOneLogLine) {
    namespace fs = std::filesystem;
    static int run = 0;
    const std::string name = "group/../escape-" + std::to_string(++run);
    testing::internal::CaptureStderr();
    auto refused = NSUserDefaultsExt::suite(name);
    ASSERT_TRUE(refused);
    refused->setInteger(5, "k");
    EXPECT_EQ(NSUserDefaultsExt::suite(name)->integerForKey("k"), 5);
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
