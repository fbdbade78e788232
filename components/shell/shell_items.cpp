#include "components/shell/shell_items.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_image_list.h"

namespace kv {

namespace {

uint16_t CountAt(PCItemIDList P) {
  uint16_t cb;
  std::memcpy(&cb, P, 2);  // items sit at odd offsets
  return cb;
}

std::atomic<int64_t> gRecords{0};

}  // namespace

// ---- item id lists ----

int32_t IdListSize(PCItemIDList List) {
  if (!List) return 0;
  int32_t n = 0;
  for (uint16_t cb; (cb = CountAt(List + n)) != 0;) n += cb;
  return n + 2;
}

PItemIDList IdListAlloc(int32_t Bytes) { return ShellAlloc(size_t(std::max(Bytes, 0))); }

void IdListFree(PItemIDList& List) {
  ShellFree(List);
  List = nullptr;
}

PItemIDList IdListJoin(PCItemIDList Absolute, PCItemIDList Relative) {
  if (!Absolute) return IdListCopy(Relative);
  const int32_t a = IdListSize(Absolute) - 2;
  const int32_t r = Relative ? IdListSize(Relative) : 2;
  PItemIDList p = IdListAlloc(a + r);
  std::memcpy(p, Absolute, size_t(a));
  if (Relative) std::memcpy(p + a, Relative, size_t(r));
  return p;
}

PItemIDList IdListCopy(PCItemIDList List) {
  const int32_t n = IdListSize(List);
  if (n == 0) return nullptr;
  PItemIDList p = IdListAlloc(n);
  std::memcpy(p, List, size_t(n));
  return p;
}

bool IdListEqual(PCItemIDList A, PCItemIDList B) {
  if (!A && !B) return true;
  if (!A || !B) return false;
  const int32_t n = IdListSize(A);
  return n == IdListSize(B) && std::memcmp(A, B, size_t(n)) == 0;
}

PCItemIDList IdListNext(PCItemIDList List) {
  if (!List) return nullptr;
  const uint16_t cb = CountAt(List);
  return cb == 0 ? nullptr : List + cb;
}

PItemIDList IdListFirst(PCItemIDList List) {
  if (!List || CountAt(List) == 0) return nullptr;
  const uint16_t cb = CountAt(List);
  PItemIDList p = IdListAlloc(cb + 2);
  std::memcpy(p, List, cb);
  return p;
}

PItemIDList IdListLast(PCItemIDList List) {
  if (!List || CountAt(List) == 0) return nullptr;
  PCItemIDList last = List;
  for (PCItemIDList p = List; CountAt(p) != 0; p += CountAt(p)) last = p;
  return IdListFirst(last);
}

PItemIDList IdListParent(PCItemIDList List) {
  if (!List || CountAt(List) == 0) return nullptr;
  PCItemIDList last = List;
  for (PCItemIDList p = List; CountAt(p) != 0; p += CountAt(p)) last = p;
  const int32_t n = int32_t(last - List);
  if (n == 0) return nullptr;
  PItemIDList p = IdListAlloc(n + 2);
  std::memcpy(p, List, size_t(n));
  return p;
}

std::string ItemDisplayName(const TShellFolder* Folder, PCItemIDList Relative, uint32_t Kind) {
  return Folder ? Folder->GetDisplayNameOf(Relative, Kind) : std::string();
}

int32_t ItemIconIndex(PCItemIDList Absolute, bool Open) {
  return SystemIconIndex(ShellIconNames(Absolute, Open));
}

// ---- folder item record ----

TFolderItemData::TFolderItemData(std::shared_ptr<TShellFolder> Parent, PItemIDList Relative, uint32_t Attr,
                                 PItemIDList Absolute)
    : ParentFolder(std::move(Parent)), RelativeIDL(Relative), Attributes(Attr), AbsoluteIDL(Absolute) {
  ++gRecords;
}

TFolderItemData::~TFolderItemData() {
  IdListFree(RelativeIDL);
  IdListFree(AbsoluteIDL);
  --gRecords;
}

int64_t FolderItemDataCount() { return gRecords.load(); }

// ---- file masks ----

void BuildMaskList(const std::string& Masks, TMaskList& List) {
  List.clear();
  if (Masks.empty()) {
    List.push_back("*");
    return;
  }
  std::string s = Masks;
  if (s.back() != ';') s += ';';
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == ';') {
      List.push_back(AnsiLowerCase(s.substr(start, i - start)));
      start = i + 1;
    }
  std::sort(List.begin(), List.end());
  List.erase(std::unique(List.begin(), List.end()), List.end());
}

