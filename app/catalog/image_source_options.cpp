#include "app/catalog/image_source_options.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/catalog/image_source.h"
#include "app/catalog/sort_frame.h"
#include "app/helpers/my_combo_box.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/dialogs/size_frames.h"
#include "imaging/formats/twain_params.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kWidth = 420;

TPanel* MakePanel(TComponent* Owner, TWinControl* Parent, const char* Name) {
  auto* p = new TPanel(Owner);
  p->SetName(Name);
  p->SetParent(Parent);
  p->SetBevelOuter(bvNone);
  p->SetBounds(0, 0, kWidth, 330);
  return p;
}

Tconverterframe* MakeLength(TComponent* Owner, TWinControl* Parent, const char* Caption, const char* Name,
                            int32_t Top) {
  auto* l = new TLabel(Owner);
  l->SetParent(Parent);
  l->SetCaption(Caption);
  l->SetBounds(10, Top + 4, 96, 17);
  auto* f = new Tconverterframe(Owner);
  f->SetName(Name);
  f->SetParent(Parent);
  f->SetBounds(110, Top, 230, 25);
  return f;
}

// The whole-number entries of a resolution list, its value chosen: a value
// the list lacks takes the first entry, and an empty list offers 100.
void FillResolutions(mycombobox& Box, TIMDoubleList& List) {
  std::vector<std::string> items;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const std::string t = IntToStr(int64_t(std::llround(List.GetItem(i))));
    if (std::find(items.begin(), items.end(), t) == items.end()) items.push_back(t);
  }
  if (items.empty()) items.push_back("100");
  Box.SetItems(items);
  const int32_t at = Box.IndexOf(IntToStr(int64_t(std::llround(List.CurrentValue()))));
  Box.SetItemIndex(at >= 0 ? at : 0);
}

double ComboNumber(const mycombobox& Box) {
  const int32_t i = Box.ItemIndex();
  if (i < 0 || i >= Box.Count()) return 100;
  double v = 0;
  return TryStrToFloat(Box.Item(i), v) && v > 0 ? v : 100;
}

void ChooseNumber(mycombobox& Box, double Value) {
  if (!(Value > 0)) return;
  const std::string t = IntToStr(int64_t(std::llround(Value)));
  int32_t at = Box.IndexOf(t);
  if (at < 0) at = Box.AddItem(t);
  Box.SetItemIndex(at);
}

}  // namespace

