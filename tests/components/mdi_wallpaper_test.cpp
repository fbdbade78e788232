// The wallpaper rendered in every mode, its tile rules, and its hook on a form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "components/graphics/rr_colors.h"
#include "components/wallpaper/mdi_wallpaper.h"
#include "platform/graphics/canvas.h"
#include "platform/ui/forms.h"
#include "platform/ui/list_box.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/tree_view.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

constexpr TColor kBack = TColor(RGB(10, 20, 30));

// A picture whose top-left pixel is red and whose other pixels are green.
std::unique_ptr<TBitmap> Marked(int32_t W, int32_t H) {
  return test::Make24(W, H, [](int32_t x, int32_t y) { return x == 0 && y == 0 ? TBGRPixel{0, 0, 255} : TBGRPixel{0, 255, 0}; });
}

// A form that is the wallpaper's client, set as a stored form would set it.
struct TFixture {
  TForm Form{nullptr};
  TMDIWallpaper* Paper;
  TFixture(int32_t W, int32_t H, const TBitmap& Pic, TWallpaperMode Mode) {
    EnsureQtApplication();
    Form.SetColor(kBack);
    Form.SetClientSize(W, H);
    Paper = new TMDIWallpaper(&Form);
    Paper->BeginLoading();
    Paper->SetClient(&Form);
    Paper->Picture().Bitmap().Assign(&Pic);
    Paper->SetMode(Mode);
    Paper->Loaded();
  }
  // Paints into a fresh bitmap the size of the client.
  std::unique_ptr<TBitmap> Render() {
    auto b = std::make_unique<TBitmap>(Form.ClientWidth(), Form.ClientHeight(), pf24bit);
    Paper->PaintWallpaper(b->Canvas(), Rect(0, 0, b->Width(), b->Height()));
    return b;
  }
};

TEST(MDIWallpaper, EveryPlacedModePutsThePictureWhereItBelongs) {
  auto pic = Marked(10, 6);
  struct Case { TWallpaperMode M; int32_t X, Y; };
  // Area 40 x 30: centre (15, 12), right edge 30, bottom edge 24.
  for (Case c : {Case{wpCenter, 15, 12}, Case{wpTopLeft, 0, 0}, Case{wpTopRight, 30, 0}, Case{wpBottomLeft, 0, 24},
                 Case{wpBottomRight, 30, 24}, Case{wpTop, 15, 0}, Case{wpLeft, 0, 12}, Case{wpBottom, 15, 24},
                 Case{wpRight, 30, 12}}) {
    TFixture f(40, 30, *pic, c.M);
    auto b = f.Render();
    EXPECT_EQ(b->GetPixelColor(c.X, c.Y), clRed) << int(c.M);
    EXPECT_EQ(b->GetPixelColor(c.X + 9, c.Y + 5), clLime) << int(c.M);
    // Outside the picture: the client's brush.
    const int32_t ox = c.X >= 10 ? c.X - 1 : c.X + 10;
    EXPECT_EQ(b->GetPixelColor(ox, c.Y), kBack) << int(c.M);
  }
  TFixture s(40, 30, *pic, wpStretch);
  auto b = s.Render();
  EXPECT_EQ(b->GetPixelColor(0, 0), clRed);
  EXPECT_EQ(b->GetPixelColor(3, 4), clRed);  // the marked pixel grows with the stretch
  EXPECT_EQ(b->GetPixelColor(39, 29), clLime);
}

TEST(MDIWallpaper, TilesRepeatShiftAndZigzag) {
  auto pic = Marked(10, 6);
  TFixture f(40, 30, *pic, wpTile);
  auto b = f.Render();
  for (int32_t y = 0; y < 30; y += 6)
    for (int32_t x = 0; x < 40; x += 10) EXPECT_EQ(b->GetPixelColor(x, y), clRed) << x << "," << y;

  f.Paper->SetShift(3);
  b = f.Render();
  EXPECT_EQ(b->GetPixelColor(0, 0), clRed);
  EXPECT_EQ(b->GetPixelColor(3, 6), clRed);   // row 1 moves right by the shift
  EXPECT_EQ(b->GetPixelColor(9, 18), clRed);  // row 3 by 9
  EXPECT_EQ(b->GetPixelColor(2, 24), clRed);  // row 4 by 12 mod 10

  f.Paper->SetZigzag(true);
  b = f.Render();
  EXPECT_EQ(b->GetPixelColor(5, 6), clRed);  // every other row by half a tile
  EXPECT_EQ(b->GetPixelColor(0, 12), clRed);
  f.Paper->SetShift(4);  // a shift ends the zigzag
  EXPECT_FALSE(f.Paper->Zigzag());

  f.Paper->SetShift(2);
  f.Paper->SetShiftMode(smColumns);
  b = f.Render();
  EXPECT_EQ(b->GetPixelColor(10, 2), clRed);  // column 1 moves down
}

