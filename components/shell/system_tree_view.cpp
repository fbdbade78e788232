#include "components/shell/system_tree_view.h"

#include <sys/stat.h>

#include <algorithm>

#include "components/shell/shell_context_menu.h"
#include "platform/rtl/strings.h"
#include "platform/system/debug_output.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/system_image_list.h"

namespace kv {

namespace {

// The hourglass while the tree lists or refreshes.
class TBusyCursor {
 public:
  TBusyCursor() : FSaved(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~TBusyCursor() {
    if (Screen) Screen->SetCursor(FSaved);
  }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  TCursor FSaved;
};

bool IsFolderPath(const std::string& P) {
  struct stat st {};
  return !P.empty() && ::stat(P.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFilePath(const std::string& P) {
  struct stat st {};
  return !P.empty() && ::stat(P.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Whether Prefix's items begin List.
bool StartsWithList(PCItemIDList List, PCItemIDList Prefix) {
  const int32_t np = IdListSize(Prefix) - 2;
  if (np <= 0) return List != nullptr;
  return IdListSize(List) - 2 >= np && std::equal(Prefix, Prefix + np, List);
}

}  // namespace

TdfsSystemTreeView::TdfsSystemTreeView(TComponent* AOwner)
    : TdfsCustomSystemTreeView(AOwner), FDesktop(TShellFolder::Desktop()) {
  // No mask set: every file.
}

TdfsSystemTreeView::~TdfsSystemTreeView() {
  OutputDebugString("destroy start");
  FDestroying = true;
  FKeptSelection.clear();
  StopWatching();
  Clear();
  OutputDebugString("destroy end");
}

TFolderItemData* TdfsSystemTreeView::NodeData(const TTreeNode* Node) {
  return Node ? static_cast<TFolderItemData*>(Node->Data) : nullptr;
}

void TdfsSystemTreeView::SetRootFolder(TRootFolder Value) {
  if (Value == FRootFolder) return;
  FRootFolder = Value;
  Rebuild();
}

void TdfsSystemTreeView::SetCustomDir(const std::string& Value) {
  if (Value == FCustomDir) return;
  FCustomDir = Value;
  if (FRootFolder == rfCustom) Rebuild();
}

void TdfsSystemTreeView::SetCustomDirCaption(const std::string& Value) {
  FCustomDirCaption = Value;
  if (FRootFolder == rfCustom && RootCount() > 0) {
    TTreeNode* root = Root(0);
    TFolderItemData* d = NodeData(root);
    root->SetText(!Value.empty() || !d ? Value : d->ParentFolder->GetDisplayNameOf(d->RelativeIDL, SFN_NORMAL));
  }
}

void TdfsSystemTreeView::SetShowFiles(bool Value) {
  if (Value == FShowFiles) return;
  FShowFiles = Value;
  Rebuild();
}

void TdfsSystemTreeView::SetShowHiddenDirs(bool Value) {
  if (Value == FShowHiddenDirs) return;
  FShowHiddenDirs = Value;
  Rebuild();
}

void TdfsSystemTreeView::SetFileMask(const std::string& Value) {
  FFileMask = Value;
  BuildMaskList(Value, FMasks);
  Rebuild();
}

void TdfsSystemTreeView::SetCheckboxes(bool Value) { TCustomTreeView::SetCheckboxes(Value); }

void TdfsSystemTreeView::SetPopupMenu(TPopupMenu* Value) {
  FPopupMenu = Value;
  if (Value) Value->FreeNotification(this);
}

void TdfsSystemTreeView::Notification(TComponent* AComponent, TOperation Operation) {
  TdfsCustomSystemTreeView::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TdfsSystemTreeView::Loaded() {
  TdfsCustomSystemTreeView::Loaded();
  Rebuild();
}

void TdfsSystemTreeView::CreateHandle() {
  const bool had = HandleAllocated();
  TdfsCustomSystemTreeView::CreateHandle();
  if (had || !HandleAllocated()) return;
  FNotifyAtOnce = true;
  Rebuild();
}

void TdfsSystemTreeView::DestroyWnd() {
  OutputDebugString("destroyingwnd start");
  if (!FDestroying) {
    const std::string sel = Selection();
    if (!sel.empty()) FKeptSelection = sel;
  }
  TdfsCustomSystemTreeView::DestroyWnd();
  OutputDebugString("destroyingwnd end");
}

// ---- nodes ----

std::shared_ptr<TShellFolder> TdfsSystemTreeView::NodeFolder(TTreeNode* Node) const {
  TFolderItemData* d = NodeData(Node);
  if (!d) return nullptr;
  if (IdListSize(d->AbsoluteIDL) <= 2) return FDesktop;
  return d->ParentFolder->BindToObject(d->RelativeIDL);
}

std::string TdfsSystemTreeView::NodePath(const TTreeNode* Node) const {
  TFolderItemData* d = NodeData(Node);
  return d ? ShellPathFromIDList(d->AbsoluteIDL) : std::string();
}

bool TdfsSystemTreeView::FolderHasFiles(const std::shared_ptr<TShellFolder>& Folder) const {
  if (!Folder) return false;
  std::vector<PItemIDList> kids;
  Folder->EnumObjects(SFE_NONFOLDERS | (FShowHiddenDirs ? SFE_INCLUDEHIDDEN : 0), kids);
  const bool any = !kids.empty();
  for (PItemIDList k : kids) ShellFree(k);
  return any;
}

TTreeNode* TdfsSystemTreeView::AddNode(TTreeNode* Parent, const std::shared_ptr<TShellFolder>& Folder,
                                       PCItemIDList Relative) {
  const bool desktopRoot = IdListSize(Relative) <= 2;
  const uint32_t attrs = desktopRoot ? SFA_FOLDER | SFA_HASSUBFOLDER | SFA_FILESYSANCESTOR
                                     : Folder->GetAttributesOf(Relative, kTreeAttributeMask);
  if (!desktopRoot && attrs == 0) return nullptr;  // gone since it was listed
  if (FRootFolder == rfFileSystem && !(attrs & (SFA_FILESYSTEM | SFA_FILESYSANCESTOR))) return nullptr;
  if (!FFileMask.empty() && !(attrs & SFA_FOLDER) &&
      !MatchesMaskList(Folder->GetDisplayNameOf(Relative, SFN_INFOLDER), &FMasks))
    return nullptr;
  TFolderItemData* parentData = NodeData(Parent);
  PItemIDList abs = parentData ? IdListJoin(parentData->AbsoluteIDL, Relative) : IdListCopy(Relative);
  auto* rec = new TFolderItemData(Folder, IdListCopy(Relative), attrs, abs);
  std::string caption = Folder->GetDisplayNameOf(desktopRoot ? nullptr : Relative, SFN_NORMAL);
  if (!Parent && FRootFolder == rfCustom && !FCustomDirCaption.empty()) caption = FCustomDirCaption;
  TTreeNode* node = AddChild(Parent, caption);
  node->Data = rec;
  // A file shows its open icon both ways: one look-up serves.
  int32_t open = ItemIconIndex(abs, true);
  const int32_t normal = (attrs & SFA_FOLDER) ? ItemIconIndex(abs, false) : open;
  if (open == 0 && normal != 0) open = normal;
  node->ImageIndex = normal;
  node->SelectedIndex = open;
  if (attrs & SFA_SHARE) node->OverlayIndex = SystemOverlayIndex(0);
  if (attrs & SFA_LINK) node->OverlayIndex = SystemOverlayIndex(1);
  bool button = attrs & SFA_HASSUBFOLDER;
  const bool loop = (attrs & SFA_LINK) && ShellIsLoopLink(ShellPathFromIDList(abs));
  if (!button && FShowFiles && (attrs & SFA_FOLDER) && !loop) button = FolderHasFiles(Folder->BindToObject(Relative));
  node->SetHasChildren(button);
  return node;
}

void TdfsSystemTreeView::Delete(TTreeNode* Node) {
  if (Node == FWatchNode) StopWatching();
  delete NodeData(Node);
  Node->Data = nullptr;
  TdfsCustomSystemTreeView::Delete(Node);
}

void TdfsSystemTreeView::SortNode(TTreeNode* Node) {
  std::shared_ptr<TShellFolder> folder = NodeFolder(Node);
  if (!folder) return;
  SortChildren(Node, [&folder](TTreeNode* A, TTreeNode* B) -> int32_t {
    TFolderItemData* a = NodeData(A);
    TFolderItemData* b = NodeData(B);
    if (!a || !b) return 0;
    return static_cast<int8_t>(folder->CompareIDs(a->RelativeIDL, b->RelativeIDL) & 0xFF);
  });
}

bool TdfsSystemTreeView::Populate(TTreeNode* Node) {
  TFolderItemData* d = NodeData(Node);
  if (!d) {
    Application->MessageBox("Could not get folder data.", Application->Title(), MB_OK | MB_ICONSTOP);
    return false;
  }
  if (d->Listed) {
    SortNode(Node);
    return true;
  }
  std::shared_ptr<TShellFolder> folder = NodeFolder(Node);
  if (!folder) return true;  // a file: nothing below it
  // A link back to a folder above shows nothing below it: no endless unfolding.
  if ((d->Attributes & SFA_LINK) && ShellIsLoopLink(NodePath(Node))) {
    d->Listed = true;
    Node->SetHasChildren(false);
    return true;
  }
  TBusyCursor busy;
  BeginUpdate();
  std::vector<PItemIDList> kids;
  uint32_t flags = SFE_FOLDERS;
  if (FShowHiddenDirs) flags |= SFE_INCLUDEHIDDEN;
  if (FShowFiles) flags |= SFE_NONFOLDERS;
  folder->EnumObjects(flags, kids);
  int32_t added = 0;
  for (PItemIDList k : kids) {
    if (AddNode(Node, folder, k)) ++added;
    ShellFree(k);
  }
  d->Listed = true;
  SortNode(Node);
  EndUpdate();
  if (added > 0) {
    if (OnPopulated) OnPopulated(this, Node);
  } else {
    Node->SetHasChildren(false);
  }
  return true;
}

bool TdfsSystemTreeView::CanExpand(TTreeNode* Node) {
  if (!Populate(Node)) return false;
  return TdfsCustomSystemTreeView::CanExpand(Node);
}

void TdfsSystemTreeView::RefreshNode(TTreeNode* Node) {
  if (!Node) return;
  TFolderItemData* d = NodeData(Node);
  const bool wasExpanded = Node->Expanded();
  TIdListHolder selected(IdListCopy(GetSelectedPIDL()));
  BeginUpdate();
  Node->DeleteChildren();
  if (d) d->Listed = false;
  Node->SetHasChildren(true);
  if (wasExpanded) Node->Expand(false);
  EndUpdate();
  // A selection below the node that still exists is found again.
  if (!Selected() && selected.Get())
    if (TTreeNode* again = FindPIDL(selected.Get())) {
      SetSelected(again);
      return;
    }
  NotifyLinks();
}

void TdfsSystemTreeView::Rebuild() {
  if (!HandleAllocated() || ComponentState().Contains(csLoading) || FDestroying) return;
  TIdListHolder remembered(IdListCopy(GetSelectedPIDL()));
  FNotifyAtOnce = false;
  const uint16_t delay = ReadDelay();
  SetReadDelay(0);  // no timer runs while the tree is rebuilt
  StopWatching();
  BeginUpdate();
  SetSelected(nullptr);
  Clear();
  PItemIDList rootList = nullptr;
  if (FRootFolder == rfCustom) rootList = FDesktop->ParseDisplayName(FCustomDir);
  else if (FRootFolder == rfFileSystem) rootList = ShellSpecialFolder(spDrives);
  else rootList = ShellSpecialFolder(static_cast<TShellPlace>(FRootFolder));
  TIdListHolder root(rootList);
  TTreeNode* rootNode = root.Get() ? AddNode(nullptr, FDesktop, root.Get()) : nullptr;
  if (rootNode && FExpandRoot) rootNode->Expand(false);
  EndUpdate();
  SetReadDelay(delay);
  if (rootNode) {
    if (!FKeptSelection.empty()) {
      const std::string kept = FKeptSelection;
      FKeptSelection.clear();
      SetSelection(kept);
    } else if (remembered.Get()) {
      if (TTreeNode* n = FindPIDL(remembered.Get())) SetSelected(n);
    }
  }
  // The first change after a rebuild reaches the links at once.
  FNotifyAtOnce = true;
  NotifyLinks();
}

TTreeNode* TdfsSystemTreeView::FindPIDL(PCItemIDList Absolute) {
  if (RootCount() == 0 || !Absolute) return nullptr;
  TTreeNode* node = Root(0);
  TFolderItemData* rd = NodeData(node);
  if (!rd || !StartsWithList(Absolute, rd->AbsoluteIDL)) return nullptr;
  PCItemIDList rest = Absolute + (IdListSize(rd->AbsoluteIDL) - 2);
  while (rest && IdListSize(rest) > 2) {
    if (!Populate(node)) return nullptr;
    TIdListHolder first(IdListFirst(rest));
    TTreeNode* found = nullptr;
    for (int32_t i = 0; i < node->Count(); ++i)
      if (TFolderItemData* cd = NodeData(node->Item(i)); cd && IdListEqual(cd->RelativeIDL, first.Get())) {
        found = node->Item(i);
        break;
      }
    if (!found) return nullptr;
    node->Expand(false);
    node = found;
    rest = IdListNext(rest);
  }
  return node;
}

bool TdfsSystemTreeView::SelectPIDL(PCItemIDList Absolute) {
  TTreeNode* n = FindPIDL(Absolute);
  if (!n) {
    // The same place reached another way (a home folder under a Computer root).
    const std::string path = ShellPathFromIDList(Absolute);
    if (path.empty()) return false;
    SetSelection(path);
    return NodePath(Selected()) == path;
  }
  SetSelected(n);
  n->MakeVisible();
  return true;
}

std::string TdfsSystemTreeView::Selection() const {
  if (!FKeptSelection.empty() && !const_cast<TdfsSystemTreeView*>(this)->HandleAllocated()) return FKeptSelection;
  if (!const_cast<TdfsSystemTreeView*>(this)->HandleAllocated()) return {};
  return NodePath(Selected());
}

void TdfsSystemTreeView::SetSelection(const std::string& Value) {
  if (ComponentState().Contains(csLoading) || !HandleAllocated()) {
    FKeptSelection = Value;
    return;
  }
  if (RootCount() == 0 || Value.empty()) return;
  TTreeNode* root = Root(0);
  root->Expand(false);
  TFolderItemData* rd = NodeData(root);
  if (!rd) return;
  std::string path = Value;
  TIdListHolder abs;
  if (FRootFolder == rfDesktop) {
    abs.Reset(FDesktop->ParseDisplayName(path));
  } else if (FRootFolder == rfDrives || FRootFolder == rfFileSystem) {
    abs.Reset(ShellParsePathUnderComputer(path));
  } else {
    // A path that starts with the root's caption or the root's own folder is cut to the rest.
    const std::string caption = root->Text() + "/";
    const std::string rootPath = NodePath(root);
    std::string rest;
    if (path.size() > caption.size() && AnsiLowerCase(path.substr(0, caption.size())) == AnsiLowerCase(caption))
      rest = path.substr(caption.size());
    else if (!rootPath.empty() && path.rfind(rootPath + "/", 0) == 0)
      rest = path.substr(rootPath.size() + 1);
    else if (!rootPath.empty() && path == rootPath)
      rest.clear();
    else
      rest = path;
    if (rest.empty()) {
      abs.Reset(IdListCopy(rd->AbsoluteIDL));
    } else if (std::shared_ptr<TShellFolder> f = NodeFolder(root)) {
      TIdListHolder rel(f->ParseDisplayName(rest));
      if (rel.Get()) abs.Reset(IdListJoin(rd->AbsoluteIDL, rel.Get()));
    }
  }
  if (!abs.Get()) return;
  if (TTreeNode* n = FindPIDL(abs.Get())) {
    SetSelected(n);
    n->MakeVisible();
  }
}

PCItemIDList TdfsSystemTreeView::GetSelectedPIDL() const {
  TFolderItemData* d = NodeData(Selected());
  return d ? d->AbsoluteIDL : nullptr;
}

bool TdfsSystemTreeView::LinkedControlChanged(TdfsShellLinked* Sender) {
  if (!Sender) return false;
  PCItemIDList sel = Sender->GetSelectedPIDL();
  if (!sel) return false;
  if (IdListEqual(sel, GetSelectedPIDL())) return true;
  return SelectPIDL(sel);
}

// ---- selection, watching ----

void TdfsSystemTreeView::Change(TTreeNode* Node) {
  if (FDestroying) return;
  {
    TBusyCursor busy;
    TdfsCustomSystemTreeView::Change(Node);
  }
  if (ReadDelay() == 0 && NodeData(Node)) WatchNode(Node);
}

void TdfsSystemTreeView::ReadDelayElapsed() {
  if (NodeData(Selected())) WatchNode(Selected());
}

void TdfsSystemTreeView::StopWatching() {
  if (FWatcher) FWatcher->Terminate();
  FWatcher.reset();
  FWatchNode = nullptr;
}

std::string TdfsSystemTreeView::WatchedPath() const { return FWatcher ? FWatcher->Path() : std::string(); }

void TdfsSystemTreeView::WatchNode(TTreeNode* Node) {
  StopWatching();
  if (!Node || FDestroying) return;
  std::string path = NodePath(Node);
  if (FShowFiles && IsFilePath(path)) path = path.substr(0, path.find_last_of('/') == 0 ? 1 : path.find_last_of('/'));
  if (path.empty()) return;  // a virtual folder
  FWatchNode = Node;
  TFileChangeFilter filter;
  if (FShowFiles || ListView()) {
    filter = TFileChangeFilter{fnFileName, fnDirName, fnAttributes, fnSize, fnLastWrite};
  } else {
    filter.Include(fnDirName);
  }
  FWatcher = TFileChangeThread::Start(path, filter, false, [this] { ChangeEnded(); });
}

void TdfsSystemTreeView::ChangeEnded() {
  TTreeNode* node = FWatchNode;
  FWatcher.reset();
  FWatchNode = nullptr;
  if (!node || FDestroying) return;
  BeginUpdate();
  const std::string path = NodePath(node);
  if (IsFolderPath(path)) {
    // Watched again before the refresh reads the folder: a change made meanwhile is not lost.
    WatchNode(node);
    const bool wasExpanded = node->Expanded();
    RefreshNode(node);
    if (wasExpanded) {
      node->Expand(false);
      node->MakeVisible();
    }
    EndUpdate();
    return;
  }
  if (IsFilePath(path) && node->Parent()) {
    EndUpdate();
    WatchNode(node->Parent());
    return;
  }
  // The folder vanished: the nearest ancestor that still exists (or is a
  // virtual place) takes the selection; a whole chain may have gone at once.
  TTreeNode* parent = node->Parent();
  while (parent && parent->Parent() && !NodePath(parent).empty() && !IsFolderPath(NodePath(parent)))
    parent = parent->Parent();
  if (!parent) {
    EndUpdate();
    return;
  }
  const bool wasExpanded = parent->Expanded();
  RefreshNode(parent);
  if (wasExpanded) {
    parent->Expand(false);
    parent->MakeVisible();
  }
  EndUpdate();
  SetSelected(parent);
  // A selection that did not move (it was the parent already) is watched here.
  if (!FWatcher && Selected() == parent && ReadDelay() != 0) WatchNode(parent);
}

// ---- editing ----

bool TdfsSystemTreeView::CanEdit(TTreeNode* Node) {
  TFolderItemData* d = NodeData(Node);
  if (!d || !(d->Attributes & SFA_CANRENAME)) return false;
  return TdfsCustomSystemTreeView::CanEdit(Node);
}

void TdfsSystemTreeView::Edit(TTreeNode* Node, std::string& S) {
  TFolderItemData* d = NodeData(Node);
  if (!d) {
    S = Node->Text();
    return;
  }
  std::string error;
  PItemIDList rel = S == Node->Text() ? nullptr : d->ParentFolder->SetNameOf(d->RelativeIDL, S, error);
  if (!rel) {
    S = Node->Text();  // refused: the label stays
    return;
  }
  TIdListHolder parentAbs(IdListParent(d->AbsoluteIDL));
  IdListFree(d->RelativeIDL);
  d->RelativeIDL = rel;
  PItemIDList abs = IdListJoin(parentAbs.Get(), rel);
  IdListFree(d->AbsoluteIDL);
  d->AbsoluteIDL = abs;
  S = d->ParentFolder->GetDisplayNameOf(rel, SFN_NORMAL);
  // Children listed under the old name hold lists that lead nowhere now.
  if (Node->Count() > 0 || d->Listed) RefreshNode(Node);
  TdfsCustomSystemTreeView::Edit(Node, S);
  if (Node == Selected()) NotifyLinks();
}

// ---- mouse ----

void TdfsSystemTreeView::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TdfsCustomSystemTreeView::MouseUp(Button, Shift, X, Y);
  if (Button != mbRight) return;
  const TPoint screen = ClientToScreen(TPoint{X, Y});
  bool ran = false;
  if (FPopupMenuMethod == pmmContext || FPopupMenuMethod == pmmContextUser) {
    TTreeNode* n = GetNodeAt(X, Y);
    if (n) {
      SetSelected(n);
      if (TFolderItemData* d = NodeData(n)) {
        std::vector<PCItemIDList> items{d->RelativeIDL};
        TShellMenuHooks hooks;
        hooks.Rename = [n](PCItemIDList) { n->EditText(); };
        ran = ShellContextMenu(d->ParentFolder, items, d->Attributes, screen, GetValidHandle(), caShowMenu, {},
                               &hooks);
      }
    }
  }
  if (!ran && (FPopupMenuMethod == pmmUser || FPopupMenuMethod == pmmContextUser) && FPopupMenu) {
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(screen.X, screen.Y);
  }
}

void TdfsSystemTreeView::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TdfsCustomSystemTreeView::MouseMove(Shift, X, Y);
  if (!FAutoscroll) return;
  // Within a font height of an edge; the bottom and right zones keep clear
  // of the other bar's corner while it shows.
  const int32_t h = FontHeight();
  const int32_t bottom = ClientHeight() - (ScrollBarVisible(this, SB_HORZ) ? kAutoscrollBarInset : 0);
  const int32_t right = ClientWidth() - (ScrollBarVisible(this, SB_VERT) ? kAutoscrollBarInset : 0);
  if (Y < h) Perform(WM_VSCROLL, SB_LINEUP, 0);
  else if (Y > bottom - h) Perform(WM_VSCROLL, SB_LINEDOWN, 0);
  if (X < h) Perform(WM_HSCROLL, SB_LINELEFT, 0);
  else if (X > right - h) Perform(WM_HSCROLL, SB_LINERIGHT, 0);
}

}  // namespace kv
