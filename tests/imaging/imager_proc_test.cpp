#include "imaging/processing/imager_proc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/ui/image.h"
#include "support/bitmap_patterns.h"
#include "test_view.h"

namespace kv {
namespace {

using test::TTestView;

TBGRPixel* Row(TBitmap& B, int32_t y) { return static_cast<TBGRPixel*>(B.ScanLine(y)); }
TBGRPixel At(const TBitmap& B, int32_t x, int32_t y) { return static_cast<const TBGRPixel*>(B.ScanLine(y))[x]; }

using test::FillFlat24;

// Every pixel different, so a restored picture is told from a shifted one.
void Pattern(TBitmap& B, int Seed) {
  test::Fill24(B, [Seed](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 29 + Seed), uint8_t(y * 41 + Seed), uint8_t(x * y + Seed * 3)};
  });
}

std::vector<std::string> Captions(const TStringList& L) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < L.Count(); ++i) r.push_back(L.Strings(i));
  return r;
}

// A processing component attached to a small 24-bit view.
struct Attached {
  TTestView View;
  TImagerProc Proc{nullptr};
  Attached() {
    Pattern(*View.Bmp, 1);
    Proc.SetUndoStorage(skHeap);
    Proc.SetAttachedImager(&View);
  }
  TBitmap& Bmp() { return *View.Bmp; }
};

TEST(ImagerProc, Defaults) {
  TImagerProc p(nullptr);
  EXPECT_TRUE(p.AutoUndo());
  EXPECT_EQ(p.UndoLimit(), 1);
  EXPECT_EQ(p.UndoStorage(), skTempFile);
  EXPECT_EQ(p.MsgLanguage(), msSystem);
  EXPECT_TRUE(p.PreviewsParams().Empty());
  EXPECT_EQ(p.Background(), 0);
  EXPECT_EQ(p.Bitmap(), nullptr);
  EXPECT_EQ(p.ChangeHandle(), nullptr);
  EXPECT_EQ(p.UndoCount(), 0);
  ASSERT_NE(p.PreviewFont(), nullptr);

  EXPECT_EQ(GetPropValue(&p, "UndoLimit"), "1");
  EXPECT_EQ(GetPropValue(&p, "AutoUndo"), "True");
  EXPECT_EQ(GetPropValue(&p, "MsgLanguage"), "msSystem");
  SetPropValue(&p, "PreviewsParams", "[prppDefaultLockPreview]");
  EXPECT_TRUE(p.PreviewsParams().Contains(prppDefaultLockPreview));
  SetPropValue(&p, "UndoLimit", "5");
  EXPECT_EQ(p.UndoLimit(), 5);
  for (const char* name : {"AttachedImager", "Background", "OnProgress", "PreviewFont", "OnPreview"})
    EXPECT_TRUE(IsPublishedProp(&p, name)) << name;

  TFont f;
  f.SetName("Courier");
  p.SetPreviewFont(&f);
  EXPECT_EQ(p.PreviewFont()->Name(), "Courier");
  EXPECT_NE(p.PreviewFont(), &f);  // a copy
}

TEST(ImagerProc, UndoLimitKeepsTheNewest) {
  for (int32_t limit : {1, 3, 0, -2}) {
    Attached a;
    a.Proc.SetUndoLimit(limit);
    const int32_t kept = std::max(limit, 1);
    for (int i = 1; i <= 4; ++i) {
      Pattern(a.Bmp(), i * 10);
      a.Proc.SaveUndoCaptioned("s" + std::to_string(i));
    }
    ASSERT_EQ(a.Proc.UndoCount(), kept) << limit;
    std::vector<std::string> want;
    for (int i = 4 - kept + 1; i <= 4; ++i) want.push_back("s" + std::to_string(i));
    EXPECT_EQ(Captions(a.Proc.UndoCaptions()), want) << limit;
    // The oldest kept is the right one.
    FillFlat24(a.Bmp(), TBGRPixel{});
    a.Proc.UndoAt(kept - 1);
    TBitmap expect(8, 6, pf24bit);
    Pattern(expect, (4 - kept + 1) * 10);
    EXPECT_EQ(At(a.Bmp(), 7, 5), At(expect, 7, 5)) << limit;
    EXPECT_EQ(At(a.Bmp(), 3, 2), At(expect, 3, 2)) << limit;
  }
}

