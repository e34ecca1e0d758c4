// The console listing of the unit's parameter tree, and tree access by address.
#include <array>
#include <utility>

#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "core/SwiftText.h"

using pf::Console;

namespace {

std::string indent(std::int64_t level) {
    return std::string(level > 0 ? std::size_t(level) : 0, '\t');
}

// One print call with two items: the label keeps its trailing blank and print adds another.
void printItem(std::int64_t level, const std::string& label, const std::string& value) {
    Console::printLine(indent(level) + label + " " + value);
}

constexpr std::array<std::pair<std::uint32_t, const char*>, 22> kFlagNames{{
    {0x10, " - flag_CFNameRelease"},          {0x2000, " - flag_OmitFromPresets"},
    {0x4000, " - flag_PlotHistory"},          {0x8000, " - flag_MeterReadOnly"},
    {0x470000, " - flag_DisplayMask"},        {0x10000, " - flag_DisplaySquareRoot"},
    {0x20000, " - flag_DisplaySquared"},      {0x30000, " - flag_DisplayCubed"},
    {0x40000, " - flag_DisplayCubeRoot"},     {0x50000, " - flag_DisplayExponential"},
    {0x100000, " - flag_HasClump"},           {0x200000, " - flag_ValuesHaveStrings"},
    {0x400000, " - flag_DisplayLogarithmic"}, {0x800000, " - flag_IsHighResolution"},
    {0x1000000, " - flag_NonRealTime"},       {0x2000000, " - flag_CanRamp"},
    {0x4000000, " - flag_ExpertMode"},        {0x8000000, " - flag_HasCFNameString"},
    {0x10000000, " - flag_IsGlobalMeta"},     {0x20000000, " - flag_IsElementMeta"},
    {0x40000000, " - flag_IsReadable"},       {0x80000000, " - flag_IsWritable"},
}};

constexpr std::array<const char*, 27> kUnitNames{
    "generic",
    "indexed",
    "boolean",
    "percent",
    "seconds",
    "sampleFrames",
    "phase",
    "rate",
    "hertz",
    "cents",
    "relativeSemiTones",
    "midiNoteNumber",
    "midiController",
    "decibels",
    "linearGain",
    "degrees",
    "equalPowerCrossfade",
    "mixerFaderCurve1",
    "pan",
    "meters",
    "absoluteCents",
    "octaves",
    "BPM",
    "beats",
    "milliseconds",
    "ratio",
    "customUnit",
};

} // namespace

void AudioUnitViewController::extractParameters(const std::string&,
                                                const std::shared_ptr<pf::AUParameterGroup>& tree,
                                                std::int64_t level) {
    if (!tree) {
        Console::printLine("ExtensionViewController: The parameter group has no children.");
        return;
    }
    for (const auto& child : tree->children()) {
        if (!child->isGroup()) continue;
        const auto group = std::static_pointer_cast<pf::AUParameterGroup>(child);
        for (const auto& parameter : group->allParameters()) {
            parameters.push_back(parameter);
            printParameter(*parameter, level + 1);
        }
        extractParameters(group->displayName(), group, level + 1);
    }
}

void AudioUnitViewController::printParameter(const pf::AUParameter& parameter, std::int64_t level) {
    Console::printLine("\n" + indent(level) +
                       "ExtensionViewController: Folllowing AU parameter was found... ");
    printItem(level, "- address: ", std::to_string(parameter.address()));
    printItem(level, "- displayName: ", parameter.displayName());
    printItem(level, "- value: ", pf::swiftText(parameter.value()));
    printItem(level, "- options: ",
              pf::swiftOptionSetText("AudioUnitParameterOptions", parameter.flags()));
    verboseFlags(parameter.flags(), level);
    printItem(level, "- maxValue: ", pf::swiftText(parameter.maxValue()));
    printItem(level, "- minValue: ", pf::swiftText(parameter.minValue()));
    printItem(level,
              "- unit: (type " + std::to_string(static_cast<std::uint32_t>(parameter.unit())) +
                  ") ",
              verboseParameterKind(parameter.unit()));
    printItem(level, "- unitName: ", parameter.unitName().value_or(""));
    printItem(level, "- valueStrings: ",
              pf::swiftText(parameter.valueStrings().value_or(std::vector<std::string>{})));
}

void AudioUnitViewController::verboseFlags(pf::AudioUnitParameterOptions flags,
                                           std::int64_t level) {
    Console::printLine(indent(level) + "- The flag value includes the following flags... ");
    for (const auto& [value, name] : kFlagNames) {
        if ((flags & value) != value) continue;
        // The meter line has always been printed without its indent.
        Console::printLine((value == 0x8000 ? std::string() : indent(level)) + name);
    }
}

std::string AudioUnitViewController::verboseParameterKind(pf::AudioUnitParameterUnit kind) {
    const auto raw = static_cast<std::uint32_t>(kind);
    return raw < kUnitNames.size() ? kUnitNames[raw] : "unknown parameter kind";
}

namespace {
void reportMissing(int address) {
    Console::printLine("AudioUnitViewController: ERROR: The parameter address " +
                       std::to_string(address) + " is not available.");
}
} // namespace

void AudioUnitViewController::setParameter(int address, float value) {
    if (!parameterTree) return;
    // A negative address names no parameter of the tree (it is never wrapped to a large one).
    const auto parameter =
        address < 0
            ? nullptr
            : parameterTree->parameterWithAddress(static_cast<pf::AUParameterAddress>(address));
    if (!parameter) return reportMissing(address);
    parameter->setValue(value);
}

float AudioUnitViewController::getParameter(int address) {
    if (!parameterTree) return 0.0f;
    const auto parameter =
        address < 0
            ? nullptr
            : parameterTree->parameterWithAddress(static_cast<pf::AUParameterAddress>(address));
    if (!parameter) {
        reportMissing(address);
        return 0.0f;
    }
    return parameter->value();
}
