#include "platform/devices/capture_dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "platform/devices/v4l2_device.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/track_bar.h"

namespace kv {

namespace {

constexpr int32_t kRowHeight = 28;
constexpr int32_t kLabelWidth = 180;
constexpr int32_t kControlWidth = 240;

std::string RateText(double R) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", std::round(R * 100) / 100);
  return buf;
}

}  // namespace

TCaptureSettingsForm::TCaptureSettingsForm(TComponent* AOwner, const std::string& Caption) : TForm(AOwner) {
  SetCaption(Caption);
}

TWinControl* TCaptureSettingsForm::AddControlRow(const std::string& Label, TWinControl* Control) {
  auto* l = new TLabel(this);
  l->SetParent(this);
  l->SetCaption(Label);
  l->SetBounds(10, FTop + 3, kLabelWidth, 18);
  Control->SetParent(this);
  Control->SetBounds(10 + kLabelWidth, FTop, kControlWidth, 22);
  Control->SetName("Setting" + std::to_string(FRows.size()));
  FRows.push_back(TRow{Label, Control});
  FTop += kRowHeight;
  return Control;
}

TComboBox* TCaptureSettingsForm::AddCombo(const std::string& Label, const std::vector<std::string>& Items,
                                          int32_t Index) {
  auto* c = new TComboBox(this);
  AddControlRow(Label, c);
  c->SetItems(Items);
  c->SetItemIndex(Index);
  return c;
}

TEdit* TCaptureSettingsForm::AddEdit(const std::string& Label, const std::string& Text) {
  auto* e = new TEdit(this);
  AddControlRow(Label, e);
  e->SetText(Text);
  return e;
}

TLabel* TCaptureSettingsForm::AddNote(const std::string& Text) {
  auto* l = new TLabel(this);
  l->SetParent(this);
  l->SetCaption(Text);
  l->SetBounds(10, FTop + 3, kLabelWidth + kControlWidth, 18);
  FRows.push_back(TRow{Text, l});
  FTop += kRowHeight;
  return l;
}

