#include "core/SwiftText.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace pf {
namespace {

template <typename T> std::string floatText(T value, T exponentFormAbove) {
    const bool negative = std::signbit(value);
    if (std::isnan(value)) return negative ? "-nan" : "nan";
    if (std::isinf(value)) return negative ? "-inf" : "inf";
    if (value == 0) return negative ? "-0.0" : "0.0";

    // Shortest round-trip digits, as d.ddde±x.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::abs(value),
                                      std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.') digits.push_back(c);
    }
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());

    std::string out = negative ? "-" : "";
    // In the form 0.ddd x 10^decimalExponent, exponent form starts below 10^-4.
    const int decimalExponent = exponent + 1;
    if (decimalExponent < -3 || std::abs(value) > exponentFormAbove) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out += digits;
            out.append(integerDigits - digits.size(), '0');
            out += ".0";
        } else {
            out.append(digits, 0, integerDigits);
            out += '.';
            out.append(digits, integerDigits);
        }
    }
    return out;
}

} // namespace

std::string swiftText(double value) {
    return floatText(value, 0x1.0p54);
}

std::string swiftText(float value) {
    return floatText(value, 0x1.0p25f);
}

std::string swiftText(bool value) {
    return value ? "true" : "false";
}

std::string swiftText(const std::vector<std::string>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += ", ";
        out += '"';
        for (unsigned char c : list[i]) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[12];
                    std::snprintf(escaped, sizeof escaped, "\\u{%x}", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
            }
        }
        out += '"';
    }
    out += ']';
    return out;
}

std::string swiftText(const URL& url) {
    return url.absoluteString();
}

std::string swiftText(const std::vector<URL>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += ", ";
        out += list[i].absoluteString();
    }
    return out + "]";
}

std::string swiftOptionSetText(std::string_view typeName, std::uint64_t rawValue) {
    return std::string(typeName) + "(rawValue: " + std::to_string(rawValue) + ")";
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<std::size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    }
    va_end(again);
    return out;
}

} // namespace pf
