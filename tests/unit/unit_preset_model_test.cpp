// The preset model's reader: group numbers, and the files it refuses. Values of the wrong type
// are refused where the unit reads presets and states.
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
