// The colour choice frame and dialog.
#include "app/filters/colour_pick.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/settings/form_storage1.h"
#include "components/controls/color_font_combo.h"
#include "imaging/views/hsv_box.h"
#include "components/controls/kv_spin.h"
#include "platform/graphics/color.h"
#include "platform/ui/button.h"
#include "platform/ui/image.h"
#include "platform/ui/page_control.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// The frame's model list offers the first six models.
const char* const kModelChoices[] = {"RGB", "HSV", "HSL", "CMYK", "Lab", "YUV"};
const char* const kRangeChoices[] = {"Modell", "0..255", "0..1", "0..100", "Hex"};

TColor PackedToColor(uint32_t Packed) {
  return static_cast<TColor>(RGB(uint8_t(Packed >> 16), uint8_t(Packed >> 8), uint8_t(Packed)));
}

uint32_t ColorToPacked(TColor Color) {
  const TColorRef c = ColorToRGB(Color);
  return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

std::string FormatNumber(double V) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", V);
  return b;
}

TLabel* AddLabel(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetBounds(X, Y, 90, 17);
  l->SetCaption(Caption);
  return l;
}

}  // namespace

TFrameColorForm::TFrameColorForm(TComponent* AOwner) : TFrame(AOwner) {
  SetBounds(0, 0, 440, 250);
  AddLabel(this, 8, 10, "Farb - Modell");
  ModelCombo = new TComboBox(this);
  ModelCombo->SetParent(this);
  ModelCombo->SetBounds(110, 6, 100, 23);
  for (const char* m : kModelChoices) ModelCombo->AddItem(m);
  ModelCombo->SetItemIndex(0);
  ModelCombo->OnChange = [this](TObject*) {
    if (ModelCombo->ItemIndex() >= 0) SetModel(ColorModelIndex(ModelCombo->Item(ModelCombo->ItemIndex())));
  };
  AddLabel(this, 220, 10, "Wertebereich");
  RangeCombo = new TComboBox(this);
  RangeCombo->SetParent(this);
  RangeCombo->SetBounds(320, 6, 100, 23);
  for (const char* r : kRangeChoices) RangeCombo->AddItem(r);
  RangeCombo->SetItemIndex(0);
  RangeCombo->OnChange = [this](TObject*) {
    if (RangeCombo->ItemIndex() >= 0) SetRange(TValueRange(RangeCombo->ItemIndex()));
  };
  for (int32_t k = 0; k < 4; ++k) {
    const int32_t y = 40 + k * 30;
    ChannelLabels[size_t(k)] = AddLabel(this, 8, y + 4, "");
    MinLabels[size_t(k)] = AddLabel(this, 110, y + 4, "");
    MinLabels[size_t(k)]->SetWidth(60);
    auto* e = new TKvSpinEdit(this);
    e->SetParent(this);
    e->SetBounds(175, y, 100, 23);
    e->OnChange = [this, k](TObject*) { ChannelChanged(k); };
    ChannelEdits[size_t(k)] = e;
    MaxLabels[size_t(k)] = AddLabel(this, 285, y + 4, "");
    MaxLabels[size_t(k)]->SetWidth(60);
  }
  AddLabel(this, 8, 164, "HTML");
  HtmlEdit = new TEdit(this);
  HtmlEdit->SetParent(this);
  HtmlEdit->SetBounds(110, 160, 100, 23);
  HtmlEdit->OnChange = [this](TObject*) { HtmlChanged(); };
  Sample = new TPanel(this);
  Sample->SetParent(this);
  Sample->SetBounds(220, 160, 60, 60);
  Sample->SetCaption("");
  NamedColors = new TColorComboBox(this);
  NamedColors->SetParent(this);
  NamedColors->SetBounds(110, 194, 100, 23);
  NamedColors->OnChange = [this](TObject*) {
    if (!FRefreshing) SetPacked(ColorToPacked(NamedColors->ColorValue()));
  };
  Pages = new TPageControl(this);
  Pages->SetParent(this);
  Pages->SetBounds(290, 40, 330, 300);
  TTabSheet* one = new TTabSheet(this);
  one->SetPageControl(Pages);
  one->SetCaption("1D");
  TTabSheet* two = new TTabSheet(this);
  two->SetPageControl(Pages);
  two->SetCaption("2D");
  for (int32_t k = 0; k < 4; ++k) {
    StripLabels[size_t(k)] = AddLabel(one, 4, 6 + k * 40, "");
    auto* strip = new TImage(this);
    strip->SetParent(one);
    strip->SetBounds(4, 24 + k * 40, 256, 17);
    strip->OnMouseDown = [this, k](TObject*, TMouseButton, TShiftState, int32_t X, int32_t) {
      FDragging = k;
      StripDrag(k, X);
    };
    strip->OnMouseMove = [this, k](TObject*, TShiftState, int32_t X, int32_t) {
      if (FDragging == k) StripDrag(k, X);
    };
    strip->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { FDragging = -1; };
    Strips[size_t(k)] = strip;
  }
  SeparateBox = new TCheckBox(this);
  SeparateBox->SetParent(one);
  SeparateBox->SetBounds(4, 186, 200, 20);
  SeparateBox->SetCaption("Kanäle trennen");
  SeparateBox->OnClick = [this](TObject*) { Refresh(); };
  AddLabel(two, 4, 6, "Kanal");
  ChannelCombo = new TComboBox(this);
  ChannelCombo->SetParent(two);
  ChannelCombo->SetBounds(60, 2, 120, 23);
  ChannelCombo->OnChange = [this](TObject*) {
    FBarChannel = std::clamp(ChannelCombo->ItemIndex(), 0, 2);
    Refresh();
  };
  Bar = new TImage(this);
  Bar->SetParent(two);
  Bar->SetBounds(4, 30, 17, 256);
  Bar->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t Y) {
    FDragging = 4;
    BarDrag(Y);
  };
  Bar->OnMouseMove = [this](TObject*, TShiftState, int32_t, int32_t Y) {
    if (FDragging == 4) BarDrag(Y);
  };
  Bar->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { FDragging = -1; };
  Field = new TImage(this);
  Field->SetParent(two);
  Field->SetBounds(30, 30, 255, 255);
  Field->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int32_t X, int32_t Y) {
    FDragging = 5;
    FieldDrag(X, Y);
  };
  Field->OnMouseMove = [this](TObject*, TShiftState, int32_t X, int32_t Y) {
    if (FDragging == 5) FieldDrag(X, Y);
  };
  Field->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { FDragging = -1; };
  SetBounds(0, 0, 630, 350);
  SetModel(cmRGB);
}

