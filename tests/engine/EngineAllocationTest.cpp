// Once started, a render cycle through the engine allocates nothing: a player mixing down, a
// unit, the mixer converting rates, a file ending and the next starting mid-cycle.
// The allocation counter counts every operator new of the rendering thread inside the cycles.
#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "EngineTestSupport.h"

using namespace enginetest;

TEST(EngineAllocation, RenderCyclesAfterStartAllocateNothing) {
    ManualOutput manual;
    TempDir dir;
    const auto slow = toneFile(dir, "a.m4a", 44100, 700, 4410);
    auto engine = pf::AVAudioEngine::make();
    auto first = pf::AVAudioPlayerNode::make();
    auto gain = makeGainNode();
    engine->attach(first);
    engine->attach(gain);
    // The player mixes the file down to mono; the mixer takes the unit's 44.1 kHz to 48 kHz.
    engine->connect(first, gain, pf::AVAudioFormat::standardFormatWithSampleRate(44100, 1));
    engine->connect(gain, engine->mainMixerNode(), nullptr);
    engine->start();
    for (int i = 0; i < 40; ++i)
        first->scheduleFile(slow, std::nullopt, [] {});
    first->play();

    auto device = pf::ManualAudioDevice::current();
    std::vector<float> left(4096), right(4096);
    float* channels[2] = {left.data(), right.data()};
    device->render(512, channels); // warm-up: first use of every path
    double loudest = 0;
    long allocations = 0;
    {
        testsupport::AllocationCount count;
        for (int cycle = 0; cycle < 300; ++cycle) {
            device->render(cycle % 7 == 0 ? 4096 : 480, channels);
            loudest = std::max(loudest, double(std::fabs(left[0])));
        }
        allocations = count.count();
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(loudest, 0.01) << "the cycles rendered sound";
    first->stop();
    engine->stop();
}
