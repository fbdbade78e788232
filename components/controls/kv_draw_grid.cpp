// The program's draw grid, its in-place editor and the editor's pick list.
#include "components/controls/kv_draw_grid.h"

#include <algorithm>

#include "platform/rtl/strings.h"
#include "platform/rtl/ticks.h"
#include "platform/rtl/utf8.h"
#include "platform/system/ini_file.h"
#include "platform/ui/forms.h"
#include "platform/ui/panel.h"

namespace kv {

namespace {

constexpr uint32_t kSearchPauseMs = 4000;
constexpr size_t kSearchMax = 32;
constexpr int32_t kPickListRows = 8;
constexpr int32_t kEditButtonWidth = 16;

std::string Lower(const std::string& S) {
  std::string out;
  for (size_t i = 0; i < S.size();) utf8::Append(out, utf8::ToLower(utf8::Next(S, i)));
  return out;
}

size_t CharCount(const std::string& S) {
  size_t n = 0;
  for (size_t i = 0; i < S.size(); ++n) utf8::Next(S, i);
  return n;
}

}  // namespace

// ---- TPopupListbox ----

TPopupListbox::TPopupListbox(TComponent* AOwner) : TCustomListBox(AOwner) {
  TickCount = [] { return GetTickCount(); };
  FVisible = false;
  FTabStop = false;
}

void TPopupListbox::CreateParams(TCreateParams& Params) {
  TCustomListBox::CreateParams(Params);
  Params.Style = (Params.Style & ~WS_CHILD) | WS_POPUP | WS_BORDER;
  Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void TPopupListbox::SearchChar(char32_t Key) {
  const uint32_t now = TickCount();
  if (now - FSearchTickCount > kSearchPauseMs) FSearchText.clear();
  FSearchTickCount = now;
  if (CharCount(FSearchText) < kSearchMax) utf8::Append(FSearchText, Key);
  const std::string wanted = Lower(FSearchText);
  for (int32_t i = 0; i < Items().Count(); ++i)
    if (Lower(Items().Strings(i)).compare(0, wanted.size(), wanted) == 0) {
      SetItemIndex(i);
      return;
    }
}

void TPopupListbox::KeyPress(char32_t& Key) {
  if (Key == 8 || Key == 27) {
    FSearchText.clear();
  } else if (Key >= 32) {
    SearchChar(Key);
    Key = 0;
    return;
  }
  TCustomListBox::KeyPress(Key);
}

void TPopupListbox::KeyDown(uint16_t& Key, TShiftState Shift) {
  const int32_t count = Items().Count();
  int32_t i = ItemIndex();
  switch (Key) {
    case VK_UP: i = std::max(i - 1, 0); break;
    case VK_DOWN: i = std::min(i + 1, count - 1); break;
    case VK_PRIOR: i = std::max(i - kPickListRows, 0); break;
    case VK_NEXT: i = std::min(i + kPickListRows, count - 1); break;
    case VK_HOME: i = 0; break;
    case VK_END: i = count - 1; break;
    default: TCustomListBox::KeyDown(Key, Shift); return;
  }
  if (count > 0) SetItemIndex(i);
  Key = 0;
}

void TPopupListbox::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomListBox::MouseUp(Button, Shift, X, Y);
  auto* edit = dynamic_cast<TKvInplaceEdit*>(Owner());
  if (Button == mbLeft && edit && X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight())
    edit->CloseUp(ItemAtPos(TPoint{X, Y}) >= 0);
}

// ---- TKvEditButton ----

TKvEditButton::TKvEditButton(TKvInplaceEdit* AEdit) : TCustomControl(AEdit), FEdit(AEdit) {
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque};
  FColor = clBtnFace;
  FWidth = kEditButtonWidth;
}

void TKvEditButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);
  c.FillRect(r);
  if (FPressed) Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
  else Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
  const int32_t d = FPressed ? 1 : 0;
  const int32_t cx = r.Left + r.Width() / 2 + d, cy = r.Top + r.Height() / 2 + d;
  c.Brush().SetColor(clBtnText);
  c.Pen().SetColor(clBtnText);
  if (FEdit->EditStyle() == esEllipsis) {
    // Three dots of two by two pixels.
    for (const int32_t dx : {-4, 0, 4}) c.FillRect(TRect{cx + dx - 1, cy, cx + dx + 1, cy + 2});
  } else {
    // A small arrow pointing down.
    for (int32_t i = 0; i < 4; ++i) c.FillRect(TRect{cx - 3 + i, cy - 2 + i, cx + 4 - i, cy - 1 + i});
  }
}

void TKvEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    FTracking = true;
    FPressed = true;
    Invalidate();
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TKvEditButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (FTracking) {
    const bool over = X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
    if (over != FPressed) {
      FPressed = over;
      Invalidate();
    }
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TKvEditButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const bool over = X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
  const bool click = FTracking && over && Button == mbLeft;
  if (Button == mbLeft) {
    FTracking = false;
    FPressed = false;
    Invalidate();
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (click) FEdit->ButtonClick();
}

// ---- TKvInplaceEdit ----

TKvInplaceEdit::TKvInplaceEdit(TComponent* AOwner) : TInplaceEdit(AOwner) {
  FButton = new TKvEditButton(this);
  FButton->SetVisible(false);
  FButton->SetParent(this);
  FPickList = new TPopupListbox(this);
}

TKvInplaceEdit::~TKvInplaceEdit() { Destroying(); }

TKvDrawGrid* TKvInplaceEdit::KvGrid() const { return dynamic_cast<TKvDrawGrid*>(FGrid); }

void TKvInplaceEdit::SetEditStyle(TEditStyle Value) {
  if (Value != esPickList) CloseUp(false);
  FEditStyle = Value;
  SetButtonWidth(Value == esSimple ? 0 : kEditButtonWidth);
  FButton->SetVisible(Value != esSimple);
  PlaceButton();
  FButton->Invalidate();
}

void TKvInplaceEdit::PlaceButton() {
  const int32_t w = std::min(kEditButtonWidth, Width());
  FButton->SetBounds(ClientWidth() - w, 0, w, ClientHeight());
}

void TKvInplaceEdit::Resize() {
  TInplaceEdit::Resize();
  PlaceButton();
}

void TKvInplaceEdit::UpdateContents() {
  TInplaceEdit::UpdateContents();
  if (TKvDrawGrid* g = KvGrid()) {
    SetEditStyle(g->EditStyleOf(g->Col(), g->Row()));
    SetAlignment(g->EditAlignOf(g->Col(), g->Row()));
  }
}

void TKvInplaceEdit::Hide() {
  CloseUp(false);
  TInplaceEdit::Hide();
}

void TKvInplaceEdit::ButtonClick() {
  if (FEditStyle == esEllipsis) {
    if (TKvDrawGrid* g = KvGrid()) g->EditButtonClick();
  } else if (FEditStyle == esPickList) {
    if (FListVisible) CloseUp(false);
    else DropDown();
  }
}

void TKvInplaceEdit::DropDown() {
  if (FListVisible || FEditStyle != esPickList) return;
  TKvDrawGrid* g = KvGrid();
  TStringList entries;
  if (g) g->GetPicklist(g->Col(), g->Row(), entries);
  FPickList->Items().Assign(&entries);
  FPickList->SetItemIndex(FPickList->Items().IndexOf(Text()));
  FPickList->ClearSearch();
  // At least as wide as the editor and as wide as the longest entry; at most 8 rows.
  TCanvas& measure = FPickList->MeasureCanvas();
  int32_t wide = Width();
  for (int32_t i = 0; i < entries.Count(); ++i) wide = std::max(wide, measure.TextWidth(entries.Strings(i)) + 8);
  const int32_t rows = std::clamp(entries.Count(), 1, kPickListRows);
  if (entries.Count() > kPickListRows) wide += 16;  // room for the scroll bar
  const int32_t high = rows * std::max(FPickList->ItemHeight(), 1) + 2;
  const TPoint below = ClientToScreen(TPoint{0, Height()});
  int32_t top = below.Y;
  if (Screen && top + high > Screen->Height()) top = ClientToScreen(TPoint{0, 0}).Y - high;
  FPickList->SetBounds(below.X, top, wide, high);
  FPickList->HandleNeeded();
  FPickList->SetVisible(true);
  FListVisible = true;
}

void TKvInplaceEdit::CloseUp(bool Accept) {
  if (!FListVisible) return;
  FListVisible = false;
  FPickList->SetVisible(false);
  FPickList->ClearSearch();
  const int32_t i = FPickList->ItemIndex();
  if (Accept && i >= 0 && i < FPickList->Items().Count()) SetText(FPickList->Items().Strings(i));
}

bool TKvInplaceEdit::AcceptChar(char32_t Key) {
  if (FListVisible) {
    FPickList->SearchChar(Key);
    return false;  // typed into the list, not the editor
  }
  return TInplaceEdit::AcceptChar(Key);
}

bool TKvInplaceEdit::TakeKey(uint16_t Key, TShiftState) {
  if (!FListVisible) return false;
  switch (Key) {
    case VK_RETURN: CloseUp(true); return true;
    case VK_ESCAPE: CloseUp(false); return true;
    case VK_BACK: FPickList->ClearSearch(); return true;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
      FPickList->Perform(WM_KEYDOWN, Key, 0);
      return true;
    default: return false;
  }
}

void TKvInplaceEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (TakeKey(Key, Shift)) {
    Key = 0;
    return;
  }
  if (Key == VK_RETURN && Shift.Contains(ssCtrl) && FEditStyle == esEllipsis) {
    ButtonClick();
    Key = 0;
    return;
  }
  if (Key == VK_DOWN && Shift.Contains(ssAlt) && FEditStyle == esPickList) {
    DropDown();
    Key = 0;
    return;
  }
  TInplaceEdit::KeyDown(Key, Shift);
}

