// Factory presets, the current preset, preset state and the full state, with the factory folder
// of a temporary plug-in bundle.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "UnitTestSupport.h"
#include "core/FileManager.h"
#include "core/NSError.h"

using namespace unittest;
namespace fs = std::filesystem;

namespace {

// A preset file of the unit's shape with every parameter at `values[i]`.
void writePreset(const fs::path& file, const std::vector<float>& values) {
    const auto unit = makeUnit();
    for (std::size_t i = 0; i < values.size(); ++i) {
        unit->parameterTree()->parameterWithAddress(i)->setValue(values[i]);
    }
    OrvexPreset writer;
    writer.makeFrom(unit->parameterTree());
    ASSERT_TRUE(writer.save(pf::URL::fileURLWithPath(file.string())));
}

std::vector<float> kernelValues(const Unit& unit) {
    std::vector<float> values;
    for (pf::AUParameterAddress i = 0; i < 12; ++i) {
        values.push_back(const_cast<Unit&>(unit).adapter()->kernel().getParameter(i));
    }
    return values;
}

std::vector<float> treeValues(Unit& unit) {
    std::vector<float> values;
    for (const auto& p : unit.parameterTree()->allParameters())
        values.push_back(p->value());
    return values;
}

const std::vector<float> kWarm{0.2f, 0.3f, 0.4f, 0.6f, 0.7f, 0.9f, 2, 0, 0, 0, 1, 1};
const std::vector<float> kBright{0.05f, 0.15f, 0.55f, 0.8f, 0.45f, 0.5f, 1, 0, 0, 0, 1, 0};
const std::vector<float> kDefaults{0.1f, 0.5f, 0.8f, 0.5f, 0.5f, 1, 0, 0, 0, 0, 1, 1};

std::vector<std::string> names(const std::vector<std::shared_ptr<pf::AUAudioUnitPreset>>& list) {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]->number, static_cast<std::int64_t>(i));
        result.push_back(list[i]->name);
    }
    return result;
}

int thrownCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().domain(), pf::NSOSStatusErrorDomain);
        EXPECT_TRUE(e.error().userInfo().empty());
        return static_cast<int>(e.error().code());
    }
    return 0;
}

} // namespace

TEST(FactoryPresets, ListedNumberedInListingOrderAndRebuiltOnEveryRead) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    writePreset(folder / "Warm.plist", kWarm);
    writePreset(folder / "Bright.PLIST", kBright);
    writePreset(folder / "Alpha.pList", kWarm);
    std::ofstream(folder / "notes.txt") << "not a preset";
    fs::create_directory(folder / "Folder.plist");

    const auto unit = makeUnit();
    EXPECT_EQ(names(*unit->factoryPresets()),
              (std::vector<std::string>{"Alpha", "Bright", "Warm"}));
    EXPECT_EQ(names(*unit->factoryPresets()),
              (std::vector<std::string>{"Alpha", "Bright", "Warm"}));
    writePreset(folder / "Zed.plist", kBright);
    EXPECT_EQ(unit->factoryPresets()->size(), 4u);
}

TEST(CurrentPreset, ApplyingAFactoryPresetSetsTheTreeAndTheKernelAndBecomesCurrent) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    writePreset(folder / "Bright.plist", kBright);
    writePreset(folder / "Warm.plist", kWarm);
    const auto unit = makeUnit();
    int notified = 0;
    unit->parameterTree()->tokenByAddingParameterObserver(
        [&](pf::AUParameterAddress, pf::AUValue) { ++notified; });
    const auto presets = *unit->factoryPresets();
    unit->setCurrentPreset(presets[1]);
    EXPECT_EQ(unit->currentPreset(), presets[1]);
    EXPECT_EQ(treeValues(*unit), kWarm);
    EXPECT_EQ(kernelValues(*unit), kWarm);
    EXPECT_EQ(notified, 12); // the panel hears of every value
    unit->setCurrentPreset(nullptr);
    EXPECT_EQ(unit->currentPreset(), nullptr);
    EXPECT_EQ(kernelValues(*unit), kWarm);
}

TEST(CurrentPreset, RefusedPresetsChangeNothingAndLogWhy) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    writePreset(folder / "Warm.plist", kWarm);
    writePreset(bundle.root() / "Outside.plist", kBright);
    const auto unit = makeUnit();
    pf::ConsoleCapture capture;

    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("Warm", 0)); // before the list was read
    (void)unit->factoryPresets();
    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("Warm", 1));
    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("Gone", 0));
    // A name that would leave the factory folder.
    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("../../../../../Outside", 0));
    unit->setCurrentPreset(pf::AUAudioUnitPreset::make("..", 0));
    EXPECT_EQ(unit->currentPreset(), nullptr);
    EXPECT_EQ(kernelValues(*unit), kDefaults);
    EXPECT_EQ(
        drainedLines(capture),
        (std::vector<std::string>{
            "AUExtension::ERROR: The preset number 0 is invalid.",
            "AUExtension::ERROR: The preset number 1 is invalid.",
            "AUExtension::ERROR: The preset file 'Gone.plist' does not exist.",
            "AUExtension::ERROR: The preset file '../../../../../Outside.plist' does not exist.",
            "AUExtension::ERROR: The preset file '...plist' does not exist."}));
}

