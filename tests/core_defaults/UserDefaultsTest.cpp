#include "core/UserDefaults.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DefaultsTestSupport.h"
#include "core/Bundle.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Every test process gets its own home and settings folder, and a bundle naming its standard
// domain, before any domain is opened.
class ScratchHome : public ::testing::Environment {
public:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "defaults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        root = templ;
        ::setenv("HOME", root.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        const std::string bundle = makeTestBundle(root);
        ::setenv("ORVEX_TEST_BUNDLE", bundle.c_str(), 1);
        pf::Bundle::setMainBundleOverride(bundle);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    static inline std::string root;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ScratchHome);

std::string settingsFile(const std::string& domain) {
    return pf::NSUserDefaults::storageDirectory() + "/" + domain + ".plist";
}

// Runs the helper process with `args`; returns its exit status.
pid_t spawnHelper(std::vector<std::string> args) {
    args.insert(args.begin(), DEFAULTS_HELPER);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, DEFAULTS_HELPER, nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}
int waitHelper(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
int runHelper(std::vector<std::string> args) {
    return waitHelper(spawnHelper(std::move(args)));
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(UserDefaults, StandardDomainIsNamedByTheMainBundle) {
    EXPECT_EQ(pf::NSUserDefaults::standardDomainName(), kTestBundleIdentifier);
    EXPECT_EQ(pf::NSUserDefaults::standardUserDefaults(),
              pf::NSUserDefaults::standardUserDefaults());
}

TEST(UserDefaults, EveryTypeRoundTripsInBothDomainsAndThroughTheFile) {
    auto standard = pf::NSUserDefaults::standardUserDefaults();
    auto suite = pf::NSUserDefaults::initWithSuiteName(kTestSuite);
    ASSERT_TRUE(suite);
    writeEveryType(*standard);
    writeEveryType(*suite);
    EXPECT_EQ(checkEveryType(*standard), "");
    EXPECT_EQ(checkEveryType(*suite), "");
    // A fresh object of the suite shares the process's copy of the domain.
    EXPECT_EQ(checkEveryType(*pf::NSUserDefaults::initWithSuiteName(kTestSuite)), "");

    // The file holds the values as an XML property list; the home folder is written as "~".
    const std::string xml = readFile(settingsFile(kTestSuite));
    EXPECT_NE(xml.find("<?xml"), std::string::npos);
    EXPECT_NE(xml.find("<string>~/Music/take 1.m4a</string>"), std::string::npos);
    const auto parsed = pf::PropertyListSerialization::propertyList(xml);
    ASSERT_TRUE(parsed.dictionary());
    EXPECT_EQ(*parsed.dictionary()->find("integer"), pf::PlistValue(EveryType::integer()));
}

TEST(UserDefaults, EveryTypeCrossesToASecondProcessInBothDomains) {
    writeEveryType(*pf::NSUserDefaults::standardUserDefaults());
    writeEveryType(*pf::NSUserDefaults::initWithSuiteName(kTestSuite));
    EXPECT_EQ(runHelper({"check-types", "standard"}), 0);
    EXPECT_EQ(runHelper({"check-types", "suite"}), 0);

    // And back: the other process writes, this one reads the changed file.
    for (auto d : {pf::NSUserDefaults::standardUserDefaults(),
                   pf::NSUserDefaults::initWithSuiteName(kTestSuite)}) {
        for (const auto& key : d->dictionaryRepresentation().keys())
            d->removeObjectForKey(key);
        EXPECT_TRUE(d->dictionaryRepresentation().empty());
    }
    EXPECT_EQ(runHelper({"write-types", "standard"}), 0);
    EXPECT_EQ(runHelper({"write-types", "suite"}), 0);
    EXPECT_EQ(checkEveryType(*pf::NSUserDefaults::standardUserDefaults()), "");
    EXPECT_EQ(checkEveryType(*pf::NSUserDefaults::initWithSuiteName(kTestSuite)), "");
}

TEST(UserDefaults, ConcurrentWritersInThreeProcessesLoseNoKey) {
    constexpr int kCount = 120;
    const pid_t a = spawnHelper({"write-many", "suite", "a", std::to_string(kCount)});
    const pid_t b = spawnHelper({"write-many", "suite", "b", std::to_string(kCount)});
    auto suite = pf::NSUserDefaults::initWithSuiteName(kTestSuite);
    for (int i = 0; i < kCount; ++i)
        suite->setInteger(i, "c" + std::to_string(i));
    EXPECT_EQ(waitHelper(a), 0);
    EXPECT_EQ(waitHelper(b), 0);
    const auto all = suite->dictionaryRepresentation();
    for (const char* prefix : {"a", "b", "c"}) {
        for (int i = 0; i < kCount; ++i) {
            const auto* v = all.find(prefix + std::to_string(i));
            ASSERT_NE(v, nullptr) << prefix << i;
            EXPECT_EQ(v->integer(), i);
        }
    }
}

TEST(UserDefaults, MissingKeysGiveThePlatformDefaultsAndAbsentValuesRemove) {
    auto d = pf::NSUserDefaults::initWithSuiteName("org.orvex.tests.missing");
    EXPECT_EQ(d->stringForKey("k"), std::nullopt);
    EXPECT_EQ(d->integerForKey("k"), 0);
    EXPECT_EQ(d->floatForKey("k"), 0.0f);
    EXPECT_FALSE(d->boolForKey("k"));
    EXPECT_EQ(d->URLForKey("k"), std::nullopt);
    EXPECT_EQ(d->objectForKey("k"), std::nullopt);
    d->setURL(EveryType::webURL(), "u");
    d->setURL(std::nullopt, "u");
    d->setObject(pf::PlistValue(3), "o");
    d->setObject(std::nullopt, "o");
    EXPECT_TRUE(d->dictionaryRepresentation().empty());
}

TEST(UserDefaults, DamagedFileIsSetAsideAndTheDomainStartsEmpty) {
    const std::string domain = "org.orvex.tests.damaged";
    fs::create_directories(pf::NSUserDefaults::storageDirectory());
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>a</key><inte";
    writeFile(settingsFile(domain), garbage);

    testing::internal::CaptureStderr();
    auto d = pf::NSUserDefaults::initWithSuiteName(domain);
    EXPECT_EQ(d->integerForKey("a"), 0);
    EXPECT_EQ(d->stringForKey("a"), std::nullopt);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);

    // The damaged bytes are kept, not overwritten.
    std::vector<fs::path> aside;
    for (const auto& e : fs::directory_iterator(pf::NSUserDefaults::storageDirectory()))
        if (e.path().filename().string().starts_with(domain + ".plist.corrupt-"))
            aside.push_back(e);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0].string()), garbage);

    // The domain works on: a write makes a sound file again.
    d->setInteger(7, "a");
    EXPECT_EQ(pf::PropertyListSerialization::propertyList(readFile(settingsFile(domain)))
                  .dictionary()
                  ->find("a")
                  ->integer(),
              7);

    // A file damaged later, by someone else, is noticed on the next read.
    writeFile(settingsFile(domain), "not a property list at all, and a bit longer");
    testing::internal::CaptureStderr();
    EXPECT_EQ(d->integerForKey("a"), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is damaged"), std::string::npos);
}

