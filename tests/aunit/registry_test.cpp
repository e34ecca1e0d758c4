// The component registry (matching and order) and AudioUnitSetParameter/GetParameter.
#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "TestUnit.h"

namespace pf {
namespace {

using test::TestUnit;

AudioComponentDescription describe(const char (&type)[5], const char (&sub)[5],
                                   const char (&maker)[5], std::uint32_t flags = 0,
                                   std::uint32_t mask = 0) {
    return {fourCharCode(type), fourCharCode(sub), fourCharCode(maker), flags, mask};
}

TEST(ComponentRegistry, FindsInRegistrationOrderWithNewerVersionsFirst) {
    AudioComponentRegistry registry;
    const auto a = registry.registerComponent(describe("aufx", "aaaa", "Tsta"), "T: A", 1, {});
    const auto b1 = registry.registerComponent(describe("aufx", "bbbb", "Tsta"), "T: B1", 1, {});
    const auto c = registry.registerComponent(describe("aumf", "cccc", "Tsta", 2), "T: C", 1, {});
    const auto b2 = registry.registerComponent(describe("aufx", "bbbb", "Tsta"), "T: B2", 2, {});

    const AudioComponentDescription maker{0, 0, fourCharCode("Tsta"), 0, 0};
    EXPECT_EQ(registry.components(maker), (std::vector<AudioComponent>{a, b2, b1, c}));
    EXPECT_EQ(registry.components(describe("aufx", "bbbb", "Tsta")),
              (std::vector<AudioComponent>{b2, b1}));

    // findNext walks the same order.
    std::vector<AudioComponent> walked;
    for (auto found = registry.findNext(nullptr, maker); found != nullptr;
         found = registry.findNext(found, maker)) {
        walked.push_back(found);
    }
    EXPECT_EQ(walked, (std::vector<AudioComponent>{a, b2, b1, c}));
}

TEST(ParameterCalls, ReachTheTreeInGlobalScopeElementZeroAndRefuseEverythingElse) {
    auto unit = std::make_shared<TestUnit>();
    const AudioUnit handle = unit->audioUnitHandle();
    EXPECT_EQ(AudioUnitSetParameter(handle, 7, kAudioUnitScope_Global, 0, -0.5f, 0), noErr);
    AUValue value = 0;
    EXPECT_EQ(AudioUnitGetParameter(handle, 7, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, -0.5f);
    // scope, element, parameter, value, expected status
    const std::tuple<AudioUnitScope, AudioUnitElement, AudioUnitParameterID, AUValue, OSStatus>
        refused[] = {
            {kAudioUnitScope_Input, 0, 0, 0.5f, kAudioUnitErr_InvalidScope},
            {kAudioUnitScope_Output, 0, 0, 0.5f, kAudioUnitErr_InvalidScope},
            {kAudioUnitScope_Global, 1, 0, 0.5f, kAudioUnitErr_InvalidElement},
            {kAudioUnitScope_Global, 0, 3, 0.5f, kAudioUnitErr_InvalidParameter},
            {kAudioUnitScope_Global, 0, 0, std::nanf(""), kAudioUnitErr_InvalidParameterValue}};
    for (const auto& [scope, element, id, v, status] : refused) {
        EXPECT_EQ(AudioUnitSetParameter(handle, id, scope, element, v, 0), status) << id;
    }
    EXPECT_EQ(AudioUnitGetParameter(handle, 3, kAudioUnitScope_Global, 0, &value),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(handle, 0, kAudioUnitScope_Global, 0, nullptr),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitSetParameter(nullptr, 0, kAudioUnitScope_Global, 0, 0.5f, 0),
              kAudio_ParamError);
    EXPECT_EQ(unit->storedA(), 0.0f); // nothing reached the unit
    EXPECT_EQ(AudioUnitSetParameter(handle, 0, kAudioUnitScope_Global, 0, 0.25f, 128), noErr);
    EXPECT_EQ(unit->storedA(), 0.25f);

    unit.reset(); // a handle whose unit is gone fails without touching it
    EXPECT_EQ(AudioUnitSetParameter(handle, 0, kAudioUnitScope_Global, 0, 0.5f, 0),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitGetParameter(handle, 0, kAudioUnitScope_Global, 0, &value),
              kAudio_ParamError);
}

} // namespace
} // namespace pf
