#include "app/catalog/catalog_window.h"

#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_sort.h"
#include "app/main/main_form.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"

namespace kv {

TFormcatalog::TFormcatalog(TComponent* AOwner) : TForm(AOwner) {
  SetFormStyle(fsMDIChild);
  SetBounds(0, 0, 480, 360);
  catalogframe1 = new Tcatalogframe(this);
  catalogframe1->SetName("catalogframe1");
  catalogframe1->SetParent(this);
  catalogframe1->SetAlign(alClient);
  OnActivate = [this](TObject* S) { FormActivate(S); };
  OnCloseQuery = [this](TObject* S, bool& C) { FormCloseQuery(S, C); };
  OnClose = [this](TObject* S, TCloseAction& A) { FormClose(S, A); };
}

void TFormcatalog::AddFile(const std::string& FileName) {
  InsertSorted(catalogframe1->Files(), FileName);
  catalogframe1->Repaint();
  modified = true;
}

void TFormcatalog::DeleteEntry(int32_t Index) {
  catalogframe1->Files().Delete(Index);
  catalogframe1->Repaint();
  modified = true;
}

void TFormcatalog::SaveToFile(const std::string& FileName) {
  WriteCatalogFile(FileName, catalogframe1->Files());
  SetCaption(FileName);
  modified = false;
}

void TFormcatalog::LoadEntries(const std::vector<std::string>& Entries) {
  for (const std::string& e : Entries) InsertSorted(catalogframe1->Files(), e);
  catalogframe1->Repaint();
}

void TFormcatalog::FormActivate(TObject*) {
  if (form1) form1->updateall();
}

void TFormcatalog::FormCloseQuery(TObject*, bool& CanClose) {
  CanClose = true;
  if (!modified) return;
  const TModalResult answer = MessageDlg(Format("Möchten Sie Ihre Änderungen von %s speichern?", Caption()),
                                         mtConfirmation, mbYesNoCancel, 0);
  if (answer == mrYes && form1) {
    CancelFlag = false;
    // The save works on the active window: make sure that is this one.
    if (form1->ActiveMDIChild() != this) BringToFront();
    form1->Speichern1Click(this);
  }
  // A kept window must also stop "close all" and the shut-down, or its
  // changes would go with the program.
  if (answer == mrCancel || (answer == mrYes && (CancelFlag || modified))) {
    CancelFlag = true;
    CanClose = false;
  }
}

void TFormcatalog::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

}  // namespace kv
