#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "URLLoader.h"
#include "ViewExtensions.h"
#include "core/Check.h"
#include "core/Console.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"

using namespace pf;
using orvex::test::LoopbackHttpServer;
namespace fs = std::filesystem;

namespace {

constexpr auto kPatience = std::chrono::seconds(10);
constexpr std::size_t kCap = 64 * 1024;

std::atomic<int> gCheckFailures{0};
void countCheckFailure(std::string_view) {
    ++gCheckFailures;
}

std::string pngOf(const fs::path& file, const UIColor& colour) {
    ImageSurface s(2, 2);
    s.fill(colour);
    EXPECT_TRUE(s.writePNG(file.string()));
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RGBA8 shownColour(UIImageView& view) {
    return renderView(view).pixel(2, 2);
}

class HttpImageLoaders : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        // Loopback only: no proxy may take the requests elsewhere.
        ::setenv("no_proxy", "*", 1);
        ::setenv("NO_PROXY", "*", 1);
        orvex::URLLoadLimits limits;
        limits.connectTimeout = kPatience;
        limits.totalTimeout = kPatience;
        limits.maxBodyBytes = kCap;
        limits.maxRedirects = 3;
        orvex::URLLoader::setLimits(limits);
        previousHandler_ = setCheckFailureHandler(&countCheckFailure);
        gCheckFailures = 0;

        dir_ = fs::temp_directory_path() / ("orvex_http_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        red_ = pngOf(dir_ / "red.png", UIColor(1, 0, 0, 1));
        pngOf(dir_ / "green.png", UIColor(0, 1, 0, 1));

        server_.route("/png", LoopbackHttpServer::ok("image/png", red_));
        server_.route("/404", LoopbackHttpServer::status(404, "Not Found", "<h1>gone</h1>"));
        server_.route("/text", LoopbackHttpServer::ok("text/plain", "no image here"));
        server_.route("/huge", LoopbackHttpServer::ok("image/png", std::string(kCap + 1, 'x')));
        server_.route("/huge-stream",
                      {"HTTP/1.1 200 OK\r\nContent-Type: image/png", std::string(4 * kCap, 'x')});
        server_.route("/at-cap", LoopbackHttpServer::ok("image/png", std::string(kCap, 'x')));
        server_.route("/at-cap-stream",
                      {"HTTP/1.1 200 OK\r\nContent-Type: image/png", std::string(kCap, 'x')});
        server_.route("/to-png", LoopbackHttpServer::redirect("/png"));
        server_.route("/to-file",
                      LoopbackHttpServer::redirect("file://" + (dir_ / "green.png").string()));
        server_.route("/loop", LoopbackHttpServer::redirect("/loop"));
    }
    void TearDown() override {
        setCheckFailureHandler(previousHandler_);
        orvex::URLLoader::setLimits({});
        fs::remove_all(dir_);
    }

    // A view already showing blue, so a kept image can be told from a replaced one.
    static std::shared_ptr<UIImageView> blueView() {
        ImageSurface blue(1, 1);
        blue.fill(UIColor(0, 0, 1, 1));
        auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
        view->setImage(UIImage::fromSurface(blue.surface()));
        return view;
    }
    static bool runUntil(const std::function<bool()>& done) {
        return RunLoop::main().runUntil(done, kPatience);
    }
    std::string failureLine(long code, const std::string& text, const std::string& path) {
        const std::string u = server_.url(path);
        return "Error Domain=NSURLErrorDomain Code=" + std::to_string(code) + " \"" + text +
               "\" UserInfo={NSErrorFailingURLStringKey=" + u + ", NSLocalizedDescription=" + text +
               "}";
    }

    LoopbackHttpServer server_;
    fs::path dir_;
    std::string red_;
    CheckFailureHandler previousHandler_ = nullptr;
};

const RGBA8 kRed{255, 0, 0, 255};
const RGBA8 kBlue{0, 0, 255, 255};

} // namespace

TEST_F(HttpImageLoaders, OnlyImagesAreShownAndEvery200PrintsSuccessOnTheMainThread) {
    ConsoleCapture capture;
    auto image = blueView();
    auto notFound = blueView();
    auto text = blueView();
    orvex::getImageFromURLString(image, server_.url("/png"));
    orvex::getImageFromURLString(notFound, server_.url("/404"));
    orvex::getImageFromURLString(text, server_.url("/text"));
    EXPECT_EQ(shownColour(*image), kBlue) << "the result is applied later, on the main queue";
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 2 && !notFound->image(); }));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>(2, "Fetched image successfully")))
        << "the 404 prints nothing, the text answered with 200 prints the success line";
    EXPECT_EQ(shownColour(*image), kRed);
    EXPECT_FALSE(text->image());
    EXPECT_EQ(gCheckFailures.load(), 0) << "a view was changed off the main thread";
}

TEST_F(HttpImageLoaders, BodiesAboveTheCapFailWhetherDeclaredOrStreamed) {
    ConsoleCapture capture;
    auto declared = blueView();
    auto streamed = blueView();
    orvex::getImageFromURLString(declared, server_.url("/huge"));
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 1; }));
    orvex::getImageFromURLString(streamed, server_.url("/huge-stream"));
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 2; }));
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  failureLine(-1103, "resource exceeds maximum size", "/huge"),
                  failureLine(-1103, "resource exceeds maximum size", "/huge-stream")}));
    EXPECT_EQ(shownColour(*declared), kBlue);
    EXPECT_EQ(shownColour(*streamed), kBlue);

    // Exactly at the cap is still a response: a 200 whose body is no image.
    capture.clear();
    orvex::getImageFromURLString(declared, server_.url("/at-cap"));
    orvex::getImageFromURLString(streamed, server_.url("/at-cap-stream"));
    ASSERT_TRUE(runUntil([&] { return !declared->image() && !streamed->image(); }));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>(2, "Fetched image successfully")));
}

