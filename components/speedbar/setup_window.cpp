// The speed bar's customise window and its one-column row lists.
#include "components/speedbar/setup_window.h"

#include <algorithm>

#include "components/draw_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/scrolling.h"

namespace kv {

// ---- TSetupGrid ----

TSetupGrid::TSetupGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  FColor = clWindow;
  FTabStop = true;
}

void TSetupGrid::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TSetupGrid::SetRowCount(int32_t Value) {
  Value = std::max(Value, 0);
  FRowCount = Value;
  FRow = std::clamp(FRow, 0, std::max(Value - 1, 0));
  FTopRow = std::clamp(FTopRow, 0, std::max(Value - 1, 0));
  UpdateBar();
  Invalidate();
}

void TSetupGrid::SetDefaultRowHeight(int32_t Value) {
  FRowHeight = std::max(Value, 1);
  UpdateBar();
  Invalidate();
}

void TSetupGrid::SetColWidth(int32_t Value) {
  FColWidth = std::max(Value, 0);
  Invalidate();
}

bool TSetupGrid::SetRow(int32_t Value) {
  if (Value < 0 || Value >= FRowCount) return false;
  bool can = true;
  if (OnSelectCell) OnSelectCell(this, Value, can);
  if (!can) return false;
  FRow = Value;
  const int32_t visible = std::max(ClientHeight() / FRowHeight, 1);
  if (FRow < FTopRow) FTopRow = FRow;
  else if (FRow >= FTopRow + visible) FTopRow = FRow - visible + 1;
  UpdateBar();
  Invalidate();
  return true;
}

int32_t TSetupGrid::RowAt(int32_t Y) const {
  if (Y < 0) return -1;
  const int32_t r = FTopRow + Y / FRowHeight;
  return r < FRowCount ? r : -1;
}

TRect TSetupGrid::CellRect(int32_t Row) const {
  const int32_t y = (Row - FTopRow) * FRowHeight;
  return Rect(0, y, FColWidth, y + FRowHeight);
}

void TSetupGrid::UpdateBar() {
  if (!HandleAllocated()) return;
  TScrollInfo v;
  v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  v.nMax = std::max(FRowCount - 1, 0);
  v.nPage = static_cast<uint32_t>(std::max(ClientHeight() / FRowHeight, 1));
  v.nPos = FTopRow;
  SetScrollInfo(this, SB_VERT, v, true);
}

void TSetupGrid::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_VSCROLL) {
    TWMScroll s(Message);
    const int32_t page = std::max(ClientHeight() / FRowHeight, 1);
    int32_t top = FTopRow;
    switch (s.ScrollCode()) {
      case SB_LINEUP: --top; break;
      case SB_LINEDOWN: ++top; break;
      case SB_PAGEUP: top -= page; break;
      case SB_PAGEDOWN: top += page; break;
      case SB_TOP: top = 0; break;
      case SB_BOTTOM: top = FRowCount - page; break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: top = s.Pos(); break;
      default: return;
    }
    FTopRow = std::clamp(top, 0, std::max(FRowCount - page, 0));
    UpdateBar();
    Invalidate();
    return;
  }
  TCustomControl::Dispatch(Message);
}

void TSetupGrid::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    const int32_t r = RowAt(Y);
    if (r >= 0 && r != FRow) SetRow(r);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TSetupGrid::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(ClientRect());
  for (int32_t r = FTopRow; r < FRowCount; ++r) {
    const TRect cell = CellRect(r);
    if (cell.Top >= ClientHeight()) break;
    const bool sel = r == FRow;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(sel ? clHighlight : Color());
    c.FillRect(cell);
    c.Font().SetColor(sel ? clHighlightText : Font().Color());
    if (OnDrawCell) OnDrawCell(this, r, cell, sel);
  }
}

// ---- TSpeedbarSetupWindow ----

namespace {
TKvLabel* MakeLabel(TForm* F, const std::string& Text, int32_t L, int32_t T) {
  auto* l = new TKvLabel(F);
  l->SetParent(F);
  l->SetBounds(L, T, l->Width(), l->Height());
  l->SetCaption(Text);
  return l;
}
}  // namespace

