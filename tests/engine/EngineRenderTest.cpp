// The engine's pull graph rendered through the manual device: exact gain and mixing at equal
// rates, a tone kept across rate conversion with no allocation while rendering, chunking, the
// order in which units are prepared, try-locking, what an engine leaves behind when it goes, and
// the WAV output device: its file per run, its errors and the samples it writes (how a failed
// output ends the application: tests/app/ApplicationMainTest.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>

#include "AllocationCounter.h"
#include "EngineTestSupport.h"
#include "audio/devices/PacedAudioDevice.h"

using namespace enginetest;

namespace {

// A player through the gain unit into the main mixer.
struct Graph {
    std::shared_ptr<pf::AVAudioEngine> engine = pf::AVAudioEngine::make();
    std::shared_ptr<pf::AVAudioPlayerNode> player = pf::AVAudioPlayerNode::make();
    std::shared_ptr<GainUnit> unit;
    std::shared_ptr<pf::AVAudioUnit> gain = makeGainNode(&unit);

    explicit Graph(std::shared_ptr<const pf::AVAudioFormat> format = nullptr) {
        engine->attach(player);
        engine->attach(gain);
        engine->connect(player, gain, std::move(format));
        engine->connect(gain, engine->mainMixerNode(), nullptr);
    }
    ~Graph() {
        player->stop();
        if (engine) engine->stop();
    }
    void play(const std::shared_ptr<pf::AVAudioFile>& file) {
        player->scheduleFile(file, std::nullopt, nullptr);
        player->play();
    }
};

} // namespace

TEST(EngineRender, TheMixerSumsTheUnitsExactHalfAndADirectPlayerAtEqualRates) {
    ManualOutput manual;
    TempDir dir;
    const auto file = toneFile(dir, "a.m4a", 48000, 997.0, 14400);
    Graph g(file->processingFormat());
    auto direct = pf::AVAudioPlayerNode::make();
    g.engine->attach(direct);
    g.engine->connect(direct, g.engine->mainMixerNode(), nullptr);
    g.engine->start();
    g.play(file);
    direct->scheduleFile(file, std::nullopt, nullptr);
    direct->play();

    const auto out = renderFrames(14400 + 1024);
    const auto& in = file->samples()->samples;
    for (int c = 0; c < 2; ++c) {
        for (std::size_t i = 0; i < 14400; ++i)
            ASSERT_EQ(out[c][i], 0.5f * in[c][i] + in[c][i]) << "channel " << c << " frame " << i;
        EXPECT_EQ(peak(out[c], 14400, out[c].size()), 0.0) << "silence after the file";
    }
    direct->stop();
}

TEST(EngineRender, ToneKeepsItsFrequencyLevelAndUnitTimeFrom44100To48000WithoutAllocating) {
    ManualOutput manual;
    TempDir dir;
    const auto file = toneFile(dir, "t.m4a", 44100, 1000.0, 44100);
    // The unit's output follows its input to 44.1 kHz and the mixer converts.
    Graph g(file->processingFormat());
    EXPECT_EQ(g.gain->outputFormat(0)->sampleRate(), 44100.0);
    g.engine->start();
    g.play(file);
    g.player->scheduleFile(file, std::nullopt, [] {}); // starts mid-cycle when the first ends
    auto device = pf::ManualAudioDevice::current();
    std::vector<std::vector<float>> out(2, std::vector<float>(52000 + 4096));
    float* channels[2] = {out[0].data(), out[1].data()};
    device->render(512, channels); // warm-up: first use of every path
    long allocations = 0;
    {
        testsupport::AllocationCount count;
        for (std::size_t done = 512, cycle = 0; done < 52000; ++cycle) {
            const pf::AUAudioFrameCount frames = cycle % 7 == 0 ? 4096 : 480;
            channels[0] = out[0].data() + done;
            channels[1] = out[1].data() + done;
            device->render(frames, channels);
            done += frames;
        }
        allocations = count.count();
    }
    EXPECT_EQ(allocations, 0) << "the render cycles allocated";

    const auto& in = file->samples()->samples;
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(zeroCrossingFrequency(out[c], 4800, 43200, 48000.0), 1000.0, 0.5);
        EXPECT_NEAR(peak(out[c], 4800, 43200), 0.5 * peak(in[c], 4410, 39690), 0.005);
    }
    // The mixer pulls the unit in chunks of its own; the unit's time still runs without gaps.
    EXPECT_EQ(g.unit->log()->timeGaps.load(), 0);
}

// The engine stops, or goes while running: either way it releases its units; going, it also
// stops its device (held elsewhere too).
TEST(EngineRender, UnitsArePreparedInOrderRenderedInChunksReallocatedOnAFormatChangeAndReleased) {
    for (const bool goes : {false, true}) {
        SCOPED_TRACE(goes ? "the engine goes" : "the engine stops");
        ManualOutput manual;
        Graph g;
        g.unit->setMIDIOutputEventBlock([](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                           const std::uint8_t*) { return 0; });
        EXPECT_EQ(g.unit->log()->snapshot(), std::vector<std::string>{"midiOutputEventBlock"})
            << "connecting alone allocates nothing";
        g.engine->start();
        EXPECT_EQ(pf::ManualAudioDevice::current()->render(10000)[0].size(), 10000u);
        EXPECT_EQ(g.unit->log()->largestCycle.load(), 4096u);
        EXPECT_EQ(g.unit->log()->cycles.load(), 3);

        g.engine->connect(g.player, g.gain,
                          pf::AVAudioFormat::standardFormatWithSampleRate(44100, 2));
        EXPECT_TRUE(g.gain->auAudioUnit()->renderResourcesAllocated());
        if (goes) {
            const auto device = pf::ManualAudioDevice::current();
            g.engine.reset();
            ASSERT_FALSE(device->isRunning());
            EXPECT_EQ(peak(device->render(256)[0], 0, 256), 0.0);
        } else {
            g.engine->stop();
        }
        EXPECT_FALSE(g.gain->auAudioUnit()->renderResourcesAllocated());
        EXPECT_EQ(g.unit->log()->snapshot(),
                  (std::vector<std::string>{
                      "midiOutputEventBlock", "maximumFramesToRender 4096", "allocate 48000/48000",
                      "renderBlock with midi", "deallocate", "maximumFramesToRender 4096",
                      "allocate 44100/44100", "renderBlock with midi", "deallocate"}));
    }
}

