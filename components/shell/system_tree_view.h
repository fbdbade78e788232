// TdfsSystemTreeView: the shell namespace as a tree whose nodes are listed
// when they first expand; renames in place, shows the context menu on a right
// click, and watches the selected folder on a worker thread, rebuilding that
// part of the tree when the folder changes or vanishes.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/shell/file_change_thread.h"
#include "components/shell/shell_items.h"
#include "platform/ui/popup_menu.h"

namespace kv {

enum TRootFolder : uint8_t {
  rfDesktop, rfRecycleBin, rfControlPanel, rfDesktopDir, rfDrives, rfFavoriteURLs, rfFonts, rfNetHood,
  rfNetHoodDir, rfDocumentDir, rfPrinters, rfPrograms, rfRecentDir, rfSendTo, rfStartMenu, rfStartup,
  rfTemplates, rfFileSystem, rfCustom
};
enum TPopupMenuMethod : uint8_t { pmmNone, pmmContext, pmmUser, pmmContextUser };
using TTVNodeEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

// Attributes asked of every item the tree adds.
constexpr uint32_t kTreeAttributeMask = 0xF20B0177;
// How far the autoscroll's bottom and right zones move in while the other scroll bar shows.
constexpr int32_t kAutoscrollBarInset = 16;

class TdfsSystemTreeView : public TdfsCustomSystemTreeView {
 public:
  explicit TdfsSystemTreeView(TComponent* AOwner);
  ~TdfsSystemTreeView() override;

  TRootFolder RootFolder() const { return FRootFolder; }
  void SetRootFolder(TRootFolder Value);
  const std::string& CustomDir() const { return FCustomDir; }
  void SetCustomDir(const std::string& Value);
  const std::string& CustomDirCaption() const { return FCustomDirCaption; }
  void SetCustomDirCaption(const std::string& Value);
  // The file-system path of the selected node ("" for virtual items, without
  // a window or without a selection).
  std::string Selection() const;
  void SetSelection(const std::string& Value);
  std::string Directory() const { return Selection(); }
  void SetDirectory(const std::string& Value) { SetSelection(Value); }
  bool ShowFiles() const { return FShowFiles; }
  void SetShowFiles(bool Value);
  bool ShowHiddenDirs() const { return FShowHiddenDirs; }
  void SetShowHiddenDirs(bool Value);
  bool ExpandRoot() const { return FExpandRoot; }
  void SetExpandRoot(bool Value) { FExpandRoot = Value; }
  const std::string& FileMask() const { return FFileMask; }
  void SetFileMask(const std::string& Value);
  void SetCheckboxes(bool Value);
  bool Autoscroll() const { return FAutoscroll; }
  void SetAutoscroll(bool Value) { FAutoscroll = Value; }
  TPopupMenuMethod PopupMenuMethod() const { return FPopupMenuMethod; }
  void SetPopupMenuMethod(TPopupMenuMethod Value) { FPopupMenuMethod = Value; }
  // The control's own menu for pmmUser and pmmContextUser.
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  std::string Version() const { return "TdfsSystemTreeView v0.97 Beta"; }
  void SetVersion(const std::string&) {}
  TTVNodeEvent OnPopulated;

  // The node's record (nullptr for none).
  static TFolderItemData* NodeData(const TTreeNode* Node);
  // Selects the node of an absolute list, making the nodes on the way.
  bool SelectPIDL(PCItemIDList Absolute);
  // The node of an absolute list (made on the way), or nullptr.
  TTreeNode* FindPIDL(PCItemIDList Absolute);
  // The path of a node ("" for a virtual one).
  std::string NodePath(const TTreeNode* Node) const;
  // Lists the node's children again, keeping it expanded when it was.
  void RefreshNode(TTreeNode* Node);
  void Rebuild();

  // The folder being watched now ("" when none), for callers and tests.
  std::string WatchedPath() const;
  TTreeNode* WatchedNode() const { return FWatchNode; }

  PCItemIDList GetSelectedPIDL() const override;
  std::shared_ptr<TShellFolder> GetDesktopFolder() const override { return FDesktop; }
  bool LinkedControlChanged(TdfsShellLinked* Sender) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

 protected:
  bool CanExpand(TTreeNode* Node) override;
  void Change(TTreeNode* Node) override;
  void Delete(TTreeNode* Node) override;
  bool CanEdit(TTreeNode* Node) override;
  void Edit(TTreeNode* Node, std::string& S) override;
  void ReadDelayElapsed() override;
  // The window exists only once the base has made it: the rebuild follows.
  void CreateHandle() override;
  void DestroyWnd() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  TTreeNode* AddNode(TTreeNode* Parent, const std::shared_ptr<TShellFolder>& Folder, PCItemIDList Relative);
  bool Populate(TTreeNode* Node);
  std::shared_ptr<TShellFolder> NodeFolder(TTreeNode* Node) const;
  void SortNode(TTreeNode* Node);
  void WatchNode(TTreeNode* Node);
  void StopWatching();
  void ChangeEnded();
  bool FolderHasFiles(const std::shared_ptr<TShellFolder>& Folder) const;

  std::shared_ptr<TShellFolder> FDesktop;
  TRootFolder FRootFolder = rfDesktop;
  std::string FCustomDir;
  std::string FCustomDirCaption;
  bool FShowFiles = false;
  bool FShowHiddenDirs = true;
  bool FExpandRoot = true;
  std::string FFileMask;
  TMaskList FMasks;
  bool FAutoscroll = false;
  TPopupMenuMethod FPopupMenuMethod = pmmContext;
  TPopupMenu* FPopupMenu = nullptr;
  std::string FKeptSelection;  // applied after the next rebuild
  bool FDestroying = false;
  std::shared_ptr<TFileChangeThread> FWatcher;
  TTreeNode* FWatchNode = nullptr;
};

}  // namespace kv
