#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "TempDir.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
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
    defaults->setDouble(1e-300, "double");
    defaults->setBool(true, "bool");
    defaults->setURL(pf::URL::string("https://example.org/help"), "web");
    defaults->setObject(pf::PlistValue(pf::PlistData{1, 2, 3}), "data");
    EXPECT_TRUE(fs::exists(dir.path() + "/group.test.suite.plist"));

    reopen();
    auto fresh = suite();
    EXPECT_EQ(fresh->objectForKey("frame"), pf::PlistValue(nested));
    EXPECT_EQ(fresh->stringForKey("string"), "text");
    EXPECT_EQ(fresh->integerForKey("integer"), -1234567890123LL);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(fresh->floatForKey("float")),
              std::bit_cast<std::uint32_t>(0.1f));
    EXPECT_EQ(fresh->doubleForKey("double"), 1e-300);
    EXPECT_TRUE(fresh->boolForKey("bool"));
    EXPECT_EQ(fresh->URLForKey("web")->absoluteString(), "https://example.org/help");
    EXPECT_EQ(fresh->objectForKey("data"), pf::PlistValue(pf::PlistData{1, 2, 3}));
    EXPECT_EQ(fresh->dictionaryRepresentation().keys(),
              (std::vector<std::string>{"frame", "string", "integer", "float", "double", "bool",
                                        "web", "data"}));
}

TEST_F(UserDefaultsTest, MissingKeysGiveThePlatformDefaultsAndAbsentValuesRemoveKeys) {
    auto defaults = suite();
    EXPECT_FALSE(defaults->stringForKey("none").has_value());
    EXPECT_EQ(defaults->integerForKey("none"), 0);
    EXPECT_EQ(defaults->floatForKey("none"), 0.0f);
    EXPECT_FALSE(defaults->boolForKey("none"));
    EXPECT_FALSE(defaults->URLForKey("none").has_value());
    EXPECT_FALSE(defaults->objectForKey("none").has_value());
    defaults->setInteger(5, "k");
    defaults->setObject(std::nullopt, "k");
    EXPECT_FALSE(defaults->objectForKey("k").has_value());
    defaults->setURL(pf::URL::fileURLWithPath("/x"), "u");
    defaults->setURL(std::nullopt, "u");
    EXPECT_FALSE(defaults->objectForKey("u").has_value());
}

TEST_F(UserDefaultsTest, TypedGettersConvertLikeThePlatform) {
    auto defaults = suite();
    defaults->setDouble(3.7, "real");
    defaults->setObject(pf::PlistValue("12"), "numeric");
    defaults->setObject(pf::PlistValue("YES"), "yes");
    defaults->setObject(pf::PlistValue("abc"), "word");
    defaults->setInteger(5, "five");
    defaults->setBool(true, "flag");
    defaults->setDouble(std::numeric_limits<double>::quiet_NaN(), "nan");
    defaults->setDouble(1e300, "huge");
    EXPECT_EQ(defaults->integerForKey("real"), 3);
    EXPECT_EQ(defaults->integerForKey("numeric"), 12);
    EXPECT_EQ(defaults->integerForKey("flag"), 1);
    EXPECT_EQ(defaults->integerForKey("word"), 0);
    EXPECT_EQ(defaults->integerForKey("nan"), 0);
    EXPECT_EQ(defaults->integerForKey("huge"), INT64_MAX);
    EXPECT_EQ(defaults->floatForKey("numeric"), 12.0f);
    EXPECT_TRUE(defaults->boolForKey("yes"));
    EXPECT_TRUE(defaults->boolForKey("five"));
    EXPECT_FALSE(defaults->boolForKey("word"));
    EXPECT_EQ(defaults->stringForKey("five"), "5");
    EXPECT_EQ(defaults->stringForKey("real"), "3.7");
    EXPECT_FALSE(defaults->stringForKey("flag").has_value());
}

TEST_F(UserDefaultsTest, FileUrlsAreKeptAsPathsWithTheHomeFolderAsTilde) {
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    auto defaults = suite();
    defaults->setURL(pf::URL::fileURLWithPath(std::string(home) + "/Music/a b.m4a"), "file");
    EXPECT_EQ(defaults->objectForKey("file"), pf::PlistValue("~/Music/a b.m4a"));
    EXPECT_EQ(defaults->URLForKey("file")->path(), std::string(home) + "/Music/a b.m4a");
    EXPECT_TRUE(defaults->URLForKey("file")->isFileURL());
    // A folder whose name only begins with the home folder's is not shortened.
    defaults->setURL(pf::URL::fileURLWithPath(std::string(home) + "-other/x"), "sibling");
    EXPECT_EQ(defaults->objectForKey("sibling"), pf::PlistValue(std::string(home) + "-other/x"));
}

