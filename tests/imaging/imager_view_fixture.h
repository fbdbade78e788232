// A single-image view on a shown form, headless, with helpers to send mouse
// messages and to read back the pixels it renders.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "imaging/views/imager_view.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"

namespace kv::test {

class ViewTest : public ::testing::Test {
 protected:
  // A form holding a borderless view whose client area is W x H.
  void MakeView(int32_t W = 200, int32_t H = 150) {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, W + 40, H + 40);
    View = new TImagerView(Form.get());
    View->SetBorderStyle(bsNone);
    View->SetParent(Form.get());
    View->SetBounds(0, 0, W, H);
    Form->Show();
    Pump();
  }
  void TearDown() override { Form.reset(); }
  // A picture where every pixel tells its coordinates: blue = x, green = y, red = 77.
  void LoadCoords(int32_t W, int32_t H) {
    View->Bitmap().SetSize(W, H);
    Fill24(View->Bitmap(), [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x), uint8_t(y), 77}; });
    View->ImageChange();
    View->Update();
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  // Runs the event loop for about Ms milliseconds (timers included).
  static void Wait(int Ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < end) {
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The rendering brought up to date, as the next paint shows it.
  const TBitmap& Rendered() {
    View->RenderNow();
    return View->Rendering();
  }
  static TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) {
    return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X];
  }
  void Mouse(UINT Msg, int32_t X, int32_t Y, uint32_t Keys) {
    View->Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
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

  std::unique_ptr<TForm> Form;
  TImagerView* View = nullptr;
};

}  // namespace kv::test