TEST(EngineRender, ACycleThatFindsTheGraphLockedRendersSilenceAndCountsADropout) {
    ManualOutput manual;
    TempDir dir;
    const auto file = toneFile(dir, "a.m4a", 48000, 500.0, 9600);
    Graph g;
    g.engine->detach(g.gain); // attached but not connected, so not yet allocated
    g.engine->attach(g.gain);
    g.engine->connect(g.player, g.engine->mainMixerNode(), file->processingFormat());
    g.engine->start();
    g.play(file);
    EXPECT_GT(peak(renderFrames(512)[0], 0, 512), 0.1);

    // Rewiring on another thread holds the engine while the unit allocates.
    g.unit->log()->blockAllocation.store(true);
    std::thread rewire([&] { g.engine->connect(g.player, g.gain, nullptr); });
    while (!g.unit->log()->allocationWaiting.load())
        std::this_thread::yield();
    const auto busy = pf::ManualAudioDevice::current()->render(512);
    g.unit->log()->blockAllocation.store(false);
    rewire.join();

    EXPECT_EQ(peak(busy[0], 0, 512), 0.0);
    EXPECT_EQ(g.engine->renderDropouts(), 1u);
}

// The header and the size of a WAV file: {data bytes in the header, bytes after the header}.
static std::pair<std::uint32_t, long> wavSizes(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return {0, -1};
    unsigned char h[44] = {};
    const bool whole = std::fread(h, 1, 44, f) == 44;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    const bool valid = whole && std::string(reinterpret_cast<char*>(h), 4) == "RIFF" &&
                       h[20] == 3 && h[22] == 2; // IEEE float, stereo
    return {valid ? std::uint32_t(h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24) : 0u, size - 44};
}

TEST(EngineRender, TheWavDeviceKeepsOneCompleteFilePerRunAppendingOnEveryStart) {
    TempDir dir;
    const auto wav = dir.file("out.wav");
    pf::setAudioOutputOverride("wav:" + wav);
    std::uint32_t first = 0;
    {
        Graph g;
        g.engine->connect(g.player, g.engine->mainMixerNode(), nullptr);
        ::testing::internal::CaptureStderr();
        g.engine->start();
        g.engine->stop();
        const auto closing = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(closing.find("'" + wav + "' closed: "), std::string::npos) << closing;
        EXPECT_NE(closing.find("0 samples clamped to full scale, 0 not finite"), std::string::npos)
            << closing;
        const auto [data, size] = wavSizes(wav);
        first = data;
        EXPECT_GT(data, 0u) << "the header is written on stop";
        EXPECT_EQ(long(data), size);
        EXPECT_EQ(data % (512 * 8), 0u);
        g.engine->start(); // appends
        // The engine goes with its device running: destruction stops and joins it.
    }
    pf::setAudioOutputOverride(std::nullopt);
    const auto [data, size] = wavSizes(wav);
    EXPECT_GT(data, first) << "a second start appends instead of truncating";
    EXPECT_EQ(long(data), size);
}

// A device such as /dev/full is no file to write: the output refuses it when the engine starts,
// saying which path and why.
TEST(EngineRender, AWavWriteErrorIsReportedWithThePathAndTheReason) {
    pf::setAudioOutputOverride("wav:/dev/full");
    ::testing::internal::CaptureStderr();
    {
        Graph g;
        EXPECT_THROW(g.engine->start(), pf::NSErrorException);
        g.engine->stop();
    }
    const auto errors = ::testing::internal::GetCapturedStderr();
    pf::setAudioOutputOverride(std::nullopt);
    EXPECT_NE(errors.find("the audio output could not be opened: Could not create the WAV file "
                          "'/dev/full': not a regular file"),
              std::string::npos)
        << errors;
}

TEST(EngineRender, TheWavFileHoldsWhatADeviceCouldPlayAndCountsWhatItHadToChange) {
    const float left[] = {0.5f, 1.0001f, -1.5f, std::nanf(""), -0.25f};
    const float right[] = {-1.0f, 2.0f, INFINITY, 0.75f, -INFINITY};
    const float* channels[] = {left, right};
    float out[10] = {};
    pf::OutputFileSampleCounts counts;
    pf::interleaveForOutputFile(channels, 2, 5, out, counts);
    const float expected[] = {0.5f, -1.0f, 1.0f, 1.0f, -1.0f, 0.0f, 0.0f, 0.75f, -0.25f, 0.0f};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], expected[i]) << i;
    EXPECT_EQ(counts.clamped, 3u);
    EXPECT_EQ(counts.nonFinite, 3u);
}
