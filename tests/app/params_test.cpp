#include <gtest/gtest.h>

#include <clocale>

#include "app/params/param_strings.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {
namespace {

struct TReadCase {
  const char* Line;
  const char* Name;
  const char* Expected;  // with the default "<d>"
};

// The reader's rules, one line each: keyword, quoting, first match, the ends
// of the search and the stray-word and missing-quote cases.
TEST(ParamStrings, ReadCommandParamTable) {
  const TReadCase cases[] = {
      {"open Filename=\"/tmp/my pics/a b.jpg\"", "COMMAND", "open"},
      {"open Filename=\"/tmp/my pics/a b.jpg\"", "FILENAME", "/tmp/my pics/a b.jpg"},
      {"open Filename=\"/tmp/my pics/a b.jpg\"", "filename", "/tmp/my pics/a b.jpg"},
      {"Deselect", "command", "Deselect"},
      {"Deselect", "X", "<d>"},
      {"Deselect now", "COMMAND", "Deselect"},
      {"Deselect now", "now", "<d>"},
      {"Width=5 Height=3", "COMMAND", "Width=5"},
      {"Width=5 Height=3", "Width", "5"},
      {"Width=5 Height=3", "Height", "3"},
      {"KW A=1 A=2", "A", "1"},
      {"KW A=1 B", "A", "1"},
      {"KW A=1 B", "B", "<d>"},
      {"KW =", "A", "<d>"},
      {"KW A=1 =", "A", "1"},
      {"KW A=1 = B=2", "B", "<d>"},
      {"X", "COMMAND", "X"},
      {"X", "Y", "<d>"},
      {"KW A= B=1", "A", "B=1"},
      {"KW A= B=1", "B", "<d>"},
      {"KW A=\"\" A=7", "A", "7"},
      {"KW A=\"\"", "A", "<d>"},
      {"KW A=\"abc", "A", "ab"},
      {"KW A=\"x\"y B=2", "A", "x"},
      {"KW A=\"x\"y B=2", "B", "2"},
      {"KW junk B=2", "B", "<d>"},
      {"", "COMMAND", "<d>"},
      {" ", "A", "<d>"},
      {"   KW   A=1   ", "A", "1"},
      {"   KW   A=1   ", "COMMAND", "KW"},
      {"KW A=", "A", "<d>"},
      {"KW A=\"x", "A", "<d>"},  // a one-character unclosed value counts as empty
      {"KW\tA=1", "COMMAND", "KW\tA=1"},  // only blanks separate
      {"KW Größe=7 größe=8", "GRÖSSE", "<d>"},
      {"KW Größe=7 größe=8", "GRÖßE", "7"},
      {"KW grösse=\"Ä Ö\"", "GRÖSSE", "Ä Ö"},
      {"KW Value=Text", "value", "Text"},
  };
  for (const TReadCase& c : cases)
    EXPECT_EQ(ReadCommandParam(c.Line, c.Name, "<d>"), c.Expected) << c.Line << " / " << c.Name;
  EXPECT_EQ(ReadParamString("KW A=\"x y\"", "a", ""), "x y");
}

TEST(ParamStrings, TrimAndCaseHelpers) {
  EXPECT_EQ(TrimSpaces("  ab  "), "ab");
  EXPECT_EQ(TrimSpaces(" "), " ");
  EXPECT_EQ(TrimSpaces("   "), " ");
  EXPECT_EQ(TrimSpaces("\tab "), "\tab");
  EXPECT_TRUE(SameTextNoCase("straße", "STRAßE"));
  EXPECT_TRUE(SameTextNoCase("äöü", "ÄÖÜ"));
  EXPECT_FALSE(SameTextNoCase("a", "ab"));
  EXPECT_EQ(PosNoCase("öl", "Motor ÖL"), 7);
  EXPECT_EQ(PosNoCase("x", "abc"), 0);
}

TEST(ParamStrings, TypedReaders) {
  const struct {
    const char* Value;
    int32_t Int;
    bool Bool;
  } ints[] = {{"12", 12, true},        {"-3", -3, false},   {"1.5", 0, false},
              {"word", 0, false},      {"7", 7, true},      {"0", 0, false},
              {"$1F", 31, true},       {"0x10", 16, true},  {"2147483648", 0, false},
              {"-2147483648", INT32_MIN, false}};
  for (const auto& c : ints) {
    const std::string line = std::string("KW N=") + c.Value;
    EXPECT_EQ(ReadParamInt(line, "n", 99), c.Int) << c.Value;
    EXPECT_EQ(ReadParamBool(line, "N", true), c.Bool) << c.Value;
  }
  EXPECT_EQ(ReadParamInt("KW", "N", 99), 99);
  EXPECT_TRUE(ReadParamBool("KW", "N", true));
  EXPECT_FALSE(ReadParamBool("KW", "N", false));

  const struct {
    const char* Value;
    double Expected;
  } floats[] = {{"2.5", 2.5}, {"1e3", 1000}, {"-.5", -0.5}, {"+4", 4}, {"5.", 5}, {"1.5E-2", 0.015},
                {"2,5", 0},   {"1.5x", 0},   {"abc", 0},    {".", 0},  {"1e", 0}, {"inf", 0}, {"nan", 0}};
  for (const auto& c : floats)
    EXPECT_DOUBLE_EQ(ReadParamFloat(std::string("KW F=") + c.Value, "f", 42), c.Expected) << c.Value;
  EXPECT_DOUBLE_EQ(ReadParamFloat("KW", "F", 0.1), 0.1);
  EXPECT_DOUBLE_EQ(ReadParamFloat("KW F=\"  3.25  \"", "F", 0), 3.25);
}

TEST(ParamStrings, WritersGiveFragments) {
  EXPECT_EQ(WriteParamInt("Width", -600), " Width=-600");
  EXPECT_EQ(WriteParamBool("On", true) + WriteParamBool("Off", false), " On=1 Off=0");
  EXPECT_EQ(WriteParamFloat("W", 600), " W=600.00000000");
  EXPECT_EQ(WriteParamFloat("W", 2.5), " W=2.50000000");
  EXPECT_EQ(WriteParamFloat("W", -1.0 / 3.0), " W=-0.33333333");
  EXPECT_EQ(WriteParamString("S", ""), " S=\"\"");
  EXPECT_EQ(WriteParamString("S", "a b"), " S=\"a b\"");
  EXPECT_EQ(WriteParamString("S", "Grüße"), " S=\"Grüße\"");
  EXPECT_EQ(WriteParamImageInfoset("I", tImageInfoset{tImageInfo::filename, tImageInfo::orientation}), " I=1025");
  EXPECT_EQ(WriteParamFileFormatset("K", tFileFormatset{tFileFormat::mp3}), " K=262144");
}

// A value that would end early or split the line is refused, not mangled.
TEST(ParamStrings, WritersRefuseQuotesAndLineBreaks) {
  for (const char* bad : {"say \"hi\"", "two\nlines", "cr\rhere", "\""})
    EXPECT_THROW(WriteParamString("S", bad), EParamValueError) << bad;
  TStringList list;
  list.Add("fine");
  list.Add("not \"fine\"");
  EXPECT_THROW(WriteParamStrings("Text", list), EParamValueError);
  TFont font;
  font.SetName("Odd\"Face");
  EXPECT_THROW(WriteParamFont(font), EParamValueError);
}

// A decimal-comma setting changes neither what is written nor what is read:
// neither the program's own separator nor, where installed, a German C locale.
TEST(ParamStrings, NumbersIgnoreTheLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // best effort: not every machine has it
  const char savedSep = DecimalSeparator;
  DecimalSeparator = ',';
  EXPECT_EQ(WriteParamFloat("F", 1234.5), " F=1234.50000000");
  EXPECT_DOUBLE_EQ(ReadParamFloat("KW F=1234.5", "F", 0), 1234.5);
  EXPECT_DOUBLE_EQ(ReadParamFloat("KW F=1234,5", "F", 7), 0);
  DecimalSeparator = savedSep;
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ParamStrings, FloatsRoundTrip) {
  for (double v : {0.0, 600.0, -0.5, 123456.125, 1e-9, 2.0 / 3.0, 1e15}) {
    const double back = ReadParamFloat("KW" + WriteParamFloat("F", v), "F", -1);
    EXPECT_NEAR(back, v, 5e-9) << v;
  }
}

TEST(ParamStrings, FontRoundTripAndDefaults) {
  TFont font;
  font.SetName("DejaVu Sans Mono");
  font.SetHeight(-17);
  font.SetColor(0x123456);
  font.SetStyle(TFontStyles{fsBold, fsItalic, fsUnderline, fsStrikeOut});
  const std::string line = "StartDrawing" + WriteParamFont(font);
  EXPECT_EQ(line,
            "StartDrawing FontColor=1193046 FontHeight=-17 FontName=\"DejaVu Sans Mono\" FontBold=1 FontItalic=1 "
            "FontUnderline=1 fontStrikeout=1");
  TFont back;
  ReadParamFont(line, back);
  EXPECT_EQ(back.Name(), "DejaVu Sans Mono");
  EXPECT_EQ(back.Height(), -17);
  EXPECT_EQ(back.Color(), 0x123456);
  EXPECT_TRUE(back.Style() == font.Style());

  back.SetStyle(TFontStyles{fsBold});
  ReadParamFont("Text", back);
  EXPECT_EQ(back.Name(), "Times New Roman");
  EXPECT_EQ(back.Height(), 38);
  EXPECT_EQ(back.Color(), 0);
  EXPECT_TRUE(back.Style().Empty());
}

TEST(ParamStrings, StringLists) {
  TStringList list;
  list.Add("first line");
  list.Add("Zweite Zeile äöü");
  const std::string written = WriteParamStrings("Text", list);
  EXPECT_EQ(written, " TextCount=2 Text0=\"first line\" Text1=\"Zweite Zeile äöü\"");

  TStringList back;
  back.Add("stale");
  EXPECT_TRUE(ReadParamStrings("StartDrawing" + written, "text", back));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Get(0), "first line");
  EXPECT_EQ(back.Get(1), "Zweite Zeile äöü");

