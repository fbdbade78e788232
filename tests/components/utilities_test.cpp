#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/draw_utils.h"
#include "components/str_utils.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_window.h"
#include "platform/ui/screen_frame.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(WordRoutines, SplitAtBlanksAndCommas) {
  struct Case {
    int32_t N;
    std::string Text;
    std::string Word;
    int32_t Start;
  };
  const Case cases[] = {
      {3, "1, 2,,3", "3", 7},  // empty fields are no words
      {1, "  lead", "lead", 3},
      {2, "one", "", 0},
      {2, "a,b c", "b", 3},
      {0, "a", "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetWord(c.N, c.Text, WordDelims), c.Word) << c.Text;
    EXPECT_EQ(FindWordStart(c.N, c.Text, WordDelims), c.Start) << c.Text;
  }
  EXPECT_EQ(CountWords("1, 2,,3", WordDelims), 3);
  EXPECT_EQ(CountWords(" ,, ", WordDelims), 0);

  int32_t pos = 1;
  EXPECT_EQ(TakeField("ab,,c", pos, TCharSet{','}), "ab");
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(TakeField("ab,,c", pos, TCharSet{','}), "");
  EXPECT_EQ(TakeField("ab,,c", pos, TCharSet{','}), "c");
  EXPECT_EQ(TakeField("ab,,c", pos, TCharSet{','}), "");
}

TEST(TextRoutines, ReplaceTrimRepeat) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");  // left to right, non-overlapping
  EXPECT_EQ(ReplaceAll("x", "", "y"), "x");
  EXPECT_EQ(RemoveChar("a-b-c", '-'), "abc");
  EXPECT_EQ(TrimBlanks("  \ta b\t  "), "\ta b\t");  // spaces only
  EXPECT_EQ(TrimLeadingBlanks("  x "), "x ");
  EXPECT_EQ(TrimTrailingBlanks("  x "), "  x");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(RepeatChar('z', 3), "zzz");
  EXPECT_EQ(RepeatChar('z', -1), "");
}

TEST(CommandLine, FirstItemIsTheProgramTheRestIsRequoted) {
  std::string prog, params;
  SplitProgramAndParams(R"("/opt/my app/run" -x   "two words" plain)", prog, params);
  EXPECT_EQ(prog, "/opt/my app/run");
  EXPECT_EQ(params, R"(-x "two words" plain)");
  SplitProgramAndParams(R"(""prog a)", prog, params);
  EXPECT_EQ(prog, "prog");
  EXPECT_EQ(params, "a");
  SplitProgramAndParams("   ", prog, params);
  EXPECT_EQ(prog, "");
  EXPECT_EQ(params, "");
}

TEST(FileRoutines, NamesAndFolders) {
  EXPECT_TRUE(FileNameAllowed("photo 1.jpg"));
  for (const char* bad : {"", "a<b", "a>b", "a\"b", "a[b", "a]b", "a|b"}) EXPECT_FALSE(FileNameAllowed(bad)) << bad;
  EXPECT_EQ(RemoveTrailingBackslash("C:\\"), "C:\\");
  EXPECT_EQ(RemoveTrailingBackslash("C:\\DATA\\"), "C:\\DATA");
  EXPECT_EQ(RemoveTrailingBackslash("/"), "/");
  EXPECT_EQ(RemoveTrailingBackslash("/tmp/x/"), "/tmp/x");

  test::TScratchFolder dir;
  const std::string sub = dir.Path() + "/Sub Folder";
  ASSERT_TRUE(CreateDir(sub));
  EXPECT_TRUE(FolderExists(sub));
  EXPECT_FALSE(FolderExists(sub + "/none"));
  EXPECT_EQ(LongComponentName(sub + "/"), "Sub Folder");
  EXPECT_EQ(ShortComponentName(sub), "Sub Folder");
  EXPECT_EQ(LongComponentName(sub + "/none"), "");
  EXPECT_EQ(ToLongPath(sub), sub);
}

