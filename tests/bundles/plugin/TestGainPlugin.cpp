// A tiny plug-in module for the tests: a stereo gain unit (× 0.5) with one MIDI output, and a
// principal class without a real view. It reports what the host does to it as console lines
// starting with "TestGain:", so tests can check order and threads through the host's console:
//
//   TestGain: principal <address> made on the main thread: yes|no
//   TestGain: view loaded on the main thread: yes|no
//   TestGain: createAudioUnit on the main thread: yes|no, view loaded: yes|no
//   TestGain: bundle <path of Bundle::main() as this module sees it>
//
// Principal classes: "GainViewController" (the gain unit), "FailingViewController" (its factory
// throws an NSErrorException), "StrangeViewController" (its factory throws a plain number). Built
// three ways: normally, with TEST_PLUGIN_ABI_VERSION set to a foreign version, and with
// TEST_PLUGIN_NO_ENTRY (exports nothing).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/AUAudioUnit.h"
#include "audio/PluginEntry.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace {

using namespace pf;

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

class GainUnit final : public AUAudioUnit {
public:
    explicit GainUnit(const AudioComponentDescription& description) {
        const auto bus = [] {
            return AUAudioUnitBus::initWithFormat(
                AVAudioFormat::standardFormatWithSampleRate(48000.0, 2));
        };
        inputs_ = AUAudioUnitBusArray::make(ownerAnchor(),
                                            AUAudioUnitBusType::AUAudioUnitBusTypeInput, {bus()});
        outputs_ = AUAudioUnitBusArray::make(ownerAnchor(),
                                             AUAudioUnitBusType::AUAudioUnitBusTypeOutput, {bus()});
        initWithComponentDescription(description);
    }

    std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputs_; }
    std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputs_; }
    std::vector<std::string> MIDIOutputNames() const override { return {"Test Gain MIDI Out"}; }

    AUInternalRenderBlock internalRenderBlock() override {
        return AUInternalRenderBlock(
            [](AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time,
               AUAudioFrameCount frames, NSInteger, AudioBufferList* out, const AURenderEvent*,
               const AURenderPullInputBlock& pull) noexcept -> AUAudioUnitStatus {
                if (!pull) return kAudioUnitErr_NoConnection;
                if (const auto status = pull(flags, time, frames, 0, out)) return status;
                for (std::uint32_t b = 0; b < out->mNumberBuffers; ++b) {
                    auto* samples = static_cast<float*>(out->mBuffers[b].mData);
                    std::transform(samples, samples + frames, samples,
                                   [](float x) { return 0.5f * x; });
                }
                return noErr;
            });
    }

private:
    std::shared_ptr<AUAudioUnitBusArray> inputs_;
    std::shared_ptr<AUAudioUnitBusArray> outputs_;
};

class GainViewController : public AUAudioUnitFactory,
                           public std::enable_shared_from_this<GainViewController> {
public:
    enum class Failure { none, error, number };
    explicit GainViewController(Failure failure) : failure_(failure) {}

    void announce() {
        char line[128];
        std::snprintf(line, sizeof line, "TestGain: principal %p made on the main thread: %s",
                      static_cast<const void*>(this), yesNo(RunLoop::isMainThread()));
        Console::printLine(line);
    }

    void loadPrincipalView() override {
        viewLoaded_.store(true);
        Console::printLine(std::string("TestGain: view loaded on the main thread: ") +
                           yesNo(RunLoop::isMainThread()));
    }

    std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& with) override {
        Console::printLine(std::string("TestGain: createAudioUnit on the main thread: ") +
                           yesNo(RunLoop::isMainThread()) +
                           ", view loaded: " + yesNo(viewLoaded_.load()));
        Console::printLine("TestGain: bundle " + Bundle::main().bundlePath());
        if (failure_ == Failure::number) throw 42;
        if (failure_ == Failure::error) {
            throw NSErrorException(NSError(NSOSStatusErrorDomain,
                                           kAudioUnitErr_FailedInitialization,
                                           {{NSLocalizedDescriptionKey, "TestGain refuses."}}));
        }
        // The unit is held by the host; the controller keeps no reference to it, so the two do
        // not keep each other alive.
        return std::make_shared<GainUnit>(with);
    }

    // No view class exists in the audio layer; the controller stands for its own view
    // controller, identified by its address.
    std::shared_ptr<UIViewController> principalViewController() override {
        return std::shared_ptr<UIViewController>(shared_from_this(),
                                                 reinterpret_cast<UIViewController*>(this));
    }

private:
    Failure failure_;
    std::atomic<bool> viewLoaded_{false};
};

std::shared_ptr<AUAudioUnitFactory> makePrincipal(const char* className) {
    const std::string name(className);
    using Failure = GainViewController::Failure;
    Failure failure = Failure::none;
    if (name == "FailingViewController") {
        failure = Failure::error;
    } else if (name == "StrangeViewController") {
        failure = Failure::number;
    } else if (name != "GainViewController") {
        return nullptr;
    }
    auto principal = std::make_shared<GainViewController>(failure);
    principal->announce();
    return principal;
}

} // namespace

#if defined(TEST_PLUGIN_ABI_VERSION)
extern "C" [[gnu::visibility("default")]] const PFAudioPluginEntry* pf_audio_plugin_entry() {
    static const PFAudioPluginEntry entry{TEST_PLUGIN_ABI_VERSION, makePrincipal};
    return &entry;
}
#elif !defined(TEST_PLUGIN_NO_ENTRY)
PF_AUDIO_PLUGIN_ENTRY(makePrincipal)
#else
// Keeps the principal maker referenced in the build that exports nothing.
[[maybe_unused]] auto* const unusedPrincipalMaker = &makePrincipal;
#endif