void TKvInplaceEdit::DoExit() {
  CloseUp(false);
  TInplaceEdit::DoExit();
}

// ---- TKvDrawGrid ----

TKvDrawGrid::TKvDrawGrid(TComponent* AOwner) : TDrawGrid(AOwner) {
  FDefaultRowHeight = 18;
  std::fill(FRowHeights.begin(), FRowHeights.end(), FDefaultRowHeight);
  FOptions = TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goDrawFocusSelected, goColSizing};
  FIniLink.OnSave = [this](TObject*) { SaveLayout(); };
  FIniLink.OnLoad = [this](TObject*) { RestoreLayout(); };
}

TKvDrawGrid::~TKvDrawGrid() {
  Destroying();
  FIniLink.OnSave = nullptr;
  FIniLink.OnLoad = nullptr;
  FIniLink.SetStorage(nullptr);
}

void TKvDrawGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TDrawGrid::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FIniLink.Storage()) FIniLink.SetStorage(nullptr);
}

void TKvDrawGrid::SetFixedButtons(bool Value) {
  FFixedButtons = Value;
  Invalidate();
}

std::string TKvDrawGrid::LayoutSection() const { return FIniLink.BaseSection() + Name(); }

void TKvDrawGrid::SaveLayout() {
  TCustomIniFile* ini = FIniLink.StorageObject();
  if (Name().empty() || !ini) return;
  const std::string sect = LayoutSection();
  for (int32_t i = 0; i < ColCount(); ++i) ini->WriteInteger(sect, "Item" + IntToStr(i), ColWidths(i));
}

