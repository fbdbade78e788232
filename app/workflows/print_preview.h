// The print dialog's preview: the page drawn by the print layout on a bitmap
// at preview size (never a full-resolution page per change unless "Max" is
// chosen), shown with a zoom and a scroll position that survive redraws.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/workflows/print_layout.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/frames.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TKvSpinEdit;
class TLabel;
class TSpeedButton;

enum TPreviewQuality : uint8_t { pqMax = 0, pqMedium = 1, pqMin = 2 };

// The scale at which a page of PageWidth x PageHeight printer pixels is
// previewed: 1 for "Max", at most 640 x 480 for "Mittel" when the page has
// more than 307200 pixels, the control's size for "Min"; always fitted
// keeping the page's aspect.
double PreviewScaleFor(TPreviewQuality Quality, int32_t PageWidth, int32_t PageHeight, int32_t ControlWidth,
                       int32_t ControlHeight);

// Shows a bitmap on a chessboard at a zoom (percent) and an offset; in zoom
// mode a left click zooms in and a right click out about the point, in hand
// mode dragging scrolls.
class TPrintPreviewBox : public TCustomControl {
 public:
  explicit TPrintPreviewBox(TComponent* AOwner);
  TBitmap& Bitmap() { return FBitmap; }
  double Zoom() const { return FZoom; }
  void SetZoom(double Value);
  int32_t OffsetX() const { return FOffsetX; }
  int32_t OffsetY() const { return FOffsetY; }
  void SetOffset(int32_t X, int32_t Y);
  bool HandMode = false;
  // A text shown over the page, at screen size whatever the zoom: why the
  // layout could not be made. "" shows none.
  const std::string& Message() const { return FMessage; }
  void SetMessage(const std::string& Value);
  // After a zoom or scroll by the user.
  std::function<void(bool ZoomChanged)> OnViewChange;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  void PaintMessage(TCanvas& C, int32_t W, int32_t H);
  TBitmap FBitmap;
  std::string FMessage;
  double FZoom = 100;
  int32_t FOffsetX = 0, FOffsetY = 0;
  bool FDragging = false;
  int32_t FDragX = 0, FDragY = 0;
};

class TprintFrame : public TFrame {
 public:
  explicit TprintFrame(TComponent* AOwner);

  TPrintPreviewBox* Image1 = nullptr;
  TCheckBox* AutoPreviewBox = nullptr;  // "Automatische Vorschau"
  TButton* PreviewButton = nullptr;     // "Vorschau"
  TComboBox* QualityBox = nullptr;      // "Max", "Mittel", "Min"
  TCheckBox* StandardViewBox = nullptr;  // "Standardansicht"
  TLabel* PageLabel = nullptr;
  TKvSpinEdit* PageEdit = nullptr;  // "Ansichtsseite"
  TSpeedButton* ZoomButton = nullptr;
  TSpeedButton* HandButton = nullptr;

  // What is laid out: set by the dialog before each preview.
  std::string Command;
  // When set, asked for the command before each preview, so a redraw started
  // by the frame's own controls never shows stale settings.
  std::function<std::string()> CommandSource;
  const TPrintSource* Source = nullptr;
  TPrintDevice Device;
  int32_t PageWidth = 0, PageHeight = 0;

  // Results of the last preview.
  double PreviewScale = 1;
  TPrintGeometry Geometry;
  double FitZoom = 100;
  double RelativeZoom = 1;
  double RelativeX = 0, RelativeY = 0;
  // The message of a layout that could not be made, "" after a good one;
  // the preview shows it.
  std::string LayoutError;

  // Sizes the preview, draws the page (or only lays it out while
  // "Automatische Vorschau" is up) and puts zoom and scroll back.
  void ComputePreview();
  // Raised after each preview, with the geometry in place.
  TNotifyEvent OnPreview;

 protected:
  void Resize() override;

 private:
  void ViewChanged(bool ZoomChanged);
  bool FComputing = false;
};

}  // namespace kv