  EXPECT_FALSE(ReadParamStrings("StartDrawing Text0=\"x\"", "Text", back));
  EXPECT_EQ(back.Count(), 0);

  // Items absent or empty read as empty lines; a negative count adds nothing.
  EXPECT_TRUE(ReadParamStrings("KW LCount=3 L0=\"\" L2=c", "L", back));
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Get(0), "");
  EXPECT_EQ(back.Get(1), "");
  EXPECT_EQ(back.Get(2), "c");
  EXPECT_TRUE(ReadParamStrings("KW LCount=-4", "L", back));
  EXPECT_EQ(back.Count(), 0);

  // An absurd count is bounded by the line, not by memory.
  EXPECT_TRUE(ReadParamStrings("KW LCount=2000000000", "L", back));
  EXPECT_LE(back.Count(), 20);

  // The first occurrence wins for the items as it does for single values.
  EXPECT_TRUE(ReadParamStrings("KW LCount=1 L0=a L0=b", "L", back));
  EXPECT_EQ(back.Get(0), "a");
}

TEST(ParamStrings, LongListReadsInOnePass) {
  TStringList list;
  for (int i = 0; i < 20000; ++i) list.Add("item " + std::to_string(i));
  const std::string line = "KW" + WriteParamStrings("Text", list);
  TStringList back;
  ASSERT_TRUE(ReadParamStrings(line, "Text", back));
  ASSERT_EQ(back.Count(), 20000);
  EXPECT_EQ(back.Get(19999), "item 19999");
}