void TKvDrawGrid::RestoreLayout() {
  TCustomIniFile* ini = FIniLink.StorageObject();
  if (Name().empty() || !ini) return;
  const std::string sect = LayoutSection();
  for (int32_t i = 0; i < ColCount(); ++i)
    SetColWidths(i, std::max(0, ini->ReadInteger(sect, "Item" + IntToStr(i), ColWidths(i))));
}

bool TKvDrawGrid::IsFixedCell(TGridCoord Cell) const {
  return Cell.X >= 0 && Cell.Y >= 0 && Cell.X < ColCount() && Cell.Y < RowCount() &&
         (Cell.X < FFixedCols || Cell.Y < FFixedRows);
}

bool TKvDrawGrid::CheckButton(int32_t ACol, int32_t ARow) {
  bool enabled = true;
  if (OnCheckButton) OnCheckButton(this, ACol, ARow, enabled);
  return enabled;
}

bool TKvDrawGrid::CellPressed(int32_t ACol, int32_t ARow) const {
  return FPressing && FPressed && FPressedCell.X == ACol && FPressedCell.Y == ARow;
}

void TKvDrawGrid::CancelPress() {
  if (!FPressing) return;
  FPressing = FPressed = false;
  FPressedCell = TGridCoord{-1, -1};
  if (GetCaptureControl() == this) ReleaseCapture();
  Invalidate();
}

void TKvDrawGrid::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TGridCoord cell = MouseCoord(X, Y);
  const bool designing = ComponentState().Contains(csDesigning);
  int32_t index = 0, pos = 0, ofs = 0;
  if (FFixedButtons && !designing && Button == mbLeft && IsFixedCell(cell) &&
      HitState(X, Y, index, pos, ofs) != gsColSizing && HitState(X, Y, index, pos, ofs) != gsRowSizing) {
    // A double click here is one more press, not a double click.
    if (!Focused() && CanFocus()) SetFocus();
    if (CheckButton(cell.X, cell.Y)) {
      SetMouseCapture(true);
      FPressedCell = cell;
      FPressing = FPressed = true;
      InvalidateCell(cell.X, cell.Y);
    } else {
      MessageBeep(0);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (Button == mbRight && (FOptions.Contains(goRowMoving) || FOptions.Contains(goColMoving)) && !designing) {
    // The right button moves rows and columns as the left one would.
    FRightMoving = true;
    SetMouseCapture(true);
    TShiftState s = Shift;
    s.Exclude(ssRight);
    s.Include(ssLeft);
    TDrawGrid::MouseDown(mbLeft, s, X, Y);
    return;
  }
  TDrawGrid::MouseDown(Button, Shift, X, Y);
}

void TKvDrawGrid::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (FPressing) {
    const bool over = MouseCoord(X, Y) == FPressedCell;
    if (over != FPressed) {
      FPressed = over;
      InvalidateCell(FPressedCell.X, FPressedCell.Y);
    }
    TCustomControl::MouseMove(Shift, X, Y);
    return;
  }
  TDrawGrid::MouseMove(Shift, X, Y);
}

void TKvDrawGrid::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (FPressing && Button == mbLeft) {
    const TGridCoord cell = FPressedCell;
    const bool inside = X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
    const bool click = inside && MouseCoord(X, Y) == cell;
    CancelPress();
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (click && OnFixedCellClick) OnFixedCellClick(this, cell.X, cell.Y);
    return;
  }
  if (FRightMoving && Button == mbRight) {
    FRightMoving = false;
    if (GetCaptureControl() == this) ReleaseCapture();
    TDrawGrid::MouseUp(mbLeft, Shift, X, Y);
    return;
  }
  TDrawGrid::MouseUp(Button, Shift, X, Y);
}

void TKvDrawGrid::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_ESCAPE && EditorMode() && !FOptions.Contains(goAlwaysShowEditor)) {
    // The editor's text never reaches the cell while the edit is being cancelled.
    FCancelling = true;
    HideEditor();
    FCancelling = false;
    Key = 0;
    if (OnCancelEdit) OnCancelEdit(this);
    return;
  }
  TDrawGrid::KeyDown(Key, Shift);
}

