#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "TempDir.h"
#include "URLLoader.h"
#include "ViewExtensions.h"
#include "core/Check.h"
#include "core/Console.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"

using namespace pf;
using orvex::test::LoopbackHttpServer;

namespace {

constexpr std::size_t kCap = 64 * 1024;
const RGBA8 kRed{255, 0, 0, 255};
const RGBA8 kBlue{0, 0, 255, 255};

std::atomic<int> gCheckFailures{0};
void countCheckFailure(std::string_view) {
    ++gCheckFailures;
}

// A 2 x 2 PNG of one colour, written to `path`; returns its bytes.
std::string png(const std::string& path, const UIColor& colour) {
    ImageSurface s(2, 2);
    s.fill(colour);
    EXPECT_TRUE(s.writePNG(path));
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A view already showing blue, so a kept image can be told from a replaced one.
std::shared_ptr<UIImageView> blueView() {
    ImageSurface blue(1, 1);
    blue.fill(UIColor(0, 0, 1, 1));
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 4, 4});
    view->setImage(UIImage::fromSurface(blue.surface()));
    return view;
}

RGBA8 shownColour(UIImageView& view) {
    return renderView(view).pixel(2, 2);
}

// Image views fed from a loopback server whose answers are ordinary, oversized or redirected.
class HttpImageLoaders : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::claimMainThread();
        ::setenv("no_proxy", "*", 1); // loopback only: no proxy may take the requests elsewhere
        ::setenv("NO_PROXY", "*", 1);
        orvex::URLLoadLimits limits;
        limits.connectTimeout = limits.totalTimeout = std::chrono::seconds(10);
        limits.maxBodyBytes = kCap;
        limits.maxRedirects = 3;
        orvex::URLLoader::setLimits(limits);
        previousHandler_ = setCheckFailureHandler(&countCheckFailure);
        gCheckFailures = 0;
        const std::string red = png(dir_.file("red.png"), UIColor(1, 0, 0, 1));
        png(dir_.file("green.png"), UIColor(0, 1, 0, 1));
        server_.route("/png", LoopbackHttpServer::ok("image/png", red));
        server_.route("/text", LoopbackHttpServer::ok("text/plain", "no image here"));
        server_.route("/huge", LoopbackHttpServer::ok("image/png", std::string(kCap + 1, 'x')));
        server_.route("/huge-stream",
                      {"HTTP/1.1 200 OK\r\nContent-Type: image/png", std::string(4 * kCap, 'x')});
        server_.route("/at-cap", LoopbackHttpServer::ok("image/png", std::string(kCap, 'x')));
        server_.route("/at-cap-stream",
                      {"HTTP/1.1 200 OK\r\nContent-Type: image/png", std::string(kCap, 'x')});
        server_.route("/to-png", LoopbackHttpServer::redirect("/png"));
        server_.route("/to-file", LoopbackHttpServer::redirect("file://" + dir_.file("green.png")));
        server_.route("/loop", LoopbackHttpServer::redirect("/loop"));
    }
    void TearDown() override {
        setCheckFailureHandler(previousHandler_);
        orvex::URLLoader::setLimits({});
    }
    std::string failureLine(long code, const std::string& text, const std::string& path) {
        return "Error Domain=NSURLErrorDomain Code=" + std::to_string(code) + " \"" + text +
               "\" UserInfo={NSErrorFailingURLStringKey=" + server_.url(path) +
               ", NSLocalizedDescription=" + text + "}";
    }

    test::TempDir dir_;
    LoopbackHttpServer server_;
    CheckFailureHandler previousHandler_ = nullptr;
};

} // namespace

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
        {"/huge-stream", {failureLine(-1103, "resource exceeds maximum size", "/huge-stream")},
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
        ASSERT_TRUE(RunLoop::main().runUntil(
            [&] { return !capture.lines().empty() || view->image() != before; },
            std::chrono::seconds(10)));
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

    for (const char* path : {"/404", "/to-file", "/huge"})
        orvex::loadFrom(view, server_.url(path));
    orvex::loadFrom(view, "ftp://127.0.0.1/red.png");
    drainMainQueue();
    const std::string noData = "UIImageView::loadFrom() : Could not encode image data.";
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "UIImageView::loadFrom() : Could not assign image.", noData,
                                   noData, noData}));
    EXPECT_EQ(shownColour(*view), kRed) << "failures leave the image as it was";
}

TEST(URLLoaderSchemes, OnlyHttpAndHttpsAreFetched) {
    const auto result = orvex::URLLoader::load(URL::fileURLWithPath("/etc/hostname"));
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
