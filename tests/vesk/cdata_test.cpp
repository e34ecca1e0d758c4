#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "Vesk/Vesk.h"

namespace {

using Vesk::CData;
using Vesk::CString;

TEST(CData, EmptyObjectAnswersItsConstantTexts) {
    CData d;
    EXPECT_STREQ(d.ClassName(), "CData");
    EXPECT_EQ(d.Length(), 0u);
    EXPECT_TRUE(d.Empty());
    EXPECT_EQ(d.DataSize(), 0u);
    EXPECT_EQ(d.ObjectSize(), 32u);
    EXPECT_STREQ(d.Hex2(), "00");
    EXPECT_STREQ(d.ColorRGB(), "#000000");
    EXPECT_STREQ(d.Hex3(), "00");
    EXPECT_STREQ(d.Hex4(), "#00");
    EXPECT_STREQ(d.Hex5(), "0x00");
    EXPECT_STREQ(d.String(), "0x00");
    EXPECT_STREQ(d.XML(3), "<CData>\n\tundefined</CData>");
    d.Clear(); // clearing an empty object changes nothing
    EXPECT_TRUE(d.Empty());
}

TEST(CData, PaddingLeavesRoomForTheTerminatorInWholeWords) {
    EXPECT_EQ(CData::Padding(0), 0u);
    EXPECT_EQ(CData::Padding(1), 4u);
    EXPECT_EQ(CData::Padding(3), 4u);
    EXPECT_EQ(CData::Padding(4), 8u);
    EXPECT_EQ(CData::Padding(6), 8u);
    EXPECT_EQ(CData::Padding(CData::kMaxLength), CData::kMaxLength + 1);
    EXPECT_EQ(CData::Padding(CData::kMaxLength + 1), 0u); // would no longer fit 32 bits
}

TEST(CData, AllocationHelpersRefuseZeroAndOverflow) {
    EXPECT_EQ(CData::CAlloc(0, 4), nullptr);
    EXPECT_EQ(CData::CAlloc(4, 0), nullptr);
    EXPECT_EQ(CData::CAlloc(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(CData::StrLen(nullptr), 0u);
    EXPECT_EQ(CData::StrLen("abc"), 3u);
}

TEST(CData, HexFormsOfTwoBytes) {
    CString s("\x0A\xFF");
    EXPECT_STREQ(s.Hex2(), "0AFF");
    EXPECT_STREQ(s.ColorRGB(), "#0AFF");
    EXPECT_STREQ(s.Hex3(), "0A FF");
    EXPECT_STREQ(s.Hex4(), "#0A #FF");
    EXPECT_STREQ(s.Hex5(), "0x0A 0xFF");
}

TEST(CData, ColourAndXmlFormsOfThreeBytes) {
    CString s("\x12\x34\x56");
    EXPECT_STREQ(s.ColorRGB(), "#123456");
    EXPECT_STREQ(s.Hex5(), "0x12 0x34 0x56");
    EXPECT_STREQ(s.CData::XML(1), "\t<CData encoding='HEX5'>\n\t\t0x12 0x34 0x56\n\t</CData>\n");
    EXPECT_STREQ(s.CData::XML(0), "<CData encoding='HEX5'>\n\t0x12 0x34 0x56\n</CData>\n");
}

TEST(CData, TextFormsShareOneBufferThatTheNextCallReplaces) {
    CString a("\x01"), b("\x02");
    const char* first = a.Hex2();
    EXPECT_EQ(first, CData::temp);
    const char* second = b.Hex5();
    EXPECT_EQ(second, CData::temp);
    EXPECT_STREQ(second, "0x02");
}

// Fault S4: a negative indentation shrank the buffer while the fixed texts were still written.
TEST(CData, NegativeOrHugeIndentationNeverOverrunsTheBuffer) {
    CString s("\x12\x34\x56");
    const std::string flat = s.CData::XML(0);
    EXPECT_EQ(std::string(s.CData::XML(-5)), flat);
    EXPECT_EQ(std::string(s.CData::XML(-2147483647 - 1)), flat);
    EXPECT_STREQ(s.CData::XML(2147483647), "<CData>\n\tundefined</CData>");
}

TEST(CData, ClassCountReadsLiveObjectsMinusOne) {
    // invalid, empty and CString::tempstr live for the whole program.
    EXPECT_EQ(CData::count, 2);
    const int before = CData::count;
    {
        CData a;
        CString b;
        EXPECT_EQ(a.ClassCount(), before + 2);
        EXPECT_EQ(b.ClassCount(), CString::count);
    }
    EXPECT_EQ(CData::count, before);
}

// Fault S7: the buffer-owning classes had no copy semantics, so a copy shared and freed twice.
TEST(CData, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
    CString original("abc");
    CData copy(original);
    EXPECT_STREQ(copy.ClassName(), "CData");
    EXPECT_STREQ(copy.Hex2(), "616263");
    original[0] = 'x';
    EXPECT_STREQ(copy.Hex2(), "616263");

    CData moved(std::move(copy));
    EXPECT_TRUE(copy.Empty());
    EXPECT_STREQ(moved.Hex2(), "616263");

    CData assigned;
    assigned = moved;
    CData& alias = assigned;
    assigned = alias;
    EXPECT_STREQ(assigned.Hex3(), "61 62 63");
    assigned = std::move(moved);
    EXPECT_TRUE(moved.Empty());
    EXPECT_STREQ(assigned.Hex3(), "61 62 63");
}

TEST(CPrinTable, ShowsControlCodesByNameAndPrintablesAsThemselves) {
    const Vesk::CPrinTable& t = Vesk::PrinTable;
    EXPECT_STREQ(t[65], "A");
    EXPECT_STREQ(t[9], "\t");
    EXPECT_STREQ(t[10], "\n");
    EXPECT_STREQ(t[13], "\r");
    EXPECT_STREQ(t[0], "<NUL>");
    EXPECT_STREQ(t[31], "<US>");
    EXPECT_STREQ(t[32], " ");
    EXPECT_STREQ(t[126], "~");
    EXPECT_STREQ(t[127], "<DEL>");
    EXPECT_EQ(t[128], nullptr);
    EXPECT_EQ(t[-1], nullptr);
    for (int c = 33; c < 127; ++c) {
        EXPECT_EQ(std::string(t[c]), std::string(1, static_cast<char>(c))) << c;
        EXPECT_EQ(t.index[c], &t.strings[c]);
    }
}

TEST(Vesk, NamespaceObjectsHoldTheirTexts) {
    EXPECT_TRUE(Vesk::invalid == "null");
    EXPECT_TRUE(Vesk::empty == " ");
    EXPECT_EQ(Vesk::hextable.size(), 512u);
    EXPECT_EQ(std::string(&Vesk::hextable[2 * 0xA5], 2), "A5");
    EXPECT_EQ(std::string(&Vesk::hextable[0], 2), "00");
    EXPECT_EQ(std::string(&Vesk::hextable[510], 2), "FF");
}

} // namespace
