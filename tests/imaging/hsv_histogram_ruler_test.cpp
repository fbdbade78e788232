// The colour picker, histogram and ruler controls, headless: rendered
// pictures read back at known places, synthetic mouse messages, events.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "imaging/processing/colour_convert.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/histogram_box.h"
#include "imaging/views/hsv_box.h"
#include "imaging/views/ruler_box.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 400, 400);
    Form->Show();
    Pump();
  }
  template <class T>
  T* Make(int32_t W, int32_t H) {
    auto* c = new T(Form.get());
    c->SetParent(Form.get());
    c->SetBounds(0, 0, W, H);
    Pump();
    return c;
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  static void Mouse(TControl* C, UINT Msg, int32_t X, int32_t Y, uint32_t Keys) {
    C->Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(int16_t(X), int16_t(Y))));
  }
  // The pixel as Paint put it on the screen buffer.
  static TColor Shown(TCustomControl* C, int32_t X, int32_t Y) {
    C->Repaint();
    const auto* row = static_cast<const uint8_t*>(C->BackBuffer().ScanLine(Y)) + 4 * X;
    return static_cast<TColor>(RGB(row[2], row[1], row[0]));
  }
  static TColor Hsv(int32_t H, int32_t S, int32_t V) {
    TBGRPixel p;
    HSVToRGB(p, H, S, V);
    return static_cast<TColor>(RGB(p.r, p.g, p.b));
  }
  static TColor Inverted(TColor C) { return static_cast<TColor>(~uint32_t(C) & 0xFFFFFF); }
  std::unique_ptr<TForm> Form;
};

// ---- HSV box ----

TEST_F(ControlTest, HsvSettersClampAndComputeColourWithoutEvent) {
  auto* box = Make<THSVBox>(105, 105);
  int changes = 0;
  box->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(box->Hue(), 0);
  EXPECT_EQ(box->Color(), TColor(0));
  box->SetHue(400);
  box->SetSat(-5);
  box->SetVal(150);
  EXPECT_EQ(box->Hue(), 359);
  EXPECT_EQ(box->Sat(), 0);
  EXPECT_EQ(box->Val(), 99);
  box->SetHue(120);
  box->SetSat(99);
  EXPECT_EQ(box->Color(), Hsv(120, 99, 99));
  EXPECT_EQ(box->Green(), GetGValue(box->Color()));
  EXPECT_EQ(changes, 0);

  box->SetRGB(255, 0, 0);
  EXPECT_EQ(box->Hue(), 0);
  EXPECT_EQ(box->Sat(), 99);
  EXPECT_EQ(box->Val(), 99);
  box->SetColor(clBlue);
  EXPECT_EQ(box->Blue(), 255);
  EXPECT_EQ(box->Red(), 0);
  EXPECT_EQ(box->Color(), clBlue);
  box->SetHueBarWidth(-3);
  box->SetBarsDistance(-1);
  EXPECT_EQ(box->HueBarWidth(), 20);
  EXPECT_EQ(box->BarsDistance(), 5);
  EXPECT_EQ(changes, 0);
}

TEST_F(ControlTest, HsvRendersSquareGapBarAndInvertingIndicators) {
  auto* box = Make<THSVBox>(105, 105);
  box->SetBackground(clFuchsia);
  box->SetHue(200);
  box->SetSat(50);
  box->SetVal(50);
  // Square width 80; rows count from the bottom.
  EXPECT_EQ(Shown(box, 0, 104), Hsv(200, 0, 0));
  EXPECT_EQ(Shown(box, 79, 0), Hsv(200, Trunc32(79 * 100.0 / 80), Trunc32(100.0 / 105 * 104)));
  EXPECT_EQ(Shown(box, 40, 20), Hsv(200, 50, Trunc32(100.0 / 105 * 84)));
  EXPECT_EQ(Shown(box, 82, 50), clFuchsia);
  EXPECT_EQ(Shown(box, 100, 0), Hsv(Trunc32(360.0 / 105 * 104), 99, 99));
  // Hue indicator: y = round(104 x 159 / 360) = 46, outline rows 44 and 47.
  EXPECT_EQ(Shown(box, 90, 44), Inverted(Hsv(Trunc32(360.0 / 105 * 60), 99, 99)));
  EXPECT_EQ(Shown(box, 90, 45), Hsv(Trunc32(360.0 / 105 * 59), 99, 99));
  // Square indicator at x = round(50 / 99 x 79) = 40, y = 105 - round(104 x 50 / 99) = 52.
  EXPECT_EQ(Shown(box, 37, 50), Inverted(Hsv(200, Trunc32(37 * 100.0 / 80), Trunc32(100.0 / 105 * 54))));
  // Moving the indicator erases it at the old place.
  box->SetVal(10);
  EXPECT_EQ(Shown(box, 37, 50), Hsv(200, Trunc32(37 * 100.0 / 80), Trunc32(100.0 / 105 * 54)));
}

