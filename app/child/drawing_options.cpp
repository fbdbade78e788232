// The drawing-options window: its settings with their ranges and defaults,
// and the zoom box, slider and buttons that act on the active image.
#include "app/child/drawing_options.h"

#include <algorithm>
#include <cmath>

#include "app/child/child_window.h"
#include "app/child/font_dialog.h"
#include "app/filters/colour_pick.h"
#include "app/helpers/control_helpers.h"
#include "app/helpers/my_combo_box.h"
#include "components/controls/color_font_combo.h"
#include "components/controls/kv_slider.h"
#include "components/controls/kv_spin.h"
#include "components/speedbar/speed_bar.h"
#include "platform/ui/button.h"
#include "platform/ui/memo.h"
#include "platform/ui/page_control.h"
#include "platform/ui/std_controls.h"
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
  SetClientSize(300, 260);
  CreatePages();
  // The store hooks the events above, so it comes after them.
  CreateStore();
  for (TSpeedBar* bar : {SpeedBar1, SpeedBar2, SpeedBar3}) bar->SetIniStorage(Formstorage1);
  // After the stored placement is restored the face is applied again.
  Formstorage1->OnRestorePlacement = [this](TObject*) {
    FShowing = true;
    FontComboBox1->SetFontName(FOptions.TextFont.Name());
    FShowing = false;
    ApplyFont();
    ShowOptions();
  };
  if (!drawingoptionsform) drawingoptionsform = this;
}

namespace {

TLabel* AddLabel(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetBounds(X, Y, 110, 17);
  l->SetCaption(Caption);
  return l;
}

TKvSpinEdit* AddSpin(TWinControl* Parent, const std::string& Name, int32_t X, int32_t Y, double Min, double Max) {
  auto* e = new TKvSpinEdit(Parent->Owner());
  e->SetName(Name);
  e->SetParent(Parent);
  e->SetBounds(X, Y, 80, 23);
  e->SetMinValue(Min);
  e->SetMaxValue(Max);
  return e;
}

}  // namespace

TSpeedBar* TdrawingoptionsForm::MakeBar(TTabSheet* Page, const std::string& Name,
                                        const std::vector<std::string>& Captions,
                                        const std::vector<std::string>& Hints, int32_t Down,
                                        void (TdrawingoptionsForm::*Set)(int32_t)) {
  auto* bar = new TSpeedBar(this);
  bar->SetName(Name);
  bar->SetParent(Page);
  bar->SetAlign(alTop);
  const int32_t section = bar->AddSectionNamed(Name);
  for (size_t i = 0; i < Captions.size(); ++i) {
    TSpeedItem* item = bar->NewItem(bar, section, Name + "Item" + IntToStr(int32_t(i) + 1));
    item->SetCaption(Captions[i]);
    item->SetBtnCaption(Captions[i]);
    item->SetHint(Hints[i]);
    item->SetGroupIndex(1);
    item->SetBounds(4 + int32_t(i) * 34, 4, 32, 28);
    item->SetVisible(true);
    item->SetDown(int32_t(i) == Down);
    // The clicked button stays down, even when the button's own grouping
    // let it go up; the bar's pressed place is then the command's number.
    item->OnClick = [this, bar, item, Set](TObject*) {
      if (FShowing) return;
      item->SetDown(true);
      (this->*Set)(LastDownSpeedItem(*bar));
    };
  }
  return bar;
}

