// Speed of the built-in peak-limiter unit's render block as a host calls it (block 512, stereo,
// hot music, the settings the system always sends), in nanoseconds per stereo frame: the limiter's
// own work plus the unit's pull, in-place hand-over, checks and denormal guard.
#include <benchmark/benchmark.h>

#include "LimiterSignals.h"
#include "audio/AVAudioNode.h"

namespace {

constexpr double kRate = 48000.0;

void renderHotMusic(benchmark::State& state, bool inPlace) {
    const auto block = static_cast<pf::AUAudioFrameCount>(state.range(0));
    static const limiter_test::Stereo music = limiter_test::hotMusic(kRate, 10 * 48000);
    limiter_test::Stereo buffer = music;

    const auto effect = pf::AVAudioUnitEffect::make(
        {pf::fourCharCode("aufx"), pf::fourCharCode("lmtr"), pf::fourCharCode("appl"), 0, 0});
    const auto unit = effect->auAudioUnit();
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(kRate, 2);
    (*unit->inputBusses())[0]->setFormat(format);
    (*unit->outputBusses())[0]->setFormat(format);
    unit->setMaximumFramesToRender(block);
    for (const auto& [id, value] : {std::pair{0u, 0.03f}, {1u, 0.06f}, {2u, -0.01f}}) {
        pf::AudioUnitSetParameter(effect->audioUnit(), id, pf::kAudioUnitScope_Global, 0, value, 0);
    }
    unit->allocateRenderResources();
    const auto render = unit->renderBlock();

    pf::AudioBufferList out;
    const pf::AURenderPullInputBlock pull(
        [&out, inPlace](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                        pf::AUAudioFrameCount frames, pf::NSInteger,
                        pf::AudioBufferList* in) -> pf::AUAudioUnitStatus {
            for (std::uint32_t c = 0; c < 2; ++c) {
                if (inPlace) {
                    in->mBuffers[c] = out.mBuffers[c];
                } else {
                    const auto* source = static_cast<const float*>(out.mBuffers[c].mData);
                    std::copy(source, source + frames, static_cast<float*>(in->mBuffers[c].mData));
                }
            }
            return pf::noErr;
        });

    std::size_t begin = 0;
    std::int64_t frames = 0;
    pf::AudioTimeStamp time;
    time.mFlags = pf::kAudioTimeStampSampleTimeValid;
    for (auto _ : state) {
        if (begin + block > buffer.frames()) {
            state.PauseTiming();
            buffer = music;
            begin = 0;
            state.ResumeTiming();
        }
        out.mNumberBuffers = 2;
        out.mBuffers[0] = {1, block * 4u, buffer.left.data() + begin};
        out.mBuffers[1] = {1, block * 4u, buffer.right.data() + begin};
        time.mSampleTime = static_cast<double>(frames);
        pf::AudioUnitRenderActionFlags flags = 0;
        benchmark::DoNotOptimize(render(&flags, &time, block, 0, &out, pull));
        benchmark::ClobberMemory();
        begin += block;
        frames += block;
    }
    state.SetItemsProcessed(frames);
    state.counters["ns_per_stereo_frame"] =
        benchmark::Counter(static_cast<double>(frames) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PeakLimiterUnit_RenderBlock_InPlace(benchmark::State& state) {
    renderHotMusic(state, true);
}
void BM_PeakLimiterUnit_RenderBlock_Pulled(benchmark::State& state) {
    renderHotMusic(state, false);
}

} // namespace

BENCHMARK(BM_PeakLimiterUnit_RenderBlock_InPlace)->Arg(512)->Arg(64);
BENCHMARK(BM_PeakLimiterUnit_RenderBlock_Pulled)->Arg(512);

BENCHMARK_MAIN();
