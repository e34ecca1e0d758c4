#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/Console.h"

namespace {

TEST(Console, LinesFromManyThreadsArriveWholeAndInEachThreadsOrder) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    pf::ConsoleCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                pf::Console::printLine("thread " + std::to_string(t) + " line " +
                                       std::to_string(i) +
                                       " ........................................");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
        ASSERT_EQ(line.size(), line.find(" .") + 41) << line;
        EXPECT_EQ(i, next[t]++);
    }
}

TEST(Console, NestedCapturesCollectInTheNewestAndEmptyLinesSurvive) {
    pf::ConsoleCapture outer;
    pf::Console::printLine("one");
    {
        pf::ConsoleCapture inner;
        pf::Console::printLine("");
        pf::Console::write("\nraw");
        EXPECT_EQ(inner.text(), "\n\nraw");
        EXPECT_EQ(inner.lines(), (std::vector<std::string>{"", "", "raw"}));
    }
    pf::Console::printLine("two");
    EXPECT_EQ(outer.lines(), (std::vector<std::string>{"one", "two"}));
}

} // namespace
