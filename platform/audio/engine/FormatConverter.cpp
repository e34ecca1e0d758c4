#include "audio/engine/FormatConverter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

namespace pf {

namespace {

constexpr int kHalfTapsUpsampling = 16;
constexpr double kCutoff = 0.91;
constexpr double kKaiserBeta = 8.0;
constexpr double kMaximumRatio = 8.0;

double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

double sinc(double x) {
    if (std::fabs(x) < 1e-12) return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

} // namespace

void FormatConverter::configure(const AVAudioFormat& input, const AVAudioFormat& output) {
    inChannels_ = input.channelCount();
    outChannels_ = output.channelCount();
    inRate_ = static_cast<std::uint64_t>(std::llround(input.sampleRate()));
    outRate_ = static_cast<std::uint64_t>(std::llround(output.sampleRate()));
    inRate_ = std::max<std::uint64_t>(inRate_, 1);
    outRate_ = std::max<std::uint64_t>(outRate_, 1);
    if (inRate_ != outRate_) {
        const double ratio = static_cast<double>(outRate_) / static_cast<double>(inRate_);
        if (ratio > kMaximumRatio) inRate_ = (outRate_ + 7) / 8;
        if (ratio < 1.0 / kMaximumRatio) outRate_ = (inRate_ + 7) / 8;
        // In lowest terms the output positions cycle through outRate_ fractions of an input
        // frame; when they are few, the table holds each one exactly.
        const std::uint64_t divisor = std::gcd(inRate_, outRate_);
        inRate_ /= divisor;
        outRate_ /= divisor;
    }

    const std::size_t stageFrames = kMaximumRenderFrames;
    stage_.assign(std::size_t{inChannels_} * stageFrames, 0.0f);
    stagePointers_.resize(inChannels_);
    for (std::size_t c = 0; c < inChannels_; ++c)
        stagePointers_[c] = stage_.data() + c * stageFrames;

    table_.clear();
    weights_.clear();
    history_.clear();
    historyPointers_.clear();
    taps_ = 0;
    if (!isResampling()) return;

    // Downsampling lowers the cutoff and widens the filter by the same factor, so the transition
    // band keeps its width relative to the output's Nyquist frequency.
    const double scale =
        std::min(1.0, static_cast<double>(outRate_) / static_cast<double>(inRate_));
    // Half the taps, rounded up to a multiple of four so the tap count is one of eight.
    const int half = (static_cast<int>(std::ceil(kHalfTapsUpsampling / scale)) + 3) / 4 * 4;
    taps_ = 2 * half;
    const double cutoff = kCutoff * scale;
    const double norm = besselI0(kKaiserBeta);
    exact_ = outRate_ <= kMaximumExactPhases;
    const std::size_t rows = exact_ ? std::size_t(outRate_) : std::size_t(kPhases + 1);
    table_.assign(rows * std::size_t(taps_), 0.0f);
    for (std::size_t p = 0; p < rows; ++p) {
        const double fraction = exact_ ? static_cast<double>(p) / static_cast<double>(outRate_)
                                       : static_cast<double>(p) / kPhases;
        float* row = table_.data() + std::size_t(p) * std::size_t(taps_);
        double sum = 0.0;
        std::vector<double> w(static_cast<std::size_t>(taps_));
        for (int k = 0; k < taps_; ++k) {
            const double d = fraction + (half - 1) - k; // distance of tap k from the output time
            const double x = d / half;
            const double window =
                std::fabs(x) >= 1.0 ? 0.0 : besselI0(kKaiserBeta * std::sqrt(1.0 - x * x)) / norm;
            w[std::size_t(k)] = cutoff * sinc(cutoff * d) * window;
            sum += w[std::size_t(k)];
        }
        // Each phase sums to exactly one: DC passes at unity gain whatever the fraction.
        for (int k = 0; k < taps_; ++k)
            row[k] = static_cast<float>(w[std::size_t(k)] / sum);
    }
    weights_.assign(std::size_t(taps_), 0.0f);
    historyCapacity_ = std::size_t(taps_) + kMaximumPullFrames;
    history_.assign(std::size_t{inChannels_} * historyCapacity_, 0.0f);
    historyPointers_.resize(inChannels_);
    reset();
}

std::uint64_t FormatConverter::outputFramesFor(std::uint64_t inputFrames) const noexcept {
    if (!isResampling()) return inputFrames;
    return (inputFrames * outRate_ + inRate_ - 1) / inRate_;
}

void FormatConverter::reset() noexcept {
    if (!isResampling()) return;
    std::fill(history_.begin(), history_.end(), 0.0f);
    // taps/2 - 1 zeros of history put input frame 0 at the centre of the first output's filter.
    available_ = std::size_t(taps_ / 2 - 1);
    base_ = 0;
    fraction_ = 0;
}

void FormatConverter::render(AUAudioFrameCount frames, float* const* output, Pull pull,
                             void* context) noexcept {
    frames = std::min(frames, kMaximumRenderFrames);
    if (frames == 0 || !isConfigured()) return;
    const bool direct = inChannels_ == outChannels_;
    if (isResampling()) {
        resample(frames, direct ? output : stagePointers_.data(), pull, context);
    } else if (direct) {
        pull(context, frames, output);
        return;
    } else {
        pull(context, frames, stagePointers_.data());
    }
    if (!direct) mapChannels(frames, stagePointers_.data(), output);
}

void FormatConverter::mapChannels(AUAudioFrameCount frames, const float* const* in,
                                  float* const* out) const noexcept {
    const std::size_t n = frames;
    if (outChannels_ == 1 && inChannels_ > 1) {
        const float share = 1.0f / static_cast<float>(inChannels_);
        for (std::size_t i = 0; i < n; ++i) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < inChannels_; ++c)
                sum += in[c][i];
            out[0][i] = sum * share;
        }
        return;
    }
    for (std::size_t c = 0; c < outChannels_; ++c) {
        const float* source = inChannels_ == 1 ? in[0] : (c < inChannels_ ? in[c] : nullptr);
        if (source != nullptr) {
            std::memcpy(out[c], source, n * sizeof(float));
        } else {
            std::memset(out[c], 0, n * sizeof(float));
        }
    }
}