TEST(UserDefaults, TopLevelThatIsNotADictionaryCountsAsDamaged) {
    const std::string domain = "org.orvex.tests.array";
    fs::create_directories(pf::NSUserDefaults::storageDirectory());
    const auto bytes = pf::PropertyListSerialization::data(
        pf::PlistValue(pf::PlistArray{pf::PlistValue(1)}), pf::PropertyListFormat::xml);
    writeFile(settingsFile(domain), std::string(bytes.begin(), bytes.end()));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pf::NSUserDefaults::initWithSuiteName(domain)->dictionaryRepresentation().empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a dictionary"), std::string::npos);
}

TEST(UserDefaults, RefusedSuiteNamesGiveNoObject) {
    EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName(""), nullptr);
    EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName("NSGlobalDomain"), nullptr);
    EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName(kTestBundleIdentifier), nullptr);
}

// Fault S14: a suite that cannot be opened must not take the process down.
TEST(UserDefaults, SuiteThatCannotBeKeptInAFileLivesInMemoryWithOneLogLine) {
    testing::internal::CaptureStderr();
    auto d = pf::NSUserDefaults::initWithSuiteName("group/../escape");
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->isVolatile());
    d->setInteger(5, "n");
    d->setInteger(6, "n");
    EXPECT_EQ(pf::NSUserDefaults::initWithSuiteName("group/../escape")->integerForKey("n"), 6);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(fs::exists(ScratchHome::root + "/config/orvex/escape.plist"));

    // A folder that cannot be made: a plain file stands where it should go.
    const std::string blocked = ScratchHome::root + "/blocked";
    writeFile(blocked, "x");
    ::setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    testing::internal::CaptureStderr();
    auto b = pf::NSUserDefaults::initWithSuiteName("org.orvex.tests.blocked");
    ::setenv("XDG_CONFIG_HOME", (ScratchHome::root + "/config").c_str(), 1);
    b->setBool(true, "on");
    EXPECT_TRUE(b->boolForKey("on"));
    EXPECT_TRUE(b->isVolatile());
    const std::string blockedErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(blockedErr.begin(), blockedErr.end(), '\n'), 1) << blockedErr;
}