TEST(ImagerProc, UndoRestoresWithoutRemoving) {
  Attached a;
  a.Proc.SetUndoLimit(3);
  a.Proc.SaveUndo();  // pattern 1
  Pattern(a.Bmp(), 2);
  a.Proc.SaveUndo();  // pattern 2
  Pattern(a.Bmp(), 3);

  TBitmap p1(8, 6, pf24bit), p2(8, 6, pf24bit);
  Pattern(p1, 1);
  Pattern(p2, 2);
  const int32_t refreshes = a.View.ImageChanges;
  a.Proc.Undo();
  EXPECT_EQ(At(a.Bmp(), 5, 4), At(p2, 5, 4));
  Pattern(a.Bmp(), 3);
  a.Proc.Undo();
  EXPECT_EQ(At(a.Bmp(), 5, 4), At(p2, 5, 4));
  EXPECT_EQ(a.Proc.UndoCount(), 2);
  EXPECT_EQ(a.View.ImageChanges, refreshes + 2);

  a.Proc.ClearLastUndo();
  a.Proc.Undo();
  EXPECT_EQ(At(a.Bmp(), 5, 4), At(p1, 5, 4));
  EXPECT_EQ(a.Proc.UndoCount(), 1);

  // Out of range (a negative index too) does nothing, not even a refresh.
  Pattern(a.Bmp(), 3);
  const int32_t before = a.View.ImageChanges;
  for (int32_t n : {-1, 1, 5, INT32_MIN}) a.Proc.UndoAt(n);
  EXPECT_EQ(a.View.ImageChanges, before);
  TBitmap p3(8, 6, pf24bit);
  Pattern(p3, 3);
  EXPECT_EQ(At(a.Bmp(), 5, 4), At(p3, 5, 4));

  a.Proc.ClearAllUndo();
  a.Proc.ClearLastUndo();  // on an empty list: nothing
  a.Proc.Undo();
  EXPECT_EQ(a.Proc.UndoCount(), 0);
  EXPECT_EQ(At(a.Bmp(), 5, 4), At(p3, 5, 4));
}

TEST(ImagerProc, RedoListIsIndependent) {
  Attached a;
  a.Proc.SetUndoLimit(2);
  a.Proc.SaveUndoCaptioned("u");
  Pattern(a.Bmp(), 7);
  a.Proc.SaveRedo();
  EXPECT_EQ(a.Proc.UndoCount(), 1);
  EXPECT_EQ(a.Proc.RedoList().size(), 1u);
  EXPECT_EQ(Captions(a.Proc.RedoCaptions()), std::vector<std::string>{""});
  a.Proc.Undo();
  TBitmap p7(8, 6, pf24bit);
  Pattern(p7, 7);
  a.Proc.Redo();
  EXPECT_EQ(At(a.Bmp(), 6, 1), At(p7, 6, 1));
  EXPECT_EQ(a.Proc.RedoList().size(), 1u);
  a.Proc.ClearLastRedo();
  EXPECT_TRUE(a.Proc.RedoList().empty());
  EXPECT_EQ(a.Proc.RedoCaptions().Count(), 0);
  EXPECT_EQ(a.Proc.UndoCount(), 1);
}

TEST(ImagerProc, NothingIsSavedForAMissingOrEmptyBitmap) {
  TImagerProc p(nullptr);
  p.SaveUndo();
  p.SaveUndoCaptioned("x");
  p.SaveRedo();
  p.Undo();
  p.Redo();
  EXPECT_EQ(p.UndoCount(), 0);

  TBitmap empty(0, 0, pf24bit);
  p.SetAttachedBitmap(&empty);
  p.SaveUndo();
  p.SaveUndoCaptioned("x");
  p.SaveRedo();
  EXPECT_EQ(p.UndoCount(), 0);
  EXPECT_EQ(p.UndoCaptions().Count(), 0);
  EXPECT_TRUE(p.RedoList().empty());
  EXPECT_EQ(p.RedoCaptions().Count(), 0);
}

// Captioned saves go through the virtual SaveUndo, and only after the same
// checks: a descendant's SaveUndo is not even called for an empty picture.
TEST(ImagerProc, SaveUndoCaptionedRunsTheVirtualSaveUndo) {
  struct TCountingProc : TImagerProc {
    using TImagerProc::TImagerProc;
    int Saves = 0;
    void SaveUndo() override {
      ++Saves;
      TImagerProc::SaveUndo();
    }
  };
  TCountingProc p(nullptr);
  p.SetUndoStorage(skHeap);
  TBitmap empty(0, 0, pf24bit), b(3, 2, pf24bit);
  p.SetAttachedBitmap(&empty);
  p.SaveUndoCaptioned("x");
  EXPECT_EQ(p.Saves, 0);
  p.SetAttachedBitmap(&b);
  p.ConvertToGray();
  EXPECT_EQ(p.Saves, 1);
  EXPECT_EQ(Captions(p.UndoCaptions()), std::vector<std::string>{"ConvertToGray"});
}

TEST(ImagerProc, SnapshotsInEveryStorageKind) {
  for (TIMStorageKind kind : {skHeap, skTempFile, skBitmap})
    for (TPixelFormat pf : {pf24bit, pf1bit}) {
      TBitmap b(37, 5, pf);
      for (int32_t y = 0; y < 5; ++y) {
        auto* r = static_cast<uint8_t*>(b.ScanLine(y));
        const int32_t n = pf == pf24bit ? 37 * 3 : 5;
        for (int32_t i = 0; i < n; ++i) r[i] = uint8_t(i * 7 + y * 13);
      }
      TBitmap saved;
      saved.Assign(&b);
      TImagerProc p(nullptr);
      p.SetUndoStorage(kind);
      p.SetAttachedBitmap(&b);
      p.SaveUndo();
      ASSERT_EQ(p.UndoCount(), 1);
      EXPECT_EQ(p.UndoList()[0]->StorageKind, kind) << int(kind);
      // The restore brings back the format and the size, not just the bytes.
      b.SetPixelFormat(pf8bit);
      b.SetSize(3, 3);
      p.Undo();
      ASSERT_EQ(b.PixelFormat(), pf);
      ASSERT_EQ(b.Width(), 37);
      ASSERT_EQ(b.Height(), 5);
      const int32_t n = pf == pf24bit ? 37 * 3 : 5;
      for (int32_t y = 0; y < 5; ++y)
        EXPECT_EQ(0, memcmp(b.ScanLine(y), saved.ScanLine(y), size_t(n))) << int(kind) << ' ' << int(pf) << ' ' << y;
    }
}