TEST(MDIWallpaper, TileCellsCentreThePictureAndNeverShrinkBelowIt) {
  auto pic = Marked(100, 80);
  TFixture f(300, 100, *pic, wpTile);
  f.Paper->SetTileWidth(120);
  EXPECT_EQ(f.Paper->TileWidth(), 120);
  auto b = f.Render();
  EXPECT_EQ(b->GetPixelColor(9, 5), kBack);
  EXPECT_EQ(b->GetPixelColor(10, 0), clRed);
  EXPECT_EQ(b->GetPixelColor(130, 0), clRed);
  EXPECT_EQ(b->GetPixelColor(115, 5), kBack);
  f.Paper->SetTileWidth(50);
  EXPECT_EQ(f.Paper->TileWidth(), 100);
}

TEST(MDIWallpaper, CentreOfALargePictureAndFitting) {
  auto big = Marked(60, 50);
  TFixture c(40, 30, *big, wpCenter);
  auto b = c.Render();
  EXPECT_EQ(b->GetPixelColor(0, 0), clLime);  // the marked corner lies at (-10, -10)

  auto small = test::Make24(50, 50, [](int32_t x, int32_t) { return x < 25 ? TBGRPixel{0, 0, 255} : TBGRPixel{255, 0, 0}; });
  TFixture f(300, 200, *small, wpTopLeft);
  f.Paper->SetFitPictureSize(true);
  b = f.Render();
  EXPECT_EQ(b->GetPixelColor(199, 199), clBlue);
  EXPECT_EQ(b->GetPixelColor(99, 10), clRed);
  EXPECT_EQ(b->GetPixelColor(200, 10), kBack);  // 200 x 200, not 300 wide
}

TEST(MDIWallpaper, TransparentAndGreyMappedPictures) {
  auto pic = test::Make24(8, 8, [](int32_t x, int32_t) { return x < 4 ? TBGRPixel{255, 255, 255} : TBGRPixel{128, 128, 128}; });
  TFixture f(8, 8, *pic, wpTopLeft);
  f.Paper->SetTransparentColor(clWhite);
  EXPECT_EQ(f.Paper->TransparentMode(), tmFixed);
  f.Paper->SetTransparent(true);
  auto b = f.Render();
  EXPECT_EQ(b->GetPixelColor(1, 1), kBack);
  EXPECT_EQ(b->GetPixelColor(6, 1), TColor(RGB(128, 128, 128)));

  f.Paper->SetTransparent(false);
  f.Paper->SetGrayMapped(true);
  b = f.Render();
  EXPECT_EQ(TColorRef(b->GetPixelColor(6, 1)), TMDIWallpaper::GrayRamp()[128]);
  EXPECT_EQ(TColorRef(b->GetPixelColor(1, 1)), TMDIWallpaper::GrayRamp()[255]);
  // The ramp runs from black through the button face to the highlight.
  EXPECT_EQ(TMDIWallpaper::GrayRamp()[0], RGB(0, 0, 0));
  const THLS face = RGBToHLS(clBtnFace);
  EXPECT_EQ(RGBToHLS(TColor(TMDIWallpaper::GrayRamp()[192])).Luminance, face.Luminance);
}

