// Reading plug-in bundles, scanning folders into a registry, and the component manager's answers.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include <gtest/gtest.h>

#include "PluginFixtures.h"
#include "audio/AVAudioUnitComponent.h"
#include "audio/AudioComponentBundles.h"

namespace pf {
namespace {

using test::BundleLayout;
using test::makeBundle;
using test::TempDir;

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 2, 0};

std::string flagsText(std::uint32_t flags) {
    char text[16];
    std::snprintf(text, sizeof text, "%#010x", flags);
    return text;
}

std::vector<std::string> namesOf(const std::vector<AudioComponentBundleInfo>& bundles) {
    std::vector<std::string> names;
    for (const auto& b : bundles)
        names.push_back(std::filesystem::path(b.bundlePath).stem());
    return names;
}

TEST(BundleScan, ReadsTheComponentDescriptionNameVersionAndPrincipalClass) {
    TempDir dir;
    BundleLayout layout;
    layout.version = "<integer>65793</integer>";
    const std::string path = makeBundle(dir.path(), "Gain", layout);

    std::string whyNot;
    const auto info = readAudioComponentBundle(path, whyNot);
    ASSERT_TRUE(info) << whyNot;
    EXPECT_EQ(info->executablePath, path + "/MacOS/TestGainPlugin.so");
    EXPECT_EQ(info->principalClass, "GainViewController");
    ASSERT_EQ(info->components.size(), 1u);
    const auto& entry = info->components[0];
    EXPECT_EQ(entry.description, kPlugin);
    EXPECT_EQ(flagsText(entry.description.componentFlags), "0x00000002");
    EXPECT_EQ(entry.name, "Tstm: Test Gain");
    EXPECT_EQ(entry.version, 65793u);

    layout.sandboxSafe.clear();
    const auto unsafe = readAudioComponentBundle(makeBundle(dir.path(), "Unsafe", layout), whyNot);
    ASSERT_TRUE(unsafe) << whyNot;
    EXPECT_EQ(flagsText(unsafe->components[0].description.componentFlags), "0000000000");
}

TEST(BundleScan, SkipsEveryBrokenBundleWithOneLineOnStandardError) {
    TempDir dir;
    makeBundle(dir.path(), "Good");
    const std::vector<std::pair<std::string, std::function<void(BundleLayout&)>>> broken{
        {"NotAPlist", [](BundleLayout& s) { s.infoOverride = "this is not a property list"; }},
        {"NonAsciiMaker", [](BundleLayout& s) { s.manufacturer = "Qr\xC3\xA9"; }},
        // The module is there, beside MacOS/, but a bundle's executable never leaves MacOS/.
        {"PathInExecutable", [](BundleLayout& s) { s.executable = "../x.so"; }},
        {"NegativeVersion", [](BundleLayout& s) { s.version = "<integer>-1</integer>"; }}};
    for (const auto& [name, spoil] : broken) {
        BundleLayout layout;
        spoil(layout);
        makeBundle(dir.path(), name, layout);
    }
    // Neither of these is a bundle; they are passed over without a word.
    std::filesystem::create_directories(dir.path() + "/Folder.bundle");
    std::ofstream(dir.path() + "/File.appex") << "plain file";

    testing::internal::CaptureStderr();
    const auto found = scanAudioComponentFolders({dir.path()});
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(namesOf(found), std::vector<std::string>{"Good"});
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), long(broken.size())) << errors;
    for (const auto& [name, spoil] : broken) {
        EXPECT_NE(errors.find("AudioComponentRegistry: skipping the bundle '" + dir.path() + "/" +
                              name + ".appex': "),
                  std::string::npos)
            << name;
    }
}

TEST(BundleScan, OrdersBundlesByFolderThenByNameAndReadsEachBundleOnce) {
    TempDir first;
    TempDir second;
    makeBundle(first.path(), "b");
    makeBundle(first.path(), "B");
    makeBundle(first.path(), "a");
    makeBundle(second.path(), "0");
    EXPECT_EQ(namesOf(scanAudioComponentFolders({first.path(), second.path()})),
              (std::vector<std::string>{"B", "a", "b", "0"}));
    EXPECT_EQ(namesOf(scanAudioComponentFolders({second.path(), first.path(), second.path()})),
              (std::vector<std::string>{"0", "B", "a", "b"}));
    EXPECT_TRUE(scanAudioComponentFolders({first.path() + "/missing"}).empty());
}

TEST(BundleScan, SearchesTheApplicationPlugInsFolderThenTheComponentPath) {
    ::setenv("PF_AUDIO_COMPONENT_PATH", "/one::/two:", 1);
    EXPECT_EQ(audioComponentSearchFolders(std::string("/x/App.app")),
              (std::vector<std::string>{"/x/App.app/PlugIns", "/one", "/two"}));
    ::unsetenv("PF_AUDIO_COMPONENT_PATH");
    EXPECT_EQ(audioComponentSearchFolders(std::nullopt), std::vector<std::string>{});
    // The test runner is no application bundle.
    EXPECT_FALSE(runningApplicationBundlePath());
}

TEST(ComponentManager, AnswersBuiltInUnitsFirstAndComparesFlagsOnlyUnderTheMask) {
    TempDir dir;
    makeBundle(dir.path(), "Gain");
    AudioComponentRegistry registry;
    registry.addComponentSource(audioComponentBundleSource({dir.path()}));
    AVAudioUnitComponentManager manager(registry);

    const auto all = manager.components(AudioComponentDescription{});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->audioComponentDescription().componentSubType, fourCharCode("lmtr"));
    EXPECT_EQ(all[1]->name(), "Test Gain");
    EXPECT_EQ(all[1]->manufacturerName(), "Tstm");

    // {flags, mask, manufacturer, matches}: the plug-in's own query has flags 2 under mask 0.
    const OSType qrbn = fourCharCode("Qrbn");
    const std::tuple<std::uint32_t, std::uint32_t, OSType, std::size_t> queries[] = {
        {2, 0, qrbn, 1},
        {0, 0, qrbn, 1},
        {2, 2, qrbn, 1},
        {0, 2, qrbn, 0},
        {2, 0, fourCharCode("Tstm"), 0}};
    for (const auto& [flags, mask, maker, matches] : queries) {
        const AudioComponentDescription query{fourCharCode("aumf"), fourCharCode("orvc"), maker,
                                              flags, mask};
        EXPECT_EQ(manager.components(query).size(), matches)
            << flags << "/" << mask << "/" << maker;
    }
}

} // namespace
} // namespace pf
