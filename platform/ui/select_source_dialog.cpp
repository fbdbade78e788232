#include "platform/ui/select_source_dialog.h"

#include <memory>

#include "platform/ui/button.h"
#include "platform/ui/list_box.h"

namespace kv {

TSelectSourceForm::TSelectSourceForm(TComponent* AOwner, const std::vector<std::string>& Names,
                                     const std::string& Current)
    : TForm(AOwner) {
  SetCaption("Select Source");
  SetBounds(0, 0, 360, 260);
  List = new TListBox(this);
  List->SetParent(this);
  List->SetBounds(8, 8, 344, 200);
  for (const std::string& n : Names) List->Items().Add(n);
  int32_t sel = 0;
  for (size_t i = 0; i < Names.size(); ++i)
    if (Names[i] == Current) sel = int32_t(i);
  List->SetItemIndex(Names.empty() ? -1 : sel);
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetCaption("OK");
  OkButton->SetBounds(196, 222, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Cancel");
  CancelButton->SetBounds(277, 222, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
}

bool SelectSourceDialog(const std::vector<std::string>& Names, std::string& Chosen, const std::string& Current) {
  if (Names.empty()) return false;
  auto form = std::make_unique<TSelectSourceForm>(nullptr, Names, Current);
  if (form->ShowModal() != mrOk) return false;
  const int32_t i = form->List->ItemIndex();
  if (i < 0 || size_t(i) >= Names.size()) return false;
  Chosen = Names[size_t(i)];
  return true;
}

}  // namespace kv