void FormatConverter::refill(std::uint64_t neededEnd, Pull pull, void* context) noexcept {
    // Keep only what the next output still needs, then pull as much of the rest as fits.
    const std::size_t keep = available_ - base_;
    if (base_ > 0) {
        for (std::size_t c = 0; c < inChannels_; ++c) {
            float* h = history_.data() + c * historyCapacity_;
            std::memmove(h, h + base_, keep * sizeof(float));
        }
        neededEnd -= base_;
        available_ = keep;
        base_ = 0;
    }
    const std::size_t room = historyCapacity_ - available_;
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(neededEnd > available_ ? neededEnd - available_ : 0, room));
    const auto count =
        static_cast<AUAudioFrameCount>(std::min<std::size_t>(wanted, kMaximumPullFrames));
    if (count == 0) return;
    for (std::size_t c = 0; c < inChannels_; ++c) {
        historyPointers_[c] = history_.data() + c * historyCapacity_ + available_;
    }
    pull(context, count, historyPointers_.data());
    available_ += count;
}

void FormatConverter::resample(AUAudioFrameCount frames, float* const* out, Pull pull,
                               void* context) noexcept {
    const std::size_t taps = std::size_t(taps_);
    for (AUAudioFrameCount i = 0; i < frames; ++i) {
        if (base_ + taps > available_) {
            // Pull everything the remaining outputs of this call need, in as few pulls as fit.
            const std::uint64_t last = fraction_ + std::uint64_t(frames - 1 - i) * inRate_;
            refill(base_ + last / outRate_ + taps, pull, context);
        }
        const float* w = nullptr;
        if (exact_) {
            w = table_.data() + std::size_t(fraction_) * taps;
        } else {
            const std::uint64_t scaled = fraction_ * kPhases;
            const std::size_t phase = static_cast<std::size_t>(scaled / outRate_);
            const float blend =
                static_cast<float>(scaled % outRate_) / static_cast<float>(outRate_);
            const float* a = table_.data() + phase * taps;
            const float* b = a + taps;
            for (std::size_t k = 0; k < taps; ++k)
                weights_[k] = a[k] + blend * (b[k] - a[k]);
            w = weights_.data();
        }
        for (std::size_t c = 0; c < inChannels_; ++c) {
            const float* h = history_.data() + c * historyCapacity_ + base_;
            // Eight running sums (the tap count is a multiple of eight) let the loop vectorise.
            float sums[8] = {};
            for (std::size_t k = 0; k < taps; k += 8) {
                for (std::size_t j = 0; j < 8; ++j)
                    sums[j] += h[k + j] * w[k + j];
            }
            out[c][i] = ((sums[0] + sums[4]) + (sums[1] + sums[5])) +
                        ((sums[2] + sums[6]) + (sums[3] + sums[7]));
        }
        fraction_ += inRate_;
        base_ += static_cast<std::size_t>(fraction_ / outRate_);
        fraction_ %= outRate_;
    }
}

} // namespace pf
