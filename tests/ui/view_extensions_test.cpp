#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "../_support/TempDir.h"
#include "ViewExtensions.h"
#include "core/Console.h"
#include "core/ProcessInfo.h"
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

namespace {

// The same layout as `model`: as long, with its dashes at the same places.
bool shapedLike(const std::string& text, const std::string& model) {
    if (text.size() != model.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((text[i] == '-') != (model[i] == '-')) return false;
    return true;
}

} // namespace

// Absent prefix: the process's unique string alone. Any prefix, the empty one included, comes
// before a dash. Every call draws a new unique string.
TEST(UniqueName, IsTheUniqueStringAloneOrAfterThePrefixAndADashAndNewOnEveryCall) {
    const std::string model = ProcessInfo::processInfo().globallyUniqueString();
    ASSERT_FALSE(model.empty());

    const std::string bare = orvex::uniqueName(std::nullopt);
    EXPECT_TRUE(shapedLike(bare, model)) << bare << " vs " << model;
    EXPECT_NE(orvex::uniqueName(std::nullopt), bare);

    const std::string empty = orvex::uniqueName(std::string());
    ASSERT_EQ(empty.substr(0, 1), "-") << empty;
    EXPECT_TRUE(shapedLike(empty.substr(1), model)) << empty;

    const std::string named = orvex::uniqueName(std::string("Preset"));
    ASSERT_EQ(named.substr(0, 7), "Preset-") << named;
    EXPECT_TRUE(shapedLike(named.substr(7), model)) << named;
    const std::string again = orvex::uniqueName(std::string("Preset"));
    EXPECT_NE(again, named);
    EXPECT_EQ(again.substr(0, 7), "Preset-");
}

// Without a container nothing changes, the autoresizing translation included. In a container the
// view gets four equalities, top, leading, bottom, trailing, each with the same edge of the
// container, so it fills the container and follows it; a second call adds four more.
TEST(PinToSuperviewEdges, FillsAndFollowsTheContainerAndDoesNothingWithoutOne) {
    auto lone = std::make_shared<UIView>(CGRect{1, 2, 3, 4});
    orvex::pinToSuperviewEdges(*lone);
    EXPECT_TRUE(lone->translatesAutoresizingMaskIntoConstraints);
    EXPECT_TRUE(lone->constraints().empty());
    lone->layoutIfNeeded();
    EXPECT_EQ(lone->frame(), (CGRect{1, 2, 3, 4}));

    auto area = std::make_shared<UIView>(CGRect{50, 60, 200, 100});
    auto view = std::make_shared<UIView>(CGRect{1, 2, 3, 4});
    area->addSubview(view);
    orvex::pinToSuperviewEdges(*view);
    EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints);
    EXPECT_TRUE(view->constraints().empty()) << "the container holds them";
    using A = NSLayoutAttribute;
    const A order[4] = {A::top, A::leading, A::bottom, A::trailing};
    const auto checkSets = [&](std::size_t sets) {
        ASSERT_EQ(area->constraints().size(), 4 * sets);
        for (std::size_t i = 0; i < area->constraints().size(); ++i) {
            const NSLayoutConstraint& c = area->constraints()[i];
            EXPECT_EQ(c.firstItem.lock(), view) << i;
            EXPECT_EQ(c.secondItem.lock(), area) << i;
            EXPECT_EQ(c.firstAttribute, order[i % 4]) << i;
            EXPECT_EQ(c.secondAttribute, order[i % 4]) << i;
        }
    };
    checkSets(1);
    area->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (CGRect{0, 0, 200, 100}));
    area->setFrame(CGRect{0, 0, 320, 150});
    area->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (CGRect{0, 0, 320, 150}));

    orvex::pinToSuperviewEdges(*view);
    checkSets(2);
}

// Each component reads back as the colour holds it, a grey's three alike.
TEST(ColourComponents, ReadRedGreenBlueAndAlphaOfTheColour) {
    const UIColor colour(0.25, 0.5, 0.75, 0.4);
    EXPECT_DOUBLE_EQ(orvex::redValue(colour), 0.25);
    EXPECT_DOUBLE_EQ(orvex::greenValue(colour), 0.5);
    EXPECT_DOUBLE_EQ(orvex::blueValue(colour), 0.75);
    EXPECT_DOUBLE_EQ(orvex::alphaValue(colour), 0.4);
    const UIColor grey = UIColor::white(0.3, 0.6);
    EXPECT_DOUBLE_EQ(orvex::redValue(grey), 0.3);
    EXPECT_DOUBLE_EQ(orvex::greenValue(grey), 0.3);
    EXPECT_DOUBLE_EQ(orvex::blueValue(grey), 0.3);
    EXPECT_DOUBLE_EQ(orvex::alphaValue(grey), 0.6);
}
