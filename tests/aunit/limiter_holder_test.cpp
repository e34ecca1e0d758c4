// The final-limiter holder: the settings it sends to the platform limiter (pinned, in order, as
// 32-bit floats), and the self-test: its steps, then the exact dump of the limiter it attached.
#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
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

TEST_F(LimiterHolder, SendsItsSettingsPinnedToTheirRangesInOrderAndKeepsThemOverNonFinite) {
    AUPeakLimiter holder;
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"System Peak Limiter AudioUnit created and initialized."});
    EXPECT_EQ(holder.auAudioUnit(), holder.internalEffect->auAudioUnit());
    const auto attack = &AUPeakLimiter::setAttackTime, decay = &AUPeakLimiter::setDecayTime,
               preGain = &AUPeakLimiter::setPreGain;
    // the setting, the value given, and the address and value sent (the same value twice is sent
    // twice; a value that is not finite sends the one kept)
    const std::tuple<void (AUPeakLimiter::*)(double), double, pf::AUParameterAddress, pf::AUValue>
        rows[] = {{attack, 0.1, 0, 0.03f},          {decay, 0.1, 1, 0.06f},
                  {preGain, -0.01, 2, -0.01f},      {preGain, 50, 2, 40.0f},
                  {preGain, -50, 2, -40.0f},        {attack, 0.0005, 0, 0.001f},
                  {attack, 0.02, 0, 0.02f},         {decay, 0.001, 1, 0.001f},
                  {decay, 0.001, 1, 0.001f},        {attack, std::nan(""), 0, 0.02f},
                  {decay, std::nan(""), 1, 0.001f}, {preGain, INFINITY, 2, 40.0f}};
    Sent expected{{0, 0.012f}, {1, 0.024f}, {2, 0.0f}}; // on construction
    for (const auto& [set, value, address, received] : rows) {
        (holder.*set)(value);
        expected.emplace_back(address, received);
    }
    EXPECT_EQ(sent(), expected);
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

// The lines of the attached limiter's dump that say which unit it is and how it is set up, in
// order, addresses written as 0x?. The whole dump is framed by a banner line.
const std::vector<std::string> kDumpMarks{
    " - node name: Peak Limiter",
    " - node unit: <AUAudioUnit: 0x?: Orvex Platform: Peak Limiter>",
    " -- unit channel capabilities: Optional([1, 1, 2, 2])",
    " -- unit component version: 65537",
    " --- bus 0 type: input",
    " -- unit latency: 0.0014965986394557824",
    " -- unit max. frames to render: 1156",
    " --- bus 0 type: output",
    " -- unit parameter tree: Optional(<AUParameterTree: 3 parameters>)",
    " - node last render time: <AVAudioTime: host time 0, sample time invalid>"};

// Checks the dump in lines[from..]: 88 lines framed by two banners, holding the marks in order.
void expectDump(const std::vector<std::string>& lines, std::size_t from) {
    const std::string banner = "AUPeakLimiter::nodeDiagnostics(): " + std::string(45, '-');
    ASSERT_EQ(lines.size(), from + 88);
    EXPECT_EQ(lines[from + 1], banner);
    EXPECT_EQ(lines[from + 86], banner);
    std::size_t mark = 0;
    for (std::size_t i = from; i < lines.size() && mark < kDumpMarks.size(); ++i)
        if (std::regex_replace(lines[i], std::regex("0x[0-9a-f]+"), "0x?") == kDumpMarks[mark])
            ++mark;
    EXPECT_EQ(mark, kDumpMarks.size()) << "missing or out of order: " << kDumpMarks[mark];
}

TEST_F(LimiterHolder, SelfTestPrintsItsStepsDirectlyAndQueuesTheDumpOfTheAttachedLimiter) {
    AUPeakLimiter holder;
    capture.clear();
    holder.run(nullptr);
    // The dump waits on the main queue, so the three steps come first.
    const std::vector<std::string> steps{"CREATING AVAUDIO ENGINE ..", "ATTACHING EFFECT ..",
                                         "DETACHING EFFECT .."};
    EXPECT_EQ(capture.lines(), steps);
    const auto lines = drainedLines();
    expectDump(lines, 3);
    const auto dumped = [](const std::vector<std::string>& all, std::size_t from) {
        return std::count(all.begin() + std::ptrdiff_t(from), all.end(),
                          " - node name: Peak Limiter");
    };
    EXPECT_EQ(dumped(lines, 3), 1);

    // The engine stays, the effect does not; a second run replaces the engine.
    const auto first = holder.lastEngine();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isAttached(*holder.internalEffect));
    EXPECT_EQ(holder.internalEffect->engine(), nullptr);
    holder.run(nullptr);
    EXPECT_NE(holder.lastEngine(), first);
    const auto again = drainedLines();
    expectDump(again, lines.size() + 3);
    EXPECT_EQ(dumped(again, lines.size() + 3), 1);
}

} // namespace
