// FollowerPair: two followers whose peaks sit side by side in the two lanes of an SSE2 register,
// for the compander's inner loop, which follows left and right (or mid and side) together.
//
// The usual case, both inputs below their peaks and neither follower holding, is one packed
// compare and one packed release step; any other case runs `Follower::Running::follow` on each
// lane. Peaks and hold counters therefore equal, bit for bit, those of two followers fed the same
// samples one at a time.
//
// Threads: [render-thread]; a pair is a block-local copy of two followers' state, taken with
// `take` and given back with `give`.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include "Follower.h"

class FollowerPair {
public:
    void take(const Follower& first, const Follower& second) noexcept {
        lanes[0] = first.begin();
        lanes[1] = second.begin();
        peaks = _mm_setr_pd(lanes[0].peak, lanes[1].peak);
        decrease = _mm_setr_pd(lanes[0].decrease, lanes[1].decrease);
    }
    void give(Follower& first, Follower& second) noexcept {
        spill();
        first.end(lanes[0]);
        second.end(lanes[1]);
    }

    // Follows one sample per lane; `magnitudes` holds |sample| of each lane, as double.
    void follow(__m128d magnitudes) noexcept {
        const int falling = _mm_movemask_pd(_mm_cmplt_pd(magnitudes, peaks));
        if (falling == 0b11 && (lanes[0].hold | lanes[1].hold) == 0) [[likely]] {
            // Both release: the hold counters stay at 0, the peaks fall, not below 0.
            peaks = _mm_max_pd(_mm_sub_pd(peaks, decrease), _mm_setzero_pd());
            return;
        }
        spill();
        lanes[0].follow(_mm_cvtsd_f64(magnitudes));
        lanes[1].follow(_mm_cvtsd_f64(_mm_unpackhi_pd(magnitudes, magnitudes)));
        peaks = _mm_setr_pd(lanes[0].peak, lanes[1].peak);
    }

    // Both peaks converted to float, in lanes 0 and 1 (lanes 2 and 3 are 0).
    __m128 peaksAsFloat() const noexcept { return _mm_cvtpd_ps(peaks); }

private:
    void spill() noexcept {
        lanes[0].peak = _mm_cvtsd_f64(peaks);
        lanes[1].peak = _mm_cvtsd_f64(_mm_unpackhi_pd(peaks, peaks));
    }

    __m128d peaks;    // the live peaks; `lanes[].peak` is written from them when needed
    __m128d decrease; // the two release steps
    Follower::Running lanes[2];
};

#endif
