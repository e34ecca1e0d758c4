#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ui/Offscreen.h"
#include "ui/UIImage.h"

using namespace pf;

TEST(UIImagePng, AWrittenPngReadsBackDrawsScaledAndWhatIsNoWholePngIsRefused) {
    const auto path = std::filesystem::temp_directory_path() / "pf_ui_roundtrip.png";
    ImageSurface src(2, 2);
    src.fill(UIColor(1, 0, 0.5, 1));
    ASSERT_TRUE(src.writePNG(path.string()));
    EXPECT_FALSE(src.writePNG("/nonexistent/dir/x.png"));
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(path);

    auto image = UIImage::fromData(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{2, 2}));
    BitmapContext bmp(10, 10);
    ScopedCurrentContext current(bmp.context());
    image->draw({0, 0, 10, 10});
    EXPECT_EQ(bmp.image().pixel(9, 9), src.pixel(1, 1));

    bytes.resize(bytes.size() / 2);
    EXPECT_FALSE(UIImage::fromData(bytes));
    EXPECT_FALSE(UIImage::fromData(std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_FALSE(UIImage::contentsOfFile("/nonexistent/file.png"));
}
