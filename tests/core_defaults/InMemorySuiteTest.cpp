#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

class InMemorySuiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pf-memory-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        pf::NSUserDefaults::setStorageDirectoryForTesting(dir);
    }
    void TearDown() override {
        pf::NSUserDefaults::setStorageDirectoryForTesting(std::nullopt);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string dir;
};

TEST_F(InMemorySuiteTest, InMemorySuiteIsSharedByNameAndNeverTouchesTheFiles) {
    auto memory = pf::NSUserDefaults::inMemorySuite("group.memory");
    EXPECT_TRUE(memory->isInMemoryOnly());
    memory->setInteger(4, "n");
    memory->setObject(pf::PlistValue("text"), "s");
    EXPECT_EQ(pf::NSUserDefaults::inMemorySuite("group.memory")->integerForKey("n"), 4);
    EXPECT_EQ(memory->dictionaryRepresentation().size(), 2u);

    // The file domain of the same name is another domain.
    auto file = pf::NSUserDefaults::initWithSuiteName("group.memory");
    EXPECT_FALSE(file->isInMemoryOnly());
    EXPECT_EQ(file->integerForKey("n"), 0);
    EXPECT_TRUE(fs::is_empty(dir));

    // Names no file could carry are fine in memory.
    auto odd = pf::NSUserDefaults::inMemorySuite("../odd/name");
    odd->setBool(true, "b");
    EXPECT_TRUE(pf::NSUserDefaults::inMemorySuite("../odd/name")->boolForKey("b"));
    EXPECT_TRUE(fs::is_empty(dir));
}

} // namespace
