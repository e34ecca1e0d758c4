// The final-limiter holder: the settings it sends to the platform limiter (pinned, in order, as
// 32-bit floats), and the self-test with its three dumps (labels, order, line counts).
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "AUPeakLimiter.h"
#include "audio/units/PeakLimiterUnit.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace {

using Sent = std::vector<std::pair<pf::AUParameterAddress, pf::AUValue>>;

Sent& sent() {
    static Sent values;
    return values;
}

bool gFailInstantiation = false;

// Registers, once, a newer version of the built-in limiter that records every value set on its
// tree, so the tests see exactly what the holder sends.
void registerRecordingLimiter() {
    static const bool registered = [] {
        pf::AudioComponentRegistry::shared().registerComponent(
            pf::PeakLimiterUnit::kComponentDescription, pf::PeakLimiterUnit::kComponentName,
            pf::PeakLimiterUnit::kComponentVersion + 1,
            [](const pf::AudioComponentDescription& d,
               pf::AudioComponentInstantiationOptions o) -> std::shared_ptr<pf::AUAudioUnit> {
                if (gFailInstantiation) {
                    throw pf::NSErrorException(
                        pf::osStatusError(pf::kAudioUnitErr_FailedInitialization));
                }
                auto unit = pf::PeakLimiterUnit::create(d, o);
                unit->parameterTree()->tokenByAddingParameterObserver(
                    [](pf::AUParameterAddress a, pf::AUValue v) { sent().emplace_back(a, v); });
                return unit;
            });
        return true;
    }();
    (void)registered;
}

class LimiterHolder : public ::testing::Test {
protected:
    void SetUp() override {
        pf::RunLoop::claimMainThread();
        registerRecordingLimiter();
        sent().clear();
    }

    // Everything printed so far, the main queue drained first.
    std::vector<std::string> drainedLines() {
        pf::RunLoop::main().drainQueue();
        return capture.lines();
    }

    pf::ConsoleCapture capture;
};

pf::AUValue received(AUPeakLimiter& holder, pf::AudioUnitParameterID id) {
    pf::AUValue value = -1;
    EXPECT_EQ(pf::AudioUnitGetParameter(holder.internalEffect->audioUnit(), id,
                                        pf::kAudioUnitScope_Global, 0, &value),
              pf::noErr);
    return value;
}

TEST_F(LimiterHolder, SendsItsSettingsPinnedToTheirRangesInOrderAndKeepsThemOverNonFinite) {
    AUPeakLimiter holder;
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"System Peak Limiter AudioUnit created and initialized."});
    EXPECT_EQ(holder.auAudioUnit(), holder.internalEffect->auAudioUnit());
    holder.setAttackTime(0.1);
    holder.setDecayTime(0.1);
    holder.setPreGain(-0.01);
    EXPECT_EQ(received(holder, 0), 0.03f);
    EXPECT_EQ(received(holder, 1), 0.06f);
    EXPECT_EQ(received(holder, 2), -0.01f);
    holder.setPreGain(50);
    holder.setPreGain(-50);
    holder.setAttackTime(0.0005);
    holder.setAttackTime(0.02);
    holder.setDecayTime(0.001);
    holder.setDecayTime(0.001); // the same value twice is sent twice
    holder.setAttackTime(std::nan(""));
    holder.setDecayTime(std::nan(""));
    holder.setPreGain(INFINITY);
    EXPECT_EQ(sent(), (Sent{{0, 0.012f},
                            {1, 0.024f},
                            {2, 0.0f}, // on construction
                            {0, 0.03f},
                            {1, 0.06f},
                            {2, -0.01f},
                            {2, 40.0f},
                            {2, -40.0f},
                            {0, 0.001f},
                            {0, 0.02f},
                            {1, 0.001f},
                            {1, 0.001f},
                            {0, 0.02f},
                            {1, 0.001f},
                            {2, 40.0f}}));
    EXPECT_EQ(std::make_tuple(holder.attackTime(), holder.decayTime(), holder.preGain()),
              std::make_tuple(0.02, 0.001, 40.0));
}

TEST_F(LimiterHolder, WithoutAnEffectSettingsAreOnlyStoredAndTheSelfTestRefuses) {
    const std::vector<std::string> refusal{"ERROR: Unit (peak limiter) not initialized."};
    gFailInstantiation = true;
    AUPeakLimiter failed; // construction completes, and says so
    gFailInstantiation = false;
    EXPECT_EQ(capture.lines(), refusal);
    AUPeakLimiter removed;
    removed.internalEffect = nullptr;
    sent().clear();
    for (AUPeakLimiter* holder : {&failed, &removed}) {
        EXPECT_EQ(holder->auAudioUnit(), nullptr);
        holder->setAttackTime(1.0);
        EXPECT_EQ(holder->attackTime(), 0.03);
    }
    capture.clear();
    removed.nodeDiagnostics();
    removed.run(nullptr);
    EXPECT_EQ(drainedLines(), refusal);
    EXPECT_EQ(removed.lastEngine(), nullptr);
    EXPECT_TRUE(sent().empty());
}

