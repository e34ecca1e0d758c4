#include <gtest/gtest.h>

#include "ui/Offscreen.h"
#include "ui/TextDrawing.h"
#include "ui/UIFont.h"

using namespace pf;

namespace {

// Bounding box of pixels with any ink (alpha above a threshold); counts opaque pixels that are
// not blue.
CGRect blueInkBox(const ImageSurface& img, int& offColour) {
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const RGBA8 p = img.pixel(x, y);
            offColour += p.a > 200 && (p.b < 200 || p.r > 60);
            if (p.a <= 64) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    return {double(x0), double(y0), double(x1 - x0 + 1), double(y1 - y0 + 1)};
}

} // namespace

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

TEST(TextLayout, TextLaysOutIdenticallyAtOneAndTwoTimes) {
    NSStringAttributes attrs;
    attrs.font = UIFont::named("HelveticaNeue", 12);
    attrs.foregroundColor = UIColor(0, 0, 1, 1);
    attrs.paragraphStyle.alignment = NSTextAlignment::center;
    const std::string text = "audition bypass threshold";
    CGRect boxes[2];
    for (int i = 0; i < 2; ++i) {
        const CGFloat scale = i + 1;
        BitmapContext bmp(120, 60, scale);
        ScopedCurrentContext current(bmp.context());
        drawText(text, {0, 0, 80, 60}, attrs);
        int offColour = 0;
        const CGRect ink = blueInkBox(bmp.image(), offColour);
        EXPECT_EQ(offColour, 0) << "drawn in the attributes' colour";
        boxes[i] = ink.applying(CGAffineTransform::makeScale(1 / scale, 1 / scale));
    }
    // Same lines, same breaks, same positions in user units, to antialiasing.
    for (const auto& [one, two] : {std::pair{boxes[0].minX(), boxes[1].minX()},
                                   {boxes[0].minY(), boxes[1].minY()},
                                   {boxes[0].maxX(), boxes[1].maxX()},
                                   {boxes[0].maxY(), boxes[1].maxY()}})
        EXPECT_NEAR(one, two, 1.0);
    EXPECT_GT(boxes[0].height(), 20) << "wrapped at 80 units into more than one line";
}
