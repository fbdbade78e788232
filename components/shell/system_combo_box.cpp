#include "components/shell/system_combo_box.h"

#include <unistd.h>

#include <algorithm>

#include "platform/graphics/draw_text.h"
#include "platform/ui/system_image_list.h"

namespace kv {

namespace {

bool FileExistsAt(const std::string& Path) { return !Path.empty() && ::access(Path.c_str(), F_OK) == 0; }

}  // namespace

TShellItem::~TShellItem() {
  IdListFree(AbsoluteIDL);
  IdListFree(RelativeIDL);
}

TdfsSystemComboBox::TdfsSystemComboBox(TComponent* AOwner) : TdfsCustomSystemComboBox(AOwner) {
  SetStyle(csDropDownList);
  SetOwnerDraw(true);
  // Tall and descending letters of the font, and room for the icons.
  TBitmap measure(1, 1, pf24bit);
  measure.Canvas().Font().Assign(Font());
  SetItemHeight(std::max(measure.Canvas().TextHeight("ÁÉgjpqy") + 2, 18));
  FDesktop = TShellFolder::Desktop();
}

TdfsSystemComboBox::~TdfsSystemComboBox() {
  FDestroyingWnd = false;
  ClearEntries();
}

TShellItem* TdfsSystemComboBox::ShellItem(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return reinterpret_cast<TShellItem*>(ItemData(Index));
}

void TdfsSystemComboBox::InsertEntry(int32_t Index, TShellItem* Item) {
  Index = std::clamp(Index, 0, Count());
  FItems.insert(FItems.begin() + Index, Item->Caption);
  FData.insert(FData.begin() + Index, reinterpret_cast<intptr_t>(Item));
  if (FItemIndex >= Index) ++FItemIndex;
}

void TdfsSystemComboBox::DeleteEntry(int32_t Index) {
  TShellItem* item = ShellItem(Index);
  FItems.erase(FItems.begin() + Index);
  FData.erase(FData.begin() + Index);
  if (FItemIndex == Index) FItemIndex = -1;
  else if (FItemIndex > Index) --FItemIndex;
  if (item && item->Parent) {
    auto& kids = item->Parent->Children;
    kids.erase(std::remove(kids.begin(), kids.end(), item), kids.end());
  }
  if (item == FRoot) FRoot = nullptr;
  // Each entry owns its item, except while the window goes.
  if (!FDestroyingWnd) delete item;
}

void TdfsSystemComboBox::ClearEntries() {
  BeginUpdate();
  while (Count() > 0) DeleteEntry(Count() - 1);
  FItemIndex = -1;
  EndUpdate();
}

TShellItem* TdfsSystemComboBox::MakeItem(TShellItem* Parent, PCItemIDList Relative, bool Temporary) {
  auto* item = new TShellItem;
  item->ShellFolder = Parent ? Parent->Folder : FDesktop;
  item->RelativeIDL = IdListCopy(Relative);
  item->AbsoluteIDL = Parent ? IdListJoin(Parent->AbsoluteIDL, Relative) : IdListCopy(Relative);
  item->Folder = Parent ? item->ShellFolder->BindToObject(Relative) : FDesktop;
  PCItemIDList nameOf = Parent ? Relative : nullptr;
  item->ParseName = item->ShellFolder->GetDisplayNameOf(nameOf, SFN_FORPARSING);
  item->Caption = item->ShellFolder->GetDisplayNameOf(nameOf, SFN_NORMAL);
  item->Icon = ItemIconIndex(item->AbsoluteIDL, false);
  item->OpenIcon = ItemIconIndex(item->AbsoluteIDL, true);
  item->Indent = Parent ? Parent->Indent + 10 : 0;
  item->Parent = Parent;
  item->Temporary = Temporary;
  if (Parent) {
    auto& kids = Parent->Children;
    const auto at = std::upper_bound(kids.begin(), kids.end(), item, [&](TShellItem* A, TShellItem* B) {
      return Parent->Folder && Parent->Folder->CompareIDs(A->RelativeIDL, B->RelativeIDL) < 0;
    });
    kids.insert(at, item);
  }
  return item;
}

int32_t TdfsSystemComboBox::AddChildren(TShellItem* Parent, int32_t At) {
  if (!Parent->Folder) return At;
  std::vector<PItemIDList> kids;
  Parent->Folder->EnumObjects(SFE_FOLDERS | SFE_INCLUDEHIDDEN, kids);
  for (PItemIDList k : kids) {
    MakeItem(Parent, k, false);
    ShellFree(k);
  }
  for (TShellItem* c : Parent->Children) InsertEntry(At++, c);
  return At;
}

int32_t TdfsSystemComboBox::FindEntry(PCItemIDList Absolute) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (TShellItem* s = ShellItem(i); s && IdListEqual(s->AbsoluteIDL, Absolute)) return i;
  return -1;
}

void TdfsSystemComboBox::Rebuild() {
  if (!HandleAllocated() || ComponentState().Contains(csLoading)) return;
  BeginUpdate();
  ClearEntries();
  FDesktop = TShellFolder::Desktop();
  FDesktopList.Reset(ShellSpecialFolder(spDesktop));
  FRoot = MakeItem(nullptr, FDesktopList.Get(), false);
  InsertEntry(0, FRoot);
  AddChildren(FRoot, 1);
  TIdListHolder computer(ShellSpecialFolder(spDrives));
  const int32_t at = FindEntry(computer.Get());
  if (at >= 0) AddChildren(ShellItem(at), at + 1);
  FItemIndex = 0;
  EndUpdate();
  NotifyLinks();
}

