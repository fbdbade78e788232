// A small concrete view for the tests of the view base and the processing
// component: it owns a bitmap, an optional alpha mask and a selection mask,
// and counts what it is asked to do.
#pragma once
#include <memory>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/views/im_view.h"
#include "platform/graphics/bitmap.h"

namespace kv::test {

class TTestView : public TIMView, public TIMSelectionSource {
 public:
  explicit TTestView(TComponent* AOwner = nullptr, int32_t W = 8, int32_t H = 6)
      : TIMView(AOwner), Bmp(std::make_unique<TBitmap>(W, H, pf24bit)) {
    Selection.AllocateBits(W, H, 1);
  }

  TBitmap* GetBitmap() override { return Bmp.get(); }
  TIMMask* GetAlphaChannel() override {
    if (!Alpha) {
      Alpha = std::make_unique<TIMMask>();
      Alpha->AllocateBits(Bmp->Width(), Bmp->Height(), 8);
      Alpha->Fill(255);
    }
    return Alpha.get();
  }
  void SetAlphaChannel(std::unique_ptr<TIMMask> Mask) override { Alpha = std::move(Mask); }
  bool HasAlphaChannel() const override { return Alpha != nullptr; }
  void RemoveAlphaChannel() override { Alpha.reset(); }
  void LockPaint() override { ++PaintLock; }
  int32_t UnlockPaint() override {
    if (PaintLock > 0) --PaintLock;
    if (PaintLock == 0) Update();
    return PaintLock;
  }
  int32_t UnlockPaintNoUpdate() override {
    if (PaintLock > 0) --PaintLock;
    return PaintLock;
  }
  void ImageChange() override { ++ImageChanges; }

  TIMMask* SelectionMask() override { return &Selection; }
  bool SelectionExists() const override { return Selected; }
  const TPoint* GetPolySelPoints() const override { return Points.data(); }
  int32_t GetPolySelCount() const override { return static_cast<int32_t>(Points.size()); }

  // Selects the rectangle X1..X2, Y1..Y2 (inclusive) in the 1-bit mask.
  void SelectRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    Selection.AllocateBits(Bmp->Width(), Bmp->Height(), 1);
    for (int32_t y = Y1; y <= Y2; ++y)
      for (int32_t x = X1; x <= X2; ++x) Selection.SetPixel(x, y, 1);
    Points = {{X1, Y1}, {X2 + 1, Y1}, {X2 + 1, Y2 + 1}, {X1, Y2 + 1}};
    Selected = true;
  }

  void CallCreateParams(TCreateParams& Params) { CreateParams(Params); }

  std::unique_ptr<TBitmap> Bmp;
  std::unique_ptr<TIMMask> Alpha;
  TIMMask Selection;
  std::vector<TPoint> Points;
  bool Selected = false;
  int32_t PaintLock = 0;
  int32_t ImageChanges = 0;
  int32_t CreateParamsCalls = 0;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TIMView::CreateParams(Params);
    ++CreateParamsCalls;
  }
};

}  // namespace kv::test
