#include "audio/units/PeakLimiterUnit.h"

#include <cmath>
#include <vector>

#include "audio/units/PeakLimiterDSP.h"
#include "core/RenderThread.h"

namespace pf {

// The state shared by the unit, its parameter tree and its render blocks. Only the render block
// touches it during a cycle; allocation, release and reset run while no cycle does (the host's
// obligation), so nothing here needs a lock.
struct PeakLimiterUnit::Renderer {
    PeakLimiterDSP dsp;
    std::vector<float> inputMemory; // channels × maximumFrames, preallocated
    AUAudioFrameCount maximumFrames = 0;
    int channels = 0;
    std::atomic<bool> allocated{false};
    bool haveExpectedTime = false;
    double expectedSampleTime = 0;
    AudioBufferList inputList;

    AUAudioUnitStatus render(const AudioTimeStamp* timestamp, AUAudioFrameCount frames,
                             NSInteger outputBusNumber, AudioBufferList* outputData,
                             const AURenderPullInputBlock& pullInputBlock) noexcept;
};

AUAudioUnitStatus PeakLimiterUnit::Renderer::render(const AudioTimeStamp* timestamp,
                                                    AUAudioFrameCount frames,
                                                    NSInteger outputBusNumber,
                                                    AudioBufferList* outputData,
                                                    const AURenderPullInputBlock& pull) noexcept {
    if (!allocated.load(std::memory_order_acquire)) return kAudioUnitErr_Uninitialized;
    if (outputBusNumber != 0 || !pull) return kAudioUnitErr_NoConnection;
    if (outputData == nullptr || timestamp == nullptr) return kAudio_ParamError;
    if (frames > maximumFrames) return kAudioUnitErr_TooManyFramesToProcess;

    const auto bytes = static_cast<std::uint32_t>(frames * sizeof(float));
    const auto count = static_cast<std::uint32_t>(channels);
    inputList.mNumberBuffers = count;
    for (std::uint32_t c = 0; c < count; ++c) {
        inputList.mBuffers[c] = {1, bytes, inputMemory.data() + std::size_t(c) * maximumFrames};
    }
    AudioUnitRenderActionFlags pullFlags = 0;
    if (const AUAudioUnitStatus status = pull(&pullFlags, timestamp, frames, 0, &inputList)) {
        return status;
    }
    if (inputList.mNumberBuffers < count || outputData->mNumberBuffers < count) {
        return kAudio_ParamError;
    }

    const float* in[PeakLimiterDSP::kMaximumChannels] = {};
    float* out[PeakLimiterDSP::kMaximumChannels] = {};
    for (std::uint32_t c = 0; c < count; ++c) {
        const AudioBuffer& source = inputList.mBuffers[c];
        AudioBuffer& target = outputData->mBuffers[c];
        if (source.mData == nullptr || source.mDataByteSize < bytes) return kAudio_ParamError;
        if (target.mData == nullptr)
            target.mData = source.mData; // render in place
        else if (target.mDataByteSize < bytes)
            return kAudio_ParamError;
        target.mDataByteSize = bytes;
        in[c] = static_cast<const float*>(source.mData);
        out[c] = static_cast<float*>(target.mData);
    }

    // A cycle that does not follow on from the previous one belongs to another stream: the
    // audio in the look-ahead would otherwise be replayed into it. Only a valid sample time
    // can tell; a host that gives none is taken to be continuous.
    if ((timestamp->mFlags & kAudioTimeStampSampleTimeValid) != 0) {
        if (haveExpectedTime && timestamp->mSampleTime != expectedSampleTime) dsp.resetLookahead();
        expectedSampleTime = timestamp->mSampleTime + frames;
        haveExpectedTime = true;
    }

    return dsp.process(in, out, channels, frames) ? noErr : kAudio_ParamError;
}

// ---- PeakLimiterUnit -----------------------------------------------------------------------

std::shared_ptr<PeakLimiterUnit>
PeakLimiterUnit::create(const AudioComponentDescription& description,
                        AudioComponentInstantiationOptions options) {
    return std::make_shared<PeakLimiterUnit>(description, options);
}

PeakLimiterUnit::PeakLimiterUnit(const AudioComponentDescription& description,
                                 AudioComponentInstantiationOptions options)
    : renderer_(std::make_shared<Renderer>()) {
    const auto parameter = [](const char* id, const char* name, AUParameterAddress address,
                              const PeakLimiterDSP::Range& range, AudioUnitParameterUnit unit) {
        auto p = AUParameterTree::createParameter(
            id, name, address, range.minimum, range.maximum, unit, std::nullopt,
            kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable, std::nullopt,
            std::nullopt);
        p->setValue(range.initial);
        return p;
    };
    tree_ = AUParameterTree::createTree(
        {parameter("attackTime", "Attack Time", kAttackTime, PeakLimiterDSP::kAttackTime,
                   kAudioUnitParameterUnit_Seconds),
         parameter("decayTime", "Decay Time", kDecayTime, PeakLimiterDSP::kDecayTime,
                   kAudioUnitParameterUnit_Seconds),
         parameter("preGain", "Pre-Gain", kPreGain, PeakLimiterDSP::kPreGain,
                   kAudioUnitParameterUnit_Decibels)});
    // The DSP clamps and ignores non-finite values; reads come back from it, so a host reads the
    // value in effect.
    tree_->setImplementorValueObserver([renderer = renderer_](AUParameter& p, AUValue value) {
        switch (p.address()) {
        case kAttackTime:
            renderer->dsp.setAttackTime(value);
            break;
        case kDecayTime:
            renderer->dsp.setDecayTime(value);
            break;
        case kPreGain:
            renderer->dsp.setPreGain(value);
            break;
        default:
            break;
        }
    });
    tree_->setImplementorValueProvider([renderer = renderer_](AUParameter& p) -> AUValue {
        switch (p.address()) {
        case kAttackTime:
            return renderer->dsp.attackTime();
        case kDecayTime:
            return renderer->dsp.decayTime();
        case kPreGain:
            return renderer->dsp.preGain();
        default:
            return 0.0f;
        }
    });

    const auto bus = [] {
        auto b =
            AUAudioUnitBus::initWithFormat(AVAudioFormat::standardFormatWithSampleRate(44100.0, 2));
        b->setMaximumChannelCount(PeakLimiterDSP::kMaximumChannels);
        return b;
    };
    inputBusses_ = AUAudioUnitBusArray::make(ownerAnchor(),
                                             AUAudioUnitBusType::AUAudioUnitBusTypeInput, {bus()});
    outputBusses_ = AUAudioUnitBusArray::make(
        ownerAnchor(), AUAudioUnitBusType::AUAudioUnitBusTypeOutput, {bus()});

    initWithComponentDescription(description, options);
}

PeakLimiterUnit::~PeakLimiterUnit() = default;

void PeakLimiterUnit::setShouldBypassEffect(bool bypass) {
    AUAudioUnit::setShouldBypassEffect(bypass);
    renderer_->dsp.setBypass(bypass);
}

double PeakLimiterUnit::latency() const {
    if (renderer_->allocated.load(std::memory_order_acquire)) {
        return renderer_->dsp.latencySeconds();
    }
    // The DSP's documented look-ahead, floor(1.5 ms × rate) frames; a test holds the two equal.
    const double rate = (*outputBusses_)[0]->format()->sampleRate();
    return std::floor(rate * 3.0 / 2000.0) / rate;
}

void PeakLimiterUnit::allocateRenderResources() {
    const auto refuse = [] {
        throw NSErrorException(osStatusError(kAudioUnitErr_FormatNotSupported));
    };
    const auto inFormat = (*inputBusses_)[0]->format();
    const auto outFormat = (*outputBusses_)[0]->format();
    if (inFormat->channelCount() != outFormat->channelCount() ||
        inFormat->sampleRate() != outFormat->sampleRate() ||
        outFormat->channelCount() > PeakLimiterDSP::kMaximumChannels) {
        refuse();
    }
    AUAudioUnit::allocateRenderResources();
    if (!renderResourcesAllocated()) return; // misuse, already reported

    Renderer& r = *renderer_;
    r.allocated.store(false, std::memory_order_release);
    const AUAudioFrameCount frames = maximumFramesToRender();
    if (!r.dsp.prepare(outFormat->sampleRate(), frames)) {
        AUAudioUnit::deallocateRenderResources();
        refuse();
    }
    r.channels = static_cast<int>(outFormat->channelCount());
    r.maximumFrames = frames;
    r.inputMemory.assign(std::size_t(r.channels) * frames, 0.0f);
    r.haveExpectedTime = false;
    r.dsp.setBypass(shouldBypassEffect());
    r.allocated.store(true, std::memory_order_release);
}

void PeakLimiterUnit::deallocateRenderResources() {
    AUAudioUnit::deallocateRenderResources();
    if (renderResourcesAllocated()) return; // misuse, already reported
    Renderer& r = *renderer_;
    r.allocated.store(false, std::memory_order_release);
    r.inputMemory.clear();
    r.inputMemory.shrink_to_fit();
}

void PeakLimiterUnit::reset() {
    AUAudioUnit::reset();
    if (isRenderThread()) return; // misuse, already reported
    renderer_->dsp.reset();
    renderer_->haveExpectedTime = false;
}

AUInternalRenderBlock PeakLimiterUnit::internalRenderBlock() {
    // The block holds the renderer, not the unit, so a host's block never keeps the unit alive.
    return AUInternalRenderBlock(
        [renderer = renderer_](AudioUnitRenderActionFlags*, const AudioTimeStamp* timestamp,
                               AUAudioFrameCount frames, NSInteger bus, AudioBufferList* output,
                               const AURenderEvent*,
                               const AURenderPullInputBlock& pull) noexcept -> AUAudioUnitStatus {
            return renderer->render(timestamp, frames, bus, output, pull);
        });
}

// ---- Built-in components ---------------------------------------------------------------------

void registerBuiltInAudioComponents(AudioComponentRegistry& registry) {
    registry.registerComponent(
        PeakLimiterUnit::kComponentDescription, PeakLimiterUnit::kComponentName,
        PeakLimiterUnit::kComponentVersion,
        [](const AudioComponentDescription& description,
           AudioComponentInstantiationOptions options) -> std::shared_ptr<AUAudioUnit> {
            return PeakLimiterUnit::create(description, options);
        });
}

} // namespace pf