namespace {

void PutPixel(TBitmap& B, int32_t X, int32_t Y, TBGRPixel P) {
  if (X < 0 || Y < 0 || X >= B.Width() || Y >= B.Height()) return;
  static_cast<TBGRPixel*>(B.ScanLine(Y))[X] = P;
}

TBGRPixel GetPixel(const TBitmap& B, int32_t X, int32_t Y) {
  X = std::clamp(X, 0, B.Width() - 1);
  Y = std::clamp(Y, 0, B.Height() - 1);
  return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X];
}

// The outline of a 7 x 7 square around (X, Y) in the inverse of the colour
// under its centre, so that it shows on any colour.
void DrawCursor(TBitmap& B, int32_t X, int32_t Y) {
  const TBGRPixel c = GetPixel(B, X, Y);
  const TBGRPixel inv{uint8_t(255 - c.b), uint8_t(255 - c.g), uint8_t(255 - c.r)};
  for (int32_t i = -3; i <= 3; ++i) {
    PutPixel(B, X + i, Y - 3, inv);
    PutPixel(B, X + i, Y + 3, inv);
    PutPixel(B, X - 3, Y + i, inv);
    PutPixel(B, X + 3, Y + i, inv);
  }
}

int32_t Place(double Normalized) { return std::clamp(int32_t(std::lround(Normalized * 255)), 0, 255); }

}  // namespace

