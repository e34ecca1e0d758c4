// A module of its own for the bundle tests: it asks for its own bundle.
#include "core/Bundle.h"

extern "C" const pf::Bundle* bundleProbeMainBundle() {
    return &pf::Bundle::main();
}