Timagesourceopform::Timagesourceopform(TComponent* AOwner, int32_t Mode, const std::string& Params,
                                       TIMTWainParams* Twain)
    : TForm(AOwner), FMode(Mode), FTwain(Twain), FParams(Params) {
  SetName("imagesourceopform");
  SetCaption("Optionen");
  SetPosition(poScreenCenter);
  SetBorderStyle(bsDialog);
  SetClientSize(kWidth, 380);
  // Set before the sort frame hooks its settings store into this form: it
  // then runs after the store's restore, and the text edited wins.
  OnShow = [this](TObject*) { ApplyParams(); };

  // Sort keys and file kinds.
  Panel1 = MakePanel(this, this, "Panel1");
  sortframe1 = new Tsortframe(this);
  sortframe1->SetName("sortframe1");
  sortframe1->SetParent(Panel1);
  sortframe1->SetBounds(8, 8, 330, 62);
  KindsLabel = new TLabel(this);
  KindsLabel->SetParent(Panel1);
  KindsLabel->SetCaption("Folgende Typen darstellen");
  KindsLabel->SetBounds(8, 78, 300, 17);
  FileKinds = new TCheckListBox(this);
  FileKinds->SetName("FileKinds");
  FileKinds->SetParent(Panel1);
  FileKinds->SetBounds(8, 98, kWidth - 16, 226);
  for (int k = 0; k < kFileFormatCount; ++k) FileKinds->Items().Add(FileKindDescription(FileKindText(tFileFormat(k))));

  // Scanner options.
  Panel2 = MakePanel(this, this, "Panel2");
  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetParent(Panel2);
  CheckBox1->SetCaption("Kein Scandialog, Scanoptionen manuell setzen");
  CheckBox1->SetBounds(8, 8, kWidth - 16, 20);
  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetName("GroupBox1");
  GroupBox1->SetParent(Panel2);
  GroupBox1->SetCaption("Scanoptionen");
  GroupBox1->SetBounds(8, 34, kWidth - 16, 290);
  auto* kindLabel = new TLabel(this);
  kindLabel->SetParent(GroupBox1);
  kindLabel->SetCaption("Farbe");
  kindLabel->SetBounds(10, 26, 90, 17);
  PixelTypeBox = new mycombobox(this, std::vector<std::string>(std::begin(kScanPixelTypes), std::end(kScanPixelTypes)));
  PixelTypeBox->SetName("PixelTypeBox");
  PixelTypeBox->SetParent(GroupBox1);
  PixelTypeBox->SetBounds(110, 22, 200, 24);
  PixelTypeBox->SetItemIndex(2);
  const struct {
    const char* Caption;
    const char* Name;
    mycombobox** Box;
    int32_t Top;
  } dpi[] = {{"dpi horizontal", "DpiXBox", &DpiXBox, 54}, {"dpi vertikal", "DpiYBox", &DpiYBox, 84}};
  for (const auto& d : dpi) {
    auto* l = new TLabel(this);
    l->SetParent(GroupBox1);
    l->SetCaption(d.Caption);
    l->SetBounds(10, d.Top + 4, 96, 17);
    auto* b = new mycombobox(this, {"100"});
    b->SetName(d.Name);
    b->SetParent(GroupBox1);
    b->SetBounds(110, d.Top, 100, 24);
    b->OnChange = [this](TObject* Sender) { ResolutionChange(Sender); };
    *d.Box = b;
  }
  offsetxframe = MakeLength(this, GroupBox1, "Links", "offsetxframe", 114);
  offsetyframe = MakeLength(this, GroupBox1, "Oben", "offsetyframe", 142);
  sizexframe = MakeLength(this, GroupBox1, "Breite", "sizexframe", 170);
  sizeyframe = MakeLength(this, GroupBox1, "Höhe", "sizeyframe", 198);
  ReadButton = new TButton(this);
  ReadButton->SetName("ReadButton");
  ReadButton->SetParent(GroupBox1);
  ReadButton->SetCaption("Werte vom Scanner lesen");
  ReadButton->SetBounds(10, 240, 180, 26);
  ReadButton->OnClick = [this](TObject*) { ReadScannerValues(); };
  MaxButton = new TButton(this);
  MaxButton->SetName("MaxButton");
  MaxButton->SetParent(GroupBox1);
  MaxButton->SetCaption("Maxmimale Größe");
  MaxButton->SetBounds(200, 240, 180, 26);
  MaxButton->OnClick = [this](TObject*) { MaxSize(); };

  OkButton = new TButton(this);
  OkButton->SetName("OkButton");
  OkButton->SetParent(this);
  OkButton->SetCaption("&Ok");
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  OkButton->SetBounds(kWidth - 200, 340, 92, 28);
  CancelButton = new TButton(this);
  CancelButton->SetName("CancelButton");
  CancelButton->SetParent(this);
  CancelButton->SetCaption("&Abbrechen");
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  CancelButton->SetBounds(kWidth - 100, 340, 92, 28);

  const bool scanner = Mode == 3;
  Panel1->SetVisible(!scanner);
  Panel2->SetVisible(scanner);
  if (scanner && FTwain) {
    FillResolutions(*DpiXBox, FTwain->XResolution());
    FillResolutions(*DpiYBox, FTwain->YResolution());
  }
  ApplyParams();
  CheckBox1->OnClick = [this](TObject* Sender) { CheckBox1Click(Sender); };
}

void Timagesourceopform::ApplyParams() {
  if (FMode == 3) {
    // Showing the stored options asks the scanner nothing.
    const TNotifyEvent click = CheckBox1->OnClick;
    CheckBox1->OnClick = nullptr;
    SetScannerParams(FParams);
    CheckBox1->OnClick = click;
  } else {
    sortframe1->getsort(FParams);
    const tFileFormatset kinds = FiletypesToKinds(ReadImageSourceParams(FParams).Filetypes);
    for (int k = 0; k < kFileFormatCount; ++k) FileKinds->SetChecked(k, kinds.Contains(tFileFormat(k)));
  }
  GroupBox1->SetVisible(CheckBox1->Checked());
}

void Timagesourceopform::SetScanButton(bool Value) { OkButton->SetCaption(Value ? "Scan" : "&Ok"); }

