// The component registry (matching, order, sources), AudioUnitSetParameter/GetParameter, and the
// engine nodes built from registered components.
#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "TestUnit.h"
#include "audio/AVAudioEngine.h"

namespace pf {
namespace {

using test::MisuseRecorder;
using test::TestUnit;

AudioComponentDescription describe(const char (&type)[5], const char (&sub)[5],
                                   const char (&maker)[5], std::uint32_t flags = 0,
                                   std::uint32_t mask = 0) {
    return {fourCharCode(type), fourCharCode(sub), fourCharCode(maker), flags, mask};
}

AudioComponentFactory testFactory() {
    return [](const AudioComponentDescription& d, AudioComponentInstantiationOptions) {
        return std::make_shared<TestUnit>(d);
    };
}

TEST(ComponentRegistry, FourCharacterCodesAreBigEndian) {
    EXPECT_EQ(fourCharCode("aufx"), 0x61756678u);
    EXPECT_EQ(fourCharCode("lmtr"), 0x6C6D7472u);
    EXPECT_EQ(fourCharCode("appl"), 0x6170706Cu);
    EXPECT_EQ(fourCharCode("Qrbn"), 0x5172626Eu);
}

TEST(ComponentRegistry, ZeroFieldsMatchAnythingAndFlagsCountOnlyUnderTheMask) {
    const auto plugin = describe("aumf", "orvc", "Qrbn", 2, 0);
    EXPECT_TRUE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 2, 0)));
    EXPECT_TRUE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 0, 0)));
    EXPECT_TRUE(audioComponentMatches(plugin, AudioComponentDescription{}));
    EXPECT_TRUE(audioComponentMatches(plugin, {fourCharCode("aumf"), 0, 0, 0, 0}));
    EXPECT_TRUE(audioComponentMatches(plugin, {0, 0, fourCharCode("Qrbn"), 0, 0}));
    EXPECT_FALSE(audioComponentMatches(plugin, describe("aufx", "orvc", "Qrbn")));
    EXPECT_FALSE(audioComponentMatches(plugin, describe("aumf", "orvd", "Qrbn")));
    EXPECT_FALSE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbm")));
    EXPECT_TRUE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 2, 2)));
    EXPECT_FALSE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 0, 2)));
    EXPECT_FALSE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 1, 1)));
    EXPECT_TRUE(audioComponentMatches(plugin, describe("aumf", "orvc", "Qrbn", 1, 4)));
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
    EXPECT_EQ(registry.components(describe("aumf", "cccc", "Tsta", 2, 2)),
              (std::vector<AudioComponent>{c}));
    EXPECT_TRUE(registry.components(describe("aumf", "cccc", "Tsta", 0, 2)).empty());

    // findNext walks the same order.
    std::vector<AudioComponent> walked;
    for (auto found = registry.findNext(nullptr, maker); found != nullptr;
         found = registry.findNext(found, maker)) {
        walked.push_back(found);
    }
    EXPECT_EQ(walked, (std::vector<AudioComponent>{a, b2, b1, c}));
    EXPECT_EQ(b2->name, "T: B2");
    EXPECT_EQ(b2->version, 2u);
}

TEST(ComponentRegistry, SourcesRunOnceBeforeTheNextQuery) {
    AudioComponentRegistry registry;
    int runs = 0;
    registry.addComponentSource([&runs](AudioComponentRegistry& r) {
        ++runs;
        r.registerComponent(describe("aumf", "orvc", "Qrbn", 2), "Qrbn: Found", 1, {});
    });
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(registry.components(describe("aumf", "orvc", "Qrbn")).size(), 1u);
    EXPECT_EQ(registry.components(describe("aumf", "orvc", "Qrbn")).size(), 1u);
    EXPECT_EQ(runs, 1);
}

TEST(ParameterCalls, ReachTheTreeInGlobalScopeElementZeroAndRefuseEverythingElse) {
    auto unit = std::make_shared<TestUnit>();
    const AudioUnit handle = unit->audioUnitHandle();
    EXPECT_EQ(handle, unit->audioUnitHandle());
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

void registerNodeTestComponent() {
    static const bool registered = [] {
        AudioComponentRegistry::shared().registerComponent(
            describe("aufx", "tsn1", "Tstn"), "Test Nodes: Node Unit", 5, testFactory());
        return true;
    }();
    (void)registered;
}

TEST(AudioNodes, AnEffectIsInstantiatedSynchronouslyAndShowsItsUnitsBuses) {
    registerNodeTestComponent();
    const auto effect = AVAudioUnitEffect::make(describe("aufx", "tsn1", "Tstn"));
    ASSERT_NE(effect->auAudioUnit(), nullptr);
    ASSERT_NE(effect->audioUnit(), nullptr);
    EXPECT_EQ(effect->name(), "Node Unit");
    EXPECT_EQ(effect->manufacturerName(), "Test Nodes");
    EXPECT_EQ(effect->version(), 5u);
    EXPECT_EQ(effect->numberOfInputs(), 1u);
    EXPECT_EQ(effect->numberOfOutputs(), 1u);
    EXPECT_EQ(AudioUnitSetParameter(effect->audioUnit(), 0, kAudioUnitScope_Global, 0, 0.75f, 0),
              noErr);

    const auto missing = AVAudioUnitEffect::make(describe("aufx", "nope", "Nope"));
    EXPECT_EQ(missing->auAudioUnit(), nullptr);
    EXPECT_EQ(missing->audioUnit(), nullptr);
    EXPECT_EQ(missing->numberOfInputs(), 0u);
    EXPECT_EQ(missing->name(), std::nullopt);
}

TEST(AudioNodes, EnginesAttachAndDetachNodesWithoutTouchingTheirUnits) {
    MisuseRecorder misuse;
    registerNodeTestComponent();
    const auto effect = AVAudioUnitEffect::make(describe("aufx", "tsn1", "Tstn"));
    ASSERT_NE(effect->auAudioUnit(), nullptr);
    auto engine = AVAudioEngine::make();
    engine->attach(effect);
    engine->attach(effect);
    EXPECT_EQ(engine->attachedNodes().size(), 1u);
    EXPECT_EQ(effect->engine(), engine);
    EXPECT_FALSE(effect->auAudioUnit()->renderResourcesAllocated());

    auto other = AVAudioEngine::make();
    other->attach(effect);
    EXPECT_EQ(MisuseRecorder::messages().size(), 1u);
    EXPECT_FALSE(other->isAttached(*effect));

    engine->detach(effect);
    engine->detach(effect);
    EXPECT_EQ(effect->engine(), nullptr);
    EXPECT_TRUE(engine->attachedNodes().empty());

    other->attach(effect);
    EXPECT_EQ(effect->engine(), other);
    other.reset(); // the engine goes first: the node is attached to none and can be reattached
    EXPECT_EQ(effect->engine(), nullptr);
    engine->attach(effect);
    EXPECT_EQ(effect->engine(), engine);
    EXPECT_EQ(MisuseRecorder::messages().size(), 1u);
}

} // namespace
} // namespace pf
