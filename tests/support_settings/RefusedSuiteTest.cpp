// The platform refuses a suite named like the process's own domain. Here the standard domain is
// named `sharedContainer`, so the group suite is refused.
#include "PersistentAppData.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "SettingsScratch.h"
#include "core/Console.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsScratch(std::string(sharedContainer)));

// Fault S14: a refused group suite used to take the process down.
TEST(PersistentAppDataRefusedSuite, FallsBackToAnInMemorySuiteWithOneLogLine) {
    testing::internal::CaptureStderr();
    auto& data = PersistentAppData::sharedInstance();
    data.setInteger("k", 5, PersistentAppData::Storage::shared);
    EXPECT_EQ(data.getInteger("k", PersistentAppData::Storage::shared), 5);
    EXPECT_TRUE(NSUserDefaultsExt::shared()->isVolatile());
    EXPECT_EQ(NSUserDefaultsExt::shared()->integerForKey("k"), 5); // one domain per process
    {
        pf::ConsoleCapture quiet;
        data.dumpout();
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("refused"), std::string::npos);
    // The standard store is untouched by the refusal.
    data.setInteger("own", 1);
    EXPECT_EQ(data.getInteger("own"), 1);
}

} // namespace
