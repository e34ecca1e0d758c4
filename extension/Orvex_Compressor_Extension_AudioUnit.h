// Orvex_Compander_Extension_AudioUnit: the plug-in's audio unit ("aumf" / "orvc" / "Qrbn").
//
// It owns the kernel adapter (rendering, parameters, meters), the parameter-tree builder (the
// published tree) and the limiter holder, whose platform peak-limiter unit it calls `wrapped`
// and whose bus arrays it publishes as its own: hosts negotiate formats with the limiter's buses;
// the adapter's buses serve only the kernel.
//
// Rendering, per cycle: bus 0 only (another bus: kAudioUnitErr_NoConnection, nothing touched);
// the kernel through the adapter, in place on the host's output list; then, while parameter 11
// reads exactly 1, the wrapped limiter on the same buffers, pulling the kernel's output through a
// pull block that hands over buffer descriptions, never samples. A kernel failure is logged and
// returned, and the limiter is skipped; a limiter failure is logged and the cycle still succeeds.
//
// Logging: every line starts with "AUExtension" and is printed later on the main queue
// (`safeprint`); from the render thread it goes through the real-time log ring.
//
// Threads: construction, properties, presets, state and the life cycle on the host's thread
// (one at a time); `setParameter`, `getParameter` and the meter getters on the main thread; the
// render block on the [render-thread] (no allocation, no lock, no exception). Errors leave the
// throwing members as `pf::NSErrorException`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AUPeakLimiter.h"
#include "OrvexPreset.h"
#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "Orvex_Compander_Extension_Parameters.h"
#include "audio/AUAudioUnit.h"

class Orvex_Compander_Extension_AudioUnit : public pf::AUAudioUnit, public OrvexPresetDelegate {
public:
    // The component this unit is registered as.
    static constexpr pf::AudioComponentDescription kComponentDescription{
        pf::fourCharCode("aumf"), pf::fourCharCode("orvc"), pf::fourCharCode("Qrbn"), 0, 0};
    // Where the factory presets live, below the resource folder of the plug-in's bundle.
    static constexpr std::string_view kFactoryPresetFolder =
        "Orvex Compander Folder/Library/Factory Presets/";

    // Logs "AUExtension::init()" and the manufacturer and subtype codes, builds the adapter, the
    // tree (every default pushed into the kernel) and the limiter holder, then initialises the
    // base with `componentDescription` and no options (`options` is not passed on). Throws
    // kAudioUnitErr_FailedInitialization when the platform peak limiter cannot be instantiated.
    static std::shared_ptr<Orvex_Compander_Extension_AudioUnit>
    create(const pf::AudioComponentDescription& componentDescription,
           pf::AudioComponentInstantiationOptions options = 0);

    Orvex_Compander_Extension_AudioUnit(const pf::AudioComponentDescription& componentDescription,
                                        pf::AudioComponentInstantiationOptions options);
    ~Orvex_Compander_Extension_AudioUnit() override;

    // ---- Buses and fixed answers (each read logs its line) --------------------------------
    std::shared_ptr<pf::AUAudioUnitBusArray> inputBusses() override;
    std::shared_ptr<pf::AUAudioUnitBusArray> outputBusses() override;
    bool isMusicDeviceOrEffect() const override;
    pf::NSInteger virtualMIDICableCount() const override;
    std::vector<std::string> MIDIOutputNames() const override;
    bool canPerformInput() const override;
    bool canPerformOutput() const override;
    bool canProcessInPlace() const override;
    std::optional<std::vector<pf::NSInteger>> channelCapabilities() const override;
    // Always absent; a written map is dropped.
    std::optional<std::vector<pf::NSInteger>> channelMap() const override { return std::nullopt; }
    void setChannelMap(std::optional<std::vector<pf::NSInteger>>) override {}
    std::vector<pf::NSInteger> parametersForOverview(pf::NSInteger count) override;
    std::set<pf::NSUInteger> supportedViewConfigurations(
        const std::vector<pf::AUAudioUnitViewConfiguration>& configurations) override;

    // ---- Properties with actions ----------------------------------------------------------
    // After the base stores the value: log, then hand it to the adapter.
    void setMaximumFramesToRender(pf::AUAudioFrameCount frames) override;
    // After the base stores the flag: log, then the kernel's bypass and the wrapped unit's.
    void setShouldBypassEffect(bool bypass) override;
    // The builder's tree; a written tree is logged and dropped.
    std::shared_ptr<pf::AUParameterTree> parameterTree() override;
    void setParameterTree(std::shared_ptr<pf::AUParameterTree> tree) override;
    // Kept by the unit itself and handed to the adapter on every write; both directions log.
    pf::AUMIDIOutputEventBlock MIDIOutputEventBlock() const override;
    void setMIDIOutputEventBlock(pf::AUMIDIOutputEventBlock block) override;