namespace {

std::u32string Decode(const std::string& S) {
  std::u32string out;
  for (size_t i = 0; i < S.size();) out.push_back(utf8::Next(S, i));
  return out;
}

bool MatchTokens(const std::u32string& Name, const std::u32string& Mask) {
  // Tokens: each "*", each "?", each run of other characters.
  std::vector<std::u32string> tokens;
  for (size_t i = 0; i < Mask.size();) {
    if (Mask[i] == U'*' || Mask[i] == U'?') {
      tokens.emplace_back(1, Mask[i++]);
      continue;
    }
    size_t j = i;
    while (j < Mask.size() && Mask[j] != U'*' && Mask[j] != U'?') ++j;
    tokens.push_back(Mask.substr(i, j - i));
    i = j;
  }
  const size_t len = Name.size();
  size_t pos = 0;  // 0-based: the Part's position minus one
  bool star = false;
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::u32string& tok = tokens[t];
    if (tok == U"?") {
      ++pos;
      if (pos > len) return false;
    } else if (tok == U"*") {
      star = true;
    } else if (star && t + 1 == tokens.size()) {
      // A closing text after a star must end the name.
      const std::u32string rest = Name.substr(std::min(pos, len));
      if (rest.size() < tok.size() || rest.compare(rest.size() - tok.size(), tok.size(), tok) != 0) return false;
      pos = len;
      star = false;
    } else if (star) {
      const size_t at = pos <= len ? Name.find(tok, pos) : std::u32string::npos;
      if (at == std::u32string::npos) return false;
      pos = at + tok.size();
      star = false;
    } else {
      if (pos > len || Name.compare(pos, tok.size(), tok) != 0) return false;
      pos += tok.size();
    }
  }
  return star || pos == len;
}

}  // namespace

bool MatchesMask(const std::string& Name, const std::string& Mask) {
  if (Mask == "*") return true;
  if (Mask == "*.*") return Name.find('.') != std::string::npos;
  if (Mask.find_first_of("*?") == std::string::npos && Mask == Name) return true;
  return MatchTokens(Decode(Name), Decode(Mask));
}

bool MatchesMaskList(const std::string& Name, const TMaskList* List) {
  if (!List || List->empty()) return true;
  std::string n = AnsiLowerCase(Name);
  if (n.find('.') == std::string::npos) n += '.';
  for (const std::string& m : *List)
    if (MatchesMask(n, m)) return true;
  return false;
}

// ---- links ----

namespace {

HWND ValidHandleOf(TWinControl* C) {
  if (C->HandleAllocated()) return C->Handle();
  if (C->Parent() && C->Parent()->HandleAllocated()) return C->Parent()->Handle();
  if (TCustomForm* f = GetParentForm(C); f && f->HandleAllocated()) return f->Handle();
  if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
    return Application->MainForm()->Handle();
  return 0;
}

}  // namespace

void LinkWithSiblings(TComponent* Control) {
  TComponent* owner = Control->Owner();
  if (!owner) return;
  auto* tree = dynamic_cast<TdfsCustomSystemTreeView*>(Control);
  auto* list = dynamic_cast<TdfsCustomSystemListView*>(Control);
  auto* combo = dynamic_cast<TdfsCustomSystemComboBox*>(Control);
  for (int32_t i = 0; i < owner->ComponentCount(); ++i) {
    TComponent* c = owner->Components(i);
    if (c == Control) continue;
    if (auto* t = dynamic_cast<TdfsCustomSystemTreeView*>(c)) {
      if (list && !list->TreeView() && !t->ListView()) list->SetTreeView(t);
      if (combo && !combo->TreeView() && !t->ComboBox()) combo->SetTreeView(t);
    } else if (auto* l = dynamic_cast<TdfsCustomSystemListView*>(c)) {
      if (tree && !tree->ListView() && !l->TreeView()) tree->SetListView(l);
      if (combo && !combo->ListView() && !l->ComboBox()) combo->SetListView(l);
    } else if (auto* b = dynamic_cast<TdfsCustomSystemComboBox*>(c)) {
      if (tree && !tree->ComboBox() && !b->TreeView()) tree->SetComboBox(b);
      if (list && !list->ComboBox() && !b->ListView()) list->SetComboBox(b);
    }
  }
}

// ---- tree ----