TEST_F(ControlTest, HsvDragsSquareAndHueBarWithClamping) {
  auto* box = Make<THSVBox>(105, 105);
  std::vector<std::string> log;
  box->OnChange = [&](TObject*) {
    log.push_back(std::to_string(box->Hue()) + "/" + std::to_string(box->Sat()) + "/" + std::to_string(box->Val()));
  };
  Mouse(box, WM_LBUTTONDOWN, 40, 52, MK_LBUTTON);
  Mouse(box, WM_MOUSEMOVE, -10, 300, MK_LBUTTON);  // held to the square's corner
  Mouse(box, WM_MOUSEMOVE, 200, -4, MK_LBUTTON);
  Mouse(box, WM_LBUTTONUP, 200, -4, 0);
  Mouse(box, WM_MOUSEMOVE, 10, 10, 0);  // released: no pick
  Mouse(box, WM_LBUTTONDOWN, 82, 10, MK_LBUTTON);  // the gap grabs nothing
  Mouse(box, WM_MOUSEMOVE, 10, 10, MK_LBUTTON);
  Mouse(box, WM_LBUTTONUP, 10, 10, 0);
  Mouse(box, WM_LBUTTONDOWN, 95, 0, MK_LBUTTON);
  Mouse(box, WM_MOUSEMOVE, 0, 52, MK_LBUTTON);  // held to the bar
  Mouse(box, WM_LBUTTONUP, 0, 52, 0);
  // 99 - round(52 / 104 x 99) = 49; the bar: 359 - round(52 / 104 x 359) = 179 (half to even).
  EXPECT_EQ(log, (std::vector<std::string>{"0/50/49", "0/0/0", "0/99/99", "359/99/99", "179/99/99"}));
  EXPECT_EQ(box->Color(), Hsv(179, 99, 99));
  EXPECT_EQ(Shown(box, 0, 0), Hsv(179, 0, Trunc32(100.0 / 105 * 104)));
}

// ---- histogram box ----

// 16 x 4: red level 0 on 32 pixels, 128 on 16, 255 on 16.
std::unique_ptr<TBitmap> HistogramPicture() {
  return test::Make24(16, 4, [](int32_t x, int32_t y) {
    const uint8_t r = x < 8 ? 0 : (y < 2 ? 128 : 255);
    return TBGRPixel{uint8_t(x * 16), uint8_t(y * 60), r};
  });
}

TEST_F(ControlTest, HistogramCountsMatchImageMagick) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  auto pic = HistogramPicture();
  test::TScratchFolder dir;
  const std::string path = dir.Path() + "/h.ppm";
  test::WritePnm(path, *pic);
  std::istringstream out(test::RunCapture("convert " + path + " -format %c histogram:info:"));
  std::map<int, int> red;
  std::string line;
  while (std::getline(out, line)) {
    int count = 0, r = 0;
    if (std::sscanf(line.c_str(), " %d: ( %d", &count, &r) == 2) red[r] += count;
  }
  TImagerProc proc(nullptr);
  proc.SetAttachedBitmap(pic.get());
  TIMHistogram h;
  proc.GetHistogram(h);
  ASSERT_EQ(red.size(), 3u);
  for (int level = 0; level < 256; ++level) EXPECT_EQ(h[size_t(level)].Red, red.count(level) ? red[level] : 0) << level;
}

