// Reading plug-in bundles, scanning folders into a registry (broken and hostile bundles among
// them), and the component manager's answers.
#include <elf.h>
#include <sys/stat.h>

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
#include "audio/PluginModule.h"

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

TEST(BundleScan, ReadsTheComponentDescriptionVersionAndSandboxFlag) {
    TempDir dir;
    BundleLayout layout;
    layout.version = "<integer>65793</integer>";
    const std::string path = makeBundle(dir.path(), "Gain", layout);

    std::string whyNot;
    const auto info = readAudioComponentBundle(path, whyNot);
    ASSERT_TRUE(info) << whyNot;
    ASSERT_EQ(info->components.size(), 1u);
    const auto& entry = info->components[0];
    EXPECT_EQ(entry.description, kPlugin);
    EXPECT_EQ(flagsText(entry.description.componentFlags), "0x00000002");
    EXPECT_EQ(entry.version, 65793u);

    layout.sandboxSafe.clear();
    const auto unsafe = readAudioComponentBundle(makeBundle(dir.path(), "Unsafe", layout), whyNot);
    ASSERT_TRUE(unsafe) << whyNot;
    EXPECT_EQ(flagsText(unsafe->components[0].description.componentFlags), "0000000000");
}

// The first byte of the page holding the module's last load segment: a copy cut there has the
// segment wholly beyond its end.
std::uintmax_t lastSegmentPage(const std::string& module) {
    std::ifstream in(module, std::ios::binary);
    Elf64_Ehdr header{};
    in.read(reinterpret_cast<char*>(&header), sizeof header);
    std::uintmax_t last = 0;
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        in.seekg(static_cast<std::streamoff>(header.e_phoff + i * sizeof segment));
        in.read(reinterpret_cast<char*>(&segment), sizeof segment);
        if (segment.p_type == PT_LOAD) last = std::max<std::uintmax_t>(last, segment.p_offset);
    }
    return last & ~std::uintmax_t{4095};
}

// Broken and hostile bundles among a good one: each is skipped with one line naming it and, for
// an Info.plist that cannot be read, the reason; the scan never blocks on a named pipe.
TEST(BundleScan, SkipsEveryBrokenBundleWithOneLineNamingItAndItsReason) {
    TempDir dir;
    makeBundle(dir.path(), "Good");
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 600; ++i)
        deep += "<dict><key>k</key>";
    deep += "<true/>";
    for (int i = 0; i < 600; ++i)
        deep += "</dict>";
    // A key at the end of the component's dictionary, with no value after it.
    std::string dangling = test::infoPlistText({});
    dangling.replace(dangling.find("</dict></array>"), 0, "<key>factoryFunction</key>");
    using Spoil = std::function<void(BundleLayout&)>;
    const std::vector<std::tuple<std::string, Spoil, std::string>> broken{
        {"NotAPlist", [](BundleLayout& s) { s.infoOverride = "this is not a property list"; }, ""},
        {"NonAsciiMaker", [](BundleLayout& s) { s.manufacturer = "Qr\xC3\xA9"; }, ""},
        // The module is there, beside MacOS/, but a bundle's executable never leaves MacOS/.
        {"PathInExecutable", [](BundleLayout& s) { s.executable = "../x.so"; }, ""},
        {"NegativeVersion", [](BundleLayout& s) { s.version = "<integer>-1</integer>"; }, ""},
        {"Deep", [&](BundleLayout& s) { s.infoOverride = deep + "</plist>"; }, "nested too deeply"},
        {"DanglingKey", [&](BundleLayout& s) { s.infoOverride = dangling; },
         "a dictionary key has no value"},
        {"Pipe", [](BundleLayout&) {}, "isn\u2019t a regular file"}};
    for (const auto& [name, spoil, reason] : broken) {
        BundleLayout layout;
        spoil(layout);
        makeBundle(dir.path(), name, layout);
    }
    const std::string pipe = dir.path() + "/Pipe.appex/Info.plist";
    std::filesystem::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // An interrupted copy of a module: only read when it is loaded.
    const std::string cut = makeBundle(dir.path(), "Cut") + "/MacOS/TestGainPlugin.so";
    std::filesystem::resize_file(cut, lastSegmentPage(cut));
    // Neither of these is a bundle; they are passed over without a word.
    std::filesystem::create_directories(dir.path() + "/Folder.bundle");
    std::ofstream(dir.path() + "/File.appex") << "plain file";

    testing::internal::CaptureStderr();
    const auto found = scanAudioComponentFolders({dir.path()});
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(namesOf(found), (std::vector<std::string>{"Cut", "Good"}));
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), long(broken.size())) << errors;
    for (const auto& [name, spoil, reason] : broken) {
        const auto at = errors.find("AudioComponentRegistry: skipping the bundle '" + dir.path() +
                                    "/" + name + ".appex': ");
        ASSERT_NE(at, std::string::npos) << name << "\n" << errors;
        EXPECT_NE(errors.substr(at, errors.find('\n', at) - at).find(reason), std::string::npos)
            << errors;
    }

    testing::internal::CaptureStderr();
    try {
        loadAudioPluginModule(cut);
        ADD_FAILURE() << "an interrupted copy of a module loaded";
    } catch (const NSErrorException& e) {
        EXPECT_EQ(e.error().code(), kAudioUnitErr_ExtensionNotFound);
        EXPECT_NE(e.error().localizedDescription().find("is truncated"), std::string::npos);
    }
    const std::string loadErrors = testing::internal::GetCapturedStderr();
    EXPECT_NE(loadErrors.find(cut), std::string::npos) << loadErrors;
    EXPECT_NE(loadErrors.find("a load segment ends at byte"), std::string::npos) << loadErrors;
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
