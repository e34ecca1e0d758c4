// FormatConverter: turns a pulled stream of one standard format into another: sample-rate
// conversion and channel mapping, as the engine's mixer and player node need them.
//
// Pull model: `render` produces exactly the frames asked for and pulls its input through a plain
// function pointer, in chunks of at most kMaximumPullFrames, as many as the output needs. At equal
// rates the input passes through untouched (bit-exact); otherwise a windowed-sinc interpolator
// keeps the band below 0.91 × the lower Nyquist frequency: 32 taps when upsampling, widened in
// proportion when downsampling. When the rates in lowest terms give at most 1024 output phases
// (44.1 → 48 kHz gives 160) the table holds every phase exactly; otherwise 256 phases with linear
// interpolation between them.
//
// Channels: equal counts map one to one; one input channel feeds every output channel; several
// input channels into one output channel are averaged; otherwise channel c takes input channel c
// and channels the input lacks are silent.
//
// Why our own resampler instead of libswresample: swr_convert keeps its own FIFO and grows it on
// demand, and it converts push-style (input count in, whatever output comes out), while the pull
// graph must produce an exact frame count per cycle without allocating. A fixed table and a
// history buffer sized at configure time give both.
//
// Threads: `configure` allocates: [any-thread, not render]. `render` and `reset` are
// [render-thread]: no allocation, no lock.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/AVAudioFormat.h"
#include "audio/CoreAudioTypes.h"

namespace pf {

class FormatConverter {
public:
    static constexpr AUAudioFrameCount kMaximumPullFrames = 4096;
    // Output frames one `render` call may produce.
    static constexpr AUAudioFrameCount kMaximumRenderFrames = 4096;

    // Fills `frames` frames of every input channel; `channels` holds one pointer per input channel.
    using Pull = void (*)(void* context, AUAudioFrameCount frames, float* const* channels) noexcept;

    FormatConverter() = default;

    // Prepares the conversion from `input` to `output`; allocates. Rates are rounded to whole
    // hertz; a ratio beyond 1:8 either way is clamped to it (the filter is sized for it).
    void configure(const AVAudioFormat& input, const AVAudioFormat& output);
    bool isConfigured() const noexcept { return inChannels_ != 0; }
    bool isResampling() const noexcept { return inRate_ != outRate_; }
    AVAudioChannelCount inputChannels() const noexcept { return inChannels_; }
    AVAudioChannelCount outputChannels() const noexcept { return outChannels_; }

    // Output frames that `inputFrames` input frames make (rounded up).
    std::uint64_t outputFramesFor(std::uint64_t inputFrames) const noexcept;

    // Produces `frames` (≤ kMaximumRenderFrames) frames into `output`, one pointer per output
    // channel, pulling input from `pull`.
    void render(AUAudioFrameCount frames, float* const* output, Pull pull, void* context) noexcept;
    // Forgets the history: the next output starts afresh at input frame 0.
    void reset() noexcept;

private:
    void mapChannels(AUAudioFrameCount frames, const float* const* in,
                     float* const* out) const noexcept;
    void resample(AUAudioFrameCount frames, float* const* out, Pull pull, void* context) noexcept;
    void refill(std::uint64_t neededEnd, Pull pull, void* context) noexcept;

    AVAudioChannelCount inChannels_ = 0;
    AVAudioChannelCount outChannels_ = 0;
    std::uint64_t inRate_ = 0;
    std::uint64_t outRate_ = 0;

    // Input channels pulled or resampled before they are mapped (when the counts differ).
    std::vector<float> stage_;
    std::vector<float*> stagePointers_;

    // Resampling: per input channel a history buffer; the taps of the next output start at
    // `base_`, its fractional position is fraction_ / outRate_ input frames.
    int taps_ = 0;
    static constexpr int kPhases = 256;
    static constexpr std::uint64_t kMaximumExactPhases = 1024;
    bool exact_ = false;
    std::vector<float> table_; // (kPhases + 1) rows of taps_ weights
    std::vector<float> weights_;
    std::vector<float> history_;
    std::vector<float*> historyPointers_;
    std::size_t historyCapacity_ = 0;
    std::size_t available_ = 0;
    std::size_t base_ = 0;
    std::uint64_t fraction_ = 0;
};

} // namespace pf
