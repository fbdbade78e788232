// The colour choice frame and dialog.
#include "app/filters/colour_pick.h"

#include <cstdio>
#include <memory>

#include "components/controls/color_font_combo.h"
#include "components/controls/kv_spin.h"
#include "platform/graphics/color.h"
#include "platform/ui/button.h"
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
  SetModel(cmRGB);
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
  }
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
  SetClientSize(440, 290);
  SetPosition(poScreenCenter);
  Frame = new TFrameColorForm(this);
  Frame->SetParent(this);
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetCaption("&Ok");
  OkButton->SetBounds(270, 258, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(355, 258, 75, 25);
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

}  // namespace kv