void TFrameColorForm::DrawStrips() {
  const TModelValues n = NormalizeModelValues(FValues, FModel);
  const bool separate = SeparateBox->Checked();
  for (int32_t k = 0; k < 4; ++k) {
    TImage* strip = Strips[size_t(k)];
    if (k >= ColorModelChannelCount(FModel)) continue;
    TBitmap b(256, 17, pf24bit);
    for (int32_t x = 0; x < 256; ++x) {
      const TBGRPixel p = StripColour(FValues, FModel, k, x, separate);
      for (int32_t y = 0; y < 17; ++y) PutPixel(b, x, y, p);
    }
    DrawCursor(b, Place(n[size_t(k)]), 3 + 3);
    strip->Picture().SetBitmap(&b);
  }
}

void TFrameColorForm::DrawField() {
  const TModelValues n = NormalizeModelValues(FValues, FModel);
  const int32_t k = FBarChannel;
  TBitmap bar(17, 256, pf24bit);
  for (int32_t y = 0; y < 256; ++y) {
    // Top is 1, bottom 0.
    const TBGRPixel p = StripColour(FValues, FModel, k, 255 - y, false);
    for (int32_t x = 0; x < 17; ++x) PutPixel(bar, x, y, p);
  }
  DrawCursor(bar, 8, 255 - Place(n[size_t(k)]));
  Bar->Picture().SetBitmap(&bar);
  TBitmap field(255, 255, pf24bit);
  for (int32_t y = 0; y < 255; ++y) {
    auto* row = static_cast<TBGRPixel*>(field.ScanLine(y));
    for (int32_t x = 0; x < 255; ++x) row[x] = FieldColour(FValues, FModel, k, x, y);
  }
  const int32_t across = k == 0 ? 1 : 0, up = k == 2 ? 1 : 2;
  DrawCursor(field, Place(n[size_t(across)]), 255 - Place(n[size_t(up)]));
  Field->Picture().SetBitmap(&field);
}

void TFrameColorForm::SetNormalized(int32_t Channel, double Value) {
  TModelValues n = NormalizeModelValues(FValues, FModel);
  n[size_t(Channel & 3)] = std::clamp(Value, 0.0, 1.0);
  FValues = DenormalizeModelValues(n, FModel);
}

void TFrameColorForm::StripDrag(int32_t Channel, int32_t X) {
  if (Channel >= ColorModelChannelCount(FModel)) return;
  SetNormalized(Channel, std::clamp(X, 0, 255) / 255.0);
  Refresh();
}

void TFrameColorForm::BarDrag(int32_t Y) {
  SetNormalized(FBarChannel, (255 - std::clamp(Y, 0, 255)) / 255.0);
  Refresh();
}

void TFrameColorForm::FieldDrag(int32_t X, int32_t Y) {
  const int32_t k = FBarChannel;
  const int32_t across = k == 0 ? 1 : 0, up = k == 2 ? 1 : 2;
  SetNormalized(across, std::clamp(X, 0, 255) / 255.0);
  SetNormalized(up, (255 - std::clamp(Y, 0, 255)) / 255.0);
  Refresh();
}

uint32_t TFrameColorForm::Packed() const {
  const TBGRPixel p = ColorFromModel(FValues, FModel);
  return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
}

void TFrameColorForm::SetPacked(uint32_t Value) {
  FValues = ColorToModel(FModel, Value & 0xFFFFFF);
  Refresh();
}

