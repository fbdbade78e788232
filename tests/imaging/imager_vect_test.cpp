// The vector view on a shown form, headless: objects drawn at several zooms
// against the same shapes drawn with plain canvas calls, made and edited with
// synthetic mouse messages, measured, copied and merged.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "imaging/formats/codec.h"
#include "imaging/formats/png.h"
#include "imaging/views/imager_vect.h"
#include "platform/rtl/streams.h"
#include "platform/ui/std_controls.h"
#include "shown_view_fixture.h"

namespace kv {
namespace {

class VectTest : public test::ShownViewTest<TImagerVect> {
 protected:
  void Make(int32_t W, int32_t H, int32_t BW, int32_t BH) {
    ShowView(W, H);
    View->Bitmap().SetSize(BW, BH);
    test::FillFlat24(View->Bitmap(), TBGRPixel{128, 128, 128});
    View->ImageChange();
    View->Update();
    Pump();
  }
  // The window as the next paint shows it.
  std::unique_ptr<TBitmap> Shot() {
    View->Repaint();
    Pump();
    auto b = std::make_unique<TBitmap>();
    b->Assign(&View->BackBuffer());
    return b;
  }
  static TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) {
    const uint8_t* p = static_cast<const uint8_t*>(B.ScanLine(Y)) + size_t(X) * (B.PixelFormat() == pf32bit ? 4 : 3);
    return TBGRPixel{p[0], p[1], p[2]};
  }
  static int32_t Differences(const TBitmap& A, const TBitmap& B) {
    int32_t n = 0;
    for (int32_t y = 0; y < A.Height(); ++y)
      for (int32_t x = 0; x < A.Width(); ++x) {
        const TBGRPixel a = Px(A, x, y), b = Px(B, x, y);
        n += a.b != b.b || a.g != b.g || a.r != b.r;
      }
    return n;
  }
  // Kept for a look when KV_VECT_PNG_DIR names a folder.
  static void SavePng(TBitmap& B, const std::string& Name) {
    const char* dir = std::getenv("KV_VECT_PNG_DIR");
    if (!dir || !*dir) return;
    TBitmap b24;
    b24.Assign(&B);
    b24.SetPixelFormat(pf24bit);
    TFileStream s(std::string(dir) + "/" + Name + ".png", fmCreate);
    TIOParamsVals params(nullptr);
    TProgressRec progress;
    WritePngStream(s, b24, params, progress);
  }
  void Down(int32_t X, int32_t Y, uint32_t Keys = 0) { Mouse(WM_LBUTTONDOWN, X, Y, MK_LBUTTON | Keys); }
  void Move(int32_t X, int32_t Y, uint32_t Keys = MK_LBUTTON) { Mouse(WM_MOUSEMOVE, X, Y, Keys); }
  void Up(int32_t X, int32_t Y, uint32_t Keys = 0) { Mouse(WM_LBUTTONUP, X, Y, Keys); }
  void Drag(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint32_t Keys = 0) {
    Down(X1, Y1, Keys);
    Move((X1 + X2) / 2, (Y1 + Y2) / 2, MK_LBUTTON | Keys);
    Move(X2, Y2, MK_LBUTTON | Keys);
    Up(X2, Y2, Keys);
  }
  void Click(int32_t X, int32_t Y, uint32_t Keys = 0) {
    Down(X, Y, Keys);
    Up(X, Y, Keys);
  }
  TIMVObject Obj(TIMVKind Kind, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor Pen = clBlack) {
    TIMVObject o;
    o.Kind = Kind;
    o.x1 = X1;
    o.y1 = Y1;
    o.x2 = X2;
    o.y2 = Y2;
    o.PenColor = Pen;
    return o;
  }
};

// ---- drawing ----

TEST_F(VectTest, EveryKindDrawsAsPlainCanvasCallsAtEachZoom) {
  Make(200, 150, 48, 36);
  auto checker = test::Make24(5, 4, [](int32_t x, int32_t y) {
    return (x + y) % 2 ? TBGRPixel{0, 0, 255} : TBGRPixel{255, 255, 0};
  });
  for (double zoom : {25.0, 100.0, 400.0}) {
    SCOPED_TRACE(zoom);
    View->RemoveAllObjects();
    View->SetZoom(zoom);
    View->SetViewXY(0, 0);
    auto refp = Shot();
    TBitmap& ref = *refp;
    const double zf = zoom / 100;
    const int32_t ox = View->OffsetX(), oy = View->OffsetY();
    auto sx = [&](double X) { return int32_t(std::llround(X * zf + ox)); };
    auto sy = [&](double Y) { return int32_t(std::llround(Y * zf + oy)); };
    auto pw = [&](int32_t W) { return std::max(1, int32_t(std::trunc(W * zf))); };

    TIMVObject line = Obj(imvkLine, 2, 2, 40, 10, clRed);
    line.PenWidth = 2;
    line.StartShape = 2;
    line.EndShape = 1;
    line.ShapeWidth = 4;
    line.ShapeHeight = 6;
    View->AddNewObject(line);
    TIMVObject box = Obj(imvkBox, 20, 30, 5, 15, clBlue);  // given unordered
    box.BrushStyle = bsSolid;
    box.BrushColor = clYellow;
    View->AddNewObject(box);
    View->AddNewObject(Obj(imvkEllipse, 22, 15, 40, 32, clGreen));
    TIMVObject arc = Obj(imvkArc, 10, 5, 30, 25, clFuchsia);
    arc.ArcEnd = std::numbers::pi / 2;
    View->AddNewObject(arc);
    const int32_t bmp = View->AddNewObject(Obj(imvkBitmap, 30, 20, 45, 33));
    View->SetObjBitmap(bmp, checker.get());
    TIMVObject text = Obj(imvkText, 2, 20, 20, 34);
    text.Text = "Ab";
    View->AddNewObject(text);
    TIMVObject poly = Obj(imvkPolyline, 0, 0, 0, 0, clTeal);
    const int32_t hp = View->AddNewObject(poly);
    View->SetObjPoints(hp, {{1, 30}, {10, 35}, {20, 31}});
    TIMVObject hidden = Obj(imvkBox, 0, 0, 47, 35, clRed);
    hidden.Flags &= uint8_t(~imvfVisible);
    View->AddNewObject(hidden);
    auto gotp = Shot();
    TBitmap& got = *gotp;

    TCanvas& c = ref.Canvas();
    c.Pen().SetColor(clRed);
    c.Pen().SetWidth(pw(2));
    c.MoveTo(sx(2), sy(2));
    c.LineTo(sx(40), sy(10));
    c.Pen().SetWidth(1);
    c.Brush().SetColor(clRed);
    c.Brush().SetStyle(bsSolid);
    for (const auto& tri : {ArrowTriangle(sx(40), sy(10), sx(2), sy(2), 2, 4 * zf, 6 * zf),
                            ArrowTriangle(sx(2), sy(2), sx(40), sy(10), 1, 4 * zf, 6 * zf)}) {
      std::vector<TPoint> q;
      for (const auto& p : tri) q.push_back(TPoint{int32_t(std::llround(p.first)), int32_t(std::llround(p.second))});
      c.Polygon(q);
    }
    c.Pen().SetColor(clBlue);
    c.Pen().SetWidth(pw(1));
    c.Brush().SetColor(clYellow);
    c.Rectangle(sx(5), sy(15), sx(21), sy(31));
    c.Brush().SetStyle(bsClear);
    c.Pen().SetColor(clGreen);
    c.Ellipse(sx(22), sy(15), sx(41), sy(33));
    c.Pen().SetColor(clFuchsia);
    const double hw = 10.5, cx = 20.5, cy = 15.5;
    c.Arc(sx(10), sy(5), sx(31), sy(26), sx(cx + hw), sy(cy), sx(cx + std::cos(std::numbers::pi / 2) * hw),
          sy(cy + hw));
    c.StretchDraw(Rect(sx(30), sy(20), sx(46), sy(34)), *checker);
    c.Pen().SetColor(clBlack);
    c.Rectangle(sx(2), sy(20), sx(21), sy(35));
    c.Font().SetName("Arial");
    c.Font().SetHeight(std::min(-1, int32_t(std::trunc(-11 * zf))));
    c.Font().SetStyle(TFontStyles{});
    c.Font().SetColor(clBlack);
    const TSize ext = c.TextExtent("Ab");
    const int32_t ty = (sy(35) - sy(20) - ext.cy) >> 1;
    c.TextRectAngle(Rect(sx(2), sy(20), sx(21), sy(35)), sx(2), sy(20) + ty, 0, "Ab");
    c.Pen().SetColor(clTeal);
    c.Polyline(std::vector<TPoint>{{sx(1), sy(30)}, {sx(10), sy(35)}, {sx(20), sy(31)}});

    SavePng(got, "objects_" + std::to_string(int(zoom)));
    SavePng(ref, "reference_" + std::to_string(int(zoom)));
    EXPECT_EQ(Differences(got, ref), 0);
    // The picture itself is untouched.
    EXPECT_EQ(Px(View->Bitmap(), 10, 20).b, 128);
  }
}

TEST_F(VectTest, RulersShowTheirTicksAndLength) {
  Make(300, 100, 300, 100);
  View->SetDpi(100, 100);
  TIMVObject r = Obj(imvkRuler, 10, 50, 110, 50, clBlack);
  r.RulerUnit = imuCENTIMETERS;
  r.RulerType = imvrGraduated;
  const int32_t h = View->AddNewObject(r);
  EXPECT_NEAR(View->RulerLength(h), 2.54, 1e-12);
  auto gotp = Shot();
  SavePng(*gotp, "ruler_graduated");
  // Ticks every millimetre across the line: 12 pixels at whole centimetres, 6 between.
  auto dark = [&](int32_t X, int32_t Y) { return Px(*gotp, X, Y).r < 64; };
  const double step = 100 / 25.4;  // pixels per millimetre
  EXPECT_TRUE(dark(10, 50 - 5));
  EXPECT_TRUE(dark(int32_t(std::llround(10 + 10 * step)), 50 + 5));
  EXPECT_FALSE(dark(int32_t(std::llround(10 + 3 * step)), 50 + 5));
  EXPECT_TRUE(dark(int32_t(std::llround(10 + 3 * step)), 50 + 2));
  EXPECT_FALSE(dark(int32_t(std::llround(10 + 3 * step)) + 2, 50 + 2));
  // With a label: the end ticks and a text above the middle.
  View->SetObjRulerType(h, imvrLabelMiddle);
  gotp = Shot();
  SavePng(*gotp, "ruler_label");
  int32_t ink = 0;
  for (int32_t y = 30; y < 48; ++y)
    for (int32_t x = 30; x < 90; ++x) ink += dark(x, y);
  EXPECT_GT(ink, 20);
  EXPECT_TRUE(dark(110, 46));
}

TEST_F(VectTest, BitmapObjectsBlendThroughTheirMaskAndMergeOnlyWhenAsked) {
  Make(100, 80, 100, 80);
  auto white = test::Make24(10, 10, [](int32_t, int32_t) { return TBGRPixel{255, 255, 255}; });
  TIMMask half;
  half.AllocateBits(10, 10, 8);
  half.Fill(128);
  const int32_t h = View->AddNewObject(Obj(imvkBitmap, 10, 10, 19, 19));
  View->SetObjBitmap(h, white.get(), &half);
  auto gotp = Shot();
  EXPECT_EQ(Px(*gotp, 15, 15).g, 128 + (255 - 128) * 128 / 256);
  EXPECT_EQ(Px(*gotp, 25, 15).g, 128);
  // DrawTo renders picture and objects into a target: the way to merge them.
  TBitmap target(100, 80, pf24bit);
  View->DrawTo(target);
  EXPECT_EQ(Px(target, 15, 15).g, 191);
  EXPECT_EQ(Px(View->Bitmap(), 15, 15).g, 128);  // the view's own picture stays as it was
  // PaintTo stretches without alpha.
  View->PaintTo(target);
  EXPECT_EQ(Px(target, 15, 15).g, 255);
  // An object without a picture shows its box and diagonals.
  View->SetObjBitmap(h, nullptr);
  EXPECT_EQ(View->ObjBitmap(h), nullptr);
  gotp = Shot();
  EXPECT_EQ(Px(*gotp, 15, 15).g, 0);
  EXPECT_EQ(Px(*gotp, 16, 15).g, 128);
  // The template starts with a stock icon of 64 x 64.
  ASSERT_NE(View->ObjBitmap(kIMVTemplate), nullptr);
  EXPECT_EQ(View->ObjBitmap(kIMVTemplate)->Width(), 64);
  EXPECT_FALSE(View->SetObjBitmapICO(h, "NO_SUCH_ICON", 32, 32));
}

TEST_F(VectTest, FarAwayObjectsHugePensAndArrowsDrawClipped) {
  Make(200, 150, 200, 150);
  for (double zoom : {100.0, 400.0, 1e6}) {
    SCOPED_TRACE(zoom);
    View->RemoveAllObjects();
    View->SetZoom(zoom);
    View->SetViewXY(0, 0);
    TIMVObject filled = Obj(imvkBox, -2000000000, -2000000000, 2000000000, 2000000000, clBlue);
    filled.BrushStyle = bsSolid;
    filled.BrushColor = clYellow;
    View->AddNewObject(filled);
    View->AddNewObject(Obj(imvkEllipse, -2000000000, -2000000000, 2000000000, 2000000000, clGreen));
    TIMVObject arc = Obj(imvkArc, -2000000000, -2000000000, 2000000000, 2000000000, clGreen);
    arc.ArcEnd = 1;
    View->AddNewObject(arc);
    View->AddNewObject(Obj(imvkText, -2000000000, -2000000000, 2000000000, 2000000000));
    const int32_t hp = View->AddNewObject(Obj(imvkPolyline, 0, 0, 0, 0));
    View->SetObjPoints(hp, {{-2000000000, 5}, {2000000000, 5}, {0, 2000000000}});
    View->AddNewObject(Obj(imvkBitmap, -2000000000, -2000000000, 2000000000, 2000000000));
    View->AddNewObject(Obj(imvkRuler, -2000000000, 7, 2000000000, 7));
    TIMVObject line = Obj(imvkLine, -2000000000, -2000000000, 2000000000, 2000000000, clRed);
    line.StartShape = line.EndShape = 1;
    line.ShapeWidth = line.ShapeHeight = 2000000000;
    line.PenWidth = 2000000000;
    View->AddNewObject(line);
    auto gotp = Shot();
    TBitmap& got = *gotp;
    // The wide red pen through the window's diagonal covers its middle.
    EXPECT_EQ(Px(got, 100, 75).r, 255);
    EXPECT_EQ(Px(got, 100, 75).g, 0);
    EXPECT_GE(View->FindObjectAt(10, 10), 0);
  }
}

// ---- mouse ----

TEST_F(VectTest, MouseMakesEachKind) {
  Make(200, 150, 200, 150);
  int newObjects = 0, changes = 0, lastNew = -9;
  View->OnNewObject = [&](TObject*, int32_t h) { ++newObjects, lastNew = h; };
  View->OnVectorialChanged = [&](TObject*) { ++changes; };
  struct Case {
    TIMMouseInteractVt Mode;
    TIMVKind Kind;
  };
  for (const Case& c : {Case{miVtPutLine, imvkLine}, Case{miVtPutBox, imvkBox}, Case{miVtPutEllipse, imvkEllipse},
                        Case{miVtPutBitmap, imvkBitmap}, Case{miVtPutRuler, imvkRuler}}) {
    View->SetMouseInteractVt(c.Mode);
    Drag(60, 40, 20, 10);
    const int32_t h = View->ObjectsCount() - 1;
    EXPECT_EQ(lastNew, h);
    EXPECT_EQ(View->ObjKind(h), c.Kind);
    const TRect b = View->ObjBox(h);
    if (c.Kind == imvkLine || c.Kind == imvkRuler) EXPECT_EQ(b, (TRect{60, 40, 20, 10}));
    else EXPECT_EQ(b, (TRect{20, 10, 60, 40}));
    EXPECT_EQ(View->SelObjectsCount(), 1);
    EXPECT_TRUE(View->IsSelObject(h));
  }
  EXPECT_EQ(newObjects, 5);
  EXPECT_EQ(changes, 5);
  // The new bitmap object shares the template's picture.
  EXPECT_EQ(View->ObjBitmapIndex(3), View->ObjBitmapIndex(kIMVTemplate));

  // A click without moving puts a box of the template's size at the point; Ctrl makes circles.
  View->SetMouseInteractVt(miVtPutBox);
  Click(100, 100);
  EXPECT_EQ(View->ObjBox(kIMVLast), (TRect{100, 100, 140, 130}));
  View->SetMouseInteractVt(miVtPutEllipse);
  Drag(10, 10, 50, 30, MK_CONTROL);
  EXPECT_EQ(View->ObjBox(kIMVLast), (TRect{10, 10, 50, 50}));

  // A text object goes straight into editing; Enter stores the text.
  View->SetMouseInteractVt(miVtPutText);
  Drag(10, 100, 90, 130);
  const int32_t ht = View->ObjectsCount() - 1;
  EXPECT_EQ(View->TextEditHandle(), ht);
  ASSERT_NE(View->TextEditor(), nullptr);
  EXPECT_TRUE(View->TextEditor()->Visible());
  View->TextEditor()->SetText("Hallo");
  uint16_t key = VK_RETURN;
  View->TextEditor()->OnKeyDown(View->TextEditor(), key, TShiftState{});
  EXPECT_EQ(View->TextEditHandle(), -1);
  EXPECT_EQ(View->ObjText(ht), "Hallo");
  // F2 edits the selected text again; Escape keeps the old text.
  View->SelectObject(ht);
  View->Perform(WM_KEYDOWN, VK_F2, 0);
  EXPECT_EQ(View->TextEditHandle(), ht);
  View->TextEditor()->SetText("Weg");
  key = VK_ESCAPE;
  View->TextEditor()->OnKeyDown(View->TextEditor(), key, TShiftState{});
  EXPECT_EQ(View->ObjText(ht), "Hallo");

  // Polyline: clicks add points, a double-click ends it.
  View->SetMouseInteractVt(miVtPutPolyLine);
  const int32_t before = newObjects;
  Click(10, 10);
  Click(50, 10);
  Click(50, 50);
  Mouse(WM_LBUTTONDBLCLK, 50, 50, MK_LBUTTON);
  Up(50, 50);
  const int32_t hp = View->ObjectsCount() - 1;
  EXPECT_EQ(View->ObjKind(hp), imvkPolyline);
  EXPECT_EQ(View->ObjPoints(hp), (std::vector<TPoint>{{10, 10}, {50, 10}, {50, 50}}));
  EXPECT_EQ(View->ObjBox(hp), (TRect{10, 10, 50, 50}));
  EXPECT_EQ(View->ObjBox(kIMVTemplate), (TRect{10, 10, 50, 50}));
  EXPECT_EQ(newObjects, before + 1);
  EXPECT_TRUE(View->IsSelObject(hp));

  // Measuring a dragged length: no object, the length at the end (100 dpi, inches).
  View->SetDpi(100, 100);
  View->SetMUnit(imuINCHES);
  View->SetMouseInteractVt(miVtDragLen);
  double len = -1;
  View->OnDragLenEnd = [&](TObject*, double V) { len = V; };
  const int32_t count = View->ObjectsCount();
  Down(10, 10);
  Move(40, 50);
  EXPECT_EQ(View->MeasureHint(), "0.50 inches");
  Up(40, 50);
  EXPECT_NEAR(len, 0.5, 1e-12);
  EXPECT_EQ(View->ObjectsCount(), count);
  EXPECT_TRUE(View->MeasureHint().empty());
}

TEST_F(VectTest, EditModeSelectsMovesAndSizesByGrips) {
  Make(200, 150, 200, 150);
  TIMVObject b = Obj(imvkBox, 20, 20, 60, 40);
  b.BrushStyle = bsSolid;
  const int32_t a = View->AddNewObject(b);
  const int32_t c = View->AddNewObject(Obj(imvkLine, 100, 100, 150, 120));
  View->SetMouseInteractVt(miVtEditObject);
  int clicks = 0, selects = 0;
  View->OnObjectClick = [&](TObject*, int32_t) { ++clicks; };
  View->OnSelectObject = [&](TObject*) { ++selects; };
  Click(30, 30);
  EXPECT_TRUE(View->IsSelObject(a));
  EXPECT_EQ(clicks, 1);
  Click(110, 104, MK_SHIFT);  // Shift adds
  EXPECT_EQ(View->SelObjectsCount(), 2);
  Click(110, 104, MK_SHIFT);  // and removes
  EXPECT_FALSE(View->IsSelObject(c));
  Click(180, 10);  // without a distance limit the nearest object is hit, however far
  EXPECT_TRUE(View->IsSelObject(c));
  View->SetMaxSelectionDistance(4);
  Click(180, 10);  // nothing within reach: the selection clears
  EXPECT_EQ(View->SelObjectsCount(), 0);
  View->SetMaxSelectionDistance(-1);
  EXPECT_GE(selects, 4);

  // The centre grip moves, a corner grip sizes (the box is ordered at the end).
  View->SelectObject(a);
  Drag(40, 30, 50, 45);
  EXPECT_EQ(View->ObjBox(a), (TRect{30, 35, 70, 55}));
  Drag(70, 55, 20, 20);  // corner x2, y2 past x1, y1
  EXPECT_EQ(View->ObjBox(a), (TRect{20, 20, 30, 35}));
  // Alt keeps the width-to-height ratio of the box at the start of the drag.
  View->SetObjBox(a, 20, 20, 60, 40);
  View->ForceAltKey = true;
  Drag(60, 40, 80, 41);
  View->ForceAltKey = false;
  EXPECT_EQ(View->ObjBox(a), (TRect{20, 20, 80, 50}));
  // Flags: a fixed object neither moves nor sizes; one not selectable is not picked.
  View->SetObjFlags(a, imvfSelectable | imvfVisible);
  Drag(50, 35, 70, 45);
  Drag(80, 50, 100, 70);
  EXPECT_EQ(View->ObjBox(a), (TRect{20, 20, 80, 50}));
  View->SetObjFlags(a, imvfVisible);
  Click(30, 30);
  EXPECT_FALSE(View->IsSelObject(a));
  View->UnSelAllObjects();
  View->SelectObject(a);
  EXPECT_FALSE(View->IsSelObject(a));

  // The move handler may change the offsets.
  View->SetObjFlags(a, 15);
  View->SelectObject(a);
  View->OnObjectMoveResize = [&](TObject*, int32_t, int32_t Grip, int32_t& DX, int32_t& DY) {
    EXPECT_EQ(Grip, 3);
    DX = 0;
    (void)DY;
  };
  Drag(50, 35, 70, 45);
  EXPECT_EQ(View->ObjBox(a), (TRect{20, 30, 80, 60}));
  View->OnObjectMoveResize = nullptr;

  // A rectangle over empty space selects the objects wholly inside it.
  View->UnSelAllObjects();
  Drag(90, 90, 160, 130);
  EXPECT_TRUE(View->IsSelObject(c));
  EXPECT_FALSE(View->IsSelObject(a));

  // A limit on the distance of a click, in screen pixels.
  View->SetMaxSelectionDistance(3);
  EXPECT_EQ(View->FindObjectAt(125, 112), c);  // 1.9 pixels from the line
  EXPECT_EQ(View->FindObjectAt(125, 120), kIMVNone);

  // Over an object without the button: OnObjectOver.
  int over = -1;
  View->OnObjectOver = [&](TObject*, int32_t h) { over = h; };
  Move(125, 110, 0);
  EXPECT_EQ(over, c);
}

TEST_F(VectTest, DraggingPastTheEdgeScrollsAndKeepsTheStartPoint) {
  Make(200, 150, 400, 300);
  View->SetMouseInteractVt(miVtPutBox);
  Down(50, 50);
  Move(120, 80);
  Move(260, 80);  // outside the window: the view scrolls on its own
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (View->ViewX() < 40 && std::chrono::steady_clock::now() < end) Wait(5);
  ASSERT_GE(View->ViewX(), 40);
  const int32_t vx = View->ViewX();
  Up(199, 80);
  EXPECT_FALSE(View->AutoScrolling());
  EXPECT_EQ(View->ObjBox(kIMVLast), (TRect{50, 50, 200 + vx, 80}));  // the last move, at the window's edge
}

TEST_F(VectTest, RemovingDuringADragLeavesNothingDangling) {
  Make(200, 150, 200, 150);
  const int32_t a = View->AddNewObject(Obj(imvkBox, 20, 20, 60, 40));
  const int32_t b = View->AddNewObject(Obj(imvkBox, 80, 20, 120, 40));
  View->SetMouseInteractVt(miVtEditObject);
  View->SelectObject(a);
  View->SelectObject(b);
  // The handler removes the other selected object in the middle of the drag.
  View->OnObjectMoveResize = [&](TObject*, int32_t h, int32_t, int32_t&, int32_t&) {
    if (h == a) View->RemoveObject(b);
  };
  Drag(40, 30, 50, 40);
  EXPECT_EQ(View->SelObjectsCount(), 1);
  EXPECT_EQ(View->ObjKind(b), imvkNone);
  EXPECT_EQ(View->ObjBox(a), (TRect{30, 30, 70, 50}));
  // Everything removed from the handler: the drag ends quietly.
  View->OnObjectMoveResize = [&](TObject*, int32_t, int32_t, int32_t&, int32_t&) { View->RemoveAllObjects(); };
  Drag(50, 40, 60, 55);
  EXPECT_EQ(View->ObjectsCount(), 0);
  EXPECT_EQ(View->SelObjectsCount(), 0);
  Shot();
  // A selected object removed directly; a click handler that removes what it was given.
  View->OnObjectMoveResize = nullptr;
  const int32_t c = View->AddNewObject(Obj(imvkBox, 20, 20, 60, 40));
  View->SelectObject(c);
  View->RemoveObject(c);
  EXPECT_EQ(View->SelObjectsCount(), 0);
  const int32_t d = View->AddNewObject(Obj(imvkBox, 20, 20, 60, 40));
  View->OnObjectClick = [&](TObject*, int32_t h) { View->RemoveObject(h); };
  Click(20, 30);
  EXPECT_EQ(View->SelObjectsCount(), 0);
  EXPECT_EQ(View->ObjKind(d), imvkNone);
  Shot();
}

// ---- measuring ----

TEST_F(VectTest, SelectionsMeasureInPhysicalUnits) {
  Make(300, 200, 300, 200);
  struct Case {
    TIMUnits Unit;
    int32_t Dpi;
    double PerPixel;
  };
  View->Select(10, 10, 109, 59);
  const TPoint* p = View->GetPolySelPoints();
  const double w = p[1].X - p[0].X, h = p[2].Y - p[1].Y;
  for (const Case& c : {Case{imuINCHES, 100, 0.01}, Case{imuCENTIMETERS, 254, 0.01}, Case{imuMILLIMETERS, 127, 0.2},
                        Case{imuPIXELS, 300, 1}}) {
    View->SetDpi(c.Dpi, c.Dpi);
    View->SetMUnit(c.Unit);
    EXPECT_NEAR(View->GetSelectionLen(), 2 * (w + h) * c.PerPixel, 1e-9) << c.Unit;
    EXPECT_NEAR(View->GetSelectionArea(), w * h * c.PerPixel * c.PerPixel, 1e-9) << c.Unit;
  }
  // The scale multiplies both.
  View->SetScale(2, 2);
  EXPECT_NEAR(View->GetSelectionLen(), 2 * (w + h) * 2, 1e-9);
  View->SetScale(1, 1);
  // A resolution below 1 (the view refuses 0 itself) uses the default one.
  const int32_t saved = IODefaultDpi();
  SetIODefaultDpi(50);
  View->SetMUnit(imuINCHES);
  View->SetDpi(-1, -1);
  EXPECT_NEAR(View->GetSelectionLen(), 2 * (w + h) / 50, 1e-9);
  SetIODefaultDpi(saved);

  // A circle dragged with the mouse measures close to pi r squared.
  View->SetDpi(100, 100);
  View->SetMUnit(imuINCHES);
  View->SetMouseInteract({miSelectCircle});
  View->ForceAltKey = true;  // a circle
  Drag(150, 100, 250, 100);
  View->ForceAltKey = false;
  EXPECT_NEAR(View->GetSelectionArea(), std::numbers::pi, 0.03);
  EXPECT_NEAR(View->GetSelectionLen(), 2 * std::numbers::pi, 0.03);

  // A polygon being drawn: the hint follows the mouse with the area.
  View->SetMouseInteract({miSelectPolygon});
  View->SetMouseInteractVt(miVtArea);
  View->SetMUnit(imuPIXELS);
  std::string seen;
  View->OnMeasureHint = [&](TObject*, std::string& Text, double) { seen = Text; };
  Click(10, 10);
  Click(110, 10);
  Click(110, 60);
  Move(10, 60, 0);
  EXPECT_EQ(seen, "2500.00 pixels\xC2\xB2");  // the triangle so far
}

// ---- copying ----

TEST_F(VectTest, CopiesGoToAnotherViewWithTheirPictures) {
  Make(200, 150, 200, 150);
  auto* other = new TImagerVect(Form.get());
  other->SetParent(Form.get());
  auto pic = test::Make24(6, 6, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 40), uint8_t(y * 40), 9}; });
  TIMVObject t = Obj(imvkText, 1, 2, 30, 40, clRed);
  t.Text = "x";
  t.Name = "name";
  View->AddNewObject(t);
  const int32_t b1 = View->AddNewObject(Obj(imvkBitmap, 0, 0, 5, 5));
  View->SetObjBitmap(b1, pic.get());
  const int32_t b2 = View->AddNewObject(Obj(imvkBitmap, 10, 0, 15, 5));
  View->SetObjBitmap(b2, pic.get());
  EXPECT_EQ(View->ObjBitmapIndex(b1), View->ObjBitmapIndex(b2));
  View->CopyObjectsTo(*other);
  ASSERT_EQ(other->ObjectsCount(), 3);
  EXPECT_EQ(other->ObjText(0), "x");
  EXPECT_EQ(other->ObjName(0), "name");
  EXPECT_EQ(other->ObjBox(0), (TRect{1, 2, 30, 40}));
  EXPECT_EQ(other->ObjBitmapIndex(1), other->ObjBitmapIndex(2));  // shared in the new view's table too
  ASSERT_NE(other->ObjBitmap(1), View->ObjBitmap(b1));
  EXPECT_EQ(Px(*other->ObjBitmap(1), 5, 5).b, 200);
  // Removing the originals leaves the copies whole.
  View->RemoveAllObjects();
  EXPECT_EQ(Px(*other->ObjBitmap(2), 5, 5).b, 200);
  other->CopyObjectTo(0, *View);
  EXPECT_EQ(View->ObjectsCount(), 1);
  EXPECT_EQ(View->ObjText(0), "x");
  // Without sharing, each copy holds its own picture.
  other->SetShareBitmaps(false);
  View->SetShareBitmaps(false);
  View->CopyObjectTo(0, *other);
  other->SetObjBitmap(3, pic.get());
  other->SetObjBitmap(0, pic.get());
  EXPECT_NE(other->ObjBitmapIndex(3), other->ObjBitmapIndex(0));
  // Assign takes the objects and the scale.
  other->SetScale(3, 4);
  View->Assign(other);
  EXPECT_EQ(View->ObjectsCount(), 4);
  EXPECT_EQ(View->ScaleY(), 4);
  View->Assign(nullptr);
  EXPECT_EQ(View->ObjectsCount(), 0);
}

