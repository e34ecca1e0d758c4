#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>

#include "TempDir.h"
#include "core/RunLoop.h"
#include "core/URL.h"
#include "core/Workspace.h"

using namespace std::chrono_literals;

namespace {

TEST(Workspace, UrlReachesTheHandlerAsOneArgumentUntouchedByAShell) {
    test::TempDir dir;
    const std::string script = dir.path() + "/fake-open";
    const std::string record = dir.path() + "/argv";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << record << "'\n";
    ::chmod(script.c_str(), 0755);
    pf::Workspace::setOpenCommandForTesting(script);
    const auto url = pf::URL::string("https://example.org/help?a=1;touch$(id)&b='x'");
    ASSERT_TRUE(url.has_value());
    std::optional<bool> accepted;
    EXPECT_TRUE(pf::Workspace::openURL(*url, [&](bool ok) { accepted = ok; }));
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return accepted.has_value(); }, 30s));
    pf::Workspace::setOpenCommandForTesting({});
    EXPECT_EQ(accepted, true);
    std::ifstream in(record);
    const std::string seen((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(seen, "1|" + url->absoluteString() + "|");
}

TEST(Workspace, MissingHandlerIsReportedAsFailure) {
    pf::Workspace::setOpenCommandForTesting("/nonexistent/handler");
    EXPECT_FALSE(pf::Workspace::openURL(pf::URL::fileURLWithPath("/tmp")));
    pf::Workspace::setOpenCommandForTesting({});
}

} // namespace
