// Orvex_Compander_Extension_Parameters: the compander's parameter tree. Twelve parameters
// (addresses 0 to 11) in one group "kGlobalParameters", built from one table that the tree, the
// default push, the presets, the panel's mapping and the tests all read.
//
// Value flow once built: a value set on the tree goes to the kernel adapter (implementor value
// observer); a value read from the tree comes from the kernel (implementor value provider), so a
// value that reached the kernel another way (a render event) is what the tree reports.
//
// Ownership: the builder owns the tree; the tree's three callbacks hold the adapter strongly.
// Threads: built on the thread that creates the audio unit; the callbacks run on any thread and go
// straight to the adapter, which stores or reads one relaxed 32-bit float per address.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "audio/AUParameters.h"

class Orvex_Compander_ExtensionDSPKernelAdapter;
class Orvex_Compander_Extension_AudioUnit;

// One row of the parameter table.
struct CompanderParameterSpec {
    pf::AUParameterAddress address;
    std::string_view identifier;
    std::string_view name;
    pf::AUValue min;
    pf::AUValue max;
    pf::AUValue defaultValue;
    pf::AudioUnitParameterUnit unit;
};

// Readable and writable, nothing else.
inline constexpr pf::AudioUnitParameterOptions kCompanderParameterFlags =
    pf::kAudioUnitParameterFlag_IsReadable | pf::kAudioUnitParameterFlag_IsWritable;

inline constexpr std::string_view kCompanderGroupIdentifier = "kGlobalParameters";
inline constexpr std::string_view kCompanderGroupName = "Orvex Compander Global";

enum CompanderParameterAddress : pf::AUParameterAddress {
    kCompanderAttack = 0,
    kCompanderRelease = 1,
    kCompanderThreshold = 2,
    kCompanderRatio = 3,
    kCompanderGain = 4,
    kCompanderMix = 5,
    kCompanderMode = 6,
    kCompanderBypass = 7,
    kCompanderAudition = 8,
    kCompanderInputFilterHP = 9,
    kCompanderInputFilterLP = 10,
    kCompanderFinalLimiter = 11,
};

// The table, in address order (row i has address i).
inline constexpr std::array<CompanderParameterSpec, 12> kCompanderParameters{{
    {0, "kCompanderAttack", "Compressor Attack", 0, 1, 0.1f, pf::kAudioUnitParameterUnit_Generic},
    {1, "kCompanderRelease", "Compressor Release", 0, 1, 0.5f, pf::kAudioUnitParameterUnit_Generic},
    {2, "kCompanderThreshold", "Compressor Threshold", 0, 1, 0.8f,
     pf::kAudioUnitParameterUnit_Generic},
    {3, "kCompanderRatio", "Compressor Ratio", 0, 1, 0.5f, pf::kAudioUnitParameterUnit_Generic},
    {4, "kCompanderGain", "Compressor Gain", 0, 1, 0.5f, pf::kAudioUnitParameterUnit_Generic},
    {5, "kCompanderMix", "Compressor Mix", 0, 1, 1.0f, pf::kAudioUnitParameterUnit_Generic},
    {6, "kCompanderMode", "Compressor Mode", 0, 3, 0.0f, pf::kAudioUnitParameterUnit_Indexed},
    {7, "kCompanderBypass", "Compressor Bypass", 0, 1, 0.0f, pf::kAudioUnitParameterUnit_Boolean},
    {8, "kCompanderAudition", "Compressor Audition", 0, 1, 0.0f,
     pf::kAudioUnitParameterUnit_Boolean},
    {9, "kCompanderInputFilterHP", "Compressor Reserved", 0, 1, 0.0f,
     pf::kAudioUnitParameterUnit_Generic},
    {10, "kCompanderInputFilterLP", "Compressor Reserved", 0, 1, 1.0f,
     pf::kAudioUnitParameterUnit_Generic},
    {11, "kCompanderFinalLimiter", "Final Limiter", 0, 1, 1.0f,
     pf::kAudioUnitParameterUnit_Boolean},
}};

class Orvex_Compander_Extension_Parameters {
public:
    // Builds the tree, pushes every default into the kernel through `kernelAdapter`, then installs
    // the implementor callbacks on the root. `kernelAdapter` must not be null.
    explicit Orvex_Compander_Extension_Parameters(
        std::shared_ptr<Orvex_Compander_ExtensionDSPKernelAdapter> kernelAdapter);

    Orvex_Compander_Extension_Parameters(const Orvex_Compander_Extension_Parameters&) = delete;
    Orvex_Compander_Extension_Parameters&
    operator=(const Orvex_Compander_Extension_Parameters&) = delete;

    // The owning unit; nothing sets or reads it.
    std::weak_ptr<Orvex_Compander_Extension_AudioUnit> unit;
    // The tree the audio unit publishes.
    std::shared_ptr<pf::AUParameterTree> parameterTree;

    const std::vector<std::shared_ptr<pf::AUParameterGroup>>& groups() const { return groups_; }

private:
    void createParameters();

    std::vector<std::shared_ptr<pf::AUParameterGroup>> groups_;
};