    // ---- Render resources and rendering ----------------------------------------------------
    // Throws kAudioUnitErr_FormatNotSupported unless the published output format has 2
    // channels (nothing else done then), and the wrapped unit's allocation error.
    void allocateRenderResources() override;
    void deallocateRenderResources() override;
    void reset() override;
    pf::AUInternalRenderBlock internalRenderBlock() override;

    // ---- Presets and state -----------------------------------------------------------------
    // One preset per property-list file of the factory folder, numbered from 0 in the order of
    // the listing (sorted by name); built anew on every read.
    std::optional<std::vector<std::shared_ptr<pf::AUAudioUnitPreset>>> factoryPresets() override;
    std::shared_ptr<pf::AUAudioUnitPreset> currentPreset() override { return _currentPreset; }
    // Applies the preset; a failure is logged and the current preset stays.
    void setCurrentPreset(std::shared_ptr<pf::AUAudioUnitPreset> preset) override;
    // The dictionary of the preset's factory file, applying nothing. Throws
    // kAudioUnitErr_InvalidFilePath when there is no such file (or the name could leave the
    // folder), kAudioUnitErr_InvalidFile when the file cannot be read as a preset.
    pf::PlistDictionary presetState(const pf::AUAudioUnitPreset& preset) override;
    // The preset dictionary of the current tree.
    std::optional<pf::PlistDictionary> fullState() override;
    // Stores the state and applies every parameter in it to the tree.
    void setFullState(std::optional<pf::PlistDictionary> state) override;
    // Answers false; its log line says true.
    bool supportsUserPresets() const override;

    // ---- Preset reader callback -------------------------------------------------------------
    // Sets the tree parameter at `address` when the tree has one; nothing else.
    void onFoundParameter(std::int64_t group, const std::string& identifier, std::uint64_t address,
                          float value) override;

    // ---- What the plug-in interface calls ---------------------------------------------------
    // Sets the tree value when it differs, and in every case hands the value to the adapter.
    virtual void setParameter(std::int32_t address, float value);
    // The kernel's value of the tree parameter at `address`; 0 when the tree has none.
    virtual float getParameter(std::int32_t address);
    // The rate of the published output bus (logs the bus read).
    virtual double getSamplerate();
    virtual float getDynamicsValue1();
    virtual float getDynamicsValue2();
    virtual float getPeakValue1();
    virtual float getPeakValue2();

    // Logs the display names of `tree`'s children, groups recursively, indented by level.
    void dumpParameters(const std::string& name, const std::shared_ptr<pf::AUParameterGroup>& tree,
                        std::int64_t level);

    // For tests and diagnostics.
    const std::shared_ptr<Orvex_Compander_ExtensionDSPKernelAdapter>& adapter() const {
        return kernelAdapter;
    }
    AUPeakLimiter& limiterHolder() const { return *effect; }
    std::shared_ptr<pf::AUAudioUnit> wrapped() const;
    // The output list of the cycle in progress (or of the last one).
    pf::AudioBufferList* currentOuputData() const;
    // The limiter's pull block: copies the current output list's buffer descriptions into the
    // list it is given (for the buffers both lists hold) and answers noErr.
    pf::AURenderPullInputBlock renderPullInputBlock() const;

    // Where the factory presets are looked for: the plug-in bundle's resource folder.
    static std::optional<pf::URL> factoryPresetFolder();

private:
    struct RenderState;

    // The one place the unit's lines go through.
    void debugprint(std::string_view message) const;
    virtual void setSamplerate();

    // The factory file of a preset name, or nothing when the name could leave the folder.
    static std::optional<pf::URL> presetFile(const std::string& name);
    // The file of `name` when it exists; otherwise logs the "does not exist" line.
    std::optional<pf::URL> existingPresetFile(const std::string& name) const;
    std::shared_ptr<OrvexPresetDelegate> asDelegate();

    std::shared_ptr<Orvex_Compander_ExtensionDSPKernelAdapter> kernelAdapter;
    std::unique_ptr<Orvex_Compander_Extension_Parameters> parameters;
    std::unique_ptr<AUPeakLimiter> effect;
    pf::AUMIDIOutputEventBlock _midiOutputEventBlock;
    std::optional<pf::PlistDictionary> _fullState;
    std::vector<std::shared_ptr<pf::AUAudioUnitPreset>> presets;
    std::shared_ptr<pf::AUAudioUnitPreset> _currentPreset;
    std::shared_ptr<RenderState> renderState;
};
