// A second process for the settings tests: stores or checks one value of every type through
// PersistentAppData. Usage: settings_helper write|check defaults|shared
#include <cstdio>
#include <cstdlib>
#include <string>

#include "PersistentAppData.h"
#include "SettingsValues.h"
#include "core/Bundle.h"

int main(int argc, char** argv) {
    if (argc != 3 || !std::getenv("ORVEX_TEST_BUNDLE")) return 2;
    pf::Bundle::setMainBundleOverride(std::string(std::getenv("ORVEX_TEST_BUNDLE")));
    const auto storage = std::string(argv[2]) == "shared" ? PersistentAppData::Storage::shared
                                                          : PersistentAppData::Storage::defaults;
    auto& data = PersistentAppData::sharedInstance();
    if (std::string(argv[1]) == "write") {
        writeSettings(data, storage);
        return 0;
    }
    const std::string problem = checkSettings(data, storage);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "mismatch: %s\n", problem.c_str());
    return 1;
}
