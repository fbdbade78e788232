// Drawing lines as the image window writes them and a batch replays them:
// STARTDRAWING, DRAW and DRAWFINISH for every drawing tool.
#include <gtest/gtest.h>

#include <string>

#include "app/child/drawing_options.h"
#include "command_fixture.h"

namespace kv {
namespace {

using namespace kv::test;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;
const TBGRPixel kRedPx{0, 0, 255};
const TBGRPixel kGreenPx{0, 255, 0};
const TBGRPixel kBlackPx{0, 0, 0};

std::string Start(int32_t Tool, int32_t X, int32_t Y, const std::string& More = "") {
  return "StartDrawing ForeGround=" + std::to_string(kRed) + " BackGround=" + std::to_string(kGreen) +
         " FillStyle=0 LineStyle=0 Linewidth=1 PenStyle=0 DrawingTool=" + std::to_string(Tool) +
         " MouseX=" + std::to_string(X) + " MouseY=" + std::to_string(Y) + More;
}
std::string Finish(int32_t X0, int32_t Y0, int32_t X, int32_t Y) {
  return "DrawFinish OriginX=" + std::to_string(X0) + " OriginY=" + std::to_string(Y0) +
         " MouseX=" + std::to_string(X) + " MouseY=" + std::to_string(Y);
}
std::string Draw(int32_t X, int32_t Y) {
  return "Draw MouseX=" + std::to_string(X) + " MouseY=" + std::to_string(Y);
}

class DrawCommands : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    CurrentDrawingOptions().PenStyle = 0;  // one-pixel brush unless a test says otherwise
  }
  void TearDown() override {
    CurrentDrawingOptions().PenStyle = 4;
    CurrentDrawingOptions().Foreground = clWhite;
    CurrentDrawingOptions().Background = clBlack;
    drawingtool = dtZoom;
    CommandTest::TearDown();
  }
  static TBGRPixel Black(int32_t, int32_t) { return TBGRPixel{}; }
};

