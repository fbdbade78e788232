// The drawing-options window: its settings with their ranges and defaults,
// and the zoom box, slider and buttons that act on the active image.
#include "app/child/drawing_options.h"

#include <algorithm>
#include <cmath>

#include "app/child/child_window.h"
#include "app/helpers/text_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/settings/form_storage1.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/actions.h"
#include "platform/ui/application.h"
#include "platform/ui/status_bar.h"
#include "imaging/views/ruler_box.h"

namespace kv {

TdrawingoptionsForm* drawingoptionsform = nullptr;

TDrawingOptions::TDrawingOptions() { TextLines.Add("Test Text"); }

TDrawingOptions& CurrentDrawingOptions() {
  if (drawingoptionsform) return drawingoptionsform->Options();
  static TDrawingOptions defaults;
  return defaults;
}

TdrawingoptionsForm::TdrawingoptionsForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("drawingoptionsForm");
  SetCaption("Zeichnen");
  SetFormStyle(fsStayOnTop);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  // The store reads its values back whenever the window is shown: hidden by
  // the menu (no close), the window keeps what was set by saving first.
  OnHide = [this](TObject*) {
    if (!Formstorage1 || !Formstorage1->Restored()) return;
    try {
      Formstorage1->SaveFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);  // hiding goes on
    }
  };
  // The store hooks the events above, so it comes after them.
  CreateStore();
  if (!drawingoptionsform) drawingoptionsform = this;
}

void TdrawingoptionsForm::CreateStore() {
  Formstorage1 = new tformstorage1(this);
  Formstorage1->SetName("Formstorage1");
  Formstorage1->BeginLoading();
  // Named after the fields that show them: the face box, the text memo and the three number fields.
  struct TSlot {
    const char* Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
  };
  const TSlot slots[] = {
      {"FontComboBox1.FontName", [this] { return FOptions.TextFont.Name(); },
       [this](const std::string& V) {
         if (!V.empty()) FOptions.TextFont.SetName(V);
       }},
      {"Memo1.Lines", [this] { return FOptions.TextLines.CommaText(); },
       [this](const std::string& V) { FOptions.TextLines.SetCommaText(V); }},
      {"KvSpinEdit2.Value", [this] { return FloatToStr(FOptions.Tolerance); },
       [this](const std::string& V) { SetTolerance(StrToFloatVal(V)); }},
      {"KvSpinEdit3.Value", [this] { return FloatToStr(FOptions.Intensity); },
       [this](const std::string& V) { SetIntensity(StrToFloatVal(V)); }},
      {"KvSpinEdit1.Value", [this] { return FloatToStr(FOptions.LineWidth); },
       [this](const std::string& V) { SetLineWidth(StrToFloatVal(V)); }},
  };
  for (const TSlot& slot : slots) {
    TStoredValue* v = Formstorage1->StoredValues().Add();
    v->SetName(slot.Name);
    v->SetValue(TVariant(slot.Get()));
    v->OnSave = [get = slot.Get](TObject*, TVariant& Value) { Value = TVariant(get()); };
    // A value never stored reads back as the one taken at creation.
    v->OnRestore = [set = slot.Set](TObject*, TVariant& Value) { set(Value.AsString()); };
  }
  Formstorage1->Loaded();
}

TdrawingoptionsForm::~TdrawingoptionsForm() {
  if (drawingoptionsform == this) drawingoptionsform = nullptr;
}

void TdrawingoptionsForm::SetFillStyle(int32_t Value) { FOptions.FillStyle = ClampInt(Value, 0, kFillStyleCount - 1); }
void TdrawingoptionsForm::SetLineStyle(int32_t Value) { FOptions.LineStyle = ClampInt(Value, 0, kLineStyleCount - 1); }
void TdrawingoptionsForm::SetPenStyle(int32_t Value) { FOptions.PenStyle = ClampInt(Value, 0, kBrushSizeCount - 1); }
void TdrawingoptionsForm::SetLineWidth(double Value) { FOptions.LineWidth = std::clamp(Value, 1.0, 100000.0); }
void TdrawingoptionsForm::SetTolerance(double Value) { FOptions.Tolerance = std::clamp(Value, 0.0, 100.0); }
void TdrawingoptionsForm::SetIntensity(double Value) { FOptions.Intensity = std::clamp(Value, 0.0, 100.0); }

