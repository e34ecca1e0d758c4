// A minimal host around the kernel adapter: it makes and allocates the adapter and pulls input
// from a stereo signal, cycle after cycle.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

#include "Defaults.h"
#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "Signals.h"
#include "audio/AUBlocks.h"

namespace testsupport {

using Adapter = Orvex_Compander_ExtensionDSPKernelAdapter;

inline std::shared_ptr<Adapter> makeAllocatedAdapter(pf::AUAudioFrameCount maximumFrames = 4096) {
    auto adapter = std::make_shared<Adapter>();
    pushDefaults(*adapter);
    adapter->setMaximumFramesToRender(maximumFrames);
    adapter->allocateRenderResources();
    return adapter;
}

// Plays a stereo signal into whatever list the adapter hands over, wrapping at its end.
class SignalSource {
public:
    explicit SignalSource(testsignals::Stereo signal) : signal_(std::move(signal)) {}

    pf::AURenderPullInputBlock pullBlock() {
        return [this](pf::AudioUnitRenderActionFlags*, const pf::AudioTimeStamp*,
                      pf::AUAudioFrameCount frames, pf::NSInteger, pf::AudioBufferList* list) {
            fill(frames, list);
            return pf::noErr;
        };
    }

    void fill(pf::AUAudioFrameCount frames, pf::AudioBufferList* list) noexcept {
        for (pf::AUAudioFrameCount i = 0; i < frames; ++i) {
            const std::size_t at = (position_ + i) % signal_.size();
            static_cast<float*>(list->mBuffers[0].mData)[i] = signal_.left[at];
            static_cast<float*>(list->mBuffers[1].mData)[i] = signal_.right[at];
        }
        position_ = (position_ + frames) % signal_.size();
    }

    const testsignals::Stereo& signal() const { return signal_; }

private:
    testsignals::Stereo signal_;
    std::size_t position_ = 0;
};

} // namespace testsupport
