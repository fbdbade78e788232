#include "app/workflows/print_preview.h"

#include <algorithm>
#include <cmath>

#include "app/layer/stretch_draw.h"
#include "app/params/param_strings.h"
#include "components/controls/kv_spin.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/draw_text.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/button.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr double kMinZoom = 1, kMaxZoom = 3200;

// Width and height of the largest W x H box of the page's proportions inside Bw x Bh.
void FitInside(double W, double H, double Bw, double Bh, double& OutW, double& OutH) {
  if (W <= 0 || H <= 0 || Bw <= 0 || Bh <= 0) {
    OutW = OutH = 0;
    return;
  }
  const double s = std::min(Bw / W, Bh / H);
  OutW = W * s;
  OutH = H * s;
}

}  // namespace

double PreviewScaleFor(TPreviewQuality Quality, int32_t PageWidth, int32_t PageHeight, int32_t ControlWidth,
                       int32_t ControlHeight) {
  if (PageWidth <= 0 || PageHeight <= 0) return 1;
  double tw = PageWidth, th = PageHeight;
  switch (Quality) {
    case pqMax:
      break;
    case pqMedium:
      if (int64_t(PageWidth) * PageHeight > 307200) {
        tw = 640;
        th = 480;
      }
      break;
    case pqMin:
      tw = std::max(1, ControlWidth);
      th = std::max(1, ControlHeight);
      break;
  }
  double fw = 0, fh = 0;
  FitInside(PageWidth, PageHeight, tw, th, fw, fh);
  return fw / PageWidth;
}

// ---- the preview control ----

TPrintPreviewBox::TPrintPreviewBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FBitmap.SetPixelFormat(pf24bit);
}

void TPrintPreviewBox::SetZoom(double Value) {
  Value = std::clamp(Value, kMinZoom, kMaxZoom);
  if (Value == FZoom) return;
  FZoom = Value;
  Invalidate();
}

void TPrintPreviewBox::SetOffset(int32_t X, int32_t Y) {
  const int32_t maxX = std::max(0, Round32(FBitmap.Width() * FZoom / 100) - ClientWidth());
  const int32_t maxY = std::max(0, Round32(FBitmap.Height() * FZoom / 100) - ClientHeight());
  X = std::clamp(X, 0, maxX);
  Y = std::clamp(Y, 0, maxY);
  if (X == FOffsetX && Y == FOffsetY) return;
  FOffsetX = X;
  FOffsetY = Y;
  Invalidate();
}

void TPrintPreviewBox::SetMessage(const std::string& Value) {
  if (Value == FMessage) return;
  FMessage = Value;
  Invalidate();
}

void TPrintPreviewBox::Paint() {
  TCanvas& c = Canvas();
  const int32_t w = ClientWidth(), h = ClientHeight();
  // A chessboard shows where the page ends.
  constexpr int32_t kSquare = 8;
  c.Brush().SetStyle(bsSolid);
  for (int32_t y = 0; y < h; y += kSquare)
    for (int32_t x = 0; x < w; x += kSquare) {
      c.Brush().SetColor(((x / kSquare + y / kSquare) & 1) ? TColor(0xC0C0C0) : clWhite);
      c.FillRect(TRect{x, y, x + kSquare, y + kSquare});
    }
  if (FBitmap.Empty()) return;
  const TRect dest{-FOffsetX, -FOffsetY, -FOffsetX + Round32(FBitmap.Width() * FZoom / 100),
                   -FOffsetY + Round32(FBitmap.Height() * FZoom / 100)};
  StretchDrawClipped(FBitmap, &c, TRect{0, 0, FBitmap.Width(), FBitmap.Height()}, nullptr, w, h, dest);
  if (!FMessage.empty()) PaintMessage(c, w, h);
}

