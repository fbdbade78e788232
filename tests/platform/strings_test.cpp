#include "platform/rtl/strings.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/rtl/pascal_math.h"

namespace kv {
namespace {

TEST(Strings, OneBasedHelpersAtTheEdges) {
  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abcdef", 0, 3), "abc");     // index below 1 counts from 1
  EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
  EXPECT_EQ(Copy("abcdef", 6, 10), "f");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");       // past the end
  EXPECT_EQ(Copy("abcdef", 2, -1), "");
  EXPECT_EQ(Copy("abcdef", 3, INT64_MAX), "cdef");  // no overflow of index + count
  EXPECT_EQ(Copy("abc", INT64_MAX, 1), "");

  EXPECT_EQ(Pos("cd", "abcdcd"), 3);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(PosEx("cd", "abcdcd", 4), 5);
  EXPECT_EQ(PosEx("cd", "abcdcd", 0), 0);
  EXPECT_EQ(PosEx("cd", "abcdcd", 7), 0);

  std::string s = "abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "adef");
  Delete(s, 0, 2);  // outside: nothing
  Delete(s, 5, 1);
  EXPECT_EQ(s, "adef");
  Delete(s, 3, 100);
  EXPECT_EQ(s, "ad");
  Insert("XY", s, 2);
  EXPECT_EQ(s, "aXYd");
  Insert("<", s, -3);
  Insert(">", s, 100);
  EXPECT_EQ(s, "<aXYd>");
  EXPECT_EQ(LastDelimiter("./", "a/b.c/d"), 6);
  EXPECT_EQ(StringOfChar('z', 3), "zzz");
  EXPECT_EQ(StringOfChar('z', -1), "");
}

TEST(Strings, CaseAndComparison) {
  EXPECT_EQ(UpperCase("abc äö"), "ABC äö");  // plain routines touch ASCII only
  EXPECT_EQ(AnsiUpperCase("straße äöü ÿ αβγς жё ł"), "STRAßE ÄÖÜ Ÿ ΑΒΓΣ ЖЁ Ł");
  EXPECT_EQ(AnsiLowerCase("ÀÉÎ Ω Я Ź"), "àéî ω я ź");
  EXPECT_EQ(AnsiUpperCase("\xff\xfe ok"), "\xff\xfe OK");  // invalid UTF-8 passes through
  EXPECT_LT(CompareText("apple", "BANANA"), 0);
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
  EXPECT_GT(CompareStr("a", "B"), 0);
  EXPECT_TRUE(SameText("Hello", "hELLO"));
  EXPECT_FALSE(SameText("Hello", "Hell"));
  EXPECT_TRUE(AnsiSameText("ÄRGER", "ärger"));
  EXPECT_LT(AnsiCompareText("ärger", "Ö"), 0);
}

TEST(Strings, TrimQuoteReplace) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(AnsiDequotedStr("'it''s'", '\''), "it's");
  EXPECT_EQ(AnsiDequotedStr("plain", '\''), "plain");
  EXPECT_EQ(AnsiDequotedStr("'open", '\''), "'open");  // no closing quote: unchanged
  EXPECT_EQ(AnsiDequotedStr("''", '\''), "");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", {rfReplaceAll}), "aXb-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", {rfReplaceAll, rfIgnoreCase}), "a-b-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", {rfIgnoreCase}), "a-bxc");
  EXPECT_EQ(StringReplace("Größe GRÖSSE größe", "GRÖ", "k", {rfReplaceAll, rfIgnoreCase}), "kße kSSE kße");
  EXPECT_EQ(StringReplace("abc", "", "z", {rfReplaceAll}), "abc");
}

TEST(Strings, IntegerConversions) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(int64_t(-1), 1), "FFFFFFFFFFFFFFFF");

  struct Case { const char* Text; bool Ok; int32_t Value; };
  for (const Case& c : {Case{"123", true, 123}, Case{"  -7", true, -7}, Case{"+5", true, 5}, Case{"$FF", true, 255},
                        Case{"0x10", true, 16}, Case{"$FFFFFFFF", true, -1}, Case{"2147483647", true, INT32_MAX},
                        Case{"-2147483648", true, INT32_MIN}, Case{"2147483648", false, 0}, Case{"12 ", false, 0},
                        Case{"", false, 0}, Case{"-", false, 0}, Case{"1e3", false, 0}, Case{"$", false, 0}}) {
    int32_t v = 0;
    EXPECT_EQ(TryStrToInt(c.Text, v), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(v, c.Value) << c.Text;
    }
  }
  EXPECT_EQ(StrToIntDef("x", 9), 9);
  EXPECT_EQ(StrToInt64Def("-9223372036854775808", 0), INT64_MIN);
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 3), 3);
  try {
    StrToInt("x1");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
  }
}

TEST(Strings, FloatConversions) {
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(-2.5), "-2.5");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
  EXPECT_EQ(FloatToStr(0.00001), "0.00001");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(NAN), "NAN");
  EXPECT_EQ(FloatToStr(-INFINITY), "-INF");
  EXPECT_EQ(StrToFloat(" 1.5e3 "), 1500);
  EXPECT_EQ(StrToFloat("-.5"), -0.5);
  EXPECT_EQ(StrToFloatDef("inf", 7), 7);
  EXPECT_EQ(StrToFloatDef("0x10", 7), 7);
  EXPECT_EQ(StrToFloatDef("1,5", 7), 7);
  EXPECT_THROW(StrToFloat("abc"), EConvertError);

  DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(2.25), "2,25");
  EXPECT_EQ(StrToFloat("2,25"), 2.25);
  EXPECT_EQ(StrToFloatDef("2.25", -1), -1);
  DecimalSeparator = '.';
}

