#include <gtest/gtest.h>

#include <algorithm>
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

// A solid orange 16 x 8 JPEG, made with libjpeg's encoder.
std::vector<std::uint8_t> orangeJPEG() {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 16;
    info.image_height = 8;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 16; ++x)
        row.insert(row.end(), {200, 40, 10});
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
    auto bytes = orangeJPEG();
    auto image = UIImage::fromData(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{16, 8}));
    ImageSurface pixels(cairo_surface_reference(image->surface()));
    const RGBA8 p = pixels.pixel(5, 5);
    EXPECT_TRUE(std::abs(p.r - 200) <= 3 && std::abs(p.g - 40) <= 3 && std::abs(p.b - 10) <= 3 &&
                p.a == 255)
        << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a);

    EXPECT_FALSE(UIImage::fromData(std::span(bytes).first(20)));
    std::fill(bytes.begin() + 2, bytes.begin() + 200, 0xFF);
    EXPECT_FALSE(UIImage::fromData(bytes));
}
