#include "platform/devices/scan_options_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/devices/sane_scanner.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kRowHeight = 26;
constexpr int32_t kRowsPerColumn = 18;
constexpr int32_t kColumnWidth = 380;

// SANE's units as a dialog writes them after a value.
const char* UnitText(int32_t Unit) {
  switch (Unit) {
    case 1: return " Pixel";
    case 2: return " Bit";
    case 3: return " mm";
    case 4: return " dpi";
    case 5: return " %";
    case 6: return " µs";
    default: return "";
  }
}

std::string NumberText(double V, bool Fixed) {
  char buf[64];
  if (!Fixed) std::snprintf(buf, sizeof buf, "%.0f", V);
  else {
    std::snprintf(buf, sizeof buf, "%.4f", V);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
  }
  return buf;
}

// A number as a user types it: a decimal point or comma; false for anything else.
bool ParseNumber(std::string Text, double& V) {
  std::replace(Text.begin(), Text.end(), ',', '.');
  const char* s = Text.c_str();
  char* end = nullptr;
  V = std::strtod(s, &end);
  while (end && *end == ' ') ++end;
  return end != s && end && *end == '\0' && std::isfinite(V);
}

// Options a dialog can show: active, settable, one value of a plain type.
bool Shown(const TScanOption& O) {
  if (!O.Active || !O.Settable) return false;
  switch (O.Type) {
    case sotBool:
    case sotInt:
    case sotFixed: return O.Size == 4;  // one word: value arrays (gamma tables) are left to the device
    case sotString: return true;
    default: return false;
  }
}

}  // namespace

TScanOptionsForm::TScanOptionsForm(TComponent* AOwner, TScanDevice& Device) : TForm(AOwner), FDevice(Device) {
  SetCaption("Scanner-Einstellungen");
  std::vector<const TScanOption*> shown;
  for (const TScanOption& o : Device.Options())
    if (Shown(o)) shown.push_back(&o);
  const int32_t columns = std::max<int32_t>(1, int32_t((shown.size() + kRowsPerColumn - 1) / kRowsPerColumn));
  const int32_t rows = std::min<int32_t>(int32_t(shown.size()), kRowsPerColumn);
  const int32_t width = columns * kColumnWidth + 16;
  const int32_t buttonsTop = 8 + std::max(rows, 1) * kRowHeight + 8;
  SetBounds(0, 0, std::max(width, 260), buttonsTop + 40);
  for (size_t i = 0; i < shown.size(); ++i) {
    const TScanOption& o = *shown[i];
    const int32_t x = 8 + int32_t(i / kRowsPerColumn) * kColumnWidth;
    const int32_t y = 8 + int32_t(i % kRowsPerColumn) * kRowHeight;
    const std::string title = o.Title.empty() ? o.Name : o.Title;
    TWinControl* control = nullptr;
    if (o.Type == sotBool) {
      auto* c = new TCheckBox(this);
      c->SetParent(this);
      c->SetCaption(title);
      double v = 0;
      Device.GetNumber(o.Name, v);
      c->SetChecked(v != 0);
      c->SetBounds(x, y, kColumnWidth - 16, 22);
      control = c;
    } else {
      auto* label = new TLabel(this);
      label->SetParent(this);
      std::string caption = title;
      if (o.Constraint == scRange && o.Type != sotString)
        caption += " (" + NumberText(o.Min, o.Type == sotFixed) + ".." + NumberText(o.Max, o.Type == sotFixed) +
                   UnitText(o.Unit) + ")";
      else if (o.Type != sotString)
        caption += UnitText(o.Unit);
      label->SetCaption(caption);
      label->SetBounds(x, y + 3, 200, 18);
      if (o.Constraint == scStringList || o.Constraint == scWordList) {
        auto* c = new TComboBox(this);
        c->SetParent(this);
        std::string current;
        double number = 0;
        if (o.Type == sotString) Device.GetString(o.Name, current);
        else Device.GetNumber(o.Name, number);
        if (o.Constraint == scStringList)
          for (const std::string& s : o.Strings) c->AddItem(s);
        else
          for (double w : o.Words) c->AddItem(NumberText(w, o.Type == sotFixed));
        c->SetItemIndex(c->IndexOf(o.Type == sotString ? current : NumberText(number, o.Type == sotFixed)));
        control = c;
      } else {
        auto* e = new TEdit(this);
        e->SetParent(this);
        std::string text;
        double number = 0;
        if (o.Type == sotString) Device.GetString(o.Name, text);
        else if (Device.GetNumber(o.Name, number)) text = NumberText(number, o.Type == sotFixed);
        e->SetText(text);
        control = e;
      }
      control->SetBounds(x + 204, y, kColumnWidth - 220, 22);
    }
    control->SetName("Option" + std::to_string(i));
    FRows.push_back(TRow{o.Name, control});
  }
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetCaption("OK");
  OkButton->SetBounds(Width() - 170, buttonsTop, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(Width() - 89, buttonsTop, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

TWinControl* TScanOptionsForm::ControlOf(const std::string& Name) const {
  for (const TRow& r : FRows)
    if (r.Name == Name) return r.Control;
  return nullptr;
}

bool TScanOptionsForm::Apply(std::string& Problem) {
  for (const TRow& r : FRows) {
    // A value sent before may have changed which options exist or apply.
    const TScanOption* o = FDevice.Option(r.Name);
    if (!o || !o->Active || !o->Settable) continue;
    TScanStatus st = ssGood;
    if (o->Type == sotString) {
      std::string want, have;
      if (auto* c = dynamic_cast<TComboBox*>(r.Control)) {
        if (c->ItemIndex() < 0) continue;
        want = c->Item(c->ItemIndex());
      } else {
        want = r.Control->Text();
      }
      if (FDevice.GetString(r.Name, have) && have == want) continue;
      st = FDevice.SetString(r.Name, want);
    } else {
      double want = 0, have = 0;
      if (auto* b = dynamic_cast<TCheckBox*>(r.Control)) {
        want = b->Checked() ? 1 : 0;
      } else if (auto* c = dynamic_cast<TComboBox*>(r.Control)) {
        if (c->ItemIndex() < 0 || !ParseNumber(c->Item(c->ItemIndex()), want)) continue;
      } else if (!ParseNumber(r.Control->Text(), want)) {
        Problem = "\"" + r.Control->Text() + "\" ist keine Zahl (" + (o->Title.empty() ? o->Name : o->Title) + ").";
        return false;
      }
      if (FDevice.GetNumber(r.Name, have) && have == want) continue;
      st = FDevice.SetNumber(r.Name, want);
    }
    if (st != ssGood) {
      Problem = (o->Title.empty() ? o->Name : o->Title) + ": " + ScanStatusText(st);
      return false;
    }
  }
  return true;
}

bool ScanOptionsDialog(TScanDevice& Device) {
  auto form = std::make_unique<TScanOptionsForm>(nullptr, Device);
  for (;;) {
    if (form->ShowModal() != mrOk) return false;
    std::string problem;
    if (form->Apply(problem)) return true;
    MessageDlg("Der Scanner hat eine Einstellung nicht übernommen: " + problem, mtWarning, TMsgDlgButtons{mbOK}, 0);
  }
}

}  // namespace kv
