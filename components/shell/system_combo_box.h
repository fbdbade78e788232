// TdfsSystemComboBox: a drop-down list of shell folders as a file dialog's
// folder box shows them: the desktop, its children, the mounted file systems
// below Computer, and the chain of folders down to the folder shown now,
// each indented by depth and drawn with its icon.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/shell/shell_items.h"

namespace kv {

// One entry of the combo.
struct TShellItem {
  TShellItem() = default;
  ~TShellItem();
  TShellItem(const TShellItem&) = delete;
  TShellItem& operator=(const TShellItem&) = delete;
  std::shared_ptr<TShellFolder> ShellFolder;  // the parent's folder (the desktop for the root)
  std::shared_ptr<TShellFolder> Folder;       // the item's own
  PItemIDList AbsoluteIDL = nullptr;
  PItemIDList RelativeIDL = nullptr;
  std::string ParseName;
  std::string Caption;
  int32_t Icon = -1;
  int32_t OpenIcon = -1;
  int32_t Indent = 0;
  TShellItem* Parent = nullptr;
  bool Temporary = false;
  std::vector<TShellItem*> Children;  // sorted by the parent folder's order
};

class TdfsSystemComboBox : public TdfsCustomSystemComboBox {
 public:
  explicit TdfsSystemComboBox(TComponent* AOwner);
  ~TdfsSystemComboBox() override;

  std::string Version() const { return "TdfsSystemComboBox v0.97 Beta"; }
  void SetVersion(const std::string&) {}
  int32_t DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int32_t Value) { FDropDownCount = Value; }
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value) { FMaxLength = Value; }

  // The entry's item (nullptr for a bad index).
  TShellItem* ShellItem(int32_t Index) const;
  void Rebuild();
  // Shows the folder of an absolute list, adding the entries on the way.
  void ShowFolder(PCItemIDList Absolute);
  // The file-system path of the entry shown ("" for none or a virtual place).
  std::string SelectedPath() const;

  PCItemIDList GetSelectedPIDL() const override;
  std::shared_ptr<TShellFolder> GetDesktopFolder() const override { return FDesktop; }
  bool LinkedControlChanged(TdfsShellLinked* Sender) override;
  void Loaded() override;

  void DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) override;

 protected:
  // The window exists only once the base has made it: the rebuild follows.
  void CreateHandle() override;
  void DestroyWnd() override;
  void Click() override;

 private:
  TShellItem* MakeItem(TShellItem* Parent, PCItemIDList Relative, bool Temporary);
  void InsertEntry(int32_t Index, TShellItem* Item);
  void DeleteEntry(int32_t Index);
  void ClearEntries();
  int32_t AddChildren(TShellItem* Parent, int32_t At);
  int32_t FindEntry(PCItemIDList Absolute) const;

  std::shared_ptr<TShellFolder> FDesktop;
  TIdListHolder FDesktopList;
  TShellItem* FRoot = nullptr;
  TIdListHolder FLastShown;
  bool FDestroyingWnd = false;
  int32_t FDropDownCount = 8;
  int32_t FMaxLength = 0;
};

}  // namespace kv