// The message wrapped to the control's width, on a white box with a red frame.
void TPrintPreviewBox::PaintMessage(TCanvas& C, int32_t W, int32_t H) {
  constexpr int32_t kPad = 6;
  C.Font().SetColor(clRed);
  TRect text{2 * kPad, 2 * kPad, std::max(2 * kPad + 1, W - 2 * kPad), H};
  DrawText(C, FMessage, text, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  const TRect box{kPad, kPad, std::min(W - kPad, text.Right + kPad), std::min(H - kPad, text.Bottom + kPad)};
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(clWhite);
  C.Pen().SetColor(clRed);
  C.Pen().SetStyle(psSolid);
  C.Pen().SetWidth(1);
  C.Rectangle(box);
  text.Right = box.Right - kPad;
  text.Bottom = box.Bottom - kPad;
  DrawText(C, FMessage, text, DT_WORDBREAK | DT_NOPREFIX);
}

void TPrintPreviewBox::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (HandMode) {
    FDragging = true;
    FDragX = X + FOffsetX;
    FDragY = Y + FOffsetY;
    return;
  }
  // The bitmap point under the cursor stays there.
  const double bx = (FOffsetX + X) * 100.0 / FZoom, by = (FOffsetY + Y) * 100.0 / FZoom;
  SetZoom(Button == mbRight ? FZoom / 1.5 : FZoom * 1.5);
  SetOffset(Round32(bx * FZoom / 100) - X, Round32(by * FZoom / 100) - Y);
  if (OnViewChange) OnViewChange(true);
}

void TPrintPreviewBox::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  SetOffset(FDragX - X, FDragY - Y);
  if (OnViewChange) OnViewChange(false);
}

void TPrintPreviewBox::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FDragging = false;
}

// ---- the frame ----

TprintFrame::TprintFrame(TComponent* AOwner) : TFrame(AOwner) {
  SetName("printFrame");
  SetBounds(0, 0, 360, 480);
  Image1 = new TPrintPreviewBox(this);
  Image1->SetName("Image1");
  Image1->SetParent(this);
  Image1->OnViewChange = [this](bool ZoomChanged) { ViewChanged(ZoomChanged); };

  AutoPreviewBox = new TCheckBox(this);
  AutoPreviewBox->SetName("AutoPreviewBox");
  AutoPreviewBox->SetParent(this);
  AutoPreviewBox->SetCaption("Automatische Vorschau");
  AutoPreviewBox->SetChecked(true);
  AutoPreviewBox->OnClick = [this](TObject*) { ComputePreview(); };

  PreviewButton = new TButton(this);
  PreviewButton->SetName("PreviewButton");
  PreviewButton->SetParent(this);
  PreviewButton->SetCaption("Vorschau");
  // One drawing, even while the automatic preview is off.
  PreviewButton->OnClick = [this](TObject*) {
    const bool was = AutoPreviewBox->Checked();
    AutoPreviewBox->OnClick = nullptr;
    AutoPreviewBox->SetChecked(true);
    ComputePreview();
    AutoPreviewBox->SetChecked(was);
    AutoPreviewBox->OnClick = [this](TObject*) { ComputePreview(); };
  };

  QualityBox = new TComboBox(this);
  QualityBox->SetName("QualityBox");
  QualityBox->SetParent(this);
  QualityBox->SetItems({"Max", "Mittel", "Min"});
  QualityBox->SetItemIndex(pqMin);
  QualityBox->OnChange = [this](TObject*) { ComputePreview(); };

  StandardViewBox = new TCheckBox(this);
  StandardViewBox->SetName("StandardViewBox");
  StandardViewBox->SetParent(this);
  StandardViewBox->SetCaption("Standardansicht");
  StandardViewBox->SetChecked(true);
  StandardViewBox->OnClick = [this](TObject*) {
    PageEdit->SetEnabled(!StandardViewBox->Checked());
    ComputePreview();
  };

  PageLabel = new TLabel(this);
  PageLabel->SetParent(this);
  PageLabel->SetCaption("Ansichtsseite");
  PageEdit = new TKvSpinEdit(this);
  PageEdit->SetName("PageEdit");
  PageEdit->SetParent(this);
  PageEdit->SetMinValue(1);
  PageEdit->SetMaxValue(100000);
  PageEdit->SetValue(1);
  PageEdit->SetEnabled(false);
  PageEdit->OnChange = [this](TObject*) { ComputePreview(); };

  ZoomButton = new TSpeedButton(this);
  ZoomButton->SetName("ZoomButton");
  ZoomButton->SetParent(this);
  ZoomButton->SetCaption("Zoom");
  ZoomButton->SetGroupIndex(1);
  ZoomButton->SetDown(true);
  ZoomButton->OnClick = [this](TObject*) { Image1->HandMode = false; };
  HandButton = new TSpeedButton(this);
  HandButton->SetName("HandButton");
  HandButton->SetParent(this);
  HandButton->SetCaption("Hand");
  HandButton->SetGroupIndex(1);
  HandButton->OnClick = [this](TObject*) { Image1->HandMode = true; };
  Resize();
}