TEST(Strings, FormatFloatMasks) {
  struct Case { const char* Mask; double Value; const char* Want; };
  for (const Case& c : {Case{"0.00", 2.675, "2.68"},  // decimal rounding, halves away from zero
                        Case{"0.00", -0.001, "0.00"},  // no negative zero
                        Case{"0.00", 1.005, "1.01"},
                        Case{"#,##0", 1234567.4, "1,234,567"},
                        Case{"#,##0.00", -1234.5, "-1,234.50"},
                        Case{"0.###", 1.5, "1.5"},
                        Case{"0.###", 2, "2"},
                        Case{"000", 7, "007"},
                        Case{"#.##", 0.5, ".5"},
                        Case{"0", 2.5, "3"},
                        Case{"0.0 'MB'", 1.25, "1.3 MB"},
                        Case{"0.00E+00", 12345, "1.23E+04"},
                        Case{"0.0;(0.0);'zero'", -3.14, "(3.1)"},
                        Case{"0.0;(0.0);'zero'", 0.01, "zero"},
                        Case{"", 0.5, "0.5"}})
    EXPECT_EQ(FormatFloat(c.Mask, c.Value), c.Want) << c.Mask << " " << c.Value;
}

TEST(Strings, FormatSpecifiers) {
  EXPECT_EQ(Format("%d|%5d|%-5d|%.3d", 42, 42, 42, -5), "42|   42|42   |-005");
  EXPECT_EQ(Format("%u %x %.4x", -1, 255, 255), "4294967295 FF 00FF");
  EXPECT_EQ(Format("%x", int64_t(-1)), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Format("#%6x", 0xABC), "#   ABC");
  EXPECT_EQ(Format("%s.%s", std::string("Form1"), "Memo1_Lines"), "Form1.Memo1_Lines");
  EXPECT_EQ(Format("[%-6s][%6s][%.2s]", "ab", "ab", "abcdef"), "[ab    ][    ab][ab]");
  EXPECT_EQ(Format("%.1s", "äb"), "");  // a precision never splits a UTF-8 character
  EXPECT_EQ(Format("%f %.1f %.0f", 2.5, 2.25, 0.5), "2.50 2.3 1");
  EXPECT_EQ(Format("%e", 1234.5), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", -0.001234), "-1.23E-003");
  EXPECT_EQ(Format("%g %g", 0.5, 1e20), "0.5 1E20");
  EXPECT_EQ(Format("%n", 1234567.891), "1,234,567.89");
  EXPECT_EQ(Format("%m", 1234.5), "$1,234.50");
  EXPECT_EQ(Format("100%% %1:s %0:s %s", "a", "b"), "100% b a b");
  EXPECT_EQ(Format("%*d|%.*f", 4, 7, 1, 3.14159), "   7|3.1");
  EXPECT_EQ(Format("%s", 'c'), "c");
  EXPECT_EQ(Format("%p", reinterpret_cast<void*>(0x1F)), "000000000000001F");
  const char* nullText = nullptr;
  EXPECT_EQ(Format("[%s]", nullText), "[]");

  for (auto f : {+[] { return Format("%d", "x"); }, +[] { return Format("%s", 1); },
                 +[] { return Format("%f", 1); }, +[] { return Format("%d"); }, +[] { return Format("%d %", 1); },
                 +[] { return Format("%q", 1); }})
    EXPECT_THROW(f(), EConvertError);
  try {
    Format("%d", "x");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Format '%d' invalid or incompatible with argument");
  }
}

TEST(PascalMath, RoundHalvesToEvenAndTruncTowardZero) {
  struct Case { double X; int64_t R; int64_t T; };
  for (const Case& c : {Case{0.5, 0, 0}, Case{1.5, 2, 1}, Case{2.5, 2, 2}, Case{-0.5, 0, 0}, Case{-1.5, -2, -1},
                        Case{-2.5, -2, -2}, Case{2.4999, 2, 2}, Case{-2.6, -3, -2}, Case{1e300, INT64_MAX, INT64_MAX},
                        Case{-1e300, INT64_MIN, INT64_MIN}, Case{NAN, 0, 0}}) {
    EXPECT_EQ(Round(c.X), c.R) << c.X;
    EXPECT_EQ(Trunc(c.X), c.T) << c.X;
  }
  EXPECT_EQ(Round32(3e9), INT32_MAX);
  EXPECT_EQ(Trunc32(-3e9), INT32_MIN);
  EXPECT_EQ(Sar(-7, 1), -4);
  EXPECT_EQ(FloorDiv(-7, 2), -4);
  EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

TEST(Random, SeededSequenceRepeatsAndStaysInRange) {
  RandSeed = 12345;
  std::vector<int32_t> first;
  for (int i = 0; i < 50; ++i) first.push_back(Random(10));
  RandSeed = 12345;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Random(10), first[static_cast<size_t>(i)]);
  for (int i = 0; i < 1000; ++i) {
    const double d = Random();
    EXPECT_TRUE(d >= 0 && d < 1);
    const int32_t r = Random(INT32_MAX);
    EXPECT_TRUE(r >= 0 && r < INT32_MAX);
  }
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-5), 0);
}

}  // namespace
}  // namespace kv