TEST(MemoryRoutines, ZeroedBlocksAndComparison) {
  EXPECT_EQ(AllocZeroed(0), nullptr);
  void* b = AllocZeroed(11);
  ASSERT_NE(b, nullptr);
  const uint8_t zero[11] = {};
  EXPECT_TRUE(SameBytes(b, zero, 11));
  const uint8_t data[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  CopyBytes(OffsetPointer(b, 1), data, 10);
  EXPECT_FALSE(SameBytes(b, data, 11));
  EXPECT_TRUE(SameBytes(OffsetPointer(b, 1), data, 10));
  EXPECT_FALSE(SameBytes(OffsetPointer(b, 1), data + 1, 10));
  FreeAndClear(b);
  EXPECT_EQ(b, nullptr);
  FreeAndClear(b);
  int32_t x = 1, y = 2;
  ExchangeInts(x, y);
  EXPECT_EQ(MaxOf(x, y), 2);
  EXPECT_EQ(MinOf(x, y), 1);
  EXPECT_EQ(x, 2);
}

// A 4 x 3 glyph: red on a green background (the bottom-left pixel).
std::unique_ptr<TBitmap> RedOnGreen() {
  auto b = std::make_unique<TBitmap>(4, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) b->SetPixelColor(x, y, (x == 1 && y < 2) ? clRed : clLime);
  return b;
}

TEST(Drawing, TransparentColourLeavesTheDestination) {
  auto glyph = RedOnGreen();
  TBitmap dest(8, 6, pf24bit);
  dest.Canvas().Brush().SetColor(clBlue);
  dest.Canvas().FillRect(Rect(0, 0, 8, 6));
  DrawTransparent(dest.Canvas(), 2, 1, *glyph, clDefault);  // the bottom-left colour
  EXPECT_EQ(dest.GetPixelColor(3, 1), clRed);
  EXPECT_EQ(dest.GetPixelColor(2, 1), clBlue);
  EXPECT_EQ(dest.GetPixelColor(3, 3), clBlue);
  // Stretched to twice the size; clNone copies everything.
  DrawTransparentStretched(dest.Canvas(), *glyph, clNone, Rect(0, 0, 8, 6), TRect{});
  EXPECT_EQ(dest.GetPixelColor(0, 0), clLime);
  EXPECT_EQ(dest.GetPixelColor(2, 0), clRed);
  EXPECT_EQ(dest.GetPixelColor(3, 3), clRed);
  // A chosen colour; the masked copy reads a part of the source.
  dest.Canvas().FillRect(Rect(0, 0, 8, 6));
  MaskedStretchCopy(dest.Canvas(), 0, 0, 2, 2, *glyph, 1, 0, 2, 2, nullptr, clRed);
  EXPECT_EQ(dest.GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(dest.GetPixelColor(1, 1), clLime);
}

TEST(Drawing, EmbossedGlyphShowsHighlightBelowTheShadowShape) {
  auto glyph = RedOnGreen();
  auto e = MakeEmbossedGlyph(*glyph, clLime, clSilver, clWhite, clGray, true);
  ASSERT_EQ(e->Width(), 4);
  EXPECT_EQ(e->GetPixelColor(1, 0), clGray);
  EXPECT_EQ(e->GetPixelColor(1, 1), clGray);  // shadow wins over the highlight of the row above
  EXPECT_EQ(e->GetPixelColor(2, 2), clWhite);
  EXPECT_EQ(e->GetPixelColor(0, 0), clSilver);
  auto flat = MakeEmbossedGlyph(*glyph, clLime, clSilver, clWhite, clGray, false);
  EXPECT_EQ(flat->GetPixelColor(2, 2), clSilver);
}

TEST(Drawing, GlyphCellsOfAStrip) {
  TBitmap strip(9, 4, pf24bit);
  for (int x = 0; x < 9; ++x)
    for (int y = 0; y < 4; ++y) strip.SetPixelColor(x, y, x < 3 ? clRed : x < 6 ? clLime : clBlue);
  TBitmap cell;
  GetGlyphCell(strip, cell, 3, 2);
  EXPECT_EQ(cell.Width(), 3);
  EXPECT_EQ(cell.Height(), 4);
  EXPECT_EQ(cell.GetPixelColor(0, 0), clBlue);
  GetGlyphCell(strip, cell, 0, -5);  // columns at least 1, index at least 0
  EXPECT_EQ(cell.Width(), 9);
  EXPECT_EQ(cell.GetPixelColor(8, 0), clBlue);
}

TEST(Drawing, TextShortenedWithDotsAndCellText) {
  TBitmap b(200, 40, pf24bit);
  TCanvas& c = b.Canvas();
  EXPECT_EQ(ShortenTextToWidth("fits", c, 200), "fits");
  const std::string s = ShortenTextToWidth("a rather long caption text", c, 60);
  EXPECT_EQ(s.substr(s.size() - 3), "...");
  EXPECT_LE(c.TextWidth(s), 60);
  EXPECT_GT(s.size(), 3u);
  // Right-aligned cell text ends 3 pixels before the right edge.
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, 200, 40));
  c.Font().SetColor(clBlack);
  PaintCellText(c, Rect(0, 0, 100, 20), "W", taRightJustify, tlTop);
  int right = -1;
  for (int x = 0; x < 200; ++x)
    for (int y = 0; y < 20; ++y)
      if (c.Pixel(x, y) != clWhite) right = std::max(right, x);
  EXPECT_LE(right, 96);
  EXPECT_GE(right, 90);
}

