// Instantiating plug-in bundles: the order and threads of the start-up, the plug-in's own bundle,
// and the ways a plug-in module fails its instantiation.
#include <algorithm>
#include <atomic>
#include <optional>

#include <gtest/gtest.h>

#include "PluginFixtures.h"
#include "audio/AVAudioNode.h"
#include "audio/AVAudioUnitComponent.h"
#include "audio/AudioComponentBundles.h"
#include "core/Console.h"
#include "core/Dispatch.h"

namespace pf {
namespace {

using test::BundleLayout;
using test::makeBundle;
using test::runMainUntil;
using test::TempDir;

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 2, 0};

// What an instantiation's completion saw.
struct Outcome {
    std::atomic<bool> done{false};
    std::shared_ptr<AVAudioUnit> unit;
    std::optional<NSError> error;
    bool onMainThread = true;
};

class Instantiation : public testing::Test {
protected:
    void SetUp() override { RunLoop::claimMainThread(); }

    // Scans `dir` into the test's registry.
    void scan(const std::string& folder) {
        registry_.addComponentSource(audioComponentBundleSource({folder}));
    }

    std::shared_ptr<Outcome> instantiate(const AudioComponentDescription& description = kPlugin) {
        auto outcome = std::make_shared<Outcome>();
        AVAudioUnit::instantiate(
            registry_, description, 0,
            [outcome](std::shared_ptr<AVAudioUnit> unit, std::optional<NSError> error) {
                outcome->unit = std::move(unit);
                outcome->error = std::move(error);
                outcome->onMainThread = RunLoop::isMainThread();
                // Handed to the main queue, which wakes the waiting loop.
                DispatchQueue::main().async([outcome] { outcome->done.store(true); });
            });
        EXPECT_TRUE(runMainUntil([&] { return outcome->done.load(); }));
        return outcome;
    }

    // The plug-in's own report lines, in order.
    std::vector<std::string> pluginLines() const {
        std::vector<std::string> lines;
        for (auto& line : console_.lines()) {
            if (line.rfind("TestGain: ", 0) == 0) lines.push_back(line);
        }
        return lines;
    }

    TempDir dir_;
    ConsoleCapture console_;
    AudioComponentRegistry registry_;
};

TEST_F(Instantiation, LoadsTheViewOnTheMainThreadBeforeTheFactoryRunsOnAGlobalThread) {
    const std::string bundle = makeBundle(dir_.path(), "Gain");
    scan(dir_.path());

    const auto outcome = instantiate();
    ASSERT_TRUE(outcome->unit) << outcome->error->localizedDescription();
    EXPECT_FALSE(outcome->error);
    EXPECT_FALSE(outcome->onMainThread);

    const auto lines = pluginLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(lines[0].find(" made ")), " made on the main thread: yes");
    EXPECT_EQ(lines[1], "TestGain: view loaded on the main thread: yes");
    EXPECT_EQ(lines[2], "TestGain: createAudioUnit on the main thread: no, view loaded: yes");
    // The plug-in's code finds its own bundle, not the host's.
    EXPECT_EQ(lines[3], "TestGain: bundle " + std::filesystem::canonical(bundle).string());

    EXPECT_TRUE(outcome->unit->auAudioUnit());
}

TEST_F(Instantiation, EveryRefusalCompletesWithItsErrorOffTheMainThreadAndTheHostGoesOn) {
    struct Case {
        std::string subtype, principal, module;
        OSStatus code;
        std::string inDescription;
    };
    const std::vector<Case> cases{
        {"fail", "FailingViewController", TEST_PLUGIN_MODULE, kAudioUnitErr_FailedInitialization,
         "TestGain refuses."},
        // A plug-in throwing something that is no exception fails only its instantiation.
        {"strn", "StrangeViewController", TEST_PLUGIN_MODULE, kAudioUnitErr_FailedInitialization,
         ""},
        // Modules of another ABI or without the entry are refused before any of their code runs.
        {"frgn", "GainViewController", TEST_PLUGIN_FOREIGN_ABI_MODULE,
         kAudioUnitErr_ExtensionNotFound, "ABI version 99"},
        {"none", "GainViewController", TEST_PLUGIN_NO_ENTRY_MODULE, kAudioUnitErr_ExtensionNotFound,
         "exports no pf_audio_plugin_entry"}};
    for (const auto& c : cases) {
        BundleLayout layout;
        layout.subtype = c.subtype;
        layout.principal = c.principal;
        layout.module = c.module;
        makeBundle(dir_.path(), c.subtype, layout);
    }
    scan(dir_.path());
    for (int round = 0; round < 2; ++round) { // refused again from memory, with the same answer
        for (const auto& c : cases) {
            AudioComponentDescription description = kPlugin;
            description.componentSubType = OSType(c.subtype[0]) << 24 | OSType(c.subtype[1]) << 16 |
                                           OSType(c.subtype[2]) << 8 | OSType(c.subtype[3]);
            const auto outcome = instantiate(description);
            EXPECT_FALSE(outcome->unit) << c.subtype;
            EXPECT_FALSE(outcome->onMainThread) << c.subtype;
            ASSERT_TRUE(outcome->error) << c.subtype;
            EXPECT_EQ(outcome->error->code(), c.code) << c.subtype;
            EXPECT_NE(outcome->error->localizedDescription().find(c.inDescription),
                      std::string::npos)
                << c.subtype << ": " << outcome->error->localizedDescription();
        }
    }
    // Only the modules with an entry ran a factory: the two that throw, once each round.
    const auto lines = pluginLines();
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [](const std::string& l) { return l.starts_with("TestGain: createAudioUnit"); }),
              4);
}

} // namespace
} // namespace pf
