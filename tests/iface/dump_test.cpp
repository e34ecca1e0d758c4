#include <gtest/gtest.h>

#include "IfaceHarness.h"

using namespace ifacetest;
using pf::AUParameterTree;

namespace {

// The real unit with a tree of the test's making.
class TreeUnit : public Unit {
public:
    TreeUnit() : Unit(kComponentDescription, 0) {}
    std::shared_ptr<pf::AUParameterTree> tree;
    std::shared_ptr<pf::AUParameterTree> parameterTree() override { return tree; }
};

std::shared_ptr<pf::AUParameter>
param(pf::AUParameterAddress address, const std::string& name, pf::AudioUnitParameterOptions flags,
      pf::AudioUnitParameterUnit unit, std::optional<std::string> unitName = std::nullopt,
      std::optional<std::vector<std::string>> strings = std::nullopt) {
    return AUParameterTree::createParameter(name, name, address, 0, 1, unit, unitName, flags,
                                            strings, std::nullopt);
}

std::vector<std::string> dumpOf(const std::shared_ptr<pf::AUParameterTree>& tree) {
    Harness h;
    h.show();
    auto unit = std::make_shared<TreeUnit>();
    unit->tree = tree;
    h.console.clear();
    h.controller->setAudioUnit(unit);
    h.drain();
    const auto all = h.lines();
    const auto from = std::find(all.begin(), all.end(),
                                "ExtensionViewController: Extracting at the parameter tree: ");
    const auto to = std::find(all.begin(), all.end(),
                              "AU Diagnostics: Connected parameters to the plugins interface.");
    if (from == all.end() || to == all.end()) return {"<no dump>"};
    return {from + 1, to};
}

} // namespace

// The unit's own tree, and a tree with meter flags, an unknown unit kind and value strings: each
// parameter is one block of exact lines, at level one inside its group.
TEST(ParameterDump, EachParameterPrintsOneBlockOfTheExactLines) {
    const std::string found = "\tExtensionViewController: Folllowing AU parameter was found... ";
    const auto unit = makeUnit();
    const auto unitDump = dumpOf(unit->parameterTree());
    EXPECT_EQ(std::count(unitDump.begin(), unitDump.end(), found), 12);
    EXPECT_EQ(std::count(unitDump.begin(), unitDump.end(), "\t- address:  11"), 1);
    const auto tree = AUParameterTree::createTree({AUParameterTree::createGroup(
        "g", "g",
        {param(5, "Meter", 0x8000 | 0x30000, pf::AudioUnitParameterUnit(13), "dB",
               std::vector<std::string>{"a", "b"}),
         param(6, "Odd", 0, pf::AudioUnitParameterUnit(99))})});
    const auto treeDump = dumpOf(tree);
    // The meter parameter's block, its lines joined.
    const std::string meter =
        "\n" + found +
        "\n\t- address:  5\n\t- displayName:  Meter\n\t- value:  0.0\n\t- options:  "
        "AudioUnitParameterOptions(rawValue: 229376)\n\t- The flag value includes the following "
        "flags... \n - flag_MeterReadOnly\n\t - flag_DisplaySquareRoot\n\t - flag_DisplaySquared\n"
        "\t - flag_DisplayCubed\n\t- maxValue:  1.0\n\t- minValue:  0.0\n\t- unit: (type 13)  "
        "decibels\n\t- unitName:  dB\n\t- valueStrings:  [\"a\", \"b\"]\n";
    std::string block;
    for (std::size_t i = 0; i < 16 && i < treeDump.size(); ++i)
        block += treeDump[i] + "\n";
    EXPECT_EQ(block, meter);
    EXPECT_NE(
        std::find(treeDump.begin(), treeDump.end(), "\t- unit: (type 99)  unknown parameter kind"),
        treeDump.end());
}

TEST(ParameterDump, AMissingAddressIsReportedAndReadsAsZero) {
    Harness h;
    h.show();
    h.controller->setAudioUnit(makeUnit());
    h.drain();
    h.console.clear();
    EXPECT_EQ(h.controller->getParameter(42), 0.0f);
    h.controller->setParameter(-1, 0.5f);
    EXPECT_EQ(h.lines(),
              (std::vector<std::string>{
                  "AudioUnitViewController: ERROR: The parameter address 42 is not available.",
                  "AudioUnitViewController: ERROR: The parameter address -1 is not available."}));
}
