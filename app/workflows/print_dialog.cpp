#include "app/workflows/print_dialog.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/catalog/thumbnail_cache.h"
#include "app/dialogs/size_frames.h"
#include "app/helpers/size_units.h"
#include "app/main/direction_frame.h"
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

std::string Fixed2(double V) { return FormatFloat("0.00", V); }

// While the dialog lays out, the length frames' arrows wait (they would
// change what is being laid out).
class TBusyScope {
 public:
  TBusyScope() : FWas(PrintDialogBusy) { PrintDialogBusy = true; }
  ~TBusyScope() { PrintDialogBusy = FWas; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  bool FWas;
};

}  // namespace

Tprintform::Tprintform(TComponent* AOwner, int32_t Mode, timagerlayer* Image, const TStrings* CatalogFiles)
    : TForm(AOwner), FMode(std::clamp(Mode, 0, 3)), FImage(FMode == 3 ? nullptr : Image) {
  SetName("printform");
  SetCaption("Drucken");
  SetPosition(poScreenCenter);
  SetClientSize(900, 720);
  if (FImage) FSource = PrintSourceOf(*FImage);
  FSource.CatalogFiles = CatalogFiles;
  ReadParamFont("", FFont);
  // "Druckbarer Bereich" and the printer's resolution in the "Spezial" menus
  // are this dialog's printer page.
  FOldPrintablePage = SizeSources().PrintablePage;
  FOldPrinterResolution = SizeSources().PrinterResolution;
  SizeSources().PrintablePage = [this](double& W, double& H) {
    W = printFrame1->PageWidth;
    H = printFrame1->PageHeight;
    return W > 0 && H > 0;
  };
  SizeSources().PrinterResolution = [this](double& X, double& Y) {
    X = Y = printFrame1->Device.Dpi;
    return X > 0;
  };
  // Set before the frames hook the form, so their stores restore first and
  // the layout then writes its geometry over what they restored.
  OnShow = [this](TObject* Sender) { FormShow(Sender); };

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
  auto length = [this](const char* Name, int32_t X, int32_t Y) {
    auto* f = new Tconverterframe(this);
    f->SetName(Name);
    f->SetParent(this);
    f->SetBounds(X, Y, 230, 25);
    f->SetSigned(true);
    f->OnClick = [this](TObject*) { PositionChanged(); };
    return f;
  };

  FitButton = speed("FitButton", "Voll (eingepasst)", 2, 10, 10, 110);
  FillButton = speed("FillButton", "Voll (abgeschnitten)", 2, 125, 10, 120);
  OriginalButton = speed("OriginalButton", "Originalgröße", 2, 250, 10, 100);
  OriginalButton->SetDown(true);
  for (TSpeedButton* b : {FitButton, FillButton, OriginalButton})
    b->OnClick = [this](TObject* Sender) { SizeChanged(Sender); };

  directionframe1 = new Tdirectionframe(this);
  directionframe1->SetName("directionframe1");
  directionframe1->SetParent(this);
  directionframe1->SetBounds(10, 45, 75, 75);
  directionframe1->OnClick = [this](TObject*) {
    if (FUpdating || !FShown) return;
    Preview();
    WriteBackGeometry();
  };

  label(this, "Abstand", 95, 42);
  label(this, "Links", 95, 64, 45);
  leftframe = length("leftframe", 145, 62);
  label(this, "Oben", 95, 92, 45);
  topframe = length("topframe", 145, 90);
  WithOffsetBox = check("WithOffsetBox", "Ränder hinzurechnen", 95, 120);
  WithOffsetBox->OnClick = [this](TObject*) { Preview(); };

  sizeframe1 = new Tsizeframe(this);
  sizeframe1->SetName("sizeframe1");
  sizeframe1->SetParent(this);
  sizeframe1->SetBounds(10, 148, 420, 200);
  // The printer decides the resolution the lengths are converted with.
  sizeframe1->dpiframeform1->SetEnabled(false);
  sizeframe1->framedpispecialform1->SetEnabled(false);
  sizeframe1->OnSizeChange = [this](TObject* Sender) { SizeChanged(Sender); };
  HalfButton = button("HalfButton", "/ 2", 10, 354, 50);
  HalfButton->OnClick = [this](TObject*) { ScaleSize(0.5); };
  DoubleButton = button("DoubleButton", "x 2", 65, 354, 50);
  DoubleButton->OnClick = [this](TObject*) { ScaleSize(2); };

  CutLinesBox = check("CutLinesBox", "Schneidelinien", 130, 356);
  CutLinesBox->OnClick = [this](TObject*) { Preview(); };

  label(this, "Schriftgröße", 10, 386, 90);
  FontSizeEdit = new TKvSpinEdit(this);
  FontSizeEdit->SetName("FontSizeEdit");
  FontSizeEdit->SetParent(this);
  FontSizeEdit->SetBounds(105, 386, 70, 23);
  FontSizeEdit->SetMinValue(1);
  FontSizeEdit->SetMaxValue(9999);
  FontSizeEdit->SetValue(std::max(1, FFont.Size()));
  FontSizeEdit->OnChange = [this](TObject*) {
    if (FUpdating) return;
    FFont.SetSize(std::max(1, FontSizeEdit->AsInteger()));
    Preview();
  };
  FontButton = button("FontButton", "Schrift-Optionen...", 185, 385, 140);
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

  label(this, "Zusätzliche Informationen", 10, 414, 200);
  InfoList = new TCheckListBox(this);
  InfoList->SetName("InfoList");
  InfoList->SetParent(this);
  InfoList->SetBounds(10, 436, 200, 150);
  for (int32_t i = 0; i < kImageInfoCount; ++i) InfoList->Items().Add(ImageInfoText(tImageInfo(i)));
  InfoList->OnClickCheck = [this](TObject*) { Preview(); };

  label(this, "Anzahl der Drucke", 220, 436, 120);
  CopiesEdit = new TKvSpinEdit(this);
  CopiesEdit->SetName("CopiesEdit");
  CopiesEdit->SetParent(this);
  CopiesEdit->SetBounds(220, 458, 80, 23);
  CopiesEdit->SetMinValue(1);
  CopiesEdit->SetMaxValue(10000);
  CopiesEdit->SetValue(1);

  PrinterBox = new TGroupBox(this);
  PrinterBox->SetName("PrinterBox");
  PrinterBox->SetParent(this);
  PrinterBox->SetCaption("Drucker");
  PrinterBox->SetBounds(10, 596, 420, 110);
  PrinterNameLabel = label(PrinterBox, "", 10, 15, 330);
  ResolutionLabel = label(PrinterBox, "", 10, 38, 200);
  PageSizeLabel = label(PrinterBox, "", 10, 60, 200);
  MarginsLabel = label(PrinterBox, "", 10, 82, 240);
  auto unitBox = [this](const char* Name, int32_t Y, void (*Fill)(TComboBox&)) {
    auto* c = new TComboBox(this);
    c->SetName(Name);
    c->SetParent(PrinterBox);
    c->SetBounds(255, Y, 150, 21);
    Fill(*c);
    c->OnChange = [this](TObject*) { FillPrinterPage(); };
    return c;
  };
  ResolutionUnit = unitBox("ResolutionUnit", 36, FillResolutionUnitCombo);
  PageSizeUnit = unitBox("PageSizeUnit", 58, FillLengthUnitCombo);
  MarginsUnit = unitBox("MarginsUnit", 80, FillLengthUnitCombo);
  PageSizeUnit->SetItemIndex(3);
  MarginsUnit->SetItemIndex(3);
  SetupButton = button("SetupButton", "Druck-Einstellungen...", 270, 10, 135);
  SetupButton->SetParent(PrinterBox);
  SetupButton->OnClick = [this](TObject*) { PrinterSetup(); };

  printFrame1 = new TprintFrame(this);
  printFrame1->SetParent(this);
  printFrame1->SetBounds(440, 5, 455, 670);
  printFrame1->Source = &FSource;
  printFrame1->CommandSource = [this] { return FShown ? BuildCommand() : std::string(); };

  PrintButton = button("PrintButton", "&Drucken", 700, 685, 90);
  PrintButton->SetDefault(true);
  PrintButton->OnClick = [this](TObject*) { PrintClick(); };
  CancelButton = button("CancelButton", "Abbrechen", 800, 685, 90);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);

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
  checkSlot("CutLinesBox", CutLinesBox);
  checkSlot("WithOffsetBox", WithOffsetBox);
  for (TComboBox* c : {ResolutionUnit, PageSizeUnit, MarginsUnit}) comboSlot(c);
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
}