void TFrameColorForm::SetModel(TColorModel Value) {
  const uint32_t packed = Packed();
  FModel = Value;
  FValues = ColorToModel(FModel, packed);
  for (int32_t i = 0; i < ModelCombo->Count(); ++i)
    if (ColorModelIndex(ModelCombo->Item(i)) == FModel && i != ModelCombo->ItemIndex()) ModelCombo->SetItemIndex(i);
  for (int32_t k = 0; k < 4; ++k) {
    const bool used = k < ColorModelChannelCount(FModel);
    ChannelLabels[size_t(k)]->SetCaption(ColorChannelName(FModel, k));
    for (TControl* c :
         {static_cast<TControl*>(ChannelLabels[size_t(k)]), static_cast<TControl*>(ChannelEdits[size_t(k)]),
          static_cast<TControl*>(MinLabels[size_t(k)]), static_cast<TControl*>(MaxLabels[size_t(k)])})
      c->SetVisible(used);
    StripLabels[size_t(k)]->SetCaption(ColorChannelName(FModel, k));
    StripLabels[size_t(k)]->SetVisible(used);
    Strips[size_t(k)]->SetVisible(used);
  }
  const int32_t barChannel = FBarChannel;
  ChannelCombo->ClearItems();
  for (int32_t k = 0; k < 3; ++k) ChannelCombo->AddItem(ColorChannelName(FModel, k));
  FBarChannel = std::clamp(barChannel, 0, 2);
  ChannelCombo->SetItemIndex(FBarChannel);
  SetRange(FRange);
}

double TFrameColorForm::ChannelMin(int32_t Channel) const {
  if (FRange != vrModel) return 0;
  return DenormalizeModelValues({0, 0, 0, 0}, FModel)[size_t(Channel & 3)];
}

double TFrameColorForm::ChannelMax(int32_t Channel) const {
  switch (FRange) {
    case vrModel: {
      const double hi = DenormalizeModelValues({1, 1, 1, 1}, FModel)[size_t(Channel & 3)];
      // A channel whose scale is its own unit still needs a span to edit.
      return hi > ChannelMin(Channel) ? hi : ChannelMin(Channel) + 1;
    }
    case vr255:
    case vrHex: return 255;
    case vrUnit: return 1;
    case vr100: return 100;
  }
  return 255;
}

void TFrameColorForm::SetRange(TValueRange Value) {
  FRange = Value;
  if (RangeCombo->ItemIndex() != int32_t(Value)) RangeCombo->SetItemIndex(int32_t(Value));
  FRefreshing = true;
  for (int32_t k = 0; k < 4; ++k) {
    TKvSpinEdit* e = ChannelEdits[size_t(k)];
    const double lo = ChannelMin(k), hi = ChannelMax(k);
    e->SetValueType(FRange == vrHex ? vtHex : vtFloat);
    e->SetDecimal(2);
    e->SetIncrement(hi <= 1 ? 0.01 : 1);
    e->SetMinValue(lo);
    e->SetMaxValue(hi);
    MinLabels[size_t(k)]->SetCaption(FormatNumber(lo));
    MaxLabels[size_t(k)]->SetCaption(FormatNumber(hi));
  }
  FRefreshing = false;
  Refresh();
}

void TFrameColorForm::Refresh() {
  FRefreshing = true;
  const TModelValues n = NormalizeModelValues(FValues, FModel);
  for (int32_t k = 0; k < ColorModelChannelCount(FModel); ++k) {
    if (k == FTypingChannel) continue;
    const double lo = ChannelMin(k), hi = ChannelMax(k);
    ChannelEdits[size_t(k)]->SetValue(lo + n[size_t(k)] * (hi - lo));
  }
  DrawStrips();
  DrawField();
  const uint32_t packed = Packed();
  Sample->SetColor(PackedToColor(packed));
  if (!FTypingHtml) {
    char b[8];
    std::snprintf(b, sizeof b, "%06X", packed);
    HtmlEdit->SetText(b);
  }
  FRefreshing = false;
}

