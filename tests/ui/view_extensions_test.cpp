#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ViewExtensions.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"

using namespace pf;
namespace fs = std::filesystem;

TEST(ImageLoading, LoadFromShowsAPngScaledLaterAndLogsOneLinePerFailure) {
    RunLoop::claimMainThread();
    const fs::path dir = fs::temp_directory_path() / ("pf_view_ext_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ImageSurface red(2, 2);
    red.fill(UIColor(1, 0, 0, 1));
    ASSERT_TRUE(red.writePNG((dir / "red.png").string()));
    EXPECT_FALSE(red.writePNG((dir / "no/such/dir.png").string()));
    std::ofstream(dir / "text.txt") << "no image here";
    fs::copy_file(dir / "red.png", dir / "cut.png");
    fs::resize_file(dir / "cut.png", fs::file_size(dir / "red.png") / 2);
    const auto url = [&](const char* name) { return "file://" + (dir / name).string(); };

    ConsoleCapture capture;
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    orvex::loadFrom(view, url("red.png"));
    EXPECT_FALSE(view->image()) << "nothing is read before the main queue runs";
    drainMainQueue();
    EXPECT_EQ(renderView(*view).pixel(3, 3), (RGBA8{255, 0, 0, 255})) << "scaled to the bounds";

    orvex::loadFrom(view, "not a url");
    orvex::loadFrom(view, url("missing.png"));
    orvex::loadFrom(view, url("text.txt"));
    orvex::loadFrom(view, url("cut.png"));
    auto gone = std::make_shared<UIImageView>();
    orvex::loadFrom(gone, url("red.png"));
    gone.reset();
    drainMainQueue();
    fs::remove_all(dir);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  "UIImageView::loadFrom() : Could not encode url string : not a url",
                  "UIImageView::loadFrom() : Could not encode image data.",
                  "UIImageView::loadFrom() : Could not assign image.",
                  "UIImageView::loadFrom() : Could not assign image.",
                  "UIImageView::loadFrom() : Could not assign image.",
              }));
    EXPECT_TRUE(view->image()) << "failures leave the image as it was";
}