Tprintform::~Tprintform() {
  SizeSources().PrintablePage = FOldPrintablePage;
  SizeSources().PrinterResolution = FOldPrinterResolution;
}

int32_t Tprintform::DirectionPos() const { return directionframe1->Direction(); }

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
  const Tconverterframe& width = *sizeframe1->converterframe1;
  const Tconverterframe& height = *sizeframe1->converterframe2;
  return "Print" + WriteParamInt("Mode", FMode) + WriteParamInt("Specialsize", SpecialSize()) +
         WriteParamInt("DirectionPos", DirectionPos()) + WriteParamInt("NumPrints", CopiesEdit->AsInteger()) +
         WriteParamBool("Withoffset", WithOffsetBox->Checked()) + WriteParamFloat("left", leftframe->Shown()) +
         WriteParamInt("vleft", leftframe->UnitIndex()) + WriteParamFloat("top", topframe->Shown()) +
         WriteParamInt("vtop", topframe->UnitIndex()) + WriteParamFloat("width", width.Shown()) +
         WriteParamInt("vwidth", width.UnitIndex()) + WriteParamFloat("height", height.Shown()) +
         WriteParamInt("vheight", height.UnitIndex()) + WriteParamBool("cutlines", CutLinesBox->Checked()) +
         WriteParamFont(FFont) + WriteParamImageInfoset("ImageInfoSet", set);
}