TEST_F(ControlTest, HistogramDrawsBarsFromTheAttachedImage) {
  auto* box = Make<THistogramBox>(256, 100);
  EXPECT_EQ(box->Width(), 256);
  EXPECT_EQ(Shown(box, 10, 50), clWhite);  // nothing attached: background only
  EXPECT_EQ(Shown(box, 0, 99), clWhite);

  auto pic = HistogramPicture();
  TImagerProc proc(nullptr);
  proc.SetAttachedBitmap(pic.get());
  box->SetLabels({});
  box->SetCompBar(false);
  box->SetHistogramKind({hkRed});
  box->SetAttachedImagerProc(&proc);
  EXPECT_EQ(box->HistogramXPos(), 0);
  // max 32: level 0 fills the height; 128 and 255 reach round(16 / 32 x 100) = 50.
  EXPECT_EQ(Shown(box, 0, 0), clRed);
  EXPECT_EQ(Shown(box, 128, 49), clRed);
  EXPECT_EQ(Shown(box, 128, 48), clWhite);
  EXPECT_EQ(Shown(box, 255, 49), clRed);
  // An empty level still shows the bottom pixel.
  EXPECT_EQ(Shown(box, 1, 99), clRed);
  EXPECT_EQ(Shown(box, 1, 98), clWhite);

  box->SetHistogramStyle(hsLines);
  EXPECT_EQ(Shown(box, 128, 49), clRed);  // a vertex at 100 - 50 - 1
  EXPECT_EQ(Shown(box, 64, 60), clWhite);

  // The component bar: column e in the selected components at round(e / 256 x 256).
  box->SetHistogramStyle(hsBars);
  box->SetHistogramKind({hkGray});
  box->SetCompBar(true);
  EXPECT_EQ(Shown(box, 128, 99), TColor(RGB(128, 128, 128)));
  box->SetHistogramKind({hkGreen});
  EXPECT_EQ(Shown(box, 200, 99), TColor(RGB(0, 200, 0)));

  // Labels move the origin right by the width of the largest count.
  box->SetLabels({hlVertical});
  EXPECT_GT(box->HistogramXPos(), 2);

  // Freeing the component clears the link and the picture.
  box->SetLabels({});
  box->SetCompBar(false);
  box->SetHistogramKind({hkRed});
  {
    auto temp = std::make_unique<TImagerProc>(nullptr);
    temp->SetAttachedBitmap(pic.get());
    box->SetAttachedImagerProc(temp.get());
    EXPECT_EQ(Shown(box, 0, 0), clRed);
  }
  EXPECT_EQ(box->AttachedImagerProc(), nullptr);
  EXPECT_EQ(Shown(box, 0, 0), clWhite);
}

TEST_F(ControlTest, HistogramLevelLabelsShortenTheAreaAndDrawTheAxis) {
  auto* box = Make<THistogramBox>(256, 100);
  auto pic = HistogramPicture();
  TImagerProc proc(nullptr);
  proc.SetAttachedBitmap(pic.get());
  box->Font().SetColor(clBlack);
  box->SetCompBar(false);
  box->SetLabels({hlHorizontal});
  box->SetHistogramKind({hkRed});
  box->SetAttachedImagerProc(&proc);
  TBitmap probe(1, 1, pf24bit);
  probe.Canvas().Font().Assign(box->Font());
  const int32_t h = 100 - probe.Canvas().TextHeight("0") - 2;
  EXPECT_EQ(Shown(box, 100, h), clBlack);  // the axis along the bottom
  EXPECT_EQ(Shown(box, 0, h - 1), clRed);
  EXPECT_EQ(Shown(box, 128, h - 1 - 50), clWhite);  // half of the shorter area
  EXPECT_EQ(Shown(box, 128, h - Round32(16.0 / 32 * h)), clRed);
}

// ---- ruler box ----