void TprintFrame::Resize() {
  TFrame::Resize();
  if (!HandButton) return;  // sized while its controls are still being made
  const int32_t w = ClientWidth(), h = ClientHeight();
  const int32_t bottom = h - 70;
  AutoPreviewBox->SetBounds(5, bottom + 5, 160, 21);
  PreviewButton->SetBounds(170, bottom + 3, 80, 25);
  QualityBox->SetBounds(255, bottom + 3, 80, 23);
  StandardViewBox->SetBounds(5, bottom + 35, 130, 21);
  PageLabel->SetBounds(140, bottom + 38, 80, 17);
  PageEdit->SetBounds(220, bottom + 35, 70, 23);
  ZoomButton->SetBounds(std::max(5, w - 100), bottom + 35, 45, 25);
  HandButton->SetBounds(std::max(5, w - 50), bottom + 35, 45, 25);
}

void TprintFrame::ComputePreview() {
  if (FComputing || PageWidth <= 0 || PageHeight <= 0) return;
  FComputing = true;
  if (CommandSource) Command = CommandSource();
  // 1. The control: the page's proportions inside the box less 30 x 80 pixels.
  double cw = 0, ch = 0;
  FitInside(PageWidth, PageHeight, ClientWidth() - 30, ClientHeight() - 80, cw, ch);
  const int32_t controlW = std::max(1, int32_t(cw)), controlH = std::max(1, int32_t(ch));
  Image1->SetBounds(15, 5, controlW, controlH);
  // 2. The scale by quality, and the bitmap at that scale.
  const int32_t q = QualityBox->ItemIndex();
  PreviewScale = PreviewScaleFor(q >= 0 && q <= 2 ? TPreviewQuality(q) : pqMin, PageWidth, PageHeight, controlW,
                                 controlH);
  TBitmap& b = Image1->Bitmap();
  b.SetPixelFormat(pf24bit);
  b.SetSize(std::max(1, Round32(PageWidth * PreviewScale)), std::max(1, Round32(PageHeight * PreviewScale)));
  FitZoom = std::min(double(controlW) / b.Width(), double(controlH) / b.Height()) * 100;
  // 3. The page.
  const bool draw = AutoPreviewBox->Checked();
  TCanvas canvas(b);
  if (draw) {
    canvas.Brush().SetColor(clWhite);
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(TRect{0, 0, b.Width(), b.Height()});
  }
  LayoutError.clear();
  if (!Command.empty() && Source) {
    const int32_t page = StandardViewBox->Checked() ? -1 : PageEdit->AsInteger();
    TPrintDevice device = Device;
    device.Printer = nullptr;  // the preview never starts printer pages
    try {
      Geometry = PrintWithLayout(*Source, draw ? &canvas : nullptr, PageWidth, PageHeight, PreviewScale, draw,
                                 Command + WriteParamInt("Page", page), device);
    } catch (const Exception& e) {
      LayoutError = e.Message();
    }
  }
  Image1->SetMessage(LayoutError);
  // 4. Zoom and scroll as the user left them.
  Image1->SetZoom(FitZoom * RelativeZoom);
  Image1->SetOffset(Round32(RelativeX * b.Width() * Image1->Zoom() / 100),
                    Round32(RelativeY * b.Height() * Image1->Zoom() / 100));
  Image1->Invalidate();
  FComputing = false;
  if (OnPreview) OnPreview(this);
}

void TprintFrame::ViewChanged(bool ZoomChanged) {
  TBitmap& b = Image1->Bitmap();
  if (b.Empty()) return;
  const double z = Image1->Zoom() / 100;
  RelativeX = Image1->OffsetX() / (b.Width() * z);
  RelativeY = Image1->OffsetY() / (b.Height() * z);
  if (ZoomChanged && FitZoom > 0) RelativeZoom = Image1->Zoom() / FitZoom;
}

}  // namespace kv
