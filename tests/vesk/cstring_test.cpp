#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Vesk/Vesk.h"
#include "vesk_test_support.h"

namespace {

using Vesk::CString;
using Vesk::CStringList;

using vesk_test::text;

using vesk_test::printed;

TEST(CString, EmptyStringReadsAsTheMarker) {
    CString s;
    EXPECT_STREQ(s.ClassName(), "CString");
    EXPECT_STREQ(s.c_str(), "(null*)");
    EXPECT_STREQ(s.String(), "(null*)");
    EXPECT_FALSE(s.ToBool());
    EXPECT_STREQ(s.XML(2), "<CData>\n\tundefined</CData>");
    EXPECT_EQ(s.Unicode(), nullptr);
    EXPECT_EQ(s.Integer(), 0);
    EXPECT_EQ(s.Double(), 0.0);
}

TEST(CString, AssignmentFormsAndTheirResults) {
    CString s;
    EXPECT_EQ(s = 3.5, 0);
    EXPECT_EQ(text(s), "3.500000");
    EXPECT_EQ(s = -7, 0);
    EXPECT_EQ(text(s), "-7");
    const char* constant = "hello";
    EXPECT_EQ(s = constant, 5);
    char mutableText[] = "hey";
    EXPECT_EQ(s = mutableText, 0);
    EXPECT_EQ(text(s), "hey");
    EXPECT_EQ(s = "", 0);
    EXPECT_TRUE(s.Empty());
    s = 1e300; // far longer than any fixed buffer for a number
    EXPECT_EQ(s.Length(), 301u + 7u);
}

// Fault S1: assignment started by releasing the buffer it was about to copy.
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

TEST(CString, IndexingOutOfRangeHandsOutTheZeroedSharedByte) {
    CString s("abc");
    EXPECT_EQ(s[1], 'b');
    s[1] = 'x';
    EXPECT_EQ(text(s), "axc");
    char& outside = s[10];
    EXPECT_EQ(&outside, &CString::nirvana);
    outside = 'q';
    EXPECT_EQ(s[-1], '\0');
    EXPECT_EQ(text(s), "axc");
}

TEST(CString, AtFirstAndLastWidenSigned) {
    CString s("a\xF0z");
    EXPECT_EQ(s.First(), 'a');
    EXPECT_EQ(s.At(1), -16);
    EXPECT_EQ(s.Last(), 'z');
    EXPECT_EQ(s.At(3), 0);
    EXPECT_EQ(CString().Last(), 0);
}

// Fault S6: an absent text crashed the comparison; an empty string compared as "(null*)".
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
    EXPECT_TRUE(e == CString(""));
}

TEST(CString, ComparisonsAreBytewise) {
    CString a("abc"), b("abd"), hi("\xE0");
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > a);
    EXPECT_TRUE(a <= a);
    EXPECT_TRUE(a >= a);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a == CString("abc"));
    EXPECT_TRUE(b < hi); // bytes compare unsigned
}

TEST(CString, AppendingEveryKind) {
    CString s("n=");
    s += 42;
    s += ',';
    s += 0.5;
    s += CString();
    s += static_cast<const char*>(nullptr);
    s += "";
    s += CString("!");
    EXPECT_EQ(text(s), "n=42,0.500000!");
    CString nul;
    nul += '\0'; // a character is always appended
    EXPECT_EQ(nul.Length(), 1u);
}

TEST(CString, RemovingByCountAndByText) {
    CString s("abcd");
    s -= 2;
    EXPECT_EQ(text(s), "ab");
    s -= 0;
    EXPECT_EQ(text(s), "ab");
    s = "abcd";
    s -= 4;
    EXPECT_TRUE(s.Empty());
    s = "a-b-c";
    s -= "-";
    EXPECT_EQ(text(s), "abc");
}

