#include <gtest/gtest.h>

#include <cairo.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ViewExtensions.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"

using namespace pf;
namespace fs = std::filesystem;

namespace {

class ViewExtensions : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        dir_ = fs::temp_directory_path() / ("pf_view_ext_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        ImageSurface red(2, 2);
        red.fill(UIColor(1, 0, 0, 1));
        ASSERT_TRUE(red.writePNG((dir_ / "red.png").string()));
        std::ofstream(dir_ / "text.txt") << "no image here";
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string fileURL(const std::string& name) { return "file://" + (dir_ / name).string(); }

    fs::path dir_;
};

} // namespace

TEST_F(ViewExtensions, UniqueNamesDifferAndPinningNeedsASuperview) {
    EXPECT_NE(orvex::uniqueName(std::nullopt), orvex::uniqueName(std::nullopt));
    EXPECT_NE(orvex::uniqueName(std::nullopt).front(), '-');
    EXPECT_EQ(orvex::uniqueName(std::string()).front(), '-');
    EXPECT_EQ(orvex::uniqueName(std::string("knob")).rfind("knob-", 0), 0u);

    auto lone = std::make_shared<UIView>(CGRect{1, 2, 3, 4});
    orvex::pinToSuperviewEdges(*lone);
    EXPECT_TRUE(lone->translatesAutoresizingMaskIntoConstraints) << "no superview: no change";
    auto area = std::make_shared<UIView>(CGRect{0, 0, 300, 200});
    auto plugin = std::make_shared<UIView>(CGRect{5, 5, 10, 10});
    area->addSubview(plugin);
    orvex::pinToSuperviewEdges(*plugin);
    EXPECT_FALSE(plugin->translatesAutoresizingMaskIntoConstraints);
    area->layoutIfNeeded();
    EXPECT_EQ(plugin->frame(), (CGRect{0, 0, 300, 200}));
    orvex::pinToSuperviewEdges(*plugin);
    EXPECT_EQ(area->constraints().size(), 8u);
}

TEST_F(ViewExtensions, LoadFromSetsTheImageLaterAndLogsOneLinePerFailure) {
    ConsoleCapture capture;
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    orvex::loadFrom(view, fileURL("red.png"));
    EXPECT_FALSE(view->image()) << "nothing is read before the main queue runs";
    drainMainQueue();
    ASSERT_TRUE(view->image());
    EXPECT_EQ(renderView(*view).pixel(2, 2), (RGBA8{255, 0, 0, 255}));
    EXPECT_TRUE(capture.lines().empty());

    orvex::loadFrom(view, "not a url");
    orvex::loadFrom(view, fileURL("missing.png"));
    orvex::loadFrom(view, fileURL("text.txt"));
    auto gone = std::make_shared<UIImageView>();
    orvex::loadFrom(gone, fileURL("red.png"));
    gone.reset();
    drainMainQueue();
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  "UIImageView::loadFrom() : Could not encode url string : not a url",
                  "UIImageView::loadFrom() : Could not encode image data.",
                  "UIImageView::loadFrom() : Could not assign image.",
                  "UIImageView::loadFrom() : Could not assign image.",
              }));
    EXPECT_TRUE(view->image()) << "failures leave the image as it was";
}

TEST_F(ViewExtensions, GetImageFromURLStringFetchesFilesAndIgnoresBadText) {
    ConsoleCapture capture;
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    orvex::getImageFromURLString(view, "no address");
    orvex::getImageFromURLString(view, fileURL("red.png"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->image() != nullptr; },
                                         std::chrono::seconds(10)));
    EXPECT_TRUE(capture.lines().empty()) << "a file response is no HTTP response";

    orvex::getImageFromURLString(view, fileURL("text.txt"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->image() == nullptr; },
                                         std::chrono::seconds(10)));
}