void TdrawingoptionsForm::CreatePages() {
  PageControl1 = new TPageControl(this);
  PageControl1->SetName("PageControl1");
  PageControl1->SetParent(this);
  PageControl1->SetAlign(alClient);
  const char* const captions[kDrawingPageCount] = {"Text", "Farbe", "Füllart", "Linienart", "Pinselart", "Zoom"};
  for (int32_t i = 0; i < kDrawingPageCount; ++i) {
    auto* sheet = new TTabSheet(this);
    sheet->SetName("TabSheet" + IntToStr(i + 1));
    sheet->SetPageControl(PageControl1);
    sheet->SetCaption(captions[i]);
    Sheets[i] = sheet;
  }

  // "Text"
  TTabSheet* text = Sheets[dpText];
  FontDialog1 = new TTextFontDialog(this);
  FontComboBox1 = new TFontComboBox(this);
  FontComboBox1->SetName("FontComboBox1");
  FontComboBox1->SetParent(text);
  FontComboBox1->SetBounds(4, 4, 170, 23);
  FontComboBox1->SetFontName(FOptions.TextFont.Name());
  FontComboBox1->OnChange = [this](TObject* S) { FontComboBox1Change(S); };
  FontButton = new TButton(this);
  FontButton->SetName("FontButton");
  FontButton->SetParent(text);
  FontButton->SetBounds(180, 3, 110, 25);
  FontButton->SetCaption("Schrift Optionen...");
  FontButton->OnClick = [this](TObject* S) { FontButtonClick(S); };
  Memo1 = new TMemo(this);
  Memo1->SetName("Memo1");
  Memo1->SetParent(text);
  Memo1->SetBounds(4, 34, 286, 180);
  Memo1->SetLines(FOptions.TextLines);
  Memo1->OnChange = [this](TObject*) {
    if (!FShowing) Memo1->GetLines(FOptions.TextLines);
  };

  // "Farbe"
  TTabSheet* colour = Sheets[dpColor];
  AddLabel(colour, 4, 4, "Vordergrund");
  foreground = new TFramehsvform(this);
  foreground->SetName("foreground");
  foreground->SetParent(colour);
  foreground->SetBounds(4, 22, 200, 90);
  AddLabel(colour, 4, 116, "Hintergrund");
  background = new TFramehsvform(this);
  background->SetName("background");
  background->SetParent(colour);
  background->SetBounds(4, 134, 200, 90);
  foreground->SetColor(FOptions.Foreground);
  foreground->SetStoredDefault(FOptions.Foreground);
  background->SetColor(FOptions.Background);
  background->SetStoredDefault(FOptions.Background);
  foreground->OnChange = foreground->OnClick = [this](TObject*) { FOptions.Foreground = foreground->Color(); };
  background->OnChange = background->OnClick = [this](TObject*) { FOptions.Background = background->Color(); };

  // "Füllart"
  SpeedBar3 = MakeBar(Sheets[dpFill], "SpeedBar3", {"■", "□", "≡", "‖", "/", "\\", "+", "×"},
                      {"Voll", "Leer", "Waagerecht", "Senkrecht", "Diagonal steigend", "Diagonal fallend", "Gitter",
                       "Diagonales Gitter"},
                      FOptions.FillStyle, &TdrawingoptionsForm::SetFillStyle);
  FillGroup = new TGroupBox(this);
  FillGroup->SetName("GroupBox1");
  FillGroup->SetParent(Sheets[dpFill]);
  FillGroup->SetBounds(4, 44, 286, 80);
  FillGroup->SetCaption("Farbfüllen / Auto Auswahl");
  AddLabel(FillGroup, 8, 22, "Toleranz (%)");
  KvSpinEdit2 = AddSpin(FillGroup, "KvSpinEdit2", 130, 18, 0, 100);
  AddLabel(FillGroup, 8, 50, "Intensität (%)");
  KvSpinEdit3 = AddSpin(FillGroup, "KvSpinEdit3", 130, 46, 0, 100);
  KvSpinEdit2->OnChange = [this](TObject*) {
    if (!FShowing) FOptions.Tolerance = std::clamp(KvSpinEdit2->Value(), 0.0, 100.0);
  };
  KvSpinEdit3->OnChange = [this](TObject*) {
    if (!FShowing) FOptions.Intensity = std::clamp(KvSpinEdit3->Value(), 0.0, 100.0);
  };

  // "Linienart"
  SpeedBar2 = MakeBar(Sheets[dpLine], "SpeedBar2", {"—", "- -", "···", "-·", "-··", " "},
                      {"Durchgezogen", "Gestrichelt", "Gepunktet", "Strich Punkt", "Strich Punkt Punkt", "Unsichtbar"},
                      FOptions.LineStyle, &TdrawingoptionsForm::SetLineStyle);
  AddLabel(Sheets[dpLine], 4, 48, "Liniendicke");
  KvSpinEdit1 = AddSpin(Sheets[dpLine], "KvSpinEdit1", 130, 44, 1, 100000);
  KvSpinEdit1->OnChange = [this](TObject*) {
    if (!FShowing) FOptions.LineWidth = std::clamp(KvSpinEdit1->Value(), 1.0, 100000.0);
  };

  // "Pinselart"
  SpeedBar1 = MakeBar(Sheets[dpBrush], "SpeedBar1", {"0", "1", "2", "3", "4"},
                      {"Pinsel 0", "Pinsel 1", "Pinsel 2", "Pinsel 3", "Pinsel 4"}, FOptions.PenStyle,
                      &TdrawingoptionsForm::SetPenStyle);

  // "Zoom"
  TTabSheet* zoom = Sheets[dpZoom];
  mycombobox1 = new mycombobox(this);
  mycombobox1->SetName("mycombobox1");
  // A zoom is typed as well as chosen.
  mycombobox1->SetEditable(true);
  mycombobox1->SetParent(zoom);
  mycombobox1->SetBounds(4, 4, 100, 23);
  for (const std::string& item : ZoomItems()) mycombobox1->AddItem(item);
  mycombobox1->SetText(FZoomText);
  mycombobox1->OnChange = [this](TObject*) {
    if (FShowing) return;
    FZoomText = mycombobox1->Text();
    ZoomBoxChange(mycombobox1);
  };
  KvSlider1 = new TKvSlider(this);
  KvSlider1->SetName("KvSlider1");
  KvSlider1->SetParent(zoom);
  KvSlider1->SetBounds(110, 2, 180, 28);
  KvSlider1->SetMinValue(1);
  KvSlider1->SetMaxValue(500);
  KvSlider1->SetValue(100);
  KvSlider1->OnChange = [this](TObject*) {
    if (!FShowing) ZoomSliderChange(KvSlider1->Value());
  };
  int32_t i = 0;
  for (const std::string& caption : ZoomButtonCaptions()) {
    auto* b = new TButton(this);
    b->SetParent(zoom);
    b->SetBounds(4 + (i % 3) * 96, 40 + (i / 3) * 30, 90, 25);
    b->SetCaption(caption);
    b->OnClick = [this, caption](TObject*) { ZoomButtonClick(caption); };
    ZoomButtons.push_back(b);
    ++i;
  }
  ZoomButtons[7]->SetEnabled(FSelectionZoomEnabled);
  ShowOptions();
}

