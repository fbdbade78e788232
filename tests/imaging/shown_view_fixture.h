// A view of class V on a shown form, headless, with the helpers the view
// tests share: showing it, running the event loop, reading pixels back and
// sending mouse messages.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"

namespace kv::test {

template <class V>
class ShownViewTest : public ::testing::Test {
 protected:
  // A form holding a borderless view whose client area is W x H.
  void ShowView(int32_t W, int32_t H) {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, W + 40, H + 40);
    View = new V(Form.get());
    View->SetBorderStyle(bsNone);
    View->SetParent(Form.get());
    View->SetBounds(0, 0, W, H);
    Form->Show();
    Pump();
  }
  void TearDown() override { Form.reset(); }
  static void Pump() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  // Runs the event loop for about Ms milliseconds (timers included).
  static void Wait(int Ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < end) {
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  static TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) {
    return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X];
  }
  void Mouse(UINT Msg, int32_t X, int32_t Y, uint32_t Keys) {
    View->Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
  }

  std::unique_ptr<TForm> Form;
  V* View = nullptr;
};

}  // namespace kv::test
