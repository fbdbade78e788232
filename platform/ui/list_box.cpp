// The list box: lines, selection, scrolling both ways, drawn on its canvas.
#include "platform/ui/list_box.h"

#include <algorithm>

#include "platform/graphics/draw_text.h"
#include "platform/ui/scrolling.h"

namespace kv {

// ---- TListBoxStrings ----

int32_t TListBoxStrings::Count() const { return static_cast<int32_t>(FBox->FLines.size()); }

std::string TListBoxStrings::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
  return FBox->FLines[size_t(Index)].Text;
}

TObject* TListBoxStrings::GetObject(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
  return FBox->FLines[size_t(Index)].Object;
}

void TListBoxStrings::PutObject(int32_t Index, TObject* AObject) {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
  FBox->FLines[size_t(Index)].Object = AObject;
}

int32_t TListBoxStrings::Add(const std::string& S) {
  return static_cast<int32_t>(FBox->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(&S)));
}

void TListBoxStrings::Insert(int32_t Index, const std::string& S) {
  if (FBox->Perform(LB_INSERTSTRING, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&S)) < 0)
    Error("List index out of bounds (%d)", Index);
}

void TListBoxStrings::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
  FBox->Perform(LB_DELETESTRING, static_cast<WPARAM>(Index), 0);
}

void TListBoxStrings::Clear() { FBox->Perform(LB_RESETCONTENT, 0, 0); }

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FItems = std::make_unique<TListBoxStrings>(this);
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FColor = clWindow;
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL | WS_HSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

TCanvas& TCustomListBox::MeasureCanvas() {
  TCanvas& c = FMeasure.Canvas();
  c.Font().Assign(Font());
  return c;
}

int32_t TCustomListBox::ItemHeight() const {
  return const_cast<TCustomListBox*>(this)->MeasureCanvas().TextHeight("Wg");
}

void TCustomListBox::SetItemIndex(int32_t Value) { Perform(LB_SETCURSEL, static_cast<WPARAM>(Value), 0); }

void TCustomListBox::SetTopIndex(int32_t Value) {
  Value = std::clamp(Value, 0, std::max(0, static_cast<int32_t>(FLines.size()) - 1));
  if (Value == FTopIndex) return;
  FTopIndex = Value;
  UpdateBars();
  Invalidate();
}

void TCustomListBox::SetTabWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == FTabWidth) return;
  FTabWidth = Value;
  Invalidate();
}

int32_t TCustomListBox::ItemAtPos(TPoint Pos) const {
  const int32_t h = std::max(ItemHeight(), 1);
  if (Pos.Y < 0) return -1;
  const int32_t i = FTopIndex + Pos.Y / h;
  return i < static_cast<int32_t>(FLines.size()) ? i : -1;
}

void TCustomListBox::UpdateBars() {
  if (!HandleAllocated()) return;
  TScrollInfo h;
  h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  h.nMax = std::max(FHorzExtent - 1, 0);
  h.nPage = static_cast<uint32_t>(ClientWidth());
  h.nPos = FHorzPos;
  SetScrollInfo(this, SB_HORZ, h, true);
  TScrollInfo v;
  v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  v.nMax = std::max(static_cast<int32_t>(FLines.size()) - 1, 0);
  v.nPage = static_cast<uint32_t>(std::max(ClientHeight() / std::max(ItemHeight(), 1), 1));
  v.nPos = FTopIndex;
  SetScrollInfo(this, SB_VERT, v, true);
}