TEST(UserDefaults, UnreadableFileKeepsTheDomainInMemoryWithOneLogLine) {
    const std::string domain = "org.orvex.tests.folder";
    fs::create_directories(settingsFile(domain)); // a folder where the file should be
    testing::internal::CaptureStderr();
    auto d = pf::NSUserDefaults::initWithSuiteName(domain);
    EXPECT_EQ(d->integerForKey("x"), 0);
    d->setInteger(3, "x");
    d->setInteger(4, "x");
    EXPECT_EQ(d->integerForKey("x"), 4);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(fs::is_directory(settingsFile(domain)));
}

TEST(UserDefaults, StandardObjectSearchesAddedSuitesButWritesItsOwnDomain) {
    auto standard = pf::NSUserDefaults::standardUserDefaults();
    auto suite = pf::NSUserDefaults::initWithSuiteName("org.orvex.tests.search");
    suite->setInteger(1, "fromSuite");
    suite->setInteger(2, "both");
    EXPECT_EQ(standard->integerForKey("fromSuite"), 0);
    standard->addSuiteNamed("org.orvex.tests.search");
    standard->addSuiteNamed("org.orvex.tests.search");
    standard->addSuiteNamed(kTestBundleIdentifier);
    EXPECT_EQ(standard->integerForKey("fromSuite"), 1);
    standard->setInteger(20, "both");
    EXPECT_EQ(standard->integerForKey("both"), 20);
    EXPECT_EQ(suite->integerForKey("both"), 2);
    standard->removeObjectForKey("both");
    EXPECT_EQ(standard->integerForKey("both"), 2); // the suite shows through

    standard->setInteger(20, "both");
    const auto all = standard->dictionaryRepresentation();
    EXPECT_EQ(all.find("both")->integer(), 20);
    EXPECT_EQ(all.find("fromSuite")->integer(), 1);
    EXPECT_EQ(suite->dictionaryRepresentation().size(), 2u);
}

TEST(UserDefaults, TypedGettersConvertOtherTypesAsThePlatformDoes) {
    auto d = pf::NSUserDefaults::initWithSuiteName("org.orvex.tests.convert");
    auto put = [&](pf::PlistValue v) { d->setObject(std::move(v), "k"); };
    put(2.9);
    EXPECT_EQ(d->integerForKey("k"), 2);
    EXPECT_EQ(d->stringForKey("k"), "2.9");
    EXPECT_TRUE(d->boolForKey("k"));
    put(-2.9);
    EXPECT_EQ(d->integerForKey("k"), -2);
    put(1e300);
    EXPECT_EQ(d->integerForKey("k"), std::numeric_limits<std::int64_t>::max());
    put(std::nan(""));
    EXPECT_EQ(d->integerForKey("k"), 0);
    put(true);
    EXPECT_EQ(d->integerForKey("k"), 1);
    EXPECT_EQ(d->floatForKey("k"), 1.0f);
    put("42abc");
    EXPECT_EQ(d->integerForKey("k"), 42);
    put(" 2.5");
    EXPECT_EQ(d->floatForKey("k"), 2.5f);
    for (const char* yes : {"YES", "true", "t", "007"}) {
        put(yes);
        EXPECT_TRUE(d->boolForKey("k")) << yes;
    }
    for (const char* no : {"NO", "false", "0", ""}) {
        put(no);
        EXPECT_FALSE(d->boolForKey("k")) << no;
    }
    put(17);
    EXPECT_EQ(d->stringForKey("k"), "17");
    EXPECT_EQ(d->URLForKey("k"), std::nullopt);
    put(pf::PlistData{1, 2});
    EXPECT_EQ(d->stringForKey("k"), std::nullopt);
    put("/tmp/x.txt");
    EXPECT_EQ(d->URLForKey("k"), pf::URL::fileURLWithPath("/tmp/x.txt"));
}

TEST(UserDefaults, FloatsAreStoredBitForBit) {
    auto d = pf::NSUserDefaults::initWithSuiteName("org.orvex.tests.floats");
    const float values[] = {0.3f, -1e-38f, 3.4028235e38f, 1.0f / 3.0f, -0.0f};
    for (std::size_t i = 0; i < std::size(values); ++i)
        d->setFloat(values[i], "f" + std::to_string(i));
    const std::string xml = readFile(settingsFile("org.orvex.tests.floats"));
    const auto reread = pf::PropertyListSerialization::propertyList(xml);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const float back =
            static_cast<float>(*reread.dictionary()->find("f" + std::to_string(i))->real());
        EXPECT_EQ(std::memcmp(&back, &values[i], sizeof back), 0) << i;
    }
}

} // namespace
