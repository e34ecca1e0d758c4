// What the real plug-in publishes to a host: its parameters (names, identifiers, units, ranges and
// the values it starts with) and its factory presets, each applied as a host applies it.
#include <string>

#include "PluginHost.h"

namespace plugintest {
namespace {

using PluginPublished = PluginTest;

TEST_F(PluginPublished, TwelveReadableWritableParametersInOneGroupWithTheirNamesRangesAndDefaults) {
    const auto generic = kAudioUnitParameterUnit_Generic, indexed = kAudioUnitParameterUnit_Indexed,
               boolean = kAudioUnitParameterUnit_Boolean;
    const struct {
        const char *identifier, *name;
        AUValue min, max, initial;
        AudioUnitParameterUnit unit;
    } expected[] = {{"kCompanderAttack", "Compressor Attack", 0, 1, 0.1f, generic},
                    {"kCompanderRelease", "Compressor Release", 0, 1, 0.5f, generic},
                    {"kCompanderThreshold", "Compressor Threshold", 0, 1, 0.8f, generic},
                    {"kCompanderRatio", "Compressor Ratio", 0, 1, 0.5f, generic},
                    {"kCompanderGain", "Compressor Gain", 0, 1, 0.5f, generic},
                    {"kCompanderMix", "Compressor Mix", 0, 1, 1, generic},
                    {"kCompanderMode", "Compressor Mode", 0, 3, 0, indexed},
                    {"kCompanderBypass", "Compressor Bypass", 0, 1, 0, boolean},
                    {"kCompanderAudition", "Compressor Audition", 0, 1, 0, boolean},
                    {"kCompanderInputFilterHP", "Compressor Reserved", 0, 1, 0, generic},
                    {"kCompanderInputFilterLP", "Compressor Reserved", 0, 1, 1, generic},
                    {"kCompanderFinalLimiter", "Final Limiter", 0, 1, 1, boolean}};
    const auto unit = instantiate();
    ASSERT_TRUE(unit);
    const auto tree = unit->parameterTree();
    ASSERT_EQ(tree->children().size(), 1u);
    EXPECT_EQ(tree->children()[0]->identifier(), "kGlobalParameters");
    EXPECT_EQ(tree->children()[0]->displayName(), "Orvex Compander Global");
    const auto parameters = tree->allParameters();
    ASSERT_EQ(parameters.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const auto& p = *parameters[i];
        const auto& e = expected[i];
        EXPECT_EQ(p.address(), i);
        EXPECT_EQ(p.identifier(), e.identifier);
        EXPECT_EQ(p.displayName(), e.name) << e.identifier;
        EXPECT_EQ(p.minValue(), e.min) << e.identifier;
        EXPECT_EQ(p.maxValue(), e.max) << e.identifier;
        EXPECT_EQ(p.value(), e.initial) << e.identifier;
        EXPECT_EQ(p.unit(), e.unit) << e.identifier;
        EXPECT_EQ(p.flags(), 0xC0000000u) << e.identifier; // readable and writable, nothing else
        EXPECT_FALSE(p.unitName() || p.valueStrings()) << e.identifier;
    }
}

// The shipped presets in their order, with every value each one sets (addresses 0 to 11).
const struct {
    const char* name;
    AUValue values[12];
} kFactoryPresets[] = {
    {"Broad Expander", {0.1f, 0.5f, 0.3f, 0.2f, 0.5f, 1, 1, 0, 0, 0, 1, 1}},
    {"Gentle Glue", {0.3f, 0.6f, 0.75f, 0.6f, 0.55f, 1, 2, 0, 0, 0, 1, 1}},
    {"Late Night Whisper", {0.02f, 0.8f, 0.4f, 0.95f, 0.7f, 1, 3, 0, 0, 0, 1, 1}},
    {"Punchy Drums", {0.25f, 0.2f, 0.5f, 0.85f, 0.65f, 0.7f, 0, 0, 0, 0, 1, 1}},
    {"Vocal Presence", {0.05f, 0.4f, 0.6f, 0.75f, 0.6f, 1, 0, 0, 0, 0, 1, 1}},
};

// Each preset is applied over values it sets none of, so every value it leaves out shows. What it
// sounds like is what the same values set by hand sound like.
TEST_F(PluginPublished, EveryFactoryPresetSetsAllTwelveValuesAndSoundsLikeThem) {
    Settings elsewhere;
    for (AUParameterAddress a = 0; a < 12; ++a)
        elsewhere.emplace_back(a, 0.37f);
    Signal input(44100.0);
    input.tone(0.05, 0.02f, 0.4f).tone(0.05, 1.5f, 0.1f).silence(0.02).tone(0.1, 0.3f, -0.2f);

    const auto lister = instantiate();
    ASSERT_TRUE(lister);
    const auto listed = lister->factoryPresets();
    ASSERT_TRUE(listed && listed->size() == std::size(kFactoryPresets));
    for (std::size_t i = 0; i < listed->size(); ++i) {
        const auto& expected = kFactoryPresets[i];
        EXPECT_EQ((*listed)[i]->name, expected.name);
        EXPECT_EQ((*listed)[i]->number, std::int64_t(i));

        const auto unit = instantiate(elsewhere);
        ASSERT_TRUE(unit);
        const auto preset = (*unit->factoryPresets())[i];
        unit->setCurrentPreset(preset);
        EXPECT_EQ(unit->currentPreset(), preset) << expected.name;
        Settings byHand;
        for (AUParameterAddress a = 0; a < 12; ++a) {
            EXPECT_EQ(unit->parameterTree()->parameterWithAddress(a)->value(), expected.values[a])
                << expected.name << ", parameter " << a;
            byHand.emplace_back(a, expected.values[a]);
        }
        const Stereo heard = render(unit, input.rate, input.samples);
        const Stereo wanted = play(byHand, input);
        EXPECT_TRUE(heard.left == wanted.left && heard.right == wanted.right) << expected.name;
        unit->setCurrentPreset(nullptr); // no preset is current; the values stay
        EXPECT_EQ(unit->currentPreset(), nullptr);
        EXPECT_EQ(unit->parameterTree()->parameterWithAddress(0)->value(), expected.values[0]);
    }
}

} // namespace
} // namespace plugintest
