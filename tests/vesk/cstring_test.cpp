#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Vesk/Vesk.h"
#include "vesk_test_support.h"

namespace {

using Vesk::CString;
using Vesk::CStringList;

using vesk_test::printed;
using vesk_test::text;

TEST(CString, AssignmentFormsAndTheirResults) {
    CString s;
    EXPECT_STREQ(s.c_str(), "(null*)");
    EXPECT_EQ(s = 3.5, 0);
    EXPECT_EQ(text(s), "3.500000");
    EXPECT_EQ(s = -7, 0);
    EXPECT_EQ(text(s), "-7");
    const char* constant = "hello";
    EXPECT_EQ(s = constant, 5);
    s = 1e300; // far longer than any fixed buffer for a number
    EXPECT_EQ(s.Length(), 301u + 7u);
}

// Assigning must copy the source before the old buffer goes: the source may be that buffer.
TEST(CString, SelfAssignmentAndAssignmentFromOwnBufferKeepTheText) {
    CString s("abcdef");
    CString& same = s;
    s = same;
    EXPECT_EQ(text(s), "abcdef");
    s = s.c_str() + 2;
    EXPECT_EQ(text(s), "cdef");
    s = const_cast<char*>(s.c_str()) + 1;
    EXPECT_EQ(text(s), "def");
}

// An absent text compares as "", and so does an empty string (not as its "(null*)" marker).
TEST(CString, EmptyAndAbsentCompareAsTheEmptyText) {
    CString e;
    CString a("a");
    const char* absent = nullptr;
    EXPECT_TRUE(e == "");
    EXPECT_FALSE(e == "(null*)");
    EXPECT_TRUE(e == absent);
    EXPECT_FALSE(a == absent);
    EXPECT_TRUE(a != absent);
    EXPECT_TRUE(e < CString("!"));
    EXPECT_TRUE(CString("abd") < CString("\xE0")); // bytes compare unsigned
}

// Binary operators build in the shared tempstr; an operand may be tempstr itself.
TEST(CString, ChainedOperatorsMayUseTempstrAsAnOperand) {
    CString a("a"), b("b"), c("c");
    EXPECT_EQ(&(a + "x"), &CString::tempstr);
    EXPECT_EQ(text(a + b + c), "abc");
    EXPECT_EQ(text(a + (b + c)), "abc");
    EXPECT_EQ(text((a * 3) + "x"), "aaax");
    EXPECT_EQ(text((a + b) * 2), "abab");
    EXPECT_EQ(text((a + "bcd") - 1), "abc");
    EXPECT_EQ(text(a + 7), "a7");
    CString subject("abxab");
    EXPECT_EQ(text(subject - (b + "x").c_str()), "aab");
    CString& t = a + "12";
    EXPECT_EQ(text(t + t), "a12a12");
    EXPECT_EQ(text(a), "a");
}

// Removing every match empties the string and succeeds; 100000 matches need no deep stack.
TEST(CString, ReplacementsWithAnEmptyResultOrManyMatches) {
    CString s("abab");
    EXPECT_TRUE(s.Replace("ab", nullptr, 0, true));
    EXPECT_TRUE(s.Empty());
    s = "ab";
    EXPECT_TRUE(s.Replace("ab", "", 0, false));
    EXPECT_TRUE(s.Empty());

    s = "ab";
    s = s * 100000;
    ASSERT_EQ(s.Length(), 200000u);
    EXPECT_TRUE(s.Replace("b", ",", 0, true));
    EXPECT_EQ(s.Find("b", 0), -1);
    CStringList list;
    EXPECT_EQ(s.Split(",", &list, 0, 0), 100000);
    EXPECT_STREQ(list[99999], "a");
    s -= "a";
    s -= ",";
    EXPECT_TRUE(s.Empty());
}

// Starts and counts outside the text are clamped or refused, never read past the buffer.
TEST(CString, SubStrAndSplitClampTheirArguments) {
    CString s("abcdef");
    EXPECT_STREQ(s.SubStr(4, 100), "ef");
    EXPECT_EQ(s.SubStr(1, -4), nullptr);
    EXPECT_EQ(s.SubStr(-1, 1), nullptr);
    EXPECT_EQ(s.SubStr(6, 1), nullptr);

    CString csv("a,,b");
    CStringList list;
    EXPECT_EQ(csv.Split(",", &list, 0, -7), 2);
    EXPECT_STREQ(list[1], "b");
    EXPECT_EQ(csv.Split(",", &list, 1, 0), 1);
    EXPECT_EQ(csv.Split(",", &list, 0, 1000), 1); // nothing from there on is appended
    EXPECT_EQ(csv.Split(nullptr, &list, 0, 0), -1);
}

// Sizes that would wrap 32 bits are refused and leave the string as it was.
TEST(CString, ResultsBeyondFourGigabytesAreRefusedWithoutTouchingTheString) {
    CString s("abc");
    EXPECT_TRUE((s * 0x60000000).Empty()); // 4.5 GiB: wraps to 512 MiB in 32 bits
    EXPECT_EQ(text(s), "abc");
    EXPECT_STREQ(s.XML(INT_MAX), "<CData>\n\tundefined</CData>");
}

TEST(CString, ConversionsAndClassifications) {
    EXPECT_EQ(CString("  -42xyz").Integer(), -42);
    EXPECT_EQ(CString("99999999999").Integer(), INT_MAX);
    EXPECT_EQ(CString("-99999999999").Integer(), INT_MIN);
    EXPECT_EQ(CString("1aF").HexToInt(), 0x1AF);
    EXPECT_DOUBLE_EQ(CString("-0.125").Double(), -0.125);
    EXPECT_FALSE(CString("f\xC3\xBCr").IsASCII());
    EXPECT_TRUE(CString("abc1").IsKeyword());
    EXPECT_FALSE(CString("1abc").IsKeyword());
    EXPECT_FALSE(CString("a_b").IsKeyword());
    CString blanks("\r\n a b \t");
    blanks.Trim();
    EXPECT_EQ(text(blanks), "a b");
    CString mixed("aB1\xE4z");
    mixed.Revertcase();
    EXPECT_EQ(text(mixed), "Ab1\xE4Z");
    CString bytes("A\x80\xFF");
    const std::uint32_t* units = bytes.Unicode();
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units[1], 0xFFFFFF80u); // bytes widen signed
    EXPECT_EQ(units[3], 0u);
}

TEST(CString, XmlFormAndPrintingShowTheRawText) {
    CString s("a<b");
    EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\ta<b\n\t</CString>\n");
    EXPECT_EQ(printed([&] { s >> 2; }), "a<ba<b");
    EXPECT_EQ(printed([] { CString() >> 2; }), "");
}

} // namespace
