// The tree view: nodes, expansion, selection, in-place edits, drawn on its canvas.
#include "platform/ui/tree_view.h"

#include <algorithm>

#include "platform/graphics/draw_text.h"
#include "platform/ui/scrolling.h"

namespace kv {

// ---- TTreeNode ----

int32_t TTreeNode::Index() const {
  const TTreeNode* p = FParent ? FParent : &FOwner->FRoot;
  for (size_t i = 0; i < p->FChildren.size(); ++i)
    if (p->FChildren[i].get() == this) return static_cast<int32_t>(i);
  return -1;
}

int32_t TTreeNode::Level() const {
  int32_t l = 0;
  for (const TTreeNode* p = FParent; p; p = p->FParent) ++l;
  return l;
}

void TTreeNode::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  FOwner->StructureChanged();  // the widest label may have changed
}

void TTreeNode::SetHasChildren(bool Value) {
  if (Value == FHasChildren) return;
  FHasChildren = Value;
  FOwner->Invalidate();
}

bool TTreeNode::Expand(bool Recurse) {
  if (!FExpanded) {
    if (!FOwner->CanExpand(this)) return false;
    if (FChildren.empty()) {
      FHasChildren = false;  // nothing came: the button goes
      FOwner->StructureChanged();
      return false;
    }
    FExpanded = true;
    FOwner->StructureChanged();
    FOwner->Expanded(this);
    if (FOwner->OnExpanded) FOwner->OnExpanded(FOwner, this);
  }
  if (Recurse)
    for (size_t i = 0; i < FChildren.size(); ++i) FChildren[i]->Expand(true);
  return true;
}

void TTreeNode::Collapse() {
  if (!FExpanded) return;
  bool allow = true;
  if (FOwner->OnCollapsing) FOwner->OnCollapsing(FOwner, this, allow);
  if (!allow) return;
  FExpanded = false;
  // A selection inside moves up to the collapsed node.
  for (TTreeNode* s = FOwner->FSelected ? FOwner->FSelected->FParent : nullptr; s; s = s->FParent)
    if (s == this) {
      FOwner->SetSelected(this);
      break;
    }
  FOwner->StructureChanged();
}

bool TTreeNode::Selected() const { return FOwner->FSelected == this; }

void TTreeNode::MakeVisible() {
  for (TTreeNode* p = FParent; p; p = p->FParent)
    if (!p->FExpanded) p->Expand(false);
  const int32_t row = FOwner->RowOf(this);
  if (row < 0) return;
  const int32_t page = std::max(FOwner->ClientHeight() / std::max(FOwner->ItemHeight(), 1), 1);
  if (row < FOwner->FTopRow) FOwner->SetTopRow(row);
  else if (row >= FOwner->FTopRow + page) FOwner->SetTopRow(row - page + 1);
}

bool TTreeNode::EditText() {
  if (FOwner->FReadOnly || !FOwner->CanEdit(this)) return false;
  FOwner->EndEditNode(true);
  MakeVisible();
  FOwner->FEditNode = this;
  if (!FOwner->FEdit) {
    FOwner->FEdit = new TEdit(FOwner);
    FOwner->FEdit->OnKeyDown = [Tree = FOwner](TObject*, uint16_t& Key, TShiftState) {
      if (Key == VK_RETURN || Key == VK_ESCAPE) {
        const bool cancel = Key == VK_ESCAPE;
        Key = 0;
        Tree->EndEditNode(cancel);
      }
    };
    FOwner->FEdit->OnExit = [Tree = FOwner](TObject*) { Tree->EndEditNode(false); };
  }
  const TRect r = FOwner->NodeRect(this);
  const int32_t left = FOwner->TextLeft(this) - FOwner->FLeftPos;
  FOwner->FEdit->SetBounds(left, r.Top, std::max(FOwner->ClientWidth() - left, 40), r.Height() + 2);
  FOwner->FEdit->SetText(FText);
  FOwner->FEdit->SetParent(FOwner);
  FOwner->FEdit->Show();
  if (FOwner->HandleAllocated() && FOwner->Showing()) FOwner->FEdit->SetFocus();
  return true;
}

void TTreeNode::Delete() { FOwner->DeleteNode(this); }

