#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "../_support/TempDir.h"
#include "ViewExtensions.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIImage.h"

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

// Every failure logs one line and leaves the image as it was. A named pipe, a device, a folder
// or a file past 64 MiB named like an image is no data for either loader, and no PNG is written
// over anything but a regular file; nothing blocks (a regression ends the test by its alarm).
TEST(ImageLoading, LoadFromShowsAPngScaledLaterAndLogsOneLinePerFailureWithoutEverBlocking) {
    RunLoop::claimMainThread();
    test::TempDir dir;
    ImageSurface red(2, 2);
    red.fill(UIColor(1, 0, 0, 1));
    ASSERT_TRUE(red.writePNG(dir.file("red.png")) && red.writePNG(dir.file("huge.png")));
    fs::resize_file(dir.file("huge.png"), (std::uintmax_t{64} << 20) + 1); // a PNG, then zeros
    std::ofstream(dir.file("text.txt")) << "no image here";
    fs::copy_file(dir.file("red.png"), dir.file("cut.png"));
    fs::resize_file(dir.file("cut.png"), fs::file_size(dir.file("red.png")) / 2);
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.png"));
    fs::create_symlink("/dev/zero", dir.file("zero.png"));
    const auto url = [&](const char* name) { return "file://" + dir.file(name); };
    ::alarm(10);

    ConsoleCapture capture;
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    orvex::loadFrom(view, url("red.png"));
    EXPECT_FALSE(view->image()) << "nothing is read before the main queue runs";
    drainMainQueue();
    EXPECT_EQ(renderView(*view).pixel(3, 3), (RGBA8{255, 0, 0, 255})) << "scaled to the bounds";
    EXPECT_TRUE(UIImage::contentsOfFile(dir.file("red.png")));

    orvex::loadFrom(view, "not a url");
    for (const char* name : {"missing.png", "pipe.png", "folder.png", "zero.png", "huge.png"}) {
        orvex::loadFrom(view, url(name));
        EXPECT_FALSE(UIImage::contentsOfFile(dir.file(name))) << name;
    }
    orvex::loadFrom(view, url("text.txt"));
    orvex::loadFrom(view, url("cut.png"));
    auto gone = std::make_shared<UIImageView>();
    orvex::loadFrom(gone, url("red.png"));
    gone.reset();
    drainMainQueue();
    const std::string noData = "UIImageView::loadFrom() : Could not encode image data.";
    const std::string noImage = "UIImageView::loadFrom() : Could not assign image.";
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  "UIImageView::loadFrom() : Could not encode url string : not a url", noData,
                  noData, noData, noData, noData, noImage, noImage, noImage}));
    EXPECT_TRUE(view->image()) << "failures leave the image as it was";

    for (const std::string& target : {dir.file("no/such/dir.png"), dir.file("pipe.png"),
                                      dir.file("folder.png"), std::string("/dev/null")})
        EXPECT_FALSE(red.writePNG(target)) << target;
    ::alarm(0);
}

// Only text that cannot be parsed as an address is refused at once: empty, or holding a character
// an address may not hold (a space, a quote, a broken percent escape). A relative reference such as
// "red.png" parses, and each loader fails later, on reading it, with its own line; loadFrom logs
// the refused text unchanged, the fetch starts nothing for it.
TEST(ImageLoading, ARelativeReferenceFailsOnReadingWhileUnparsableTextIsRefusedAtOnce) {
    RunLoop::claimMainThread();
    ConsoleCapture capture;
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    for (const char* text : {"", "red png", "\"red\".png", "red%2.png", "red.png"})
        orvex::loadFrom(view, text);
    drainMainQueue();
    const std::string refused = "UIImageView::loadFrom() : Could not encode url string : ";
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{refused, refused + "red png", refused + "\"red\".png",
                                        refused + "red%2.png",
                                        "UIImageView::loadFrom() : Could not encode image data."}));

    ConsoleCapture fetchCapture;
    for (const char* text : {"", "red png", "red%2.png", "red.png"})
        orvex::getImageFromURLString(view, text);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !fetchCapture.lines().empty(); },
                                         std::chrono::seconds(10)));
    drainMainQueue();
    EXPECT_EQ(
        fetchCapture.lines(),
        (std::vector<std::string>{"Error Domain=NSURLErrorDomain Code=-1002 \"unsupported URL\" "
                                  "UserInfo={NSErrorFailingURLStringKey=red.png, "
                                  "NSLocalizedDescription=unsupported URL}"}));
    EXPECT_FALSE(view->image());
}
