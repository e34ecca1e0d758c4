// The loader refuses the render thread, where a transfer would block or allocate, before it
// reaches the network. This binary compiles the loader with its thread checks on whatever the
// build type (see CMakeLists.txt), so the refusal is tested in release builds too.
#include <gtest/gtest.h>

#include <atomic>

#include "LoopbackHttpServer.h"
#include "URLLoader.h"
#include "core/Check.h"
#include "core/RenderThread.h"

namespace {

std::atomic<int> gCheckFailures{0};
void countCheckFailure(std::string_view) {
    ++gCheckFailures;
}

} // namespace

TEST(URLLoaderOnTheRenderThread, IsRefusedWithoutTouchingTheNetwork) {
    orvex::test::LoopbackHttpServer server;
    server.route("/png", orvex::test::LoopbackHttpServer::ok("image/png", "png"));
    const auto url = *pf::URL::string(server.url("/png"));
    const auto previous = pf::setCheckFailureHandler(&countCheckFailure);
    gCheckFailures = 0;
    orvex::URLLoadResult result;
    bool completed = false;
    {
        pf::RenderThreadScope render;
        result = orvex::URLLoader::load(url);
        orvex::URLLoader::loadAsync(url, [&](orvex::URLLoadResult) { completed = true; });
    }
    pf::setCheckFailureHandler(previous);
    EXPECT_EQ(gCheckFailures.load(), 2);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), orvex::NSURLErrorUnknown);
    EXPECT_FALSE(completed);
    // A request that did reach the server would have been counted before this one.
    EXPECT_EQ(orvex::URLLoader::load(url).statusCode, 200);
    EXPECT_EQ(server.requests("/png"), 1u);
}