TEST_F(ControlTest, RulerLabelsInDecimalAndHex) {
  auto* r = Make<TRulerBox>(300, 40);
  EXPECT_EQ(r->LabelText(40), "40");
  EXPECT_EQ(r->LabelText(0.125), "0.125");
  r->SetHexLabels(true);
  EXPECT_EQ(r->LabelText(255), "FF");
  EXPECT_EQ(r->LabelText(-16), "-10");
  EXPECT_EQ(r->LabelText(0), "0");
  EXPECT_EQ(r->LabelText(31.9), "1F");
}

TEST_F(ControlTest, RulerKeepsViewAndGripsInRangeOnlyWithARange) {
  auto* r = Make<TRulerBox>(300, 40);
  std::vector<int> changes;
  r->OnRulerPosChange = [&](TObject*, int32_t g) { changes.push_back(g); };
  r->SetViewPos(-50);
  r->SetGripPos(0, 1e6);
  EXPECT_EQ(r->ViewPos(), -50);  // no range: free
  EXPECT_EQ(r->GetGripPos(0), 1e6);
  r->SetGripPos(3, 5);  // a missing grip: ignored
  EXPECT_EQ(changes, std::vector<int>{0});

  r->SetDotPerUnit(10);  // 30 units visible
  r->SetViewMin(0);
  r->SetViewMax(100);
  EXPECT_EQ(r->ViewPos(), 0);
  r->SetViewPos(90);
  EXPECT_EQ(r->ViewPos(), 70);
  r->SetGripPos(0, 150);
  EXPECT_EQ(r->GetGripPos(0), 100);
  r->SetGripsCount(3);
  r->SetGripPos(2, -4);
  EXPECT_EQ(r->GetGripPos(2), 0);
  EXPECT_EQ(r->GetGripColor(2), clBtnFace);
  EXPECT_EQ(r->GetGripColor(7), TColor(0));
  r->SetDotPerUnit(0);  // refused
  EXPECT_EQ(r->DotPerUnit(), 10);
  r->SetFitInView(true);
  EXPECT_DOUBLE_EQ(r->DotPerUnit(), 3);
  EXPECT_EQ(r->ViewPos(), 0);
}

TEST_F(ControlTest, RulerRendersStripTicksAndGrips) {
  auto* r = Make<TRulerBox>(300, 40);
  r->SetRulerColor(clYellow);
  r->SetBackground(clBlue);
  r->SetGripColor(0, clLime);
  r->SetGripPos(0, 150);
  r->Font().SetColor(clBlack);
  const int32_t t = Trunc32(std::abs(r->Font().Height()) * 1.7) + 3;
  EXPECT_EQ(Shown(r, 145, 0), clYellow);           // between labels 120 and 160
  EXPECT_EQ(Shown(r, 140, t - 1), clBlack);        // a tick at the strip's inner edge
  EXPECT_EQ(Shown(r, 145, t - 1), clYellow);
  EXPECT_EQ(Shown(r, 100, 30), clBlue);
  EXPECT_EQ(Shown(r, 150, 36), clLime);            // inside the triangle
  EXPECT_EQ(Shown(r, 150, 39), clBlack);           // its base line
  EXPECT_EQ(Shown(r, 150 - 6, t + 2), clBlue);     // beside the apex

  r->SetGripsDir(gdDown);
  EXPECT_EQ(Shown(r, 145, 39), clYellow);
  EXPECT_EQ(Shown(r, 150, 3), clLime);

  r->SetBounds(0, 0, 40, 300);
  r->SetRulerDir(rdVertical);
  r->SetGripsDir(gdUp);
  EXPECT_EQ(Shown(r, 0, 145), clYellow);
  EXPECT_EQ(Shown(r, 36, 150), clLime);
  EXPECT_EQ(Shown(r, 30, 100), clBlue);

  r->SetRuler(false);  // the grip reaches across the whole breadth
  EXPECT_EQ(Shown(r, 12, 150), clLime);
}

