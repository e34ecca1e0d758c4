#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "TempDir.h"
#include "core/RunLoop.h"
#include "core/URL.h"
#include "core/Workspace.h"

using namespace std::chrono_literals;

namespace {

// The URL is one argument of the handler, never seen by a shell; what the handler prints stays
// off our standard output.
TEST(Workspace, UrlReachesTheHandlerAsOneArgumentAndTheHandlersOutputStaysOffStandardOutput) {
    test::TempDir dir;
    const std::string script = dir.path() + "/fake-open";
    const std::string record = dir.path() + "/argv";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << record
                          << "'\necho handler-chatter\necho handler-noise >&2\n";
    ::chmod(script.c_str(), 0755);
    const std::string captured = dir.path() + "/stdout";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    ::dup2(file, STDOUT_FILENO);
    pf::Workspace::setOpenCommandForTesting(script);
    const auto url = pf::URL::string("https://example.org/help?a=1;touch$(id)&b='x'");
    std::optional<bool> accepted;
    const bool started = pf::Workspace::openURL(*url, [&](bool ok) { accepted = ok; });
    const bool finished = pf::RunLoop::main().runUntil([&] { return accepted.has_value(); }, 30s);
    pf::Workspace::setOpenCommandForTesting({});
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(file);
    EXPECT_TRUE(started);
    EXPECT_TRUE(finished);
    EXPECT_EQ(accepted, true);
    auto contents = [](const std::string& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    EXPECT_EQ(contents(record), "1|" + url->absoluteString() + "|");
    EXPECT_EQ(contents(captured), "");

    pf::Workspace::setOpenCommandForTesting("/nonexistent/handler");
    EXPECT_FALSE(pf::Workspace::openURL(pf::URL::fileURLWithPath("/tmp")));
    pf::Workspace::setOpenCommandForTesting({});
}

} // namespace
