// Speed of the signal path: the compander alone, the kernel's event loop and the adapter's render
// method, on generated deterministic signals, at blocks of 64, 512 and 4096 frames.
//
// Every benchmark reports ns_per_frame (one stereo frame) and realtime_x (how many times faster
// than real time at 48 kHz), both from this thread's CPU time. The compander figures include
// copying each input block into the work buffers (it works in place); the kernel copies input
// to output itself.
//
// The benchmark with one parameter event per cycle prints the kernel's line for each event
// through the default log sink; standard output is sent to /dev/null for the whole run, so the
// figures include formatting and writing the line but no terminal.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Compander2.h"
#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "Orvex_Compander_Extension_DSPKernel.h"
#include "support/Buffers.h"
#include "support/Defaults.h"
#include "support/Signals.h"

namespace {

constexpr std::size_t kSignalFrames = 96000; // 2 s

enum Signal { music, sine, silence, hot, loudThenSilence };
const char* const kSignalNames[] = {"music", "sine", "silence", "+7dBFS", "loud-then-silence"};

const testsignals::Stereo& signal(Signal which) {
    static const testsignals::Stereo signals[] = {
        testsignals::musicLike(kSignalFrames), testsignals::sine(kSignalFrames),
        testsignals::silence(kSignalFrames), testsignals::hot(kSignalFrames),
        testsignals::loudThenSilence(kSignalFrames, 4800)};
    return signals[which];
}

// This thread's CPU time, as the library's CPU column: other processes on a busy machine do not
// count against the code under test.
struct Clock {
    static double now() noexcept {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
    }
};

// Plain numbers (no unit suffix): ns per stereo frame, and real-time factor at 48 kHz.
void reportFrames(benchmark::State& state, std::size_t block, double start) {
    const double elapsed = Clock::now() - start;
    const double frames = static_cast<double>(state.iterations()) * static_cast<double>(block);
    const double nsPerFrame = elapsed / frames;
    state.counters["ns_per_frame"] = nsPerFrame;
    state.counters["realtime_x"] = 1e9 / 48000.0 / nsPerFrame;
}

// Walks through a signal block by block, wrapping at its end.
struct Cursor {
    const testsignals::Stereo& source;
    std::size_t block;
    std::size_t at = 0;
    const float* left() const { return source.left.data() + at; }
    const float* right() const { return source.right.data() + at; }
    void advance() {
        at += block;
        if (at + block > source.size()) at = 0;
    }
};

std::unique_ptr<Orvex_Compander_Extension_DSPKernel> defaultKernel() {
    auto kernel = std::make_unique<Orvex_Compander_Extension_DSPKernel>();
    kernel->init(2, 48000.0);
    testsupport::pushDefaults(*kernel);
    kernel->setParameter(3, 0.8f); // some upward compression, so the factors move
    return kernel;
}

void BM_Compander2(benchmark::State& state) {
    const auto mode = static_cast<int>(state.range(0));
    const auto which = static_cast<Signal>(state.range(1));
    const auto block = static_cast<std::size_t>(state.range(2));
    state.SetLabel(std::string(kSignalNames[which]) + " mode " + std::to_string(mode));
    Compander2 compander;
    compander.setThreshold(0.8f);
    compander.setMultiplier(0.6f);
    compander.setAttack(0.01f);
    compander.setRelease(0.2f);
    compander.setMode(mode);
    std::vector<float> left(block), right(block);
    Cursor cursor{signal(which), block};
    const auto start = Clock::now();
    for (auto _ : state) {
        std::memcpy(left.data(), cursor.left(), block * sizeof(float));
        std::memcpy(right.data(), cursor.right(), block * sizeof(float));
        compander.processBuffers(left.data(), right.data(), static_cast<std::int64_t>(block));
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        cursor.advance();
    }
    reportFrames(state, block, start);
}

// Kernel variants: 0 no events, 1 one parameter event per cycle, 2 band-split branch.
void BM_KernelProcessWithEvents(benchmark::State& state) {
    const auto variant = state.range(0);
    const auto which = static_cast<Signal>(state.range(1));
    const auto block = static_cast<std::size_t>(state.range(2));
    static const char* const variants[] = {"no events", "one parameter event per cycle",
                                           "band-split branch"};
    state.SetLabel(std::string(kSignalNames[which]) + ", " + variants[variant]);
    auto kernel = defaultKernel();
    if (variant == 2) kernel->setParameter(9, 0.3f);
    testsupport::ChannelBuffers in(2, kSignalFrames), out(2, block);
    in.channels[0] = signal(which).left;
    in.channels[1] = signal(which).right;
    testsupport::EventList events;
    events.parameter(static_cast<pf::AUEventSampleTime>(block / 2), 2, 0.8f);
    const pf::AURenderEvent* head = variant == 1 ? events.link() : nullptr;
    pf::AudioBufferList inList = in.list;
    pf::AudioTimeStamp timestamp;
    Cursor cursor{signal(which), block};
    const auto start = Clock::now();
    for (auto _ : state) {
        inList.mBuffers[0].mData = in[0] + cursor.at;
        inList.mBuffers[1].mData = in[1] + cursor.at;
        kernel->setBuffers(&inList, &out.list);
        kernel->processWithEvents(&timestamp, static_cast<pf::AUAudioFrameCount>(block), head, {});
        benchmark::DoNotOptimize(out[0]);
        cursor.advance();
    }
    reportFrames(state, block, start);
}

void BM_AdapterRender(benchmark::State& state) {
    const auto which = static_cast<Signal>(state.range(1));
    const auto block = static_cast<std::size_t>(state.range(2));
    state.SetLabel(std::string(kSignalNames[which]) + ", pull block, in place");
    auto adapter = std::make_shared<Orvex_Compander_ExtensionDSPKernelAdapter>();
    testsupport::pushDefaults(*adapter);
    adapter->setParameter(3, 0.8f);
    adapter->setMaximumFramesToRender(4096);
    adapter->allocateRenderResources();
    Cursor cursor{signal(which), block};
    const pf::AURenderPullInputBlock pull =
        [&cursor](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                  pf::AUAudioFrameCount frames, pf::NSInteger, pf::AudioBufferList* list) {
            std::memcpy(list->mBuffers[0].mData, cursor.left(), frames * sizeof(float));
            std::memcpy(list->mBuffers[1].mData, cursor.right(), frames * sizeof(float));
            return pf::noErr;
        };
    pf::AudioTimeStamp timestamp;
    pf::AudioUnitRenderActionFlags flags = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        pf::AudioBufferList out = testsupport::nullBufferList(2);
        const auto status = adapter->render(
            &flags, &timestamp, static_cast<pf::AUAudioFrameCount>(block), 0, &out, nullptr, pull);
        benchmark::DoNotOptimize(status);
        cursor.advance();
    }
    reportFrames(state, block, start);
}

