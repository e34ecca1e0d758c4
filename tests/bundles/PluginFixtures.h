// Plug-in bundles made in a temporary folder for the registry tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "TempDir.h"
#include "core/RunLoop.h"

namespace pf::test {

using ::test::TempDir;

// What goes into a bundle's Info.plist; every field can be spoiled by a test.
struct BundleLayout {
    std::string executable = "TestGainPlugin.so";
    std::string module = TEST_PLUGIN_MODULE; // copied into MacOS/ when not empty
    std::string principal = "GainViewController";
    std::string type = "aumf";
    std::string subtype = "orvc";
    std::string manufacturer = "Qrbn";
    std::string name = "Tstm: Test Gain";
    std::string version = "<integer>1</integer>";
    std::string sandboxSafe = "<true/>"; // empty: no key
    std::string infoOverride;            // not empty: written as Info.plist instead
};

inline std::string infoPlistText(const BundleLayout& layout) {
    std::string sandbox =
        layout.sandboxSafe.empty() ? "" : "<key>sandboxSafe</key>" + layout.sandboxSafe;
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleExecutable</key><string>)" +
           layout.executable + R"(</string>
<key>NSExtension</key><dict>
<key>NSExtensionPrincipalClass</key><string>)" +
           layout.principal + R"(</string>
<key>NSExtensionAttributes</key><dict><key>AudioComponents</key><array><dict>
<key>type</key><string>)" +
           layout.type + "</string><key>subtype</key><string>" + layout.subtype +
           "</string><key>manufacturer</key><string>" + layout.manufacturer +
           "</string><key>name</key><string>" + layout.name + "</string><key>version</key>" +
           layout.version + sandbox + "</dict></array></dict></dict></dict></plist>\n";
}

// Writes `<folder>/<name>.appex` and answers its path.
inline std::string makeBundle(const std::string& folder, const std::string& name,
                              const BundleLayout& layout = {}) {
    namespace fs = std::filesystem;
    const std::string bundle = folder + "/" + name + ".appex";
    fs::create_directories(bundle + "/MacOS");
    std::ofstream(bundle + "/Info.plist")
        << (layout.infoOverride.empty() ? infoPlistText(layout) : layout.infoOverride);
    if (!layout.module.empty()) {
        fs::copy_file(layout.module, bundle + "/MacOS/" + layout.executable,
                      fs::copy_options::overwrite_existing);
    }
    return bundle;
}

// Runs the main run loop until `done` holds (at most 10 s of waiting for other threads).
inline bool runMainUntil(const std::function<bool()>& done) {
    return RunLoop::main().runUntil(done, std::chrono::seconds(10));
}

} // namespace pf::test
