#include "app/catalog/catalog_window.h"

#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_sort.h"
#include "app/main/main_form.h"
#include "components/controls/kv_draw_grid.h"
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
  TKvDrawGrid& grid = catalogframe1->DrawGrid1();
  grid.OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int32_t X, int32_t Y) {
    DrawGridMouseDown(S, B, Sh, X, Y);
  };
  grid.OnDragOver = [this](TObject* S, TObject* Src, int32_t X, int32_t Y, TDragState, bool& A) {
    DrawGridDragOver(S, Src, X, Y, A);
  };
  grid.OnDragDrop = [this](TObject* S, TObject* Src, int32_t X, int32_t Y) { DrawGridDragDrop(S, Src, X, Y); };
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

void TFormcatalog::DrawGridMouseDown(TObject*, TMouseButton Button, TShiftState, int32_t, int32_t) {
  if (Button == mbLeft) catalogframe1->DrawGrid1().BeginDrag(true);
}

void TFormcatalog::DrawGridDragOver(TObject*, TObject* Source, int32_t X, int32_t Y, bool& Accept) {
  TKvDrawGrid& grid = catalogframe1->DrawGrid1();
  int32_t col = -1, row = -1;
  grid.MouseToCell(X, Y, col, row);
  const TGridRect s = grid.Selection();
  const bool inSelection = col >= s.Left && col <= s.Right && row >= s.Top && row <= s.Bottom;
  Accept = Source == &grid && catalogframe1->CellFileIndex(col, row) >= 0 && !inSelection;
}

void TFormcatalog::DrawGridDragDrop(TObject*, TObject*, int32_t X, int32_t Y) {
  TKvDrawGrid& grid = catalogframe1->DrawGrid1();
  int32_t col = -1, row = -1;
  grid.MouseToCell(X, Y, col, row);
  const int32_t target = catalogframe1->CellFileIndex(col, row);
  if (target < 0) return;
  TStringList& files = catalogframe1->Files();
  std::vector<bool> flagged(size_t(files.Count()), false);
  const TGridRect s = grid.Selection();
  for (int32_t r = s.Top; r <= s.Bottom; ++r)
    for (int32_t c = s.Left; c <= s.Right; ++c)
      if (const int32_t i = catalogframe1->CellFileIndex(c, r); i >= 0) flagged[size_t(i)] = true;
  std::vector<std::string> moving;
  int32_t at = target;
  for (int32_t i = files.Count() - 1; i >= 0; --i) {
    if (!flagged[size_t(i)]) continue;
    moving.insert(moving.begin(), files.Strings(i));
    files.Delete(i);
    if (i < target) --at;
  }
  for (size_t k = 0; k < moving.size(); ++k) files.Insert(at + int32_t(k), moving[k]);
  modified = true;
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
