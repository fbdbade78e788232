#include "app/tools/tool_dialog.h"

#include "app/settings/form_storage1.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/custom_edit.h"
#include "platform/ui/memo.h"
#include "platform/ui/messages.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {
constexpr int32_t kLabelLeft = 10, kControlLeft = 200, kControlWidth = 260, kRow = 30;
}

TToolDialog::TToolDialog(TComponent* AOwner, const std::string& AName, const std::string& ACaption) : TForm(AOwner) {
  SetName(AName);
  SetCaption(ACaption);
  SetPosition(poScreenCenter);
  SetClientSize(kControlLeft + kControlWidth + 10, 60);
  FStore = new tformstorage1(this);
  FStore->SetName("formstorage1");
  // Hooked into the form's events only at the first showing (see Dispatch).
  FStore->BeginLoading();
  FStore->BeforeStorage = [this](TObject*) {
    for (auto& [name, control] : FStored) {
      TStoredValue* v = FStore->StoredValues().FindValue(name);
      if (!v) continue;
      if (auto* e = dynamic_cast<TEdit*>(control)) v->SetValue(TVariant(e->Text()));
      if (auto* e = dynamic_cast<TCustomEdit*>(control)) v->SetValue(TVariant(e->Text()));
      if (auto* c = dynamic_cast<TCheckBox*>(control)) v->SetValue(TVariant(c->Checked()));
      if (auto* c = dynamic_cast<TComboBox*>(control)) v->SetValue(TVariant(c->ItemIndex()));
      if (auto* b = dynamic_cast<TSpeedButton*>(control)) v->SetValue(TVariant(b->Down()));
      if (auto* m = dynamic_cast<TMemo*>(control)) {
        // One stored text for all lines.
        TStringList lines;
        m->GetLines(lines);
        v->SetValue(TVariant(lines.CommaText()));
      }
    }
  };
  FStore->OnRestorePlacement = [this](TObject*) { LoadSettings(); };
}

void TToolDialog::LoadSettings() {
  for (auto& [name, control] : FStored) {
    TStoredValue* v = FStore->StoredValues().FindValue(name);
    if (!v || v->Value().VarType() == varEmpty) continue;
    const std::string text = v->Value().AsString();
    // A value never stored reads back empty: the control keeps its default.
    if (text.empty()) continue;
    if (auto* e = dynamic_cast<TEdit*>(control)) e->SetText(text);
    if (auto* e = dynamic_cast<TCustomEdit*>(control)) e->SetText(text);
    if (auto* c = dynamic_cast<TCheckBox*>(control))
      c->SetChecked(SameText(Trim(text), "True") || (StrToIntDef(Trim(text), 0) != 0));
    if (auto* c = dynamic_cast<TComboBox*>(control)) {
      const int32_t i = StrToIntDef(Trim(text), c->ItemIndex());
      if (i >= 0 && i < c->Count()) c->SetItemIndex(i);
    }
    if (auto* b = dynamic_cast<TSpeedButton*>(control))
      b->SetDown(SameText(Trim(text), "True") || (StrToIntDef(Trim(text), 0) != 0));
    if (auto* m = dynamic_cast<TMemo*>(control)) {
      TStringList lines;
      lines.SetCommaText(text);
      m->SetLines(lines);
    }
  }
}

TToolDialog::~TToolDialog() {
  // A dialog not made with new gets its OnDestroy, and with it the store's
  // last save, from the form's destructor, when the list of stored controls
  // is already gone: it is raised here instead.
  BeforeDestruction();
}

void TToolDialog::Dispatch(TMessage& Message) {
  // The dialogs set their own OnShow after this constructor has run; hooking
  // the store when the dialog is first shown chains those handlers behind the
  // store's instead of losing the store's to them.
  if (Message.Msg == CM_VISIBLECHANGED && Message.WParam && !FStoreHooked) {
    FStoreHooked = true;
    FStore->Loaded();
  }
  TForm::Dispatch(Message);
}

void TToolDialog::Place(TLabel* Label, TWinControl* Control, int32_t Height) {
  if (Label) {
    Label->SetParent(this);
    Label->SetBounds(kLabelLeft, FTop + 4, kControlLeft - kLabelLeft - 5, 17);
  }
  if (Control) {
    Control->SetParent(this);
    const int32_t left = Label ? kControlLeft : kLabelLeft;
    Control->SetBounds(left, FTop, kControlLeft + kControlWidth - left, Height);
  }
  FTop += kRow;
  SetClientSize(ClientWidth(), FTop + 50);
}