void registerAll() {
    const auto configure = [](benchmark::internal::Benchmark* b) {
        b->Repetitions(5)->ReportAggregatesOnly(true)->MinTime(0.2)->DisplayAggregatesOnly(true);
    };
    for (int mode : {0, 1, 3}) {
        for (int block : {64, 512, 4096}) {
            configure(benchmark::RegisterBenchmark("Compander2/processBuffers", BM_Compander2)
                          ->Args({mode, music, block}));
        }
    }
    for (Signal s : {sine, silence, hot, loudThenSilence}) {
        configure(benchmark::RegisterBenchmark("Compander2/processBuffers", BM_Compander2)
                      ->Args({0, s, 512}));
    }
    for (int block : {64, 512, 4096}) {
        configure(
            benchmark::RegisterBenchmark("Kernel/processWithEvents", BM_KernelProcessWithEvents)
                ->Args({0, music, block}));
    }
    for (Signal s : {silence, loudThenSilence}) {
        configure(
            benchmark::RegisterBenchmark("Kernel/processWithEvents", BM_KernelProcessWithEvents)
                ->Args({0, s, 512}));
    }
    for (int variant : {1, 2}) {
        for (int block : {64, 512, 4096}) {
            configure(
                benchmark::RegisterBenchmark("Kernel/processWithEvents", BM_KernelProcessWithEvents)
                    ->Args({variant, music, block}));
        }
    }
    for (int block : {64, 512, 4096}) {
        configure(benchmark::RegisterBenchmark("Adapter/render", BM_AdapterRender)
                      ->Args({0, music, block}));
    }
}

} // namespace

int main(int argc, char** argv) {
    // The kernel prints a line per parameter event; keep it off the terminal.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    std::fprintf(stderr, "dsp_bench: standard output goes to /dev/null (kernel log lines); "
                         "figures are printed on standard error\n");
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
