// Shared pieces of the engine tests: a gain unit (× 0.5) that records how the host treated it,
// generated audio files in a temporary folder, and tone measurements.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../avfile/TestSupport.h"
#include "AacM4aWriter.h"
#include "AudioSynth.h"
#include "audio/AUAudioUnit.h"
#include "audio/AVAudioEngine.h"
#include "audio/AVAudioFile.h"
#include "audio/devices/AudioOutputDevice.h"

namespace enginetest {

// What the host did to the unit, in order.
struct GainLog {
    std::mutex mutex;
    std::vector<std::string> events;
    std::atomic<pf::AUAudioFrameCount> largestCycle{0};
    std::atomic<int> cycles{0};
    // Cycles whose sample time does not continue the previous cycle.
    std::atomic<int> timeGaps{0};
    double nextSampleTime = -1;
    // While set, allocation waits for it to be released (a test holding the engine busy).
    std::atomic<bool> blockAllocation{false};
    std::atomic<bool> allocationWaiting{false};

    void add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return events;
    }
};

// Pulls its stereo input into the output list and multiplies it by 0.5.
class GainUnit final : public pf::AUAudioUnit {
public:
    GainUnit() : log_(std::make_shared<GainLog>()) {
        const auto bus = [] {
            return pf::AUAudioUnitBus::initWithFormat(
                pf::AVAudioFormat::standardFormatWithSampleRate(48000.0, 2));
        };
        inputs_ = pf::AUAudioUnitBusArray::make(
            ownerAnchor(), pf::AUAudioUnitBusType::AUAudioUnitBusTypeInput, {bus()});
        outputs_ = pf::AUAudioUnitBusArray::make(
            ownerAnchor(), pf::AUAudioUnitBusType::AUAudioUnitBusTypeOutput, {bus()});
        initWithComponentDescription(
            {pf::fourCharCode("aumf"), pf::fourCharCode("gain"), pf::fourCharCode("Test"), 0, 0});
    }

    std::shared_ptr<pf::AUAudioUnitBusArray> inputBusses() override { return inputs_; }
    std::shared_ptr<pf::AUAudioUnitBusArray> outputBusses() override { return outputs_; }
    std::vector<std::string> MIDIOutputNames() const override { return {"Gain MIDI Out"}; }

    void setMaximumFramesToRender(pf::AUAudioFrameCount frames) override {
        log_->add("maximumFramesToRender " + std::to_string(frames));
        AUAudioUnit::setMaximumFramesToRender(frames);
    }
    void setMIDIOutputEventBlock(pf::AUMIDIOutputEventBlock block) override {
        log_->add("midiOutputEventBlock");
        AUAudioUnit::setMIDIOutputEventBlock(std::move(block));
    }
    void allocateRenderResources() override {
        log_->allocationWaiting.store(true);
        while (log_->blockAllocation.load())
            std::this_thread::yield();
        log_->allocationWaiting.store(false);
        AUAudioUnit::allocateRenderResources();
        log_->add("allocate " + std::to_string(int((*inputs_)[0]->format()->sampleRate())) + "/" +
                  std::to_string(int((*outputs_)[0]->format()->sampleRate())));
    }
    void deallocateRenderResources() override {
        AUAudioUnit::deallocateRenderResources();
        log_->add("deallocate");
    }

    pf::AUInternalRenderBlock internalRenderBlock() override {
        log_->add(MIDIOutputEventBlock() ? "renderBlock with midi" : "renderBlock");
        return pf::AUInternalRenderBlock(
            [log = log_](pf::AudioUnitRenderActionFlags* flags, const pf::AudioTimeStamp* ts,
                         pf::AUAudioFrameCount frames, pf::NSInteger, pf::AudioBufferList* out,
                         const pf::AURenderEvent*,
                         const pf::AURenderPullInputBlock& pull) noexcept -> pf::AUAudioUnitStatus {
                log->cycles.fetch_add(1);
                if (frames > log->largestCycle.load()) log->largestCycle.store(frames);
                if (log->nextSampleTime >= 0 && ts->mSampleTime != log->nextSampleTime) {
                    log->timeGaps.fetch_add(1);
                }
                log->nextSampleTime = ts->mSampleTime + frames;
                if (!pull) return pf::kAudioUnitErr_NoConnection;
                if (const auto s = pull(flags, ts, frames, 0, out)) return s;
                for (std::uint32_t b = 0; b < out->mNumberBuffers; ++b) {
                    auto* data = static_cast<float*>(out->mBuffers[b].mData);
                    for (std::uint32_t i = 0; i < frames; ++i)
                        data[i] *= 0.5f;
                }
                return pf::noErr;
            });
    }

    const std::shared_ptr<GainLog>& log() const { return log_; }

private:
    std::shared_ptr<GainLog> log_;
    std::shared_ptr<pf::AUAudioUnitBusArray> inputs_;
    std::shared_ptr<pf::AUAudioUnitBusArray> outputs_;
};

inline std::shared_ptr<pf::AVAudioUnit> makeGainNode(std::shared_ptr<GainUnit>* unitOut = nullptr) {
    auto unit = std::make_shared<GainUnit>();
    if (unitOut != nullptr) *unitOut = unit;
    return std::make_shared<pf::AVAudioUnit>(unit);
}

using avfiletest::TempDir;
using avfiletest::zeroCrossingFrequency;

// Writes a stereo tone (left at `amplitude`, right at half) as AAC in m4a; returns its URL.
inline pf::URL writeTone(const std::string& path, int rate, double hz, std::size_t frames,
                         float amplitude = 0.5f) {
    audiofiles::writeAacM4a(path, audiofiles::synthesiseTone(rate, hz, frames, amplitude));
    return pf::URL::fileURLWithPath(path);
}

// The same tone, opened for reading.
inline std::shared_ptr<pf::AVAudioFile> toneFile(const TempDir& dir, const std::string& name,
                                                 int rate, double hz, std::size_t frames) {
    return pf::AVAudioFile::forReading(writeTone(dir.file(name), rate, hz, frames));
}

inline double peak(const std::vector<float>& x, std::size_t from, std::size_t to) {
    double p = 0;
    for (std::size_t i = from; i < to && i < x.size(); ++i)
        p = std::max(p, double(std::fabs(x[i])));
    return p;
}

// Renders `frames` frames from the running manual device, in cycles of `cycle` frames.
inline std::vector<std::vector<float>> renderFrames(std::size_t frames,
                                                    pf::AUAudioFrameCount cycle = 512) {
    auto device = pf::ManualAudioDevice::current();
    std::vector<std::vector<float>> out(2);
    for (std::size_t done = 0; done < frames; done += cycle) {
        const auto part = device->render(
            static_cast<pf::AUAudioFrameCount>(std::min<std::size_t>(cycle, frames - done)));
        for (int c = 0; c < 2; ++c)
            out[c].insert(out[c].end(), part[c].begin(), part[c].end());
    }
    return out;
}

// Selects the manual device for every engine these tests start.
struct ManualOutput {
    ManualOutput() { pf::setAudioOutputOverride("manual"); }
    ~ManualOutput() { pf::setAudioOutputOverride(std::nullopt); }
};

} // namespace enginetest
