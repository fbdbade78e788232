// A multi-image view on a shown form, headless, with helpers to fill it with
// solid pictures, send mouse and key messages and read back its painting.
#pragma once
#include <gtest/gtest.h>

#include "imaging/views/imager_mview.h"
#include "shown_view_fixture.h"

namespace kv::test {

// Makes the key handler reachable with any shift state.
class TProbeMView : public TImagerMView {
 public:
  using TImagerMView::TImagerMView;
  void Key(uint16_t K, TShiftState Shift) { KeyDown(K, Shift); }
};

class MViewTest : public ShownViewTest<TProbeMView> {
 protected:
  void MakeView(int32_t W = 300, int32_t H = 200) { ShowView(W, H); }
  // A W x H pf24bit picture of one colour.
  static std::unique_ptr<TBitmap> Solid(int32_t W, int32_t H, TBGRPixel P) {
    auto b = std::make_unique<TBitmap>(W, H, pf24bit);
    Fill24(*b, [P](int32_t, int32_t) { return P; });
    return b;
  }
  // Appends Count entries holding solid pictures (blue = index).
  void AddSolid(int32_t Count, int32_t W = 40, int32_t H = 30) {
    for (int32_t i = 0; i < Count; ++i) {
      View->InsertImageNoSelect(View->GetImageCount());
      View->SetImageNoUpdate(View->GetImageCount() - 1, Solid(W, H, TBGRPixel{uint8_t(i), 100, 200}).get());
    }
    View->Update();
  }
  // The view painted into a pf24bit picture of its client size.
  const TBitmap& Painted() {
    Picture = std::make_unique<TBitmap>(View->ClientWidth(), View->ClientHeight(), pf24bit);
    View->PaintTo(Picture->Canvas());
    return *Picture;
  }
  void Click(int32_t X, int32_t Y, uint32_t Keys = 0) {
    Mouse(WM_LBUTTONDOWN, X, Y, MK_LBUTTON | Keys);
    Mouse(WM_LBUTTONUP, X, Y, Keys);
  }
  void Key(uint16_t K, TShiftState Shift = {}) { View->Key(K, Shift); }
  // Client centre of entry idx's cell.
  int32_t CellX(int32_t idx) const {
    return View->Entry(idx)->X - View->ViewX() + View->ThumbWidth() / 2;
  }
  int32_t CellY(int32_t idx) const {
    return View->Entry(idx)->Y - View->ViewY() + View->ThumbHeight() / 2;
  }

  std::unique_ptr<TBitmap> Picture;
};

}  // namespace kv::test
