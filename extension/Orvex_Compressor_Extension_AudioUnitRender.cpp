// Render resources and the render block of the unit.
#include <algorithm>
#include <string>

#include "Extensions.h"
#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "UnitRenderState.h"
#include "core/LogRing.h"
#include "core/SwiftText.h"

namespace {

std::string rateText(const std::shared_ptr<pf::AUAudioUnitBusArray>& busses) {
    return pf::swiftText((*busses)[0]->format()->sampleRate());
}

void logHostBlock(bool present, std::string_view name) {
    const std::string property(name);
    safeprint(present ? "AUExtension: The property '" + property + "' is defined."
                      : "AUExtension: WARNING: The property '" + property + "' is NOT defined.");
}

} // namespace

void Orvex_Compander_Extension_AudioUnit::setSamplerate() {
    const double rate = (*wrapped()->outputBusses())[0]->format()->sampleRate();
    kernelAdapter->setSamplerate(static_cast<float>(rate));
}

void Orvex_Compander_Extension_AudioUnit::allocateRenderResources() {
    // Misuse (the render thread, say) is refused before any step of ours runs.
    if (!checkTransition("allocateRenderResources")) return;
    debugprint("AUExtension::allocateRenderResources()");
    const auto limiter = wrapped();

    // The kernel and the limiter work on a stereo pair; another channel count would index past
    // the buffer lists, so it is refused before anything is prepared.
    if ((*limiter->outputBusses())[0]->format()->channelCount() != 2) {
        throw pf::NSErrorException(pf::osStatusError(pf::kAudioUnitErr_FormatNotSupported));
    }

    const auto count = outputBusses()->count();
    for (pf::NSUInteger i = 0; i < count; ++i) {
        (*outputBusses())[i]->setShouldAllocateBuffer(true);
    }

    if (!kernelAdapter->allocateRenderResources()) {
        // Nothing half-made stays behind: a unit that was allocated is released.
        if (renderResourcesAllocated()) deallocateRenderResources();
        const auto frames = std::to_string(maximumFramesToRender());
        throw pf::NSErrorException(pf::NSError(
            pf::NSOSStatusErrorDomain, pf::kAudioUnitErr_TooManyFramesToProcess,
            {{pf::NSLocalizedDescriptionKey, "The input buffer of " + frames +
                                                 " frames (maximumFramesToRender) cannot be "
                                                 "allocated."}}));
    }
    setSamplerate();

    kernelAdapter->setAUHostMusicalContextBlock(musicalContextBlock());
    logHostBlock(static_cast<bool>(musicalContextBlock()), "musicalContextBlock");
    kernelAdapter->setAUHostTransportStateBlock(transportStateBlock());
    logHostBlock(static_cast<bool>(transportStateBlock()), "transportStateBlock");
    kernelAdapter->setAUScheduleMIDIEventBlock(scheduleMIDIEventBlock());
    logHostBlock(static_cast<bool>(scheduleMIDIEventBlock()), "scheduleMIDIEventBlock");
    kernelAdapter->setAUMIDIOutputEventBlock(MIDIOutputEventBlock());
    logHostBlock(static_cast<bool>(MIDIOutputEventBlock()), "midiOutputEventBlock");

    (*limiter->inputBusses())[0]->setEnabled(true);
    (*limiter->outputBusses())[0]->setEnabled(true);

    debugprint("AUExtension: Native wrapped unit input samplerate (prior): " +
               rateText(limiter->inputBusses()) + ".");
    debugprint("AUExtension: Native wrapped unit output samplerate (prior): " +
               rateText(limiter->outputBusses()) + ".");

    pf::NSError error(pf::NSOSStatusErrorDomain, pf::noErr);
    if (!(*limiter->inputBusses())[0]->setFormat((*outputBusses())[0]->format(), &error) ||
        !(*limiter->outputBusses())[0]->setFormat((*outputBusses())[0]->format(), &error)) {
        debugprint("AUExtension: WARNING: The format could not be set to the wrapped unit: " +
                   error.localizedDescription() + ".");
    }

    debugprint("AUExtension: New wrapped unit input samplerate: " +
               rateText(limiter->inputBusses()) + ".");
    debugprint("AUExtension: New wrapped unit output samplerate: " +
               rateText(limiter->outputBusses()) + ".");

    // The limiter refuses cycles above its own maximum; it takes the kernel's, so no cycle the
    // kernel renders goes unlimited.
    limiter->setMaximumFramesToRender(kernelAdapter->maximumFramesToRender());
    limiter->allocateRenderResources();

    effect->setAttackTime(0.1);
    effect->setDecayTime(0.1);
    effect->setPreGain(-0.01);

    AUAudioUnit::allocateRenderResources();
}

