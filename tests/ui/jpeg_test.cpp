#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

#include "ui/JPEGDecoder.h"
#include "ui/Offscreen.h"
#include "ui/UIImage.h"

using namespace pf;

namespace {

// A solid-colour JPEG of the given size, made with libjpeg's encoder.
std::vector<std::uint8_t> solidJPEG(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < w; ++x)
        row.insert(row.end(), {r, g, b});
    while (info.next_scanline < info.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

} // namespace

TEST(UIImageJpeg, DecodesJpegIntoAnOpaqueImageAndRefusesTruncatedOrCorruptData) {
    ASSERT_TRUE(jpegDecodingAvailable());
    auto image = UIImage::fromData(solidJPEG(16, 8, 200, 40, 10));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{16, 8}));
    ImageSurface pixels(cairo_surface_reference(image->surface()));
    const RGBA8 p = pixels.pixel(5, 5);
    EXPECT_TRUE(std::abs(p.r - 200) <= 3 && std::abs(p.g - 40) <= 3 && std::abs(p.b - 10) <= 3 &&
                p.a == 255)
        << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a);

    const auto bytes = solidJPEG(64, 64, 1, 2, 3);
    auto cut = bytes;
    cut.resize(20);
    EXPECT_FALSE(UIImage::fromData(cut));
    auto corrupt = bytes;
    for (std::size_t i = 2; i < 200 && i < corrupt.size(); ++i)
        corrupt[i] = 0xFF;
    EXPECT_FALSE(UIImage::fromData(corrupt));
}
