#include "app/workflows/print_dialog.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/catalog/thumbnail_cache.h"
#include "app/helpers/size_units.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "components/controls/kv_spin.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/system/printer.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// The anchor bits of the buttons: rows top (2), middle, bottom (1); columns left (8), centre, right (4).
constexpr int32_t kRowBits[3] = {2, 0, 1};
constexpr int32_t kColumnBits[3] = {8, 0, 4};

std::vector<std::string> LengthUnits() {
  std::vector<std::string> v;
  for (int32_t u = 0; u < kLengthUnitCount; ++u) v.push_back(LengthUnitName(u));
  return v;
}

std::string Fixed2(double V) { return FormatFloat("0.00", V); }

}  // namespace

Tprintform::Tprintform(TComponent* AOwner, int32_t Mode, timagerlayer* Image, const TStrings* CatalogFiles)
    : TForm(AOwner), FMode(std::clamp(Mode, 0, 3)), FImage(FMode == 3 ? nullptr : Image) {
  SetName("printform");
  SetCaption("Drucken");
  SetPosition(poScreenCenter);
  SetClientSize(760, 600);
  if (FImage) FSource = PrintSourceOf(*FImage);
  FSource.CatalogFiles = CatalogFiles;
  ReadParamFont("", FFont);

  auto label = [this](TWinControl* Parent, const std::string& Caption, int32_t X, int32_t Y, int32_t W = 110) {
    auto* l = new TLabel(this);
    l->SetParent(Parent);
    l->SetCaption(Caption);
    l->SetBounds(X, Y + 3, W, 17);
    return l;
  };
  auto speed = [this](const char* Name, const std::string& Caption, int32_t Group, int32_t X, int32_t Y, int32_t W) {
    auto* b = new TSpeedButton(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetGroupIndex(Group);
    b->SetAllowAllUp(true);
    b->SetBounds(X, Y, W, 25);
    return b;
  };
  auto button = [this](const char* Name, const std::string& Caption, int32_t X, int32_t Y, int32_t W) {
    auto* b = new TButton(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(X, Y, W, 25);
    return b;
  };
  auto check = [this](const char* Name, const std::string& Caption, int32_t X, int32_t Y) {
    auto* c = new TCheckBox(this);
    c->SetName(Name);
    c->SetParent(this);
    c->SetCaption(Caption);
    c->SetBounds(X, Y, 170, 21);
    return c;
  };
  auto valueUnit = [this](const char* Name, int32_t X, int32_t Y, TEdit*& Edit, TComboBox*& Unit) {
    Edit = new TEdit(this);
    Edit->SetName(Name);
    Edit->SetParent(this);
    Edit->SetBounds(X, Y, 80, 23);
    Unit = new TComboBox(this);
    Unit->SetName(std::string(Name) + "Unit");
    Unit->SetParent(this);
    Unit->SetBounds(X + 85, Y, 90, 23);
    Unit->SetItems(LengthUnits());
    Unit->SetItemIndex(0);
  };

  FitButton = speed("FitButton", "Voll (eingepasst)", 2, 10, 10, 110);
  FillButton = speed("FillButton", "Voll (abgeschnitten)", 2, 125, 10, 120);
  OriginalButton = speed("OriginalButton", "Originalgröße", 2, 250, 10, 100);
  OriginalButton->SetDown(true);
  for (TSpeedButton* b : {FitButton, FillButton, OriginalButton})
    b->OnClick = [this](TObject*) { SizeChanged(true); };

  for (int32_t r = 0; r < 3; ++r)
    for (int32_t c = 0; c < 3; ++c) {
      TSpeedButton* b = speed(("Anchor" + IntToStr(r) + IntToStr(c)).c_str(), "", 3, 10 + c * 22, 45 + r * 22, 20);
      b->OnClick = [this](TObject*) {
        if (FUpdating) return;
        Preview();
        WriteBackGeometry();
      };
      AnchorButtons[r][c] = b;
    }

  label(this, "Abstand", 90, 42);
  label(this, "Links", 90, 62, 45);
  valueUnit("LeftEdit", 140, 62, LeftEdit, LeftUnit);
  label(this, "Oben", 90, 90, 45);
  valueUnit("TopEdit", 140, 90, TopEdit, TopUnit);
  for (TEdit* e : {LeftEdit, TopEdit}) e->OnChange = [this](TObject*) { PositionChanged(); };
  for (TComboBox* u : {LeftUnit, TopUnit}) u->OnChange = [this](TObject*) { WriteBackGeometry(); };
  WithOffsetBox = check("WithOffsetBox", "Ränder hinzurechnen", 90, 118);
  WithOffsetBox->OnClick = [this](TObject*) { Preview(); };

  label(this, "Breite", 10, 150, 45);
  valueUnit("WidthEdit", 60, 150, WidthEdit, WidthUnit);
  label(this, "Höhe", 10, 178, 45);
  valueUnit("HeightEdit", 60, 178, HeightEdit, HeightUnit);
  WidthEdit->OnChange = [this](TObject*) {
    if (FUpdating) return;
    if (ProportionalBox->Checked()) {
      const double picW = FMode == 3 ? tcache().Width() : (FSource.Picture ? FSource.Picture->Width() : 0);
      const double picH = FMode == 3 ? tcache().Height() : (FSource.Picture ? FSource.Picture->Height() : 0);
      const double dpi = printFrame1->Device.Dpi;
      const double w = UnitToPixels(WidthUnit->ItemIndex(), picW, dpi, EditValue(WidthEdit));
      if (picW > 0) {
        FUpdating = true;
        SetEditValue(HeightEdit, PixelsToUnit(HeightUnit->ItemIndex(), picH, dpi, w * picH / picW));
        FUpdating = false;
      }
    }
    SizeChanged(false);
  };
  HeightEdit->OnChange = [this](TObject*) { SizeChanged(false); };
  for (TComboBox* u : {WidthUnit, HeightUnit}) u->OnChange = [this](TObject*) { WriteBackGeometry(); };
  ProportionalBox = check("ProportionalBox", "Proportional", 240, 150);
  ProportionalBox->SetBounds(240, 150, 110, 21);
  ProportionalBox->OnClick = [this](TObject*) { SizeChanged(false); };
  HalfButton = button("HalfButton", "/ 2", 240, 176, 50);
  HalfButton->OnClick = [this](TObject*) { ScaleSize(0.5); };
  DoubleButton = button("DoubleButton", "x 2", 295, 176, 50);
  DoubleButton->OnClick = [this](TObject*) { ScaleSize(2); };

  CutLinesBox = check("CutLinesBox", "Schneidelinien", 10, 210);
  CutLinesBox->OnClick = [this](TObject*) { Preview(); };

  label(this, "Schriftgröße", 10, 238, 90);
  FontSizeEdit = new TKvSpinEdit(this);
  FontSizeEdit->SetName("FontSizeEdit");
  FontSizeEdit->SetParent(this);
  FontSizeEdit->SetBounds(105, 238, 70, 23);
  FontSizeEdit->SetMinValue(1);
  FontSizeEdit->SetMaxValue(9999);
  FontSizeEdit->SetValue(std::max(1, FFont.Size()));
  FontSizeEdit->OnChange = [this](TObject*) {
    if (FUpdating) return;
    FFont.SetSize(std::max(1, FontSizeEdit->AsInteger()));
    Preview();
  };
  FontButton = button("FontButton", "Schrift-Optionen...", 185, 237, 140);
  FontButton->OnClick = [this](TObject*) {
    TFontDialog dialog(nullptr);
    dialog.Font().Assign(FFont);
    if (!dialog.Execute()) return;
    FFont.Assign(dialog.Font());
    FUpdating = true;
    FontSizeEdit->SetValue(std::max(1, FFont.Size()));
    FUpdating = false;
    Preview();
  };

  label(this, "Zusätzliche Informationen", 10, 266, 200);
  InfoList = new TCheckListBox(this);
  InfoList->SetName("InfoList");
  InfoList->SetParent(this);
  InfoList->SetBounds(10, 288, 200, 150);
  for (int32_t i = 0; i < kImageInfoCount; ++i) InfoList->Items().Add(ImageInfoText(tImageInfo(i)));
  InfoList->OnClickCheck = [this](TObject*) { Preview(); };

  label(this, "Anzahl der Drucke", 220, 288, 120);
  CopiesEdit = new TKvSpinEdit(this);
  CopiesEdit->SetName("CopiesEdit");
  CopiesEdit->SetParent(this);
  CopiesEdit->SetBounds(220, 310, 80, 23);
  CopiesEdit->SetMinValue(1);
  CopiesEdit->SetMaxValue(10000);
  CopiesEdit->SetValue(1);

  PrinterBox = new TGroupBox(this);
  PrinterBox->SetName("PrinterBox");
  PrinterBox->SetParent(this);
  PrinterBox->SetCaption("Drucker");
  PrinterBox->SetBounds(10, 445, 350, 110);
  PrinterNameLabel = label(PrinterBox, "", 10, 15, 330);
  ResolutionLabel = label(PrinterBox, "", 10, 38, 200);
  PageSizeLabel = label(PrinterBox, "", 10, 60, 200);
  MarginsLabel = label(PrinterBox, "", 10, 82, 240);
  auto unitBox = [this](const char* Name, int32_t Y, const std::vector<std::string>& Items) {
    auto* c = new TComboBox(this);
    c->SetName(Name);
    c->SetParent(PrinterBox);
    c->SetBounds(255, Y, 90, 21);
    c->SetItems(Items);
    c->SetItemIndex(0);
    c->OnChange = [this](TObject*) { FillPrinterPage(); };
    return c;
  };
  std::vector<std::string> resUnits;
  for (int32_t u = 0; u < kResolutionUnitCount; ++u) resUnits.push_back(ResolutionUnitName(u));
  ResolutionUnit = unitBox("ResolutionUnit", 36, resUnits);
  PageSizeUnit = unitBox("PageSizeUnit", 58, LengthUnits());
  MarginsUnit = unitBox("MarginsUnit", 80, LengthUnits());
  PageSizeUnit->SetItemIndex(3);
  MarginsUnit->SetItemIndex(3);
  SetupButton = button("SetupButton", "Druck-Einstellungen...", 210, 10, 135);
  SetupButton->SetParent(PrinterBox);
  SetupButton->OnClick = [this](TObject*) { PrinterSetup(); };

  printFrame1 = new TprintFrame(this);
  printFrame1->SetParent(this);
  printFrame1->SetBounds(370, 5, 385, 550);
  printFrame1->Source = &FSource;
  printFrame1->CommandSource = [this] { return FShown ? BuildCommand() : std::string(); };

  PrintButton = button("PrintButton", "&Drucken", 560, 565, 90);
  PrintButton->SetDefault(true);
  PrintButton->OnClick = [this](TObject*) { PrintClick(); };
  CancelButton = button("CancelButton", "Abbrechen", 660, 565, 90);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);

  OnShow = [this](TObject* Sender) { FormShow(Sender); };

  // The store comes after OnShow: it restores first, then the dialog shows.
  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  struct TSlot {
    std::string Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
  };
  std::vector<TSlot> slots;
  auto checkSlot = [&](const std::string& Name, TCheckBox* C) {
    slots.push_back({Name + ".Checked", [C] { return std::string(C->Checked() ? "1" : "0"); },
                     [C](const std::string& V) { C->SetChecked(StrToIntDef(Trim(V), 0) != 0); }});
  };
  auto comboSlot = [&](TComboBox* C) {
    slots.push_back({C->Name() + ".ItemIndex", [C] { return IntToStr(C->ItemIndex()); },
                     [C](const std::string& V) {
                       const int32_t i = StrToIntDef(Trim(V), -1);
                       if (i >= 0 && i < C->Count()) C->SetItemIndex(i);
                     }});
  };
  auto editSlot = [&](TEdit* E) {
    slots.push_back({E->Name() + ".Text", [E] { return E->Text(); }, [E](const std::string& V) { E->SetText(V); }});
  };
  checkSlot("CutLinesBox", CutLinesBox);
  checkSlot("WithOffsetBox", WithOffsetBox);
  checkSlot("ProportionalBox", ProportionalBox);
  for (TComboBox* c : {LeftUnit, TopUnit, WidthUnit, HeightUnit, ResolutionUnit, PageSizeUnit, MarginsUnit})
    comboSlot(c);
  for (TEdit* e : {LeftEdit, TopEdit, WidthEdit, HeightEdit}) editSlot(e);
  slots.push_back({"CopiesEdit.Value", [this] { return IntToStr(CopiesEdit->AsInteger()); },
                   [this](const std::string& V) { CopiesEdit->SetValue(std::max(1, StrToIntDef(Trim(V), 1))); }});
  slots.push_back({"InfoList.Set",
                   [this] {
                     tImageInfoset set;
                     for (int32_t i = 0; i < kImageInfoCount; ++i)
                       if (InfoList->Checked(i)) set.Include(tImageInfo(i));
                     return WriteParamImageInfoset("Info", set);
                   },
                   [this](const std::string& V) {
                     const tImageInfoset set = ReadParamImageInfoset(V, "Info");
                     for (int32_t i = 0; i < kImageInfoCount; ++i) InfoList->SetChecked(i, set.Contains(tImageInfo(i)));
                   }});
  slots.push_back({"Font", [this] { return WriteParamFont(FFont); },
                   [this](const std::string& V) {
                     if (!Trim(V).empty()) ReadParamFont(V, FFont);
                   }});
  for (const TSlot& slot : slots) {
    TStoredValue* v = formstorage1->StoredValues().Add();
    v->SetName(slot.Name);
    v->SetValue(TVariant(slot.Get()));
    v->OnSave = [get = slot.Get](TObject*, TVariant& Value) { Value = TVariant(get()); };
    v->OnRestore = [set = slot.Set](TObject*, TVariant& Value) { set(Value.AsString()); };
  }
  formstorage1->Loaded();
  SetEditValue(LeftEdit, 0);
  SetEditValue(TopEdit, 0);
  SetEditValue(WidthEdit, 600);
  SetEditValue(HeightEdit, 600);
}

double Tprintform::EditValue(const TEdit* Edit) const { return StrToFloatDef(Trim(Edit->Text()), 0); }

void Tprintform::SetEditValue(TEdit* Edit, double Value) {
  const bool was = FUpdating;
  FUpdating = true;
  Edit->SetText(Fixed2(Value));
  FUpdating = was;
}

int32_t Tprintform::DirectionPos() const {
  for (int32_t r = 0; r < 3; ++r)
    for (int32_t c = 0; c < 3; ++c)
      if (AnchorButtons[r][c]->Down()) return kRowBits[r] | kColumnBits[c];
  return -1;
}

int32_t Tprintform::SpecialSize() const {
  if (FitButton->Down()) return 1;
  if (FillButton->Down()) return 2;
  if (OriginalButton->Down()) return 3;
  return 0;
}

std::string Tprintform::BuildCommand() const {
  tImageInfoset set;
  for (int32_t i = 0; i < kImageInfoCount; ++i)
    if (InfoList->Checked(i)) set.Include(tImageInfo(i));
  return "Print" + WriteParamInt("Mode", FMode) + WriteParamInt("Specialsize", SpecialSize()) +
         WriteParamInt("DirectionPos", DirectionPos()) + WriteParamInt("NumPrints", CopiesEdit->AsInteger()) +
         WriteParamBool("Withoffset", WithOffsetBox->Checked()) + WriteParamFloat("left", EditValue(LeftEdit)) +
         WriteParamInt("vleft", LeftUnit->ItemIndex()) + WriteParamFloat("top", EditValue(TopEdit)) +
         WriteParamInt("vtop", TopUnit->ItemIndex()) + WriteParamFloat("width", EditValue(WidthEdit)) +
         WriteParamInt("vwidth", WidthUnit->ItemIndex()) + WriteParamFloat("height", EditValue(HeightEdit)) +
         WriteParamInt("vheight", HeightUnit->ItemIndex()) + WriteParamBool("cutlines", CutLinesBox->Checked()) +
         WriteParamFont(FFont) + WriteParamImageInfoset("ImageInfoSet", set);
}

void Tprintform::Preview() {
  if (FUpdating || !FShown) return;
  printFrame1->Command = BuildCommand();
  printFrame1->ComputePreview();
}

void Tprintform::SpecialUp() {
  for (TSpeedButton* b : {FitButton, FillButton, OriginalButton}) b->SetDown(false);
}

void Tprintform::SizeChanged(bool FromSpecial) {
  if (FUpdating) return;
  if (!FromSpecial) SpecialUp();
  Preview();
  if (FromSpecial) WriteBackGeometry();
}

void Tprintform::PositionChanged() {
  if (FUpdating) return;
  FUpdating = true;
  for (auto& row : AnchorButtons)
    for (TSpeedButton* b : row) b->SetDown(false);
  FUpdating = false;
  Preview();
}

void Tprintform::ScaleSize(double Factor) {
  FUpdating = true;
  SetEditValue(WidthEdit, EditValue(WidthEdit) * Factor);
  SetEditValue(HeightEdit, EditValue(HeightEdit) * Factor);
  SpecialUp();
  FUpdating = false;
  Preview();
  WriteBackGeometry();
}

// The position and size edits show the last layout in their units.
void Tprintform::WriteBackGeometry() {
  if (!FShown || !printFrame1->LayoutError.empty()) return;
  const TPrintGeometry& g = printFrame1->Geometry;
  const double dpi = printFrame1->Device.Dpi;
  const double pw = printFrame1->PageWidth, ph = printFrame1->PageHeight;
  const double picW = FMode == 3 ? tcache().Width() : (FSource.Picture ? FSource.Picture->Width() : 0);
  const double picH = FMode == 3 ? tcache().Height() : (FSource.Picture ? FSource.Picture->Height() : 0);
  const double user = printFrame1->Device.UserUnit;
  FUpdating = true;
  SetEditValue(LeftEdit, PixelsToUnit(LeftUnit->ItemIndex(), pw, dpi, g.Left, user));
  SetEditValue(TopEdit, PixelsToUnit(TopUnit->ItemIndex(), ph, dpi, g.Top, user));
  SetEditValue(WidthEdit, PixelsToUnit(WidthUnit->ItemIndex(), picW, dpi, g.Width, user));
  SetEditValue(HeightEdit, PixelsToUnit(HeightUnit->ItemIndex(), picH, dpi, g.Height, user));
  FUpdating = false;
  printFrame1->Command = BuildCommand();
}

void Tprintform::FillPrinterPage() {
  TPrinter& p = Printer();
  TPrintDevice device = PrintDeviceOf(p);
  device.Printer = nullptr;
  if (form1) {
    const double unit = form1->StoredFloat("Userunit");
    if (unit > 0) device.UserUnit = unit;
  }
  printFrame1->Device = device;
  printFrame1->PageWidth = p.PageWidth();
  printFrame1->PageHeight = p.PageHeight();
  const double dpi = device.Dpi;
  PrinterNameLabel->SetCaption(p.OutputFileName().empty() ? p.PrinterName() : p.OutputFileName());
  ResolutionLabel->SetCaption(Fixed2(ResolutionUnitFactor(ResolutionUnit->ItemIndex(), dpi)));
  const int32_t su = PageSizeUnit->ItemIndex(), mu = MarginsUnit->ItemIndex();
  PageSizeLabel->SetCaption(Fixed2(PixelsToUnit(su, p.PageWidth(), dpi, p.PageWidth())) + " x " +
                            Fixed2(PixelsToUnit(su, p.PageHeight(), dpi, p.PageHeight())));
  const double left = p.PhysicalOffsetX(), top = p.PhysicalOffsetY();
  const double right = p.PhysicalWidth() - p.PageWidth() - left, bottom = p.PhysicalHeight() - p.PageHeight() - top;
  auto m = [&](double V, double Base) { return Fixed2(PixelsToUnit(mu, Base, dpi, V)); };
  MarginsLabel->SetCaption(m(left, p.PhysicalWidth()) + " / " + m(top, p.PhysicalHeight()) + " / " +
                           m(right, p.PhysicalWidth()) + " / " + m(bottom, p.PhysicalHeight()));
}

void Tprintform::PrinterSetup() {
  if (!Printer().ExecuteSetupDialog()) return;
  FillPrinterPage();
  Preview();
}

void Tprintform::FormShow(TObject*) {
  FUpdating = true;
  AnchorButtons[0][0]->SetDown(true);
  if (FMode == 2) FillButton->SetDown(true);
  FUpdating = false;
  FShown = true;
  FillPrinterPage();
  Preview();
  WriteBackGeometry();
  FUpdating = true;
  FontSizeEdit->SetValue(std::max(1, FFont.Size()));
  FUpdating = false;
}

void Tprintform::PrintClick() {
  FCommand = BuildCommand();
  SetModalResult(mrOk);
}

void ShowPrintDialog(Tform1& Form, int32_t Mode) {
  const TStrings* catalog = nullptr;
  timagerlayer* image = nullptr;
  if (Mode == 3) {
    TFormcatalog* window = Form.getcatalog();
    if (!window) return;
    catalog = &window->catalogframe1->Files();
  } else {
    image = Form.getimager();
    if (!image) return;
  }
  std::string line;
  {
    auto dialog = std::make_unique<Tprintform>(nullptr, Mode, image, catalog);
    if (dialog->ShowModal() != mrOk) return;
    line = dialog->Command();
  }
  if (!line.empty()) RunActionLine(Form, line);
}

}  // namespace kv