TEST_F(ControlTest, RulerGripDragClickAndScroll) {
  auto* r = Make<TRulerBox>(300, 40);
  std::vector<std::string> log;
  r->OnRulerPosChange = [&](TObject*, int32_t g) { log.push_back("pos " + std::to_string(g)); };
  r->OnRulerGripClick = [&](TObject*, int32_t g) { log.push_back("click " + std::to_string(g)); };
  r->OnRulerGripDblClick = [&](TObject*, int32_t g) { log.push_back("dbl " + std::to_string(g)); };
  r->OnRulerClick = [&](TObject*, double p) { log.push_back("ruler " + std::to_string(p)); };
  r->SetGripsCount(2);
  r->SetGripPos(0, 100);
  r->SetGripPos(1, 104);  // overlaps grip 0: the later grip is on top
  log.clear();

  Mouse(r, WM_LBUTTONDOWN, 102, 35, MK_LBUTTON);
  Mouse(r, WM_MOUSEMOVE, 152, 20, MK_LBUTTON);  // press offset kept: 104 + 50
  Mouse(r, WM_LBUTTONUP, 152, 20, 0);
  EXPECT_EQ(r->GetGripPos(1), 154);
  EXPECT_EQ(r->GetGripPos(0), 100);
  r->SetDotPerUnit(2);
  r->SetViewPos(10);
  log.clear();
  Mouse(r, WM_LBUTTONDOWN, 250, 35, MK_LBUTTON);
  Mouse(r, WM_LBUTTONUP, 250, 35, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"ruler 135.000000"}));

  // Beyond the end the ruler scrolls one pixel per step and the grip sits one pixel past it.
  r->SetDotPerUnit(10);
  r->SetViewMin(0);
  r->SetViewMax(100);
  r->SetViewPos(0);
  r->SetGripPos(0, 1);
  log.clear();
  Mouse(r, WM_LBUTTONDOWN, 10, 35, MK_LBUTTON);
  Mouse(r, WM_MOUSEMOVE, 320, 35, MK_LBUTTON);
  Mouse(r, WM_LBUTTONUP, 320, 35, 0);
  EXPECT_DOUBLE_EQ(r->ViewPos(), 0.1);
  EXPECT_DOUBLE_EQ(r->GetGripPos(0), 0.1 + 30);
  EXPECT_EQ(log, (std::vector<std::string>{"pos 0"}));
}

TEST_F(ControlTest, RulerKeepsScrollingWhileHeldBeyondTheStart) {
  auto* r = Make<TRulerBox>(300, 40);
  r->SetViewPos(50);
  r->SetGripPos(0, 60);
  Mouse(r, WM_LBUTTONDOWN, 10, 35, MK_LBUTTON);
  Mouse(r, WM_MOUSEMOVE, -20, 35, MK_LBUTTON);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Mouse(r, WM_LBUTTONUP, -20, 35, 0);
  const double held = r->ViewPos();
  EXPECT_LT(held, 49);  // more than one step
  EXPECT_DOUBLE_EQ(r->GetGripPos(0), held - 1);
  Pump();
  EXPECT_EQ(r->ViewPos(), held);  // released: it stops
}

TEST_F(ControlTest, RulerGripEventsBeforeDrag) {
  auto* r = Make<TRulerBox>(300, 40);
  std::vector<std::string> log;
  r->OnRulerGripClick = [&](TObject*, int32_t g) { log.push_back("click " + std::to_string(g)); };
  r->OnRulerGripDblClick = [&](TObject*, int32_t g) { log.push_back("dbl " + std::to_string(g)); };
  r->SetGripPos(0, 100);
  Mouse(r, WM_LBUTTONDOWN, 98, 35, MK_LBUTTON);
  Mouse(r, WM_LBUTTONUP, 98, 35, 0);
  Mouse(r, WM_LBUTTONDBLCLK, 98, 35, MK_LBUTTON);
  Mouse(r, WM_LBUTTONUP, 98, 35, 0);
  Mouse(r, WM_LBUTTONDOWN, 98, 35, MK_LBUTTON);
  Mouse(r, WM_LBUTTONUP, 99, 35, 0);  // moved: no click
  EXPECT_EQ(log, (std::vector<std::string>{"click 0", "dbl 0", "click 0"}));
}

}  // namespace
}  // namespace kv
