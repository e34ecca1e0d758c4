// The audio unit as an object: construction, fixed answers, properties with actions, the
// parameter tree, and the entry points of the plug-in interface.
#include <gtest/gtest.h>

#include <string>

#include "RenderHarness.h"
#include "UnitTestSupport.h"
#include "core/SwiftText.h"

using namespace unittest;

namespace {

std::string kernelLine(int address, float value) {
    return pf::format("unit received parameter : address:%d, value:%f", address, double{value});
}

} // namespace

// Maximum frames and bypass reach the adapter and the final limiter on every write, and every write
// is logged. What bypass does to the sound is measured on the plug-in's output.
TEST(UnitObject, MaximumFramesAndBypassReachTheAdapterAndTheLimiterOnEveryWrite) {
    const auto unit = makeUnit();
    pf::ConsoleCapture capture;
    unit->setMaximumFramesToRender(1024);
    EXPECT_EQ(unit->maximumFramesToRender(), 1024u);
    EXPECT_EQ(unit->adapter()->maximumFramesToRender(), 1024u);

    unit->setShouldBypassEffect(true);
    unit->setShouldBypassEffect(true);
    EXPECT_TRUE(unit->adapter()->shouldBypassEffect());
    EXPECT_TRUE(unit->wrapped()->shouldBypassEffect());
    unit->setShouldBypassEffect(false);
    EXPECT_FALSE(unit->adapter()->shouldBypassEffect());
    EXPECT_FALSE(unit->wrapped()->shouldBypassEffect());

    const auto lines = drainedLines(capture);
    EXPECT_EQ(countOf(lines, "AUExtension::maximumFramesToRender (set): 1024"), 1);
    EXPECT_EQ(countOf(lines, "AUExtension::shouldBypassEffect (did set)"), 3);
}

TEST(UnitParameters, SetParameterTouchesTheTreeOnlyForANewValueAndTheAdapterAlways) {
    const auto unit = makeUnit();
    const auto tree = unit->parameterTree();
    int notified = 0;
    tree->tokenByAddingParameterObserver([&](pf::AUParameterAddress, pf::AUValue) { ++notified; });
    pf::ConsoleCapture capture;

    unit->setParameter(2, 0.8f); // the value the tree holds
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(countOf(capture.lines(), kernelLine(2, 0.8f)), 1);

    capture.clear();
    unit->setParameter(2, 0.3f);
    EXPECT_EQ(notified, 1);
    // Once through the tree's observer, once directly.
    EXPECT_EQ(countOf(capture.lines(), kernelLine(2, 0.3f)), 2);
    EXPECT_EQ(unit->adapter()->kernel().getParameter(2), 0.3f);

    capture.clear();
    unit->setParameter(12, 0.5f);
    unit->setParameter(-1, 0.5f);
    EXPECT_EQ(capture.lines().size(), 0u);
    EXPECT_EQ(unit->getParameter(12), 0.0f);
    EXPECT_EQ(unit->getParameter(-1), 0.0f);
    EXPECT_EQ(notified, 1);
}

// Automation reaches the kernel directly; the tree, its text and getParameter read it from there.
TEST(UnitParameters, TreeAndGetParameterReadTheKernelAfterAutomation) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    host.allocate();
    ASSERT_TRUE(host.scheduleParameter(10, kCompanderGain, 0.9f));
    ASSERT_EQ(host.renderCycle(64), pf::noErr);
    const auto parameter = unit->parameterTree()->parameterWithAddress(kCompanderGain);
    EXPECT_EQ(unit->getParameter(kCompanderGain), 0.9f);
    EXPECT_EQ(parameter->value(), 0.9f);
    EXPECT_EQ(parameter->stringFromValue(), "0.9");
    const float quarter = 0.25f;
    EXPECT_EQ(parameter->stringFromValue(&quarter), "0.25");
    unit->parameterTree()->parameterWithAddress(6)->setValue(2.0f);
    EXPECT_EQ(unit->adapter()->kernel().getParameter(6), 2.0f);
}
