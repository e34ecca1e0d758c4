#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "ui/Offscreen.h"
#include "ui/UIImage.h"

using namespace pf;

namespace {

cairo_status_t collect(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

TEST(UIImagePng, DecodesPngDataAndDrawsItScaledIntoARect) {
    ImageSurface src(2, 2);
    src.fill(UIColor(1, 0, 0, 1));
    std::vector<std::uint8_t> png;
    ASSERT_EQ(cairo_surface_write_to_png_stream(src.surface(), collect, &png),
              CAIRO_STATUS_SUCCESS);
    auto image = UIImage::fromData(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{2, 2}));

    BitmapContext bmp(10, 10);
    ScopedCurrentContext current(bmp.context());
    image->draw({0, 0, 10, 10});
    EXPECT_EQ(bmp.image().pixel(5, 5), (RGBA8{255, 0, 0, 255}));
}

TEST(UIImagePng, RefusesDataThatIsNoPngOrIsCutShort) {
    const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(UIImage::fromData(text));
    ImageSurface src(4, 4);
    std::vector<std::uint8_t> png;
    cairo_surface_write_to_png_stream(src.surface(), collect, &png);
    png.resize(png.size() / 2);
    EXPECT_FALSE(UIImage::fromData(png));
    EXPECT_FALSE(UIImage::contentsOfFile("/nonexistent/file.png"));
}

TEST(ImageSurfaceFiles, PngWrittenToDiskReadsBackTheSamePixels) {
    const auto path = std::filesystem::temp_directory_path() / "pf_ui_roundtrip.png";
    ImageSurface src(3, 3);
    src.fill(UIColor(0, 0.5, 1, 1));
    ASSERT_TRUE(src.writePNG(path.string()));
    auto image = UIImage::contentsOfFile(path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(image);
    ImageSurface back(cairo_surface_reference(image->surface()));
    EXPECT_EQ(back.pixel(1, 1), src.pixel(1, 1));
    EXPECT_FALSE(src.writePNG("/nonexistent/dir/x.png"));
}