TSpeedbarSetupWindow::TSpeedbarSetupWindow(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{});
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  Font().SetName("MS Sans Serif");
  Font().SetSize(8);
  if (!NewStyleControls()) Font().SetStyle(TFontStyles{fsBold});
  SetClientSize(421, 262);
  SetCaption("Symbolleisteneditor");

  Bevel1 = new TPanel(this);
  Bevel1->SetParent(this);
  Bevel1->SetBevelOuter(bvLowered);
  Bevel1->SetBounds(4, 4, 328, 221);
  CategoriesLabel = MakeLabel(this, "&Kategorien:", 12, 11);
  ButtonsLabel = MakeLabel(this, "&Befehle:", 146, 11);
  SectionList = new TSetupGrid(this);
  SectionList->SetParent(this);
  SectionList->SetBounds(12, 30, 129, 188);
  ButtonsList = new TSetupGrid(this);
  ButtonsList->SetParent(this);
  ButtonsList->SetBounds(146, 30, 179, 188);
  ButtonsLabel->SetFocusControl(ButtonsList);
  HintLabel = MakeLabel(this, "", 8, 231);
  HintLabel->SetAutoSize(false);
  HintLabel->SetWordWrap(true);
  HintLabel->SetBounds(8, 231, 407, 29);
  HintLabel->SetCaption(
      "Um Befehlsschalter hinzuzufügen, ziehen Sie die Befehle auf die Symbolleiste und legen sie dort ab. Um Sie zu "
      "entfernen, ziehen Sie diese von der Symbolleiste weg.");
  CloseBtn = new TButton(this);
  CloseBtn->SetParent(this);
  CloseBtn->SetBounds(339, 12, 77, 25);
  CloseBtn->SetCaption("OK");
  CloseBtn->SetCancel(true);
  CloseBtn->SetModalResult(mrOk);
  CloseBtn->OnClick = [this](TObject*) { Close(); };
  HelpBtn = new TButton(this);
  HelpBtn->SetParent(this);
  HelpBtn->SetBounds(339, 44, 77, 25);
  HelpBtn->SetCaption("&Hilfe");
  HelpBtn->SetVisible(false);
  HelpBtn->OnClick = [this](TObject*) {
    if (Application) Application->HelpContext(FHelpContext);
  };
  SetActiveControl(SectionList);

  SectionList->OnDrawCell = [this](TObject*, int32_t Row, const TRect& R, bool) {
    if (FBar && Row < FBar->SectionCount())
      PaintCellText(SectionList->Canvas(), R, FBar->Sections(Row)->Caption(), taLeftJustify, tlCenter);
  };
  SectionList->OnSelectCell = [this](TObject*, int32_t Row, bool& Can) {
    if (FDragging) {
      Can = false;
      SetHint("");
      return;
    }
    SectionSelected(Row);
  };
  ButtonsList->OnDrawCell = [this](TObject*, int32_t Row, const TRect& R, bool) {
    PaintItemCell(ButtonsList->Canvas(), R, ItemOfRow(Row), Row, FPainter);
  };
  ButtonsList->OnSelectCell = [this](TObject*, int32_t Row, bool& Can) {
    if (FDragging) {
      Can = false;
      SetHint("");
      return;
    }
    TSpeedItem* it = ItemOfRow(Row);
    FHint = it ? it->Hint() : std::string();
    SetHint(FHint);
  };
  ButtonsList->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, int32_t X, int32_t Y) {
    ButtonsMouseDown(B, X, Y);
  };
  ButtonsList->OnMouseMove = [this](TObject*, TShiftState, int32_t X, int32_t Y) { ButtonsMouseMove(X, Y); };
  ButtonsList->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState, int32_t X, int32_t Y) {
    ButtonsMouseUp(B, X, Y);
  };
  OnShow = [this](TObject*) {
    if (FBar) DoLayout();
    SectionList->SetColWidth(SectionList->ClientWidth());
    ButtonsList->SetColWidth(ButtonsList->ClientWidth());
  };
}

TSpeedbarSetupWindow::~TSpeedbarSetupWindow() {
  FDrag.reset();
  Detach();
}

void TSpeedbarSetupWindow::Detach() {
  if (!FBar) return;
  TSpeedBar* bar = FBar;
  FBar = nullptr;
  bar->RemoveFreeNotification(this);
  bar->SetEditing(nullptr);  // raises the bar's OnCustomize
}

TSpeedbarSetupWindow* TSpeedbarSetupWindow::FindFor(TSpeedBar* Bar) {
  if (!Bar || !Screen) return nullptr;
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (auto* w = dynamic_cast<TSpeedbarSetupWindow*>(Screen->Forms(i)); w && w->FBar == Bar) return w;
  return nullptr;
}

TSpeedbarSetupWindow* TSpeedbarSetupWindow::OpenSetupFor(TSpeedBar* Bar, int32_t HelpContext) {
  if (!Bar) return nullptr;
  TSpeedbarSetupWindow* w = FindFor(Bar);
  if (!w) {
    w = new TSpeedbarSetupWindow(Application);
    w->AttachBar(Bar);
  }
  if (HelpContext > 0) w->FHelpContext = HelpContext;
  w->SetBorderIcons(TBorderIcons{biSystemMenu});
  w->HelpBtn->SetVisible(w->FHelpContext > 0);
  try {
    w->Show();
  } catch (...) {
    delete w;
    throw;
  }
  if (w->WindowState() == wsMinimized) w->SetWindowState(wsNormal);
  w->BringToFront();
  return w;
}

void TSpeedbarSetupWindow::AttachBar(TSpeedBar* Bar) {
  if (FBar && FBar != Bar) Detach();
  FBar = Bar;
  if (Bar) {
    Bar->FreeNotification(this);
    Bar->SetEditing(this);
    DoLayout();
  }
  RefillLists(false);
}

