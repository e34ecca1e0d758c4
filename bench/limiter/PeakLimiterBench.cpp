// Speed of the peak limiter on hot music (peaks 12 dB over the ceiling, the limiter working most of
// the time), in nanoseconds per stereo frame, at the block sizes hosts use; with the settings the
// system always sends and with the defaults. The counter `per_stereo_frame` is the figure.
#include <benchmark/benchmark.h>

#include "LimiterSignals.h"

namespace {

constexpr double kRate = 48000.0;

const limiter_test::Stereo& music() {
    static const limiter_test::Stereo signal = limiter_test::hotMusic(kRate, 10 * 48000);
    return signal;
}

void limitHotMusic(benchmark::State& state, limiter_test::Settings settings) {
    const auto block = static_cast<std::uint32_t>(state.range(0));
    const limiter_test::Stereo& input = music();
    auto limiter = limiter_test::preparedLimiter(kRate, settings, block);
    limiter_test::Stereo output(block);
    float* out[2] = {output.left.data(), output.right.data()};
    std::size_t begin = 0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        if (begin + block > input.frames()) begin = 0;
        const float* in[2] = {input.left.data() + begin, input.right.data() + begin};
        limiter->process(in, out, 2, block);
        benchmark::DoNotOptimize(out[0][block - 1]);
        benchmark::ClobberMemory();
        begin += block;
        frames += block;
    }
    state.SetItemsProcessed(frames);
    // Seconds per stereo frame, shown with an SI prefix ("3.7n" = 3.7 ns).
    state.counters["per_stereo_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PeakLimiter_HotMusic_SystemSettings(benchmark::State& state) {
    limitHotMusic(state, limiter_test::kSystemSettings);
}
void BM_PeakLimiter_HotMusic_Defaults(benchmark::State& state) {
    limitHotMusic(state, {});
}

} // namespace

BENCHMARK(BM_PeakLimiter_HotMusic_SystemSettings)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_PeakLimiter_HotMusic_Defaults)->Arg(64)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
