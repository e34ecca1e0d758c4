// Connection rules of the engine and the formats they give each bus, without rendering.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "core/Check.h"

using namespace enginetest;

namespace {

std::shared_ptr<const pf::AVAudioFormat> format(double rate, pf::AVAudioChannelCount channels) {
    return pf::AVAudioFormat::standardFormatWithSampleRate(rate, channels);
}

bool isFormat(const std::shared_ptr<const pf::AVAudioFormat>& f, double rate,
              pf::AVAudioChannelCount channels) {
    return f && f->isEqual(*format(rate, channels));
}

} // namespace

TEST(EngineGraph, EachConnectionToTheMainMixerTakesItsNextFreeBus) {
    auto engine = pf::AVAudioEngine::make();
    const auto mixer = engine->mainMixerNode();
    EXPECT_EQ(engine->mainMixerNode(), mixer);
    EXPECT_EQ(engine->inputConnectionPoint(*engine->outputNode(), 0)->node, mixer);
    EXPECT_TRUE(isFormat(mixer->outputFormat(0), 48000, 2));
    auto a = pf::AVAudioPlayerNode::make();
    auto b = pf::AVAudioPlayerNode::make();
    auto c = pf::AVAudioPlayerNode::make();
    for (const auto& p : {a, b, c})
        engine->attach(p);
    engine->connect(a, mixer, nullptr);
    engine->connect(b, mixer, format(44100, 1));
    EXPECT_EQ(engine->inputConnectionPoint(*mixer, 0)->node, a);
    EXPECT_EQ(engine->inputConnectionPoint(*mixer, 1)->node, b);
    EXPECT_TRUE(isFormat(mixer->inputFormat(1), 44100, 1));

    // Connecting a connected source replaces its connection: it frees bus 0 and takes the
    // lowest free bus again, so it never feeds the mixer twice.
    engine->connect(a, mixer, nullptr);
    EXPECT_EQ(engine->inputConnectionPoint(*mixer, 0)->node, a);
    EXPECT_EQ(engine->outputConnectionPoints(*a, 0).size(), 1u);
    engine->connect(c, mixer, nullptr);
    EXPECT_EQ(engine->inputConnectionPoint(*mixer, 2)->node, c);

    engine->disconnectNodeInput(mixer);
    for (pf::NSUInteger bus = 0; bus < 3; ++bus)
        EXPECT_FALSE(engine->inputConnectionPoint(*mixer, bus));
    EXPECT_EQ(mixer->nextAvailableInputBus(), 0u);
}

TEST(EngineGraph, AFormatSetsBothEndsAndNoFormatTakesTheSourcesCurrentOne) {
    auto engine = pf::AVAudioEngine::make();
    auto player = pf::AVAudioPlayerNode::make();
    auto gain = makeGainNode();
    engine->attach(player);
    engine->attach(gain);
    engine->connect(player, engine->mainMixerNode(), format(44100, 1));
    EXPECT_TRUE(isFormat(player->outputFormat(0), 44100, 1));

    // Without a format the player keeps its 44.1 kHz mono; the unit's input takes it and its
    // output follows the rate (the unit does not convert), keeping its two channels.
    engine->connect(player, gain, nullptr);
    EXPECT_TRUE(isFormat(gain->inputFormat(0), 44100, 1));
    EXPECT_TRUE(isFormat(gain->outputFormat(0), 44100, 2));
    EXPECT_FALSE(engine->inputConnectionPoint(*engine->mainMixerNode(), 0))
        << "the player's connection moved to the unit";
    engine->connect(gain, engine->mainMixerNode(), nullptr);
    EXPECT_TRUE(isFormat(engine->mainMixerNode()->inputFormat(0), 44100, 2));

    // A new source on the unit's input replaces the old one.
    auto other = pf::AVAudioPlayerNode::make();
    engine->attach(other);
    engine->connect(other, gain, format(48000, 2));
    EXPECT_EQ(engine->inputConnectionPoint(*gain, 0)->node, other);
    EXPECT_TRUE(engine->outputConnectionPoints(*player, 0).empty());
    EXPECT_TRUE(isFormat(gain->outputFormat(0), 48000, 2));
}

TEST(EngineGraph, DetachingANodeBreaksItsConnectionsAndReleasesItsUnit) {
    ManualOutput manual;
    auto engine = pf::AVAudioEngine::make();
    auto player = pf::AVAudioPlayerNode::make();
    auto gain = makeGainNode();
    engine->attach(player);
    engine->attach(gain);
    engine->connect(player, gain, nullptr);
    engine->connect(gain, engine->mainMixerNode(), nullptr);
    engine->start();
    EXPECT_TRUE(gain->auAudioUnit()->renderResourcesAllocated());

    engine->detach(gain);
    EXPECT_FALSE(engine->isAttached(*gain));
    EXPECT_FALSE(gain->auAudioUnit()->renderResourcesAllocated());
    EXPECT_TRUE(engine->outputConnectionPoints(*player, 0).empty());
    EXPECT_FALSE(engine->inputConnectionPoint(*engine->mainMixerNode(), 0));
    engine->stop();
}

TEST(EngineGraph, ConnectingANodeThatIsNotAttachedIsReportedAndChangesNothing) {
    static int reports = 0;
    const auto previous = pf::setCheckFailureHandler([](std::string_view) { ++reports; });
    auto engine = pf::AVAudioEngine::make();
    auto player = pf::AVAudioPlayerNode::make();
    engine->connect(player, engine->mainMixerNode(), nullptr);
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(engine->outputConnectionPoints(*player, 0).empty());

    auto elsewhere = pf::AVAudioEngine::make();
    elsewhere->attach(player);
    engine->attach(player);
    EXPECT_EQ(reports, 2);
    EXPECT_FALSE(engine->isAttached(*player));
    pf::setCheckFailureHandler(previous);
}
