// Filter Factory libraries (".ffl") and single filters (".afs"): fields, new
// and deleted filters, files both ways, damaged files, and running a filter.
#include <gtest/gtest.h>

#include "imaging/processing/ff_files.h"
#include "platform/rtl/exceptions.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::vector<std::string> LinesOf(const tfflfilter& F) {
  std::vector<std::string> v;
  for (int32_t k = 0; k < F.Lines().Count(); ++k) v.push_back(F.Lines().Get(k));
  return v;
}

std::string Join(const std::vector<std::string>& Lines, const char* Break = "\n") {
  std::string s;
  for (const auto& l : Lines) s += l + Break;
  return s;
}

TEST(FflFiles, NewLibrarySavedAtOnceHas31Lines) {
  tfflfilter f;
  EXPECT_EQ(f.Count(), 1);
  EXPECT_EQ(f.CurrentFilter(), 0);
  const std::string path = test::TempPath("ffl_new.ffl");
  f.Save(path);
  std::vector<std::string> lines;
  std::istringstream in(test::ReadText(path));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines[0], "FFL1.0");
  EXPECT_EQ(lines[1], "1");
  EXPECT_EQ(lines[3], "Eigene Filter");
  EXPECT_EQ(lines[27], "r");
  EXPECT_EQ(lines[28], "g");
  EXPECT_EQ(lines[29], "b");
  EXPECT_EQ(lines[30], "");
}

TEST(FflFiles, EveryFieldRoundTrips) {
  tfflfilter f;
  f.NewFilter(1);
  ASSERT_EQ(f.Count(), 2);
  for (int32_t n = 0; n < 2; ++n) {
    const std::string p = "f" + std::to_string(n) + " ";
    for (int32_t kind = ffk8BF; kind <= ffkCopyright; ++kind) f.SetField(p + std::to_string(kind), kind, 0, n);
    for (int32_t i = 0; i < 8; ++i) {
      f.SetField(p + "name " + std::to_string(i), ffkControlName, i, n);
      f.SetField(std::to_string(10 * i + n), ffkControlValue, i, n);
    }
    for (int32_t kind = ffkRed; kind <= ffkAlpha; ++kind) f.SetField(p + "c", kind, 0, n);
  }
  // Lines 7 to 10 of a block are nobody's field but stay as stored.
  std::vector<std::string> lines = LinesOf(f);
  lines[2 + 29 + 5] = "kept as stored";
  const std::string path = test::TempPath("ffl_fields.ffl");
  test::WriteText(path, Join(lines, "\r\n"));  // the line breaks of the files' home platform
  tfflfilter g;
  g.Load(path);
  EXPECT_EQ(LinesOf(g), lines);
  for (int32_t kind = ffkCount; kind <= ffkAlpha; ++kind)
    for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(g.GetField(kind, 1, i), f.GetField(kind, 1, i)) << kind << " " << i;
  g.Save(path);
  EXPECT_EQ(test::ReadText(path), Join(lines));
  // Fields the library does not hold read as empty and are not written.
  EXPECT_EQ(g.GetField(ffkRed, 2), "");
  EXPECT_EQ(g.GetField(ffkControlName, 0, 8), "");
  EXPECT_EQ(g.GetField(99, 0), "");
  g.SetField("x", ffkRed, 0, 5);
  g.SetField("x", ffkControlValue, -1, 0);
  EXPECT_EQ(LinesOf(g), lines);
}

TEST(FflFiles, CountIsLimitedByTheLines) {
  const struct {
    std::string Text;
    int32_t Count;
  } cases[] = {
      {"FFL1.0\n5\n" + Join(std::vector<std::string>(58, "x")), 2},  // 60 lines: 2 filters
      {"FFL1.0\nabc\n" + Join(std::vector<std::string>(29, "x")), 0},
      {"FFL1.0\n-3\n" + Join(std::vector<std::string>(29, "x")), 0},
      {"FFL1.0\n1\n" + Join(std::vector<std::string>(28, "x")), 0},
      {"", 0},
      {"FFL1.0", 0},
      {std::string("\x00\xFF\x01\n\n\x80\x80", 7), 0},
  };
  for (const auto& c : cases) {
    const std::string path = test::TempPath("ffl_count.ffl");
    test::WriteText(path, c.Text);
    tfflfilter f;
    f.SetCurrentFilter(3);
    f.Load(path);
    EXPECT_EQ(f.Count(), c.Count) << c.Text;
    EXPECT_EQ(f.GetField(ffkCount, 0), std::to_string(c.Count));
    EXPECT_EQ(f.CurrentFilter(), 0);
    // A library without filters still takes a new one.
    f.NewFilter(0);
    EXPECT_EQ(f.Count(), c.Count + 1);
    EXPECT_EQ(f.GetField(ffkGreen, 0), "g");
  }
  tfflfilter f;
  EXPECT_THROW(f.Load(test::TempPath("no such library.ffl")), EFOpenError);
}

