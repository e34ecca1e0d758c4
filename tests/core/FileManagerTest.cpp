#include <gtest/gtest.h>

#include <string>

#include "core/URL.h"

namespace {

TEST(URL, FileUrlsEscapeTheirPathAndTakeItApart) {
    const auto url = pf::URL::fileURLWithPath("/tmp/a b/Factory Presets/Soft.plist");
    EXPECT_EQ(url.absoluteString(), "file:///tmp/a%20b/Factory%20Presets/Soft.plist");
    EXPECT_EQ(url.path(), "/tmp/a b/Factory Presets/Soft.plist");
    EXPECT_EQ(url.lastPathComponent(), "Soft.plist");
    EXPECT_EQ(url.pathExtension(), "plist");
    EXPECT_EQ(url.deletingPathExtension().lastPathComponent(), "Soft");
    EXPECT_EQ(url.deletingLastPathComponent().path(), "/tmp/a b/Factory Presets");
    const auto folder = pf::URL::fileURLWithPath("/tmp/x", true);
    EXPECT_EQ(folder.absoluteString(), "file:///tmp/x/");
    EXPECT_EQ(folder.appendingPathComponent("1.m4a").absoluteString(), "file:///tmp/x/1.m4a");
    EXPECT_EQ(pf::URL::fileURLWithPath("/tmp/x").appendingPathComponent("/y").path(), "/tmp/x/y");
    EXPECT_EQ(pf::URL::fileURLWithPath("/tmp/.hidden").pathExtension(), "");
    EXPECT_EQ(pf::URL::string("file:///tmp/a%20b")->path(), "/tmp/a b");
    for (const char* invalid : {"has space", "bad%zzescape", "trailing%2", ""})
        EXPECT_FALSE(pf::URL::string(invalid).has_value()) << invalid;
}

} // namespace