TEST_F(UserDefaultsTest, AddedSuitesAreReadAfterTheOwnDomainAndNeverWritten) {
    auto standard = pf::NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(standard, pf::NSUserDefaults::standardUserDefaults());
    auto group = suite("group.shared");
    group->setInteger(7, "fromGroup");
    group->setInteger(1, "both");
    EXPECT_EQ(standard->integerForKey("fromGroup"), 0);
    standard->addSuiteNamed("group.shared");
    standard->addSuiteNamed("group.shared");
    EXPECT_EQ(standard->integerForKey("fromGroup"), 7);
    standard->setInteger(2, "both");
    EXPECT_EQ(standard->integerForKey("both"), 2);
    EXPECT_EQ(group->integerForKey("both"), 1); // the write went to the own domain
    EXPECT_EQ(suite("group.shared")->integerForKey("both"), 1);
    const auto all = standard->dictionaryRepresentation();
    EXPECT_EQ(all.keys(), (std::vector<std::string>{"both", "fromGroup"}));
    EXPECT_EQ(all.find("both")->integer(), 2);
    EXPECT_TRUE(suite("group.empty")->dictionaryRepresentation().empty());
}

TEST_F(UserDefaultsTest, RefusedSuiteNamesGiveNoObject) {
    for (const char* name : {"", "NSGlobalDomain", "..", ".", "../escape", "a/b"}) {
        EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName(name), nullptr) << name;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(UserDefaultsTest, StandardDomainIsNamedByTheBundleIdentifier) {
    EXPECT_EQ(pf::NSUserDefaults::standardUserDefaults()->domainName(), "core_defaults_test");
    test::TempDir bundleDir;
    pf::PlistDictionary info;
    info.set("CFBundleIdentifier", "org.example.host");
    pf::FileManager::defaultManager().writeAtomically(
        bundleDir.path() + "/Info.plist",
        pf::PropertyListSerialization::data(pf::PlistValue(info), pf::PropertyListFormat::xml));
    pf::Bundle::setMainBundleOverride(bundleDir.path());
    const auto name = pf::NSUserDefaults::standardUserDefaults()->domainName();
    pf::Bundle::setMainBundleOverride(std::nullopt);
    EXPECT_EQ(name, "org.example.host");
}

TEST_F(UserDefaultsTest, TwoProcessesWritingTheSameDomainLoseNoUpdate) {
    constexpr int kWrites = 40;
    auto defaults = suite("group.race");
    defaults->setInteger(-1, "start");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0; i < kWrites; ++i)
            defaults->setInteger(i, "child " + std::to_string(i));
        ::_exit(0);
    }
    for (int i = 0; i < kWrites; ++i)
        defaults->setInteger(i, "parent " + std::to_string(i));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const auto all = suite("group.race")->dictionaryRepresentation();
    EXPECT_EQ(all.size(), 2u * kWrites + 1);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_TRUE(all.contains("child " + std::to_string(i))) << i;
        EXPECT_TRUE(all.contains("parent " + std::to_string(i))) << i;
    }
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

TEST_F(UserDefaultsTest, UnwritableStorageKeepsValuesInMemory) {
    const std::string blocked = dir.path() + "/file";
    std::ofstream(blocked) << "x";
    pf::NSUserDefaults::setStorageDirectoryForTesting(blocked + "/prefs");
    auto defaults = suite("group.memory");
    defaults->setInteger(9, "kept");
    EXPECT_EQ(defaults->integerForKey("kept"), 9);
    EXPECT_EQ(suite("group.memory")->integerForKey("kept"), 9);
}

} // namespace

namespace {

TEST_F(UserDefaultsTest, InMemorySuitesShareValuesAndWriteNoFile) {
    auto first = pf::NSUserDefaults::inMemorySuite("NSGlobalDomain");
    first->setInteger(4, "k");
    EXPECT_EQ(pf::NSUserDefaults::inMemorySuite("NSGlobalDomain")->integerForKey("k"), 4);
    EXPECT_EQ(pf::NSUserDefaults::inMemorySuite("other")->integerForKey("k"), 0);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
