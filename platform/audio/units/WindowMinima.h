#pragma once
// Minima of a stream over two windows that end at the newest value: a short window (the
// limiter's look-ahead) and a long one that reaches further back (the look-ahead plus the hold),
// in O(1) per value, without branches that depend on the data.
//
// The stream is cut into blocks of `shortWindow` values. When a block is complete its suffix
// minima are computed once, backwards, and kept in a ring that reaches as far back as the longest
// long window. Then, for the newest value:
//   - the short window is a suffix of the previous block plus a prefix of the current one;
//   - the long window is a suffix of an older block, the whole blocks after it (their minima are
//     combined once per block), and the same prefix of the current block.
// Per value that is one store, three or four `min`s and two loads; the backward pass adds about
// one `min` per value. A monotonic deque cannot match it on signals that go up and down at
// random: its pops are branches the processor cannot predict. The long window can change length
// while running and stays exact, since the ring keeps every block it could reach.
//
// [audio-thread] everything but `allocate`, which is [main-thread]. Not thread-safe.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pf {

class WindowMinima {
public:
    // Sets the short window to `shortWindow` values (at least 1) and makes room for long windows
    // of up to `shortWindow + maximumExtra` values; the long window starts at its longest.
    void allocate(std::size_t shortWindow, std::size_t maximumExtra);

    // Forgets every value: both windows behave as if they held only `fill`.
    void clear(float fill) noexcept;

    // The long window becomes `shortWindow + extra` values, extra clamped to 1 .. maximumExtra.
    // Exact at once: values it now reaches count as they were. O(long window / short window).
    void setExtra(std::size_t extra) noexcept;

    std::size_t shortWindow() const noexcept { return block_; }
    std::size_t longWindow() const noexcept { return block_ + extra_; }

    struct Minima {
        float shortWindow;
        float longWindow;
    };

    // Adds `value` and returns the minima of both windows, `value` included.
    Minima push(float value) noexcept {
        Run run = openRun();
        const Minima minima = run.push(0, value);
        closeRun(run, 1);
        return minima;
    }

    // The tightest loops push runs of values in which neither the current block nor the oldest
    // block of the long window changes, so they need no test per value: a run holds at most
    // `room()` values, is opened with `openRun()`, takes its k-th value through
    // `Run::push(k, value)`, and is closed with `closeRun(run, count)`. The run is a small local
    // object, so its running prefix minimum stays in a register.
    struct Run {
        float* values;       // the current block, from the run's first value
        const float* recent; // suffix minima of the previous block, one past the run's first value
        const float* oldest; // suffix minima of the long window's oldest block, at its first value
        float between;       // minimum of the whole blocks between that block and the current one
        float prefix;        // minimum of the current block so far

        Minima push(std::size_t k, float value) noexcept {
            values[k] = value;
            prefix = std::min(prefix, value);
            return {std::min(recent[k], prefix), std::min(std::min(oldest[k], between), prefix)};
        }
    };
    std::size_t room() const noexcept {
        return position_ < offset_ ? offset_ - position_ : block_ - position_;
    }
    // Both inline, so that the compiler keeps the run's fields in registers.
    Run openRun() noexcept {
        const bool early = position_ < offset_; // the oldest value lies one block further back
        const float* oldest = early ? suffixesBack(whole_ + 1) + (block_ + position_ - offset_)
                                    : suffixesBack(whole_) + (position_ - offset_);
        return {values_.data() + position_, suffixesBack(1) + position_ + 1, oldest,
                early ? betweenNear_ : betweenFar_, prefix_};
    }
    void closeRun(const Run& run, std::size_t count) noexcept {
        prefix_ = run.prefix;
        position_ += count;
        if (position_ == block_) completeBlock();
    }

    // Position of the next value within its block, 0 .. shortWindow - 1. It returns to 0 each
    // time a block completes, which a caller can use to keep a ring of shortWindow values aligned.
    std::size_t position() const noexcept { return position_; }

private:
    // Slot of the block `blocks` (1 .. slots_ - 1) before the current one.
    std::size_t slotBack(std::size_t blocks) const noexcept {
        return current_ >= blocks ? current_ - blocks : current_ + slots_ - blocks;
    }
    const float* suffixesBack(std::size_t blocks) const noexcept {
        return suffixes_.data() + slotBack(blocks) * (block_ + 1);
    }
    void completeBlock() noexcept;
    void combineWholeBlocks() noexcept;

    std::vector<float> suffixes_;    // `slots_` blocks of suffix minima, each block_ + 1 long
    std::vector<float> blockMinima_; // minimum of each slot's block
    std::vector<float> values_;      // the current block
    std::size_t block_ = 1;
    std::size_t slots_ = 2;
    std::size_t current_ = 0;  // slot the current block's suffix minima will go to
    std::size_t position_ = 0; // values of the current block so far
    std::size_t maximumExtra_ = 1;
    std::size_t extra_ = 1;
    std::size_t whole_ = 1;  // (long window - 1) / block
    std::size_t offset_ = 0; // (long window - 1) % block
    float prefix_ = 0.0f;
    float betweenNear_ = 0.0f; // whole blocks 1 .. whole_ back (while position_ < offset_)
    float betweenFar_ = 0.0f;  // whole blocks 1 .. whole_ - 1 back (from offset_ on)
};

} // namespace pf
