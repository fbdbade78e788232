// The histogram of the image of an attached processing component, drawn as
// bars or lines with optional level labels and a component bar below.
#pragma once
#include <cstdint>

#include "imaging/processing/colour_kernels.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/set.h"
#include "platform/ui/controls.h"

namespace kv {

class TImagerProc;

enum THistogramKindItem : uint8_t { hkRed, hkGreen, hkBlue, hkGray };
using THistogramKind = TSet<THistogramKindItem>;
enum THistogramLabel : uint8_t { hlVertical, hlHorizontal };
using THistogramLabels = TSet<THistogramLabel>;
enum THistogramStyle : uint8_t { hsBars, hsLines };

class THistogramBox : public TCustomControl {
 public:
  explicit THistogramBox(TComponent* AOwner);
  ~THistogramBox() override;

  TImagerProc* AttachedImagerProc() const { return FAttachedImagerProc; }
  void SetAttachedImagerProc(TImagerProc* Value);
  TColor Background() const { return FBackground; }
  void SetBackground(TColor Value);
  THistogramKind HistogramKind() const { return FHistogramKind; }
  void SetHistogramKind(THistogramKind Value);
  THistogramLabels Labels() const { return FLabels; }
  void SetLabels(THistogramLabels Value);
  bool CompBar() const { return FCompBar; }
  void SetCompBar(bool Value);
  THistogramStyle HistogramStyle() const { return FHistogramStyle; }
  void SetHistogramStyle(THistogramStyle Value);

  // The x of the histogram's origin in the parent's coordinates (control
  // left + left margin), as of the last redraw.
  int32_t HistogramXPos() const { return FHistogramXPos; }

  // Redraws from the attached component.
  void Update() override;

  const TBitmap& Picture() const { return FBitmap; }

 protected:
  void Paint() override;
  void Resize() override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  // Fills Histogram; false when there is nothing to show.
  bool TakeHistogram(TIMHistogram& Histogram);

  TBitmap FBitmap{0, 0, pf24bit};
  TImagerProc* FAttachedImagerProc = nullptr;
  TColor FBackground = clWhite;
  THistogramKind FHistogramKind{hkGray};
  THistogramLabels FLabels{hlVertical, hlHorizontal};
  bool FCompBar = true;
  THistogramStyle FHistogramStyle = hsBars;
  int32_t FHistogramXPos = 0;
  bool FUpdating = false;
};

}  // namespace kv
