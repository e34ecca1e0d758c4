#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/LogRing.h"

namespace {

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

} // namespace