TEST(CString, BinaryOperatorsBuildInTempstrAndLeaveTheOperandAlone) {
    CString hello("Hello");
    CString& r = hello + " World";
    EXPECT_EQ(&r, &CString::tempstr);
    EXPECT_EQ(text(r), "Hello World");
    EXPECT_EQ(text(hello), "Hello");

    EXPECT_EQ(&(hello + CString()), &hello);
    EXPECT_EQ(&(hello + static_cast<const char*>(nullptr)), &hello);
    EXPECT_EQ(&(hello * 1), &hello);
    EXPECT_EQ(&(hello - 0), &hello);
    EXPECT_EQ(&(hello - static_cast<const char*>(nullptr)), &hello);

    EXPECT_EQ(text(hello + 7), "Hello7");
    EXPECT_EQ(text(hello + 1.25), "Hello1.250000");
    EXPECT_EQ(text(hello * 3), "HelloHelloHello");
    EXPECT_EQ(text(hello - 2), "Hel");
    EXPECT_TRUE((hello - 5).Empty());
    EXPECT_EQ(text(hello - "l"), "Heo");
    EXPECT_EQ(text(hello), "Hello");
}

// Fault S2: chained operators used tempstr as source and target at once.
TEST(CString, ChainedOperatorsMayUseTempstrAsAnOperand) {
    CString a("a"), b("b"), c("c");
    EXPECT_EQ(text(a + b + c), "abc");
    EXPECT_EQ(text(a + (b + c)), "abc");
    EXPECT_EQ(text((a * 3) + "x"), "aaax");
    EXPECT_EQ(text((a + b) * 2), "abab");
    EXPECT_EQ(text((a + "bcd") - 1), "abc");
    CString subject("abxab");
    EXPECT_EQ(text(subject - (b + "x").c_str()), "aab");
    CString& t = a + "12";
    EXPECT_EQ(text(t + t), "a12a12");
}

TEST(CString, FindEdgeCases) {
    CString s("abc");
    EXPECT_EQ(s.Find("b", 0), 1);
    EXPECT_EQ(s.Find("b", -3), 1);
    EXPECT_EQ(s.Find("", 0), -1);
    EXPECT_EQ(s.Find(nullptr, 0), -1);
    EXPECT_EQ(s.Find("b", 5), -1);
    EXPECT_EQ(s.Find("b", 2), -1);
    EXPECT_EQ(s.Find("abcd", 0), -1);
    EXPECT_EQ(CString().Find("a", 0), -1);
}

TEST(CString, ReplaceFirstOrAll) {
    CString s("abcab");
    EXPECT_TRUE(s.Replace("ab", "x", 0, true));
    EXPECT_EQ(text(s), "xcx");
    s = "abcab";
    EXPECT_FALSE(s.Replace("ab", "ab", 0, true));
    EXPECT_FALSE(s.Replace("zz", "y", 0, true));
    EXPECT_FALSE(s.Replace(nullptr, "y", 0, true));
    EXPECT_FALSE(s.Replace("ab", "y", 4, true));
    EXPECT_TRUE(s.Replace("ab", "long", 1, false));
    EXPECT_EQ(text(s), "abclong");
    s = "aaa";
    EXPECT_TRUE(s.Replace("a", "aa", 0, true)); // inserted text is not searched again
    EXPECT_EQ(text(s), "aaaaaa");
    s = "xyz";
    EXPECT_TRUE(s.Replace("y", s.c_str(), 0, true)); // replacement text from the string itself
    EXPECT_EQ(text(s), "xxyzz");
}

// Fault S3: a replacement whose result is empty failed and left the text.
TEST(CString, ReplacementWithAnEmptyResultEmptiesTheString) {
    CString s("abab");
    EXPECT_TRUE(s.Replace("ab", nullptr, 0, true));
    EXPECT_TRUE(s.Empty());
    s = "ab";
    s -= "ab";
    EXPECT_TRUE(s.Empty());
    s = "ab";
    EXPECT_TRUE(s.Replace("ab", "", 0, false));
    EXPECT_TRUE(s.Empty());
}

