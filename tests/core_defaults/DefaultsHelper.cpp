// A second process for the user-defaults tests. Its settings folder (XDG_CONFIG_HOME) and the
// bundle that names its standard domain (ORVEX_TEST_BUNDLE) come from the test.
//   write-types standard|suite     stores one value of every type
//   check-types standard|suite     exits 0 when every value reads back as written
//   write-many  standard|suite PREFIX COUNT   stores COUNT integers, one change at a time
#include <cstdio>
#include <cstdlib>
#include <string>

#include "DefaultsTestSupport.h"
#include "core/Bundle.h"
#include "core/UserDefaults.h"

int main(int argc, char** argv) {
    if (argc < 3 || !std::getenv("ORVEX_TEST_BUNDLE")) return 2;
    pf::Bundle::setMainBundleOverride(std::string(std::getenv("ORVEX_TEST_BUNDLE")));
    const std::string command = argv[1];
    const std::string where = argv[2];
    auto defaults = where == "suite" ? pf::NSUserDefaults::initWithSuiteName(kTestSuite)
                                     : pf::NSUserDefaults::standardUserDefaults();
    if (!defaults) return 3;
    if (command == "write-types") {
        writeEveryType(*defaults);
        return 0;
    }
    if (command == "check-types") {
        const std::string problem = checkEveryType(*defaults);
        if (problem.empty()) return 0;
        std::fprintf(stderr, "mismatch: %s\n", problem.c_str());
        return 1;
    }
    if (command == "write-many" && argc == 5) {
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i)
            defaults->setInteger(i, std::string(argv[3]) + std::to_string(i));
        return 0;
    }
    return 2;
}