void TCaptureSettingsForm::Finish() {
  const int32_t width = 20 + kLabelWidth + kControlWidth;
  SetBounds(0, 0, width, FTop + 50);
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetCaption("OK");
  OkButton->SetBounds(width - 170, FTop + 8, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(width - 89, FTop + 8, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

TControl* TCaptureSettingsForm::ControlOf(const std::string& Label) const {
  for (const TRow& r : FRows)
    if (r.Label == Label) return r.Control;
  return nullptr;
}

std::string CaptureFormatText(const TCaptureFormatChoice& C) {
  std::string s = std::to_string(C.Width) + " x " + std::to_string(C.Height);
  if (C.Rate > 0) s += ", " + RateText(C.Rate) + " Bilder/s";
  return s;
}

std::vector<TCaptureFormatChoice> CaptureFormatChoices(const TCaptureDevice& Device, const TCaptureFormat& Current) {
  std::vector<TCaptureFormatChoice> out;
  auto add = [&out](int32_t W, int32_t H, double R) {
    for (const TCaptureFormatChoice& c : out)
      if (c.Width == W && c.Height == H && std::fabs(c.Rate - R) < 0.01) return;
    out.push_back(TCaptureFormatChoice{W, H, R});
  };
  switch (Device.Kind) {
    case cskCamera: {
      std::vector<TV4l2Format> formats;
      QueryV4l2Formats(Device.Path, formats);
      for (const TV4l2Format& f : formats)
        for (const TV4l2FrameSize& s : f.Sizes) {
          if (s.Rates.empty()) add(s.Width, s.Height, 0);
          for (double r : s.Rates) add(s.Width, s.Height, r);
        }
      break;
    }
    case cskTestPattern:
      for (auto [w, h] : {std::pair{160, 120}, {320, 240}, {640, 480}, {800, 600}, {1280, 720}})
        for (double r : {15.0, 25.0, 30.0}) add(w, h, r);
      break;
    case cskScreen: break;
  }
  if (Current.Width > 0) add(Current.Width, Current.Height, Current.FrameRate);
  return out;
}

bool CaptureFormatDialog(const TCaptureDevice& Device, const TCaptureFormat& Current, TCaptureFormatChoice& Choice) {
  const std::vector<TCaptureFormatChoice> choices = CaptureFormatChoices(Device, Current);
  std::vector<std::string> items;
  int32_t index = -1;
  for (size_t i = 0; i < choices.size(); ++i) {
    items.push_back(CaptureFormatText(choices[i]));
    if (choices[i].Width == Current.Width && choices[i].Height == Current.Height &&
        std::fabs(choices[i].Rate - Current.FrameRate) < 0.01)
      index = int32_t(i);
  }
  auto form = std::make_unique<TCaptureSettingsForm>(nullptr, "Videoformat");
  form->SetName("CaptureFormatForm");
  TComboBox* combo = form->AddCombo("Bildgröße und Bildrate:", items, index);
  if (!Current.PixelFormat.empty()) form->AddNote("Pixelformat des Geräts: " + Current.PixelFormat);
  if (Device.Kind == cskScreen) form->AddNote("Die Größe folgt dem gewählten Fenster.");
  form->Finish();
  if (form->ShowModal() != mrOk) return false;
  if (combo->ItemIndex() < 0 || combo->ItemIndex() >= int32_t(choices.size())) return false;
  Choice = choices[size_t(combo->ItemIndex())];
  return true;
}

bool CaptureSourceDialog(const TCaptureDevice& Device) {
  auto form = std::make_unique<TCaptureSettingsForm>(nullptr, "Videoquelle");
  form->SetName("CaptureSourceForm");
  std::vector<TV4l2Control> controls;
  std::vector<TControl*> editors;
  if (Device.Kind == cskCamera) {
    std::string err;
    if (!QueryV4l2Controls(Device.Path, controls, &err)) {
      MessageDlg("Die Einstellungen der Kamera sind nicht lesbar: " + err, mtWarning, TMsgDlgButtons{mbOK}, 0);
      return false;
    }
  }
  for (const TV4l2Control& c : controls) {
    if (c.Type == vctBoolean) {
      auto* b = new TCheckBox(form.get());
      form->AddControlRow(c.Name, b);
      b->SetChecked(c.Value != 0);
      b->SetEnabled(!c.ReadOnly);
      editors.push_back(b);
    } else if (c.Type == vctMenu) {
      std::vector<std::string> names;
      int32_t index = -1;
      for (size_t i = 0; i < c.MenuItems.size(); ++i) {
        names.push_back(c.MenuItems[i].second);
        if (c.MenuItems[i].first == c.Value) index = int32_t(i);
      }
      TComboBox* combo = form->AddCombo(c.Name, names, index);
      combo->SetEnabled(!c.ReadOnly);
      editors.push_back(combo);
    } else if (c.Type == vctInteger) {
      auto* t = new TTrackBar(form.get());
      form->AddControlRow(c.Name + " (" + std::to_string(c.Minimum) + ".." + std::to_string(c.Maximum) + ")", t);
      t->SetRange(c.Minimum, c.Maximum);
      t->SetPosition(c.Value);
      t->SetEnabled(!c.ReadOnly);
      editors.push_back(t);
    } else {
      editors.push_back(nullptr);  // buttons are not offered
    }
  }
  if (controls.empty())
    form->AddNote(Device.Kind == cskCamera ? "Die Kamera hat keine einstellbaren Werte."
                                           : "Diese Quelle hat keine einstellbaren Werte.");
  form->Finish();
  if (form->ShowModal() != mrOk) return false;
  for (size_t i = 0; i < controls.size(); ++i) {
    const TV4l2Control& c = controls[i];
    if (!editors[i] || c.ReadOnly) continue;
    int32_t v = c.Value;
    if (auto* b = dynamic_cast<TCheckBox*>(editors[i])) v = b->Checked() ? 1 : 0;
    else if (auto* combo = dynamic_cast<TComboBox*>(editors[i])) {
      if (combo->ItemIndex() >= 0) v = c.MenuItems[size_t(combo->ItemIndex())].first;
    } else if (auto* t = dynamic_cast<TTrackBar*>(editors[i]))
      v = t->Position();
    if (v == c.Value) continue;
    std::string err;
    if (!SetV4l2Control(Device.Path, c.Id, v, &err)) {
      MessageDlg("Die Kamera hat \"" + c.Name + "\" nicht übernommen: " + err, mtWarning, TMsgDlgButtons{mbOK}, 0);
      return false;
    }
  }
  return true;
}

bool CaptureDisplayDialog(int32_t& PreviewRateMs) {
  auto form = std::make_unique<TCaptureSettingsForm>(nullptr, "Videoanzeige");
  form->SetName("CaptureDisplayForm");
  TEdit* rate = form->AddEdit("Millisekunden je Vorschaubild:", std::to_string(PreviewRateMs));
  form->Finish();
  for (;;) {
    if (form->ShowModal() != mrOk) return false;
    const int32_t v = StrToIntDef(Trim(rate->Text()), -1);
    if (v >= 1 && v <= 60000) {
      PreviewRateMs = v;
      return true;
    }
    MessageDlg("Bitte eine Zahl von 1 bis 60000 eingeben.", mtWarning, TMsgDlgButtons{mbOK}, 0);
  }
}

bool CaptureCompressionDialog(int32_t& Quality) {
  auto form = std::make_unique<TCaptureSettingsForm>(nullptr, "Videokompression");
  form->SetName("CaptureCompressionForm");
  form->AddNote("Kompression: Motion-JPEG");
  auto* t = new TTrackBar(form.get());
  form->AddControlRow("Qualität (1..100):", t);
  t->SetRange(1, 100);
  t->SetPosition(std::clamp(Quality, 1, 100));
  form->Finish();
  if (form->ShowModal() != mrOk) return false;
  Quality = t->Position();
  return true;
}

}  // namespace kv
