#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "TempDir.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "core/PropertyList.h"

namespace {

using pf::PlistValue;
using pf::PropertyListFormat;
using pf::PropertyListSerialization;

pf::PlistDictionary presetLike() {
    pf::PlistDictionary param;
    param.set("address", 3);
    param.set("identifier", "kCompanderRatio");
    param.set("value", 0.3f);
    pf::PlistDictionary group;
    group.set("identifier", "kGlobalParameters");
    group.set("count", 1);
    group.set("param 0", param);
    pf::PlistDictionary root;
    root.set("version", 1);
    root.set("type", 0x61756D66u);
    root.set("name", "Gentle <&> Yaoundé");
    root.set("group 0", group);
    root.set("empty", pf::PlistArray{});
    root.set("list", pf::PlistArray{true, false, -5, 2.5, pf::PlistData{0, 1, 2, 255},
                                    pf::PlistDate{86400.0}, pf::PlistDictionary{}});
    root.set("min", std::numeric_limits<std::int64_t>::min());
    root.set("max", std::numeric_limits<std::int64_t>::max());
    return root;
}

class PropertyListRoundTrip : public ::testing::TestWithParam<PropertyListFormat> {};

TEST_P(PropertyListRoundTrip, NestedDictionariesComeBackEqualAndInOrder) {
    const PlistValue original(presetLike());
    PropertyListFormat found{};
    const auto bytes = PropertyListSerialization::data(original, GetParam());
    const PlistValue back = PropertyListSerialization::propertyList(bytes, &found);
    EXPECT_EQ(found, GetParam());
    EXPECT_EQ(back, original);
    EXPECT_EQ(back.dictionary()->keys(), original.dictionary()->keys());
    const auto* group = back.dictionary()->find("group 0")->dictionary();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->keys(), (std::vector<std::string>{"identifier", "count", "param 0"}));
}

TEST_P(PropertyListRoundTrip, FloatsComeBackBitIdenticalAndNanSurvives) {
    pf::PlistArray values;
    const float floats[] = {0.3f,
                            0.1f,
                            1e-7f,
                            std::numeric_limits<float>::min(),
                            std::numeric_limits<float>::denorm_min(),
                            -0.0f,
                            3.4028235e38f,
                            0.70710677f};
    for (float f : floats)
        values.emplace_back(f);
    values.emplace_back(std::numeric_limits<double>::quiet_NaN());
    values.emplace_back(-std::numeric_limits<double>::infinity());
    const auto bytes = PropertyListSerialization::data(PlistValue(values), GetParam());
    const auto back = PropertyListSerialization::propertyList(bytes);
    ASSERT_EQ(back.array()->size(), values.size());
    for (std::size_t i = 0; i < std::size(floats); ++i) {
        const float f = static_cast<float>(*(*back.array())[i].real());
        EXPECT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(floats[i])) << i;
    }
    EXPECT_TRUE(std::isnan(*(*back.array())[8].real()));
    EXPECT_EQ(*(*back.array())[9].real(), -std::numeric_limits<double>::infinity());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, PropertyListRoundTrip,
                         ::testing::Values(PropertyListFormat::xml, PropertyListFormat::binary));

TEST(PropertyList, XmlIsWrittenInThePlatformLayout) {
    pf::PlistDictionary dict;
    dict.set("a", 1);
    dict.set("b", pf::PlistArray{});
    dict.set("c", 0.5);
    dict.set("d", std::numeric_limits<std::uint64_t>::max()); // written exactly
    const auto bytes = PropertyListSerialization::data(PlistValue(dict), PropertyListFormat::xml);
    const std::string xml(bytes.begin(), bytes.end());
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n<dict>\n\t<key>a</key>\n\t<integer>1</integer>\n"
              "\t<key>b</key>\n\t<array/>\n\t<key>c</key>\n\t<real>0.5</real>\n"
              "\t<key>d</key>\n\t<integer>18446744073709551615</integer>\n</dict>\n</plist>\n");
}

TEST(PropertyList, TruncatedForeignEmptyOrTooDeepInputGivesAClearErrorAndNoCrash) {
    const PlistValue original(presetLike());
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        const auto bytes = PropertyListSerialization::data(original, format);
        for (std::size_t cut : {bytes.size() / 2, bytes.size() - 9, std::size_t{7}}) {
            const std::span<const std::uint8_t> part(bytes.data(), cut);
            try {
                PropertyListSerialization::propertyList(part);
                ADD_FAILURE() << "truncated input parsed, cut " << cut;
            } catch (const pf::NSErrorException& e) {
                EXPECT_EQ(e.error().domain(), pf::NSCocoaErrorDomain);
                EXPECT_EQ(e.error().code(), pf::NSPropertyListReadCorruptError);
                EXPECT_EQ(
                    e.error().localizedDescription(),
                    "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
            }
        }
    }
    EXPECT_THROW(PropertyListSerialization::propertyList(std::string_view("RIFF....WAVEfmt ")),
                 pf::NSErrorException);
    EXPECT_THROW(PropertyListSerialization::propertyList(std::string_view("")),
                 pf::NSErrorException);
    EXPECT_THROW(PropertyListSerialization::propertyList(std::string_view("bplist00")),
                 pf::NSErrorException);
    // Absurdly deep nesting is refused, not a stack overflow.
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    EXPECT_THROW(PropertyListSerialization::propertyList(std::string_view(deep)),
                 pf::NSErrorException);
}

TEST(PropertyList, FilesAreReadInEitherFormatAndMissingFilesThrowTheFileError) {
    test::TempDir dir;
    const PlistValue original(presetLike());
    for (auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        const std::string path = dir.path() + "/preset.plist";
        pf::FileManager::defaultManager().writeAtomically(
            path, PropertyListSerialization::data(original, format));
        PropertyListFormat found{};
        EXPECT_EQ(PropertyListSerialization::propertyListWithContentsOfFile(path, &found),
                  original);
        EXPECT_EQ(found, format);
    }
    try {
        PropertyListSerialization::propertyListWithContentsOfFile(dir.path() + "/missing.plist");
        ADD_FAILURE();
    } catch (const pf::NSErrorException& e) {
        EXPECT_EQ(e.error().code(), 260);
        EXPECT_EQ(e.error().localizedDescription(),
                  "The file \u201Cmissing.plist\u201D couldn\u2019t be opened because there is no "
                  "such file.");
    }
}

TEST(PlistDictionary, SetReplacesInPlaceAndEraseKeepsTheOrder) {
    pf::PlistDictionary dict;
    dict.set("b", 1);
    dict.set("a", 2);
    dict.set("c", 3);
    dict.set("a", "two");
    dict["d"] = 4.0;
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"b", "a", "c", "d"}));
    EXPECT_EQ(*dict.find("a")->string(), "two");
    EXPECT_TRUE(dict.erase("b"));
    EXPECT_FALSE(dict.erase("b"));
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(dict.find("c")->number(), 3.0);
    EXPECT_FALSE(dict.find("c")->real().has_value());
    EXPECT_FALSE(PlistValue(std::uint64_t{1} << 63).integer().has_value());
    EXPECT_FALSE(PlistValue(-1).unsignedInteger().has_value());
}

} // namespace