// Files that cannot be read as presets used to become current and answer their state as success:
// no property list, a value of the wrong type, a key without a value, a named pipe (which is not
// listed, and never blocks). Each applies nothing and says why on standard error.
TEST(CurrentPreset, AnUnreadableFileAppliesNothingAndDoesNotBecomeCurrent) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    writePreset(folder / "Good.plist", kWarm);
    std::ofstream(folder / "Broken.plist") << "<plist><dict><key>name</key>";
    const auto good = pf::PropertyListSerialization::propertyListWithContentsOfFile(
        (folder / "Good.plist").string());
    writePreset(folder / "Odd.plist", kBright); // other values, so a part applied shows
    auto odd = pf::PropertyListSerialization::propertyListWithContentsOfFile(
        (folder / "Odd.plist").string()); // one value turned into text
    odd.dictionary()->find("group 0")->dictionary()->find("param 3")->dictionary()->set(
        "value", pf::PlistValue("0.6"));
    const auto bytes = pf::PropertyListSerialization::data(good, pf::PropertyListFormat::xml);
    std::string dangling(bytes.begin(), bytes.end());
    dangling.insert(dangling.find("</dict>"), "<key>extra</key>"); // at the end of a group
    pf::FileManager::defaultManager().writeAtomically(
        (folder / "Odd.plist").string(),
        pf::PropertyListSerialization::data(odd, pf::PropertyListFormat::xml));
    std::ofstream(folder / "Dangling.plist") << dangling;
    ASSERT_EQ(::mkfifo((folder / "Pipe.plist").c_str(), 0600), 0);

    const auto unit = makeUnit();
    const auto presets = *unit->factoryPresets();
    EXPECT_EQ(names(presets), (std::vector<std::string>{"Broken", "Dangling", "Good", "Odd"}));
    unit->setCurrentPreset(presets[2]);
    testing::internal::CaptureStderr();
    for (const auto& bad :
         {presets[0], presets[1], presets[3], pf::AUAudioUnitPreset::make("Pipe", 1)}) {
        unit->setCurrentPreset(bad);
        EXPECT_EQ(unit->currentPreset(), presets[2]) << bad->name;
        EXPECT_EQ(kernelValues(*unit), kWarm) << bad->name;
        EXPECT_EQ(thrownCode([&] { unit->presetState(*bad); }), pf::kAudioUnitErr_InvalidFile)
            << bad->name;
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    for (const auto& [file, reason] : {std::pair{"Dangling.plist", "a dictionary key has no value"},
                                       std::pair{"Pipe.plist", "isn\u2019t a regular file"}}) {
        const auto at = errors.find((folder / file).string() + " cannot be read: ");
        ASSERT_NE(at, std::string::npos) << errors;
        EXPECT_NE(errors.find(reason, at), std::string::npos) << errors;
    }
}

TEST(PresetState, AnswersTheFilesDictionaryWithoutApplyingIt) {
    TemporaryBundle bundle;
    const auto folder = bundle.makePresetFolder();
    writePreset(folder / "Warm.plist", kWarm);
    writePreset(bundle.root() / "Outside.plist", kBright);
    const auto unit = makeUnit();
    // The unit is the registered delegate, as after any applied state.
    unit->setFullState(unit->fullState());

    const auto state = unit->presetState(*pf::AUAudioUnitPreset::make("Warm", 0));
    EXPECT_EQ(
        state.find("group 0")->dictionary()->find("param 6")->dictionary()->find("value")->real(),
        2.0);
    EXPECT_EQ(kernelValues(*unit), kDefaults);
    EXPECT_EQ(treeValues(*unit), kDefaults);

    EXPECT_EQ(thrownCode([&] { unit->presetState(*pf::AUAudioUnitPreset::make("Missing", 3)); }),
              pf::kAudioUnitErr_InvalidFilePath);
    EXPECT_EQ(thrownCode([&] {
                  unit->presetState(*pf::AUAudioUnitPreset::make("../../../../../Outside", 0));
              }),
              pf::kAudioUnitErr_InvalidFilePath);
    EXPECT_EQ(kernelValues(*unit), kDefaults);
}

TEST(FullState, RoundTripRestoresEveryParameterIntoTheTreeAndTheKernel) {
    const auto source = makeUnit();
    for (std::size_t i = 0; i < 12; ++i)
        source->setParameter(static_cast<int>(i), kBright[i]);
    const auto state = source->fullState();
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->contains("group 0"));
    EXPECT_FALSE(state->contains("data")); // nothing of the base class's own state

    const auto target = makeUnit();
    target->setFullState(state);
    EXPECT_EQ(treeValues(*target), kBright);
    EXPECT_EQ(kernelValues(*target), kBright);
    EXPECT_EQ(target->fullState(), state);

    target->setFullState(std::nullopt);
    EXPECT_EQ(kernelValues(*target), kBright);
}

TEST(FullState, AStateWithValuesOfTheWrongTypeAppliesNothing) {
    const auto unit = makeUnit();
    auto state = *unit->fullState();
    auto& group = *state.find("group 0")->dictionary();
    group.find("param 0")->dictionary()->set("value", pf::PlistValue(0.9f));
    group.find("param 5")->dictionary()->set("value", pf::PlistValue("loud"));
    unit->setFullState(state);
    EXPECT_EQ(kernelValues(*unit), kDefaults);
}