TEST(ParamStrings, Sets) {
  EXPECT_TRUE(ReadParamImageInfoset("KW", "I").Empty());
  const tImageInfoset info = ReadParamImageInfoset("KW I=" + std::to_string(0x7FFFFFFF), "I");
  EXPECT_EQ(info.Count(), 11);  // bits above 10 ignored
  EXPECT_TRUE(ReadParamImageInfoset("KW I=6", "I") == (tImageInfoset{tImageInfo::filepath, tImageInfo::filedate}));

  const tFileFormatset def{tFileFormat::jpg};
  EXPECT_TRUE(ReadParamFileFormatset("KW", "Filetypes", def) == def);
  EXPECT_TRUE(ReadParamFileFormatset("KW Filetypes=0", "Filetypes", def).Empty());
  const tFileFormatset eleven = ReadParamFileFormatset("KW Filetypes=2047", "Filetypes", def);
  EXPECT_EQ(eleven.Count(), 11);
  EXPECT_TRUE(eleven.Contains(tFileFormat::cur));
  EXPECT_FALSE(eleven.Contains(tFileFormat::pcf));
  EXPECT_EQ(ReadParamFileFormatset("KW F=" + std::to_string(1 << 20 | 1 << 18), "F", def).Count(), 1);

  const tFileFormatset some{tFileFormat::png, tFileFormat::pcf, tFileFormat::mp3};
  EXPECT_TRUE(ReadParamFileFormatset("KW" + WriteParamFileFormatset("F", some), "F", def) == some);
}

}  // namespace
}  // namespace kv
