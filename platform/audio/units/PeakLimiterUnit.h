// PeakLimiterUnit: the platform's built-in peak limiter as an audio unit, registered as
// "aufx" / "lmtr" / "appl". It wraps `PeakLimiterDSP` (the signal path and what its parameters
// mean are described there) and adds what a host needs: one input and one output bus, a tree
// of three parameters, the life cycle and a render block that pulls its input.
//
// Parameters, global scope, element 0, out-of-range values clamped, NaN ignored:
//   0 attack time (s, 0.001 – 0.03, default 0.012)
//   1 decay time  (s, 0.001 – 0.06, default 0.024)
//   2 pre-gain    (dB, -40 – 40, default 0)
//
// Buses: one input, one output, both 2-channel standard format (44.1 kHz until a host sets its
// own); 1 or 2 channels are accepted, the same count and rate on both.
//
// Rendering: the block pulls bus 0 of its input into buffers of its own (the pull may instead
// point the list at memory of its own, as the plug-in's pull does: then the limiter reads and
// writes the same memory, which it handles). A null output buffer takes the input's memory.
// A cycle whose (valid) sample time does not follow the previous cycle's clears the look-ahead
// state first. Statuses: kAudioUnitErr_Uninitialized before allocation, kAudioUnitErr_NoConnection
// without a pull block or for a bus other than 0, kAudioUnitErr_TooManyFramesToProcess above the
// allocated maximum, the pull's own status when it fails, kAudio_ParamError for a list with
// fewer buffers than channels.
//
// Threads: see AUAudioUnit. The render block is [render-thread]: it allocates, locks and prints
// nothing. Parameters are atomics of the DSP, set from any thread.
#pragma once

#include <memory>

#include "audio/AUAudioUnit.h"

namespace pf {

class PeakLimiterUnit final : public AUAudioUnit {
public:
    static constexpr AudioComponentDescription kComponentDescription{
        fourCharCode("aufx"), fourCharCode("lmtr"), fourCharCode("appl"), 0, 0};
    static constexpr const char* kComponentName = "Orvex Platform: Peak Limiter";
    static constexpr std::uint32_t kComponentVersion = 0x00010000;

    enum : AUParameterAddress { kAttackTime = 0, kDecayTime = 1, kPreGain = 2 };

    // The registry's factory. Throws NSErrorException only where construction itself fails.
    static std::shared_ptr<PeakLimiterUnit> create(const AudioComponentDescription& description,
                                                   AudioComponentInstantiationOptions options = 0);

    PeakLimiterUnit(const AudioComponentDescription& description,
                    AudioComponentInstantiationOptions options);
    ~PeakLimiterUnit() override;

    std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputBusses_; }
    std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputBusses_; }
    std::shared_ptr<AUParameterTree> parameterTree() override { return tree_; }
    // The limiter's tree is fixed; a host's tree is ignored.
    void setParameterTree(std::shared_ptr<AUParameterTree>) override {}

    void setShouldBypassEffect(bool bypass) override;
    bool canProcessInPlace() const override { return true; }
    std::optional<std::vector<NSInteger>> channelCapabilities() const override {
        return std::vector<NSInteger>{1, 1, 2, 2};
    }
    // The look-ahead delay, constant for a sample rate: at the allocated rate once allocated,
    // else at the rate of the output bus.
    double latency() const override;
    double tailTime() const override { return latency(); }

    // Allocation checks the buses (same rate, same channel count, 1 or 2 channels: otherwise
    // kAudioUnitErr_FormatNotSupported) and prepares the DSP for `maximumFramesToRender`.
    void allocateRenderResources() override;
    void deallocateRenderResources() override;
    // Clears the signal state; parameters are kept.
    void reset() override;

    AUInternalRenderBlock internalRenderBlock() override;

    struct Renderer; // the state the render block shares with the unit

private:
    std::shared_ptr<Renderer> renderer_;
    std::shared_ptr<AUParameterTree> tree_;
    std::shared_ptr<AUAudioUnitBusArray> inputBusses_;
    std::shared_ptr<AUAudioUnitBusArray> outputBusses_;
};

} // namespace pf