TEST_F(HttpImageLoaders, RedirectsAreFollowedToHttpOnlyAndAFewTimesOnly) {
    ConsoleCapture capture;
    auto followed = blueView();
    orvex::getImageFromURLString(followed, server_.url("/to-png"));
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 1; }));
    EXPECT_EQ(shownColour(*followed), kRed);

    auto toFile = blueView();
    orvex::getImageFromURLString(toFile, server_.url("/to-file"));
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 2; }));
    EXPECT_EQ(shownColour(*toFile), kBlue) << "the local file must not be read";

    auto looping = blueView();
    orvex::getImageFromURLString(looping, server_.url("/loop"));
    ASSERT_TRUE(runUntil([&] { return capture.lines().size() == 3; }));
    EXPECT_EQ(shownColour(*looping), kBlue);
    EXPECT_EQ(server_.requests("/loop"), 4u) << "the request and three redirects";

    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"Fetched image successfully",
                                        failureLine(-1002, "unsupported URL", "/to-file"),
                                        failureLine(-1007, "too many HTTP redirects", "/loop")}));
}

// Every answer ends on the main queue with its line (a success line for any 200, nothing for
// another status, the error otherwise) and its image: a decoded one replaces the old, a 200 that
// is no image clears it, a failure keeps it.
TEST_F(HttpImageLoaders, EachAnswerShowsItsImageOrKeepsTheOldOneAndPrintsItsLine) {
    const std::string success = "Fetched image successfully";
    const struct {
        const char* path;
        std::vector<std::string> lines;
        std::optional<RGBA8> shown; // none: no image
    } cases[] = {
        {"/png", {success}, kRed},
        {"/404", {}, std::nullopt},
        {"/text", {success}, std::nullopt},
        {"/huge", {failureLine(-1103, "resource exceeds maximum size", "/huge")}, kBlue},
        {"/huge-stream",
         {failureLine(-1103, "resource exceeds maximum size", "/huge-stream")},
         kBlue},
        {"/at-cap", {success}, std::nullopt},
        {"/at-cap-stream", {success}, std::nullopt},
        {"/to-png", {success}, kRed},
        {"/to-file", {failureLine(-1002, "unsupported URL", "/to-file")}, kBlue},
        {"/loop", {failureLine(-1007, "too many HTTP redirects", "/loop")}, kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ConsoleCapture capture;
        auto view = blueView();
        const auto before = view->image();
        orvex::getImageFromURLString(view, server_.url(c.path));
        EXPECT_EQ(view->image(), before) << "applied later, on the main queue";
        ASSERT_TRUE(runUntil([&] { return !capture.lines().empty() || view->image() != before; }));
        EXPECT_EQ(capture.lines(), c.lines);
        if (c.shown) {
            EXPECT_EQ(shownColour(*view), *c.shown);
        } else {
            EXPECT_FALSE(view->image());
        }
    }
    EXPECT_EQ(server_.requests("/loop"), 4u) << "the request and three redirects";
    EXPECT_EQ(gCheckFailures.load(), 0) << "a view was changed off the main thread";
}

TEST_F(HttpImageLoaders, LoadFromReadsHttpOnTheMainQueueAndLogsEachFailureOnce) {
    ConsoleCapture capture;
    auto view = blueView();
    orvex::loadFrom(view, server_.url("/png"));
    EXPECT_EQ(server_.requests("/png"), 0u) << "nothing is read before the main queue runs";
    drainMainQueue();
    EXPECT_EQ(shownColour(*view), kRed);
    EXPECT_TRUE(capture.lines().empty());

    orvex::loadFrom(view, server_.url("/404"));
    orvex::loadFrom(view, server_.url("/to-file"));
    orvex::loadFrom(view, server_.url("/huge"));
    orvex::loadFrom(view, "ftp://127.0.0.1/red.png");
    drainMainQueue();
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "UIImageView::loadFrom() : Could not assign image.",
                                   "UIImageView::loadFrom() : Could not encode image data.",
                                   "UIImageView::loadFrom() : Could not encode image data.",
                                   "UIImageView::loadFrom() : Could not encode image data.",
                               }));
    EXPECT_EQ(shownColour(*view), kRed) << "failures leave the image as it was";
}

TEST(URLLoaderSchemes, OnlyHttpAndHttpsAreFetched) {
    const auto file = URL::fileURLWithPath("/etc/hostname");
    const auto result = orvex::URLLoader::load(file);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), orvex::NSURLErrorUnsupportedURL);
    EXPECT_TRUE(result.body.empty());
    EXPECT_TRUE(orvex::URLLoader::handles(*URL::string("https://127.0.0.1/")));
    EXPECT_FALSE(orvex::URLLoader::handles(*URL::string("ftp://127.0.0.1/")));
}

// The loader's thread checks are compiled in whatever the build type (see CMakeLists.txt).
TEST_F(HttpImageLoaders, TheRenderThreadIsRefusedWithoutTouchingTheNetwork) {
    const auto url = *URL::string(server_.url("/png"));
    orvex::URLLoadResult result;
    bool completed = false;
    {
        RenderThreadScope render;
        result = orvex::URLLoader::load(url);
        orvex::URLLoader::loadAsync(url, [&](orvex::URLLoadResult) { completed = true; });
    }
    EXPECT_EQ(gCheckFailures.load(), 2);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), orvex::NSURLErrorUnknown);
    EXPECT_FALSE(completed);
    // A request that did reach the server would have been counted before this one.
    EXPECT_EQ(orvex::URLLoader::load(url).statusCode, 200);
    EXPECT_EQ(server_.requests("/png"), 1u);
}
