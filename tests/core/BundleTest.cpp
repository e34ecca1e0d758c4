#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "core/Bundle.h"
#include "core/ClassRegistry.h"
#include "core/FileManager.h"
#include "core/ProcessInfo.h"
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
    ASSERT_TRUE(plugin->resourceURL().has_value());
    EXPECT_EQ(plugin->resourceURL()->path(), appex + "/Resources");
    EXPECT_EQ(plugin->bundleIdentifier(), "org.example.unit");
    ASSERT_TRUE(plugin->url("1", "m4a").has_value());
    EXPECT_EQ(plugin->url("1", "m4a")->path(), appex + "/Resources/1.m4a");
    EXPECT_FALSE(plugin->url("2", "m4a").has_value());
    EXPECT_EQ(plugin->executableURL()->path(), appex + "/MacOS/probe.so");

    // The test executable is not in a bundle: its bundle is its own folder.
    const pf::Bundle& own = pf::Bundle::main();
    EXPECT_NE(own.bundlePath(), plugin->bundlePath());
    EXPECT_EQ(own.executableURL()->lastPathComponent(),
              pf::ProcessInfo::processInfo().processName());
    EXPECT_EQ(own.resourceURL()->path(), own.bundlePath());
    EXPECT_FALSE(own.bundleIdentifier().has_value());
}

TEST(Bundle, ModuleOutsideAMacOsFolderUsesItsOwnFolder) {
    test::TempDir dir;
    const std::string loose = dir.path() + "/loose.appex/lib";
    const pf::Bundle* bundle = probeBundleAt(loose);
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundlePath(), loose);
    EXPECT_EQ(bundle->resourceURL()->path(), loose);
}

TEST(Bundle, OverrideAnswersMainForEveryModuleUntilCleared) {
    test::TempDir dir;
    fs::create_directories(dir.path() + "/Fake.app/Resources");
    pf::Bundle::setMainBundleOverride(dir.path() + "/Fake.app");
    EXPECT_EQ(pf::Bundle::main().bundlePath(), dir.path() + "/Fake.app");
    EXPECT_EQ(pf::Bundle::main().resourceURL()->path(), dir.path() + "/Fake.app/Resources");
    pf::Bundle::setMainBundleOverride(std::nullopt);
    EXPECT_NE(pf::Bundle::main().bundlePath(), dir.path() + "/Fake.app");
    EXPECT_FALSE(pf::Bundle::withPath(dir.path()).resourceURL().has_value());
}

struct Animal {
    virtual ~Animal() = default;
    virtual std::string sound() const = 0;
};
struct Cat : Animal {
    std::string sound() const override { return "meow"; }
};

TEST(ClassRegistry, MakesRegisteredClassesByNameForTheirBaseTypeOnly) {
    auto& registry = pf::ClassRegistry::shared();
    registry.registerClass<Animal>("Cat", [] { return std::make_shared<Cat>(); });
    ASSERT_TRUE(registry.contains("Cat"));
    auto cat = registry.create<Animal>("Cat");
    ASSERT_NE(cat, nullptr);
    EXPECT_EQ(cat->sound(), "meow");
    EXPECT_NE(registry.create<Animal>("Cat"), cat); // a new object every time
    EXPECT_EQ(registry.create<Animal>("Dog"), nullptr);
    EXPECT_EQ(registry.create<std::string>("Cat"), nullptr);
}

} // namespace