void TTreeNode::DeleteChildren() {
  while (!FChildren.empty()) FOwner->DeleteNode(FChildren.back().get());
  FExpanded = false;
  FOwner->StructureChanged();
}

// ---- TCustomTreeView ----

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FColor = clWindow;
  FControlStyle.Include(csDoubleClicks);
  FImageLink.OnChange = [this](TObject*) { Invalidate(); };
}

TCustomTreeView::~TCustomTreeView() {
  FClearing = true;
  FEditNode = nullptr;
  if (FImages) FImages->UnRegisterChanges(&FImageLink);
  // Descendants free what their nodes hold in their own destructors (Clear there).
  FRoot.FChildren.clear();
}

TTreeNode* TCustomTreeView::AddChild(TTreeNode* Parent, const std::string& Text) {
  TTreeNode* p = Parent ? Parent : &FRoot;
  p->FChildren.push_back(std::make_unique<TTreeNode>(this, Parent));
  TTreeNode* n = p->FChildren.back().get();
  n->FText = Text;
  StructureChanged();
  return n;
}

std::vector<TTreeNode*> TCustomTreeView::AllNodes() const {
  std::vector<TTreeNode*> out;
  std::function<void(const TTreeNode&)> walk = [&](const TTreeNode& N) {
    for (const auto& c : N.FChildren) {
      out.push_back(c.get());
      walk(*c);
    }
  };
  walk(FRoot);
  return out;
}

void TCustomTreeView::Clear() {
  EndEditNode(true);
  BeginUpdate();
  while (!FRoot.FChildren.empty()) DeleteNode(FRoot.FChildren.back().get());
  FTopRow = 0;
  FLeftPos = 0;
  EndUpdate();
}

void TCustomTreeView::NotifyDeletion(TTreeNode* Node) {
  for (const auto& c : Node->FChildren) NotifyDeletion(c.get());
  Delete(Node);
}

void TCustomTreeView::DeleteNode(TTreeNode* Node) {
  if (!Node || Node == &FRoot) return;
  if (FEditNode) {
    for (TTreeNode* p = FEditNode; p; p = p->FParent)
      if (p == Node) {
        EndEditNode(true);
        break;
      }
  }
  bool selInside = false;
  for (TTreeNode* p = FSelected; p; p = p->FParent)
    if (p == Node) selInside = true;
  NotifyDeletion(Node);
  TTreeNode* parent = Node->FParent ? Node->FParent : &FRoot;
  auto& kids = parent->FChildren;
  const auto it = std::find_if(kids.begin(), kids.end(), [Node](const auto& P) { return P.get() == Node; });
  if (it == kids.end()) return;
  if (selInside) FSelected = nullptr;
  std::unique_ptr<TTreeNode> keep = std::move(*it);
  kids.erase(it);
  keep.reset();
  if (parent != &FRoot && kids.empty()) parent->FExpanded = false;
  StructureChanged();
  if (selInside && !FClearing) Change(nullptr);
}

void TCustomTreeView::SetSelected(TTreeNode* Node) {
  if (Node == FSelected) return;
  if (!CanChange(Node)) return;
  FSelected = Node;
  if (Node) Node->MakeVisible();
  Invalidate();
  Change(Node);
}

bool TCustomTreeView::CanExpand(TTreeNode* Node) {
  bool allow = true;
  if (OnExpanding) OnExpanding(this, Node, allow);
  return allow;
}

bool TCustomTreeView::CanChange(TTreeNode* Node) {
  bool allow = true;
  if (OnChanging) OnChanging(this, Node, allow);
  return allow;
}

void TCustomTreeView::Change(TTreeNode* Node) {
  if (OnChange) OnChange(this, Node);
}

void TCustomTreeView::Delete(TTreeNode* Node) {
  if (OnDeletion) OnDeletion(this, Node);
}

bool TCustomTreeView::CanEdit(TTreeNode* Node) {
  bool allow = true;
  if (OnEditing) OnEditing(this, Node, allow);
  return allow;
}

void TCustomTreeView::Edit(TTreeNode* Node, std::string& S) {
  if (OnEdited) OnEdited(this, Node, S);
}