void Tprintform::Preview() {
  if (FUpdating || !FShown) return;
  TBusyScope busy;
  printFrame1->Command = BuildCommand();
  printFrame1->ComputePreview();
}

void Tprintform::SpecialUp() {
  for (TSpeedButton* b : {FitButton, FillButton, OriginalButton}) b->SetDown(false);
}

void Tprintform::SizeChanged(TObject* Sender) {
  if (FUpdating || !FShown) return;
  const bool special = Sender == FitButton || Sender == FillButton || Sender == OriginalButton;
  if (!special) SpecialUp();
  Preview();
  if (special || Sender == sizeframe1->sizespecialform1) WriteBackGeometry();
}

void Tprintform::PositionChanged() {
  if (FUpdating || !FShown) return;
  directionframe1->Clear();
  Preview();
}

// "/ 2" and "x 2": the sizes in every unit scale with the pixels.
void Tprintform::ScaleSize(double Factor) {
  if (!FShown) return;
  sizeframe1->SetSize(sizeframe1->WidthPixels() * Factor, sizeframe1->HeightPixels() * Factor);
}

double Tprintform::PictureWidth() const {
  return FMode == 3 ? tcache().Width() : (FSource.Picture ? FSource.Picture->Width() : 0);
}

double Tprintform::PictureHeight() const {
  return FMode == 3 ? tcache().Height() : (FSource.Picture ? FSource.Picture->Height() : 0);
}

void Tprintform::SetFrameBases() {
  const bool was = FUpdating;
  FUpdating = true;
  const double dpi = printFrame1->Device.Dpi;
  for (Tconverterframe* f : {leftframe, topframe}) f->SetResolution(dpi);
  leftframe->SetBase(printFrame1->PageWidth);
  topframe->SetBase(printFrame1->PageHeight);
  sizeframe1->dpiframeform1->SetValueNotify(dpi);
  sizeframe1->converterframe1->SetBase(PictureWidth());
  sizeframe1->converterframe2->SetBase(PictureHeight());
  FUpdating = was;
}

// The position and size frames show the last layout in their units.
void Tprintform::WriteBackGeometry() {
  if (!FShown || !printFrame1->LayoutError.empty()) return;
  const TPrintGeometry& g = printFrame1->Geometry;
  const bool was = FUpdating;
  FUpdating = true;
  leftframe->SetValue(g.Left);
  topframe->SetValue(g.Top);
  sizeframe1->converterframe1->SetValue(g.Width);
  sizeframe1->converterframe2->SetValue(g.Height);
  FUpdating = was;
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
  SetFrameBases();
  const double dpi = device.Dpi;
  // While no queue is chosen the default one prints: show its name.
  std::string name = p.OutputFileName().empty() ? p.QueueName() : p.OutputFileName();
  if (name.empty()) name = "Kein Drucker eingerichtet";
  PrinterNameLabel->SetCaption(name);
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
  directionframe1->SetDirection(10);  // top left
  if (FMode == 2) FillButton->SetDown(true);
  FUpdating = false;
  FShown = true;
  FillPrinterPage();
  Preview();
  WriteBackGeometry();
  FUpdating = true;
  // The laid-out size is the size frame's starting size ("Originalgröße");
  // its percent base stays the picture.
  sizeframe1->show();
  SetFrameBases();
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
