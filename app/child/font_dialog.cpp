#include "app/child/font_dialog.h"

#include "components/controls/color_font_combo.h"
#include "components/controls/kv_spin.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

void AddLabel(TWinControl* Parent, int32_t Y, const char* Text) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetBounds(12, Y + 3, 80, 17);
  l->SetCaption(Text);
}

TCheckBox* AddCheck(TWinControl* Parent, int32_t X, const char* Text) {
  auto* c = new TCheckBox(Parent);
  c->SetParent(Parent);
  c->SetBounds(X, 82, 100, 20);
  c->SetCaption(Text);
  return c;
}

}  // namespace

TTextFontDialog::TTextFontDialog(TComponent* AOwner) : TForm(AOwner) {
  SetName("FontDialog1");
  SetCaption("Schriftart");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(340, 180);
  AddLabel(this, 12, "Schriftart:");
  FaceBox = new TFontComboBox(this);
  FaceBox->SetParent(this);
  FaceBox->SetBounds(96, 12, 230, 23);
  AddLabel(this, 46, "Größe:");
  SizeEdit = new TKvSpinEdit(this);
  SizeEdit->SetParent(this);
  SizeEdit->SetBounds(96, 46, 70, 23);
  SizeEdit->SetMinValue(1);
  SizeEdit->SetMaxValue(1000);
  BoldBox = AddCheck(this, 12, "Fett");
  ItalicBox = AddCheck(this, 116, "Kursiv");
  UnderlineBox = AddCheck(this, 220, "Unterstrichen");
  AddLabel(this, 110, "Farbe:");
  ColorBox = new TColorComboBox(this);
  ColorBox->SetParent(this);
  ColorBox->SetBounds(96, 110, 150, 23);
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetBounds(170, 146, 75, 25);
  OkButton->SetCaption("OK");
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetBounds(254, 146, 75, 25);
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

bool TTextFontDialog::Execute(TFont& Font) {
  FaceBox->SetFontName(Font.Name());
  SizeEdit->SetValue(Font.Size());
  BoldBox->SetChecked(Font.Style().Contains(fsBold));
  ItalicBox->SetChecked(Font.Style().Contains(fsItalic));
  UnderlineBox->SetChecked(Font.Style().Contains(fsUnderline));
  ColorBox->SetColorValue(Font.Color());
  if (ShowModal() != mrOk) return false;
  if (!FaceBox->FontName().empty()) Font.SetName(FaceBox->FontName());
  Font.SetSize(std::max<int32_t>(1, int32_t(SizeEdit->Value())));
  TFontStyles style = Font.Style();
  for (auto [box, s] : {std::pair{BoldBox, fsBold}, std::pair{ItalicBox, fsItalic}, std::pair{UnderlineBox, fsUnderline}})
    box->Checked() ? style.Include(s) : style.Exclude(s);
  Font.SetStyle(style);
  Font.SetColor(ColorBox->ColorValue());
  return true;
}

}  // namespace kv
