#include "imaging/views/imager_view.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imager_view_fixture.h"
#include "imaging/views/transition_effects.h"
#include "platform/ui/cursors.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/timer.h"

namespace kv {
namespace {

using test::ViewTest;

TBGRPixel Coord(int32_t X, int32_t Y) { return TBGRPixel{uint8_t(X), uint8_t(Y), 77}; }

TEST_F(ViewTest, Defaults) {
  MakeView();
  TImagerView& v = *View;
  EXPECT_EQ(v.Zoom(), 100);
  EXPECT_EQ(v.ViewX(), 0);
  EXPECT_EQ(v.ZoomFilter(), rfNone);
  EXPECT_TRUE(v.DelayZoomFilter());
  EXPECT_EQ(v.BackgroundStyle(), imbsSolid);
  EXPECT_EQ(v.ScrollBars(), ssNone);
  EXPECT_FALSE(v.Center() || v.AutoFit() || v.EnableAlphaChannel() || v.DisplayGrid());
  EXPECT_TRUE(v.DoubleBuffer());
  EXPECT_EQ(v.Cursor(), 1785);
  EXPECT_FALSE(v.TabStop());
  EXPECT_TRUE(v.SelectionOptions() == (TIMSelectionOptions{imsoAnimated, imsoSizeable, imsoMoveable}));
  EXPECT_TRUE(v.MouseInteract().Empty());
  EXPECT_EQ(v.SelectionBase(), imsbClientArea);
  EXPECT_EQ(v.MouseWheelParams().Action, 2);
  EXPECT_EQ(v.MouseWheelParams().Value, 8);
  EXPECT_EQ(v.VertScrollBar().LineStep, -1);
  EXPECT_EQ(v.SelectionTimer().Interval(), 210u);
  EXPECT_TRUE(v.SelectionTimer().Enabled());
  EXPECT_EQ(v.DpiX(), Screen->PixelsPerInch());
  for (TCursor c = 1778; c <= 1795; ++c) EXPECT_TRUE(CursorExists(c)) << c;
  EXPECT_EQ(GetPropValue(&v, "ZoomFilter"), "rfNone");
  EXPECT_EQ(GetPropValue(&v, "BackgroundStyle"), "imbsSolid");
  SetPropValue(&v, "ScrollBars", "ssBoth");
  EXPECT_EQ(v.ScrollBars(), ssBoth);
  EXPECT_TRUE(IsPublishedProp(&v, "OnZoomIn"));

  // A view without a parent window.
  TImagerView lone(nullptr);
  EXPECT_EQ(lone.Width(), 105);
  EXPECT_EQ(lone.GetExtentWidth(), 50);
  EXPECT_EQ(lone.GetExtentHeight(), 50);
}

TEST_F(ViewTest, ScrollLimits) {
  MakeView(200, 150);
  struct Case {
    int32_t W, H;
    double Zoom;
    int32_t MaxX, MaxY;
  };
  for (const Case c : {Case{1000, 800, 100, 800, 650}, Case{150, 100, 100, 0, 0}, Case{300, 100, 100, 100, 0},
                       Case{1000, 800, 50, 300, 250}, Case{40, 40, 1, 0, 0}, Case{100, 100, 250, 51, 101}}) {
    View->Bitmap().SetSize(c.W, c.H);
    View->SetZoom(c.Zoom);
    View->Update();
    int32_t mx = -1, my = -1;
    View->GetMaxViewXY(mx, my);
    EXPECT_EQ(mx, c.MaxX) << c.W << "x" << c.H << " at " << c.Zoom;
    EXPECT_EQ(my, c.MaxY) << c.W << "x" << c.H << " at " << c.Zoom;
  }
}

TEST_F(ViewTest, ZoomKeepsTheCentreAndClampsWithTheNewLimits) {
  MakeView(200, 150);
  LoadCoords(1000, 100);
  std::vector<int32_t> changes;
  View->OnViewChange = [&](TObject*, int32_t c) { changes.push_back(c); };
  View->SetZoom(200);
  EXPECT_EQ(View->ViewX(), 100);  // column 100 stays in the centre
  EXPECT_EQ(changes.back(), 1);

  // At the right edge the centre column is 900; the old zoom's limit (800)
  // would pin the view there and lose it.
  View->SetZoom(100);
  View->SetViewX(800);
  ASSERT_EQ(View->ViewX(), 800);
  View->SetZoom(200);
  EXPECT_EQ(View->ViewX(), 1700);
  EXPECT_EQ(View->XScr2Bmp(100), 900);

  changes.clear();
  for (double z : {0.0, -5.0, 200.0}) View->SetZoom(z);
  EXPECT_EQ(View->Zoom(), 200);
  EXPECT_TRUE(changes.empty());
}

TEST_F(ViewTest, CoordinateConversions) {
  MakeView(200, 150);
  View->Bitmap().SetSize(1000, 800);
  View->Update();
  struct Case {
    double Zoom;
    int32_t ViewX, Scr, Bmp, BmpBack, ScrBack;
  };
  // Halves round to even: at 200 % ViewX 101 starts at column round(50.5) = 50.
  for (const Case c : {Case{200, 101, 3, 51, 51, 2}, Case{50, 30, 7, 74, 74, 7}, Case{300, 10, 5, 4, 4, 3},
                       Case{100, 37, 0, 37, 40, 3}}) {
    View->SetZoom(c.Zoom);
    View->SetViewX(c.ViewX);
    ASSERT_EQ(View->ViewX(), c.ViewX);
    EXPECT_EQ(View->XScr2Bmp(c.Scr), c.Bmp) << c.Zoom;
    EXPECT_EQ(View->XBmp2Scr(c.BmpBack), c.ScrBack) << c.Zoom;
    EXPECT_EQ(View->YScr2Bmp(0), View->VisiblePart().SrcTop);
  }
}

TEST_F(ViewTest, FitAndAutoFit) {
  MakeView(50, 50);
  View->Bitmap().SetSize(10000, 100);
  View->SetAutoFit(true);
  EXPECT_EQ(View->Zoom(), 1);  // 0.5 is raised to 1
  View->SetAutoFit(false);
  View->SetBounds(0, 0, 200, 150);
  View->Bitmap().SetSize(400, 300);
  View->Fit();
  EXPECT_DOUBLE_EQ(View->Zoom(), 50);
  View->SetBackgroundStyle(imbsCropShadow);  // a margin of 5 on each side
  View->Fit();
  EXPECT_DOUBLE_EQ(View->Zoom(), std::min(140 / 3.0, 190 / 4.0));
}

TEST_F(ViewTest, ShrunkBitmapLowersTheOffset) {
  MakeView(200, 150);
  LoadCoords(1000, 100);
  View->SetViewX(800);
  std::vector<int32_t> changes;
  View->OnViewChange = [&](TObject*, int32_t c) { changes.push_back(c); };
  View->Bitmap().SetSize(300, 100);
  View->Update();
  EXPECT_EQ(View->ViewX(), 100);
  EXPECT_EQ(changes, std::vector<int32_t>{0});
}

TEST_F(ViewTest, ScrollBarsAndTheirCodes) {
  MakeView(200, 150);
  View->SetScrollBars(ssBoth);
  LoadCoords(1000, 800);
  EXPECT_TRUE(View->HorzBarInUse());
  EXPECT_TRUE(View->VertBarInUse());
  const int32_t ch = View->ClientHeight();
  EXPECT_LT(ch, 150);
  int32_t mx, my;
  View->GetMaxViewXY(mx, my);
  auto bar = [&](uint16_t Code, int32_t Pos = 0) {
    View->Perform(WM_VSCROLL, MakeLong(Code, Pos));
    return View->ViewY();
  };
  EXPECT_EQ(bar(SB_LINEDOWN), 1);
  EXPECT_EQ(bar(SB_PAGEDOWN), 1 + ch);
  EXPECT_EQ(bar(SB_LINEUP), ch);
  EXPECT_EQ(bar(SB_BOTTOM), my);
  EXPECT_EQ(bar(SB_TOP), 0);
  View->VertScrollBar().LineStep = 5;
  View->SetZoom(300);
  View->SetViewY(0);
  EXPECT_EQ(bar(SB_LINEDOWN), 15);
  View->VertScrollBar().Tracking = false;
  EXPECT_EQ(bar(SB_THUMBTRACK, 1000), 15);
  EXPECT_NE(bar(SB_THUMBPOSITION, 1000), 15);
  EXPECT_EQ(bar(SB_ENDSCROLL), View->ViewY());
  // A step set past what zoom times step fits in 32 bits still lands on the edge.
  View->VertScrollBar().LineStep = MaxInt;
  View->SetViewY(0);
  View->GetMaxViewXY(mx, my);
  EXPECT_EQ(bar(SB_LINEDOWN), my);
  EXPECT_EQ(bar(SB_LINEUP), 0);
  View->VertScrollBar().LineStep = 5;

  // Pictures near the size where one bar brings the other: the layout settles.
  for (int32_t w : {180, 190, 199, 200, 201})
    for (int32_t h : {130, 140, 149, 150, 151}) {
      View->SetZoom(100);
      View->Bitmap().SetSize(w, h);
      View->Update();
      int32_t x, y;
      View->GetMaxViewXY(x, y);
      EXPECT_EQ(View->HorzBarInUse(), x >= 1) << w << "x" << h;
      EXPECT_EQ(View->VertBarInUse(), y >= 1) << w << "x" << h;
    }
  // Kept shown (and disabled) when nothing is to scroll.
  View->SetScrollBarsAlwaysVisible(true);
  View->Bitmap().SetSize(50, 50);
  View->Update();
  EXPECT_TRUE(View->HorzBarInUse() && View->VertBarInUse());
  EXPECT_TRUE(ScrollBarVisible(View, SB_HORZ) && ScrollBarVisible(View, SB_VERT));
  View->SetScrollBars(ssVertical);
  EXPECT_FALSE(ScrollBarVisible(View, SB_HORZ));
}

TEST_F(ViewTest, MouseWheel) {
  MakeView(200, 150);
  LoadCoords(1000, 800);
  auto wheel = [&](int32_t Delta) { View->Perform(WM_MOUSEWHEEL, MakeLong(0, Delta), 0); };
  wheel(120);
  EXPECT_EQ(View->Zoom(), 92);
  wheel(-120);
  EXPECT_EQ(View->Zoom(), 99);  // 92 + round(7.36)
  View->SetZoom(5);
  wheel(120);
  EXPECT_EQ(View->Zoom(), 4);  // never less than 1
  View->MouseWheelParams().InvertWheel = true;
  wheel(120);
  EXPECT_EQ(View->Zoom(), 5);
  View->MouseWheelParams().InvertWheel = false;
  View->MouseWheelParams().Action = 1;
  View->MouseWheelParams().Variation = 0;
  View->SetZoom(300);
  View->SetViewY(0);
  wheel(-120);
  EXPECT_EQ(View->ViewY(), 24);  // 8 steps of 3 pixels
}

// ---- rendered pixels ----

TEST_F(ViewTest, RendersZoomLevels) {
  MakeView(200, 150);
  LoadCoords(250, 200);
  struct Case {
    double Zoom;
    int32_t ViewX, ViewY;
    int32_t X, Y, SrcX, SrcY;
  };
  for (const Case c : {Case{100, 0, 0, 7, 9, 7, 9}, Case{100, 50, 20, 199, 149, 249, 169}, Case{200, 0, 0, 5, 7, 2, 3},
                       Case{200, 101, 0, 3, 0, 51, 0}, Case{50, 0, 0, 60, 30, 120, 60},
                       Case{400, 40, 40, 13, 2, 13, 10}}) {
    View->SetZoom(c.Zoom);
    View->SetViewXY(c.ViewX, c.ViewY);
    const TBitmap& r = Rendered();
    EXPECT_EQ(At(r, c.X, c.Y), Coord(c.SrcX, c.SrcY)) << c.Zoom << " " << c.X << "," << c.Y;
  }
}

TEST_F(ViewTest, CentredPictureOnEveryBackground) {
  MakeView(200, 150);
  View->SetBackground(clRed);
  LoadCoords(50, 40);
  View->SetCenter(true);
  EXPECT_EQ(View->OffsetX(), 75);
  EXPECT_EQ(View->OffsetY(), 55);
  for (int s = imbsSolid; s <= imbsCropShadow; ++s) {
    View->SetBackgroundStyle(static_cast<TIMBackgroundStyle>(s));
    const TBitmap& r = Rendered();
    EXPECT_EQ(At(r, 75, 55), Coord(0, 0)) << s;
    EXPECT_EQ(At(r, 124, 94), Coord(49, 39)) << s;
    if (s == imbsSolid) {
      EXPECT_EQ(At(r, 0, 0), (TBGRPixel{0, 0, 255}));
      EXPECT_EQ(At(r, 125, 95), (TBGRPixel{0, 0, 255}));
    }
  }
}

TEST_F(ViewTest, ChessboardAndOnePixelPicture) {
  MakeView(200, 150);
  View->SetBackground(clBlack);
  View->SetBackgroundStyle(imbsChessboard);
  View->Bitmap().SetSize(1, 1);
  View->Bitmap().SetPixelColor(0, 0, clLime);
  View->Update();
  const TBitmap& r = Rendered();
  const TBGRPixel white{255, 255, 255}, black{0, 0, 0};
  EXPECT_EQ(At(r, 0, 0), white);  // a 1 x 1 picture shows only the background
  EXPECT_EQ(At(r, 15, 15), white);
  EXPECT_EQ(At(r, 16, 0), black);
  EXPECT_EQ(At(r, 0, 16), black);
  EXPECT_EQ(At(r, 16, 16), white);
}

TEST_F(ViewTest, AlphaBlending) {
  MakeView(40, 30);
  View->SetBackground(clBlack);
  View->Bitmap().SetSize(40, 30);
  test::FillFlat24(View->Bitmap(), TBGRPixel{200, 100, 0});
  View->SetEnableAlphaChannel(true);
  TIMMask* a = View->GetAlphaChannel();
  a->Fill(128);
  a->Full = false;
  a->ScanLine(0)[1] = 0;
  View->ImageChange();
  const TBitmap& r = Rendered();
  EXPECT_EQ(At(r, 5, 5), (TBGRPixel{100, 50, 0}));  // d + (s - d) * a >> 8
  EXPECT_EQ(At(r, 1, 0), (TBGRPixel{0, 0, 0}));

  // Toward a darker source the difference is negative and rounds down.
  View->SetBackground(clWhite);
  test::FillFlat24(View->Bitmap(), TBGRPixel{0, 0, 0});
  View->ImageChange();
  EXPECT_EQ(At(Rendered(), 5, 5), (TBGRPixel{127, 127, 127}));

  // 1-bit pictures blend the background's red channel into all three.
  View->SetBackground(static_cast<TColor>(0x0000FF));  // red 255
  View->Bitmap().SetPixelFormat(pf1bit);
  View->Bitmap().SetPixelColor(0, 0, clWhite);
  View->Bitmap().SetPixelColor(1, 0, clBlack);
  a->Fill(64);
  View->ImageChange();
  EXPECT_EQ(At(Rendered(), 0, 0), (TBGRPixel{255, 255, 255}));  // 255 + (0 * 64 >> 8)
  EXPECT_EQ(At(Rendered(), 1, 0), (TBGRPixel{191, 191, 191}));  // 255 - ((64 * 255 + 255) >> 8)
  View->SetEnableAlphaChannel(false);
  EXPECT_EQ(At(Rendered(), 1, 0), (TBGRPixel{0, 0, 0}));
  EXPECT_EQ(At(Rendered(), 0, 0), (TBGRPixel{255, 255, 255}));
}

TEST_F(ViewTest, PixelGridFromFourHundredPercent) {
  MakeView(64, 48);
  View->Bitmap().SetSize(40, 40);
  test::FillFlat24(View->Bitmap(), TBGRPixel{10, 20, 30});
  View->SetDisplayGrid(true);
  View->SetZoom(300);
  EXPECT_EQ(At(Rendered(), 0, 1), (TBGRPixel{10, 20, 30}));  // below 400 %: no grid
  View->SetZoom(400);
  View->SetViewXY(0, 0);
  const TBitmap& r = Rendered();
  const TBGRPixel plain{10, 20, 30}, inverted{245, 235, 225};
  EXPECT_EQ(At(r, 1, 1), plain);
  EXPECT_EQ(At(r, 0, 1), inverted);
  EXPECT_EQ(At(r, 4, 2), inverted);
  EXPECT_EQ(At(r, 2, 8), inverted);
  EXPECT_EQ(At(r, 4, 4), plain);  // crossings are inverted twice
}

TEST_F(ViewTest, FilteredZoomAndItsDelay) {
  MakeView(60, 60);
  View->Bitmap().SetSize(200, 200);
  test::Fill24(View->Bitmap(), [](int32_t x, int32_t y) { return test::Gray((x + y) % 2 ? 255 : 0); });
  View->SetZoom(50);
  const TBGRPixel nearest = At(Rendered(), 20, 20);
  EXPECT_TRUE(nearest.g == 0 || nearest.g == 255);
  View->SetZoomFilter(rfTriangle);
  const uint8_t smooth = At(Rendered(), 20, 20).g;
  EXPECT_GT(smooth, 90);
  EXPECT_LT(smooth, 165);
  // Scrolling draws unfiltered first; the selection timer's ticks bring the filter back.
  View->SetViewX(10);
  EXPECT_EQ(View->FilterDelay(), 2);
  const uint8_t quick = At(Rendered(), 20, 20).g;
  EXPECT_TRUE(quick == 0 || quick == 255);
  View->SelectionTimerStep(true);
  View->SelectionTimerStep(true);
  EXPECT_EQ(View->FilterDelay(), 0);
  const uint8_t again = At(Rendered(), 20, 20).g;
  EXPECT_GT(again, 90);
  EXPECT_LT(again, 165);
}

TEST_F(ViewTest, FlatPictureStaysFlatAtEveryZoomAndFilter) {
  MakeView(120, 90);
  View->SetDelayZoomFilter(false);
  View->Bitmap().SetSize(1500, 1100);
  test::FillFlat24(View->Bitmap(), TBGRPixel{17, 130, 241});
  View->ImageChange();
  for (TResampleFilter f : {rfNone, rfTriangle, rfLanczos3, rfMitchell, rfFastLinear})
    for (double z : {3.0, 7.0, 33.0, 150.0, 800.0}) {
      View->SetZoomFilter(f);
      View->SetZoom(z);
      const TBitmap& r = Rendered();
      const int32_t w = std::min(View->VisibleWidth(), 120), h = std::min(View->VisibleHeight(), 90);
      int bad = 0;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) bad += !(At(r, x, y) == TBGRPixel{17, 130, 241});
      EXPECT_EQ(bad, 0) << int(f) << " at " << z;
    }
}

TEST_F(ViewTest, ScrollRendersOnlyTheUncoveredStrip) {
  MakeView(200, 150);
  LoadCoords(1000, 800);
  TBitmap fresh(200, 150, pf24bit);
  auto same = [&] {
    View->DrawTo(fresh);
    const TBitmap& r = Rendered();
    for (int32_t y = 0; y < 150; ++y)
      if (std::memcmp(r.ScanLine(y), fresh.ScanLine(y), 600) != 0) return false;
    return true;
  };
  struct Case {
    double Zoom;
    int32_t DX, DY;
    int64_t Pixels;  // rendered for the step; 0: not checked (a zoom whose mapping does not shift)
  };
  for (const Case c : {Case{100, 100, 0, 100 * 150}, Case{100, 0, -30, 30 * 200}, Case{100, 20, 10, 20 * 150 + 10 * 200},
                       Case{800, 96, 0, 96 * 150}, Case{250, 100, 0, 100 * 150}, Case{50, 60, 0, 60 * 150},
                       Case{33, 40, 0, 0}}) {
    View->SetZoom(c.Zoom);
    const int32_t start = c.Zoom < 100 ? 50 : 300;
    View->SetViewXY(start, start);
    Rendered();
    View->SetViewXY(start + c.DX, start + c.DY);
    ASSERT_EQ(View->ViewX(), start + c.DX);
    Rendered();
    if (c.Pixels) {
      EXPECT_EQ(View->RenderedPixels(), c.Pixels) << c.Zoom;
    }
    EXPECT_TRUE(same()) << c.Zoom << " " << c.DX << "," << c.DY;
  }
}

TEST(ViewRender, AxisMapProductsAreSixtyFourBit) {
  // A huge picture far zoomed out: index times source length overflows 32 bits.
  std::vector<int32_t> map;
  BuildAxisMap(map, 100, 0, 100, 0, 1500000000, 1500000000);
  EXPECT_EQ(map[0], 0);
  EXPECT_EQ(map[99], 1485000000);
  // Entries outside the picture's span are -1; none reaches past the bitmap.
  BuildAxisMap(map, 10, 3, 5, 7, 5, 9);
  EXPECT_EQ(map, (std::vector<int32_t>{-1, -1, -1, 7, 8, 8, 8, 8, -1, -1}));
}

TEST_F(ViewTest, TransitionFromTheShownToTheNewPicture) {
  MakeView(80, 60);
  LoadCoords(80, 60);
  View->PrepareTransition();
  EXPECT_EQ(At(View->Transitions().FromBitmap(), 10, 20), Coord(10, 20));
  test::FillFlat24(View->Bitmap(), TBGRPixel{1, 2, 3});
  View->ImageChange();
  View->RunTransition(imttCrossDissolve, 0);
  EXPECT_EQ(At(View->Transitions().ToBitmap(), 10, 20), (TBGRPixel{1, 2, 3}));
  EXPECT_EQ(View->TransitionEffect(), 0);  // reset once the run started
  Wait(100);
  EXPECT_FALSE(View->Transitions().Running());
  EXPECT_EQ(View->PaintLocked(), 0);
  EXPECT_EQ(At(Rendered(), 10, 20), (TBGRPixel{1, 2, 3}));
}

TEST_F(ViewTest, AssignAndBlank) {
  MakeView(60, 40);
  TBitmap src(8, 4, pf8bit);
  View->Assign(&src);
  EXPECT_EQ(View->Bitmap().PixelFormat(), pf24bit);
  EXPECT_EQ(View->Bitmap().Width(), 8);
  int changes = 0;
  View->OnImageChange = [&](TObject*) { ++changes; };
  TImagerView other(nullptr);
  other.Bitmap().SetSize(5, 5);
  other.GetAlphaChannel()->Fill(9);
  View->Assign(&other);
  EXPECT_EQ(View->Bitmap().Width(), 5);
  ASSERT_TRUE(View->HasAlphaChannel());
  EXPECT_EQ(View->GetAlphaChannel()->GetPixel(2, 2), 9);
  EXPECT_EQ(changes, 1);
  View->Blank();
  EXPECT_EQ(View->Bitmap().Width(), 1);
}

}  // namespace
}  // namespace kv