// Undo must not change the user's picture: the snapshot keeps fewer formats,
// but the picture comes back in the format and palette it had, byte for byte.
TEST(ImagerProc, UndoGivesBackThePixelFormatAndPalette) {
  struct Case { TPixelFormat pf; bool colouredPalette; } cases[] = {
      {pf15bit, false}, {pf16bit, false}, {pf32bit, false}, {pf4bit, true}, {pf1bit, true}};
  for (TIMStorageKind kind : {skHeap, skTempFile, skBitmap})
    for (const Case& c : cases) {
      TBitmap b(23, 4, c.pf);
      const int32_t bits = PixelFormatBits(c.pf);
      if (c.colouredPalette) {
        std::vector<TPaletteEntry> pal(size_t(1) << bits);
        for (size_t i = 0; i < pal.size(); ++i)
          pal[i] = TPaletteEntry{uint8_t(i * 37 + 5), uint8_t(200 - i * 11), uint8_t(i * 90), 0};
        b.SetPaletteEntries(0, int32_t(pal.size()), pal.data());
      }
      const int32_t used = (23 * bits + 7) / 8;
      for (int32_t y = 0; y < 4; ++y) {
        auto* r = static_cast<uint8_t*>(b.ScanLine(y));
        for (int32_t i = 0; i < used; ++i) r[i] = uint8_t(i * 53 + y * 17 + 0xF0);
        if (c.pf == pf15bit)
          for (int32_t x = 0; x < 23; ++x) r[2 * x + 1] &= 0x7F;  // the top bit is no colour
        if (c.pf == pf32bit)
          for (int32_t x = 0; x < 23; ++x) r[4 * x + 3] = 0;  // the fourth byte is not kept
        if (c.pf == pf16bit && y == 0) r[0] = r[1] = 0xFF;  // white 0xFFFF stays white
        if (c.pf == pf4bit) r[used - 1] &= 0xF0;  // the bits past the last pixel are no pixel
        if (c.pf == pf1bit) r[used - 1] &= 0xFE;
      }
      TBitmap saved;
      saved.Assign(&b);
      TImagerProc p(nullptr);
      p.SetUndoStorage(kind);
      p.SetAttachedBitmap(&b);
      p.SaveUndo();
      b.SetPixelFormat(pf24bit);
      p.Undo();
      ASSERT_EQ(b.PixelFormat(), c.pf) << int(kind) << ' ' << int(c.pf);
      EXPECT_EQ(b.Palette(), saved.Palette()) << int(kind) << ' ' << int(c.pf);
      for (int32_t y = 0; y < 4; ++y)
        EXPECT_EQ(0, memcmp(b.ScanLine(y), saved.ScanLine(y), size_t(used))) << int(kind) << ' ' << int(c.pf);
    }
}

TEST(ImagerProc, AlphaChannelTravelsWithTheSnapshot) {
  Attached a;
  TIMMask* alpha = a.View.GetAlphaChannel();
  alpha->Fill(0);
  alpha->SetPixel(2, 3, 77);
  alpha->SetPixel(7, 5, 200);
  EXPECT_EQ(a.Proc.GetAlphaMask(), alpha);
  a.Proc.SaveUndo();
  ASSERT_TRUE(a.Proc.UndoList()[0]->HasCompanion());

  a.View.RemoveAlphaChannel();
  EXPECT_EQ(a.Proc.GetAlphaMask(), nullptr);
  a.Proc.Undo();
  ASSERT_TRUE(a.View.HasAlphaChannel());
  EXPECT_EQ(a.View.Alpha->GetPixel(2, 3), 77);
  EXPECT_EQ(a.View.Alpha->GetPixel(7, 5), 200);
  EXPECT_EQ(a.View.Alpha->GetPixel(0, 0), 0);
  EXPECT_EQ(a.Proc.GetAlphaMask(), a.View.Alpha.get());

  // Saved without a channel: the undo leaves the view's channel as it is.
  Attached b;
  b.Proc.SaveUndo();
  EXPECT_FALSE(b.Proc.UndoList()[0]->HasCompanion());
  b.View.GetAlphaChannel()->SetPixel(1, 1, 9);
  b.Proc.Undo();
  ASSERT_TRUE(b.View.HasAlphaChannel());
  EXPECT_EQ(b.View.Alpha->GetPixel(1, 1), 9);
  Attached c;
  c.Proc.SaveUndo();
  c.Proc.Undo();
  EXPECT_FALSE(c.View.HasAlphaChannel());
}

