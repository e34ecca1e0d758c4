// Output devices: the render-thread role and flushed subnormals around every device cycle, the SDL
// device on SDL's dummy driver (no sound card needed) or refused, and rewiring while rendering.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineTestSupport.h"
#include "audio/ScopedFlushDenormals.h"
#include "core/NSError.h"

using namespace enginetest;

TEST(OutputDevice, EveryCycleRunsAsTheRenderThreadWithSubnormalsFlushedAndRestoresTheMode) {
    const auto before = pf::ScopedFlushDenormals::controlWord();
    bool renderRole = false;
    float tiny = 1e-39f;
    const pf::AudioOutputDevice::RenderCallback callback = [&](pf::AUAudioFrameCount,
                                                               float* const*) {
        renderRole = pf::isRenderThread();
        volatile float scale = 0.5f;
        tiny = tiny * scale;
    };
    float* none[2] = {nullptr, nullptr};
    pf::renderDeviceCycle(callback, 0, none);
    EXPECT_TRUE(renderRole);
    EXPECT_EQ(tiny, 0.0f) << "a subnormal result is flushed to zero";
    EXPECT_FALSE(pf::isRenderThread());
    EXPECT_EQ(pf::ScopedFlushDenormals::controlWord(), before);
}

TEST(OutputDevice, TheSDLDeviceRunsOnTheDummyDriverAndAMissingDriverFailsTheStart) {
    pf::setAudioOutputOverride("sdl");
    for (const char* driver : {"dummy", "no-such-driver"}) {
        ::setenv("SDL_AUDIODRIVER", driver, 1);
        auto engine = pf::AVAudioEngine::make();
        engine->mainMixerNode();
        const bool works = std::string(driver) == "dummy";
        try {
            engine->start();
            EXPECT_TRUE(works) << "started without an audio driver";
            engine->stop();
            engine->start(); // a stopped engine opens its device again
        } catch (const pf::NSErrorException& e) {
            EXPECT_FALSE(works) << e.error().localizedDescription();
            EXPECT_NE(e.error().localizedDescription().find("SDL"), std::string::npos);
        }
        EXPECT_EQ(engine->isRunning(), works);
    } // the working engine goes while running
    pf::setAudioOutputOverride(std::nullopt);
    ::unsetenv("SDL_AUDIODRIVER");
}

TEST(OutputDevice, RewiringFromAnotherThreadWhileRenderingLeavesAValidGraph) {
    ManualOutput manual;
    TempDir dir;
    const auto file = toneFile(dir, "a.m4a", 48000, 500.0, 4800);
    auto engine = pf::AVAudioEngine::make();
    auto player = pf::AVAudioPlayerNode::make();
    auto gain = makeGainNode();
    engine->attach(player);
    engine->connect(player, engine->mainMixerNode(), nullptr);
    engine->start();
    for (int i = 0; i < 50; ++i)
        player->scheduleFile(file, std::nullopt, [] {});
    player->play();
    std::atomic<bool> done{false};
    std::thread rewiring([&] {
        for (int i = 0; i < 200; ++i) {
            engine->attach(gain);
            engine->connect(player, gain,
                            i % 2 ? file->processingFormat()
                                  : pf::AVAudioFormat::standardFormatWithSampleRate(44100, 2));
            engine->connect(gain, engine->mainMixerNode(), nullptr);
            engine->disconnectNodeInput(engine->mainMixerNode());
            engine->detach(gain);
            engine->connect(player, engine->mainMixerNode(), nullptr);
        }
        done.store(true);
    });
    while (!done.load())
        renderFrames(256, 256);
    rewiring.join();
    EXPECT_EQ(engine->inputConnectionPoint(*engine->mainMixerNode(), 0)->node, player);
    EXPECT_FALSE(gain->auAudioUnit()->renderResourcesAllocated());
    player->stop();
    engine->stop();
}
