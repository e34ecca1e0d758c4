// The unit's whole render block as a host drives it: pull input → adapter → kernel → final
// limiter, on a music-like stereo signal with peaks above full scale, at three block sizes.
// Reports nanoseconds per stereo frame and the real-time factor at 48 kHz.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "RenderHarness.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace {

// Two seconds of decaying chords with noise and transient bursts, peaking near +4 dBFS.
void musicLike(std::vector<float>& left, std::vector<float>& right) {
    constexpr std::size_t frames = 96000;
    left.resize(frames);
    right.resize(frames);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    const double tones[] = {110.0, 164.8, 220.0, 277.2, 329.6};
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        const double beat = std::fmod(t, 0.5);
        const double envelope = std::exp(-6.0 * beat);
        double l = 0.0, r = 0.0;
        for (std::size_t k = 0; k < 5; ++k) {
            const double phase = 2.0 * std::numbers::pi * tones[k] * t;
            l += std::sin(phase) / (k + 1.0);
            r += std::sin(phase + 0.4 * static_cast<double>(k)) / (k + 1.0);
        }
        left[i] = static_cast<float>(0.7 * envelope * l) + noise(random);
        right[i] = static_cast<float>(0.7 * envelope * r) + noise(random);
    }
}

void renderBlock(benchmark::State& state, bool finalLimiter) {
    const auto frames = static_cast<pf::AUAudioFrameCount>(state.range(0));
    const pf::ConsoleCapture quiet; // the unit's and the kernel's lines
    auto unit = Orvex_Compander_Extension_AudioUnit::create(
        Orvex_Compander_Extension_AudioUnit::kComponentDescription);
    unittest::RenderHarness host(unit, {.sampleRate = 48000.0, .maximumFrames = 4096});
    std::vector<float> left, right;
    musicLike(left, right);
    host.setInput(std::move(left), std::move(right));
    host.allocate();
    unit->setParameter(kCompanderFinalLimiter, finalLimiter ? 1.0f : 0.0f);
    unit->setParameter(kCompanderRatio, 0.8f);
    pf::drainMainQueue();

    for (auto _ : state) {
        const auto status = host.renderCycle(frames);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(host.left()[frames - 1]);
    }
    const double rendered = static_cast<double>(state.iterations()) * frames;
    state.counters["ns_per_stereo_frame"] = benchmark::Counter(
        rendered * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] =
        benchmark::Counter(rendered / 48000.0, benchmark::Counter::kIsRate);
    pf::drainMainQueue();
}

void UnitRenderBlock(benchmark::State& state) {
    renderBlock(state, true);
}
void UnitRenderBlockWithoutFinalLimiter(benchmark::State& state) {
    renderBlock(state, false);
}

} // namespace

BENCHMARK(UnitRenderBlock)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(UnitRenderBlockWithoutFinalLimiter)->Arg(512);

BENCHMARK_MAIN();
