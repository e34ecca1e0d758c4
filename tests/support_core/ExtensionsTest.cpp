#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "EnvGuard.h"
#include "Extensions.h"
#include "TempDir.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TEST(StringValue, FourCharacterCodesReadMostSignificantByteFirstInMacOsRoman) {
    EXPECT_EQ(stringValue(0x61756D66), "aumf");
    EXPECT_EQ(stringValue(0x6F727663), "orvc");
    EXPECT_EQ(stringValue(0x5172626E), "Qrbn");
    EXPECT_EQ(stringValue(0), std::string(4, '\0')); // four NULs, not "FAIL", not empty
    EXPECT_EQ(stringValue(0x80818283), "\u00C4\u00C5\u00C7\u00C9"); // high bytes as Mac OS Roman
}

TEST(Logging, RenderThreadLinesGoThroughTheRingWithoutAllocating) {
    pf::ConsoleCapture capture;
    int allocations = -1;
    std::thread render([&] {
        pf::RenderThreadScope scope;
        testsupport::AllocationCount counter;
        safeprint("AUExtension: render failed (first)");
        debugprint("AUExtension: render failed (second)");
        allocations = counter.count();
    });
    render.join();
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return capture.lines().size() == 2; }, 30s));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"AUExtension: render failed (first)",
                                                         "AUExtension: render failed (second)"}));
}

class EnsureDirectoryExists : public ::testing::Test {
protected:
    test::TempDir dir;
    pf::ConsoleCapture capture;
    std::vector<std::string> loggedLines() {
        pf::drainMainQueue();
        return capture.lines();
    }
};

TEST_F(EnsureDirectoryExists, RefusesAPlainFileInTheWayAndLogsOneLine) {
    const std::string file = dir.path() + "/Presets";
    std::ofstream(file) << "not a folder";
    EXPECT_FALSE(ensureDirectoryExists(pf::URL::fileURLWithPath(file)));
    EXPECT_TRUE(fs::is_regular_file(file));
    const auto lines = loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "ensureDirectoryExists() : ERROR: Creating required directory '" + file +
                            "' failed: The file \u201CPresets\u201D couldn\u2019t be saved in the "
                            "folder \u201C" +
                            fs::path(dir.path()).filename().string() +
                            "\u201D because a file with the same name already exists.");

    // Below a plain file the reason names the deepest folder and its parent.
    const std::string below = file + "/sub/folder";
    EXPECT_FALSE(ensureDirectoryExists(pf::URL::fileURLWithPath(below, true)));
    EXPECT_EQ(loggedLines().back(),
              "ensureDirectoryExists() : ERROR: Creating required directory '" + below +
                  "' failed: The file \u201Cfolder\u201D couldn\u2019t be saved in the folder "
                  "\u201Csub\u201D.");
}

// An existing directory answers true and stays as it was; a directory three levels below an
// existing one is made with both missing parents. Neither logs anything.
TEST_F(EnsureDirectoryExists, AcceptsAnExistingDirectoryAndMakesEveryMissingLevelSilently) {
    const std::string presets = dir.path() + "/Presets";
    fs::create_directory(presets);
    std::ofstream(presets + "/Gentle Glue.plist") << "kept";
    EXPECT_TRUE(ensureDirectoryExists(pf::URL::fileURLWithPath(presets, true)));
    EXPECT_EQ(std::distance(fs::directory_iterator(presets), fs::directory_iterator()), 1);

    const std::string deep = presets + "/a/b/c";
    EXPECT_TRUE(ensureDirectoryExists(pf::URL::fileURLWithPath(deep, true)));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(ensureDirectoryExists(pf::URL::fileURLWithPath(deep, true)));
    EXPECT_TRUE(loggedLines().empty());
}

TEST(GetPaths, SetsAndLogsBothFoldersEveryTime) {
    test::TempDir dir;
    test::EnvGuard xdg("XDG_DATA_HOME");
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    fs::create_directories(dir.path() + "/Host.app/Resources");
    pf::Bundle::setMainBundleOverride(dir.path() + "/Host.app");
    pf::ConsoleCapture capture;
    getPaths();
    getPaths();
    pf::drainMainQueue();
    pf::Bundle::setMainBundleOverride(std::nullopt);
    const std::string documents = dir.path() + "/support_core_test/Documents";
    ASSERT_TRUE(documentsURL.has_value());
    EXPECT_EQ(documentsURL->path(), documents);
    ASSERT_TRUE(resourcesURL.has_value());
    EXPECT_EQ(resourcesURL->path(), dir.path() + "/Host.app/Resources");
    const std::string a =
        "AudioUnitViewController::getPaths() : Audio Unit's documents path is: " + documents;
    const std::string b =
        "AudioUnitViewController::getPaths() : Audio Unit's resources path is: " + dir.path() +
        "/Host.app/Resources";
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{a, b, a, b}));
    // The shared audio and MIDI addresses are not among the folders it fills.
    EXPECT_FALSE(sharedURLAudio.has_value());
    EXPECT_FALSE(sharedURLMIDI.has_value());
}