void TdfsSystemComboBox::ShowFolder(PCItemIDList Absolute) {
  BeginUpdate();
  for (int32_t i = Count() - 1; i >= 0; --i)
    if (TShellItem* s = ShellItem(i); s && s->Temporary) DeleteEntry(i);
  // A file shows the folder it lies in.
  TIdListHolder target(IdListCopy(Absolute));
  if (target.Get() && IdListSize(target.Get()) > 2 && !TShellFolder::Bind(target.Get()) &&
      FileExistsAt(ShellPathFromIDList(target.Get())))
    target.Reset(IdListParent(target.Get()));
  const bool desktop = !target.Get() || IdListSize(target.Get()) <= 2;
  std::vector<PItemIDList> dropped;  // nearest to the found entry last
  TIdListHolder walk(IdListCopy(target.Get()));
  int32_t found = desktop ? 0 : -1;
  // The walk up stops at the desktop: a list that reaches it unmatched is out of reach.
  while (!desktop && walk.Get() && IdListSize(walk.Get()) > 2) {
    found = FindEntry(walk.Get());
    if (found >= 0) break;
    dropped.push_back(IdListLast(walk.Get()));
    walk.Reset(IdListParent(walk.Get()));
  }
  if (found < 0) {
    for (PItemIDList d : dropped) ShellFree(d);
    FItemIndex = -1;
    EndUpdate();
    return;
  }
  int32_t at = found;
  for (auto it = dropped.rbegin(); it != dropped.rend(); ++it) {
    TShellItem* parent = ShellItem(at);
    TShellItem* item = MakeItem(parent, *it, true);
    InsertEntry(at + 1, item);
    ++at;
    ShellFree(*it);
  }
  FItemIndex = at;
  FLastShown.Reset(IdListCopy(target.Get()));
  EndUpdate();
  NotifyLinks();
}

std::string TdfsSystemComboBox::SelectedPath() const {
  PCItemIDList sel = GetSelectedPIDL();
  return sel ? ShellPathFromIDList(sel) : std::string();
}

PCItemIDList TdfsSystemComboBox::GetSelectedPIDL() const {
  TShellItem* s = ShellItem(ItemIndex());
  return s ? s->AbsoluteIDL : nullptr;
}

bool TdfsSystemComboBox::LinkedControlChanged(TdfsShellLinked* Sender) {
  if (!Sender) return false;
  PCItemIDList sel = Sender->GetSelectedPIDL();
  if (!sel) return false;
  if (!IdListEqual(sel, GetSelectedPIDL())) ShowFolder(sel);
  return ItemIndex() >= 0;
}

void TdfsSystemComboBox::Loaded() {
  TdfsCustomSystemComboBox::Loaded();
  Rebuild();
}

void TdfsSystemComboBox::CreateHandle() {
  const bool had = HandleAllocated();
  TdfsCustomSystemComboBox::CreateHandle();
  if (!had && HandleAllocated()) Rebuild();
}

void TdfsSystemComboBox::DestroyWnd() {
  TdfsCustomSystemComboBox::DestroyWnd();
}

void TdfsSystemComboBox::Click() {
  NotifyLinks();
  TdfsCustomSystemComboBox::Click();
}

void TdfsSystemComboBox::DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  TCustomImageList* images = Images();
  Canvas.Font().Assign(Font());
  TShellItem* item = ShellItem(Index);
  if (!item) {
    Canvas.Brush().SetColor(Color());
    Canvas.FillRect(Rect);
    return;
  }
  const bool selected = State.Contains(odSelected);
  const uint32_t fmt = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER;
  const int32_t iw = images ? images->Width() : 16;
  const int32_t ih = images ? images->Height() : 16;
  if (State.Contains(odComboBoxEdit)) {
    // The closed box: the open icon at the left, the caption after it.
    Canvas.Brush().SetColor(selected ? clHighlight : Color());
    Canvas.FillRect(Rect);
    if (images) images->Draw(Canvas, Rect.Left, Rect.Top + (Rect.Height() - ih) / 2, item->OpenIcon);
    Canvas.Font().SetColor(selected ? clHighlightText : Font().Color());
    Canvas.Brush().SetStyle(bsClear);
    TRect tr = kv::Rect(Rect.Left + iw + 6, Rect.Top, Rect.Right, Rect.Bottom);
    DrawText(Canvas, item->Caption, tr, fmt);
    Canvas.Brush().SetStyle(bsSolid);
    return;
  }
  Canvas.Brush().SetColor(Color());
  Canvas.FillRect(Rect);
  const int32_t tw = Canvas.TextWidth(item->Caption);
  const int32_t left = Rect.Left + iw + item->Indent + 5;
  TRect textArea = kv::Rect(left, Rect.Top, left + tw + 2, Rect.Bottom);
  Canvas.Brush().SetColor(selected ? clHighlight : Color());
  Canvas.FillRect(textArea);
  if (images)
    images->Draw(Canvas, Rect.Left + item->Indent, Rect.Top + (Rect.Height() - ih) / 2,
                 Index == ItemIndex() ? item->OpenIcon : item->Icon);
  Canvas.Font().SetColor(selected ? clHighlightText : Font().Color());
  Canvas.Brush().SetStyle(bsClear);
  TRect tr = kv::Rect(Rect.Left + item->Indent + iw + 6, Rect.Top, Rect.Right, Rect.Bottom);
  DrawText(Canvas, item->Caption, tr, fmt);
  Canvas.Brush().SetStyle(bsSolid);
  if (State.Contains(odFocused)) Canvas.DrawFocusRect(textArea);
}

}  // namespace kv
