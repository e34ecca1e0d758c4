#include "RenderHarness.h"

#include <algorithm>
#include <cstring>

#include "audio/AVAudioFormat.h"
#include "audio/ScopedFlushDenormals.h"
#include "core/RenderThread.h"

namespace unittest {

RenderHarness::RenderHarness(std::shared_ptr<pf::AUAudioUnit> unit)
    : RenderHarness(std::move(unit), Options{}) {}

RenderHarness::RenderHarness(std::shared_ptr<pf::AUAudioUnit> unit, Options options)
    : unit_(std::move(unit)), options_(options), inputLeft_(1, 0.0f), inputRight_(1, 0.0f),
      outputLeft_(kBufferFrames, 0.0f), outputRight_(kBufferFrames, 0.0f) {
    pullBlock_ = [this](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                        pf::AUAudioFrameCount frames, pf::NSInteger,
                        pf::AudioBufferList* list) noexcept -> pf::AUAudioUnitStatus {
        const std::uint32_t channels = std::min<std::uint32_t>(list->mNumberBuffers, 2);
        const std::size_t length = inputLeft_.size();
        for (std::uint32_t c = 0; c < channels; ++c) {
            auto* out = static_cast<float*>(list->mBuffers[c].mData);
            const float* source = (c == 0 ? inputLeft_ : inputRight_).data();
            // The signal in runs up to its end, wrapping to its start.
            std::size_t at = inputPosition_;
            for (pf::AUAudioFrameCount done = 0; done < frames;) {
                const auto run = static_cast<pf::AUAudioFrameCount>(
                    std::min<std::size_t>(frames - done, length - at));
                std::memcpy(out + done, source + at, run * sizeof(float));
                done += run;
                at = (at + run) % length;
            }
        }
        inputPosition_ = (inputPosition_ + frames) % length;
        return pf::noErr;
    };
}

RenderHarness::~RenderHarness() {
    if (renderBlock_) unit_->deallocateRenderResources();
}

void RenderHarness::setInput(std::vector<float> left, std::vector<float> right) {
    inputLeft_ = std::move(left);
    inputRight_ = std::move(right);
    inputPosition_ = 0;
}

void RenderHarness::allocate() {
    const auto format = pf::AVAudioFormat::standardFormatWithSampleRate(options_.sampleRate, 2);
    (*unit_->inputBusses())[0]->setFormat(format);
    (*unit_->outputBusses())[0]->setFormat(format);
    unit_->setMaximumFramesToRender(options_.maximumFrames);
    unit_->allocateRenderResources();
    renderBlock_ = unit_->internalRenderBlock();
}

bool RenderHarness::scheduleParameter(pf::AUEventSampleTime time, pf::AUParameterAddress address,
                                      pf::AUValue value) {
    if (scheduled_ == kMaximumEvents) return false;
    pf::AUParameterEvent& event = events_[scheduled_++].parameter;
    event = pf::AUParameterEvent{};
    event.eventSampleTime = time;
    event.eventType = pf::AURenderEventParameter;
    event.parameterAddress = address;
    event.value = value;
    return true;
}

void RenderHarness::prepareOutput(pf::AUAudioFrameCount frames) noexcept {
    output_.mNumberBuffers = 2;
    float* channels[2] = {outputLeft_.data(), outputRight_.data()};
    for (std::uint32_t c = 0; c < 2; ++c) {
        output_.mBuffers[c].mNumberChannels = 1;
        output_.mBuffers[c].mDataByteSize = frames * sizeof(float);
        output_.mBuffers[c].mData = options_.outputInPlace ? nullptr : channels[c];
    }
}

pf::AUAudioUnitStatus RenderHarness::renderCycle(pf::AUAudioFrameCount frames,
                                                 pf::NSInteger bus) noexcept {
    prepareOutput(std::min(frames, kBufferFrames));

    // Link the events that fall before the end of this cycle, in order.
    const pf::AUEventSampleTime end = now_ + frames;
    pf::AURenderEvent* head = nullptr;
    pf::AURenderEvent* tail = nullptr;
    while (nextEvent_ < scheduled_ && events_[nextEvent_].head.eventSampleTime < end) {
        pf::AURenderEvent* event = &events_[nextEvent_++];
        event->head.next = nullptr;
        if (tail != nullptr)
            tail->head.next = event;
        else
            head = event;
        tail = event;
    }

    pf::AudioTimeStamp timestamp;
    timestamp.mSampleTime = static_cast<double>(now_);
    timestamp.mFlags = pf::kAudioTimeStampSampleTimeValid;
    pf::AudioUnitRenderActionFlags flags = 0;
    pf::AUAudioUnitStatus status = pf::kAudioUnitErr_Uninitialized;
    if (renderBlock_) {
        const pf::RenderThreadScope renderThread;
        const pf::ScopedFlushDenormals denormals;
        status = renderBlock_(&flags, &timestamp, frames, bus, &output_, head, pullBlock_);
    }
    now_ = end;
    return status;
}

} // namespace unittest
