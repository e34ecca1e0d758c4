// Speed of the peak limiter on hot music, in nanoseconds per stereo frame, at the block sizes a
// host uses, with the settings the system always sends and with the defaults.
#include <benchmark/benchmark.h>

#include "LimiterSignals.h"

namespace {

constexpr double kRate = 48000.0;

void limitHotMusic(benchmark::State& state, bool systemSettings) {
    const auto block = static_cast<std::uint32_t>(state.range(0));
    static const limiter_test::Stereo music = limiter_test::hotMusic(kRate, 10 * 48000);
    limiter_test::Stereo buffer = music;
    pf::PeakLimiterDSP limiter;
    limiter.prepare(kRate, block);
    if (systemSettings) {
        limiter.setAttackTime(0.03f);
        limiter.setDecayTime(0.06f);
        limiter.setPreGain(-0.01f);
    }
    std::size_t begin = 0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        if (begin + block > buffer.frames()) {
            state.PauseTiming();
            buffer = music;
            begin = 0;
            state.ResumeTiming();
        }
        float* io[2] = {buffer.left.data() + begin, buffer.right.data() + begin};
        limiter.process(io, io, 2, block);
        benchmark::DoNotOptimize(io[0][0]);
        benchmark::ClobberMemory();
        begin += block;
        frames += block;
    }
    state.SetItemsProcessed(frames);
    state.counters["ns_per_stereo_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns_per_stereo_frame"] =
        benchmark::Counter(static_cast<double>(frames) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PeakLimiter_HotMusic_SystemSettings(benchmark::State& state) {
    limitHotMusic(state, true);
}
void BM_PeakLimiter_HotMusic_Defaults(benchmark::State& state) {
    limitHotMusic(state, false);
}

} // namespace

BENCHMARK(BM_PeakLimiter_HotMusic_SystemSettings)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_PeakLimiter_HotMusic_Defaults)->Arg(64)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
