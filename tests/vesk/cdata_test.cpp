#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "Vesk/Vesk.h"

namespace {

using Vesk::CData;
using Vesk::CString;

TEST(CData, HexFormsOfNoBytesAndOfTwoBytes) {
    CData none;
    CString two("\x0A\xFF");
    const struct {
        const char* (CData::*form)();
        const char* empty;
        const char* full;
    } forms[] = {{&CData::Hex2, "00", "0AFF"},
                 {&CData::ColorRGB, "#000000", "#0AFF"},
                 {&CData::Hex3, "00", "0A FF"},
                 {&CData::Hex4, "#00", "#0A #FF"},
                 {&CData::Hex5, "0x00", "0x0A 0xFF"}};
    for (const auto& f : forms) {
        EXPECT_STREQ((none.*f.form)(), f.empty);
        EXPECT_STREQ((two.*f.form)(), f.full);
    }
    EXPECT_STREQ(none.String(), "0x00");
    EXPECT_STREQ(none.XML(3), "<CData>\n\tundefined</CData>");
}

TEST(CData, PaddingLeavesRoomForTheTerminatorInWholeWords) {
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 0},
        {1, 4},
        {3, 4},
        {4, 8},
        {6, 8},
        {CData::kMaxLength, CData::kMaxLength + 1},
        {CData::kMaxLength + 1, 0}}; // the last would no longer fit 32 bits
    for (auto [n, padded] : cases)
        EXPECT_EQ(CData::Padding(n), padded) << n;
    EXPECT_EQ(CData::CAlloc(SIZE_MAX / 2, 4), nullptr);
}

// A negative indentation counts as none; one too large to hold gives the undefined element.
TEST(CData, XmlIndentsEachLineAndClampsTheIndentation) {
    CString s("\x12\x34\x56");
    EXPECT_STREQ(s.CData::XML(1), "\t<CData encoding='HEX5'>\n\t\t0x12 0x34 0x56\n\t</CData>\n");
    const std::string flat = "<CData encoding='HEX5'>\n\t0x12 0x34 0x56\n</CData>\n";
    EXPECT_EQ(s.CData::XML(0), flat);
    EXPECT_EQ(s.CData::XML(-5), flat);
    EXPECT_EQ(s.CData::XML(-2147483647 - 1), flat);
    EXPECT_STREQ(s.CData::XML(2147483647), "<CData>\n\tundefined</CData>");
}

// Copies own their bytes: changing or dropping the original leaves the copy whole.
TEST(CData, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
    CString original("abc");
    CData copy(original);
    original[0] = 'x';
    EXPECT_STREQ(copy.Hex2(), "616263");

    CData moved(std::move(copy));
    EXPECT_TRUE(copy.Empty());
    CData assigned;
    assigned = moved;
    CData& alias = assigned;
    assigned = alias;
    moved = CData();
    EXPECT_STREQ(assigned.Hex3(), "61 62 63");
    moved = std::move(assigned);
    EXPECT_TRUE(assigned.Empty());
    EXPECT_STREQ(moved.Hex3(), "61 62 63");
}

TEST(CPrinTable, ShowsControlCodesByNameAndPrintablesAsThemselves) {
    const Vesk::CPrinTable& t = Vesk::PrinTable;
    EXPECT_STREQ(t[0], "<NUL>");
    EXPECT_STREQ(t[9], "\t");
    EXPECT_STREQ(t[31], "<US>");
    EXPECT_STREQ(t[127], "<DEL>");
    EXPECT_EQ(t[128], nullptr);
    EXPECT_EQ(t[-1], nullptr);
    for (int c = 32; c < 127; ++c)
        EXPECT_EQ(std::string(t[c]), std::string(1, static_cast<char>(c))) << c;
}

} // namespace