TEST(ImagerProc, SelectionRestrictedRun) {
  const TBGRPixel old{10, 20, 50};  // b, g, r
  // Outside the selection nothing moves.
  {
    Attached a;  // a selection whose mask is empty: the whole picture
    FillFlat24(a.Bmp(), old);
    a.View.Selected = true;
    a.Proc.IntensityRGBAll(100, 0, -30);
    for (auto [x, y] : {std::pair{0, 0}, {7, 5}, {3, 2}}) EXPECT_EQ(At(a.Bmp(), x, y), (TBGRPixel{0, 20, 150}));
  }
  {
    Attached a;  // a rectangular 1-bit selection
    FillFlat24(a.Bmp(), old);
    a.View.SelectRect(2, 1, 4, 3);
    a.Proc.IntensityRGBAll(100, 0, -30);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        const bool in = x >= 2 && x <= 4 && y >= 1 && y <= 3;
        EXPECT_EQ(At(a.Bmp(), x, y), (in ? TBGRPixel{0, 20, 150} : old)) << x << ',' << y;
      }
  }
  {
    Attached a;  // an 8-bit mask: 128 moves half-way, 255 almost all the way, 0 not at all
    FillFlat24(a.Bmp(), old);
    a.View.Selection.AllocateBits(8, 6, 8);
    a.View.Selection.SetPixel(1, 1, 128);
    a.View.Selection.SetPixel(2, 1, 255);
    a.View.Selection.SetPixel(3, 2, 128);
    a.View.Selected = true;
    a.Proc.IntensityRGBAll(100, 0, -30);
    // dst + floor((src - dst) * m / 256): red 50 + 50, blue 10 - 5
    EXPECT_EQ(At(a.Bmp(), 1, 1), (TBGRPixel{5, 20, 100}));
    EXPECT_EQ(At(a.Bmp(), 3, 2), (TBGRPixel{5, 20, 100}));
    EXPECT_EQ(At(a.Bmp(), 2, 1), (TBGRPixel{0, 20, 149}));
    EXPECT_EQ(At(a.Bmp(), 2, 2), old);  // in the box, mask 0
    EXPECT_EQ(At(a.Bmp(), 0, 0), old);
  }
}

TEST(ImagerProc, GetSelectionInfo) {
  int32_t x1 = -1, y1 = -1, x2 = -1, y2 = -1, count = -1;
  TIMMask* mask = reinterpret_cast<TIMMask*>(1);
  const TPoint* points = nullptr;

  TImagerProc bare(nullptr);
  TBitmap b(20, 10, pf24bit);
  bare.SetAttachedBitmap(&b);
  EXPECT_FALSE(bare.GetSelectionInfo(x1, y1, x2, y2, mask, count, points));
  EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2, count}), (std::vector<int32_t>{0, 0, 20, 10, 0}));
  EXPECT_EQ(mask, nullptr);

  Attached a;
  EXPECT_FALSE(a.Proc.GetSelectionInfo(x1, y1, x2, y2, mask, count, points));
  EXPECT_EQ(mask, &a.View.Selection);  // the mask even without a selection
  EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2}), (std::vector<int32_t>{0, 0, 8, 6}));
  a.View.SelectRect(2, 1, 4, 3);
  EXPECT_TRUE(a.Proc.GetSelectionInfo(x1, y1, x2, y2, mask, count, points));
  EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2, count}), (std::vector<int32_t>{2, 1, 5, 4, 4}));
  EXPECT_EQ(points, a.View.Points.data());
}

TEST(ImagerProc, WorkMaskFollowsTheAttachment) {
  TImagerProc bare(nullptr);
  TIMMask* own = bare.WorkMask();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(bare.WorkMask(), own);  // made once, kept

  Attached a;
  EXPECT_EQ(a.Proc.WorkMask(), nullptr);  // a view without a selection: no mask
  a.View.SelectRect(1, 1, 2, 2);
  EXPECT_EQ(a.Proc.WorkMask(), &a.View.Selection);
}

