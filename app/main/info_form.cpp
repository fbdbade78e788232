#include "app/main/info_form.h"

#include "components/controls/kv_label.h"
#include "platform/ui/button.h"

namespace kv {

Tinfoform::Tinfoform(TComponent* AOwner) : TForm(AOwner) {
  SetFormStyle(fsMDIChild);
  SetCaption("Willkommen");
  SetBounds(20, 20, 360, 200);
  Label1 = new TmyKvLabel(this);
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetParent(this);
  Label1->SetBounds(16, 16, 320, 160);
  Label1->SetCaption(
      "Willkommen bei Kavrelin!\n\nÖffnen Sie ein Bild über Datei - Öffnen, ziehen Sie Dateien auf das "
      "Fenster oder legen Sie mit Datei - Neu eine neue Grafik an.");
}

Taboutform::Taboutform(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetBounds(0, 0, 320, 160);
  Label1 = new TmyKvLabel(this);
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetParent(this);
  Label1->SetBounds(16, 16, 288, 80);
  Label1->SetCaption("Kavrelin 3.6\n\nBildbetrachter und Bildbearbeitung");
  OKButton = new TButton(this);
  OKButton->SetParent(this);
  OKButton->SetBounds(120, 110, 80, 25);
  OKButton->SetCaption("OK");
  OKButton->SetDefault(true);
  OKButton->SetCancel(true);
  OKButton->SetModalResult(mrOk);
}

}  // namespace kv
