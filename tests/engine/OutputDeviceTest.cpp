// Output devices: the render-thread role and flushed subnormals around every device cycle, and
// the SDL device opened on SDL's dummy driver (no sound card needed) or refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineTestSupport.h"
#include "audio/ScopedFlushDenormals.h"
#include "core/NSError.h"

using namespace enginetest;

TEST(OutputDevice, EveryCycleRunsAsTheRenderThreadWithSubnormalsFlushedAndRestoresTheMode) {
    const auto before = pf::ScopedFlushDenormals::controlWord();
    bool renderRole = false;
    bool flushing = false;
    float tiny = 1e-39f;
    const pf::AudioOutputDevice::RenderCallback callback = [&](pf::AUAudioFrameCount,
                                                               float* const*) {
        renderRole = pf::isRenderThread();
        flushing = pf::ScopedFlushDenormals::isFlushing();
        volatile float scale = 0.5f;
        tiny = tiny * scale;
    };
    float* none[2] = {nullptr, nullptr};
    pf::renderDeviceCycle(callback, 0, none);
    EXPECT_TRUE(renderRole);
    EXPECT_TRUE(flushing);
    EXPECT_EQ(tiny, 0.0f) << "a subnormal result is flushed to zero";
    EXPECT_FALSE(pf::isRenderThread());
    EXPECT_EQ(pf::ScopedFlushDenormals::controlWord(), before);
}

TEST(OutputDevice, TheSDLDeviceStartsOnTheDummyDriverAndStopsByJoiningItsThread) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    pf::setAudioOutputOverride("sdl");
    {
        auto engine = pf::AVAudioEngine::make();
        auto player = pf::AVAudioPlayerNode::make();
        engine->attach(player);
        engine->connect(player, engine->mainMixerNode(), nullptr);
        engine->start();
        EXPECT_TRUE(engine->isRunning());
        engine->stop();
        EXPECT_FALSE(engine->isRunning());
        engine->start(); // a stopped engine opens its device again
        EXPECT_TRUE(engine->isRunning());
    } // destroyed while running

    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    auto engine = pf::AVAudioEngine::make();
    engine->mainMixerNode();
    try {
        engine->start();
        ADD_FAILURE() << "started without an audio driver";
    } catch (const pf::NSErrorException& e) {
        EXPECT_NE(e.error().localizedDescription().find("SDL"), std::string::npos)
            << e.error().localizedDescription();
    }
    EXPECT_FALSE(engine->isRunning());
    pf::setAudioOutputOverride(std::nullopt);
    ::unsetenv("SDL_AUDIODRIVER");
}

TEST(OutputDevice, RewiringFromAnotherThreadWhileRenderingLeavesAValidGraph) {
    ManualOutput manual;
    TempDir dir;
    const auto file = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 48000, 500.0, 4800));
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
    auto device = pf::ManualAudioDevice::current();
    std::vector<float> left(256), right(256);
    float* channels[2] = {left.data(), right.data()};
    std::size_t cycles = 0;
    while (!done.load()) {
        device->render(256, channels);
        ++cycles;
    }
    rewiring.join();
    EXPECT_GT(cycles, 0u);
    EXPECT_EQ(engine->inputConnectionPoint(*engine->mainMixerNode(), 0)->node, player);
    EXPECT_FALSE(gain->auAudioUnit()->renderResourcesAllocated());
    player->stop();
    engine->stop();
}
