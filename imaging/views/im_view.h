// The common base of the image views: background colour, an optional single
// border, mouse enter and leave events, the resolution of the shown image, and
// the list of bitmap-change callbacks through which attached components follow
// the view's current bitmap. It also declares what every view provides: the
// displayed bitmap, its alpha mask, the paint lock and the image-change hook.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "imaging/model/view_params.h"
#include "imaging/processing/view_link.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/rtl/types.h"
#include "platform/ui/controls.h"

namespace kv {

class TIMMask;

class TIMView : public TCustomControl, public TIMViewLink {
 public:
  explicit TIMView(TComponent* AOwner);
  // Tells every registrant, in registration order, that the view is going
  // away, before the window and canvas are gone.
  ~TIMView() override;

  TColor Background() const override { return FBackground; }
  void SetBackground(TColor Value) override;
  // The bitmap now displayed: the object attached components read and write.
  TBitmap* GetBitmap() override;
  // The 8-bit alpha mask of the displayed image, created on first request.
  TIMMask* GetAlphaChannel() override = 0;
  // Replaces the alpha mask; the old one is freed.
  virtual void SetAlphaChannel(std::unique_ptr<TIMMask> Mask) = 0;
  // True when an alpha mask exists (none is created).
  bool HasAlphaChannel() const override = 0;
  virtual void RemoveAlphaChannel() = 0;
  virtual void LockPaint() = 0;
  // Lowers the paint lock (not below 0), repaints when it reaches 0, returns it.
  virtual int32_t UnlockPaint() = 0;
  // Lowers the paint lock without repainting, returns it.
  virtual int32_t UnlockPaintNoUpdate() = 0;

  int32_t DpiX() const { return FDpiX; }
  int32_t DpiY() const { return FDpiY; }
  // 0 keeps the present resolution.
  virtual void SetDpiX(int32_t Value);
  virtual void SetDpiY(int32_t Value);
  virtual void SetDpi(int32_t X, int32_t Y);
  // Called after the image content changed.
  virtual void ImageChange() {}
  // Update, then ImageChange.
  void PictureEdited() override;

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  // A change recreates the window (the frame is a creation parameter).
  void SetBorderStyle(TBorderStyle Value);
  bool GetCtl3D() const { return Ctl3D(); }
  void SetCtl3D(bool Value);

  // The canvas the transition effects draw their steps on.
  TCanvas& GetCanvas() { return Canvas(); }
  // While a transition runs, the frame it composed last (null when none):
  // painting shows it in place of the picture. Repaints at once.
  virtual void ShowTransitionFrame(const TBitmap* Frame);
  const TBitmap* TransitionFrame() const { return FTransitionFrame; }

  // Registers a callback (the same one may be registered again: each
  // registration is a record of its own) and returns its handle.
  TIMBitmapChangeRecord* AddBitmapChangeEvent(TIMBitmapChangeEvent Event) override;
  // Frees the registration; a handle that is not registered (null, already
  // removed) is ignored.
  void RemoveBitmapChangeEvent(TIMBitmapChangeRecord* Handle) override;
  // Calls the callbacks registered when it starts, in order, with Destroying
  // false. A callback may remove registrations (its own or others'): a
  // removed one is not called any more, and none is freed while being called.
  void NotifyBitmapChange();
  int32_t BitmapChangeCount() const { return static_cast<int32_t>(FBitmapChangeList.size()); }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  // Paints the transition frame at the top-left corner when one is shown;
  // a view's Paint calls this first and paints nothing else when it is true.
  bool PaintTransitionFrame();

  // Scroll bars of a fixed range of 65536 units, so that content of any size
  // fits a 16-bit thumb position; Scale is pixels per unit. Shows Bar with a
  // page of Client pixels and its thumb at Offset.
  void ShowScaledScrollBar(int32_t Bar, int32_t Client, int32_t Offset, double Scale);
  // The view offset a scroll-bar message (WM_HSCROLL, WM_VSCROLL) asks for,
  // starting from View; none when it moves nothing. A line is DefaultLine
  // pixels, a page Client pixels, unless Params set them in units of Unit
  // pixels; Max is the offset of SB_BOTTOM.
  static std::optional<int32_t> ScrollTarget(TMessage& Message, const TIMScrollBarParams& Params, int32_t View,
                                             int32_t Client, int32_t DefaultLine, int32_t Unit, int32_t Max,
                                             double Scale);

  TBorderStyle FBorderStyle = bsSingle;
  TColor FBackground = clBtnFace;
  int32_t FDpiX = 0;
  int32_t FDpiY = 0;

 private:
  std::vector<std::unique_ptr<TIMBitmapChangeRecord>> FBitmapChangeList;
  // Records removed during NotifyBitmapChange, freed when the outermost call ends.
  std::vector<std::unique_ptr<TIMBitmapChangeRecord>> FRemovedDuringNotify;
  int32_t FNotifyDepth = 0;
  const TBitmap* FTransitionFrame = nullptr;
};

}  // namespace kv
