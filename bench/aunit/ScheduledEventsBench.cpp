// Cost of a unit's scheduled-event queue per render cycle of 512 frames, as a host meets it:
// `arrivals` events pushed before the cycle, all due in it; the render side then takes the
// cycle's events and ends the cycle. With `full`, 1,024 events wait for much later cycles and one
// more of them arrives in every cycle, to be refused: the due events still pass. Figures:
// nanoseconds per cycle, and events pushed per second.
#include <benchmark/benchmark.h>

#include "audio/AUScheduledEvents.h"

namespace {

constexpr pf::AUAudioFrameCount kFrames = 512;
constexpr pf::AUEventSampleTime kLater = pf::AUEventSampleTime{1} << 40;

pf::AURenderEvent parameterAt(pf::AUEventSampleTime time) {
    pf::AURenderEvent event;
    event.parameter.eventSampleTime = time;
    event.parameter.parameterAddress = 4;
    event.parameter.value = 0.5f;
    return event;
}

void BM_ScheduledEvents_Cycle(benchmark::State& state) {
    const auto arrivals = static_cast<std::size_t>(state.range(0));
    const bool fullWaitingList = state.range(1) != 0;
    pf::AUScheduledEventQueue queue;
    queue.open();
    pf::AUEventSampleTime start = 0;
    if (fullWaitingList) {
        for (std::size_t i = 0; i < pf::AUScheduledEventQueue::kWaitingCapacity; ++i)
            queue.push(parameterAt(kLater));
        queue.beginCycle(start, kFrames);
        queue.endCycle();
        start += kFrames;
    }
    std::size_t delivered = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < arrivals; ++i) {
            const auto offset = static_cast<pf::AUEventSampleTime>(i % kFrames);
            queue.push(parameterAt(pf::AUEventSampleTimeImmediate + offset));
        }
        if (fullWaitingList) queue.push(parameterAt(kLater));
        for (const pf::AURenderEvent* e = queue.beginCycle(start, kFrames); e != nullptr;
             e = e->head.next)
            ++delivered;
        queue.endCycle();
        start += kFrames;
    }
    benchmark::DoNotOptimize(delivered);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * arrivals));
    state.counters["ns_per_cycle"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScheduledEvents_Cycle)
    ->ArgNames({"arrivals", "full"})
    ->ArgsProduct({{0, 2, 64, 1024}, {0, 1}});

} // namespace

BENCHMARK_MAIN();
