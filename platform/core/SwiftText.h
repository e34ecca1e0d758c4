#pragma once
// Text of values as the system's log lines show them: numbers, truth values and lists in the
// forms the original language prints, and printf-style formatting.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"

namespace pf {

// [any-thread] The shortest text that reads back to the same value, with at least one fractional
// digit: "1.0", "0.1", "44100.0", "0.30000001192092896" (the double nearest 0.3f). Values below
// 1e-4 in magnitude, or beyond 2^54 (2^25 for float), use exponent form with at least two
// exponent digits: "1e-07", "1e+20", "1.1754944e-38". Also "-0.0", "nan", "-nan", "inf", "-inf".
std::string swiftText(double value);
std::string swiftText(float value);
// [any-thread] "true" / "false".
std::string swiftText(bool value);
// [any-thread] Decimal integers.
template <std::integral T>
requires(!std::same_as<T, bool>) std::string swiftText(T value) {
    return std::to_string(value);
}
// [any-thread] A list of texts as the language prints an array of strings: ["a", "b"], [] when
// empty; quotes, backslashes and control characters inside an element are escaped.
std::string swiftText(const std::vector<std::string>& list);

// [any-thread] A URL as the language prints one: its absolute string; a list of URLs unquoted,
// "[file:///a/, https://example.org/x]".
std::string swiftText(const URL& url);
std::string swiftText(const std::vector<URL>& list);

// [any-thread] The default text of an option-set value: "<typeName>(rawValue: <raw>)".
std::string swiftOptionSetText(std::string_view typeName, std::uint64_t rawValue);

// [any-thread] printf-style formatting into a new string.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace pf
