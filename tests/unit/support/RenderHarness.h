// A host around one audio unit, for tests and benchmarks: it sets the published bus formats and
// the maximum frame count, allocates the unit's render resources, serves input through a pull
// block (a stereo signal played in a loop), hands the unit scheduled parameter events at their
// sample times, and renders cycle after cycle into buffers of its own (or in place), the way a
// host does. Everything a cycle needs is made before the first cycle: rendering allocates nothing.
//
// Threads: one thread drives it; `renderCycle` marks that thread as the render thread for the
// cycle and flushes subnormals, as a host's render callback does.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "audio/AUAudioUnit.h"

namespace unittest {

class RenderHarness {
public:
    struct Options {
        double sampleRate = 48000.0;
        pf::AUAudioFrameCount maximumFrames = 4096;
        // Output buffers with null data: the unit renders in place on its input.
        bool outputInPlace = false;
    };
    static constexpr std::size_t kMaximumEvents = 256;
    // Output buffers hold this many frames, so cycles above the maximum can be asked for.
    static constexpr pf::AUAudioFrameCount kBufferFrames = 16384;

    explicit RenderHarness(std::shared_ptr<pf::AUAudioUnit> unit);
    RenderHarness(std::shared_ptr<pf::AUAudioUnit> unit, Options options);
    ~RenderHarness();
    RenderHarness(const RenderHarness&) = delete;
    RenderHarness& operator=(const RenderHarness&) = delete;

    // The signal the pull block serves, both channels the same length (not empty).
    void setInput(std::vector<float> left, std::vector<float> right);

    // Sets the published input and output formats (standard, stereo, at the rate), the maximum
    // frame count, allocates (throws what the unit throws) and takes the unit's render block.
    void allocate();

    // Schedules a parameter event at an absolute sample time; events must come in time order.
    // False when the event store is full.
    bool scheduleParameter(pf::AUEventSampleTime time, pf::AUParameterAddress address,
                           pf::AUValue value);

    // One cycle of `frames` frames for output bus `bus`, with the events that fall before its end.
    // The sample time advances by `frames` whatever the status.
    pf::AUAudioUnitStatus renderCycle(pf::AUAudioFrameCount frames, pf::NSInteger bus = 0) noexcept;

    // The output list of the last cycle, and its two channels.
    const float* left() const { return static_cast<const float*>(output_.mBuffers[0].mData); }
    const float* right() const { return static_cast<const float*>(output_.mBuffers[1].mData); }

private:
    void prepareOutput(pf::AUAudioFrameCount frames) noexcept;

    std::shared_ptr<pf::AUAudioUnit> unit_;
    Options options_;
    pf::AUInternalRenderBlock renderBlock_;
    pf::AURenderPullInputBlock pullBlock_;

    std::vector<float> inputLeft_, inputRight_;
    std::size_t inputPosition_ = 0;
    std::vector<float> outputLeft_, outputRight_;
    pf::AudioBufferList output_;

    std::array<pf::AURenderEvent, kMaximumEvents> events_;
    std::size_t scheduled_ = 0;
    std::size_t nextEvent_ = 0;
    pf::AUEventSampleTime now_ = 0;
};

} // namespace unittest
