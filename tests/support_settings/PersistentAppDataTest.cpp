#include "PersistentAppData.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
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

// One typed setting: writes its sample value, and tells whether a read finds that value or the
// answer for a missing key.
struct Kind {
    const char* name;
    std::function<void(PersistentAppData&, const std::string&, Storage)> write;
    std::function<bool(PersistentAppData&, const std::string&, Storage)> readsSample;
    std::function<bool(PersistentAppData&, const std::string&, Storage)> readsMissing;
};

const pf::URL kFileURL = pf::URL::fileURLWithPath("/tmp/Orvex Presets/Gentle Glue.plist");
const pf::URL kWebURL = *pf::URL::string("https://example.org/help/index.html?page=2");

const Kind kKinds[] = {
    {"bool", [](auto& d, auto& k, Storage s) { d.setBool(k, true, s); },
     [](auto& d, auto& k, Storage s) { return d.getBool(k, s); },
     [](auto& d, auto& k, Storage s) { return !d.getBool(k, s); }},
    {"float", [](auto& d, auto& k, Storage s) { d.setFloat(k, 0.375f, s); },
     [](auto& d, auto& k, Storage s) { return d.getFloat(k, s) == 0.375f; },
     [](auto& d, auto& k, Storage s) { return d.getFloat(k, s) == 0.0f; }},
    {"string", [](auto& d, auto& k, Storage s) { d.setString(k, "Late Night Whisper", s); },
     [](auto& d, auto& k, Storage s) { return d.getString(k, s) == "Late Night Whisper"; },
     [](auto& d, auto& k, Storage s) { return d.getString(k, s) == std::nullopt; }},
    {"file URL", [](auto& d, auto& k, Storage s) { d.setURL(k, kFileURL, s); },
     [](auto& d, auto& k, Storage s) { return d.getUrl(k, s) == kFileURL; },
     [](auto& d, auto& k, Storage s) { return d.getUrl(k, s) == std::nullopt; }},
    {"web URL", [](auto& d, auto& k, Storage s) { d.setURL(k, kWebURL, s); },
     [](auto& d, auto& k, Storage s) { return d.getUrl(k, s) == kWebURL; },
     [](auto& d, auto& k, Storage s) { return d.getUrl(k, s) == std::nullopt; }},
};

// Every kind goes where its store says: written to the group it is seen by all three stores;
// written through the combined or the standard store it stays out of the group.
TEST(PersistentAppData, EveryTypedSettingIsReadBackFromTheStoresItWasWrittenTo) {
    auto& data = PersistentAppData::sharedInstance();
    const Storage all[] = {Storage::defaults, Storage::shared, Storage::combined};
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const std::string key = std::string("typed ") + kind.name;
        const auto clear = [&] {
            data.setObject(key, std::nullopt, Storage::defaults);
            data.setObject(key, std::nullopt, Storage::shared);
        };
        clear();
        for (Storage s : all)
            EXPECT_TRUE(kind.readsMissing(data, key, s)) << int(s);

        kind.write(data, key, Storage::shared);
        for (Storage s : all)
            EXPECT_TRUE(kind.readsSample(data, key, s)) << int(s);

        for (Storage through : {Storage::combined, Storage::defaults}) {
            clear();
            kind.write(data, key, through);
            EXPECT_TRUE(kind.readsSample(data, key, Storage::defaults)) << int(through);
            EXPECT_TRUE(kind.readsSample(data, key, Storage::combined)) << int(through);
            EXPECT_TRUE(kind.readsMissing(data, key, Storage::shared)) << int(through);
        }
        clear();
    }
}

// The setters store the platform's types: a truth value and a real number, so that false is
// read as false and a fraction keeps its fraction; the standard store is the default one; an
// absent address removes the setting.
TEST(PersistentAppData, TypedSettersStoreTheirOwnTypesAndAnAbsentAddressRemovesTheSetting) {
    auto& data = PersistentAppData::sharedInstance();
    data.setBool("flag", true, Storage::shared);
    data.setBool("flag", false);
    EXPECT_FALSE(data.getBool("flag"));
    EXPECT_TRUE(data.getBool("flag", Storage::shared));
    EXPECT_EQ(data.getObject("flag"), pf::PlistValue(false));

    data.setFloat("level", -2.75f);
    EXPECT_EQ(data.getFloat("level"), -2.75f);
    EXPECT_EQ(data.getObject("level"), pf::PlistValue(-2.75f));
    EXPECT_EQ(data.getFloat("level", Storage::shared), 0.0f);

    data.setString("name", "");
    EXPECT_EQ(data.getString("name"), "");
    data.setString("name", "Vocal Presence \u2013 \u00FCber");
    EXPECT_EQ(data.getString("name"), "Vocal Presence \u2013 \u00FCber");

    data.setURL("address", kWebURL);
    data.setURL("address", std::nullopt);
    EXPECT_EQ(data.getUrl("address"), std::nullopt);
    EXPECT_EQ(data.getObject("address"), std::nullopt);
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
