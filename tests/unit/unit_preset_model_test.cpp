// The preset model's reader: group numbers, and what it refuses.
#include <gtest/gtest.h>

#include <fstream>

#include "OrvexPreset.h"
#include "UnitTestSupport.h"
#include "core/FileManager.h"
#include "core/PropertyList.h"

using namespace unittest;

namespace {

// Counts the parameters the reader reports.
class Recorder final : public OrvexPresetDelegate {
public:
    void onFoundParameter(std::int64_t, const std::string&, std::uint64_t, float) override {
        ++found;
    }
    int found = 0;
};

// Registers a recorder as the class-level delegate for one test.
struct RecordingDelegate {
    RecordingDelegate() { OrvexPreset::setDelegate(recorder); }
    ~RecordingDelegate() { OrvexPreset::setDelegate(nullptr); }
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

pf::PlistDictionary& paramOf(pf::PlistDictionary& root) {
    return *root.find("group 0")->dictionary()->find("param 4")->dictionary();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(PresetModel, GroupNumberComesFromTheLastBlankSeparatedWord) {
    const struct {
        const char* identifier;
        std::int64_t expected;
    } cases[] = {{"kGlobalParameters", 0},
                 {"x 3", 3},
                 {"x +5", 5},
                 {"x -2", -2},
                 {"x 3 ", 0},
                 {"x 3a", 0},
                 {"x  12", 12},
                 {"42", 42},
                 {"x 99999999999999999999", 0}};
    for (const auto& [identifier, expected] : cases) {
        PresetGroup group;
        group.identifier = identifier;
        group.id = 99;
        group.findGroupNumber();
        EXPECT_EQ(group.id, expected) << '"' << identifier << '"';
    }
}

TEST(PresetModel, UnreadableFilesAreRefusedWithTheirMessageAndNothingReported) {
    TemporaryBundle folder;
    const auto path = [&](const char* name) { return (folder.root() / name).string(); };
    writeFile(path("garbage.plist"), "this is no property list");
    writeFile(path("array.plist"),
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");

    RecordingDelegate delegate;
    pf::ConsoleCapture capture;
    OrvexPreset reader;
    reader.patch->name = "kept";
    EXPECT_FALSE(reader.load(pf::URL::fileURLWithPath(path("garbage.plist"))));
    EXPECT_FALSE(reader.load(pf::URL::fileURLWithPath(path("array.plist"))));
    EXPECT_FALSE(reader.load(pf::URL::fileURLWithPath(path("missing.plist"))));
    EXPECT_TRUE(delegate.recorder->found == 0);
    EXPECT_EQ(reader.patch->name, "kept");
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string refusal = "AUPresetFile::FEHLER: Die Datei konnte nicht eingelesen werden: ";
    EXPECT_EQ(lines[0].rfind(refusal, 0), 0u);
    EXPECT_EQ(lines[1].rfind(refusal, 0), 0u);
    EXPECT_EQ(lines[2],
              "AUPresetFile::ERROR: The path " + path("missing.plist") + " does not exist.");
}

TEST(PresetModel, ValuesOfTheWrongTypeRefuseTheWholeDictionary) {
    const auto unit = makeUnit();
    OrvexPreset source;
    source.makeFrom(unit->parameterTree());
    const auto good = *source.getDictionary();
    using Edit = void (*)(pf::PlistDictionary&);
    const std::vector<std::pair<const char*, Edit>> edits{
        {"name", [](pf::PlistDictionary& d) { d.set("name", pf::PlistValue(5)); }},
        {"version", [](pf::PlistDictionary& d) { d.set("version", pf::PlistValue(1.5)); }},
        {"group", [](pf::PlistDictionary& d) { d.set("group 1", pf::PlistValue("x")); }},
        {"value", [](pf::PlistDictionary& d) { paramOf(d).set("value", pf::PlistValue("0.5")); }},
        {"address", [](pf::PlistDictionary& d) { paramOf(d).set("address", pf::PlistValue(-4)); }},
    };
    RecordingDelegate delegate;
    for (const auto& [what, edit] : edits) {
        auto bad = good;
        edit(bad);
        OrvexPreset reader;
        pf::ConsoleCapture capture;
        EXPECT_FALSE(reader.makeFrom(std::optional(bad))) << what;
        EXPECT_TRUE(delegate.recorder->found == 0) << what;
        EXPECT_EQ(capture.lines().size(), 1u) << what;
    }
    OrvexPreset reader;
    EXPECT_TRUE(reader.makeFrom(std::optional(good)));
    EXPECT_EQ(delegate.recorder->found, 12);
}