TEST(ImagerProc, ColourMethods) {
  Attached a;
  FillFlat24(a.Bmp(), TBGRPixel{255, 255, 255});
  std::vector<int32_t> progress;
  a.Proc.OnProgress = [&](TObject* s, int32_t per) {
    EXPECT_EQ(s, &a.Proc);
    progress.push_back(per);
  };
  a.Proc.SetUndoLimit(5);
  a.Proc.ConvertToGray();
  EXPECT_EQ(At(a.Bmp(), 4, 4), (TBGRPixel{252, 252, 252}));
  ASSERT_EQ(progress.size(), 6u);
  EXPECT_EQ(progress.back(), 100);  // 109 before the progress values were held at 100
  a.Proc.IntensityRGBAll(10, -5, 0);
  EXPECT_EQ(At(a.Bmp(), 4, 4), (TBGRPixel{252, 247, 255}));
  EXPECT_EQ(Captions(a.Proc.UndoCaptions()), (std::vector<std::string>{"ConvertToGray", "IntensityRGBall 10,-5,0"}));
  EXPECT_EQ(a.View.ImageChanges, 2);

  // Without AutoUndo the operation runs without a snapshot.
  a.Proc.SetAutoUndo(false);
  a.Proc.IntensityRGBAll(1, 1, 1);
  EXPECT_EQ(a.Proc.UndoCount(), 2);
  a.Proc.SetAutoUndo(true);

  // The queries: over the selection's box, no snapshot, no refresh.
  Row(a.Bmp(), 1)[2] = TBGRPixel{1, 2, 3};
  a.View.SelectRect(2, 1, 3, 1);
  TIMHistogram h;
  a.Proc.GetHistogram(h);
  EXPECT_EQ(h[3].Red, 1);
  EXPECT_EQ(h[255].Red + h[3].Red, 2);  // red was clamped at 255
  EXPECT_EQ(a.Proc.CalcNumColors(), 2);
  a.View.Selected = false;
  EXPECT_EQ(a.Proc.CalcNumColors(), 2);  // the rest is one colour
  EXPECT_EQ(a.Proc.UndoCount(), 2);
  EXPECT_EQ(a.View.ImageChanges, 3);

  // Formats they do not take: nothing at all.
  TBitmap one(8, 6, pf1bit), eight(8, 6, pf8bit);
  TImagerProc p(nullptr);
  EXPECT_EQ(p.CalcNumColors(), 0);
  int changes = 0;
  one.OnChange = [&](TObject*) { ++changes; };
  p.SetAttachedBitmap(&one);
  EXPECT_EQ(p.CalcNumColors(), 2);
  p.ConvertToGray();
  p.IntensityRGBAll(1, 2, 3);
  TIMHistogram h1{};
  h1[0].Red = 42;
  p.GetHistogram(h1);
  EXPECT_EQ(h1[0].Red, 42);
  EXPECT_EQ(p.UndoCount(), 0);
  EXPECT_EQ(changes, 0);
  p.SetAttachedBitmap(&eight);
  EXPECT_EQ(p.CalcNumColors(), 0);
}

TEST(ImagerProc, RefreshOfABareBitmapRaisesItsOnChange) {
  TBitmap b(4, 4, pf24bit);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  TImagerProc p(nullptr);
  p.SetAttachedBitmap(&b);
  p.ConvertToGray();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Captions(p.UndoCaptions()), std::vector<std::string>{"ConvertToGray"});
}

struct GeometryCase {
  const char* Caption;
  std::function<void(TImagerProc&)> Run;
  int32_t Width, Height;
  TPixelFormat Format;
};

TEST(ImagerProc, GeometryMethods) {
  std::vector<TBGRPixel> palette;
  const std::vector<GeometryCase> cases = {
      {"ImageResize 30,12", [](TImagerProc& p) { p.ImageResize(30, 12); }, 30, 12, pf24bit},
      {"Resample -1,50", [](TImagerProc& p) { p.Resample(-1, 50, rfTriangle); }, 62, 50, pf24bit},
      {"Resample 10,10", [](TImagerProc& p) { p.Resample(10, 10, rfNone); }, 10, 10, pf24bit},
      {"Rotate 90", [](TImagerProc& p) { p.Rotate(false, 90); }, 16, 20, pf24bit},
      {"Rotate 12.5", [](TImagerProc& p) { p.Rotate(true, 12.5); }, 0, 0, pf24bit},
      {"Flip", [](TImagerProc& p) { p.Flip(1); }, 20, 16, pf24bit},
      {"Clear", [](TImagerProc& p) { p.Clear(); }, 20, 16, pf24bit},
      {"CropSel", [](TImagerProc& p) { p.CropSel(); }, 20, 16, pf24bit},
      {"ConvertTo 16", [](TImagerProc& p) { p.ConvertTo(16); }, 20, 16, pf24bit},
      {"ConvertTo 2", [](TImagerProc& p) { p.ConvertTo(2); }, 20, 16, pf1bit},
      {"ConvertToPalette", [&](TImagerProc& p) { p.ConvertToPalette(2, palette); }, 20, 16, pf1bit},
  };
  for (const GeometryCase& c : cases) {
    TTestView v(nullptr, 20, 16);
    Pattern(*v.Bmp, 5);
    TImagerProc p(nullptr);
    p.SetUndoStorage(skHeap);
    p.SetAttachedImager(&v);
    c.Run(p);
    EXPECT_EQ(Captions(p.UndoCaptions()), std::vector<std::string>{c.Caption});
    EXPECT_EQ(v.ImageChanges, 1) << c.Caption;
    EXPECT_EQ(v.Bmp->PixelFormat(), c.Format) << c.Caption;
    if (c.Width) {
      EXPECT_EQ(v.Bmp->Width(), c.Width) << c.Caption;
      EXPECT_EQ(v.Bmp->Height(), c.Height) << c.Caption;
    }
    // The snapshot is the picture from before.
    p.Undo();
    EXPECT_EQ(v.Bmp->Width(), 20) << c.Caption;
    EXPECT_EQ(v.Bmp->PixelFormat(), pf24bit) << c.Caption;
  }
  EXPECT_EQ(palette.size(), 2u);
}