void TSpeedbarSetupWindow::Notification(TComponent* AComponent, TOperation Operation) {
  TForm::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FBar) {
    FBar = nullptr;
    FDragItem = nullptr;
  }
}

void TSpeedbarSetupWindow::DoLayout() {
  if (!FBar) return;
  const int32_t m = static_cast<int32_t>(int64_t(186) * Screen->PixelsPerInch() / 96);
  const int32_t rowH = FBar->BtnHeight() + 2;
  ButtonsList->SetDefaultRowHeight(rowH);
  const int32_t rows = std::max(1, std::max(ButtonsList->ClientHeight(), m) / rowH);
  const int32_t h = std::min(m, rows * rowH);
  ButtonsList->SetClientHeight(h);
  SectionList->SetClientHeight(h);
  TBitmap scratch(1, 1);
  scratch.Canvas().Font().Assign(Font());
  SectionList->SetDefaultRowHeight(scratch.Canvas().TextHeight("Wg") + 2);
}

void TSpeedbarSetupWindow::RefillLists(bool KeepSection) {
  const int32_t keep = KeepSection ? SectionList->Row() : 0;
  SectionList->SetRowCount(FBar ? FBar->SectionCount() : 0);
  const int32_t row = std::clamp(keep, 0, std::max(SectionList->RowCount() - 1, 0));
  if (row != SectionList->Row()) SectionList->SetRow(row);
  SectionSelected(SectionList->Row());
  SectionList->Invalidate();
}

void TSpeedbarSetupWindow::SectionSelected(int32_t Row) {
  ButtonsList->SetRowCount(FBar && FBar->SectionCount() > 0 ? FBar->ItemCountOf(Row) : 0);
  ButtonsList->SetColWidth(ButtonsList->ClientWidth());
  SectionList->SetColWidth(SectionList->ClientWidth());
  TSpeedItem* it = FBar ? FBar->ItemAt(Row, ButtonsList->Row()) : nullptr;
  FHint = it ? it->Hint() : std::string();
  SetHint(FHint);
  ButtonsList->Invalidate();
}

TSpeedItem* TSpeedbarSetupWindow::ItemOfRow(int32_t Row) const {
  return FBar ? FBar->ItemAt(SectionList->Row(), Row) : nullptr;
}

void TSpeedbarSetupWindow::ButtonsMouseDown(TMouseButton Button, int32_t X, int32_t Y) {
  if (Button != mbLeft || !FBar) return;
  TSpeedItem* it = ItemOfRow(ButtonsList->RowAt(Y));
  if (!it || X >= FBar->BtnWidth() + 2) return;
  FDragging = true;
  if (it->Visible()) {
    FDragItem = nullptr;  // already on the bar: nothing to drag
    return;
  }
  FDragItem = it;
  FDrag = std::make_unique<TBtnControl>(nullptr);
  FDrag->AssignSpeedItem(it);
}

void TSpeedbarSetupWindow::ButtonsMouseMove(int32_t X, int32_t Y) {
  if (!FDragging || !FBar) return;
  const TPoint p = ButtonsList->ClientToScreen(TPoint{X, Y});
  if (FDrag)
    FDrag->Activate(Rect(p.X - FBar->BtnWidth(), p.Y - FBar->BtnHeight(), p.X, p.Y));
  else
    ButtonsList->SetCursor(crNoDrop);
}

void TSpeedbarSetupWindow::ButtonsMouseUp(TMouseButton Button, int32_t X, int32_t Y) {
  if (Button != mbLeft || !FDragging) return;
  const TPoint p = ButtonsList->ClientToScreen(TPoint{X, Y});
  TSpeedItem* item = FDragItem;
  FDragging = false;
  FDragItem = nullptr;
  const int32_t w = FDrag ? FDrag->Width() : (FBar ? FBar->BtnWidth() : 0);
  const int32_t h = FDrag ? FDrag->Height() : (FBar ? FBar->BtnHeight() : 0);
  FDrag.reset();
  const TPoint drop{p.X - w, p.Y - h};
  if (!item) {
    ButtonsList->SetCursor(crDefault);
    return;
  }
  if (FBar && FBar->Owner() && FBar->Parent() && SpeedBarAtPoint(drop) == FBar) {
    const TPoint at = FBar->ScreenToClient(drop);
    if (FBar->DropItemAt(item, at.X, at.Y)) RefillLists(true);
  }
}

void TSpeedbarSetupWindow::DoClose(TCloseAction& Action) {
  TForm::DoClose(Action);
  Action = caFree;
}

void TSpeedbarSetupWindow::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_SPEEDBARCHANGED) {
    if (!FBar || reinterpret_cast<TObject*>(Message.LParam) != FBar) return;
    switch (Message.WParam) {
      case SBR_CHANGED: RefillLists(true); break;
      case SBR_DESTROYED:
        FBar->RemoveFreeNotification(this);
        FBar = nullptr;
        Close();
        break;
      case SBR_BTNSIZECHANGED: DoLayout(); break;
      default: break;
    }
    return;
  }
  TForm::Dispatch(Message);
}

}  // namespace kv