void TCustomTreeView::EndEditNode(bool Cancel) {
  TTreeNode* n = FEditNode;
  if (!n) return;
  FEditNode = nullptr;  // before the events: a focus change ends no edit twice
  std::string s = FEdit ? FEdit->Text() : n->FText;
  if (FEdit) FEdit->Hide();
  if (!Cancel) {
    Edit(n, s);
    n->SetText(s);
  }
  if (HandleAllocated() && Showing()) SetFocus();
  Invalidate();
}

void TCustomTreeView::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) FImages->UnRegisterChanges(&FImageLink);
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(&FImageLink);
    FImages->FreeNotification(this);
  }
  StructureChanged();
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
  if (Operation == opRemove && AComponent == FEdit) {
    FEdit = nullptr;
    FEditNode = nullptr;
  }
}

void TCustomTreeView::SetCheckboxes(bool Value) {
  if (Value == FCheckboxes) return;
  FCheckboxes = Value;
  StructureChanged();
}

void TCustomTreeView::SetShowRoot(bool Value) {
  if (Value == FShowRoot) return;
  FShowRoot = Value;
  StructureChanged();
}

int32_t TCustomTreeView::FontHeight() const {
  auto& c = const_cast<TBitmap&>(FMeasure).Canvas();
  c.Font().Assign(Font());
  return c.TextHeight("Wg");
}

int32_t TCustomTreeView::ItemHeight() const {
  return std::max(FontHeight() + 2, (FImages ? FImages->Height() : 16) + 2);
}

int32_t TCustomTreeView::ContentWidth() const {
  if (FContentWidth >= 0) return FContentWidth;
  RowOf(nullptr);
  auto& c = const_cast<TBitmap&>(FMeasure).Canvas();
  c.Font().Assign(Font());
  int32_t w = 0;
  for (const TTreeNode* n : FRows) w = std::max(w, TextLeft(n) + c.TextWidth(n->FText) + 4);
  FContentWidth = w;
  return w;
}

void TCustomTreeView::EndUpdate() {
  if (FUpdating > 0) --FUpdating;
  if (FUpdating == 0) StructureChanged();
}

void TCustomTreeView::SortChildren(TTreeNode* Parent, const TTVCompare& Compare) {
  auto& kids = (Parent ? Parent : &FRoot)->FChildren;
  std::stable_sort(kids.begin(), kids.end(),
                   [&](const auto& A, const auto& B) { return Compare(A.get(), B.get()) < 0; });
  StructureChanged();
}

void TCustomTreeView::Rows(std::vector<TTreeNode*>& Out) const {
  std::function<void(const TTreeNode&)> walk = [&](const TTreeNode& N) {
    for (const auto& c : N.FChildren) {
      Out.push_back(c.get());
      if (c->FExpanded) walk(*c);
    }
  };
  walk(FRoot);
}

void TCustomTreeView::StructureChanged() {
  FRowsValid = false;
  FContentWidth = -1;
  if (FUpdating) return;
  UpdateBars();
  Invalidate();
}

int32_t TCustomTreeView::RowOf(const TTreeNode* Node) const {
  if (!FRowsValid) {
    FRows.clear();
    Rows(FRows);
    FRowsValid = true;
  }
  const auto it = std::find(FRows.begin(), FRows.end(), Node);
  return it == FRows.end() ? -1 : static_cast<int32_t>(it - FRows.begin());
}

TTreeNode* TCustomTreeView::GetNodeAt(int32_t X, int32_t Y) const {
  (void)X;
  if (Y < 0) return nullptr;
  RowOf(nullptr);
  const size_t row = size_t(FTopRow + Y / std::max(ItemHeight(), 1));
  return row < FRows.size() ? FRows[row] : nullptr;
}

TRect TCustomTreeView::NodeRect(const TTreeNode* Node) const {
  const int32_t row = RowOf(Node);
  if (row < 0) return {};
  const int32_t h = ItemHeight();
  const int32_t y = (row - FTopRow) * h;
  return Rect(0, y, ClientWidth(), y + h);
}

int32_t TCustomTreeView::TextLeft(const TTreeNode* Node) const {
  int32_t x = (Node->Level() + (FShowRoot ? 1 : 0)) * Indent() + 2;
  if (FCheckboxes) x += 16;
  if (FImages) x += FImages->Width() + 3;
  return x;
}

