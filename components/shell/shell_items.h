// The common ground of the shell controls: item id list helpers, the folder
// item record, the three linked base controls (folder tree, file list, folder
// combo) and the file-mask matcher.
//
// A selection in one linked control is shown by the others: the sender's
// desktop folder and selected absolute list are read by each receiver, which
// selects the same item.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/shell_namespace.h"
#include "platform/ui/custom_combo.h"
#include "platform/ui/list_box.h"
#include "platform/ui/timer.h"
#include "platform/ui/tree_view.h"

namespace kv {

// ---- item id lists (all through the shell allocator) ----

// Bytes of all items plus 2 for the terminator; 0 for no list.
int32_t IdListSize(PCItemIDList List);
// A zero-filled block.
PItemIDList IdListAlloc(int32_t Bytes);
// Frees the block and clears the variable.
void IdListFree(PItemIDList& List);
// The first list without its terminator followed by the second; a missing
// first list gives a copy of the second.
PItemIDList IdListJoin(PCItemIDList Absolute, PCItemIDList Relative);
// A new copy; nullptr for an empty or missing list.
PItemIDList IdListCopy(PCItemIDList List);
// Both missing: true; one missing: false; else equal sizes and bytes.
bool IdListEqual(PCItemIDList A, PCItemIDList B);
// The list after its first item; nullptr at the terminator.
PCItemIDList IdListNext(PCItemIDList List);
// New lists of the first item only and of the last item only.
PItemIDList IdListFirst(PCItemIDList List);
PItemIDList IdListLast(PCItemIDList List);
// A new list without its last item; nullptr when that leaves nothing.
PItemIDList IdListParent(PCItemIDList List);
// The folder's display name of the item (kinds SFN_NORMAL, SFN_INFOLDER,
// SFN_FORPARSING); "" on failure.
std::string ItemDisplayName(const TShellFolder* Folder, PCItemIDList Relative, uint32_t Kind);
// Index of the item's icon in the small system image list (its open icon
// when asked); -1 on failure.
int32_t ItemIconIndex(PCItemIDList Absolute, bool Open);

// Owns a list and frees it through the allocator.
class TIdListHolder {
 public:
  TIdListHolder() = default;
  explicit TIdListHolder(PItemIDList List) : FList(List) {}
  ~TIdListHolder() { IdListFree(FList); }
  TIdListHolder(const TIdListHolder&) = delete;
  TIdListHolder& operator=(const TIdListHolder&) = delete;
  PItemIDList Get() const { return FList; }
  void Reset(PItemIDList List) {
    IdListFree(FList);
    FList = List;
  }
  PItemIDList Release() {
    PItemIDList l = FList;
    FList = nullptr;
    return l;
  }

 private:
  PItemIDList FList = nullptr;
};

// What a tree node keeps of its item; owns both lists.
struct TFolderItemData {
  TFolderItemData(std::shared_ptr<TShellFolder> Parent, PItemIDList Relative, uint32_t Attr, PItemIDList Absolute);
  ~TFolderItemData();
  TFolderItemData(const TFolderItemData&) = delete;
  TFolderItemData& operator=(const TFolderItemData&) = delete;
  std::shared_ptr<TShellFolder> ParentFolder;
  PItemIDList RelativeIDL = nullptr;
  uint32_t Attributes = 0;
  PItemIDList AbsoluteIDL = nullptr;
  bool Listed = false;  // the node's children have been listed
};
// Records alive now.
int64_t FolderItemDataCount();

// ---- file masks ----

// A sorted list of lower-case masks without duplicates.
using TMaskList = std::vector<std::string>;
// ";"-separated masks into a list; an empty text gives "*".
void BuildMaskList(const std::string& Masks, TMaskList& List);
// Names compare without regard to case (both sides lower-cased); a missing
// or empty list matches everything; a name without "." is tried with one appended.
bool MatchesMaskList(const std::string& Name, const TMaskList* List);
// One mask against a lower-case name (see BuildMaskList for the list rules).
bool MatchesMask(const std::string& Name, const std::string& Mask);

// ---- linked controls ----

class TdfsCustomSystemTreeView;
class TdfsCustomSystemListView;
class TdfsCustomSystemComboBox;

// What every linked shell control answers and hears.
class TdfsShellLinked {
 public:
  virtual ~TdfsShellLinked() = default;
  // The selected item's absolute list (nullptr when nothing is selected); owned by the control.
  virtual PCItemIDList GetSelectedPIDL() const = 0;
  // The desktop folder the control works in.
  virtual std::shared_ptr<TShellFolder> GetDesktopFolder() const = 0;
  // Selects what Sender selected; true when the control shows it now.
  virtual bool LinkedControlChanged(TdfsShellLinked* Sender) = 0;
  // The control's window for the shell: its own, else its parent's, form's or the main window's.
  virtual HWND GetValidHandle() = 0;
};

// Links the controls made on the same owner and clears links to controls
// that go; shared by the three base controls.
class TdfsShellLinks {
 public:
  TdfsCustomSystemTreeView* TreeView = nullptr;
  TdfsCustomSystemListView* ListView = nullptr;
  TdfsCustomSystemComboBox* ComboBox = nullptr;
};

class TdfsCustomSystemTreeView : public TCustomTreeView, public TdfsShellLinked {
 public:
  explicit TdfsCustomSystemTreeView(TComponent* AOwner);
  ~TdfsCustomSystemTreeView() override;

