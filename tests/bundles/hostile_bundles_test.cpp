// Damaged bundles among good ones: a named pipe, a too deeply nested or malformed Info.plist and
// an interrupted copy of a module are each refused with a line naming the file and the reason;
// the scan never blocks and the good bundle still answers.
#include <elf.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginFixtures.h"
#include "audio/AudioComponentBundles.h"
#include "audio/PluginModule.h"

namespace pf {
namespace {

using test::BundleLayout;
using test::makeBundle;
using test::TempDir;

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

TEST(HostileBundles, EachIsRefusedWithItsReasonAndTheGoodOneStillLoads) {
    TempDir dir;
    makeBundle(dir.path(), "Good");
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 600; ++i)
        deep += "<dict><key>k</key>";
    deep += "<true/>";
    for (int i = 0; i < 600; ++i)
        deep += "</dict>";
    BundleLayout nested;
    nested.infoOverride = deep + "</plist>";
    makeBundle(dir.path(), "Deep", nested);
    // A key at the end of the component's dictionary, with no value after it.
    BundleLayout dangling;
    dangling.infoOverride = test::infoPlistText({});
    dangling.infoOverride.replace(dangling.infoOverride.find("</dict></array>"), 0,
                                  "<key>factoryFunction</key>");
    makeBundle(dir.path(), "DanglingKey", dangling);
    const std::string pipe = makeBundle(dir.path(), "Pipe") + "/Info.plist";
    std::filesystem::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string cut = makeBundle(dir.path(), "Cut") + "/MacOS/TestGainPlugin.so";
    std::filesystem::resize_file(cut, lastSegmentPage(cut));

    testing::internal::CaptureStderr();
    const auto found = scanAudioComponentFolders({dir.path()});
    const std::string scanErrors = testing::internal::GetCapturedStderr();
    std::vector<std::string> names;
    for (const auto& bundle : found)
        names.push_back(std::filesystem::path(bundle.bundlePath).stem().string());
    // A module is only read when it is loaded.
    EXPECT_EQ(names, (std::vector<std::string>{"Cut", "Good"}));
    for (const auto& [bundle, reason] : std::vector<std::pair<std::string, std::string>>{
             {"Deep", "nested too deeply"},
             {"DanglingKey", "a dictionary key has no value"},
             {"Pipe", "isn\u2019t a regular file"}}) {
        const std::string line = "AudioComponentRegistry: skipping the bundle '" + dir.path() +
                                 "/" + bundle + ".appex': Info.plist cannot be read (";
        const auto at = scanErrors.find(line);
        ASSERT_NE(at, std::string::npos) << scanErrors;
        EXPECT_NE(scanErrors.substr(at, scanErrors.find('\n', at) - at).find(reason),
                  std::string::npos)
            << scanErrors;
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
    EXPECT_EQ(loadAudioPluginModule(dir.path() + "/Good.appex/MacOS/TestGainPlugin.so").abiVersion,
              PF_AUDIO_PLUGIN_ABI_VERSION);
}

} // namespace
} // namespace pf
