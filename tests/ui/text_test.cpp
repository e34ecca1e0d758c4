#include <gtest/gtest.h>

#include "ui/UIFont.h"

using namespace pf;

TEST(UIFontMapping, PanelFacesResolveToTheirStandInsAndUnknownFacesToNoFont) {
    struct Case {
        const char* name;
        const char* family; // null: no font
        bool bold;
    };
    const Case cases[] = {
        {"HelveticaNeue-CondensedBold", "Nimbus Sans Narrow", true},
        {"HelveticaNeue", "Nimbus Sans", false},
        {"HelveticaNeue-Bold", "Nimbus Sans", true},
        {"NoSuchFace-Bold", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto font = UIFont::named(c.name, 22);
        ASSERT_EQ(font.has_value(), c.family != nullptr) << "fonts-urw-base35 is installed";
        if (!font) continue;
        EXPECT_EQ(font->familyName(), c.family);
        EXPECT_EQ(font->isBold(), c.bold);
    }
    EXPECT_EQ(UIFont::systemFont(10).familyName(), "Nimbus Sans");
}
