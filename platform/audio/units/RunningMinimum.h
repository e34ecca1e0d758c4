#pragma once
// Minimum of the most recent `window` values of a stream, in O(1) per value and without branches
// that depend on the data.
//
// The stream is cut into blocks of `window` values. The minimum over the last `window` values is
// the minimum of a suffix of the previous block and a prefix of the current one: the prefix
// minimum grows with each value, and the suffix minima of a block are computed once, backwards,
// when the block is complete (van Herk / Gil-Werman, run as a stream). That is three `min`s per
// value, amortised, which a monotonic deque cannot match on signals whose values go up and down at
// random: its pops are branches the processor cannot predict.
//
// [audio-thread] everything but `allocate`, which is [main-thread]. Not thread-safe.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace pf {

class RunningMinimum {
public:
    // Reserves room for windows of up to `maximumWindow` values (at least 1) and sets the window
    // to that size, empty.
    void allocate(std::size_t maximumWindow);

    // Forgets every value: the window behaves as if it held only `fill`.
    void clear(float fill) noexcept;

    // Changes the window length (clamped to 1 .. maximumWindow). The values it still holds stay
    // in effect; values older than it ever held count as `fill`. O(window).
    void setWindow(std::size_t window, float fill) noexcept;

    std::size_t window() const noexcept { return window_; }

    // Adds `value` and returns the minimum of the last `window` values, `value` included.
    float push(float value) noexcept {
        Cursor cursor = begin();
        const float minimum = push(cursor, value);
        end(cursor);
        return minimum;
    }

    // For a loop that pushes many values: the state the loop needs, held in locals so that the
    // compiler keeps it in registers. Take it with `begin`, push through it, hand it back with
    // `end`; do not touch the object in between.
    struct Cursor {
        float* current;
        const float* suffix;
        std::size_t position;
        std::size_t window;
        float prefix;
    };
    Cursor begin() noexcept { return {current_, suffix_.data(), position_, window_, prefix_}; }
    void end(const Cursor& cursor) noexcept {
        current_ = cursor.current;
        position_ = cursor.position;
        prefix_ = cursor.prefix;
    }
    float push(Cursor& cursor, float value) noexcept {
        cursor.current[cursor.position] = value;
        cursor.prefix = std::min(cursor.prefix, value);
        const float minimum = std::min(cursor.suffix[cursor.position + 1], cursor.prefix);
        if (++cursor.position == cursor.window) completeBlock(cursor);
        return minimum;
    }

private:
    void completeBlock(Cursor& cursor) noexcept;

    std::vector<float> storage_; // two blocks of raw values and a scratch block
    std::vector<float> suffix_;  // suffix minima of the previous block, one past the end = +inf
    float* previous_ = nullptr;  // raw values of the previous block
    float* current_ = nullptr;   // raw values of the current block, [0, position_)
    float* spare_ = nullptr;
    std::size_t maximum_ = 0;
    std::size_t window_ = 1;
    std::size_t position_ = 0;
    float prefix_ = std::numeric_limits<float>::infinity();
};

} // namespace pf