TEST(Drawing, WrappedTextBreaksAtBlanks) {
  TBitmap b(60, 100, pf24bit);
  TCanvas& c = b.Canvas();
  TRect r = Rect(0, 0, 60, 0);
  const int32_t one = c.TextHeight("W");
  const int32_t h = DrawText(c, "word word word word", r, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(h, r.Height());
  EXPECT_GE(r.Height(), 2 * one);
  EXPECT_LE(r.Width(), 60);
  r = Rect(0, 0, 60, 0);
  DrawText(c, "a&&b &File", r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.Width(), c.TextWidth("a&b File"));
}

TEST(Messages, DroppingAPendingQuitPostsItAgain) {
  int quits = 0, others = 0;
  const HWND w = AllocateHWnd([&](TMessage& M) { (M.Msg == WM_QUIT ? quits : others)++; });
  PostMessage(w, WM_QUIT);
  PostMessage(w, WM_USER);
  DropPendingMessage(w, WM_QUIT);
  DropPendingMessage(w, WM_USER);
  Application->ProcessMessages();
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(others, 0);
  DeallocateHWnd(w);
}

TEST(Screen, XorFrameDrawnTwiceIsGone) {
  const int before = ScreenFrameCount();
  DrawXorFrame(Rect(10, 10, 110, 60), 3);
  EXPECT_EQ(ScreenFrameCount(), before + 3);
  EXPECT_TRUE(ScreenFrameShown(Rect(12, 12, 108, 58)));
  DrawXorFrame(Rect(10, 10, 110, 60), 3);
  EXPECT_EQ(ScreenFrameCount(), before);
}

TEST(Screen, CentredWindowStaysOnScreen) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 200, 100);
  CentreOnScreen(&f);
  EXPECT_EQ(f.Left(), (Screen->Width() - 200) / 2);
  f.SetBounds(0, 0, Screen->Width() + 50, 100);
  CentreOnScreen(&f);
  EXPECT_EQ(f.Left(), 0);
}

TEST(Misc, CursorsPointsResourcesAndNotAvailable) {
  LoadComponentCursors();
  EXPECT_TRUE(CursorExists(crHand));
  EXPECT_TRUE(CursorExists(crDragHand));
  EXPECT_TRUE(PointWithinRect(Point(10, 5), Rect(0, 0, 10, 5)));
  EXPECT_FALSE(PointWithinRect(Point(11, 5), Rect(0, 0, 10, 5)));
  EXPECT_EQ(LoadBitmapResource("", "X"), nullptr);
  test::TScratchFolder dir;
  EXPECT_EQ(LoadBitmapResource(dir.Path(), "missing"), nullptr);
  TBitmap b(3, 2, pf24bit);
  b.SaveToFile(dir.Path() + "/GLYPH.bmp");
  auto loaded = LoadBitmapResource(dir.Path(), "GLYPH");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Width(), 3);

  TScriptedDialogsScope dialogs;
  dialogs->Answer(IDOK);
  EXPECT_THROW(ReportNotAvailable(), EAbort);
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_EQ(dialogs->Shown[0].Text, "Funktion noch nicht implementiert");
}

}  // namespace
}  // namespace kv
