#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

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
    root.set("floats",
             pf::PlistArray{1e-7f, std::numeric_limits<float>::denorm_min(), 0.70710677f});
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

} // namespace
