// A misbehaving host: misuse is refused before the unit takes any step, and an impossible maximum
// frame count fails the allocation. (Damaged preset files: unit_state_test.)


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

} // namespace