TEST(ImagerProc, GeometryDetails) {
  {
    // Flip 1 mirrors top and bottom; Clear fills with the view's background.
    TTestView v(nullptr, 4, 3);
    Pattern(*v.Bmp, 2);
    TBitmap before;
    before.Assign(v.Bmp.get());
    TImagerProc p(nullptr);
    p.SetAttachedImager(&v);
    p.Flip(1);
    EXPECT_EQ(At(*v.Bmp, 1, 0), At(before, 1, 2));
    p.SetBackground(clRed);
    EXPECT_EQ(v.Background(), clRed);
    p.Clear();
    EXPECT_EQ(At(*v.Bmp, 3, 2), (TBGRPixel{0, 0, 255}));
  }
  {
    // CropSel keeps the selection's box; the resize fills with the background.
    TTestView v(nullptr, 10, 8);
    Pattern(*v.Bmp, 3);
    TBitmap before;
    before.Assign(v.Bmp.get());
    v.SelectRect(2, 3, 5, 4);
    TImagerProc p(nullptr);
    p.SetAttachedImager(&v);
    p.CropSel();
    ASSERT_EQ(v.Bmp->Width(), 4);
    ASSERT_EQ(v.Bmp->Height(), 2);
    EXPECT_EQ(At(*v.Bmp, 0, 0), At(before, 2, 3));
    EXPECT_EQ(At(*v.Bmp, 3, 1), At(before, 5, 4));
  }
  {
    // 1 bit: ConvertTo24Bit; Rotate by a separate rotation.
    TTestView v(nullptr, 9, 4);
    v.Bmp->SetPixelFormat(pf1bit);
    TImagerProc p(nullptr);
    p.SetAttachedImager(&v);
    p.Rotate(false, 90);
    EXPECT_EQ(v.Bmp->PixelFormat(), pf1bit);
    EXPECT_EQ(v.Bmp->Width(), 4);
    p.ConvertTo24Bit();
    EXPECT_EQ(v.Bmp->PixelFormat(), pf24bit);
    EXPECT_EQ(Captions(p.UndoCaptions()), std::vector<std::string>{"ConvertTo24Bit"});
  }
}

TEST(ImagerProc, GeometryRefusalsSaveNothing) {
  struct Refusal {
    const char* Name;
    TPixelFormat Format;
    std::function<void(TImagerProc&)> Run;
  };
  std::vector<TBGRPixel> palette;
  const std::vector<Refusal> refusals = {
      {"ConvertTo on 1 bit", pf1bit, [](TImagerProc& p) { p.ConvertTo(16); }},
      {"ConvertToPalette on 1 bit", pf1bit, [&](TImagerProc& p) { p.ConvertToPalette(16, palette); }},
      {"ConvertTo24Bit on 24 bit", pf24bit, [](TImagerProc& p) { p.ConvertTo24Bit(); }},
      {"Flip on 8 bit", pf8bit, [](TImagerProc& p) { p.Flip(0); }},
      {"Rotate on 8 bit", pf8bit, [](TImagerProc& p) { p.Rotate(false, 90); }},
      {"CropSel on 8 bit", pf8bit, [](TImagerProc& p) { p.CropSel(); }},
      {"Rotate by 0", pf24bit, [](TImagerProc& p) { p.Rotate(true, 0); }},
      {"ImageResize to 0", pf24bit, [](TImagerProc& p) { p.ImageResize(0, 10); }},
      {"ImageResize negative", pf24bit, [](TImagerProc& p) { p.ImageResize(-5, 10); }},
      {"Resample both negative", pf24bit, [](TImagerProc& p) { p.Resample(-1, -1, rfNone); }},
  };
  for (const Refusal& r : refusals) {
    TTestView v(nullptr, 12, 7);
    v.Bmp->SetPixelFormat(r.Format);
    TImagerProc p(nullptr);
    p.SetAttachedImager(&v);
    r.Run(p);
    EXPECT_EQ(p.UndoCount(), 0) << r.Name;
    EXPECT_EQ(v.ImageChanges, 0) << r.Name;
    EXPECT_EQ(v.Bmp->Width(), 12) << r.Name;
    EXPECT_EQ(v.Bmp->PixelFormat(), r.Format) << r.Name;
  }
  // Without a bitmap every method returns at once.
  TImagerProc p(nullptr);
  p.ImageResize(3, 3);
  p.Resample(3, 3, rfLanczos3);
  p.Flip(0);
  p.Rotate(false, 30);
  p.Clear();
  p.CropSel();
  p.ConvertTo(8);
  p.ConvertToPalette(8, palette);
  p.ConvertTo24Bit();
  p.ConvertToGray();
  EXPECT_EQ(p.UndoCount(), 0);
  EXPECT_EQ(EstimateSkewAngle(p, 100, 10, 0.5), 0.0);
}

TEST(ImagerProc, ResampleCarriesTheAlphaChannel) {
  Attached a;
  a.View.GetAlphaChannel()->Fill(100);
  a.Proc.Resample(16, 12, rfTriangle);
  ASSERT_TRUE(a.View.HasAlphaChannel());
  EXPECT_EQ(a.View.Alpha->Width, 16);
  EXPECT_EQ(a.View.Alpha->Height, 12);
  EXPECT_EQ(a.View.Alpha->GetPixel(15, 11), 100);
}

