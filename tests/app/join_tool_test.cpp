// The join window's preview: dragging the second picture with the mouse
// moves it in bitmap pixels at any zoom, and the joined picture is the union
// of both placed pictures with the overlap blended.
#include <gtest/gtest.h>

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/direction_frame.h"
#include "app/main/main_form.h"
#include "app/tools/tool_files.h"
#include "app/tools/join_tool.h"
#include "command_fixture.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/button.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {
namespace {

using namespace kv::test;

constexpr TBGRPixel kSecond{200, 40, 10}, kCurrent{20, 100, 240};

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }

class JoinTool : public CommandTest {};

TEST_F(JoinTool, DraggingMovesTheSecondPictureAndTheResultIsTheUnion) {
  // The first window is the one joined on; the second is current.
  MakeChild(100, 50, [](int32_t, int32_t) { return kSecond; });
  MakeChild(100, 50, [](int32_t, int32_t) { return kCurrent; });
  struct TCase {
    bool ZoomIn;  // "Größer" once: twice the screen distance for the same move
  };
  for (const TCase c : {TCase{false}, TCase{true}}) {
    SCOPED_TRACE(c.ZoomIn ? "zoom 200" : "zoom 100");
    Theftenform w(nullptr, *Form);
    w.WindowBox->Select(0);
    w.im->SetBounds(480, 10, 320, 240);
    w.im->HandleNeeded();
    w.ZoomOneButton->Click();
    if (c.ZoomIn) w.ZoomInButton->Click();
    // Beside the current picture on its right in a 200 x 100 preview, both centred in height.
    ASSERT_EQ(w.Placement.X1, 100);
    ASSERT_EQ(w.Placement.Y1, 25);
    ASSERT_EQ(w.Placement.Y0, 25);
    ASSERT_EQ(w.im->Bitmap().Width(), 200);
    timagerlayer* im = w.im;
    auto at = [&](TMouseAction A, int32_t Bx, int32_t By) {
      SynthMouse(im, A, im->XBmp2Scr(Bx), im->YBmp2Scr(By), mbLeft, A == maMove ? TShiftState{ssLeft} : TShiftState{});
    };
    at(maPress, 105, 30);
    at(maMove, 90, 40);
    at(maMove, 75, 50);
    at(maRelease, 75, 50);
    at(maMove, 10, 10);  // released: the picture stays
    EXPECT_EQ(w.Placement.X1, 70);
    EXPECT_EQ(w.Placement.Y1, 45);
    // The preview shows it there, blended half and half over the current picture.
    const TBitmap& p = im->Bitmap();
    EXPECT_EQ(Px(p, 80, 55), (TBGRPixel{uint8_t((200 + 20) / 2), uint8_t((40 + 100) / 2), uint8_t((10 + 240) / 2)}));
    EXPECT_EQ(Px(p, 150, 85), kSecond);
    EXPECT_EQ(Px(p, 10, 30), kCurrent);
    EXPECT_EQ(Px(p, 10, 85), TBGRPixel{});
    TBitmap joined;
    w.JoinedPicture(joined);
    EXPECT_EQ(joined.Width(), 170);
    EXPECT_EQ(joined.Height(), 70);
    EXPECT_EQ(Px(joined, 169, 69), kSecond);
    EXPECT_EQ(Px(joined, 0, 0), kCurrent);
  }
}

TEST_F(JoinTool, ZoomButtonsAndSideBySide) {
  MakeChild(100, 50, [](int32_t, int32_t) { return kSecond; });
  MakeChild(100, 50, [](int32_t, int32_t) { return kCurrent; });
  Theftenform w(nullptr, *Form);
  w.WindowBox->Select(0);
  w.ZoomOneButton->Click();
  EXPECT_DOUBLE_EQ(w.im->Zoom(), 100);
  w.ZoomInButton->Click();
  EXPECT_DOUBLE_EQ(w.im->Zoom(), 200);
  w.ZoomOneButton->Click();
  for (int32_t i = 0; i < 9; ++i) w.ZoomOutButton->Click();
  EXPECT_DOUBLE_EQ(w.im->Zoom(), 1);  // not below 1 percent
  // Side by side: the whole 200 x 50 of both, not one column short.
  TBitmap joined;
  w.JoinedPicture(joined);
  EXPECT_EQ(joined.Width(), 200);
  EXPECT_EQ(joined.Height(), 50);
  EXPECT_EQ(Px(joined, 199, 49), kSecond);
}

// "Heft-Seite" anchors the current picture in the preview; the second goes
// beside it on the other side, or over its middle from the centre button.
TEST_F(JoinTool, DirectionFramePlacesBothPictures) {
  MakeChild(100, 50, [](int32_t, int32_t) { return kSecond; });
  MakeChild(100, 50, [](int32_t, int32_t) { return kCurrent; });
  Theftenform w(nullptr, *Form);
  w.WindowBox->Select(0);
  // A new user joins on the right (the left button, which a click would let go up).
  EXPECT_EQ(w.directionframe1->Direction(), 8);
  struct TCase {
    int32_t Button;  // 0 .. 8, top row first
    int32_t X0, Y0, X1, Y1, JoinedW, JoinedH;
  };
  const TCase cases[] = {
      {5, 100, 25, 0, 25, 200, 50},   // right: second on the left
      {3, 0, 25, 100, 25, 200, 50},   // left: second on the right
      {1, 50, 0, 50, 50, 100, 100},   // top: second below
      {7, 50, 50, 50, 0, 100, 100},   // bottom: second above
      {4, 50, 25, 50, 25, 100, 50},   // centre: second over it
      {0, 0, 0, 0, 50, 100, 100},     // top left: below wins over the right
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Button);
    w.directionframe1->Buttons[size_t(c.Button)]->Click();
    EXPECT_EQ(w.Placement.X0, c.X0);
    EXPECT_EQ(w.Placement.Y0, c.Y0);
    EXPECT_EQ(w.Placement.X1, c.X1);
    EXPECT_EQ(w.Placement.Y1, c.Y1);
    TBitmap joined;
    w.JoinedPicture(joined);
    EXPECT_EQ(joined.Width(), c.JoinedW);
    EXPECT_EQ(joined.Height(), c.JoinedH);
  }
}

// The side chosen is the one the window shows with next time.
TEST_F(JoinTool, ChosenSideIsKept) {
  MakeChild(100, 50, [](int32_t, int32_t) { return kSecond; });
  MakeChild(100, 50, [](int32_t, int32_t) { return kCurrent; });
  const int32_t windows = Windows();
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& w = dynamic_cast<Theftenform&>(F);
    EXPECT_EQ(w.directionframe1->Direction(), 8);
    w.directionframe1->Buttons[1]->Click();
    return mrOk;
  });
  ShowJoinDialog(*Form);
  ASSERT_EQ(Windows(), windows + 1);
  EXPECT_EQ(NewestImage(*Form).Bitmap().Width(), 100);
  EXPECT_EQ(NewestImage(*Form).Bitmap().Height(), 100);
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& w = dynamic_cast<Theftenform&>(F);
    EXPECT_EQ(w.directionframe1->Direction(), 2);
    EXPECT_EQ(w.Placement.Y1, 50);
    return mrCancel;
  });
  ShowJoinDialog(*Form);
  EXPECT_EQ((*Dialogs)->Pending(), 0u);
}

}  // namespace
}  // namespace kv
