#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>

#include "imager_view_fixture.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/imager_view.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::ViewTest;

TBGRPixel Coord(int32_t X, int32_t Y) { return TBGRPixel{uint8_t(X), uint8_t(Y), 77}; }

class SelectTest : public ViewTest {
 protected:
  void SetUp() override {
    MakeView(200, 150);
    LoadCoords(100, 80);
  }
  std::vector<TPoint> Points() const {
    return std::vector<TPoint>(View->GetPolySelPoints(), View->GetPolySelPoints() + View->GetPolySelCount());
  }
  TRect MaskBox() { return Rect(View->SelectionMask()->X1, View->SelectionMask()->Y1, View->SelectionMask()->X2,
                                View->SelectionMask()->Y2); }
};

std::string Text(const TRect& R) {
  return std::to_string(R.Left) + "," + std::to_string(R.Top) + "-" + std::to_string(R.Right) + "," +
         std::to_string(R.Bottom);
}

TEST_F(SelectTest, SetMouseInteractKeepsCompatibleItems) {
  using S = TIMMouseInteract;
  struct Case {
    S From, Add, Result;
  };
  for (const Case& c : {Case{S{miSelectPolygon}, S{miSelect}, S{miSelect}},
                        Case{S{miSelectMagicWand}, S{miZoom}, S{miZoom}},
                        Case{S{miZoom}, S{miScroll}, S{miZoom, miScroll}},
                        Case{S{miZoom, miSelect}, S{miSelectPolygon}, S{miSelectPolygon}},
                        Case{S{miZoom}, S{miSelectCircle}, S{miZoom, miSelectCircle}},
                        Case{S{miSelect}, S{miSelectLasso}, S{miSelectLasso}},
                        Case{S{miZoom}, S{miSelectMagicWand}, S{miSelectMagicWand}},
                        Case{S{miZoom, miScroll}, S{}, S{miZoom, miScroll}}}) {
    View->SetMouseInteract(S{});
    View->SetMouseInteract(c.From);
    View->SetMouseInteract(c.From + c.Add);
    EXPECT_TRUE(View->MouseInteract() == c.Result) << c.From.ToMask() << "+" << c.Add.ToMask();
  }
}

TEST_F(SelectTest, RectangleDragSquareAndClick) {
  View->SetMouseInteract({miSelect});
  int changing = 0, changed = 0;
  View->OnSelectionChanging = [&](TObject*) { ++changing; };
  View->OnSelectionChange = [&](TObject*) { ++changed; };
  Drag(10, 10, 50, 40);
  EXPECT_TRUE(View->SelectionExists());
  EXPECT_EQ(Points(), (std::vector<TPoint>{{10, 10}, {51, 10}, {51, 41}, {10, 41}}));
  EXPECT_EQ(Text(MaskBox()), "10,10-50,40");
  EXPECT_EQ(View->SelX2(), 50);
  EXPECT_GE(changing, 3);
  EXPECT_EQ(changed, 1);

  View->ForceAltKey = true;  // Alt: a square
  Drag(60, 45, 90, 50);
  EXPECT_EQ(Text(MaskBox()), "60,45-90,75");
  View->ForceAltKey = false;

  // Bitmap coordinates are taken as they are, whatever the zoom.
  View->SetSelectionBase(imsbBitmap);
  View->SetZoom(200);
  View->Select(10, 10, 20, 20);
  EXPECT_EQ(Text(MaskBox()), "10,10-20,20");
  View->SetSelectionBase(imsbClientArea);
  View->SetZoom(100);
  View->SetViewXY(0, 0);

  Down(30, 30);
  Up(30, 30);  // a click removes the selection
  EXPECT_FALSE(View->SelectionExists());
  EXPECT_TRUE(View->SelectionMask()->IsEmpty());
  EXPECT_EQ(View->GetPolySelCount(), 0);
}