// Resampling and rotating build their result beside the picture: in bitmap
// storage the snapshot is the replaced picture itself, no copy, with the
// alpha channel it had; Undo brings both back.
TEST(ImagerProc, ResampleAndRotateSnapshotTheReplacedPicture) {
  const std::vector<std::pair<const char*, std::function<void(TImagerProc&)>>> ops = {
      {"Resample 31,23", [](TImagerProc& p) { p.Resample(31, 23, rfLanczos3); }},
      {"Rotate 7.5", [](TImagerProc& p) { p.Rotate(true, 7.5); }},
      {"Rotate 90", [](TImagerProc& p) { p.Rotate(false, 90); }},
  };
  for (const auto& [caption, run] : ops) {
    Attached a;
    a.Proc.SetUndoStorage(skBitmap);
    a.View.GetAlphaChannel()->Fill(100);
    a.View.Alpha->SetPixel(3, 2, 7);
    TBitmap before;
    before.Assign(&a.Bmp());
    const uint8_t* block = a.Bmp().Bits();
    run(a.Proc);
    ASSERT_EQ(a.Proc.UndoCount(), 1) << caption;
    EXPECT_EQ(Captions(a.Proc.UndoCaptions()), std::vector<std::string>{caption});
    const TIMBitmap& snap = *a.Proc.UndoList().back();
    ASSERT_TRUE(snap.HiddenBitmap) << caption;
    EXPECT_EQ(snap.HiddenBitmap->Bits(), block) << caption;
    EXPECT_NE(a.Bmp().Bits(), block) << caption;
    a.Proc.Undo();
    ASSERT_EQ(a.Bmp().Width(), before.Width()) << caption;
    ASSERT_EQ(a.Bmp().Height(), before.Height()) << caption;
    for (int32_t y = 0; y < before.Height(); ++y)
      ASSERT_EQ(std::memcmp(a.Bmp().ScanLine(y), before.ScanLine(y), size_t(before.Width()) * 3), 0) << caption;
    EXPECT_EQ(a.View.Alpha->GetPixel(3, 2), 7) << caption;
    EXPECT_EQ(a.View.Alpha->Width, before.Width()) << caption;
  }
}

TEST(ImagerProc, AttachingAndFollowingTheView) {
  TTestView v1, v2;
  TImagerProc p(nullptr);
  p.SetAttachedImager(&v1);
  EXPECT_EQ(p.Bitmap(), v1.Bmp.get());
  EXPECT_EQ(v1.BitmapChangeCount(), 1);
  EXPECT_NE(p.ChangeHandle(), nullptr);
  EXPECT_EQ(p.AlphaMask(), nullptr);

  // The view replaces its bitmap and alpha channel and says so.
  v1.Bmp = std::make_unique<TBitmap>(3, 3, pf24bit);
  TIMMask* alpha = v1.GetAlphaChannel();
  v1.NotifyBitmapChange();
  EXPECT_EQ(p.Bitmap(), v1.Bmp.get());
  EXPECT_EQ(p.AlphaMask(), alpha);
  v1.RemoveAlphaChannel();
  v1.NotifyBitmapChange();
  EXPECT_EQ(p.AlphaMask(), nullptr);

  // Background follows the view.
  v1.SetBackground(clBlue);
  EXPECT_EQ(p.Background(), clBlue);

  // Moving to another view moves the registration.
  p.SetAttachedImager(&v2);
  EXPECT_EQ(v1.BitmapChangeCount(), 0);
  EXPECT_EQ(v2.BitmapChangeCount(), 1);
  EXPECT_EQ(p.Bitmap(), v2.Bmp.get());

  // nullptr while a view is attached changes nothing; a bitmap detaches.
  p.SetAttachedBitmap(nullptr);
  EXPECT_EQ(p.AttachedImager(), &v2);
  EXPECT_EQ(p.Bitmap(), v2.Bmp.get());
  TBitmap own(2, 2, pf24bit);
  p.SetAttachedBitmap(&own);
  EXPECT_EQ(p.AttachedImager(), nullptr);
  EXPECT_EQ(v2.BitmapChangeCount(), 0);
  EXPECT_EQ(p.Bitmap(), &own);
  p.SetBackground(clGreen);
  EXPECT_EQ(p.Background(), clGreen);
  EXPECT_EQ(v2.Background(), clBtnFace);

  // Detaching with nullptr keeps the bitmap but not the view's alpha channel,
  // which the view may free without telling the component any more.
  p.SetAttachedImager(&v1);
  v1.GetAlphaChannel();
  v1.NotifyBitmapChange();
  ASSERT_NE(p.AlphaMask(), nullptr);
  p.SetAttachedImager(nullptr);
  EXPECT_EQ(v1.BitmapChangeCount(), 0);
  EXPECT_EQ(p.AttachedImager(), nullptr);
  EXPECT_EQ(p.Bitmap(), v1.Bmp.get());
  EXPECT_EQ(p.AlphaMask(), nullptr);
  v1.RemoveAlphaChannel();
  p.SaveUndo();  // reads no freed mask (ASan)
  ASSERT_EQ(p.UndoCount(), 1);
  EXPECT_FALSE(p.UndoList()[0]->HasCompanion());
}