TdfsCustomSystemTreeView::TdfsCustomSystemTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetOnTimer([this](TObject*) {
    FTimer->SetEnabled(false);
    NotifyLinks();
    ReadDelayElapsed();
  });
  SetImages(SystemImageList(false));
  LinkWithSiblings(this);
}

TdfsCustomSystemTreeView::~TdfsCustomSystemTreeView() {
  if (FLinks.ListView) FLinks.ListView->FLinks.TreeView = nullptr;
  if (FLinks.ComboBox) FLinks.ComboBox->FLinks.TreeView = nullptr;
}

void TdfsCustomSystemTreeView::SetListView(TdfsCustomSystemListView* Value) {
  if (Value == FLinks.ListView) return;
  if (FLinks.ListView) FLinks.ListView->FLinks.TreeView = nullptr;
  FLinks.ListView = Value;
  if (Value) {
    Value->FLinks.TreeView = this;
    Value->FreeNotification(this);
  }
}

void TdfsCustomSystemTreeView::SetComboBox(TdfsCustomSystemComboBox* Value) {
  if (Value == FLinks.ComboBox) return;
  if (FLinks.ComboBox) FLinks.ComboBox->FLinks.TreeView = nullptr;
  FLinks.ComboBox = Value;
  if (Value) {
    Value->FLinks.TreeView = this;
    Value->FreeNotification(this);
  }
}

HWND TdfsCustomSystemTreeView::GetValidHandle() { return ValidHandleOf(this); }

void TdfsCustomSystemTreeView::RebuildImageLists() {
  SetImages(SystemImageList(false));
  Invalidate();
}

void TdfsCustomSystemTreeView::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_SYSCOLORCHANGE) RebuildImageLists();
  TCustomTreeView::Dispatch(Message);
}

void TdfsCustomSystemTreeView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomTreeView::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FLinks.ListView) FLinks.ListView = nullptr;
  if (AComponent == FLinks.ComboBox) FLinks.ComboBox = nullptr;
}

bool TdfsCustomSystemTreeView::ReadPending() const { return FTimer->Enabled(); }

void TdfsCustomSystemTreeView::Change(TTreeNode* Node) {
  TCustomTreeView::Change(Node);
  if (FReadDelay == 0 || FNotifyAtOnce) {
    FTimer->SetEnabled(false);
    NotifyLinks();
    if (!ComponentState().Contains(csLoading)) FNotifyAtOnce = false;
  } else {
    // A new change restarts the count: quick arrow key moves read only the last folder.
    FTimer->SetEnabled(false);
    FTimer->SetInterval(FReadDelay);
    FTimer->SetEnabled(true);
  }
}

void TdfsCustomSystemTreeView::NotifyLinks() {
  if (FNotifying) return;
  FNotifying = true;
  try {
    if (FLinks.ListView) FLinks.ListView->LinkedControlChanged(this);
    if (FLinks.ComboBox) FLinks.ComboBox->LinkedControlChanged(this);
  } catch (...) {
    FNotifying = false;
    throw;
  }
  FNotifying = false;
}

void TdfsCustomSystemTreeView::DestroyWnd() {
  FTimer->SetEnabled(false);
  TCustomTreeView::DestroyWnd();
}

// ---- list view ----

TdfsCustomSystemListView::TdfsCustomSystemListView(TComponent* AOwner)
    : TCustomListBox(AOwner), FDesktop(TShellFolder::Desktop()) {
  LinkWithSiblings(this);
}

TdfsCustomSystemListView::~TdfsCustomSystemListView() {
  if (FLinks.TreeView) FLinks.TreeView->FLinks.ListView = nullptr;
  if (FLinks.ComboBox) FLinks.ComboBox->FLinks.ListView = nullptr;
}

void TdfsCustomSystemListView::SetTreeView(TdfsCustomSystemTreeView* Value) {
  if (Value) Value->SetListView(this);
  else if (FLinks.TreeView) FLinks.TreeView->SetListView(nullptr);
}

void TdfsCustomSystemListView::SetComboBox(TdfsCustomSystemComboBox* Value) {
  if (Value == FLinks.ComboBox) return;
  if (FLinks.ComboBox) FLinks.ComboBox->FLinks.ListView = nullptr;
  FLinks.ComboBox = Value;
  if (Value) {
    Value->FLinks.ListView = this;
    Value->FreeNotification(this);
  }
}

TCustomImageList* TdfsCustomSystemListView::LargeImages() const { return SystemImageList(true); }
TCustomImageList* TdfsCustomSystemListView::SmallImages() const { return SystemImageList(false); }

