// The application's entry ends its process, so its failure runs in a child process of its own.
#include <cstdlib>

#include "AppTestSupport.h"
#include "ui/UIApplicationMain.h"

namespace {

TEST(ApplicationMain, AnUnknownDelegateClassEndsWithStatusOneAndSaysWhich) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto run = [] {
        ::setenv("PF_UI_BACKEND", "offscreen", 1);
        char name[] = "entry";
        char* argv[] = {name, nullptr};
        pf::UIApplicationMainWithBundle(1, argv, nullptr, "NoSuchDelegate",
                                        pf::Bundle::withPath("/nonexistent"));
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
                "no application delegate class named 'NoSuchDelegate'");
}

} // namespace