TEST(MDIWallpaper, HookPaintsTheFormAndTheClientCannotChangeAtRuntime) {
  auto pic = Marked(10, 6);
  TFixture f(40, 30, *pic, wpTile);
  ASSERT_TRUE(f.Paper->Hooked());
  f.Form.Invalidate();
  f.Form.PreparePaint();
  const TBitmap& shown = f.Form.BackBuffer();
  EXPECT_EQ(shown.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(shown.GetPixelColor(10, 6), clRed);

  TForm other(nullptr);
  EXPECT_THROW(f.Paper->SetClient(&other), EMDIWallpaper);
  EXPECT_EQ(f.Paper->Client(), &f.Form);
  EXPECT_TRUE(f.Paper->Hooked());
  EXPECT_TRUE(f.Paper->ClientIsOwnerForm());

  // A second wallpaper given the same client takes it from the first.
  auto* second = new TMDIWallpaper(&f.Form);
  second->BeginLoading();
  second->SetClient(&f.Form);
  second->Loaded();
  EXPECT_EQ(f.Paper->Client(), nullptr);
  EXPECT_FALSE(f.Paper->Hooked());
  EXPECT_TRUE(second->Hooked());

  // Switched off, the form paints its own colour again.
  second->SetEnabled(false);
  f.Form.Invalidate();
  f.Form.PreparePaint();
  EXPECT_EQ(f.Form.BackBuffer().GetPixelColor(0, 0), kBack);
}

// On a scrolled list box the picture moves with the items, whole items at a time.
TEST(MDIWallpaper, ScrolledListBoxMovesThePaintArea) {
  EnsureQtApplication();
  TForm form(nullptr);
  form.SetClientSize(200, 120);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetBounds(0, 0, 150, 100);
  for (int i = 0; i < 40; ++i) list->Items().Add("Zeile " + std::to_string(i));
  auto* paper = new TMDIWallpaper(&form);
  paper->BeginLoading();
  paper->SetClient(list);
  paper->Loaded();
  const TRect top = paper->PaintArea();
  EXPECT_EQ(top.Left, 0);
  EXPECT_EQ(top.Top, 0);
  list->SetTopIndex(3);
  const TRect scrolled = paper->PaintArea();
  EXPECT_EQ(scrolled.Top, -3 * list->ItemHeight());
  EXPECT_EQ(scrolled.Bottom - scrolled.Top, std::max(list->ClientHeight(), 39 * list->ItemHeight()));
}

// On a scrolled tree view the drawn picture moves with the rows, whole rows
// at a time, and shows between and beside them.
TEST(MDIWallpaper, ScrolledTreeViewDrawsThePictureMoved) {
  EnsureQtApplication();
  TForm form(nullptr);
  form.SetClientSize(200, 160);
  auto* tree = new TTreeView(&form);
  tree->SetParent(&form);
  tree->SetBounds(0, 0, 150, 120);
  tree->SetColor(kBack);
  for (int i = 0; i < 40; ++i) tree->AddChild(nullptr, "Knoten " + std::to_string(i));
  tree->HandleNeeded();
  const int32_t h = tree->ItemHeight();
  ASSERT_GT(h, 0);
  // A picture taller than the tree: green, with a red line 3 rows and 1 pixel down.
  const int32_t redY = 3 * h + 1;
  auto pic = test::Make24(12, 40 * h, [redY](int32_t, int32_t y) {
    return y == redY ? TBGRPixel{0, 0, 255} : TBGRPixel{0, 255, 0};
  });
  auto* paper = new TMDIWallpaper(&form);
  paper->BeginLoading();
  paper->SetClient(tree);
  paper->Picture().Bitmap().Assign(pic.get());
  paper->SetMode(wpTopLeft);
  paper->Loaded();
  ASSERT_TRUE(paper->Hooked());

  // Left of the rows' text the picture shows as it lies.
  auto drawn = [&](int32_t Y) {
    tree->Invalidate();
    tree->PreparePaint();
    return tree->BackBuffer().GetPixelColor(2, Y);
  };
  EXPECT_EQ(drawn(redY), clRed);
  EXPECT_EQ(drawn(1), clLime);
  // Scrolled 3 rows down, as the scroll bar does it: the red line is 3 rows higher.
  tree->Perform(WM_VSCROLL, MakeLong(SB_THUMBPOSITION, 3), 0);
  ASSERT_EQ(tree->TopRow(), 3);
  EXPECT_EQ(paper->PaintArea().Top, -3 * h);
  EXPECT_EQ(drawn(1), clRed);
  EXPECT_EQ(drawn(redY), clLime);
  // Back at the top it returns.
  tree->Perform(WM_VSCROLL, MakeLong(SB_TOP, 0), 0);
  EXPECT_EQ(drawn(redY), clRed);
}

TEST(MDIWallpaper, ScrollDeltas) {
  EXPECT_EQ(MDIScrollDelta(SB_LINEUP, 5, 0, 100, 10), 24);
  EXPECT_EQ(MDIScrollDelta(SB_LINEUP, 1, 0, 100, 10), 8);
  EXPECT_EQ(MDIScrollDelta(SB_LINEDOWN, 5, 0, 100, 10), -24);
  EXPECT_EQ(MDIScrollDelta(SB_PAGEUP, 20, 0, 100, 10), 72);
  EXPECT_EQ(MDIScrollDelta(SB_PAGEDOWN, 20, 0, 100, 10), -72);
  EXPECT_EQ(MDIScrollDelta(SB_THUMBPOSITION, 7, 0, 100, 10), -56);
  EXPECT_EQ(MDIScrollDelta(SB_ENDSCROLL, 7, 0, 100, 10), 0);
}

}  // namespace
}  // namespace kv
