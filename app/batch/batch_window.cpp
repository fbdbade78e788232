#include "app/batch/batch_window.h"

#include "app/batch/batch_list_frame.h"
#include "app/main/main_form.h"
#include "platform/ui/list_box.h"
#include "platform/ui/menus.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"

namespace kv {

Tbatchwindowform* batchwindowform = nullptr;

Tbatchwindowform::Tbatchwindowform(TComponent* AOwner) : TForm(AOwner) {
  SetName("batchwindowform");
  SetCaption("Batch");
  SetBounds(40, 400, 620, 240);

  batchlistFrame1 = new TbatchlistFrame(this);
  batchlistFrame1->SetName("batchlistFrame1");
  batchlistFrame1->SetParent(this);
  batchlistFrame1->SetAlign(alRight);
  batchlistFrame1->SetWidth(210);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alBottom);
  Panel1->SetHeight(26);
  Panel1->SetBevelOuter(bvNone);
  Panel1->OnResize = [this](TObject* Sender) { Panel1Resize(Sender); };

  Edit1 = new TEdit(this);
  Edit1->SetName("Edit1");
  Edit1->SetParent(Panel1);
  Edit1->SetBounds(0, 2, Panel1->ClientWidth(), 22);
  Edit1->SetText("");
  Edit1->SetHint("Hier können Sie Aktionen selber eingeben. Drücken Sie\r\n"
                 "Enter oder doppelklicken Sie mit der Maus, um sie auszuführen.");
  Edit1->SetShowHint(true);
  Edit1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { Edit1KeyDown(Sender, Key, Shift); };

  TextListBox1 = new TListBox(this);
  TextListBox1->SetName("TextListBox1");
  TextListBox1->SetParent(this);
  TextListBox1->SetAlign(alClient);
  TextListBox1->SetHint("Hier sehen Sie die zuletzt ausgeführten Aktionen.");
  TextListBox1->SetShowHint(true);
  TextListBox1->OnClick = [this](TObject* Sender) { TextListBox1Click(Sender); };
  TextListBox1->OnDblClick = [this](TObject* Sender) { TextListBox1DblClick(Sender); };

  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  if (!batchwindowform) batchwindowform = this;
}

Tbatchwindowform::~Tbatchwindowform() {
  if (batchwindowform == this) batchwindowform = nullptr;
}

void Tbatchwindowform::AddLine(const std::string& Line) {
  AddLine(Line, form1 ? form1->StoredInt("maxHistory") : 50);
}

void Tbatchwindowform::AddLine(const std::string& Line, int32_t MaxHistory) {
  TStrings& items = TextListBox1->Items();
  const int32_t limit = MaxHistory < 1 ? 1 : MaxHistory;
  while (items.Count() >= limit) items.Delete(0);
  items.Add(Line);
  TextListBox1->SetTopIndex(items.Count() - 1);
}

bool Tbatchwindowform::CopySelected() {
  const int32_t i = TextListBox1->ItemIndex();
  if (i < 0 || i >= TextListBox1->Items().Count()) return false;
  Edit1->SetText(TextListBox1->Items().Get(i));
  return true;
}

void Tbatchwindowform::TextListBox1Click(TObject*) { CopySelected(); }

void Tbatchwindowform::TextListBox1DblClick(TObject*) {
  if (!CopySelected() || !form1 || form1->RefusedWhileBusy()) return;
  form1->interpreter(TextListBox1, Edit1->Text());
}

void Tbatchwindowform::Edit1KeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN && Key != VK_UP && Key != VK_DOWN) return;
  const uint16_t key = Key;
  Key = 0;  // consumed: the edit keeps the focus and beeps at nothing
  const int32_t count = TextListBox1->Items().Count();
  const int32_t index = TextListBox1->ItemIndex();
  if (key == VK_RETURN) {
    // Typed lines wait, as menu actions do, for a batch or a message pump.
    if (form1 && !form1->RefusedWhileBusy()) form1->interpreter(Edit1, Edit1->Text());
  } else if (key == VK_UP) {
    if (index > 0) TextListBox1->SetItemIndex(index - 1);
  } else if (index < count - 1) {
    TextListBox1->SetItemIndex(index + 1);
  }
  CopySelected();
  if (Edit1->Showing()) Edit1->SetFocus();
}

void Tbatchwindowform::Panel1Resize(TObject*) { Edit1->SetWidth(Panel1->ClientWidth()); }

void Tbatchwindowform::FormClose(TObject*, TCloseAction&) {
  if (!form1) return;
  if (auto* item = dynamic_cast<TMenuItem*>(form1->FindComponent("BatchFenster1"))) item->SetChecked(false);
}

}  // namespace kv
