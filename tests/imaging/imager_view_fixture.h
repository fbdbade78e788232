// A single-image view on a shown form, headless, with helpers to send mouse
// messages and to read back the pixels it renders.
#pragma once
#include <gtest/gtest.h>

#include "imaging/views/imager_view.h"
#include "shown_view_fixture.h"

namespace kv::test {

class ViewTest : public ShownViewTest<TImagerView> {
 protected:
  void MakeView(int32_t W = 200, int32_t H = 150) { ShowView(W, H); }
  // A picture where every pixel tells its coordinates: blue = x, green = y, red = 77.
  void LoadCoords(int32_t W, int32_t H) {
    View->Bitmap().SetSize(W, H);
    Fill24(View->Bitmap(), [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x), uint8_t(y), 77}; });
    View->ImageChange();
    View->Update();
  }
  // The rendering brought up to date, as the next paint shows it.
  const TBitmap& Rendered() {
    View->RenderNow();
    return View->Rendering();
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
};

}  // namespace kv::test