const std::vector<std::string>& TdrawingoptionsForm::ZoomItems() {
  static const std::vector<std::string> items = {"500 %", "300 %", "200 %", "150 %", "100 %",
                                                 " 75 %", " 50 %", " 25 %", " 10 %"};
  return items;
}

const std::vector<std::string>& TdrawingoptionsForm::ZoomButtonCaptions() {
  static const std::vector<std::string> captions = {"1:1", "Kleiner", "Größer", "1:2", "1:3",
                                                    "2:1", "3:1", "Markierung", "Fenster"};
  return captions;
}

namespace {

Tchild* ActiveImageWindow() { return form1 ? dynamic_cast<Tchild*>(form1->ActiveMDIChild()) : nullptr; }

}  // namespace

void TdrawingoptionsForm::ZoomBoxChange(TObject* Sender) {
  const int32_t zoom = std::max(1, StrToIntVal(FZoomText));
  // An image window tells the box its own zoom: setting it back would only loop.
  if (!dynamic_cast<Tchild*>(Sender))
    if (Tchild* child = ActiveImageWindow(); child && child->imager1) child->imager1->SetZoom(zoom);
  FZoomSlider = std::clamp(zoom, 1, 500);
}

void TdrawingoptionsForm::ZoomSliderChange(int32_t Position) {
  FZoomText = IntToStr(Position) + " %";
  ZoomBoxChange(this);
}

bool TdrawingoptionsForm::ZoomButtonClick(const std::string& Caption) {
  const std::string wanted = LowerCase(StripMenuCaption(Caption));
  const auto& captions = ZoomButtonCaptions();
  const auto it = std::find_if(captions.begin(), captions.end(),
                               [&](const std::string& c) { return LowerCase(StripMenuCaption(c)) == wanted; });
  if (it == captions.end()) return false;
  Tchild* child = ActiveImageWindow();
  if (!child || !child->imager1) return true;
  timagerlayer& view = *child->imager1;
  switch (it - captions.begin()) {
    case 0: view.SetZoom(100); break;
    case 1: view.SetZoom(std::max(1.0, view.Zoom() / 2)); break;
    case 2: view.SetZoom(view.Zoom() * 2); break;
    case 3: view.SetZoom(50); break;
    case 4: view.SetZoom(33); break;
    case 5: view.SetZoom(200); break;
    case 6: view.SetZoom(300); break;
    case 7: view.ZoomSelection(); break;
    default: view.SetZoom(WindowFitZoom(*child)); break;
  }
  return true;
}

void TdrawingoptionsForm::FormClose(TObject*, TCloseAction&) {
  if (!form1) return;
  TComponent* found = form1->FindComponent("zeichnenaction");
  if (!found && form1->ActionList1) found = form1->ActionList1->FindComponent("zeichnenaction");
  if (auto* action = dynamic_cast<TCustomAction*>(found)) action->SetChecked(false);
}

int32_t WindowFitZoom(Tchild& Child) {
  if (!Child.imager1) return 100;
  const TBitmap& bmp = Child.imager1->Bitmap();
  int32_t h = Child.ClientHeight();
  int32_t w = Child.ClientWidth();
  if (Child.StatusBar1 && Child.StatusBar1->Visible()) h -= Child.StatusBar1->Height() + 1;
  if (Child.RulerBox1 && Child.RulerBox1->Visible()) h -= Child.RulerBox1->Height() + 1;
  if (Child.RulerBox2 && Child.RulerBox2->Visible()) w -= Child.RulerBox2->Width() + 1;
  if (bmp.Width() <= 0 || bmp.Height() <= 0) return 100;
  // Rounded down, and with the half pixel the view adds to a picture's size:
  // a zoom rounded up made the picture a pixel too large for its window,
  // which then kept scroll bars although the picture was meant to fit.
  constexpr double kViewSizeMargin = 0.5;
  const double zoom =
      std::min(h * 100.0 / (bmp.Height() + kViewSizeMargin), w * 100.0 / (bmp.Width() + kViewSizeMargin));
  const int32_t whole = Trunc32(zoom);
  return whole < 0 ? 100 : std::max(whole, 1);
}

}  // namespace kv
