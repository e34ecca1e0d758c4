// Once started, a render cycle through the engine allocates nothing: players converting rates,
// a unit, the mixer converting and summing, a file ending and the next starting mid-cycle.
// Every operator new of this binary is counted while the rendering thread is inside a cycle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "EngineTestSupport.h"

namespace {
thread_local bool tCounting = false;
std::atomic<std::size_t> gAllocations{0};
} // namespace

void* operator new(std::size_t size) {
    if (tCounting) gAllocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace enginetest;

TEST(EngineAllocation, RenderCyclesAfterStartAllocateNothing) {
    ManualOutput manual;
    TempDir dir;
    const auto slow = pf::AVAudioFile::forReading(writeTone(dir.file("a.m4a"), 44100, 700, 4410));
    const auto fast = pf::AVAudioFile::forReading(writeTone(dir.file("b.m4a"), 48000, 300, 3000));
    auto engine = pf::AVAudioEngine::make();
    auto first = pf::AVAudioPlayerNode::make();
    auto second = pf::AVAudioPlayerNode::make();
    auto gain = makeGainNode();
    for (const auto& node : std::vector<std::shared_ptr<pf::AVAudioNode>>{first, second, gain}) {
        engine->attach(node);
    }
    engine->connect(first, gain, nullptr); // the player converts 44.1 kHz to 48 kHz
    engine->connect(gain, engine->mainMixerNode(), nullptr);
    engine->connect(second, engine->mainMixerNode(),
                    pf::AVAudioFormat::standardFormatWithSampleRate(44100, 1));
    engine->start();
    for (int i = 0; i < 40; ++i) {
        first->scheduleFile(slow, std::nullopt, [] {});
        second->scheduleFile(fast, std::nullopt, [] {});
    }
    first->play();
    second->play();

    auto device = pf::ManualAudioDevice::current();
    std::vector<float> left(4096), right(4096);
    float* channels[2] = {left.data(), right.data()};
    device->render(512, channels); // warm-up: first use of every path
    double loudest = 0;
    tCounting = true;
    for (int cycle = 0; cycle < 300; ++cycle) {
        device->render(cycle % 7 == 0 ? 4096 : 480, channels);
        loudest = std::max(loudest, double(std::fabs(left[0])));
    }
    tCounting = false;
    EXPECT_EQ(gAllocations.load(), 0u);
    EXPECT_GT(loudest, 0.01) << "the cycles rendered sound";
    first->stop();
    second->stop();
    engine->stop();
}