void TKvDrawGrid::DoEnter() {
  TDrawGrid::DoEnter();
  if (OnChangeFocus) OnChangeFocus(this);
}

void TKvDrawGrid::DoExit() {
  TDrawGrid::DoExit();
  if (OnChangeFocus) OnChangeFocus(this);
}

void TKvDrawGrid::TopLeftChanged() {
  CancelPress();
  TDrawGrid::TopLeftChanged();
}

void TKvDrawGrid::ColWidthsChanged() {
  CancelPress();
  TDrawGrid::ColWidthsChanged();
  if (OnColumnSized) OnColumnSized(this);
}

void TKvDrawGrid::RowHeightsChanged() {
  CancelPress();
  TDrawGrid::RowHeightsChanged();
  if (OnRowSized) OnRowSized(this);
}

bool TKvDrawGrid::CanEditShow() {
  if (!TDrawGrid::CanEditShow()) return false;
  bool allow = true;
  if (OnShowEditor) OnShowEditor(this, Col(), Row(), allow);
  return allow;
}

TInplaceEdit* TKvDrawGrid::CreateEditor() { return new TKvInplaceEdit(this); }

bool TKvDrawGrid::CanEditAcceptKey(char32_t Key) {
  if (OnAcceptEditKey) return OnAcceptEditKey(this, Key);
  return TDrawGrid::CanEditAcceptKey(Key);
}

int32_t TKvDrawGrid::GetEditLimit() {
  int32_t limit = TDrawGrid::GetEditLimit();
  if (OnGetEditLimit) OnGetEditLimit(this, limit);
  return limit;
}

void TKvDrawGrid::SetEditText(int32_t ACol, int32_t ARow, const std::string& Value) {
  if (FCancelling) return;
  TDrawGrid::SetEditText(ACol, ARow, Value);
}

void TKvDrawGrid::EditorTextChanged() {
  if (!FOptions.Contains(goAlwaysShowEditor) && OnEditChange) OnEditChange(this);
}

TEditStyle TKvDrawGrid::EditStyleOf(int32_t ACol, int32_t ARow) {
  TEditStyle style = esSimple;
  if (OnGetEditStyle) OnGetEditStyle(this, ACol, ARow, style);
  return style;
}

void TKvDrawGrid::GetPicklist(int32_t ACol, int32_t ARow, TStrings& List) {
  if (OnGetPicklist) OnGetPicklist(this, ACol, ARow, &List);
}

TAlignment TKvDrawGrid::EditAlignOf(int32_t ACol, int32_t ARow) {
  TAlignment a = taLeftJustify;
  if (OnGetEditAlign) OnGetEditAlign(this, ACol, ARow, a);
  return a;
}

void TKvDrawGrid::EditButtonClick() {
  if (OnEditButtonClick) OnEditButtonClick(this);
}

const TPropertyTable& TKvDrawGrid::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvDrawGrid>(TDrawGrid::PropertyTable(), [](auto& p) {
    p.Object("IniStorage", &TKvDrawGrid::IniStorage, &TKvDrawGrid::SetIniStorage);
    p.Bool("FixedButtons", &TKvDrawGrid::FixedButtons, &TKvDrawGrid::SetFixedButtons);
    p.Method("OnAcceptEditKey").Method("OnCancelEdit").Method("OnCheckButton").Method("OnChangeFocus");
    p.Method("OnFixedCellClick").Method("OnColumnSized").Method("OnRowSized").Method("OnGetEditLimit");
    p.Method("OnEditChange").Method("OnShowEditor").Method("OnGetEditAlign").Method("OnGetEditStyle");
    p.Method("OnGetPicklist").Method("OnEditButtonClick");
  });
  return table;
}

}  // namespace kv
