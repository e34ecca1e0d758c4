#include "audio/units/RunningMinimum.h"

namespace pf {

namespace {

constexpr float kNone = std::numeric_limits<float>::infinity();

// suffix[i] = min(values[i .. count - 1]) and suffix[count] = +inf. A single backward pass is one
// long chain of dependent `min`s; four chains over four quarters run side by side instead, and a
// second, vectorisable pass folds each quarter's result into the quarters before it.
void suffixMinima(const float* values, std::size_t count, float* suffix) noexcept {
    suffix[count] = kNone;
    const std::size_t quarter = count / 4;
    if (quarter < 8) {
        for (std::size_t i = count; i-- > 0;)
            suffix[i] = std::min(values[i], suffix[i + 1]);
        return;
    }
    float a = kNone;
    float b = kNone;
    float c = kNone;
    float d = kNone;
    for (std::size_t i = count; i-- > 4 * quarter;)
        suffix[i] = d = std::min(d, values[i]);
    for (std::size_t i = quarter; i-- > 0;) {
        suffix[i] = a = std::min(a, values[i]);
        suffix[quarter + i] = b = std::min(b, values[quarter + i]);
        suffix[2 * quarter + i] = c = std::min(c, values[2 * quarter + i]);
        suffix[3 * quarter + i] = d = std::min(d, values[3 * quarter + i]);
    }
    for (std::size_t k = 3; k-- > 0;) {
        const float tail = suffix[(k + 1) * quarter];
        float* part = suffix + k * quarter;
        for (std::size_t i = 0; i < quarter; ++i)
            part[i] = std::min(part[i], tail);
    }
}

} // namespace

void RunningMinimum::allocate(std::size_t maximumWindow) {
    maximum_ = std::max<std::size_t>(maximumWindow, 1);
    storage_.assign(3 * maximum_, kNone);
    suffix_.assign(maximum_ + 1, kNone);
    previous_ = storage_.data();
    current_ = previous_ + maximum_;
    spare_ = current_ + maximum_;
    window_ = maximum_;
    clear(kNone);
}

void RunningMinimum::clear(float fill) noexcept {
    std::fill(previous_, previous_ + window_, fill);
    std::fill(suffix_.begin(), suffix_.begin() + static_cast<std::ptrdiff_t>(window_), fill);
    suffix_[window_] = kNone;
    position_ = 0;
    prefix_ = kNone;
}

void RunningMinimum::setWindow(std::size_t window, float fill) noexcept {
    window = std::clamp<std::size_t>(window, 1, maximum_);
    if (window == window_) return;
    // Gather the newest `window` values, oldest first, into the spare block: the current block's
    // values, preceded by the tail of the previous block, preceded by `fill` when the two hold
    // fewer than `window`.
    const std::size_t fromCurrent = std::min(position_, window);
    const std::size_t fromPrevious = std::min(window - fromCurrent, window_);
    const std::size_t padding = window - fromCurrent - fromPrevious;
    std::fill(spare_, spare_ + padding, fill);
    std::copy(previous_ + (window_ - fromPrevious), previous_ + window_, spare_ + padding);
    std::copy(current_ + (position_ - fromCurrent), current_ + position_,
              spare_ + padding + fromPrevious);
    std::swap(previous_, spare_);
    window_ = window;
    // The gathered values become a complete previous block; a new block starts with the next value.
    suffixMinima(previous_, window_, suffix_.data());
    position_ = 0;
    prefix_ = kNone;
}

void RunningMinimum::completeBlock(Cursor& cursor) noexcept {
    float* block = cursor.current;
    suffixMinima(block, window_, suffix_.data());
    cursor.current = previous_;
    previous_ = block;
    cursor.position = 0;
    cursor.prefix = kNone;
}

} // namespace pf
