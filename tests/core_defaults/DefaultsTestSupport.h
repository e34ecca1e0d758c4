// What the user-defaults tests and their helper process share: a scratch settings folder, a
// bundle that names the standard domain, and one value of every property-list type.
#pragma once

#include <cstdint>
#include <string>

#include "core/PropertyList.h"
#include "core/URL.h"

inline constexpr const char* kTestBundleIdentifier = "org.orvex.tests.defaults";
inline constexpr const char* kTestSuite = "group.org.orvex.tests.shared";

// Writes a minimal bundle whose Info.plist names kTestBundleIdentifier; returns its folder.
std::string makeTestBundle(const std::string& parent);

// The values stored under "string", "integer", … by writeEveryType().
struct EveryType {
    static std::string string() { return "Grüße, \"quoted\" <tag> & more"; }
    static std::int64_t integer() { return -9'007'199'254'740'993; } // not exact as a double
    static float real() { return 0.1f; }
    static bool boolean() { return true; }
    static pf::URL fileURL();
    static pf::URL webURL();
    static pf::PlistValue object();
};

namespace pf {
class NSUserDefaults;
}
void writeEveryType(pf::NSUserDefaults& d);
// Empty when every value reads back as written; otherwise the first difference.
std::string checkEveryType(const pf::NSUserDefaults& d);
