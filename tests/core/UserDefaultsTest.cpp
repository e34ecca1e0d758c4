#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "TempDir.h"
#include "core/PropertyList.h"
#include "core/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { pf::NSUserDefaults::setStorageDirectoryForTesting(dir.path()); }
    void TearDown() override { pf::NSUserDefaults::setStorageDirectoryForTesting(std::nullopt); }
    // Forgets the cached domains, so the next read comes from the files.
    void reopen() { pf::NSUserDefaults::setStorageDirectoryForTesting(dir.path()); }
    std::shared_ptr<pf::NSUserDefaults> suite(const char* name = "group.test.suite") {
        return pf::NSUserDefaults::initWithSuiteName(name);
    }

    test::TempDir dir;
};

TEST_F(UserDefaultsTest, EveryTypeRoundTripsThroughTheDomainFile) {
    auto defaults = suite();
    pf::PlistDictionary nested;
    nested.set("width", 640.0f);
    defaults->setObject(pf::PlistValue(nested), "frame");
    defaults->setValue(pf::PlistValue("text"), "string");
    defaults->setInteger(-1234567890123LL, "integer");
    defaults->setFloat(0.1f, "float");
    defaults->setBool(true, "bool");
    defaults->setURL(pf::URL::string("https://example.org/help"), "web");
    EXPECT_TRUE(fs::exists(dir.path() + "/group.test.suite.plist"));

    reopen();
    auto fresh = suite();
    EXPECT_EQ(fresh->objectForKey("frame"), pf::PlistValue(nested));
    EXPECT_EQ(fresh->stringForKey("string"), "text");
    EXPECT_EQ(fresh->integerForKey("integer"), -1234567890123LL);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(fresh->floatForKey("float")),
              std::bit_cast<std::uint32_t>(0.1f));
    EXPECT_TRUE(fresh->boolForKey("bool"));
    EXPECT_EQ(fresh->URLForKey("web")->absoluteString(), "https://example.org/help");
    EXPECT_EQ(fresh->dictionaryRepresentation().keys(),
              (std::vector<std::string>{"frame", "string", "integer", "float", "bool", "web"}));
}

TEST_F(UserDefaultsTest, FileUrlsAreKeptAsPathsWithTheHomeFolderAsTilde) {
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    auto defaults = suite();
    defaults->setURL(pf::URL::fileURLWithPath(std::string(home) + "/Music/a b.m4a"), "file");
    EXPECT_EQ(defaults->objectForKey("file"), pf::PlistValue("~/Music/a b.m4a"));
    EXPECT_EQ(defaults->URLForKey("file")->path(), std::string(home) + "/Music/a b.m4a");
    // A folder whose name only begins with the home folder's is not shortened.
    defaults->setURL(pf::URL::fileURLWithPath(std::string(home) + "-other/x"), "sibling");
    EXPECT_EQ(defaults->objectForKey("sibling"), pf::PlistValue(std::string(home) + "-other/x"));
}

TEST_F(UserDefaultsTest, RefusedSuiteNamesGiveNoObject) {
    for (const char* name : {"", "NSGlobalDomain", "..", ".", "../escape", "a/b"}) {
        EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName(name), nullptr) << name;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(UserDefaultsTest, CorruptFileIsSetAsideAndTheDomainStartsEmpty) {
    std::ofstream(dir.path() + "/group.broken.plist")
        << "<?xml version=\"1.0\"?><plist><dict><key>";
    auto defaults = suite("group.broken");
    EXPECT_EQ(defaults->integerForKey("anything"), 0);
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty());
    defaults->setInteger(3, "after");
    reopen();
    EXPECT_EQ(suite("group.broken")->integerForKey("after"), 3);
    int asides = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with("group.broken.plist.corrupt-")) ++asides;
    }
    EXPECT_EQ(asides, 1);
}

} // namespace
