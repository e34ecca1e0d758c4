#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "core/Console.h"
#include "core/LogRing.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

using namespace std::chrono_literals;

namespace {

TEST(LogRing, RenderThreadPostsWithoutAllocatingAndTheMainThreadPrintsInOrder) {
    constexpr int kLines = 300;
    auto& ring = pf::LogRing::shared();
    pf::ConsoleCapture capture;
    int allocations = -1;
    std::thread render([&] {
        pf::RenderThreadScope scope;
        testsupport::AllocationCount counter;
        for (int i = 0; i < kLines; ++i) {
            if (i % 2 == 0) {
                ring.tryPostf("render line %d value %.3f", i, i * 0.5);
            } else {
                ring.tryPost("render line (plain)");
            }
        }
        allocations = counter.count();
        EXPECT_TRUE(pf::isRenderThread());
    });
    render.join();
    EXPECT_EQ(allocations, 0);
    EXPECT_FALSE(pf::isRenderThread());
    EXPECT_TRUE(
        pf::RunLoop::main().runUntil([&] { return capture.lines().size() == kLines; }, 30s));
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
    for (int i = 0; i < kLines; i += 2) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "render line %d value %.3f", i, i * 0.5);
        EXPECT_EQ(lines[i], expected);
        EXPECT_EQ(lines[i + 1], "render line (plain)");
    }
}

TEST(LogRing, FullRingDropsNewLinesAndCountsThem) {
    pf::LogRing ring(4);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ring.tryPost("line " + std::to_string(i)));
    EXPECT_FALSE(ring.tryPost("dropped"));
    EXPECT_FALSE(ring.tryPostf("dropped %d", 2));
    EXPECT_EQ(ring.droppedCount(), 2u);
    std::vector<std::string> lines;
    EXPECT_EQ(ring.drain([&](std::string_view l) { lines.emplace_back(l); }), 4u);
    EXPECT_EQ(lines, (std::vector<std::string>{"line 0", "line 1", "line 2", "line 3"}));
    EXPECT_TRUE(ring.tryPost("after drain")); // slots are reused
    lines.clear();
    ring.drain([&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, std::vector<std::string>{"after drain"});
}

TEST(LogRing, LinesLongerThanASlotAreCut) {
    pf::LogRing ring(2);
    const std::string longLine(pf::LogRing::kSlotBytes + 50, 'x');
    ring.tryPost(longLine);
    ring.tryPostf("%s", longLine.c_str());
    std::vector<std::string> lines;
    ring.drain([&](std::string_view l) { lines.emplace_back(l); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], longLine.substr(0, pf::LogRing::kSlotBytes));
    EXPECT_EQ(lines[1], longLine.substr(0, pf::LogRing::kSlotBytes));
}

TEST(LogRing, ConcurrentProducersKeepTheirOwnOrder) {
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    pf::LogRing ring(kThreads * kLines);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ring, t] {
            for (int i = 0; i < kLines; ++i)
                ring.tryPostf("%d %d", t, i);
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::vector<int> next(kThreads, 0);
    std::size_t count = ring.drain([&](std::string_view line) {
        int t = 0;
        int i = 0;
        ASSERT_EQ(std::sscanf(std::string(line).c_str(), "%d %d", &t, &i), 2);
        EXPECT_EQ(i, next[t]++);
    });
    EXPECT_EQ(count, static_cast<std::size_t>(kThreads * kLines));
    EXPECT_EQ(ring.droppedCount(), 0u);
}

} // namespace

namespace {

TEST(LogRing, ConsoleLinesFromTheRenderThreadArePrintedLaterByTheMainThread) {
    pf::ConsoleCapture capture;
    int allocations = -1;
    std::thread render([&] {
        pf::RenderThreadScope scope;
        testsupport::AllocationCount counter;
        pf::Console::printLine("kernel: parameter 3 = 0.5");
        allocations = counter.count();
    });
    render.join();
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(capture.lines().empty()); // nothing printed on the render thread itself
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return !capture.lines().empty(); }, 30s));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"kernel: parameter 3 = 0.5"});
}

} // namespace
