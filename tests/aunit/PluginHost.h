// The real plug-in as a host meets it: found through the component registry in the application
// bundle's PlugIns folder, instantiated, given its parameters on the published tree, then prepared
// at the host's sample rate and rendered cycle by cycle over a stereo signal that it pulls.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "audio/AVAudioNode.h"
#include "audio/AudioComponentBundles.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "ui/WindowBackend.h"

namespace plugintest {

using namespace pf;

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 0, 0};

struct Stereo {
    std::vector<float> left, right;
};

// Parameter address and value, as a host sets them on the tree.
using Settings = std::vector<std::pair<AUParameterAddress, AUValue>>;

// Signals built piece by piece at one rate: steady square-wave tones (100 Hz, so the level is the
// same on every sample) and silence.
struct Signal {
    explicit Signal(double sampleRate) : rate(sampleRate) {}
    double rate;
    Stereo samples;

    Signal& tone(double seconds, float left, float right) {
        const auto frames = static_cast<std::size_t>(seconds * rate);
        for (std::size_t i = 0; i < frames; ++i) {
            const auto half = static_cast<long>(double(samples.left.size()) * 200.0 / rate);
            const float sign = half % 2 == 0 ? 1.0f : -1.0f;
            samples.left.push_back(sign * left);
            samples.right.push_back(sign * right);
        }
        return *this;
    }
    Signal& tone(double seconds, float level) { return tone(seconds, level, level); }
    Signal& silence(double seconds) { return tone(seconds, 0.0f, 0.0f); }
    std::size_t frame(double seconds) const { return static_cast<std::size_t>(seconds * rate); }
};

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

// The mean magnitude of `x` from `begin` (a frame) to its end.
inline double level(const std::vector<float>& x, std::size_t begin) {
    double sum = 0.0;
    for (std::size_t i = begin; i < x.size(); ++i)
        sum += std::fabs(x[i]);
    return sum / static_cast<double>(x.size() - begin);
}

inline float peak(const std::vector<float>& x) {
    float p = 0.0f;
    for (const float v : x)
        p = std::max(p, std::fabs(v));
    return p;
}

class PluginTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunLoop::claimMainThread();
        previousBackend_ = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
        registry_ = std::make_unique<AudioComponentRegistry>();
        registry_->addComponentSource(audioComponentBundleSource({PLUGIN_FOLDER}));
    }
    static void TearDownTestSuite() {
        registry_.reset();
        RunLoop::main().drainQueue();
        WindowBackend::setShared(std::move(previousBackend_));
    }
    void TearDown() override { RunLoop::main().drainQueue(); }

    // A new instance, as a host makes it, with `settings` set on its tree.
    std::shared_ptr<AUAudioUnit> instantiate(const Settings& settings = {}) {
        std::shared_ptr<AVAudioUnit> node;
        std::atomic<bool> done{false};
        AVAudioUnit::instantiate(*registry_, kPlugin, 0,
                                 [&](std::shared_ptr<AVAudioUnit> unit, std::optional<NSError>) {
                                     node = std::move(unit);
                                     DispatchQueue::main().async([&] { done = true; });
                                 });
        EXPECT_TRUE(
            RunLoop::main().runUntil([&] { return done.load(); }, std::chrono::seconds(10)));
        if (!node || !node->auAudioUnit()) {
            ADD_FAILURE() << "the plug-in was not instantiated";
            return nullptr;
        }
        nodes_.push_back(node);
        set(*node->auAudioUnit(), settings);
        return node->auAudioUnit();
    }

    static void set(AUAudioUnit& unit, const Settings& settings) {
        for (const auto& [address, value] : settings)
            unit.parameterTree()->parameterWithAddress(address)->setValue(value);
    }

    // Renders `input` as a host does at `rate`, in cycles of 512 frames: into its own buffers, or
    // at 96 kHz into buffers without memory, so that the plug-in renders in place on its input.
    // `whilePlaying` is set once the plug-in is prepared.
    static Stereo render(const std::shared_ptr<AUAudioUnit>& unit, double rate, const Stereo& input,
                         const Settings& whilePlaying = {}) {
        unittest::RenderHarness host(
            unit, {.sampleRate = rate, .maximumFrames = 512, .outputInPlace = rate > 48000});
        host.setInput(input.left, input.right);
        host.allocate();
        set(*unit, whilePlaying);
        Stereo output;
        for (std::size_t done = 0; done < input.left.size(); done += 512) {
            const auto frames = std::min<std::size_t>(512, input.left.size() - done);
            EXPECT_EQ(host.renderCycle(static_cast<AUAudioFrameCount>(frames)), noErr);
            output.left.insert(output.left.end(), host.left(), host.left() + frames);
            output.right.insert(output.right.end(), host.right(), host.right() + frames);
        }
        return output;
    }

    // A new instance with `settings`, rendered over `input`.
    Stereo play(const Settings& settings, const Signal& input, const Settings& whilePlaying = {}) {
        const auto unit = instantiate(settings);
        return unit ? render(unit, input.rate, input.samples, whilePlaying) : Stereo{};
    }

    ConsoleCapture console_; // the plug-in's lines stay off the test's output
    std::vector<std::shared_ptr<AVAudioUnit>> nodes_;
    static inline std::unique_ptr<AudioComponentRegistry> registry_;
    static inline std::unique_ptr<WindowBackend> previousBackend_;
};

} // namespace plugintest
