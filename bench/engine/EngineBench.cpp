// The engine's pull graph per stereo frame: player → gain unit → main mixer → output, rendered
// through the manual device in 512-frame cycles; the unit's own render alone, so that the
// difference is what the engine itself costs per frame; and the WAV output's file, written one
// device period at a time.
#include <benchmark/benchmark.h>

#include <vector>

#include "../../tests/engine/EngineTestSupport.h"
#include "audio/devices/WavFileWriter.h"

using namespace enginetest;

namespace {

constexpr pf::AUAudioFrameCount kCycle = 512;

struct Fixture {
    TempDir dir;
    std::shared_ptr<pf::AVAudioEngine> engine = pf::AVAudioEngine::make();
    std::shared_ptr<pf::AVAudioPlayerNode> player = pf::AVAudioPlayerNode::make();
    std::shared_ptr<pf::AVAudioUnit> gain = makeGainNode();
    std::shared_ptr<pf::AVAudioFile> file;

    explicit Fixture(int rate) {
        pf::setAudioOutputOverride("manual");
        file = pf::AVAudioFile::forReading(writeTone(dir.file("f.m4a"), rate, 440.0, 48000 * 2));
        engine->attach(player);
        engine->attach(gain);
        engine->connect(player, gain, file->processingFormat());
        engine->connect(gain, engine->mainMixerNode(), nullptr);
        engine->start();
        for (int i = 0; i < 1000; ++i)
            player->scheduleFile(file, std::nullopt, nullptr);
        player->play();
    }
    ~Fixture() {
        player->stop();
        engine->stop();
        pf::setAudioOutputOverride(std::nullopt);
    }
};

void runGraph(benchmark::State& state, int rate) {
    Fixture f(rate);
    auto device = pf::ManualAudioDevice::current();
    std::vector<float> left(kCycle), right(kCycle);
    float* channels[2] = {left.data(), right.data()};
    for (auto _ : state) {
        device->render(kCycle, channels);
        benchmark::DoNotOptimize(left.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kCycle);
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kCycle,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Player → unit → mixer → output, all at 48 kHz: no conversion anywhere.
void BM_EnginePullGraph(benchmark::State& state) {
    runGraph(state, 48000);
}
// The same with a 44.1 kHz file: the unit runs at 44.1 kHz and the mixer converts to 48 kHz.
void BM_EnginePullGraphConverting(benchmark::State& state) {
    runGraph(state, 44100);
}

// The unit's render block alone, its input already in place (the pull does nothing).
void BM_UnitRenderAlone(benchmark::State& state) {
    auto unit = std::make_shared<GainUnit>();
    unit->setMaximumFramesToRender(4096);
    unit->allocateRenderResources();
    const auto render = unit->renderBlock();
    std::vector<float> left(kCycle, 0.25f), right(kCycle, 0.25f);
    const pf::AURenderPullInputBlock pull(
        [](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*, pf::AUAudioFrameCount,
           pf::NSInteger, pf::AudioBufferList*) noexcept -> pf::AUAudioUnitStatus { return 0; });
    pf::AudioTimeStamp ts;
    for (auto _ : state) {
        pf::AudioBufferList list;
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, kCycle * 4, left.data()};
        list.mBuffers[1] = {1, kCycle * 4, right.data()};
        pf::AudioUnitRenderActionFlags flags = 0;
        benchmark::DoNotOptimize(render(&flags, &ts, kCycle, 0, &list, pull));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kCycle);
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kCycle,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    unit->deallocateRenderResources();
}

// One 512-frame period into the WAV file (interleaving, clamping, the write), started afresh
// every 8 MiB so that the file stays small.
void BM_WavFilePeriod(benchmark::State& state) {
    TempDir dir;
    const auto path = dir.file("out.wav");
    std::vector<float> left(kCycle, 0.25f), right(kCycle, -0.25f);
    const float* channels[2] = {left.data(), right.data()};
    auto writer = std::make_unique<pf::WavFileWriter>(path, false);
    std::int64_t periods = 0;
    for (auto _ : state) {
        writer->write(channels, kCycle);
        if (++periods % 2048 == 0) {
            state.PauseTiming();
            writer.reset();
            writer = std::make_unique<pf::WavFileWriter>(path, false);
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kCycle,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_EnginePullGraph);
BENCHMARK(BM_EnginePullGraphConverting);
BENCHMARK(BM_UnitRenderAlone);
BENCHMARK(BM_WavFilePeriod);
BENCHMARK_MAIN();
