// A plain driver for instruction counting (callgrind) and for checking that a change to the
// compander leaves its output bit for bit as it was.
//
//   dsp_count compander MODE SIGNAL BLOCK FRAMES   runs Compander2::processBuffers
//   dsp_count kernel 0 SIGNAL BLOCK FRAMES         runs the kernel's processWithEvents, no events
//   dsp_count digest                               prints a digest of the compander's output and
//                                                  state over every mode, inversion, mix and signal
//
// SIGNAL: 0 music-like, 1 sine, 2 silence, 3 +7 dBFS, 4 loud then silence. Under callgrind, run
// once with FRAMES and once with twice as many; the difference divided by FRAMES is the count per
// stereo frame without the set-up.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Compander2.h"
#include "Orvex_Compander_Extension_DSPKernel.h"
#include "support/Buffers.h"
#include "support/Defaults.h"
#include "support/Signals.h"

namespace {

testsignals::Stereo makeSignal(int which, std::size_t frames) {
    switch (which) {
    case 1:
        return testsignals::sine(frames);
    case 2:
        return testsignals::silence(frames);
    case 3:
        return testsignals::hot(frames);
    case 4:
        return testsignals::loudThenSilence(frames, 4800);
    default:
        return testsignals::musicLike(frames);
    }
}

struct Digest {
    std::uint64_t value = 1469598103934665603ull;
    void add(const void* data, std::size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < bytes; ++i) {
            value ^= p[i];
            value *= 1099511628211ull;
        }
    }
    template <class T> void add(T v) { add(&v, sizeof v); }
};

void runCompander(int mode, const testsignals::Stereo& s, std::size_t block, std::size_t frames) {
    Compander2 compander;
    compander.setThreshold(0.8f);
    compander.setMultiplier(0.6f);
    compander.setAttack(0.01f);
    compander.setRelease(0.2f);
    compander.setMode(mode);
    std::vector<float> left(block), right(block);
    float sink = 0.0f;
    for (std::size_t at = 0; at + block <= frames; at += block) {
        const std::size_t from = at % (s.size() - block);
        std::memcpy(left.data(), s.left.data() + from, block * sizeof(float));
        std::memcpy(right.data(), s.right.data() + from, block * sizeof(float));
        compander.processBuffers(left.data(), right.data(), static_cast<std::int64_t>(block));
        sink += left[0] + right[block - 1];
    }
    std::printf("%g\n", static_cast<double>(sink));
}

void runKernel(const testsignals::Stereo& s, std::size_t block, std::size_t frames) {
    Orvex_Compander_Extension_DSPKernel kernel;
    kernel.init(2, 48000.0);
    testsupport::pushDefaults(kernel);
    kernel.setParameter(3, 0.8f);
    testsupport::ChannelBuffers in(2, s.size()), out(2, block);
    in.channels[0] = s.left;
    in.channels[1] = s.right;
    pf::AudioBufferList inList = in.list;
    pf::AudioTimeStamp timestamp;
    float sink = 0.0f;
    for (std::size_t at = 0; at + block <= frames; at += block) {
        const std::size_t from = at % (s.size() - block);
        inList.mBuffers[0].mData = in[0] + from;
        inList.mBuffers[1].mData = in[1] + from;
        kernel.setBuffers(&inList, &out.list);
        kernel.processWithEvents(&timestamp, static_cast<pf::AUAudioFrameCount>(block), nullptr,
                                 {});
        sink += out[0][0];
    }
    std::printf("%g\n", static_cast<double>(sink));
}

// Every mode, inversion and a spread of settings over every signal, in uneven blocks; the output
// samples, factors and the four followers' peaks and hold counters all go into the digest.
void printDigest() {
    constexpr std::size_t kFrames = 48000;
    const float settings[][5] = {
        // threshold, multiplier, gain, mix, release
        {0.8f, 0.6f, 0.5f, 1.0f, 0.2f},   {0.5f, -1.0f, 0.5f, 1.0f, 0.5f},
        {0.2f, 0.3f, 0.7f, 0.4f, 0.05f},  {1.0f, 2.5f, 0.5f, 0.0f, 0.0f},
        {0.0f, -0.5f, -0.3f, 1.7f, 1.0f}, {0.8f, 0.0f, 0.5f, -0.5f, 10.0f}};
    const std::size_t blocks[] = {1, 7, 64, 509, 512, 4096};
    Digest all;
    for (int which = 0; which < 5; ++which) {
        testsignals::Stereo s = makeSignal(which, kFrames);
        if (which == 0) { // a few values that are not finite, late in the signal
            s.left[40000] = std::numeric_limits<float>::infinity();
            s.right[40001] = std::numeric_limits<float>::quiet_NaN();
            s.left[40002] = -std::numeric_limits<float>::infinity();
        }
        for (int mode : {0, 1, 2, 3, 7}) {
            for (bool inverted : {false, true}) {
                for (const auto& set : settings) {
                    Digest d;
                    Compander2 c;
                    c.setThreshold(set[0]);
                    c.setMultiplier(set[1]);
                    c.setGain(set[2]);
                    c.setMix(set[3]);
                    c.setAttack(0.001f);
                    c.setRelease(set[4]);
                    c.setMode(mode);
                    c.setInverted(inverted);
                    std::vector<float> l = s.left, r = s.right;
                    std::size_t at = 0, k = 0;
                    while (at < kFrames) {
                        const std::size_t n = std::min(blocks[k++ % 6], kFrames - at);
                        c.processBuffers(l.data() + at, r.data() + at,
                                         static_cast<std::int64_t>(n));
                        at += n;
                        d.add(c.getFactorL());
                        d.add(c.getFactorR());
                    }
                    d.add(l.data(), l.size() * sizeof(float));
                    d.add(r.data(), r.size() * sizeof(float));
                    for (const Follower* f : {&c.inputFollower[0], &c.inputFollower[1],
                                              &c.outputFollower[0], &c.outputFollower[1]}) {
                        d.add(f->currentPeak.load());
                        d.add(f->decayTime.load());
                    }
                    all.add(d.value);
                }
            }
            std::printf("signal %d mode %d: %016llx\n", which, mode,
                        static_cast<unsigned long long>(all.value));
        }
    }
    std::printf("all: %016llx\n", static_cast<unsigned long long>(all.value));
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "digest") == 0) {
        printDigest();
        return 0;
    }
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: dsp_count compander|kernel MODE SIGNAL BLOCK FRAMES | digest\n");
        return 2;
    }
    const int mode = std::atoi(argv[2]);
    const int which = std::atoi(argv[3]);
    const auto block = static_cast<std::size_t>(std::atol(argv[4]));
    const auto frames = static_cast<std::size_t>(std::atol(argv[5]));
    const testsignals::Stereo s = makeSignal(which, 96000);
    if (std::strcmp(argv[1], "kernel") == 0) {
        runKernel(s, block, frames);
    } else {
        runCompander(mode, s, block, frames);
    }
    return 0;
}