void TdrawingoptionsForm::ShowOptions() {
  FShowing = true;
  auto press = [](TSpeedBar* Bar, int32_t Place) {
    for (int32_t k = 0; k < Bar->ItemCountOf(0); ++k)
      if (TSpeedItem* item = Bar->ItemAt(0, k)) item->SetDown(k == Place);
  };
  press(SpeedBar3, FOptions.FillStyle);
  press(SpeedBar2, FOptions.LineStyle);
  press(SpeedBar1, FOptions.PenStyle);
  KvSpinEdit1->SetValue(FOptions.LineWidth);
  KvSpinEdit2->SetValue(FOptions.Tolerance);
  KvSpinEdit3->SetValue(FOptions.Intensity);
  Memo1->SetLines(FOptions.TextLines);
  foreground->SetColor(FOptions.Foreground);
  background->SetColor(FOptions.Background);
  FShowing = false;
}

void TdrawingoptionsForm::SetPageVisible(TDrawingPage Page, bool Value) {
  FPages[Page] = Value;
  if (Sheets[Page]) Sheets[Page]->SetTabVisible(Value);
}

void TdrawingoptionsForm::SetSelectionZoomEnabled(bool Value) {
  FSelectionZoomEnabled = Value;
  if (ZoomButtons.size() > 7) ZoomButtons[7]->SetEnabled(Value);  // "Markierung"
}

void TdrawingoptionsForm::ApplyFont() { Memo1->Font().Assign(FOptions.TextFont); }

void TdrawingoptionsForm::FontButtonClick(TObject*) {
  TFont font;
  font.Assign(FOptions.TextFont);
  if (!FontDialog1->Execute(font)) return;
  FOptions.TextFont.Assign(font);
  FShowing = true;
  FontComboBox1->SetFontName(font.Name());
  FShowing = false;
  ApplyFont();
}

void TdrawingoptionsForm::FontComboBox1Change(TObject*) {
  if (FShowing || FontComboBox1->FontName().empty()) return;
  FOptions.TextFont.SetName(FontComboBox1->FontName());
  ApplyFont();
}

void TdrawingoptionsForm::SetZoomText(const std::string& Value) {
  FZoomText = Value;
  FShowing = true;
  mycombobox1->SetText(Value);
  FShowing = false;
}

void SetDrawingColor(bool Background, TColor Value) {
  TDrawingOptions& o = CurrentDrawingOptions();
  (Background ? o.Background : o.Foreground) = Value;
  if (drawingoptionsform) (Background ? drawingoptionsform->background : drawingoptionsform->foreground)->SetColor(Value);
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

void TdrawingoptionsForm::SetFillStyle(int32_t Value) {
  FOptions.FillStyle = ClampInt(Value, 0, kFillStyleCount - 1);
  if (!FShowing) ShowOptions();
}
void TdrawingoptionsForm::SetLineStyle(int32_t Value) {
  FOptions.LineStyle = ClampInt(Value, 0, kLineStyleCount - 1);
  if (!FShowing) ShowOptions();
}
void TdrawingoptionsForm::SetPenStyle(int32_t Value) {
  FOptions.PenStyle = ClampInt(Value, 0, kBrushSizeCount - 1);
  if (!FShowing) ShowOptions();
}
void TdrawingoptionsForm::SetLineWidth(double Value) {
  FOptions.LineWidth = std::clamp(Value, 1.0, 100000.0);
  if (!FShowing && KvSpinEdit1) ShowOptions();
}
void TdrawingoptionsForm::SetTolerance(double Value) {
  FOptions.Tolerance = std::clamp(Value, 0.0, 100.0);
  if (!FShowing && KvSpinEdit2) ShowOptions();
}
void TdrawingoptionsForm::SetIntensity(double Value) {
  FOptions.Intensity = std::clamp(Value, 0.0, 100.0);
  if (!FShowing && KvSpinEdit3) ShowOptions();
}

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
  if (KvSlider1) {
    FShowing = true;
    KvSlider1->SetValue(FZoomSlider);
    FShowing = false;
  }
}

void TdrawingoptionsForm::ZoomSliderChange(int32_t Position) {
  SetZoomText(IntToStr(Position) + " %");
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
