// A misbehaving host and damaged preset files: misuse is refused before the unit takes any step,
// an impossible maximum frame count fails the allocation, and a broken or blocking preset never
// becomes current.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "UnitTestSupport.h"
#include "core/Check.h"
#include "core/NSError.h"
#include "core/RenderThread.h"

using namespace unittest;

namespace {

// The misuse reported to the checked handler while a test runs.
std::vector<std::string> gMisuse;

struct MisuseRecorder {
    MisuseRecorder()
        : previous(pf::setCheckFailureHandler(
              [](std::string_view message) { gMisuse.emplace_back(message); })) {
        gMisuse.clear();
    }
    ~MisuseRecorder() { pf::setCheckFailureHandler(previous); }
    pf::CheckFailureHandler previous;
};

TEST(HostileHost, LifeCycleCallsOnTheRenderThreadAreRefusedBeforeAnyStep) {
    const MisuseRecorder misuse;
    const auto unit = makeUnit();
    RenderHarness host(unit);
    pf::ConsoleCapture capture;
    {
        pf::RenderThreadScope renderThread;
        unit->allocateRenderResources();
    }
    EXPECT_FALSE(unit->renderResourcesAllocated());
    EXPECT_EQ(countOf(drainedLines(capture), "AUExtension::allocateRenderResources()"), 0);
    EXPECT_EQ(unit->adapter()->kernel().getInputs(), nullptr); // the adapter allocated nothing

    host.allocate();
    {
        pf::RenderThreadScope renderThread;
        unit->deallocateRenderResources();
    }
    EXPECT_TRUE(unit->renderResourcesAllocated());
    EXPECT_EQ(countOf(drainedLines(capture), "AUExtension::deallocateRenderResources()"), 0);
    EXPECT_EQ(host.renderCycle(256), pf::noErr); // it still renders
    EXPECT_EQ(gMisuse.size(), 2u);
}

TEST(HostileHost, AMaximumFrameCountNoBufferCanHoldFailsTheAllocation) {
    const auto unit = makeUnit();
    RenderHarness host(unit, {.maximumFrames = 512});
    host.allocate();
    unit->setMaximumFramesToRender(4294967295u);
    try {
        unit->allocateRenderResources();
        ADD_FAILURE() << "the allocation answered success";
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().code(), pf::kAudioUnitErr_TooManyFramesToProcess);
        EXPECT_NE(e.error().localizedDescription().find("4294967295 frames"), std::string::npos);
    }
    // What was allocated before is released, not left half-made.
    EXPECT_FALSE(unit->renderResourcesAllocated());
}

TEST(HostilePresets, ABrokenOrBlockingPresetNeverBecomesCurrent) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    const auto unit = makeUnit();
    unit->parameterTree()->parameterWithAddress(0)->setValue(0.25f);
    OrvexPreset writer;
    writer.makeFrom(unit->parameterTree());
    ASSERT_TRUE(writer.save(pf::URL::fileURLWithPath((folder / "Good.plist").string())));
    std::stringstream good;
    good << std::ifstream(folder / "Good.plist").rdbuf();
    std::string dangling = good.str(); // a key with no value at the end of a group
    dangling.insert(dangling.find("</dict>"), "<key>extra</key>");
    std::ofstream(folder / "Dangling.plist") << dangling;
    ASSERT_EQ(::mkfifo((folder / "Pipe.plist").c_str(), 0600), 0);

    const auto presets = *unit->factoryPresets();
    ASSERT_EQ(presets.size(), 2u); // the pipe is not listed
    EXPECT_EQ(presets[0]->name, "Dangling");
    unit->parameterTree()->parameterWithAddress(0)->setValue(0.75f);
    unit->setCurrentPreset(presets[1]);
    ASSERT_EQ(unit->currentPreset(), presets[1]);

    testing::internal::CaptureStderr();
    unit->setCurrentPreset(presets[0]);
    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("Pipe", 1));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(unit->currentPreset(), presets[1]);
    EXPECT_EQ(unit->parameterTree()->parameterWithAddress(0)->value(), 0.25f);
    for (const auto& [file, reason] : {std::pair{"Dangling.plist", "a dictionary key has no value"},
                                       std::pair{"Pipe.plist", "isn\u2019t a regular file"}}) {
        const auto at = errors.find((folder / file).string() + " cannot be read: ");
        ASSERT_NE(at, std::string::npos) << errors;
        EXPECT_NE(errors.find(reason, at), std::string::npos) << errors;
    }
}

} // namespace