void TToolDialog::AddFrame(TWinControl* Frame, int32_t Height) {
  Frame->SetParent(this);
  Frame->SetBounds(kLabelLeft, FTop, kControlLeft + kControlWidth - kLabelLeft, Height);
  FTop += Height + kRow - 24;
  SetClientSize(ClientWidth(), FTop + 50);
}

void TToolDialog::AddSized(const std::string& Caption, TWinControl* Control, int32_t Width, int32_t Height) {
  auto* l = new TLabel(this);
  l->SetCaption(Caption);
  l->SetParent(this);
  l->SetBounds(kLabelLeft, FTop + 4, kControlLeft - kLabelLeft - 5, 17);
  Control->SetParent(this);
  Control->SetBounds(kControlLeft, FTop, Width, Height);
  FTop += Height + kRow - 24;
  SetClientSize(ClientWidth(), FTop + 50);
}

TLabel* TToolDialog::AddNote(const std::string& Text) {
  auto* l = new TLabel(this);
  l->SetCaption(Text);
  Place(nullptr, nullptr, 0);
  l->SetParent(this);
  l->SetBounds(kLabelLeft, FTop - kRow + 4, kControlLeft + kControlWidth - kLabelLeft, 17);
  return l;
}

TEdit* TToolDialog::AddEdit(const std::string& Caption, const std::string& Name, const std::string& Default) {
  auto* l = new TLabel(this);
  l->SetCaption(Caption);
  auto* e = new TEdit(this);
  e->SetName(Name);
  e->SetText(Default);
  Place(l, e, 23);
  TStoredValue* v = FStore->StoredValues().Add();
  v->SetName(Name);
  FStored.emplace_back(Name, e);
  return e;
}

void TToolDialog::AddStored(const std::string& Name, TWinControl* Control) {
  TStoredValue* v = FStore->StoredValues().Add();
  v->SetName(Name);
  FStored.emplace_back(Name, Control);
}

TCheckBox* TToolDialog::AddCheck(const std::string& Caption, const std::string& Name, bool Default) {
  auto* c = new TCheckBox(this);
  c->SetName(Name);
  c->SetCaption(Caption);
  c->SetChecked(Default);
  Place(nullptr, c, 21);
  TStoredValue* v = FStore->StoredValues().Add();
  v->SetName(Name);
  FStored.emplace_back(Name, c);
  return c;
}

TComboBox* TToolDialog::AddCombo(const std::string& Caption, const std::string& Name,
                                 const std::vector<std::string>& Items, int32_t Default) {
  auto* l = new TLabel(this);
  l->SetCaption(Caption);
  auto* c = new TComboBox(this);
  c->SetName(Name);
  c->SetItems(Items);
  c->SetItemIndex(Default);
  Place(l, c, 23);
  TStoredValue* v = FStore->StoredValues().Add();
  v->SetName(Name);
  FStored.emplace_back(Name, c);
  return c;
}

void TToolDialog::AddButtons(const std::string& RunCaption, int32_t HelpContext) {
  const int32_t top = FTop + 10;
  RunButton = new TButton(this);
  RunButton->SetParent(this);
  RunButton->SetCaption(RunCaption);
  RunButton->SetDefault(true);
  RunButton->SetBounds(kLabelLeft, top, 100, 25);
  RunButton->OnClick = [this](TObject*) {
    if (OnRun) OnRun(this);
    SetModalResult(mrOk);
  };
  auto* cancel = new TButton(this);
  cancel->SetParent(this);
  cancel->SetCaption("&Abbrechen");
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  cancel->SetBounds(kLabelLeft + 110, top, 100, 25);
  auto* help = new TButton(this);
  help->SetParent(this);
  help->SetCaption("&Hilfe");
  help->SetBounds(kLabelLeft + 220, top, 100, 25);
  HelpButton = help;
  help->OnClick = [HelpContext](TObject*) {
    if (Application) Application->HelpContext(HelpContext);
  };
  SetClientSize(ClientWidth(), top + 40);
}

int32_t TToolDialog::EditInt(const TEdit* Edit) { return Edit ? StrToIntDef(Trim(Edit->Text()), 0) : 0; }

}  // namespace kv