// The labels of the dump in order, for a unit with one input and one output bus.
std::vector<std::string> expectedDumpLabels() {
    const std::string banner = "AUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-');
    std::vector<std::string> bus;
    for (const char* label :
         {" type: ", " representation latency: ", " format: ", " format channel count: ",
          " format common format: ", " format channel layout: ", " format interleaved: ",
          " format standard: ", " format samplerate: ", " format settings: ", " index: ",
          " enabled: ", " max. channel count: ", " name: ", " should allocate buffer: "}) {
        bus.push_back(std::string(" --- bus 0") + label);
    }
    std::vector<std::string> labels = {"", banner, "", " - node name: ", " - node unit: "};
    for (const char* label :
         {"all parameter values: ", "name: ", "short name: ", "can process inplace: ",
          "channel capabilities: ", "channel map: ", "component: ", "component description: ",
          "component name: ", "component version: ", "context name: ", "current preset: ",
          ".factory presets: ", "input busses: ", "input bus count: ", "input bus type: "}) {
        labels.push_back(std::string(" -- unit ") + label);
    }
    labels.insert(labels.end(), bus.begin(), bus.end());
    for (const char* label :
         {"music device: ", "rendering offline: ", "latency: ", "manufacturer name: ",
          "max. frames to render: ", "midi buffer size: ", "midi output event block: ",
          "midi output names:", "musical context block: ", "output busses: ", "output bus count: ",
          "output bus type: "}) {
        labels.push_back(std::string(" -- unit ") + label);
    }
    labels.insert(labels.end(), bus.begin(), bus.end());
    for (const char* label :
         {"parameters for overview: ", "parameter tree: ", "provides user interface: ",
          "render quality: ", "resources allocated: ", "should bypass effect: ",
          "supported view configurations: ", "suppoerts MPE: ", "supports user presets: ",
          "tail time: ", "transport state block: ", "user presets: ", "midi cable count: "}) {
        labels.push_back(std::string(" -- unit ") + label);
    }
    for (const char* label :
         {" - node last render time: ", " - node latency: ", " - node number of inputs: ",
          " - node input bus 0 format: ", " - node input bus 0 name: ",
          " - node number of outputs: ", " - node output bus 0 format: ",
          " - node output bus 0 name: ", " - node output presentation latency: "}) {
        labels.push_back(label);
    }
    labels.insert(labels.end(), {"", banner, ""});
    return labels;
}

TEST_F(LimiterHolder, SelfTestPrintsItsStepsDirectlyAndQueuesTheDumpsWithTheirLabels) {
    AUPeakLimiter holder;
    capture.clear();
    holder.run(nullptr);
    // The dump waits on the main queue, so the three steps come first.
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"CREATING AVAUDIO ENGINE ..", "ATTACHING EFFECT ..",
                                        "DETACHING EFFECT .."}));
    const auto lines = drainedLines();
    const auto labels = expectedDumpLabels();
    // 3 steps; 2 banners of 3 lines; 7 node lines + 2 per node bus; 41 unit lines; 15 per bus.
    ASSERT_EQ(lines.size(), 3u + 6u + 7u + 2u * 2u + 41u + 15u * 2u);
    ASSERT_EQ(labels.size(), lines.size() - 3);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const std::string& line = lines[i + 3];
        EXPECT_EQ(line.substr(0, labels[i].size()), labels[i]) << "line " << i + 3;
        if (labels[i].empty()) {
            EXPECT_EQ(line, "");
        }
    }
    const auto has = [&lines](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    EXPECT_TRUE(has(" - node name: Peak Limiter"));
    EXPECT_TRUE(has(" --- bus 0 name: none"));
    EXPECT_TRUE(has(" - node input bus 0 name: none"));
    EXPECT_TRUE(has(" -- unit midi output names:[]"));
    EXPECT_TRUE(has(" -- unit short name: none"));
    EXPECT_TRUE(has(" -- unit context name: none"));
    EXPECT_TRUE(has(" -- unit current preset: nil"));
    EXPECT_TRUE(has(" -- unit input bus count: 1"));
    EXPECT_TRUE(has(" --- bus 0 format samplerate: 44100.0"));
    EXPECT_TRUE(has(" --- bus 0 type: output"));
    EXPECT_TRUE(has(" -- unit resources allocated: false"));
    EXPECT_TRUE(has(" - node output presentation latency: 0.0"));
    EXPECT_TRUE(has(" - node last render time: <AVAudioTime: host time 0, sample time invalid>"));

    // The engine stays, the effect does not; a second run replaces the engine.
    const auto first = holder.lastEngine();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isAttached(*holder.internalEffect));
    EXPECT_EQ(holder.internalEffect->engine(), nullptr);
    holder.run(nullptr);
    EXPECT_NE(holder.lastEngine(), first);
    EXPECT_EQ(drainedLines().size(), 2 * lines.size());
}

} // namespace