void TCustomListBox::ScrollHorz(uint16_t Code, int32_t Pos) {
  const int32_t maxPos = std::max(0, FHorzExtent - ClientWidth());
  int32_t p = FHorzPos;
  switch (Code) {
    case SB_TOP: p = 0; break;
    case SB_BOTTOM: p = maxPos; break;
    case SB_LINEUP: p -= 8; break;
    case SB_LINEDOWN: p += 8; break;
    case SB_PAGEUP: p -= ClientWidth(); break;
    case SB_PAGEDOWN: p += ClientWidth(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: p = Pos; break;
    default: return;
  }
  p = std::clamp(p, 0, maxPos);
  if (p == FHorzPos) return;
  FHorzPos = p;
  UpdateBars();
  Invalidate();
}

void TCustomListBox::Dispatch(TMessage& Message) {
  auto count = [this] { return static_cast<int32_t>(FLines.size()); };
  switch (Message.Msg) {
    case LB_ADDSTRING:
      FLines.push_back(TLine{*reinterpret_cast<const std::string*>(Message.LParam), nullptr});
      Message.Result = count() - 1;
      UpdateBars();
      Invalidate();
      return;
    case LB_INSERTSTRING: {
      int32_t i = static_cast<int32_t>(Message.WParam);
      if (i == -1) i = count();
      if (i < 0 || i > count()) {
        Message.Result = LB_ERR;
        return;
      }
      FLines.insert(FLines.begin() + i, TLine{*reinterpret_cast<const std::string*>(Message.LParam), nullptr});
      if (FItemIndex >= i) ++FItemIndex;
      Message.Result = i;
      UpdateBars();
      Invalidate();
      return;
    }
    case LB_DELETESTRING: {
      const int32_t i = static_cast<int32_t>(Message.WParam);
      if (i < 0 || i >= count()) {
        Message.Result = LB_ERR;
        return;
      }
      FLines.erase(FLines.begin() + i);
      if (FItemIndex == i) FItemIndex = -1;
      else if (FItemIndex > i) --FItemIndex;
      FTopIndex = std::clamp(FTopIndex, 0, std::max(0, count() - 1));
      Message.Result = count();
      UpdateBars();
      Invalidate();
      return;
    }
    case LB_RESETCONTENT:
      FLines.clear();
      FItemIndex = -1;
      FTopIndex = 0;
      UpdateBars();
      Invalidate();
      return;
    case LB_SETCURSEL: {
      const int32_t i = static_cast<int32_t>(Message.WParam);
      FItemIndex = i >= 0 && i < count() ? i : -1;
      Message.Result = FItemIndex;
      Invalidate();
      return;
    }
    case LB_GETCURSEL: Message.Result = FItemIndex; return;
    case LB_GETCOUNT: Message.Result = count(); return;
    case LB_GETTOPINDEX: Message.Result = FTopIndex; return;
    case LB_GETHORIZONTALEXTENT: Message.Result = FHorzExtent; return;
    case LB_SETHORIZONTALEXTENT:
      FHorzExtent = std::max(static_cast<int32_t>(Message.WParam), 0);
      FHorzPos = std::clamp(FHorzPos, 0, std::max(0, FHorzExtent - ClientWidth()));
      UpdateBars();
      Invalidate();
      return;
    case WM_HSCROLL: {
      TWMScroll s(Message);
      ScrollHorz(s.ScrollCode(), s.Pos());
      return;
    }
    case WM_VSCROLL: {
      TWMScroll s(Message);
      const int32_t page = std::max(ClientHeight() / std::max(ItemHeight(), 1), 1);
      switch (s.ScrollCode()) {
        case SB_TOP: SetTopIndex(0); break;
        case SB_BOTTOM: SetTopIndex(count() - page); break;
        case SB_LINEUP: SetTopIndex(FTopIndex - 1); break;
        case SB_LINEDOWN: SetTopIndex(FTopIndex + 1); break;
        case SB_PAGEUP: SetTopIndex(FTopIndex - page); break;
        case SB_PAGEDOWN: SetTopIndex(FTopIndex + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: SetTopIndex(s.Pos()); break;
        default: break;
      }
      return;
    }
    default:
      TCustomControl::Dispatch(Message);
  }
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    const int32_t i = ItemAtPos(TPoint{X, Y});
    if (i >= 0 && i != FItemIndex) {
      SetItemIndex(i);
      Click();
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::Resize() {
  UpdateBars();
  TCustomControl::Resize();
}

void TCustomListBox::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(ClientRect());
  const int32_t h = std::max(ItemHeight(), 1);
  for (int32_t i = FTopIndex, y = 0; i < static_cast<int32_t>(FLines.size()) && y < ClientHeight(); ++i, y += h)
    PaintItem(c, i, Rect(0, y, ClientWidth(), y + h), i == FItemIndex);
}

void TCustomListBox::PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected) {
  const uint32_t fmt = DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS;
  C.Brush().SetColor(Selected ? clHighlight : Color());
  C.FillRect(R);
  C.Font().SetColor(Selected ? clHighlightText : Font().Color());
  C.Brush().SetStyle(bsClear);
  TRect tr = Rect(R.Left + 2 - FHorzPos, R.Top, R.Left + std::max(R.Width(), FHorzExtent) + 2, R.Bottom);
  DrawText(C, FLines[size_t(Index)].Text, tr, fmt);
  C.Brush().SetStyle(bsSolid);
}

const TPropertyTable& TCustomListBox::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomListBox>(TWinControl::PropertyTable(), [](auto& p) {
    p.Integer("ItemIndex", &TCustomListBox::ItemIndex, &TCustomListBox::SetItemIndex);
    p.Integer("TabWidth", &TCustomListBox::TabWidth, &TCustomListBox::SetTabWidth);
  });
  return table;
}

}  // namespace kv
