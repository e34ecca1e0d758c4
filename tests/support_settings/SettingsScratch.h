// A scratch home and settings folder for each settings test process, and a bundle naming the
// standard domain, set up before any store is opened.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/Bundle.h"
#include "core/PropertyList.h"

class SettingsScratch : public ::testing::Environment {
public:
    explicit SettingsScratch(std::string bundleIdentifier)
        : identifier_(std::move(bundleIdentifier)) {}

    void SetUp() override {
        namespace fs = std::filesystem;
        std::string templ = (fs::temp_directory_path() / "settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        root = templ;
        ::setenv("HOME", root.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        const std::string bundle = root + "/Settings.app";
        fs::create_directories(bundle);
        pf::PlistDictionary info;
        info.set("CFBundleIdentifier", identifier_);
        const auto bytes = pf::PropertyListSerialization::data(pf::PlistValue(std::move(info)),
                                                               pf::PropertyListFormat::xml);
        std::ofstream(bundle + "/Info.plist", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        ::setenv("ORVEX_TEST_BUNDLE", bundle.c_str(), 1);
        pf::Bundle::setMainBundleOverride(bundle);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    static inline std::string root;

private:
    std::string identifier_;
};
