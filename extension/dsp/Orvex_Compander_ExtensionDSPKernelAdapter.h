// Orvex_Compander_ExtensionDSPKernelAdapter: the bridge between the audio unit and the kernel.
// It owns the kernel and the kernel's input bus by value, makes an output bus, keeps the host's
// blocks, and offers rendering, parameters, bypass, the maximum frame count, the sample rate,
// resource allocation and the four meter values.
//
// Its buses serve only the kernel: standard format, 48000 Hz, 2 channels, kept whatever happens.
// Life cycle: made (kernel at 48000 Hz, 2 channels, at most 4096 frames; no buffer yet) →
// `allocateRenderResources` (input buffer of `maximumFramesToRender` frames, kernel re-initialised
// at its bus rate and reset) → `setSamplerate` with the host's rate → render cycles →
// `deallocateRenderResources` (and again).
//
// Threads: `render` on the render thread; parameter, bypass and meter calls on any thread;
// allocation, deallocation, reset, sample rate and the host context blocks while nothing renders.
// `setAUMIDIOutputEventBlock` may come from any thread, the render thread included, every cycle.
//
// Render statuses: noErr; kAudioUnitErr_TooManyFramesToProcess for more frames than the maximum
// or than the allocated buffer holds; kAudioUnitErr_Uninitialized before allocation or after
// deallocation; kAudio_ParamError without a time stamp or an output list, or when an output
// buffer with memory is shorter than the cycle (checked before anything is written); the pull
// block's own status when it fails; kAudioUnitErr_NoConnection from `internalRenderBlock` without a
// pull block. On any failure nothing is processed and the output is left as it was.
#pragma once

#include <cstdint>
#include <memory>

#include "AtomicSharedPointer.h"
#include "BufferedAudioBus.h"
#include "Orvex_Compander_Extension_DSPKernel.h"
#include "audio/AUAudioUnitBus.h"
#include "audio/AUBlocks.h"
#include "audio/CoreAudioTypes.h"

class Orvex_Compander_ExtensionDSPKernelAdapter
    : public std::enable_shared_from_this<Orvex_Compander_ExtensionDSPKernelAdapter> {
public:
    Orvex_Compander_ExtensionDSPKernelAdapter();
    Orvex_Compander_ExtensionDSPKernelAdapter(const Orvex_Compander_ExtensionDSPKernelAdapter&) =
        delete;
    Orvex_Compander_ExtensionDSPKernelAdapter&
    operator=(const Orvex_Compander_ExtensionDSPKernelAdapter&) = delete;

    const std::shared_ptr<pf::AUAudioUnitBus>& inputBus() const noexcept { return _inputBus.bus; }
    const std::shared_ptr<pf::AUAudioUnitBus>& outputBus() const noexcept { return _outputBus; }

    // A parameter's value by its address (the tree's value observer and value provider).
    void setParameter(pf::AUParameterAddress address, pf::AUValue value) noexcept;
    pf::AUValue valueForParameter(pf::AUParameterAddress address) const noexcept;
    // The same with a signed 32-bit address, widened with its sign (a negative one is ignored).
    void setParameterEx(std::int32_t address, pf::AUValue value) noexcept;
    pf::AUValue getParameterEx(std::int32_t address) const noexcept;

    pf::AUAudioFrameCount maximumFramesToRender() const noexcept;
    // Larger values than the 32-bit signed range are lowered to it.
    void setMaximumFramesToRender(pf::AUAudioFrameCount frames) noexcept;

    bool shouldBypassEffect() const noexcept { return _kernel.getBypassed(); }
    void setShouldBypassEffect(bool bypass) noexcept { _kernel.setBypassed(bypass); }
    void setBypass(bool bypass) noexcept { _kernel.setBypassed(bypass); }

    // Allocates; not on the render thread. False when the input buffer of `maximumFramesToRender`
    // frames cannot be made: the adapter is then left without render resources.
    bool allocateRenderResources();
    void deallocateRenderResources();
    void reset() noexcept { _kernel.reset(); }

    // [any-thread] Stores the block only when it is another one than the current, so re-sending
    // the same block every cycle never writes.
    void setAUMIDIOutputEventBlock(const pf::AUMIDIOutputEventBlock& block) noexcept;
    void setAUHostMusicalContextBlock(pf::AUHostMusicalContextBlock block) noexcept;
    void setAUScheduleMIDIEventBlock(pf::AUScheduleMIDIEventBlock block) noexcept;
    void setAUHostTransportStateBlock(pf::AUHostTransportStateBlock block) noexcept;

    // [render-thread] One cycle: pulls bus 0 into the input buffer when a pull block is given
    // (otherwise the buffer keeps its previous contents), points a null output list at the input
    // buffers (in place), and runs the kernel's event loop. Flushes subnormals for its duration.
    // The action flags and the bus number are passed through, not examined.
    pf::AUAudioUnitStatus render(pf::AudioUnitRenderActionFlags* actionFlags,
                                 const pf::AudioTimeStamp* timestamp,
                                 pf::AUAudioFrameCount frameCount, pf::NSInteger outputBusNumber,
                                 pf::AudioBufferList* outputData,
                                 const pf::AURenderEvent* realtimeEventListHead,
                                 const pf::AURenderPullInputBlock& pullInputBlock) noexcept;

    // A render block doing what `render` does, with the MIDI output block current when it was
    // made; it fails with kAudioUnitErr_NoConnection without a pull block. It keeps the adapter
    // alive when the adapter is owned by a shared pointer; otherwise the adapter must outlive it.
    pf::AUInternalRenderBlock internalRenderBlock();

    // Sets the kernel's buffers and calls its `process2`; noErr.
    pf::AUAudioUnitStatus render2(pf::AUAudioFrameCount frameCount,
                                  pf::AudioBufferList* outputData) noexcept;

    float getDynamicsValue1() const noexcept { return _kernel.getDynamicsValue1(); }
    float getDynamicsValue2() const noexcept { return _kernel.getDynamicsValue2(); }
    float getPeakValue1() const noexcept { return _kernel.getPeakValue1(); }
    float getPeakValue2() const noexcept { return _kernel.getPeakValue2(); }

    float getSamplerate() const noexcept { return _kernel.getSamplerate(); }
    void setSamplerate(float rate) noexcept { _kernel.setSamplerate(rate); }

    pf::AudioBufferList* outputs() const noexcept { return _kernel.getOutputs(); }
    pf::AudioBufferList* inputs() const noexcept { return _kernel.getInputs(); }

    // The kernel itself, for diagnostics and tests.
    Orvex_Compander_Extension_DSPKernel& kernel() noexcept { return _kernel; }

private:
    pf::AUAudioUnitStatus renderWith(pf::AudioUnitRenderActionFlags* actionFlags,
                                     const pf::AudioTimeStamp* timestamp,
                                     pf::AUAudioFrameCount frameCount,
                                     pf::AudioBufferList* outputData,
                                     const pf::AURenderEvent* realtimeEventListHead,
                                     const pf::AURenderPullInputBlock& pullInputBlock,
                                     const pf::AUMIDIOutputEventBlock& midiOut) noexcept;

    Orvex_Compander_Extension_DSPKernel _kernel;
    BufferedInputBus _inputBus;
    pf::AUHostMusicalContextBlock _musicalContext;
    AtomicSharedPointer<const pf::AUMIDIOutputEventBlock::Function> _outputEventBlock;
    pf::AUHostTransportStateBlock _transportStateBlock;
    pf::AUScheduleMIDIEventBlock _scheduleMIDIEventBlock;
    std::shared_ptr<pf::AUAudioUnitBus> _outputBus;
};
