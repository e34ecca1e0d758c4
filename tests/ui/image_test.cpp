#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <vector>

#include "ui/Offscreen.h"
#include "ui/UIImage.h"

using namespace pf;

namespace {

std::vector<std::uint8_t> pngOf(const ImageSurface& image) {
    std::vector<std::uint8_t> out;
    cairo_surface_write_to_png_stream(
        image.surface(),
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
            bytes->insert(bytes->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    return out;
}

} // namespace

TEST(UIImagePng, DecodesPngDataDrawsItScaledAndRefusesWhatIsNoPng) {
    ImageSurface src(2, 2);
    src.fill(UIColor(1, 0, 0, 1));
    auto image = UIImage::fromData(pngOf(src));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{2, 2}));
    BitmapContext bmp(10, 10);
    ScopedCurrentContext current(bmp.context());
    image->draw({0, 0, 10, 10});
    EXPECT_EQ(bmp.image().pixel(5, 5), (RGBA8{255, 0, 0, 255}));

    EXPECT_FALSE(UIImage::fromData(std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    auto cut = pngOf(ImageSurface(4, 4));
    cut.resize(cut.size() / 2);
    EXPECT_FALSE(UIImage::fromData(cut));
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