TEST(ImagerProc, FreeingTheAttachedView) {
  // Freed directly: the view's own callback tells the component.
  {
    TImagerProc p(nullptr);
    auto v = std::make_unique<TTestView>();
    v->GetAlphaChannel();
    p.SetAttachedImager(v.get());
    ASSERT_NE(p.AlphaMask(), nullptr);
    v.reset();
    EXPECT_EQ(p.AttachedImager(), nullptr);
    EXPECT_EQ(p.AlphaMask(), nullptr);
    EXPECT_EQ(p.Bitmap(), nullptr);
    EXPECT_EQ(p.GetAlphaMask(), nullptr);
    p.ConvertToGray();  // must not reach the freed bitmap
    p.SaveUndo();
    EXPECT_EQ(p.UndoCount(), 0);
  }
  // Freed by the owner they share: the free notification comes first.
  {
    TComponent owner(nullptr);
    auto* v = new TTestView(&owner);
    auto* p = new TImagerProc(&owner);
    p->SetAttachedImager(v);
    delete v;
    EXPECT_EQ(p->AttachedImager(), nullptr);
    EXPECT_EQ(p->Bitmap(), nullptr);
  }
  {
    TComponent owner(nullptr);
    auto* p = new TImagerProc(&owner);
    auto* v = new TTestView(&owner);
    p->SetAttachedImager(v);
    v->GetAlphaChannel();
    v->NotifyBitmapChange();
    owner.DestroyComponents();  // the view goes first: the list is freed from its end
  }
  // The component freed first takes its registration away.
  {
    TTestView v;
    auto p = std::make_unique<TImagerProc>(nullptr);
    p->SetAttachedImager(&v);
    p->SaveUndo();
    p.reset();
    EXPECT_EQ(v.BitmapChangeCount(), 0);
  }
  // Detached with nullptr, the component keeps the view's bitmap until the view goes.
  {
    TImagerProc p(nullptr);
    auto v = std::make_unique<TTestView>();
    p.SetAttachedImager(v.get());
    p.SetAttachedImager(nullptr);
    EXPECT_EQ(p.Bitmap(), v->Bmp.get());
    v.reset();
    EXPECT_EQ(p.Bitmap(), nullptr);
  }
  // A component owned by the view.
  {
    auto* v = new TTestView();
    auto* p = new TImagerProc(v);
    p->SetAttachedImager(v);
    delete v;
  }
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(ImagerProc, AttachedTImage) {
  TImage image(nullptr);
  image.Picture().Bitmap().SetSize(5, 4);
  FillFlat24(image.Picture().Bitmap(), TBGRPixel{255, 255, 255});
  TTestView view;
  TImagerProc p(nullptr);
  p.SetAttachedImager(&view);
  p.SetAttachedTImage(&image);
  EXPECT_EQ(p.AttachedTImage(), &image);
  EXPECT_EQ(p.AttachedImager(), nullptr);
  EXPECT_EQ(view.BitmapChangeCount(), 0);
  EXPECT_EQ(p.Bitmap(), &image.Picture().Bitmap());
  EXPECT_EQ(GetPropValue(&p, "AttachedTImage"), "");

  image.Picture().Bitmap().SetModified(false);
  p.ConvertToGray();
  EXPECT_EQ(At(image.Picture().Bitmap(), 4, 3), (TBGRPixel{252, 252, 252}));
  EXPECT_TRUE(image.Picture().Bitmap().Modified());  // the refresh that repaints the image
  EXPECT_EQ(view.ImageChanges, 0);

  // The picture takes another bitmap object: the component works on that one.
  TBitmap other(3, 2, pf24bit);
  FillFlat24(other, TBGRPixel{255, 255, 255});
  image.Picture().SetBitmap(&other);
  p.Undo();  // the snapshot goes into the bitmap the picture holds now
  EXPECT_EQ(p.Bitmap(), &image.Picture().Bitmap());
  EXPECT_EQ(image.Picture().Bitmap().Width(), 5);

  // nullptr as a bitmap keeps the image; a freed image is forgotten with its
  // bitmap, also after it was detached with nullptr.
  p.SetAttachedBitmap(nullptr);
  EXPECT_EQ(p.AttachedTImage(), &image);
  for (bool detachFirst : {false, true}) {
    auto* freed = new TImage(nullptr);
    p.SetAttachedTImage(freed);
    if (detachFirst) {
      p.SetAttachedTImage(nullptr);
      EXPECT_EQ(p.Bitmap(), &freed->Picture().Bitmap());
    }
    delete freed;
    EXPECT_EQ(p.AttachedTImage(), nullptr);
    EXPECT_EQ(p.Bitmap(), nullptr);
  }
  p.ConvertToGray();
  EXPECT_EQ(p.UndoCount(), 1);
}

}  // namespace
}  // namespace kv