  uint16_t ReadDelay() const { return FReadDelay; }
  void SetReadDelay(uint16_t Value) { FReadDelay = Value; }
  TdfsCustomSystemListView* ListView() const { return FLinks.ListView; }
  void SetListView(TdfsCustomSystemListView* Value);
  TdfsCustomSystemComboBox* ComboBox() const { return FLinks.ComboBox; }
  void SetComboBox(TdfsCustomSystemComboBox* Value);

  HWND GetValidHandle() override;
  // Takes the system image list again and repaints with it; runs when the
  // system's colours change.
  virtual void RebuildImageLists();
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Dispatch(TMessage& Message) override;

  // Whether a read-delay timer is pending.
  bool ReadPending() const;

 protected:
  void Change(TTreeNode* Node) override;
  // Tells the linked list view and combo.
  void NotifyLinks();
  // The read-delay timer fired (after the links were told).
  virtual void ReadDelayElapsed() {}
  void DestroyWnd() override;

  bool FNotifyAtOnce = true;

 private:
  friend class TdfsCustomSystemListView;
  friend class TdfsCustomSystemComboBox;
  uint16_t FReadDelay = 500;
  TdfsShellLinks FLinks;
  TTimer* FTimer = nullptr;  // the read delay (window timer 33)
  bool FNotifying = false;
};

class TdfsCustomSystemListView : public TCustomListBox, public TdfsShellLinked {
 public:
  explicit TdfsCustomSystemListView(TComponent* AOwner);
  ~TdfsCustomSystemListView() override;

  TdfsCustomSystemTreeView* TreeView() const { return FLinks.TreeView; }
  void SetTreeView(TdfsCustomSystemTreeView* Value);
  TdfsCustomSystemComboBox* ComboBox() const { return FLinks.ComboBox; }
  void SetComboBox(TdfsCustomSystemComboBox* Value);
  TCustomImageList* LargeImages() const;
  TCustomImageList* SmallImages() const;
  // Repaints with the system image lists as they are now; runs when the system's colours change.
  virtual void RebuildImageLists();
  void Dispatch(TMessage& Message) override;

  // The folder shown (as the links told it); its items are the lines.
  PCItemIDList GetSelectedPIDL() const override { return FFolder.Get(); }
  std::shared_ptr<TShellFolder> GetDesktopFolder() const override { return FDesktop; }
  bool LinkedControlChanged(TdfsShellLinked* Sender) override;
  HWND GetValidHandle() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Shows a folder (an absolute list) and tells the tree and combo.
  bool ShowFolder(PCItemIDList Absolute);

 protected:
  void NotifyLinks();

 private:
  friend class TdfsCustomSystemTreeView;
  friend class TdfsCustomSystemComboBox;
  TdfsShellLinks FLinks;
  std::shared_ptr<TShellFolder> FDesktop;
  TIdListHolder FFolder;
  bool FNotifying = false;
};

class TdfsCustomSystemComboBox : public TCustomComboBox, public TdfsShellLinked {
 public:
  explicit TdfsCustomSystemComboBox(TComponent* AOwner);
  ~TdfsCustomSystemComboBox() override;

  TdfsCustomSystemTreeView* TreeView() const { return FLinks.TreeView; }
  void SetTreeView(TdfsCustomSystemTreeView* Value);
  TdfsCustomSystemListView* ListView() const { return FLinks.ListView; }
  void SetListView(TdfsCustomSystemListView* Value);
  TCustomImageList* Images() const;
  // Repaints with the system image list as it is now; runs when the system's colours change.
  virtual void RebuildImageLists();
  void Dispatch(TMessage& Message) override;

  HWND GetValidHandle() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Tells the linked list view and tree.
  void NotifyLinks();

 private:
  friend class TdfsCustomSystemTreeView;
  friend class TdfsCustomSystemListView;
  TdfsShellLinks FLinks;
  bool FNotifying = false;
};

// Links a new control with the others of its owner (both ways, only where
// their link is still empty).
void LinkWithSiblings(TComponent* Control);

}  // namespace kv
