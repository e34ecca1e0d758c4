#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "AllocationCounter.h"
#include "EnvGuard.h"
#include "Extensions.h"
#include "TempDir.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TEST(StringValue, FourCharacterCodesReadMostSignificantByteFirstInMacOsRoman) {
    EXPECT_EQ(stringValue(0x61756D66), "aumf");
    EXPECT_EQ(stringValue(0x6F727663), "orvc");
    EXPECT_EQ(stringValue(0x5172626E), "Qrbn");
    EXPECT_EQ(stringValue(0), std::string(4, '\0')); // four NULs, not "FAIL", not empty
    EXPECT_EQ(stringValue(0x80818283), "\u00C4\u00C5\u00C7\u00C9"); // high bytes as Mac OS Roman
}

TEST(Logging, RenderThreadLinesGoThroughTheRingWithoutAllocating) {
    pf::ConsoleCapture capture;
    int allocations = -1;
    std::thread render([&] {
        pf::RenderThreadScope scope;
        testsupport::AllocationCount counter;
        safeprint("AUExtension: render failed (first)");
        debugprint("AUExtension: render failed (second)");
        allocations = counter.count();
    });
    render.join();
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return capture.lines().size() == 2; }, 30s));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"AUExtension: render failed (first)",
                                                         "AUExtension: render failed (second)"}));
}

class EnsureDirectoryExists : public ::testing::Test {
protected:
    test::TempDir dir;
    pf::ConsoleCapture capture;
    std::vector<std::string> loggedLines() {
        pf::drainMainQueue();
        return capture.lines();
    }
};

TEST_F(EnsureDirectoryExists, RefusesAPlainFileInTheWayAndLogsOneLine) {
    const std::string file = dir.path() + "/Presets";
    std::ofstream(file) << "not a folder";
    EXPECT_FALSE(ensureDirectoryExists(pf::URL::fileURLWithPath(file)));
    EXPECT_TRUE(fs::is_regular_file(file));
    const auto lines = loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "ensureDirectoryExists() : ERROR: Creating required directory '" + file +
                            "' failed: The file \u201CPresets\u201D couldn\u2019t be saved in the "
                            "folder \u201C" +
                            fs::path(dir.path()).filename().string() +
                            "\u201D because a file with the same name already exists.");

    // Below a plain file the reason names the deepest folder and its parent.
    const std::string below = file + "/sub/folder";
    EXPECT_FALSE(ensureDirectoryExists(pf::URL::fileURLWithPath(below, true)));
    EXPECT_EQ(loggedLines().back(),
              "ensureDirectoryExists() : ERROR: Creating required directory '" + below +
                  "' failed: The file \u201Cfolder\u201D couldn\u2019t be saved in the folder "
                  "\u201Csub\u201D.");
}

TEST(GetPaths, SetsAndLogsBothFoldersEveryTime) {
    test::TempDir dir;
    test::EnvGuard xdg("XDG_DATA_HOME");
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    fs::create_directories(dir.path() + "/Host.app/Resources");
    pf::Bundle::setMainBundleOverride(dir.path() + "/Host.app");
    pf::ConsoleCapture capture;
    getPaths();
    getPaths();
    pf::drainMainQueue();
    pf::Bundle::setMainBundleOverride(std::nullopt);
    const std::string documents = dir.path() + "/support_core_test/Documents";
    ASSERT_TRUE(documentsURL.has_value());
    EXPECT_EQ(documentsURL->path(), documents);
    ASSERT_TRUE(resourcesURL.has_value());
    EXPECT_EQ(resourcesURL->path(), dir.path() + "/Host.app/Resources");
    const std::string a =
        "AudioUnitViewController::getPaths() : Audio Unit's documents path is: " + documents;
    const std::string b =
        "AudioUnitViewController::getPaths() : Audio Unit's resources path is: " + dir.path() +
        "/Host.app/Resources";
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{a, b, a, b}));
}

} // namespace
