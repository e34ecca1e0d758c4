// Writes what the independent property-list reader checks: a preset saved by the preset model
// and the unit's full state, both from a unit whose parameters hold known values.
// Usage: unit_state_writer FOLDER  (writes FOLDER/preset.plist and FOLDER/fullstate.plist)
#include <cstdio>
#include <string>

#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const pf::ConsoleCapture quiet;
    const auto unit = Orvex_Compander_Extension_AudioUnit::create(
        Orvex_Compander_Extension_AudioUnit::kComponentDescription);
    // The same values as the reader's list.
    const float values[12] = {0.1f, 0.37f, 0.8f, 0.123456789f, 0.999f, 0.25f,
                              3.0f, 1.0f,  0.0f, 0.0f,         1.0f,   0.0f};
    for (int i = 0; i < 12; ++i)
        unit->setParameter(i, values[i]);

    OrvexPreset preset;
    preset.makeFrom(unit->parameterTree());
    if (!preset.save(pf::URL::fileURLWithPath(folder + "/preset.plist"))) return 1;

    const auto state = unit->fullState();
    const auto bytes =
        pf::PropertyListSerialization::data(pf::PlistValue(*state), pf::PropertyListFormat::xml);
    pf::FileManager::defaultManager().writeAtomically(folder + "/fullstate.plist", bytes);
    pf::drainMainQueue();
    return 0;
}
