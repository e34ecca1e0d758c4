#include "audio/units/WindowMinima.h"

#include <limits>

namespace pf {

namespace {

constexpr float kNone = std::numeric_limits<float>::infinity();

// suffix[i] = min(values[i .. count - 1]) and suffix[count] = +inf. A single backward pass is one
// long chain of dependent `min`s; four chains over four quarters run side by side instead, and a
// second pass folds each quarter's result into the quarters before it.
void suffixMinima(const float* values, std::size_t count, float* suffix) noexcept {
    suffix[count] = kNone;
    const std::size_t quarter = count / 4;
    if (quarter < 4) {
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

void WindowMinima::allocate(std::size_t shortWindow, std::size_t maximumExtra) {
    block_ = std::max<std::size_t>(shortWindow, 1);
    maximumExtra_ = std::max<std::size_t>(maximumExtra, 1);
    // The long window's oldest value can lie up to (longest - 1) / block + 1 blocks back; one more
    // slot is the current block's.
    slots_ = (block_ + maximumExtra_ - 1) / block_ + 2;
    suffixes_.assign(slots_ * (block_ + 1), kNone);
    blockMinima_.assign(slots_, kNone);
    values_.assign(block_, kNone);
    extra_ = maximumExtra_;
    clear(kNone);
}

void WindowMinima::clear(float fill) noexcept {
    for (std::size_t slot = 0; slot < slots_; ++slot) {
        float* suffix = suffixes_.data() + slot * (block_ + 1);
        std::fill(suffix, suffix + block_, fill);
        suffix[block_] = kNone;
    }
    std::fill(blockMinima_.begin(), blockMinima_.end(), fill);
    current_ = 0;
    position_ = 0;
    prefix_ = kNone;
    setExtra(extra_);
}

void WindowMinima::setExtra(std::size_t extra) noexcept {
    extra_ = std::clamp<std::size_t>(extra, 1, maximumExtra_);
    const std::size_t reach = block_ + extra_ - 1; // frames back from the newest to the oldest
    whole_ = reach / block_;
    offset_ = reach % block_;
    combineWholeBlocks();
}

void WindowMinima::completeBlock() noexcept {
    float* suffix = suffixes_.data() + current_ * (block_ + 1);
    suffixMinima(values_.data(), block_, suffix);
    blockMinima_[current_] = suffix[0];
    current_ = current_ + 1 == slots_ ? 0 : current_ + 1;
    position_ = 0;
    prefix_ = kNone;
    combineWholeBlocks();
}

void WindowMinima::combineWholeBlocks() noexcept {
    // Blocks 1 .. whole_ - 1 back occupy the slots just below the current one, wrapping at 0: at
    // most two contiguous stretches, so the loops have no branch and vectorise.
    const std::size_t count = whole_ - 1;
    const std::size_t below = std::min(count, current_);
    float far = kNone;
    for (std::size_t slot = current_ - below; slot < current_; ++slot)
        far = std::min(far, blockMinima_[slot]);
    for (std::size_t slot = slots_ - (count - below); slot < slots_; ++slot)
        far = std::min(far, blockMinima_[slot]);
    betweenFar_ = far;
    betweenNear_ = std::min(far, blockMinima_[slotBack(whole_)]);
}

} // namespace pf