void TCustomTreeView::SetTopRow(int32_t Value) {
  RowOf(nullptr);
  const int32_t page = std::max(ClientHeight() / std::max(ItemHeight(), 1), 1);
  Value = std::clamp(Value, 0, std::max(0, static_cast<int32_t>(FRows.size()) - page));
  if (Value == FTopRow) return;
  FTopRow = Value;
  UpdateBars();
  Invalidate();
}

int32_t TCustomTreeView::MaxLeftPos() const { return std::max(0, ContentWidth() - ClientWidth()); }

void TCustomTreeView::SetLeftPos(int32_t Value) {
  Value = std::clamp(Value, 0, MaxLeftPos());
  if (Value == FLeftPos) return;
  FLeftPos = Value;
  if (FEdit && FEditNode) FEdit->SetLeft(TextLeft(FEditNode) - FLeftPos);
  UpdateBars();
  Invalidate();
}

void TCustomTreeView::UpdateBars() {
  if (!HandleAllocated() || FUpdating) return;
  RowOf(nullptr);
  TScrollInfo v;
  v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  v.nMax = std::max(static_cast<int32_t>(FRows.size()) - 1, 0);
  v.nPage = static_cast<uint32_t>(std::max(ClientHeight() / std::max(ItemHeight(), 1), 1));
  v.nPos = FTopRow;
  SetScrollInfo(this, SB_VERT, v, true);
  // Showing a bar narrows the client area, which comes back here (WM_SIZE)
  // and sets both bars again for the new size.
  FLeftPos = std::clamp(FLeftPos, 0, MaxLeftPos());
  TScrollInfo h;
  h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  h.nMax = std::max(ContentWidth() - 1, 0);
  h.nPage = static_cast<uint32_t>(std::max(ClientWidth(), 1));
  h.nPos = FLeftPos;
  SetScrollInfo(this, SB_HORZ, h, true);
}

void TCustomTreeView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_HSCROLL) {
    TWMScroll s(Message);
    const int32_t column = std::max(ItemHeight(), 1);
    switch (s.ScrollCode()) {
      case SB_LEFT: SetLeftPos(0); break;
      case SB_RIGHT: SetLeftPos(1 << 30); break;
      case SB_LINELEFT: SetLeftPos(FLeftPos - column); break;
      case SB_LINERIGHT: SetLeftPos(FLeftPos + column); break;
      case SB_PAGELEFT: SetLeftPos(FLeftPos - ClientWidth()); break;
      case SB_PAGERIGHT: SetLeftPos(FLeftPos + ClientWidth()); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: SetLeftPos(s.Pos()); break;
      default: break;
    }
    return;
  }
  if (Message.Msg == CM_FONTCHANGED) StructureChanged();  // row height and label widths follow the font
  if (Message.Msg == WM_VSCROLL) {
    TWMScroll s(Message);
    const int32_t page = std::max(ClientHeight() / std::max(ItemHeight(), 1), 1);
    switch (s.ScrollCode()) {
      case SB_TOP: SetTopRow(0); break;
      case SB_BOTTOM: SetTopRow(1 << 30); break;
      case SB_LINEUP: SetTopRow(FTopRow - 1); break;
      case SB_LINEDOWN: SetTopRow(FTopRow + 1); break;
      case SB_PAGEUP: SetTopRow(FTopRow - page); break;
      case SB_PAGEDOWN: SetTopRow(FTopRow + page); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: SetTopRow(s.Pos()); break;
      default: break;
    }
    return;
  }
  TCustomControl::Dispatch(Message);
}

bool TCustomTreeView::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  SetTopRow(FTopRow - WheelDelta / 40);
  return true;
}

void TCustomTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (CanFocus() && Showing()) SetFocus();
  TTreeNode* n = GetNodeAt(X, Y);
  if (n && Button == mbLeft) {
    const int32_t buttonLeft = (n->Level() + (FShowRoot ? 0 : -1)) * Indent() - FLeftPos;
    if (n->HasChildren() && X >= buttonLeft && X < buttonLeft + Indent()) {
      if (n->Expanded()) n->Collapse();
      else n->Expand(false);
    } else if (FCheckboxes && X >= buttonLeft + Indent() && X < buttonLeft + Indent() + 16) {
      n->Checked = !n->Checked;
      Invalidate();
    } else {
      SetSelected(n);
    }
  } else if (n && Button == mbRight) {
    SetSelected(n);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTreeView::DblClick() {
  if (FSelected) {
    if (FSelected->Expanded()) FSelected->Collapse();
    else FSelected->Expand(false);
  }
  TCustomControl::DblClick();
}

void TCustomTreeView::KeyDown(uint16_t& Key, TShiftState Shift) {
  RowOf(nullptr);
  const int32_t row = FSelected ? RowOf(FSelected) : -1;
  const int32_t last = static_cast<int32_t>(FRows.size()) - 1;
  switch (Key) {
    case VK_UP:
      if (row > 0) SetSelected(FRows[size_t(row - 1)]);
      break;
    case VK_DOWN:
      if (row < last) SetSelected(FRows[size_t(row + 1)]);
      break;
    case VK_HOME:
      if (last >= 0) SetSelected(FRows.front());
      break;
    case VK_LEFT:
      if (FSelected && FSelected->Expanded()) FSelected->Collapse();
      else if (FSelected && FSelected->Parent()) SetSelected(FSelected->Parent());
      break;
    case VK_RIGHT:
      if (FSelected && !FSelected->Expanded()) FSelected->Expand(false);
      else if (FSelected && FSelected->GetFirstChild()) SetSelected(FSelected->GetFirstChild());
      break;
    case VK_F2:
      if (FSelected) FSelected->EditText();
      break;
    default:
      TCustomControl::KeyDown(Key, Shift);
      return;
  }
  Key = 0;
}

void TCustomTreeView::Resize() {
  UpdateBars();
  TCustomControl::Resize();
}

void TCustomTreeView::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  // A hook that painted the background (a wallpaper) keeps it under the rows.
  if (!FPaintBuffer || !FPaintBuffer->BackgroundErased) c.FillRect(ClientRect());
  RowOf(nullptr);
  const int32_t h = std::max(ItemHeight(), 1);
  int32_t top = 0;
  for (size_t i = size_t(std::max(FTopRow, 0)); i < FRows.size() && top < ClientHeight(); ++i, top += h) {
    TTreeNode* n = FRows[i];
    const int32_t level = (n->Level() + (FShowRoot ? 0 : -1)) * Indent();
    int32_t x = level - FLeftPos;
    if (n->HasChildren() && level >= 0) {
      const int32_t cx = x + Indent() / 2, cy = top + h / 2;
      c.Pen().SetColor(clGrayText);
      c.Brush().SetColor(Color());
      c.Rectangle(cx - 4, cy - 4, cx + 5, cy + 5);
      c.Pen().SetColor(clWindowText);
      c.MoveTo(cx - 2, cy);
      c.LineTo(cx + 3, cy);
      if (!n->Expanded()) {
        c.MoveTo(cx, cy - 2);
        c.LineTo(cx, cy + 3);
      }
    }
    x += Indent() + 2;
    if (FCheckboxes) {
      c.Pen().SetColor(clWindowText);
      c.Brush().SetColor(clWindow);
      c.Rectangle(x, top + h / 2 - 6, x + 13, top + h / 2 + 7);
      if (n->Checked) {
        c.MoveTo(x + 3, top + h / 2);
        c.LineTo(x + 6, top + h / 2 + 3);
        c.LineTo(x + 10, top + h / 2 - 3);
      }
      x += 16;
    }
    if (FImages) {
      const int32_t img = n == FSelected ? n->SelectedIndex : n->ImageIndex;
      const int32_t iy = top + (h - FImages->Height()) / 2;
      FImages->Draw(c, x, iy, img);
      if (n->OverlayIndex >= 0) FImages->Draw(c, x, iy, n->OverlayIndex);
      x += FImages->Width() + 3;
    }
    if (n == FEditNode) continue;
    const int32_t tw = c.TextWidth(n->FText) + 4;
    const TRect tr = Rect(x - 1, top, x - 1 + tw, top + h);
    const bool sel = n == FSelected;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(sel ? clHighlight : Color());
    c.FillRect(tr);
    c.Font().SetColor(sel ? clHighlightText : Font().Color());
    c.Brush().SetStyle(bsClear);
    TRect textRect = Rect(x + 1, top, x + tw, top + h);
    DrawText(c, n->FText, textRect, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
    c.Brush().SetStyle(bsSolid);
    if (sel && Focused()) c.DrawFocusRect(tr);
  }
}

}  // namespace kv
