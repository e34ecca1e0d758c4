// Small numeric helpers of the DSP classes: finiteness and saturating conversions to integers.
// A float-to-integer conversion of NaN or of a value out of range is undefined behaviour in C++;
// these give 0 for NaN and the nearest representable integer otherwise.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace dsp {

inline bool isFinite(double value) noexcept {
    return std::isfinite(value);
}

// Truncates toward zero; NaN gives 0, values beyond the range give its nearest end.
inline std::int32_t saturatingToInt32(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// Truncates toward zero; NaN gives 0, values beyond the range give its nearest end.
inline std::int64_t saturatingToInt64(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (value < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

// max(value, 0): 0 for a negative value or NaN, the value otherwise. A single instruction on
// x86-64, where the compiler would otherwise keep a compare and a branch.
inline double maxZero(double value) noexcept {
#if defined(__AVX__) && defined(__GNUC__)
    asm("vmaxsd %1, %0, %0" : "+x"(value) : "x"(0.0)); // VEX form: no SSE/AVX transition
    return value;
#elif defined(__SSE2__) && defined(__GNUC__)
    asm("maxsd %1, %0" : "+x"(value) : "x"(0.0));
    return value;
#else
    return value > 0.0 ? value : 0.0;
#endif
}

} // namespace dsp
