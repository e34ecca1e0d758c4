// Helpers shared by the Vesk tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Vesk/CString.h"

namespace vesk_test {

// The string's bytes, embedded zeros included; "" for an empty string.
inline std::string text(const Vesk::CString& s) {
    return std::string(s.Length() ? s.c_str() : "", s.Length());
}

// What the action wrote to standard output.
inline std::string printed(const std::function<void()>& action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

} // namespace vesk_test