// Fault S3: Replace and Split recursed once per match.
TEST(CString, HundredThousandMatchesNeedNoDeepStack) {
    CString s("ab");
    s = s * 100000;
    ASSERT_EQ(s.Length(), 200000u);
    EXPECT_TRUE(s.Replace("b", ",", 0, true));
    EXPECT_EQ(s.Find("b", 0), -1);

    CStringList list;
    EXPECT_EQ(s.Split(",", &list, 0, 0), 100000);
    EXPECT_STREQ(list[0], "a");
    EXPECT_STREQ(list[99999], "a");

    s -= "a";
    EXPECT_EQ(s.Length(), 100000u);
    s -= ",";
    EXPECT_TRUE(s.Empty());
}

TEST(CString, InsertBeforeAByteInsideTheText) {
    CString s("ac");
    EXPECT_TRUE(s.Insert(1, "b"));
    EXPECT_EQ(text(s), "abc");
    EXPECT_FALSE(s.Insert(3, "d")); // at the length: nothing
    EXPECT_FALSE(s.Insert(-1, "d"));
    EXPECT_FALSE(s.Insert(0, ""));
    EXPECT_TRUE(s.Insert(0, s.c_str()));
    EXPECT_EQ(text(s), "abcabc");
}

// Fault S4: a negative count overran the source.
TEST(CString, SubStrClampsAndRefuses) {
    CString s("abcdef");
    EXPECT_STREQ(s.SubStr(1, 3), "bcd");
    EXPECT_EQ(s.SubStr(1, 3), Vesk::CData::temp);
    EXPECT_STREQ(s.SubStr(4, 100), "ef");
    EXPECT_EQ(s.SubStr(1, 0), nullptr);
    EXPECT_EQ(s.SubStr(1, -4), nullptr);
    EXPECT_EQ(s.SubStr(6, 1), nullptr);
    EXPECT_EQ(s.SubStr(-1, 1), nullptr);
}

TEST(CString, SplitSkipsEmptyPiecesAndStopsAtMax) {
    CString s("a,,b");
    CStringList list;
    EXPECT_EQ(s.Split(",", &list, 0, 0), 2);
    EXPECT_STREQ(list[0], "a");
    EXPECT_STREQ(list[1], "b");
    EXPECT_EQ(s.Split(",", &list, 1, 0), 1);
    EXPECT_STREQ(list[0], "a");
    EXPECT_EQ(s.Split(nullptr, &list, 0, 0), -1);
    EXPECT_EQ(s.Split(",", nullptr, 0, 0), -1);
    EXPECT_EQ(CString().Split(",", &list, 0, 0), -1);

    CString words("one::two::three");
    EXPECT_EQ(words.Split("::", &list, 0, 0), 3);
    EXPECT_STREQ(list[2], "three");
    EXPECT_EQ(words.Split("::", &list, 0, 5), 5); // a later start appends
    EXPECT_STREQ(list[3], "two");
    EXPECT_EQ(words.Split("", &list, 0, 0), 1); // no separator to find: the whole text
    EXPECT_STREQ(list[0], "one::two::three");
}

// Fault S4: a negative or too large start cut pieces outside the text.
TEST(CString, SplitClampsItsStart) {
    CString s("a,b");
    CStringList list;
    EXPECT_EQ(s.Split(",", &list, 0, -7), 2);
    EXPECT_STREQ(list[0], "a");
    EXPECT_EQ(s.Split(",", &list, 0, 3), 2); // nothing from the end on
    EXPECT_EQ(s.Split(",", &list, 0, 1000), 2);
    EXPECT_EQ(list.Count(), 2);
}

TEST(CString, TrimRemovesBlankRuns) {
    CString s("  \tx");
    s.TrimLeft();
    EXPECT_EQ(text(s), "x");
    s = "   ";
    s.Trim();
    EXPECT_TRUE(s.Empty());
    s = "\r\n a b \n";
    s.Trim();
    EXPECT_EQ(text(s), "a b");
    s = "x \t";
    s.TrimRight();
    EXPECT_EQ(text(s), "x");
}

TEST(CString, CaseChangesTouchOnlyAsciiLetters) {
    CString s("aB1\xE4z");
    s.Uppercase();
    EXPECT_EQ(text(s), "AB1\xE4Z");
    s.Lowercase();
    EXPECT_EQ(text(s), "ab1\xE4z");
    s = "aBc";
    s.Revertcase();
    EXPECT_EQ(text(s), "AbC");
}

