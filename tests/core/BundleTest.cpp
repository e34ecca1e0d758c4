#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/PropertyList.h"

namespace fs = std::filesystem;

namespace {

using ProbeFunction = const pf::Bundle* (*)();

// Copies the probe module to `folder` and asks it for its bundle.
const pf::Bundle* probeBundleAt(const std::string& folder) {
    fs::create_directories(folder);
    const std::string copy = folder + "/probe.so";
    fs::copy_file(BUNDLE_PROBE_PATH, copy, fs::copy_options::overwrite_existing);
    void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        ADD_FAILURE() << ::dlerror();
        return nullptr;
    }
    auto probe = reinterpret_cast<ProbeFunction>(::dlsym(handle, "bundleProbeMainBundle"));
    return probe != nullptr ? probe() : nullptr; // the module stays loaded: its bundle is cached
}

TEST(Bundle, EachModuleFindsTheBundleFolderThatHoldsIt) {
    test::TempDir dir;
    const std::string appex = dir.path() + "/Host.app/PlugIns/Unit.appex";
    fs::create_directories(appex + "/Resources/help");
    std::ofstream(appex + "/Resources/1.m4a") << "audio";
    pf::PlistDictionary info;
    info.set("CFBundleIdentifier", "org.example.unit");
    pf::FileManager::defaultManager().writeAtomically(
        appex + "/Info.plist",
        pf::PropertyListSerialization::data(pf::PlistValue(info), pf::PropertyListFormat::xml));

    const pf::Bundle* plugin = probeBundleAt(appex + "/MacOS");
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->bundlePath(), appex);
    EXPECT_EQ(plugin->bundleIdentifier(), "org.example.unit");
    ASSERT_TRUE(plugin->url("1", "m4a").has_value());
    EXPECT_EQ(plugin->url("1", "m4a")->path(), appex + "/Resources/1.m4a");
    EXPECT_FALSE(plugin->url("2", "m4a").has_value());
    EXPECT_EQ(plugin->executableURL()->path(), appex + "/MacOS/probe.so");
}

} // namespace