void Timagesourceopform::SetScannerParams(const std::string& Params) {
  CheckBox1->SetChecked(ReadParamBool(Params, "NoDialog", false));
  const int32_t kind = ReadParamInt(Params, "pixeltype", 2);
  PixelTypeBox->SetItemIndex(kind >= 0 && kind <= 2 ? kind : 2);
  ChooseNumber(*DpiXBox, ReadParamFloat(Params, "dpix", 0));
  ChooseNumber(*DpiYBox, ReadParamFloat(Params, "dpiy", 0));
  ResolutionChange(this);
  offsetxframe->SetValue(ReadParamFloat(Params, "offsetx", 0));
  offsetyframe->SetValue(ReadParamFloat(Params, "offsety", 0));
  sizexframe->SetValue(ReadParamFloat(Params, "sizex", 0));
  sizeyframe->SetValue(ReadParamFloat(Params, "sizey", 0));
}

void Timagesourceopform::ResolutionChange(TObject*) {
  offsetxframe->SetResolution(DpiX());
  sizexframe->SetResolution(DpiX());
  offsetyframe->SetResolution(DpiY());
  sizeyframe->SetResolution(DpiY());
}

double Timagesourceopform::DpiX() const { return ComboNumber(*DpiXBox); }
double Timagesourceopform::DpiY() const { return ComboNumber(*DpiYBox); }

void Timagesourceopform::CheckBox1Click(TObject*) {
  GroupBox1->SetVisible(CheckBox1->Checked());
  if (CheckBox1->Checked()) ReadScannerValues();
}

void Timagesourceopform::ReadScannerValues() {
  if (!FTwain) return;
  FTwain->UseAcquireFrame = true;
  FTwain->ReadCapabilities();
  const int32_t kind = FTwain->PixelType().CurrentValue();
  if (kind >= 0 && kind <= 2) PixelTypeBox->SetItemIndex(kind);
  FillResolutions(*DpiXBox, FTwain->XResolution());
  FillResolutions(*DpiYBox, FTwain->YResolution());
  const double left = FTwain->GetAcquireFrame(0), top = FTwain->GetAcquireFrame(1);
  const double width = FTwain->GetAcquireFrame(2) - left, height = FTwain->GetAcquireFrame(3) - top;
  ResolutionChange(this);
  // The frame is kept in inches; the fields keep pixels at the chosen resolution.
  offsetxframe->SetValue(left * DpiX());
  offsetyframe->SetValue(top * DpiY());
  sizexframe->SetValue(width * DpiX());
  sizeyframe->SetValue(height * DpiY());
  if (width <= 0 || height <= 0) MaxSize();
}

void Timagesourceopform::MaxSize() {
  offsetxframe->SetValue(0);
  offsetyframe->SetValue(0);
  if (!FTwain) return;
  sizexframe->SetValue(FTwain->PhysicalWidth() * DpiX());
  sizeyframe->SetValue(FTwain->PhysicalHeight() * DpiY());
}

int32_t Timagesourceopform::Filetypes() const {
  int32_t set = 0;
  for (int k = 0; k < kFileFormatCount; ++k)
    if (FileKinds->Checked(k)) set |= int32_t(1) << k;
  return set;
}

std::string Timagesourceopform::GetParams() const {
  if (FMode != 3) {
    std::string text;
    sortframe1->setsort(text);
    return text + WriteParamInt("Filetypes", Filetypes());
  }
  if (!CheckBox1->Checked()) return {};
  return WriteParamBool("NoDialog", true) + WriteParamInt("pixeltype", std::max(PixelTypeBox->ItemIndex(), 0)) +
         WriteParamFloat("dpix", DpiX()) + WriteParamFloat("dpiy", DpiY()) +
         WriteParamFloat("offsetx", offsetxframe->Value()) + WriteParamFloat("offsety", offsetyframe->Value()) +
         WriteParamFloat("sizex", sizexframe->Value()) + WriteParamFloat("sizey", sizeyframe->Value());
}

std::string EditImageSourceOptions(int32_t Mode, const std::string& Options) {
  auto dlg = std::make_unique<Timagesourceopform>(nullptr, Mode, Options);
  if (dlg->ShowModal() != mrOk) return Options;
  return dlg->GetParams();
}

}  // namespace kv