TEST(CString, NumberConversions) {
    EXPECT_EQ(CString("  -42xyz").Integer(), -42);
    EXPECT_EQ(CString("abc").Integer(), 0);
    EXPECT_EQ(CString("99999999999").Integer(), INT_MAX);
    EXPECT_EQ(CString("-99999999999").Integer(), INT_MIN);
    EXPECT_EQ(CString("1aF").HexToInt(), 0x1AF);
    EXPECT_EQ(CString("0x10").HexToInt(), 16);
    EXPECT_FLOAT_EQ(CString("2.5e1").Float(), 25.0f);
    EXPECT_DOUBLE_EQ(CString("-0.125").Double(), -0.125);
    EXPECT_TRUE(CString("0").ToBool());
}

TEST(CString, UnicodeWidensBytesAsSigned) {
    CString s("A\x80\xFF");
    const std::uint32_t* units = s.Unicode();
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units, Vesk::CData::wtemp);
    EXPECT_EQ(units[0], 0x41u);
    EXPECT_EQ(units[1], 0xFFFFFF80u);
    EXPECT_EQ(units[2], 0xFFFFFFFFu);
    EXPECT_EQ(units[3], 0u);
}

TEST(CString, EncodeAndDecode) {
    CString s("\x0A\xFF");
    s.Decode();
    EXPECT_EQ(s.Length(), 2u);
    s.Encode();
    EXPECT_EQ(text(s), "0AFF");
}

TEST(CString, AsciiAndKeywordTests) {
    EXPECT_TRUE(CString("plain").IsASCII());
    EXPECT_FALSE(CString("f\xC3\xBCr").IsASCII());
    EXPECT_TRUE(CString().IsASCII());
    EXPECT_TRUE(CString("abc1").IsKeyword());
    EXPECT_FALSE(CString("1abc").IsKeyword());
    EXPECT_FALSE(CString("a_b").IsKeyword());
    EXPECT_TRUE(CString().IsKeyword());
}

TEST(CString, XmlFormWrapsTheRawText) {
    CString s("a<b");
    EXPECT_STREQ(s.XML(1), "\t<CString encoding='UTF8'>\n\t\ta<b\n\t</CString>\n");
    EXPECT_STREQ(s.XML(-3), "<CString encoding='UTF8'>\n\ta<b\n</CString>\n");
}

TEST(CString, ReassignHoldsZeroBytes) {
    CString s("abc");
    s.reassign(5);
    EXPECT_EQ(s.Length(), 5u);
    EXPECT_EQ(s.DataSize(), 8u);
    EXPECT_EQ(s.At(4), 0);
    s.reassign(0);
    EXPECT_TRUE(s.Empty());
}

// Fault S4: sizes were 32-bit products that could wrap to a short buffer.
TEST(CString, ResultsBeyondFourGigabytesAreRefusedWithoutTouchingTheString) {
    CString s("abc");
    CString& r = s * 0x60000000; // 4.5 GiB: wraps to 512 MiB in 32 bits
    EXPECT_EQ(&r, &CString::tempstr);
    EXPECT_TRUE(r.Empty());
    EXPECT_EQ(text(s), "abc");
    EXPECT_STREQ(s.XML(INT_MAX), "<CData>\n\tundefined</CData>");
}

TEST(CString, PrintsItsTextTheGivenNumberOfTimes) {
    CString s("ab");
    EXPECT_EQ(printed([&] { s >> 3; }), "ababab");
    EXPECT_EQ(printed([&] { s >> 0; }), "");
    EXPECT_EQ(printed([] { CString() >> 2; }), "");
}

TEST(CString, CopyAndMoveConstructionAreDeep) {
    CString a("text");
    CString b(a);
    b[0] = 'n';
    EXPECT_EQ(text(a), "text");
    EXPECT_EQ(text(b), "next");
    CString c(std::move(b));
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(text(c), "next");
    EXPECT_STREQ(c.ClassName(), "CString");
    a = std::move(c);
    EXPECT_EQ(text(a), "next");
}

} // namespace
