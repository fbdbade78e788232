// The join window's preview: dragging the second picture with the mouse
// moves it in bitmap pixels at any zoom, and the joined picture is the union
// of both placed pictures with the overlap blended.
#include <gtest/gtest.h>

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/tools/join_tool.h"
#include "command_fixture.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/button.h"
#include "platform/ui/input_synth.h"
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

}  // namespace
}  // namespace kv