void Orvex_Compander_Extension_AudioUnit::deallocateRenderResources() {
    if (!checkTransition("deallocateRenderResources")) return;
    debugprint("AUExtension::deallocateRenderResources()");
    kernelAdapter->deallocateRenderResources();
    wrapped()->deallocateRenderResources();
    AUAudioUnit::deallocateRenderResources();
}

void Orvex_Compander_Extension_AudioUnit::reset() {
    debugprint("AUExtension::reset()");
    kernelAdapter->reset();
    wrapped()->reset();
}

pf::AudioBufferList* Orvex_Compander_Extension_AudioUnit::currentOuputData() const {
    return renderState->currentOuputData.load(std::memory_order_relaxed);
}

pf::AURenderPullInputBlock Orvex_Compander_Extension_AudioUnit::renderPullInputBlock() const {
    return [state = renderState](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                                 pf::AUAudioFrameCount, pf::NSInteger,
                                 pf::AudioBufferList* inputData) noexcept -> pf::AUAudioUnitStatus {
        const pf::AudioBufferList* output = state->currentOuputData.load(std::memory_order_relaxed);
        if (output == nullptr || inputData == nullptr) return pf::noErr;
        const std::uint32_t shared = std::min(output->mNumberBuffers, inputData->mNumberBuffers);
        for (std::uint32_t i = 0; i < shared; ++i) {
            inputData->mBuffers[i] = output->mBuffers[i];
        }
        return pf::noErr;
    };
}

pf::AUInternalRenderBlock Orvex_Compander_Extension_AudioUnit::internalRenderBlock() {
    return [adapter = kernelAdapter, limiterBlock = wrapped()->internalRenderBlock(),
            limiterPull = renderPullInputBlock(), midiOut = MIDIOutputEventBlock(),
            state = renderState](
               pf::AudioUnitRenderActionFlags* actionFlags, const pf::AudioTimeStamp* timestamp,
               pf::AUAudioFrameCount frameCount, pf::NSInteger outputBusNumber,
               pf::AudioBufferList* outputData, const pf::AURenderEvent* realtimeEventListHead,
               const pf::AURenderPullInputBlock& pullInputBlock) noexcept -> pf::AUAudioUnitStatus {
        if (outputBusNumber > 0) return pf::kAudioUnitErr_NoConnection;

        state->currentOuputData.store(outputData, std::memory_order_relaxed);
        if (midiOut) adapter->setAUMIDIOutputEventBlock(midiOut);

        const pf::AUAudioUnitStatus status =
            adapter->render(actionFlags, timestamp, frameCount, outputBusNumber, outputData,
                            realtimeEventListHead, pullInputBlock);
        if (status != pf::noErr) {
            // The output was not produced, so there is nothing to limit: report the failure.
            pf::LogRing::shared().tryPostf(
                "AUExtension::ERROR: We have a problem with the kernel! %d", int{status});
            return status;
        }

        if (adapter->getParameterEx(kCompanderFinalLimiter) != 1.0f) return status;

        const pf::AUAudioUnitStatus limiterStatus =
            limiterBlock(actionFlags, timestamp, frameCount, 0, outputData, nullptr, limiterPull);
        if (limiterStatus != pf::noErr) {
            pf::LogRing::shared().tryPostf(
                "AUExtension::ERROR: We have a problem with the wrapped unit! %d",
                int{limiterStatus});
        }
        return pf::noErr;
    };
}