TEST(FflFiles, NewAndDeleteFilters) {
  tfflfilter f;
  f.DeleteFilter(0);  // the only filter stays
  EXPECT_EQ(f.Count(), 1);
  EXPECT_EQ(f.Lines().Count(), 31);
  f.SetField("first", ffkTitle, 0, 0);
  f.NewFilter(0);  // before the first
  f.NewFilter(9);  // past the end: appended
  ASSERT_EQ(f.Count(), 3);
  EXPECT_EQ(f.Lines().Count(), 2 + 3 * 29);
  EXPECT_EQ(f.GetField(ffkTitle, 1), "first");
  EXPECT_EQ(f.GetField(ffkCategory, 2), "Eigene Filter");
  f.SetCurrentFilter(2);
  f.DeleteFilter(0);
  EXPECT_EQ(f.Count(), 2);
  EXPECT_EQ(f.GetField(ffkTitle, 0), "first");
  EXPECT_EQ(f.CurrentFilter(), 1);  // was at the new count: now the last filter
  f.DeleteFilter(5);
  EXPECT_EQ(f.Count(), 2);
}

TEST(FflFiles, AfsFilesConvert) {
  std::vector<std::string> afs = {"%RGB-1.0", "1", "2", "3", "4", "5", "6", "7", "255",
                                  // red over three lines, with the file's "\r" markers
                                  "ctl(0) +\\r", "12\\r", "34\\r", "",
                                  // green, then two empty lines
                                  "g", "", "",
                                  // blue, alpha
                                  "255 - b", "", "a", "",
                                  "Cat", "", "Title", "", "Author", "", "(c) me", ""};
  for (int j = 0; j < 8; ++j) {
    afs.push_back("C" + std::to_string(j) + ":name " + std::to_string(j));
    afs.push_back("");
  }
  const std::string path = test::TempPath("ffl_single.AFS");
  test::WriteText(path, Join(afs, "\r\n"));
  tfflfilter f;
  f.Load(path);
  ASSERT_EQ(f.Count(), 1);
  // One formula line; the joined lines keep a blank between them, so 12 and 34 stay two numbers.
  EXPECT_EQ(f.GetField(ffkRed, 0), "ctl(0) + 12 34");
  EXPECT_EQ(f.GetField(ffkGreen, 0), "g");
  EXPECT_EQ(f.GetField(ffkBlue, 0), "255 - b");
  EXPECT_EQ(f.GetField(ffkAlpha, 0), "");
  EXPECT_EQ(f.GetField(ffkCategory, 0), "Cat");
  EXPECT_EQ(f.GetField(ffkTitle, 0), "Title");
  EXPECT_EQ(f.GetField(ffkAuthor, 0), "Author");
  EXPECT_EQ(f.GetField(ffkCopyright, 0), "(c) me");
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(f.GetField(ffkControlValue, 0, i), i == 7 ? "255" : std::to_string(i + 1));
    EXPECT_EQ(f.GetField(ffkControlName, 0, i), "name " + std::to_string(i));
  }
  // A short file fills what it has; the category stays "Keine Kategorie".
  test::WriteText(path, "x\n9\n8\n");
  f.Load(path);
  EXPECT_EQ(f.Count(), 1);
  EXPECT_EQ(f.GetField(ffkCategory, 0), "Keine Kategorie");
  EXPECT_EQ(f.GetField(ffkControlValue, 0, 1), "8");
  EXPECT_EQ(f.GetField(ffkRed, 0), "r");
}

TEST(FflFiles, RunsTheCurrentFilter) {
  tfflfilter f;
  f.NewFilter(1);
  f.SetCurrentFilter(1);
  f.SetField("ctl(0)", ffkRed, 0, 1);
  f.SetField("val(1, 0, 200)", ffkGreen, 0, 1);
  f.SetField("b", ffkBlue, 0, 1);
  f.SetField("77", ffkControlValue, 0, 1);
  f.SetField(" 51 ", ffkControlValue, 1, 1);
  EXPECT_TRUE(f.ControlUsed(0));
  EXPECT_TRUE(f.ControlUsed(1));
  EXPECT_FALSE(f.ControlUsed(2));
  auto src = test::Make24(6, 4, [](int32_t x, int32_t) { return TBGRPixel{uint8_t(x), 0, 0}; });
  TBitmap out(6, 4);
  TProgressRec progress;
  EXPECT_EQ(f.Run(*src, out, progress, {0, 0, 6, 4}), 0);
  const uint8_t* p = static_cast<const uint8_t*>(out.ScanLine(2)) + 3 * 5;
  EXPECT_EQ(p[2], 77);
  EXPECT_EQ(p[1], 40);
  EXPECT_EQ(p[0], 5);
  f.SetField("r +", ffkGreen, 0, 1);
  EXPECT_EQ(f.RunPreview(*src, out, progress, {0, 0, 6, 4}, 2.0), 3);
  EXPECT_TRUE(f.ControlUsed(5));  // a formula that does not parse may use any control
}

}  // namespace
}  // namespace kv
