// The memo dialog.
#include "app/actions/input_memo.h"

#include <memory>

#include "platform/rtl/string_list.h"
#include "platform/ui/button.h"
#include "platform/ui/memo.h"
#include "platform/ui/panel.h"

namespace kv {

Tinputmemo::Tinputmemo(TComponent* AOwner) : TForm(AOwner) {
  SetClientSize(360, 240);
  SetPosition(poScreenCenter);
  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetHeight(38);
  Panel1->SetAlign(alBottom);
  Memo1 = new TMemo(this);
  Memo1->SetParent(this);
  Memo1->SetAlign(alClient);
  Memo1->SetScrollBars(ssBoth);
  OKButton = new TButton(this);
  OKButton->SetParent(Panel1);
  OKButton->SetCaption("&Ok");
  OKButton->SetBounds(190, 7, 75, 25);
  OKButton->SetDefault(true);
  OKButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(Panel1);
  CancelButton->SetCaption("&Abbrechen");
  CancelButton->SetBounds(275, 7, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

bool EditLines(const std::string& Caption, TStrings& Lines) {
  auto dlg = std::make_unique<Tinputmemo>(nullptr);
  dlg->SetCaption(Caption);
  dlg->Memo1->SetLines(Lines);
  if (dlg->ShowModal() != mrOk) return false;
  dlg->Memo1->GetLines(Lines);
  return true;
}

}  // namespace kv