void TFrameColorForm::ChannelChanged(int32_t Channel) {
  if (FRefreshing || Channel >= ColorModelChannelCount(FModel)) return;
  const double lo = ChannelMin(Channel), hi = ChannelMax(Channel);
  TModelValues n = NormalizeModelValues(FValues, FModel);
  n[size_t(Channel)] = (ChannelEdits[size_t(Channel)]->Value() - lo) / (hi - lo);
  FValues = DenormalizeModelValues(n, FModel);
  FTypingChannel = Channel;
  Refresh();
  FTypingChannel = -1;
}

void TFrameColorForm::HtmlChanged() {
  if (FRefreshing) return;
  std::string t = HtmlEdit->Text();
  if (!t.empty() && t[0] == '#') t.erase(0, 1);
  if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return;
  FTypingHtml = true;
  SetPacked(uint32_t(std::stoul(t, nullptr, 16)));
  FTypingHtml = false;
}

TColorPickForm::TColorPickForm(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Farbauswahl");
  SetClientSize(630, 390);
  SetPosition(poScreenCenter);
  Frame = new TFrameColorForm(this);
  Frame->SetParent(this);
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetCaption("&Ok");
  OkButton->SetBounds(460, 356, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(545, 356, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

bool PickColor(uint32_t& Packed, const std::string& Caption) {
  auto dlg = std::make_unique<TColorPickForm>(nullptr);
  if (!Caption.empty()) dlg->SetCaption(Caption);
  dlg->Frame->SetPacked(Packed);
  if (dlg->ShowModal() != mrOk) return false;
  Packed = dlg->Frame->Packed();
  return true;
}

TFramehsvform::TFramehsvform(TComponent* AOwner) : TFrame(AOwner) {
  SetBounds(0, 0, 200, 120);
  HSVBox1 = new THSVBox(this);
  HSVBox1->SetName("HSVBox1");
  HSVBox1->SetParent(this);
  HSVBox1->SetBounds(0, 0, 130, 110);
  HSVBox1->OnChange = [this](TObject*) { Panel1->SetColor(HSVBox1->Color()); };
  HSVBox1->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
    if (OnChange) OnChange(this);
    if (OnClick) OnClick(this);
  };
  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(138, 0, 60, 50);
  Panel1->SetCaption("");
  Panel1->SetHint("Hier sehen Sie die gewählte Farbe.");
  Panel1->SetShowHint(true);
  Button1 = new TButton(this);
  Button1->SetName("Button1");
  Button1->SetParent(this);
  Button1->SetBounds(138, 58, 60, 25);
  Button1->SetCaption("Wählen ...");
  Button1->SetHint("Ruft einen größeren Dialog zur Farbauswahl auf.");
  Button1->SetShowHint(true);
  Button1->OnClick = [this](TObject* S) { Button1Click(S); };
  SetColor(0);
  Formstorage1 = new tformstorage1(this);
  Formstorage1->SetName("Formstorage1");
  Formstorage1->BeginLoading();
  FColorValue = Formstorage1->StoredValues().Add();
  FColorValue->SetName("Color");
  FColorValue->SetValue(TVariant(int32_t(0)));
  FColorValue->OnSave = [this](TObject*, TVariant& Value) { Value = TVariant(int32_t(Color())); };
  FColorValue->OnRestore = [this](TObject*, TVariant& Value) { SetColor(TColor(Value.AsInteger())); };
  Formstorage1->Loaded();
}

TColor TFramehsvform::Color() const { return HSVBox1->Color(); }

void TFramehsvform::SetColor(TColor Value) {
  HSVBox1->SetColor(Value);
  Panel1->SetColor(HSVBox1->Color());
}

void TFramehsvform::SetStoredDefault(TColor Value) {
  if (FColorValue) FColorValue->SetValue(TVariant(int32_t(Value)));
}

void TFramehsvform::Button1Click(TObject*) {
  uint32_t packed = ColorToPacked(Color());
  if (!PickColor(packed)) return;
  SetColor(PackedToColor(packed));
  if (OnClick) OnClick(this);
}

}  // namespace kv
