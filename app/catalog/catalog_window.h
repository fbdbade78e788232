// The catalog window: a child of the main window's multiple-document area
// holding one catalog frame. It asks whether to save a changed catalog
// before it closes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class Tcatalogframe;

class TFormcatalog : public TForm {
 public:
  explicit TFormcatalog(TComponent* AOwner);

  Tcatalogframe* catalogframe1 = nullptr;
  bool modified = false;

  // Inserts a file at its sorted place; the catalog is changed.
  void AddFile(const std::string& FileName);
  // Deletes the entry at Index (from 0); raises EListError outside the list.
  void DeleteEntry(int32_t Index);
  // Writes the list as a catalog file; the window takes its name and is saved.
  void SaveToFile(const std::string& FileName);
  // Inserts every entry of a catalog file at its sorted place (the catalog stays unchanged).
  void LoadEntries(const std::vector<std::string>& Entries);

  // Dragging selected entries to another cell of the same catalog.
  void DrawGridMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void DrawGridDragOver(TObject* Sender, TObject* Source, int32_t X, int32_t Y, bool& Accept);
  // The entries of the selected cells move, in list order, to the index of the drop cell.
  void DrawGridDragDrop(TObject* Sender, TObject* Source, int32_t X, int32_t Y);

  void FormActivate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormClose(TObject* Sender, TCloseAction& Action);
};

}  // namespace kv
