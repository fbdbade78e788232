#include "app/dialogs/size_frames.h"

#include <algorithm>
#include <cmath>

#include "app/helpers/text_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/layer/layer_helpers.h"
#include "app/main/main_form.h"
#include "app/settings/form_storage1.h"
#include "components/controls/calc_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/formats/twain_params.h"
#include "platform/graphics/bmp_format.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/forms.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/std_controls.h"

namespace kv {

bool PrintDialogBusy = false;

double UsableResolution(double Dpi) { return std::isfinite(Dpi) && Dpi > 0 ? Dpi : kDefaultFrameResolution; }

int64_t MaxFramePixels() { return kMaxBitmapPixels; }

namespace {

// A unit list: the names of units 0 to Count - 1, the first selected.
void FillUnitCombo(TComboBox& Combo, int32_t Count, std::string (*Name)(int32_t)) {
  Combo.ClearItems();
  for (int32_t i = 0; i < Count; ++i) Combo.AddItem(Name(i));
  Combo.SetItemIndex(0);
}

}  // namespace

void FillLengthUnitCombo(TComboBox& Combo) { FillUnitCombo(Combo, kLengthUnitCount, LengthUnitName); }

void FillResolutionUnitCombo(TComboBox& Combo) { FillUnitCombo(Combo, kResolutionUnitCount, ResolutionUnitName); }

double StoredUserUnit() {
  if (!form1) return 1;
  double unit = form1->StoredFloat("Userunit");
  if (!(unit > 0)) unit = form1->StoredInt("Userunit");
  return unit > 0 ? unit : 1;
}

namespace {

double ClampPixels(double Pixels) {
  if (!std::isfinite(Pixels) || Pixels < 0) return 0;
  return std::min(Pixels, double(MaxFramePixels()));
}

// The frame's store keeps the unit and the number under the names of the
// controls that show them.
tformstorage1* MakeFrameStore(TFrame* Frame, TComboBox* Combo, TKvCalcEdit* Edit,
                              const std::function<void(double Number)>& Restored) {
  auto* store = new tformstorage1(Frame);
  store->SetName("formstorage1");
  store->BeginLoading();
  TStoredValue* unit = store->StoredValues().Add();
  unit->SetName("_mycombobox1.Itemindex");
  unit->OnSave = [Combo](TObject*, TVariant& V) { V = TVariant(Combo->ItemIndex()); };
  // A value never stored reads back empty: the frame keeps what its owner set.
  unit->OnRestore = [Combo](TObject*, TVariant& V) {
    if (V.VarType() == varEmpty || V.AsString().empty()) return;
    const int32_t i = StrToIntVal(V.AsString());
    if (i >= 0 && i < Combo->Count()) Combo->SetItemIndex(i);
  };
  TStoredValue* number = store->StoredValues().Add();
  number->SetName("_KvCalcEdit1.Value");
  number->OnSave = [Edit](TObject*, TVariant& V) { V = TVariant(FloatToStr(Edit->Value())); };
  number->OnRestore = [Restored](TObject*, TVariant& V) {
    if (V.VarType() != varEmpty && !V.AsString().empty()) Restored(StrToFloatVal(V.AsString()));
  };
  store->Loaded();
  return store;
}

// Unit combo, number edit with 6 decimals, diagonal spin button.
void BuildNumberRow(TFrame* Frame, TComboBox*& Combo, TKvCalcEdit*& Edit, TKvSpinButton*& Spin) {
  Frame->SetBounds(0, 0, 230, 25);
  Edit = new TKvCalcEdit(Frame);
  Edit->SetName("_KvCalcEdit1");
  Edit->SetParent(Frame);
  Edit->SetBounds(0, 1, 95, 23);
  Edit->SetDecimalPlaces(6);
  Edit->SetZeroEmpty(false);
  Spin = new TKvSpinButton(Frame);
  Spin->SetName("SpinButton1");
  Spin->SetParent(Frame);
  Spin->SetBounds(96, 1, 20, 23);
  Combo = new TComboBox(Frame);
  Combo->SetName("mycombobox1");
  Combo->SetParent(Frame);
  Combo->SetBounds(120, 1, 110, 23);
}

}  // namespace

// ---- Tconverterframe ----

Tconverterframe::Tconverterframe(TComponent* AOwner) : TFrame(AOwner) {
  BuildNumberRow(this, mycombobox1, _KvCalcEdit1, SpinButton1);
  FillLengthUnitCombo(*mycombobox1);
  mycombobox1->OnChange = [this](TObject*) { ShowValue(); };
  _KvCalcEdit1->OnChange = [this](TObject*) { EditChange(); };
  SpinButton1->OnTopClick = [this](TObject* S) { UpClick(S); };
  SpinButton1->OnBottomClick = [this](TObject* S) { DownClick(S); };
  formstorage1 = MakeFrameStore(this, mycombobox1, _KvCalcEdit1, [this](double N) { SetShown(N); });
  ShowValue();
}

double Tconverterframe::ToPixels(double Number) const {
  return UnitToPixels(UnitIndex(), FBase, UsableResolution(FResolution), Number, StoredUserUnit());
}

double Tconverterframe::FromPixels(double Pixels) const {
  return PixelsToUnit(UnitIndex(), FBase, UsableResolution(FResolution), Pixels, StoredUserUnit());
}

int32_t Tconverterframe::UnitIndex() const { return std::max(0, mycombobox1->ItemIndex()); }

void Tconverterframe::SetUnitIndex(int32_t Unit) {
  if (Unit < 0 || Unit >= kLengthUnitCount) return;
  mycombobox1->SetItemIndex(Unit);
  ShowValue();
}

double Tconverterframe::Shown() const { return _KvCalcEdit1->Value(); }

void Tconverterframe::ShowValue() {
  FShowing = true;
  _KvCalcEdit1->SetValue(FromPixels(FValue));
  FShowing = false;
}

double Tconverterframe::Clamped(double Pixels) const {
  if (FSigned && std::isfinite(Pixels) && Pixels < 0) return -ClampPixels(-Pixels);
  return ClampPixels(Pixels);
}

void Tconverterframe::SetValue(double Pixels) {
  FValue = Clamped(Pixels);
  ShowValue();
}

void Tconverterframe::SetValueNotify(double Pixels) {
  SetValue(Pixels);
  if (OnClick) OnClick(this);
}

void Tconverterframe::SetResolution(double Dpi) {
  FResolution = Dpi;
  ShowValue();
}

void Tconverterframe::SetResolutionNotify(double Dpi) {
  SetResolution(Dpi);
  if (OnClick) OnClick(this);
}

void Tconverterframe::SetBase(double Pixels) {
  FBase = Pixels;
  ShowValue();
}

void Tconverterframe::StoreNumber(double Number) {
  const double pixels = ToPixels(Number);
  FValue = Clamped(pixels);
  // A number beyond what a bitmap can hold is shown as the limit it became.
  if (FValue != pixels) ShowValue();
}

void Tconverterframe::EditChange() {
  if (FShowing) return;
  StoreNumber(Shown());
  if (OnClick) OnClick(this);
}

void Tconverterframe::SetShown(double Number) {
  FShowing = true;
  _KvCalcEdit1->SetValue(Number);
  FShowing = false;
  StoreNumber(Number);
  if (OnClick) OnClick(this);
}

void Tconverterframe::UpClick(TObject*) {
  if (PrintDialogBusy) return;
  SetShown(Shown() + 1);
}

void Tconverterframe::DownClick(TObject*) {
  if (PrintDialogBusy) return;
  const double shown = Shown();
  if (shown > 1) SetShown(shown - 1);
}

// ---- Tdpiframeform ----

Tdpiframeform::Tdpiframeform(TComponent* AOwner) : TFrame(AOwner) {
  BuildNumberRow(this, mycombobox1, _KvCalcEdit1, SpinButton1);
  FillResolutionUnitCombo(*mycombobox1);
  mycombobox1->OnChange = [this](TObject*) { ShowValue(); };
  _KvCalcEdit1->OnChange = [this](TObject*) { EditChange(); };
  SpinButton1->OnTopClick = [this](TObject* S) { UpClick(S); };
  SpinButton1->OnBottomClick = [this](TObject* S) { DownClick(S); };
  formstorage1 = MakeFrameStore(this, mycombobox1, _KvCalcEdit1, [this](double N) { SetShown(N); });
  ShowValue();
}

int32_t Tdpiframeform::UnitIndex() const { return std::max(0, mycombobox1->ItemIndex()); }

void Tdpiframeform::SetUnitIndex(int32_t Unit) {
  if (Unit < 0 || Unit >= kResolutionUnitCount) return;
  mycombobox1->SetItemIndex(Unit);
  ShowValue();
}

double Tdpiframeform::Shown() const { return _KvCalcEdit1->Value(); }

void Tdpiframeform::ShowValue() {
  FShowing = true;
  _KvCalcEdit1->SetValue(ResolutionUnitFactor(UnitIndex(), FValue));
  FShowing = false;
}

void Tdpiframeform::SetValue(double Dpi) {
  FValue = UsableResolution(Dpi);
  ShowValue();
}

void Tdpiframeform::SetValueNotify(double Dpi) {
  SetValue(Dpi);
  if (OnClick) OnClick(this);
}

void Tdpiframeform::EditChange() {
  if (FShowing) return;
  FValue = InchResolutionFromUnit(UnitIndex(), Shown());
  if (OnClick) OnClick(this);
}

void Tdpiframeform::SetShown(double Number) {
  FShowing = true;
  _KvCalcEdit1->SetValue(Number);
  FShowing = false;
  EditChange();
}

void Tdpiframeform::UpClick(TObject*) { SetShown(Shown() + 1); }

void Tdpiframeform::DownClick(TObject*) {
  const double shown = Shown();
  if (shown > 1) SetShown(shown - 1);
}

// ---- the sources of the special menus ----

TSizeSources& SizeSources() {
  static TSizeSources sources = [] {
    TSizeSources s;
    // The scanner of the main window's acquisition, when one is set up.
    s.ScannerResolution = [](double& X, double& Y) {
      if (!form1 || !form1->imagerlayer1) return false;
      TIMTWainParams& t = form1->imagerlayer1->TWainParams();
      if (t.SourceList().empty()) return false;
      X = t.XResolution().CurrentValue();
      Y = t.YResolution().CurrentValue();
      return X > 0 && Y > 0;
    };
    s.ScannerFrame = [](double& W, double& H) {
      double x = 0, y = 0;
      if (!SizeSources().ScannerResolution || !SizeSources().ScannerResolution(x, y)) return false;
      const TIMAcquireFrame& f = form1->imagerlayer1->TWainParams().AcquireFrame;
      W = (f.Right - f.Left) * x;
      H = (f.Bottom - f.Top) * y;
      return W > 0 && H > 0;
    };
    return s;
  }();
  return sources;
}

namespace {

timagerlayer* ActiveImager() { return form1 ? form1->getimager() : nullptr; }

// The item of a caption path ("Monitor|800 x 600") in a menu; nullptr when none.
const TPopupItem* FindPopupItem(const std::vector<TPopupItem>& Items, const std::string& Path) {
  const size_t bar = Path.find('|');
  const std::string head = bar == std::string::npos ? Path : Path.substr(0, bar);
  for (const TPopupItem& it : Items) {
    if (it.Caption != head) continue;
    if (bar == std::string::npos) return &it;
    return FindPopupItem(it.Items, Path.substr(bar + 1));
  }
  return nullptr;
}

bool RunPopupPath(TPopupMenu& Menu, const std::string& Path) {
  const TPopupItem* it = FindPopupItem(Menu.Items(), Path);
  if (!it || !it->Items.empty() || !it->OnClick) return false;
  const TNotifyEvent click = it->OnClick;
  click(&Menu);
  return true;
}

void PopupRightOf(TControl& Button, TPopupMenu& Menu) {
  const TPoint p = Button.ClientToScreen(Point(Button.Width(), 0));
  Menu.SetPopupComponent(&Button);
  Menu.Popup(p.X, p.Y);
}

// The "Spezial" button both special frames show, and the menu it pops up.
void BuildSpecialButton(TFrame* Frame, TButton*& Button, TPopupMenu*& Menu) {
  Frame->SetBounds(0, 0, 75, 25);
  Button = new TButton(Frame);
  Button->SetName("SpecialButton");
  Button->SetParent(Frame);
  Button->SetCaption("Spezial");
  Button->SetBounds(0, 0, 75, 25);
  Menu = new TPopupMenu(Frame);
  Menu->SetName("PopupMenu1");
}

TPopupItem MenuItem(const std::string& Caption, std::function<void()> Action) {
  TPopupItem i;
  i.Caption = Caption;
  i.OnClick = [Action = std::move(Action)](TObject*) { Action(); };
  return i;
}

TPopupItem MenuLine() {
  TPopupItem line;
  line.Caption = "-";
  return line;
}

// The string-table text that marks a caption in inches.
const char kInchMark[] = "Zoll x";

}  // namespace

// ---- Tsizespecialform ----

Tsizespecialform::Tsizespecialform(TComponent* AOwner) : TFrame(AOwner) {
  BuildSpecialButton(this, SpecialButton, PopupMenu1);
  SpecialButton->OnClick = [this](TObject* S) { SpecialButtonClick(S); };
  BuildMenu();
}

void Tsizespecialform::SpecialButtonClick(TObject*) { PopupRightOf(*SpecialButton, *PopupMenu1); }

bool Tsizespecialform::Choose(const std::string& Path) { return RunPopupPath(*PopupMenu1, Path); }

void Tsizespecialform::Entry(void (Tsizespecialform::*Action)()) {
  if (!FSizes) return;
  FSizes->CheckBox1->SetChecked(false);
  (this->*Action)();
}

void Tsizespecialform::BuildMenu() {
  auto item = [this](const std::string& Caption, void (Tsizespecialform::*Action)()) {
    return MenuItem(Caption, [this, Action] { Entry(Action); });
  };
  auto sized = [this](const std::string& Caption) {
    return MenuItem(Caption, [this, Caption] {
      if (!FSizes) return;
      FSizes->CheckBox1->SetChecked(false);
      ApplyCaption(Caption);
    });
  };
  auto group = [&](const std::string& Caption, const std::vector<std::string>& Sizes) {
    TPopupItem g;
    g.Caption = Caption;
    for (const std::string& s : Sizes) g.Items.push_back(sized(s));
    return g;
  };
  const TPopupItem line = MenuLine();

  std::vector<TPopupItem>& items = PopupMenu1->Items();
  items = {item("Doppelte", &Tsizespecialform::Doubled),
           item("Hälfte", &Tsizespecialform::Halved),
           item("Breite und Höhe tauschen", &Tsizespecialform::Swapped),
           line,
           item("Re-Proportioniere Breite", &Tsizespecialform::ReproportionWidth),
           item("Re-Proportioniere Höhe", &Tsizespecialform::ReproportionHeight),
           item("Reproportioniere (eingepasst)", &Tsizespecialform::ReproportionFitted),
           item("Reproportioniere (abgeschnitten)", &Tsizespecialform::ReproportionCovered),
           line,
           item("Aktuelles Bild", &Tsizespecialform::ActiveImage),
           item("Aus Zwischenablage", &Tsizespecialform::FromClipboard),
           item("Orignalgröße", &Tsizespecialform::Original),
           item("Druckbarer Bereich", &Tsizespecialform::Printable),
           item("vom Scanner", &Tsizespecialform::FromScanner),
           line};
  TPopupItem monitor = group("Monitor", {"640 x 480 (Pixel)", "800 x 600", "1024 x 768", "1280 x 1024", "1600 x 1200"});
  monitor.Items.insert(monitor.Items.begin(), {item("Aktuellen Wert", &Tsizespecialform::MonitorSize), line});
  items.push_back(monitor);
  items.push_back(group("Banner", {"400 x 40 (Pixel)", "468 x 60"}));
  items.push_back(group("Icon", {"16 x 16 (Pixel)", "32 x 32", "64 x 64"}));
  items.push_back(group("Papierformat (Europa)",
                        {"A3 (297 mm x 420 mm)", "A4 (210 mm x 297 mm) - Standardgröße", "A5 (148 mm x 210 mm)",
                         "A6 (105 mm x 148 mm)", "C4 (229 mm x 324 mm)", "C5 (162 mm x 229 mm)",
                         "C6 (114 mm x 162 mm)", "C65 (114 mm x 229 mm)", "DL (110 mm x 220 mm)"}));
  items.push_back(group("Papierformate (US)",
                        {"A (8.5 Zoll x 11 Zoll)", "B (11 Zoll x 17 Zoll)", "C (17 Zoll x 22 Zoll)",
                         "B3 (353 mm x 500 mm)", "B4 (250 mm x 353 mm)", "Business (4.125 Zoll x 9.5 Zoll)",
                         "Executive (7.25 Zoll x 10.5 Zoll)", "Halfletter (5.5 Zoll x 8.5 Zoll)",
                         "Letter (8.5 Zoll x 11 Zoll)", "Legal (8.5 Zoll x 14 Zoll)"}));
  items.push_back(group("Foto", {"90 mm x 130 mm", "100 mm x 150 mm", "130 mm x 180 mm", "35 mm x 35 mm"}));
}

bool Tsizespecialform::ApplyCaption(const std::string& Caption) {
  if (!FSizes) return false;
  const std::string c = StripMenuCaption(Caption);
  int32_t unit = 0;
  double w = 0, h = 0;
  const auto physical = [&](const std::string& Mark, int32_t Unit) {
    const size_t at = c.find(Mark);
    if (at == std::string::npos) return false;
    const size_t open = c.find('(');
    w = StrToFloatVal(open == std::string::npos ? c : c.substr(open + 1));
    h = StrToFloatVal(c.substr(at + Mark.size()));
    unit = Unit;
    return true;
  };
  if (!physical("mm x", 3) && !physical(kInchMark, 1)) {
    const size_t x = c.find('x');
    if (x == std::string::npos) return false;
    w = StrToFloatVal(c.substr(0, x));
    h = StrToFloatVal(c.substr(x + 1));
  }
  Tconverterframe& fw = *FSizes->converterframe1;
  Tconverterframe& fh = *FSizes->converterframe2;
  fw.SetUnitIndex(unit);
  fh.SetUnitIndex(unit);
  FSizes->SetSize(fw.ToPixels(w), fh.ToPixels(h));
  return true;
}

void Tsizespecialform::Doubled() { FSizes->SetSize(FSizes->WidthPixels() * 2, FSizes->HeightPixels() * 2); }
void Tsizespecialform::Halved() { FSizes->SetSize(FSizes->WidthPixels() / 2, FSizes->HeightPixels() / 2); }
void Tsizespecialform::Swapped() { FSizes->SetSize(FSizes->HeightPixels(), FSizes->WidthPixels()); }

void Tsizespecialform::ReproportionWidth() {
  const double h = FSizes->HeightPixels();
  FSizes->SetSize(ScaleByRatio(h, FSizes->StartHeight(), FSizes->StartWidth()), h);
}

void Tsizespecialform::ReproportionHeight() {
  const double w = FSizes->WidthPixels();
  FSizes->SetSize(w, MulDivSafe(w, FSizes->StartHeight(), FSizes->StartWidth()));
}

void Tsizespecialform::ReproportionFitted() {
  int32_t w = 0, h = 0;
  ProportionalSize(Round32(FSizes->StartWidth()), Round32(FSizes->StartHeight()), Round32(FSizes->WidthPixels()),
                   Round32(FSizes->HeightPixels()), w, h);
  FSizes->SetSize(w, h);
}

void Tsizespecialform::ReproportionCovered() {
  int32_t w = 0, h = 0;
  ProportionalCoverSize(Round32(FSizes->StartWidth()), Round32(FSizes->StartHeight()),
                        Round32(FSizes->WidthPixels()), Round32(FSizes->HeightPixels()), w, h);
  FSizes->SetSize(w, h);
}

void Tsizespecialform::ActiveImage() {
  if (timagerlayer* im = ActiveImager()) FSizes->SetSize(im->Bitmap().Width(), im->Bitmap().Height());
}

void Tsizespecialform::FromClipboard() {
  TBitmap bmp(0, 0, pf24bit);
  if (Clipboard().GetBitmap(bmp) && bmp.Width() > 0) FSizes->SetSize(bmp.Width(), bmp.Height());
}

void Tsizespecialform::Original() { FSizes->SetSize(FSizes->StartWidth(), FSizes->StartHeight()); }

void Tsizespecialform::Printable() {
  double w = 0, h = 0;
  if (SizeSources().PrintablePage && SizeSources().PrintablePage(w, h)) FSizes->SetSize(w, h);
}

void Tsizespecialform::FromScanner() {
  double w = 0, h = 0;
  if (SizeSources().ScannerFrame && SizeSources().ScannerFrame(w, h)) FSizes->SetSize(w, h);
}

void Tsizespecialform::MonitorSize() {
  if (Screen) FSizes->SetSize(Screen->Width(), Screen->Height());
}

// ---- Tframedpispecialform ----

Tframedpispecialform::Tframedpispecialform(TComponent* AOwner) : TFrame(AOwner) {
  BuildSpecialButton(this, SpecialButton, PopupMenu1);
  SpecialButton->OnClick = [this](TObject* S) { SpecialButtonClick(S); };
  BuildMenu();
}

void Tframedpispecialform::SpecialButtonClick(TObject*) { PopupRightOf(*SpecialButton, *PopupMenu1); }

bool Tframedpispecialform::Choose(const std::string& Path) { return RunPopupPath(*PopupMenu1, Path); }

void Tframedpispecialform::Set(double Dpi) {
  if (FResolution) FResolution->SetValueNotify(Dpi);
}

void Tframedpispecialform::BuildMenu() {
  const auto item = MenuItem;
  auto numbers = [&](TPopupItem& Group, const std::vector<int32_t>& Values) {
    Group.Items.push_back(MenuLine());
    for (int32_t v : Values) {
      const std::string caption = IntToStr(v);
      Group.Items.push_back(item(caption, [this, caption] { Set(StrToFloatVal(caption)); }));
    }
  };
  // A device value of none leaves the field as it is.
  auto device = [this](const std::function<bool(double&, double&)>& Source, bool Horizontal) {
    double x = 0, y = 0;
    if (Source && Source(x, y)) Set(Horizontal ? x : y);
  };

  std::vector<TPopupItem>& items = PopupMenu1->Items();
  items.push_back(item("Aktuelles Bild", [this] {
    if (timagerlayer* im = ActiveImager()) Set(im->IOParams().DpiX);
  }));
  items.push_back(item("Originalauflösung", [this] {
    if (FResolution) Set(FResolution->StartValue());
  }));
  items.push_back(item("Monitor", [this] {
    if (Screen) Set(Screen->PixelsPerInch());
  }));
  TPopupItem printer;
  printer.Caption = "Drucker";
  printer.Items.push_back(item("Aktuellen Wert (Horizontal)", [device] { device(SizeSources().PrinterResolution, true); }));
  printer.Items.push_back(item("Aktuellen Wert (Vertikal)", [device] { device(SizeSources().PrinterResolution, false); }));
  numbers(printer, {300, 600, 720, 1440});
  items.push_back(printer);
  TPopupItem scanner;
  scanner.Caption = "Scanner";
  scanner.Items.push_back(item("Aktuellen Wert (horizontal)", [device] { device(SizeSources().ScannerResolution, true); }));
  scanner.Items.push_back(item("Aktuellen Wert (vertikal)", [device] { device(SizeSources().ScannerResolution, false); }));
  numbers(scanner, {100, 150, 200, 300, 600, 900, 1200, 2400, 4800, 7200, 9600});
  items.push_back(scanner);
}

// ---- Tsizeframe ----

Tsizeframe::Tsizeframe(TComponent* AOwner) : TFrame(AOwner) {
  SetBounds(0, 0, 420, 200);
  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetName("GroupBox1");
  GroupBox1->SetParent(this);
  GroupBox1->SetCaption("Größe");
  GroupBox1->SetAlign(alClient);

  auto label = [this](const std::string& Caption, int32_t Left, int32_t Top, int32_t Width) {
    auto* l = new TLabel(this);
    l->SetParent(GroupBox1);
    l->SetCaption(Caption);
    l->SetAutoSize(false);
    l->SetBounds(Left, Top, Width, 17);
    return l;
  };
  label("Breite", 10, 24, 90);
  label("Höhe", 10, 52, 90);
  label("Auflösung", 10, 80, 90);
  label("Hauptspeicher:", 10, 112, 110);
  label("Originalgröße:", 10, 134, 110);
  label("Originalauflösung:", 10, 156, 110);

  auto length = [this](const char* Name, int32_t Top) {
    auto* f = new Tconverterframe(this);
    f->SetName(Name);
    f->SetParent(GroupBox1);
    f->SetBounds(100, Top, 230, 25);
    return f;
  };
  converterframe1 = length("converterframe1", 20);
  converterframe2 = length("converterframe2", 48);
  dpiframeform1 = new Tdpiframeform(this);
  dpiframeform1->SetName("dpiframeform1");
  dpiframeform1->SetParent(GroupBox1);
  dpiframeform1->SetBounds(100, 76, 230, 25);

  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetParent(GroupBox1);
  CheckBox1->SetCaption("Proportional");
  CheckBox1->SetBounds(336, 52, 80, 21);
  memorylabel = label("", 125, 112, 200);
  memorylabel->SetName("memorylabel");
  origlabel = label("", 125, 134, 200);
  origlabel->SetName("origlabel");
  orres = label("", 125, 156, 200);
  orres->SetName("orres");

  sizespecialform1 = new Tsizespecialform(this);
  sizespecialform1->SetName("sizespecialform1");
  sizespecialform1->SetParent(GroupBox1);
  sizespecialform1->SetBounds(336, 20, 75, 25);
  sizespecialform1->Attach(this);
  framedpispecialform1 = new Tframedpispecialform(this);
  framedpispecialform1->SetName("framedpispecialform1");
  framedpispecialform1->SetParent(GroupBox1);
  framedpispecialform1->SetBounds(336, 76, 75, 25);
  framedpispecialform1->Attach(dpiframeform1);

  converterframe1->OnClick = [this](TObject* S) { converterframe1Click(S); };
  converterframe2->OnClick = [this](TObject* S) { converterframe2Click(S); };
  dpiframeform1->OnClick = [this](TObject* S) { dpiframeform1Click(S); };
  CheckBox1->OnClick = [this](TObject* S) { CheckBox1Click(S); };

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  TStoredValue* proportional = formstorage1->StoredValues().Add();
  proportional->SetName("proportional");
  proportional->SetValue(TVariant(false));
  formstorage1->BeforeStorage = [this, proportional](TObject*) {
    proportional->SetValue(TVariant(CheckBox1->Checked()));
  };
  formstorage1->Loaded();

  FQuiet = true;
  dpiframeform1->SetValue(kDefaultFrameResolution);
  converterframe1->SetResolution(kDefaultFrameResolution);
  converterframe2->SetResolution(kDefaultFrameResolution);
  converterframe1->SetValue(400);
  converterframe2->SetValue(400);
  FQuiet = false;
  Changed();
}

double Tsizeframe::WidthPixels() const { return converterframe1->Value(); }
double Tsizeframe::HeightPixels() const { return converterframe2->Value(); }
double Tsizeframe::Resolution() const { return UsableResolution(dpiframeform1->Value()); }

void Tsizeframe::LimitArea(bool WidthChanged) {
  const double w = std::max<double>(1, Round(WidthPixels()));
  const double h = std::max<double>(1, Round(HeightPixels()));
  const double limit = double(MaxFramePixels());
  if (w * h <= limit) return;
  if (WidthChanged)
    converterframe1->SetValue(std::floor(limit / h));
  else
    converterframe2->SetValue(std::floor(limit / w));
}

void Tsizeframe::SetSize(double Width, double Height) {
  converterframe1->SetValue(Width);
  converterframe2->SetValue(Height);
  LimitArea(true);
  ChangedBy(sizespecialform1);
}

void Tsizeframe::Changed() { ChangedBy(this); }

void Tsizeframe::ChangedBy(TObject* Source) {
  const int64_t bytes = int64_t(Round(WidthPixels())) * int64_t(Round(HeightPixels())) * 3;
  memorylabel->SetCaption(FormatByteSize(bytes));
  if (OnSizeChange) OnSizeChange(Source);
}

void Tsizeframe::show() {
  FStartWidth = WidthPixels();
  FStartHeight = HeightPixels();
  const double res = Resolution();
  converterframe1->SetBase(FStartWidth);
  converterframe2->SetBase(FStartHeight);
  dpiframeform1->SetStartValue(res);
  origlabel->SetCaption(IntToStr(Round(FStartWidth)) + " x " + IntToStr(Round(FStartHeight)) + " Pixel");
  orres->SetCaption(IntToStr(Round(res)) + " dpi");
  Show();
  const TStoredValue* v = formstorage1->StoredValues().FindValue("proportional");
  const TVariant stored = v ? v->Value() : TVariant(false);
  const std::string text = stored.VarType() == varEmpty ? "" : Trim(stored.AsString());
  SetProportionalQuietly(SameText(text, "True") || StrToIntVal(text) != 0);
  Changed();
}

void Tsizeframe::SetProportionalQuietly(bool Value) {
  FQuiet = true;
  CheckBox1->SetChecked(Value);
  FQuiet = false;
}

void Tsizeframe::CheckBox1Click(TObject*) {
  if (FQuiet) return;
  if (CheckBox1->Checked()) {
    int32_t w = 0, h = 0;
    ProportionalSize(Round32(FStartWidth), Round32(FStartHeight), Round32(WidthPixels()), Round32(HeightPixels()), w,
                     h);
    converterframe1->SetValue(w);
    converterframe2->SetValue(h);
    Changed();
  } else if (OnSizeChange) {
    OnSizeChange(this);
  }
}

void Tsizeframe::converterframe1Click(TObject*) {
  if (FQuiet) return;
  if (CheckBox1->Checked()) converterframe2->SetValue(MulDivSafe(WidthPixels(), FStartHeight, FStartWidth));
  LimitArea(true);
  Changed();
}

void Tsizeframe::converterframe2Click(TObject*) {
  if (FQuiet) return;
  if (CheckBox1->Checked()) converterframe1->SetValue(ScaleByRatio(HeightPixels(), FStartHeight, FStartWidth));
  LimitArea(false);
  Changed();
}

void Tsizeframe::dpiframeform1Click(TObject*) {
  const double res = Resolution();
  // The pixels stay; only their showing in physical units changes.
  FQuiet = true;
  converterframe1->SetResolutionNotify(res);
  converterframe2->SetResolutionNotify(res);
  FQuiet = false;
  Changed();
}

}  // namespace kv