TEST_F(VectTest, TextFontsFallBackToTheTemplate) {
  Make(200, 100, 200, 100);
  TIMVObject t = Obj(imvkText, 10, 10, 90, 40);
  t.Text = "Kavrelin";
  t.Font = TIMVFont{};
  const int32_t a = View->AddNewObject(t);
  auto withArial = Shot();
  TIMVFont empty;
  empty.FaceName.clear();
  View->SetObjFont(a, empty);
  EXPECT_EQ(View->ObjFont(a).FaceName, "Arial");
  EXPECT_EQ(Differences(*Shot(), *withArial), 0);
  // Without a font record at all: the template's font.
  t.Font.reset();
  View->RemoveAllObjects();
  View->AddNewObject(t);
  EXPECT_EQ(Differences(*Shot(), *withArial), 0);
  // Height 0: the text takes the box height; it draws something and stays inside the box.
  TIMVFont zero;
  zero.Height = 0;
  View->SetObjFont(0, zero);
  auto bigp = Shot();
  TBitmap& big = *bigp;
  int32_t ink = 0, outside = 0;
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 200; ++x) {
      const bool dark = Px(big, x, y).r < 64;
      const bool in = x >= 10 && x <= 90 && y >= 10 && y <= 40;
      (in ? ink : outside) += dark;
    }
  EXPECT_GT(ink, 200);
  EXPECT_EQ(outside, 0);
  // A font from the canvas: its colour becomes the pen colour.
  TFont f;
  f.SetName("Arial");
  f.SetColor(clRed);
  f.SetStyle(TFontStyles{fsBold});
  View->SetObjFont(0, f);
  EXPECT_EQ(View->ObjPenColor(0), clRed);
  EXPECT_EQ(View->ObjFont(0).Weight, 700);
}

}  // namespace
}  // namespace kv