void TdfsCustomSystemListView::RebuildImageLists() { Invalidate(); }

void TdfsCustomSystemListView::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_SYSCOLORCHANGE) RebuildImageLists();
  TCustomListBox::Dispatch(Message);
}

HWND TdfsCustomSystemListView::GetValidHandle() { return ValidHandleOf(this); }

void TdfsCustomSystemListView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomListBox::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FLinks.TreeView) FLinks.TreeView = nullptr;
  if (AComponent == FLinks.ComboBox) FLinks.ComboBox = nullptr;
}

bool TdfsCustomSystemListView::ShowFolder(PCItemIDList Absolute) {
  auto folder = TShellFolder::Bind(Absolute);
  if (!folder) return false;
  const bool same = IdListEqual(FFolder.Get(), Absolute) && FFolder.Get();
  FFolder.Reset(IdListCopy(Absolute ? Absolute : nullptr));
  if (!FFolder.Get()) FFolder.Reset(IdListAlloc(2));
  Items().Clear();
  std::vector<PItemIDList> kids;
  folder->EnumObjects(SFE_FOLDERS | SFE_NONFOLDERS, kids);
  std::sort(kids.begin(), kids.end(),
            [&](PItemIDList A, PItemIDList B) { return folder->CompareIDs(A, B) < 0; });
  for (PItemIDList k : kids) {
    Items().Add(folder->GetDisplayNameOf(k, SFN_NORMAL));
    ShellFree(k);
  }
  if (!same) NotifyLinks();
  return true;
}

bool TdfsCustomSystemListView::LinkedControlChanged(TdfsShellLinked* Sender) {
  if (!Sender || FNotifying) return false;
  PCItemIDList sel = Sender->GetSelectedPIDL();
  if (!sel) return false;
  // A file selected in the tree shows its folder.
  auto folder = TShellFolder::Bind(sel);
  if (!folder) {
    TIdListHolder parent(IdListParent(sel));
    return ShowFolder(parent.Get() ? parent.Get() : nullptr);
  }
  FNotifying = true;
  const bool ok = ShowFolder(sel);
  FNotifying = false;
  return ok;
}

void TdfsCustomSystemListView::NotifyLinks() {
  if (FNotifying) return;
  FNotifying = true;
  try {
    if (FLinks.TreeView) FLinks.TreeView->LinkedControlChanged(this);
    if (FLinks.ComboBox) FLinks.ComboBox->LinkedControlChanged(this);
  } catch (...) {
    FNotifying = false;
    throw;
  }
  FNotifying = false;
}

// ---- combo ----

TdfsCustomSystemComboBox::TdfsCustomSystemComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
  LinkWithSiblings(this);
}

TdfsCustomSystemComboBox::~TdfsCustomSystemComboBox() {
  if (FLinks.TreeView) FLinks.TreeView->FLinks.ComboBox = nullptr;
  if (FLinks.ListView) FLinks.ListView->FLinks.ComboBox = nullptr;
}

void TdfsCustomSystemComboBox::SetTreeView(TdfsCustomSystemTreeView* Value) {
  if (Value) Value->SetComboBox(this);
  else if (FLinks.TreeView) FLinks.TreeView->SetComboBox(nullptr);
}

void TdfsCustomSystemComboBox::SetListView(TdfsCustomSystemListView* Value) {
  if (Value) Value->SetComboBox(this);
  else if (FLinks.ListView) FLinks.ListView->SetComboBox(nullptr);
}

TCustomImageList* TdfsCustomSystemComboBox::Images() const { return SystemImageList(false); }

void TdfsCustomSystemComboBox::RebuildImageLists() { Invalidate(); }

void TdfsCustomSystemComboBox::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_SYSCOLORCHANGE) RebuildImageLists();
  TCustomComboBox::Dispatch(Message);
}

HWND TdfsCustomSystemComboBox::GetValidHandle() { return ValidHandleOf(this); }

void TdfsCustomSystemComboBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomComboBox::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FLinks.TreeView) FLinks.TreeView = nullptr;
  if (AComponent == FLinks.ListView) FLinks.ListView = nullptr;
}

void TdfsCustomSystemComboBox::NotifyLinks() {
  if (FNotifying) return;
  FNotifying = true;
  try {
    if (FLinks.ListView) FLinks.ListView->LinkedControlChanged(this);
    if (FLinks.TreeView) FLinks.TreeView->LinkedControlChanged(this);
  } catch (...) {
    FNotifying = false;
    throw;
  }
  FNotifying = false;
}

}  // namespace kv