TEST_F(SelectTest, ShiftAddsAndReplacesOnlyTheDraggedRectangle) {
  View->SetMouseInteract({miSelect});
  Drag(10, 10, 30, 30);
  Down(50, 50, MK_SHIFT);
  for (int32_t x : {60, 65, 70}) Move(x, 60, MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(View->GetPolySelCount(), 9);  // the first rectangle, a break, the one being dragged
  Up(70, 60, MK_SHIFT);
  const TIMMask& m = *View->SelectionMask();
  EXPECT_TRUE(m.IsPointInside(20, 20));
  EXPECT_TRUE(m.IsPointInside(70, 60));
  EXPECT_FALSE(m.IsPointInside(40, 40));
  EXPECT_EQ(Points()[4].X, kPolygonSeparator);
}

TEST_F(SelectTest, Ellipse) {
  View->SetMouseInteract({miSelectCircle});
  Down(50, 40);
  Move(70, 50);
  EXPECT_EQ(View->GetPolySelCount(), 15);  // trunc(10 * 2 pi) shr 2
  EXPECT_EQ(Points()[0], (TPoint{70, 40}));
  Up(70, 50);
  EXPECT_TRUE(View->SelectionMask()->IsPointInside(50, 40));
  EXPECT_FALSE(View->SelectionMask()->IsPointInside(50, 52));
  View->DeSelect();
  Down(50, 40);
  Move(70, 40);
  EXPECT_EQ(View->GetPolySelCount(), 3);  // a radius of 0 still gives 3 points
  Up(70, 40);
}

TEST_F(SelectTest, PolygonWithRubberLineAndDoubleClick) {
  View->SetMouseInteract({miSelectPolygon});
  for (TPoint p : {TPoint{10, 10}, TPoint{60, 10}, TPoint{60, 50}}) {
    Down(p.X, p.Y);
    Up(p.X, p.Y);
  }
  EXPECT_TRUE(View->PolygonInProgress());
  // The rubber line to the mouse is an overlay: painted over the cached picture, inverted.
  Move(20, 50, 0);
  View->Repaint();
  Pump();
  const TBitmap& screen = View->BackBuffer();
  const uint8_t* px = static_cast<const uint8_t*>(screen.ScanLine(50)) + 40 * 4;
  const TBGRPixel under = At(Rendered(), 40, 50);
  EXPECT_EQ(px[0], uint8_t(~under.b));
  EXPECT_EQ(px[1], uint8_t(~under.g));
  Mouse(WM_LBUTTONDBLCLK, 60, 50, MK_LBUTTON);
  Up(60, 50);
  EXPECT_FALSE(View->PolygonInProgress());
  EXPECT_EQ(Points(), (std::vector<TPoint>{{10, 10}, {60, 10}, {60, 50}}));
  EXPECT_TRUE(View->SelectionMask()->IsPointInside(55, 20));
  EXPECT_FALSE(View->SelectionMask()->IsPointInside(15, 40));
}

TEST_F(SelectTest, OutlineAtADeepZoomCostsWhatItShows) {
  View->SetMouseInteract({miSelectPolygon});
  for (TPoint p : {TPoint{10, 10}, TPoint{90, 12}, TPoint{50, 70}}) {
    Down(p.X, p.Y);
    Up(p.X, p.Y);
  }
  // Edges hundreds of millions of screen pixels long; only the window's part is walked.
  View->SetZoom(1e8);
  View->SetViewXY(50000000, 11000000 - 75);  // on the edge from (10, 10) to (90, 12)
  View->Repaint();
  Pump();
  EXPECT_TRUE(View->PolygonInProgress());
  int dashes = 0;
  for (int32_t y = 0; y < 150; ++y) {
    const uint8_t* p = static_cast<const uint8_t*>(View->BackBuffer().ScanLine(y));
    for (int32_t x = 0; x < 200; ++x) dashes += (p[x * 4] == 0 && p[x * 4 + 2] == 0) || p[x * 4] == 255;
  }
  EXPECT_GT(dashes, 100);

  // A finished rectangle with grips: its border, grips and hit tests at the same depth.
  View->SetZoom(100);
  View->SetMouseInteract({miSelect});
  View->Select(10, 10, 90, 70);
  View->SetDisplayGrid(true);
  View->SetZoom(1e8);
  View->SetViewXY(50000000, 10000000 - 75);
  View->Repaint();
  Pump();
  View->SelectionTimerStep(true);
  Pump();
  Move(100, 75, 0);
  EXPECT_TRUE(View->SelectionExists());
}

TEST_F(SelectTest, LassoAndClickToDeselect) {
  View->SetMouseInteract({miSelectLasso});
  Down(10, 10);
  for (TPoint p : {TPoint{40, 10}, TPoint{40, 40}, TPoint{10, 40}}) Move(p.X, p.Y);
  Up(10, 40);
  EXPECT_TRUE(View->SelectionExists());
  EXPECT_TRUE(View->SelectionMask()->IsPointInside(25, 25));
  EXPECT_FALSE(View->PolygonInProgress());
  Down(80, 70);
  Up(80, 70);
  EXPECT_FALSE(View->SelectionExists());
}

TEST_F(SelectTest, MagicWand) {
  // Left half red, right half blue with a red island that the connected fill does not reach.
  test::Fill24(View->Bitmap(), [](int32_t x, int32_t y) {
    const bool island = x >= 80 && x < 85 && y >= 40 && y < 45;
    return x < 50 || island ? TBGRPixel{0, 0, 255} : TBGRPixel{255, 0, 0};
  });
  View->ImageChange();
  View->SetMouseInteract({miSelectMagicWand});
  View->MagicWandMode = 1;
  Down(10, 10);
  Up(10, 10);
  EXPECT_EQ(Text(MaskBox()), "0,0-49,79");
  EXPECT_FALSE(View->SelectionMask()->IsPointInside(82, 42));
  Down(70, 10, MK_SHIFT);
  Up(70, 10, MK_SHIFT);
  EXPECT_EQ(Text(MaskBox()), "0,0-99,79");

  View->DeSelect();  // a click inside a selection would move it
  View->MagicWandMode = 2;  // the same colour anywhere
  Down(10, 10);
  Up(10, 10);
  EXPECT_TRUE(View->SelectionMask()->IsPointInside(82, 42));
  EXPECT_FALSE(View->SelectionMask()->IsPointInside(70, 10));

  View->DeSelect();
  View->MagicWandMode = 0;  // the traced outline becomes the selection
  Down(10, 10);
  Up(10, 10);
  EXPECT_EQ(Text(MaskBox()), "0,0-49,79");
  EXPECT_GE(View->GetPolySelCount(), 4);
  EXPECT_TRUE(View->SelectionExists());
  // Outside the picture nothing happens.
  View->MagicWandSelect(150, 10, false);
  EXPECT_EQ(Text(MaskBox()), "0,0-49,79");
}

TEST_F(SelectTest, GripsResizeAndCross) {
  View->SetMouseInteract({miSelect});
  View->Select(10, 10, 50, 40);
  std::vector<int32_t> hover;
  View->OnMouseInResizingGrip = [&](TObject*, int32_t g) { hover.push_back(g); };
  Move(51, 41, 0);
  Move(10, 25, 0);
  Move(30, 25, 0);
  Move(90, 70, 0);
  EXPECT_EQ(hover, (std::vector<int32_t>{2, 4, -1, -1}));
  EXPECT_EQ(View->Cursor(), View->DefaultCursor());
  Move(30, 25, 0);
  EXPECT_EQ(View->Cursor(), 1790);  // inside a moveable selection

  Down(51, 41);
  Move(70, 60);
  Up(70, 60);
  EXPECT_EQ(Points(), (std::vector<TPoint>{{10, 10}, {71, 10}, {71, 61}, {10, 61}}));
  EXPECT_EQ(Text(MaskBox()), "10,10-70,60");

  // Dragged past the left edge, the bottom-right grip becomes the bottom-left one.
  Down(71, 61);
  Move(5, 61);
  Move(3, 61);
  Up(3, 61);
  EXPECT_EQ(Text(MaskBox()), "3,10-9,61");  // grabbing the corner itself takes its row
}

TEST_F(SelectTest, MoveTheSelection) {
  View->SetMouseInteract({miSelect});
  View->Select(10, 10, 50, 40);
  Down(30, 25);
  Move(35, 30);
  Move(40, 35);
  Up(40, 35);
  EXPECT_EQ(Text(MaskBox()), "20,20-60,50");
  EXPECT_EQ(Points()[0], (TPoint{20, 20}));
}

TEST_F(SelectTest, ZoomClicks) {
  LoadCoords(1000, 800);
  View->SetMouseInteract({miZoom});
  struct Case {
    double From;
    bool Left;
    double To;
  };
  for (const Case c : {Case{80, true, 100}, Case{100, true, 200}, Case{100, false, 75}, Case{2, false, 2},
                       Case{250, false, 150}, Case{1, true, 2}, Case{150, false, 100}}) {
    View->SetZoom(c.From);
    Mouse(c.Left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, 50, 50, c.Left ? MK_LBUTTON : MK_RBUTTON);
    Mouse(c.Left ? WM_LBUTTONUP : WM_RBUTTONUP, 50, 50, 0);
    EXPECT_EQ(View->Zoom(), c.To) << c.From << (c.Left ? " in" : " out");
  }
  View->SetZoom(100);
  View->OnZoomIn = [](TObject*, double& z) { z = 333; };
  Down(50, 50);
  Up(50, 50);
  EXPECT_EQ(View->Zoom(), 333);
}

TEST_F(SelectTest, ScrollDrag) {
  LoadCoords(1000, 800);
  View->SetMouseInteract({miScroll});
  Down(100, 75);
  Move(80, 60);
  EXPECT_EQ(View->Cursor(), 1782);
  Move(50, 45);
  Up(50, 45);
  EXPECT_EQ(View->ViewX(), 50);
  EXPECT_EQ(View->ViewY(), 30);
  EXPECT_EQ(View->Cursor(), 1785);
}

// In the zoom-and-scroll mode the right button drags the picture as the left
// does; a right click still zooms out. Without the zoom mode it does nothing.
TEST_F(SelectTest, RightButtonDragScrollsInZoomMode) {
  LoadCoords(1000, 800);
  View->SetMouseInteract({miZoom, miScroll});
  Mouse(WM_RBUTTONDOWN, 100, 75, MK_RBUTTON);
  Mouse(WM_MOUSEMOVE, 50, 45, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, 50, 45, 0);
  EXPECT_EQ(View->ViewX(), 50);
  EXPECT_EQ(View->ViewY(), 30);
  EXPECT_EQ(View->Zoom(), 100);
  Mouse(WM_MOUSEMOVE, 10, 10, 0);  // the drag ended with the button
  EXPECT_EQ(View->ViewX(), 50);

  View->SetMouseInteract({miScroll});
  Mouse(WM_RBUTTONDOWN, 100, 75, MK_RBUTTON);
  Mouse(WM_MOUSEMOVE, 60, 40, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, 60, 40, 0);
  EXPECT_EQ(View->ViewX(), 50);
  EXPECT_EQ(View->ViewY(), 30);
}

TEST_F(SelectTest, AutoScrollRunsFromATimer) {
  LoadCoords(1000, 800);
  View->SetMouseInteract({miSelect});
  Down(100, 50);
  Move(260, 75);  // past the right edge: the first step at once
  EXPECT_EQ(View->ViewX(), 61);
  EXPECT_TRUE(View->AutoScrolling());
  Wait(250);  // the timer goes on while the mouse rests outside
  const int32_t reached = View->ViewX();
  EXPECT_GT(reached, 61 * 2);
  EXPECT_GE(View->CurrentOutline().Right, reached + 199);  // the rectangle follows
  Up(260, 75);
  EXPECT_FALSE(View->AutoScrolling());
  EXPECT_TRUE(View->SelectionMask()->IsPointInside(150, 50));
}

TEST_F(SelectTest, AnimationRepaintsOnlyTheOutlineAndKeepsTheRendering) {
  View->Select(20, 20, 40, 30);
  Pump();
  std::vector<TRect> clips;
  View->OnPaint = [&](TObject*) { clips.push_back(View->Canvas().ClipRect()); };
  const TBitmap& before = Rendered();
  const int64_t renders = View->RenderCount();
  View->SelectionTimerStep(true);
  Pump();
  ASSERT_FALSE(clips.empty());
  const TRect c = clips.back();
  EXPECT_LE(c.Width(), 40);
  EXPECT_LE(c.Height(), 30);
  EXPECT_LE(c.Left, 20 - 5);
  EXPECT_GE(c.Right, 41 + 5);
  EXPECT_EQ(View->RenderCount(), renders);
  // The dashes run along the border: some border pixel differs from the picture.
  const TBitmap& screen = View->BackBuffer();
  int differ = 0;
  for (int32_t x = 20; x <= 40; ++x) {
    const uint8_t* p = static_cast<const uint8_t*>(screen.ScanLine(20)) + x * 4;
    const TBGRPixel r = At(before, x, 20);
    differ += p[0] != r.b || p[1] != r.g || p[2] != r.r;
  }
  EXPECT_GT(differ, 5);
}

TEST_F(SelectTest, DraggingRepaintsTheOverlayOverTheCachedRendering) {
  View->SetMouseInteract({miSelect});
  Rendered();
  Pump();
  const int64_t renders = View->RenderCount();
  Down(10, 10);
  for (int32_t i = 1; i <= 5; ++i) {
    Move(10 + 8 * i, 10 + 6 * i);
    Pump();
  }
  EXPECT_EQ(View->RenderCount(), renders);  // the rubber rectangle is drawn over the cached picture
  // What the window shows inside the rectangle is the rendering itself.
  const uint8_t* px = static_cast<const uint8_t*>(View->BackBuffer().ScanLine(20)) + 20 * 4;
  EXPECT_EQ(px[0], 20);
  EXPECT_EQ(px[1], 20);
  Up(50, 40);
}

TEST_F(SelectTest, FilledSelectionIsPartOfTheRendering) {
  View->SetSelectionOptions({imsoFilled});
  View->Select(20, 20, 40, 30);
  const TBGRPixel in = At(Rendered(), 25, 25), out = At(Rendered(), 50, 25);
  EXPECT_EQ(in, (TBGRPixel{uint8_t(~25), uint8_t(~25), uint8_t(~77)}));
  EXPECT_EQ(out, Coord(50, 25));
  View->DeSelect();
  EXPECT_EQ(At(Rendered(), 25, 25), Coord(25, 25));
}

TEST_F(SelectTest, ProcessingWorksOnTheSelectionAndTheViewFollows) {
  View->Select(20, 20, 40, 30);
  Rendered();
  View->Proc()->ConvertToGray();
  const TBGRPixel in = At(Rendered(), 25, 25), out = At(Rendered(), 50, 25);
  EXPECT_TRUE(in.r == in.g && in.g == in.b);
  EXPECT_EQ(out, Coord(50, 25));
  View->Proc()->Flip(0);  // mirrors left and right
  EXPECT_EQ(At(Rendered(), 0, 5), Coord(99, 5));
}

// A photo zoomed with a selection, saved for a person to look at.
TEST_F(SelectTest, RenderingArtifact) {
  if (!test::HaveTool("convert") || !test::HaveTool("pnmtopng")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  // Beside the test executable, in the build tree.
  std::error_code ec;
  const std::string dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string() + "/artifacts";
  ASSERT_FALSE(ec);
  test::Run("mkdir -p '" + dir + "'");
  const std::string rose = dir + "/view_rose.png";
  ASSERT_EQ(test::Run("convert rose: '" + rose + "'"), 0);
  // Loaded through the view's own I/O component, as the program opens files.
  View->Select(5, 5, 20, 20);
  View->IO()->LoadFromFileByExtension(rose);
  ASSERT_FALSE(View->IO()->Aborted()) << View->IO()->AbortReason();
  EXPECT_EQ(View->IO()->AttachedImager(), static_cast<TIMViewLink*>(View));
  EXPECT_EQ(View->Bitmap().Width(), 70);
  EXPECT_FALSE(View->SelectionExists());  // a load drops the old picture's selection
  View->SetBackgroundStyle(imbsCropShadow);
  View->SetCenter(true);
  View->SetZoom(250);
  View->SetMouseInteract({miSelect});
  View->SetSelectionOptions({imsoAnimated, imsoSizeable, imsoMoveable});
  Drag(View->XBmp2Scr(10), View->YBmp2Scr(8), View->XBmp2Scr(40), View->YBmp2Scr(30));
  ASSERT_TRUE(View->SelectionExists());
  View->Repaint();
  Pump();
  const TBitmap& screen = View->BackBuffer();
  TBitmap out(screen.Width(), screen.Height(), pf24bit);
  for (int32_t y = 0; y < out.Height(); ++y) {
    const uint8_t* s = static_cast<const uint8_t*>(screen.ScanLine(y));
    uint8_t* d = static_cast<uint8_t*>(out.ScanLine(y));
    for (int32_t x = 0; x < out.Width(); ++x) std::memcpy(d + x * 3, s + x * 4, 3);
  }
  test::WritePnm(dir + "/view_artifact.ppm", out);
  EXPECT_EQ(test::Run("pnmtopng '" + dir + "/view_artifact.ppm' > '" + dir + "/view_artifact.png' 2>/dev/null"), 0);
}

}  // namespace
}  // namespace kv