// The city list holds its 197 names in their order, spellings as they are ("Copenagen").
TEST(Capitals, HoldsTheCityNamesInTheirOrder) {
    const std::string_view names =
        "Kabul|Tirana|Algiers|Andorra la Vella|Luanda|St. John's|Buenos Aires|Yerevan|Canberra|"
        "Vienna|Baku|Nassau|Manama|Dhaka|Bridgetown|Minsk|Brussels|Belmopan|Porto Novo|Thimphu|"
        "Sucre|Sarajevo|Gaborone|Brasilia|Bandar Seri Begawan|Sofia|Ouagadougou|Bujumbura|"
        "Phnom Penh|Yaoundé|Ottawa|Praia|Bangui|N'Djamena|Santiago|Beijing|Bogota|Moroni|"
        "San José|Zagreb|Havana|Nicosia|Prague|Kinshasa|Copenagen|Djibouti|Roseau|Santo Domingo|"
        "Dili|Quito|Cairo|San Salvador|Malabo|Asmara|Tallinn|Mbabane|Addis Ababa|Suva|Helsinki|"
        "Paris|Libreville|Banjul|Tbilisi|Berlin|Accra|Athens|St. George's|Guatemala City|Conakry|"
        "Bissau|Georgetown|Port-au-Prince|Tegucigalpa|Budapest|Reykjavík|New Delhi|Jakarta|"
        "Tehran|Baghdad|Dublin|Jerusalem|Rome|Yamoussoukro|Kingston|Tokyo|Amman|Astana|Nairobi|"
        "Tarawa|Pyongyang|Seoul|Pristina|Kuwait City|Bishkek|Vientiane|Riga|Beirut|Maseru|"
        "Monrovia|Tripoli|Vaduz|Vilnius|Luxembourg|Antananarivo|Lilongwe|Kuala Lumpur|Malé|"
        "Bamako|Valletta|Majuro|Nouakchott|Port Louis|Mexico City|Palikir|Chisinau|Monaco|"
        "Ulaanbaatar|Podgorica|Rabat|Maputo|Naypyidaw|Windhoek|Yaren|Kathmandu|Amsterdam|"
        "Wellington|Managua|Niamey|Abuja|Skopje|Oslo|Muscat|Islamabad|Melekeok|East Jerusalem|"
        "Panama City|Port Moresby|Asunción|Lima|Manila|Warsaw|Lisbon|Doha|Brazzaville|Bucharest|"
        "Moscow|Kigali|Basseterre|Castries|Kingstown|Apia|San Marino|São Tomé|Riyadh|Dakar|"
        "Belgrade|Victoria|Freetown|Singapore|Bratislava|Ljubljana|Honiara|Mogadishu|Pretoria|"
        "Juba|Madrid|Sri Jayawardenapura Kotte|Khartoum|Paramaribo|Stockholm|Bern|Damascus|"
        "Taipei|Dushanbe|Dodoma|Bangkok|Lomé|Nukualofa|Port of Spain|Tunis|Ankara|Ashgabat|"
        "Funafuti|Kampala|Kiev|Abu Dhabi|London|Washington D.C.|Montevideo|Tashkent|Port Vila|"
        "Vatican City|Caracas|Hanoi|Sana'a|Lusaka|Harare";
    std::vector<std::string_view> expected;
    for (std::size_t from = 0, bar = 0; bar != std::string_view::npos; from = bar + 1) {
        bar = names.find('|', from);
        expected.push_back(names.substr(from, bar == std::string_view::npos ? bar : bar - from));
    }
    ASSERT_EQ(expected.size(), 197u);
    ASSERT_EQ(capitals.size(), expected.size());
    for (std::size_t i = 0; i < capitals.size(); ++i)
        EXPECT_EQ(capitals[i], expected[i]) << "at " << i;
}

} // namespace