// Red pen, green solid brush, from (5, 5) to (30, 25) on black.
TEST_F(DrawCommands, ShapeToolsDrawFromOriginToPoint) {
  struct Probe {
    int32_t X, Y;
    TBGRPixel Want;
  };
  struct Case {
    int32_t Tool;
    std::vector<Probe> Probes;
  };
  const Case cases[] = {
      {dtLine, {{5, 5, kRedPx}, {17, 15, kRedPx}, {17, 5, kBlackPx}, {31, 26, kBlackPx}}},
      {dtRectangle, {{5, 15, kRedPx}, {17, 5, kRedPx}, {17, 15, kGreenPx}, {2, 2, kBlackPx}, {35, 15, kBlackPx}}},
      {dtEllipse, {{17, 15, kGreenPx}, {5, 5, kBlackPx}, {29, 24, kBlackPx}, {5, 15, kRedPx}}},
      {dtRoundRect, {{17, 15, kGreenPx}, {5, 5, kBlackPx}, {17, 5, kRedPx}, {5, 15, kRedPx}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Tool);
    Tchild& child = MakeChild(40, 40, Black);
    const int32_t undo = child.imager1->Proc()->UndoCount();
    ASSERT_TRUE(Line(Start(c.Tool, 5, 5)));
    EXPECT_TRUE(child.shapestarted);
    EXPECT_FALSE(child.freehand);
    EXPECT_EQ(child.imager1->Proc()->UndoCount(), undo + 1);
    EXPECT_TRUE(child.modified);
    ASSERT_TRUE(Line(Finish(5, 5, 30, 25)));
    EXPECT_FALSE(child.shapestarted);
    for (const Probe& p : c.Probes) EXPECT_EQ(At(p.X, p.Y), p.Want) << p.X << "," << p.Y;
  }
}

// With the right button a shape has equal sides: the shorter drag decides.
TEST_F(DrawCommands, RightButtonMakesSquares) {
  for (const TPoint end : {TPoint{52, 32}, TPoint{32, 52}}) {
    SCOPED_TRACE(end.X);
    MakeChild(60, 60, Black);
    ASSERT_TRUE(Line(Start(dtRectangle, 2, 2, " RightMouseButton=1")));
    ASSERT_TRUE(Line(Finish(2, 2, end.X, end.Y)));
    EXPECT_EQ(At(31, 20), kRedPx);
    EXPECT_EQ(At(20, 31), kRedPx);
    EXPECT_EQ(At(45, 20), kBlackPx);
    EXPECT_EQ(At(20, 45), kBlackPx);
  }
}

TEST_F(DrawCommands, FreehandDabsTheStartAndEveryDrawLine) {
  Tchild& child = MakeChild(40, 40, Black);
  CurrentDrawingOptions().Foreground = kGreen;
  ASSERT_TRUE(Line(Start(dtDraw, 10, 10)));
  EXPECT_TRUE(child.freehand);
  EXPECT_EQ(At(10, 10), kGreenPx);  // the options' colour, not the line's pen
  ASSERT_TRUE(Line(Draw(20, 12)));
  EXPECT_EQ(At(20, 12), kGreenPx);
  EXPECT_EQ(At(15, 11), kBlackPx);
  ASSERT_TRUE(Line(Finish(10, 10, 20, 12)));
  EXPECT_FALSE(child.freehand);
  EXPECT_FALSE(child.shapestarted);

  // The brush size is read when the dab is made: size 4 is a 5 x 5 square less its corners.
  CurrentDrawingOptions().PenStyle = 4;
  MakeChild(40, 40, Black);
  ASSERT_TRUE(Line(Start(dtDraw, 30, 30)));
  ASSERT_TRUE(Line(Draw(10, 30)));
  int set = 0;
  for (int32_t y = 25; y < 36; ++y)
    for (int32_t x = 5; x < 16; ++x) set += At(x, y) == kGreenPx;
  EXPECT_EQ(set, 21);
}

TEST_F(DrawCommands, RedEyeLowersRedByTenNotBelowZero) {
  MakeChild(30, 30, [](int32_t X, int32_t) { return X < 15 ? TBGRPixel{50, 60, 100} : TBGRPixel{50, 60, 4}; });
  ASSERT_TRUE(Line(Start(dtRedEye, 5, 5)));
  EXPECT_EQ(At(5, 5), (TBGRPixel{50, 60, 90}));
  ASSERT_TRUE(Line(Draw(20, 20)));
  EXPECT_EQ(At(20, 20), (TBGRPixel{50, 60, 0}));
  EXPECT_EQ(At(6, 5), (TBGRPixel{50, 60, 100}));
}

TEST_F(DrawCommands, CopyBrushNeedsItsReferenceFirst) {
  Tchild& child = MakeChild(40, 20, Pattern);
  ASSERT_TRUE(Line(Start(dtCopypaint, 25, 5)));
  EXPECT_TRUE(ShownText("Sie müssen erst mit der rechten Maustaste den Bezugspunkt definieren"));
  EXPECT_FALSE(child.shapestarted);
  EXPECT_EQ(At(25, 5), Pattern(25, 5));

  ASSERT_TRUE(Line(Start(dtCopypaint, 5, 5, " RightMouseButton=1")));
  EXPECT_EQ(child.refpoint.X, 5);
  EXPECT_EQ(At(5, 5), Pattern(5, 5));
  ASSERT_TRUE(Line(Start(dtCopypaint, 25, 5)));
  EXPECT_EQ(At(25, 5), Pattern(5, 5));
  ASSERT_TRUE(Line(Draw(27, 8)));
  EXPECT_EQ(At(27, 8), Pattern(7, 8));
}

// A negative font height is the character height; the second line still
// comes below the first, 1.1 heights further down.
TEST_F(DrawCommands, TextLinesGoDownwards) {
  for (const int32_t height : {-20, 20}) {
    SCOPED_TRACE(height);
    MakeChild(120, 80, Black);
    ASSERT_TRUE(Line("StartDrawing ForeGround=255 BackGround=0 FillStyle=1 LineStyle=0 Linewidth=1 PenStyle=0 "
                     "DrawingTool=11 MouseX=5 MouseY=20 RightMouseButton=0 FontColor=255 FontHeight=" +
                     std::to_string(height) +
                     " FontName=\"DejaVu Sans\" FontBold=1 FontItalic=0 FontUnderline=0 fontStrikeout=0 "
                     "TextCount=2 Text0=\"HHHH\" Text1=\"HHHH\""));
    auto redRows = [&](int32_t Y0, int32_t Y1) {
      int n = 0;
      for (int32_t y = Y0; y < Y1; ++y)
        for (int32_t x = 0; x < 120; ++x) n += At(x, y).r > 128;
      return n;
    };
    EXPECT_EQ(redRows(0, 20), 0);
    EXPECT_GT(redRows(20, 42), 0);
    EXPECT_GT(redRows(42, 64), 0);
  }
}

TEST_F(DrawCommands, FloodFillStopsAtTheTolerance) {
  // Left half 100, a middle column 115 (within 15 of it), right half 200.
  MakeChild(30, 10, [](int32_t X, int32_t) { return Gray(X < 10 ? 100 : X < 11 ? 115 : 200); });
  ASSERT_TRUE(Line(Start(dtFloodfill, 3, 3, " Tolerance=10 Intensity=100")));
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 11; ++x) ASSERT_EQ(At(x, y), kRedPx) << x << "," << y;
    for (int32_t x = 11; x < 30; ++x) ASSERT_EQ(At(x, y), Gray(200)) << x << "," << y;
  }
}

TEST_F(DrawCommands, PickedColourGoesToTheOptions) {
  MakeChild(20, 20, Pattern);
  ASSERT_TRUE(Line(Start(dtGetColor, 3, 4)));
  const TBGRPixel p = Pattern(3, 4);
  EXPECT_EQ(CurrentDrawingOptions().Foreground, TColor(p.r | p.g << 8 | p.b << 16));
  ASSERT_TRUE(Line(Start(dtGetColor, 7, 2, " RightMouseButton=1")));
  const TBGRPixel q = Pattern(7, 2);
  EXPECT_EQ(CurrentDrawingOptions().Background, TColor(q.r | q.g << 8 | q.b << 16));
  EXPECT_EQ(At(3, 4), p);
}

TEST_F(DrawCommands, SelectionToolsOnlyChooseTheTool) {
  Tchild& child = MakeChild(20, 20, Pattern);
  const int32_t undo = child.imager1->Proc()->UndoCount();
  ASSERT_TRUE(Line(Start(dtSelectMagic, 3, 4, " Tolerance=77")));
  EXPECT_EQ(drawingtool, dtSelectMagic);
  EXPECT_EQ(child.imager1->MagicWandTolerance, 77);
  EXPECT_EQ(child.imager1->Proc()->UndoCount(), undo);
  EXPECT_FALSE(child.shapestarted);
  ASSERT_TRUE(Line(Draw(5, 5)));
  EXPECT_EQ(At(5, 5), Pattern(5, 5));
}

}  // namespace
}  // namespace kv
