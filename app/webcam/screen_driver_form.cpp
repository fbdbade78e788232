#include "app/webcam/screen_driver_form.h"

#include <memory>

#include "platform/devices/screen_windows.h"
#include "platform/ui/button.h"
#include "platform/ui/list_box.h"

namespace kv {

Tscreendriverform::Tscreendriverform(TComponent* AOwner) : TForm(AOwner) {
  SetName("screendriverform");
  SetCaption("Fenster auswählen");
  SetBounds(0, 0, 360, 320);
  ListBox1 = new TListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetName("ListBox1");
  ListBox1->SetBounds(8, 8, 344, 240);
  ListBox1->OnDblClick = [this](TObject* S) { ListBox1DblClick(S); };
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetName("OkButton");
  OkButton->SetCaption("OK");
  OkButton->SetBounds(196, 258, 75, 25);
  OkButton->SetDefault(true);
  OkButton->OnClick = [this](TObject* S) { OkClick(S); };
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetName("CancelButton");
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(277, 258, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  FillList();
}

void Tscreendriverform::FillList() {
  FEntries.clear();
  FEntries.push_back(TEntry{"Desktop", 0});
  for (const TScreenWindow& w : ListScreenWindows()) FEntries.push_back(TEntry{w.Title, w.Id});
  ListBox1->Items().Clear();
  for (const TEntry& e : FEntries) ListBox1->Items().Add(e.Text);
  ListBox1->SetItemIndex(0);
}

void Tscreendriverform::OkClick(TObject*) {
  const int32_t i = ListBox1->ItemIndex();
  if (i < 0 || i >= int32_t(FEntries.size())) return;
  Result = FEntries[size_t(i)].Window;
  SetModalResult(mrOk);
}

void Tscreendriverform::ListBox1DblClick(TObject* Sender) { OkClick(Sender); }

bool ChooseScreenWindow(uint32_t& Window) {
  auto form = std::make_unique<Tscreendriverform>(nullptr);
  if (form->ShowModal() != mrOk) return false;
  Window = form->Result;
  return true;
}

}  // namespace kv
