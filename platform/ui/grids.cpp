// The grid controls: layout along both axes, painting, the current cell and
// the selection, scrolling, sizing and moving with the mouse, in-place editing
// and dragging within the grid.
#include "platform/ui/grids.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <algorithm>
#include <limits>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/panel.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/std_peer.h"

namespace kv {

namespace {

// Sums of sizes in 64 bits, clamped into the client coordinates' range.
int32_t Clamp32(int64_t V) {
  return int32_t(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min() / 2, std::numeric_limits<int32_t>::max() / 2));
}

bool Within(const TGridRect& R, int32_t X, int32_t Y) {
  return X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom;
}

// The sizing zone: this many pixels on either side of a grid line.
constexpr int32_t kSizingZone = 3;

}  // namespace

// ---- TInplaceEdit ----

namespace {

// The editor's widget: the text sits 2 pixels in from the left and the top,
// and room is left at the right for a button.
class TInplacePeer : public TStdPeer<QLineEdit> {
 public:
  using TStdPeer<QLineEdit>::TStdPeer;

 protected:
  std::optional<bool> ToControl(QEvent* E) override {
    if (E->type() == QEvent::KeyPress || E->type() == QEvent::KeyRelease) {
      // Moving between cells and leaving the editor belong to the grid.
      switch (static_cast<QKeyEvent*>(E)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_F2:
          ForwardInput(E);
          return true;
        default:
          break;
      }
    }
    if (E->type() == QEvent::KeyPress && FControl) {
      auto* edit = static_cast<TInplaceEdit*>(FControl);
      auto* ke = static_cast<QKeyEvent*>(E);
      TShiftState shift;
      if (ke->modifiers() & Qt::ShiftModifier) shift.Include(ssShift);
      if (ke->modifiers() & Qt::ControlModifier) shift.Include(ssCtrl);
      if (ke->modifiers() & Qt::AltModifier) shift.Include(ssAlt);
      bool taken = false;
      Guarded(edit, [&] { taken = edit->TakeKey(VirtualKeyOf(ke->key(), ke->modifiers()), shift); });
      if (taken) return true;
      // The grid decides which characters the editor takes.
      for (char32_t ch : static_cast<QKeyEvent*>(E)->text().toUcs4())
        if (ch >= 32 && !edit->AcceptChar(ch)) return true;
    }
    if (E->type() == QEvent::MouseButtonDblClick) {
      ForwardInput(E);
      return std::nullopt;
    }
    return TStdPeer<QLineEdit>::ToControl(E);
  }
};

}  // namespace

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TEdit(AOwner) {
  FGrid = dynamic_cast<TCustomGrid*>(AOwner);
  FTabStop = false;
  FVisible = false;
  FControlStyle.Include(csDoubleClicks);
}

TInplaceEdit::~TInplaceEdit() = default;

void TInplaceEdit::CreateWnd() {
  auto* p = new TInplacePeer(this, ParentClientWidget(this));
  SetPeer(p);
  p->setFrame(false);
  p->setText(QString::fromStdString(FText));
  QObject::connect(p, &QLineEdit::textEdited, p, [p](const QString& V) {
    p->Signal([&](TControl* c) {
      auto* e = static_cast<TInplaceEdit*>(c);
      e->FFromQt = true;
      e->SetText(V.toStdString());
      e->FFromQt = false;
    });
  });
  UpdateMargins();
  SetAlignment(FAlignment);
}

void TInplaceEdit::UpdateMargins() {
  if (auto* e = PeerAs<QLineEdit>(this)) {
    e->setTextMargins(2, 2, FButtonWidth, 0);
    e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
  }
}

void TInplaceEdit::SetMaxLength(int32_t Value) {
  FMaxLength = std::max(Value, 0);
  if (FMaxLength > 0 && int32_t(FText.size()) > FMaxLength) SetText(FText.substr(0, size_t(FMaxLength)));
  UpdateMargins();
}

void TInplaceEdit::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  if (auto* e = PeerAs<QLineEdit>(this))
    e->setAlignment(Value == taRightJustify ? Qt::AlignRight | Qt::AlignVCenter
                    : Value == taCenter     ? Qt::AlignHCenter | Qt::AlignVCenter
                                            : Qt::AlignLeft | Qt::AlignVCenter);
}

void TInplaceEdit::SetButtonWidth(int32_t Value) {
  FButtonWidth = std::max(Value, 0);
  UpdateMargins();
}

void TInplaceEdit::TypeChar(char32_t Key) {
  KeyPress(Key);
  if (Key < 32) return;
  std::string next = FText;
  utf8::Append(next, Key);
  size_t chars = 0;
  for (size_t i = 0; i < next.size(); ++chars) utf8::Next(next, i);
  if (FMaxLength > 0 && int32_t(chars) > FMaxLength) return;
  SetText(next);
}

void TInplaceEdit::Move(const TRect& Loc) {
  SetBoundsRect(Loc);
  SetVisible(true);
  BringToFront();
  if (FGrid && FGrid->Focused()) SetFocus();
}

void TInplaceEdit::Hide() {
  if (!FVisible) return;
  const bool hadFocus = Focused();
  SetVisible(false);
  if (hadFocus && FGrid && FGrid->CanFocus()) FGrid->SetFocus();
}

void TInplaceEdit::UpdateContents() {
  if (!FGrid) return;
  SetMaxLength(FGrid->GetEditLimit());
  FChanging = true;
  SetText(FGrid->GetEditText(FGrid->Col(), FGrid->Row()));
  FChanging = false;
}

void TInplaceEdit::Change() {
  TEdit::Change();
  if (!FChanging && FGrid) FGrid->EditorTextChanged();
}

void TInplaceEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
    case VK_RETURN:
    case VK_TAB:
    case VK_F2:
      if (FGrid) FGrid->EditorKeyDown(Key, Shift);
      Key = 0;
      return;
    default:
      TEdit::KeyDown(Key, Shift);
  }
}

bool TInplaceEdit::AcceptChar(char32_t Key) {
  if (!FGrid || FGrid->CanEditAcceptKey(Key)) return true;
  MessageBeep(0);
  return false;
}

void TInplaceEdit::KeyPress(char32_t& Key) {
  if (Key >= 32 && !AcceptChar(Key)) {
    Key = 0;
    return;
  }
  TEdit::KeyPress(Key);
}

void TInplaceEdit::DblClick() {
  if (FGrid && FGrid->OnDblClick) FGrid->OnDblClick(FGrid);
}

void TInplaceEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_GETDLGCODE) {
    Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    return;
  }
  TEdit::Dispatch(Message);
}

// ---- TCustomGrid: layout ----

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks};
  FColor = clWindow;
  FTabStop = true;
  FWidth = 320;
  FHeight = 120;
  FColWidths.assign(5, FDefaultColWidth);
  FRowHeights.assign(5, FDefaultRowHeight);
}

TCustomGrid::~TCustomGrid() {
  Destroying();
  if (GetCaptureControl() == this) ReleaseCapture();
}

void TCustomGrid::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

int32_t TCustomGrid::ColWidths(int32_t Index) const {
  return Index >= 0 && Index < ColCount() ? FColWidths[size_t(Index)] : 0;
}

int32_t TCustomGrid::RowHeights(int32_t Index) const {
  return Index >= 0 && Index < RowCount() ? FRowHeights[size_t(Index)] : 0;
}

void TCustomGrid::SetColWidths(int32_t Index, int32_t Value) {
  if (Index < 0 || Index >= ColCount()) throw EInvalidGridOperation("Grid index out of range");
  Value = std::max(Value, 0);
  if (FColWidths[size_t(Index)] == Value) return;
  FColWidths[size_t(Index)] = Value;
  Sized();
  ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int32_t Index, int32_t Value) {
  if (Index < 0 || Index >= RowCount()) throw EInvalidGridOperation("Grid index out of range");
  Value = std::max(Value, 0);
  if (FRowHeights[size_t(Index)] == Value) return;
  FRowHeights[size_t(Index)] = Value;
  Sized();
  RowHeightsChanged();
}

void TCustomGrid::SetColCount(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == ColCount()) return;
  FColWidths.resize(size_t(Value), FDefaultColWidth);
  if (FFixedCols >= Value) FFixedCols = std::max(Value - 1, 0);
  Sized();
}

void TCustomGrid::SetRowCount(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == RowCount()) return;
  FRowHeights.resize(size_t(Value), FDefaultRowHeight);
  if (FFixedRows >= Value) FFixedRows = std::max(Value - 1, 0);
  Sized();
}

void TCustomGrid::SetFixedCols(int32_t Value) {
  if (Value < 0) throw EInvalidGridOperation("Grid index out of range");
  if (Value > 0 && Value >= ColCount()) throw EInvalidGridOperation("Fixed column count must be less than column count");
  FFixedCols = Value;
  Sized();
}

void TCustomGrid::SetFixedRows(int32_t Value) {
  if (Value < 0) throw EInvalidGridOperation("Grid index out of range");
  if (Value > 0 && Value >= RowCount()) throw EInvalidGridOperation("Fixed row count must be less than row count");
  FFixedRows = Value;
  Sized();
}

void TCustomGrid::SetDefaultColWidth(int32_t Value) {
  FDefaultColWidth = std::max(Value, 0);
  std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
  Sized();
  ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int32_t Value) {
  FDefaultRowHeight = std::max(Value, 0);
  std::fill(FRowHeights.begin(), FRowHeights.end(), FDefaultRowHeight);
  Sized();
  RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == FGridLineWidth) return;
  FGridLineWidth = Value;
  Sized();
}

void TCustomGrid::SetOptions(TGridOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  if (FOptions.Contains(goAlwaysShowEditor) && FOptions.Contains(goEditing)) SetEditorMode(true);
  else if (!FOptions.Contains(goEditing)) HideEditor();
  if (FOptions.Contains(goRowSelect)) FAnchor = FCurrent;
  Sized();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  UpdateScrollRange();
}

void TCustomGrid::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomGrid::SetFixedColor(TColor Value) {
  if (Value == FFixedColor) return;
  FFixedColor = Value;
  Invalidate();
}

// After any change of counts or sizes: the cells and the view stay legal.
void TCustomGrid::Sized() {
  ClampCurrent();
  UpdateScrollRange();
  MoveEditor();
  Invalidate();
}

void TCustomGrid::ClampCurrent() {
  auto clampCell = [](int32_t V, int32_t Fixed, int32_t Count) {
    return Count > Fixed ? std::clamp(V, Fixed, Count - 1) : Fixed;
  };
  FCurrent.X = clampCell(FCurrent.X, FFixedCols, ColCount());
  FCurrent.Y = clampCell(FCurrent.Y, FFixedRows, RowCount());
  FAnchor.X = clampCell(FAnchor.X, FFixedCols, ColCount());
  FAnchor.Y = clampCell(FAnchor.Y, FFixedRows, RowCount());
  FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, MaxTopLeft(true)));
  FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, MaxTopLeft(false)));
}

namespace {
// One direction of the grid: columns across, rows down.
struct TAxis {
  const TCustomGrid& G;
  bool Horz;
  int32_t Fixed;
  int32_t First;
  int32_t Line;
  int32_t Client;
  int32_t N;
  int32_t Count() const { return N; }
  int32_t Size(int32_t I) const { return Horz ? G.ColWidths(I) : G.RowHeights(I); }
  int64_t FixedExtent() const {
    int64_t e = 0;
    for (int32_t i = 0; i < std::min(Fixed, N); ++i) e += Size(i) + Line;
    return e;
  }
};

TAxis AxisOf(const TCustomGrid& G, bool Horz) {
  const TGridOptions o = G.Options();
  const bool lines = Horz ? (o.Contains(goFixedVertLine) || o.Contains(goVertLine))
                          : (o.Contains(goFixedHorzLine) || o.Contains(goHorzLine));
  return TAxis{G,
               Horz,
               Horz ? G.FixedCols() : G.FixedRows(),
               Horz ? G.LeftCol() : G.TopRow(),
               lines ? G.GridLineWidth() : 0,
               Horz ? G.ClientWidth() : G.ClientHeight(),
               Horz ? G.ColCount() : G.RowCount()};
}
}  // namespace

bool TCustomGrid::CellStart(bool Horz, int32_t Index, int32_t& At) const {
  const TAxis a = AxisOf(*this, Horz);
  if (Index < 0 || Index >= a.Count()) return false;
  int64_t at = 0;
  if (Index < a.Fixed) {
    for (int32_t i = 0; i < Index; ++i) at += a.Size(i) + a.Line;
  } else {
    if (Index < a.First) return false;
    at = a.FixedExtent();
    for (int32_t i = a.First; i < Index && at <= a.Client; ++i) at += a.Size(i) + a.Line;
  }
  At = Clamp32(at);
  return true;
}

int32_t TCustomGrid::CellAtPos(bool Horz, int32_t P) const {
  const TAxis a = AxisOf(*this, Horz);
  if (P < 0) return -1;
  int64_t at = 0;
  for (int32_t i = 0; i < std::min(a.Fixed, a.Count()); ++i) {
    at += a.Size(i) + a.Line;
    if (P < at) return i;
  }
  for (int32_t i = std::max(a.First, a.Fixed); i < a.Count() && at <= a.Client; ++i) {
    at += a.Size(i) + a.Line;
    if (P < at) return i;
  }
  return -1;
}

int32_t TCustomGrid::MaxTopLeft(bool Horz) const {
  const TAxis a = AxisOf(*this, Horz);
  const int64_t room = a.Client - a.FixedExtent();
  int32_t first = a.Count() - 1;
  if (first < a.Fixed) return a.Fixed;
  int64_t used = a.Size(first) + a.Line;
  while (first - 1 >= a.Fixed && used + a.Size(first - 1) + a.Line <= room) {
    --first;
    used += a.Size(first) + a.Line;
  }
  return first;
}

int32_t TCustomGrid::VisibleColCount() const {
  const TAxis a = AxisOf(*this, true);
  int64_t at = a.FixedExtent();
  int32_t n = 0;
  for (int32_t i = a.First; i < a.Count(); ++i) {
    at += a.Size(i) + a.Line;
    if (at - a.Line > a.Client) break;
    ++n;
  }
  return a.First < a.Count() ? std::max(n, 1) : 0;
}

int32_t TCustomGrid::VisibleRowCount() const {
  const TAxis a = AxisOf(*this, false);
  int64_t at = a.FixedExtent();
  int32_t n = 0;
  for (int32_t i = a.First; i < a.Count(); ++i) {
    at += a.Size(i) + a.Line;
    if (at - a.Line > a.Client) break;
    ++n;
  }
  return a.First < a.Count() ? std::max(n, 1) : 0;
}

TRect TCustomGrid::CellRect(int32_t ACol, int32_t ARow) const {
  int32_t x = 0, y = 0;
  if (!CellStart(true, ACol, x) || !CellStart(false, ARow, y)) return TRect{};
  if (x >= ClientWidth() || y >= ClientHeight()) return TRect{};
  return TRect{x, y, Clamp32(int64_t(x) + ColWidths(ACol)), Clamp32(int64_t(y) + RowHeights(ARow))};
}

TGridCoord TCustomGrid::MouseCoord(int32_t X, int32_t Y) const {
  TGridCoord c{CellAtPos(true, X), CellAtPos(false, Y)};
  if (c.X < 0 || c.Y < 0) c = TGridCoord{-1, -1};
  return c;
}

void TCustomGrid::MouseToCell(int32_t X, int32_t Y, int32_t& ACol, int32_t& ARow) const {
  const TGridCoord c = MouseCoord(X, Y);
  ACol = c.X;
  ARow = c.Y;
}

// ---- current cell, selection and scrolling ----

TGridRect TCustomGrid::Selection() const {
  TGridRect r{std::min(FAnchor.X, FCurrent.X), std::min(FAnchor.Y, FCurrent.Y), std::max(FAnchor.X, FCurrent.X),
              std::max(FAnchor.Y, FCurrent.Y)};
  if (FOptions.Contains(goRowSelect)) {
    r.Left = FFixedCols;
    r.Right = std::max(FFixedCols, ColCount() - 1);
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& Value) {
  FAnchor = TGridCoord{Value.Left, Value.Top};
  FCurrent = TGridCoord{Value.Right, Value.Bottom};
  ClampCurrent();
  ShowCurrent();
  Invalidate();
}

void TCustomGrid::SetCol(int32_t Value) {
  if (Value != FCurrent.X) MoveColRow(Value, FCurrent.Y, true, true);
}

void TCustomGrid::SetRow(int32_t Value) {
  if (Value != FCurrent.Y) MoveColRow(FCurrent.X, Value, true, true);
}

bool TCustomGrid::SelectCell(int32_t, int32_t) { return true; }

void TCustomGrid::MoveColRow(int32_t ACol, int32_t ARow, bool MoveAnchor, bool Show) {
  if (ColCount() <= FFixedCols || RowCount() <= FFixedRows) return;  // no cell to move to
  ACol = std::clamp(ACol, FFixedCols, ColCount() - 1);
  ARow = std::clamp(ARow, FFixedRows, RowCount() - 1);
  if (!SelectCell(ACol, ARow)) return;
  const bool moved = ACol != FCurrent.X || ARow != FCurrent.Y;
  if (moved && FEditorMode && !FOptions.Contains(goAlwaysShowEditor)) HideEditor();
  else if (moved && FEditorMode && FInplaceEdit) SetEditText(FCurrent.X, FCurrent.Y, FInplaceEdit->Text());
  FCurrent = TGridCoord{ACol, ARow};
  if (MoveAnchor || !FOptions.Contains(goRangeSelect)) FAnchor = FCurrent;
  if (Show) ShowCurrent();
  if (moved) UpdateEdit();
  Invalidate();
}

void TCustomGrid::ShowCurrent() {
  auto fit = [this](bool Horz, int32_t Cur, int32_t First) {
    if (Cur < First) return Cur;
    const TAxis a = AxisOf(*this, Horz);
    const int64_t room = a.Client - a.FixedExtent();
    int64_t used = 0;
    for (int32_t i = First; i <= Cur; ++i) used += a.Size(i) + a.Line;
    if (used - a.Line <= room) return First;
    // Scroll forward until the current cell fits (or is the first one shown).
    int32_t f = Cur;
    used = a.Size(Cur) + a.Line;
    while (f - 1 >= a.Fixed && used + a.Size(f - 1) <= room) {
      --f;
      used += a.Size(f) + a.Line;
    }
    return f;
  };
  if (ColCount() <= FFixedCols || RowCount() <= FFixedRows) return;
  SetTopLeft(fit(true, FCurrent.X, FTopLeft.X), fit(false, FCurrent.Y, FTopLeft.Y));
}

void TCustomGrid::SetTopLeft(int32_t ALeft, int32_t ATop) {
  ALeft = std::clamp(ALeft, FFixedCols, std::max(FFixedCols, MaxTopLeft(true)));
  ATop = std::clamp(ATop, FFixedRows, std::max(FFixedRows, MaxTopLeft(false)));
  if (ALeft == FTopLeft.X && ATop == FTopLeft.Y) return;
  FTopLeft = TGridCoord{ALeft, ATop};
  UpdateScrollRange();
  MoveEditor();
  Invalidate();
  TopLeftChanged();
}

void TCustomGrid::SetLeftCol(int32_t Value) { SetTopLeft(Value, FTopLeft.Y); }
void TCustomGrid::SetTopRow(int32_t Value) { SetTopLeft(FTopLeft.X, Value); }

void TCustomGrid::TopLeftChanged() {}
void TCustomGrid::ColWidthsChanged() {}
void TCustomGrid::RowHeightsChanged() {}
void TCustomGrid::ColumnMoved(int32_t, int32_t) {}
void TCustomGrid::RowMoved(int32_t, int32_t) {}

void TCustomGrid::UpdateScrollRange() {
  if (!HandleAllocated()) return;
  if (FUpdatingBars) return;  // a bar shown or hidden resizes the client and comes back here
  FUpdatingBars = true;
  // Showing one bar narrows the client area, which may call for the other.
  for (int32_t pass = 0; pass < 3; ++pass) {
    const TRect before = ClientRect();
    FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, MaxTopLeft(true)));
    FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, MaxTopLeft(false)));
    for (const bool horz : {true, false}) {
      const int32_t bar = horz ? SB_HORZ : SB_VERT;
      const bool wanted = FScrollBars == ssBoth || FScrollBars == (horz ? ssHorizontal : ssVertical);
      const int32_t fixed = horz ? FFixedCols : FFixedRows;
      const int32_t maxFirst = MaxTopLeft(horz);
      TScrollInfo si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      si.nPage = 1;  // a range of one page: nothing to scroll, the bar hides
      if (wanted && maxFirst > fixed) {
        const int32_t page = std::max(horz ? VisibleColCount() : VisibleRowCount(), 1);
        si.nMin = fixed;
        si.nMax = maxFirst + page - 1;
        si.nPage = uint32_t(page);
        si.nPos = horz ? FTopLeft.X : FTopLeft.Y;
      }
      SetScrollInfo(this, bar, si, true);
    }
    if (ClientRect() == before) break;
  }
  FUpdatingBars = false;
}

void TCustomGrid::ScrollMessage(bool Horz, uint16_t Code, int32_t Pos) {
  const int32_t first = Horz ? FTopLeft.X : FTopLeft.Y;
  const int32_t fixed = Horz ? FFixedCols : FFixedRows;
  const int32_t page = std::max(Horz ? VisibleColCount() : VisibleRowCount(), 1);
  int32_t next = first;
  switch (Code) {
    case SB_LINEUP: next = first - 1; break;
    case SB_LINEDOWN: next = first + 1; break;
    case SB_PAGEUP: next = first - page; break;
    case SB_PAGEDOWN: next = first + page; break;
    case SB_TOP: next = fixed; break;
    case SB_BOTTOM: next = MaxTopLeft(Horz); break;
    case SB_THUMBTRACK:
      if (!FOptions.Contains(goThumbTracking)) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: next = Pos; break;
    default: return;
  }
  if (Horz) SetLeftCol(next);
  else SetTopRow(next);
}

void TCustomGrid::Resize() {
  ClampCurrent();
  UpdateScrollRange();
  MoveEditor();
  Invalidate();
  TCustomControl::Resize();
}

// ---- painting ----

void TCustomGrid::PaintFixedEdge(TCanvas& C, const TRect& R, bool Pressed) {
  TRect r = R;
  if (Pressed) Frame3D(C, r, clBtnShadow, clBtnHighlight, 1);
  else Frame3D(C, r, clBtnHighlight, clBtnShadow, 1);
}

void TCustomGrid::Paint() {
  TCanvas& c = Canvas();
  const TRect client = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FColor);
  c.FillRect(client);
  const TGridRect sel = Selection();
  const bool focused = Focused();
  const TAxis h = AxisOf(*this, true), v = AxisOf(*this, false);
  auto order = [](const TAxis& A) {
    std::vector<int32_t> cells;
    int64_t at = 0;
    auto take = [&](int32_t i) {
      if (at >= A.Client) return false;
      cells.push_back(i);
      at += A.Size(i) + A.Line;
      return true;
    };
    for (int32_t i = 0; i < std::min(A.Fixed, A.Count()); ++i)
      if (!take(i)) return cells;
    for (int32_t i = std::max(A.First, A.Fixed); i < A.Count(); ++i)
      if (!take(i)) break;
    return cells;
  };
  const std::vector<int32_t> cols = order(h), rows = order(v);
  for (const int32_t row : rows) {
    for (const int32_t col : cols) {
      const TRect r = CellRect(col, row);
      const bool fixed = col < FFixedCols || row < FFixedRows;
      TGridDrawState state;
      if (fixed) state.Include(gdFixed);
      const bool current = col == FCurrent.X && row == FCurrent.Y;
      if (current && focused) state.Include(gdFocused);
      if (!fixed && Within(sel, col, row) &&
          (!current || !focused || FOptions.Contains(goDrawFocusSelected) || FOptions.Contains(goRowSelect)))
        state.Include(gdSelected);
      // Grid lines right of and below the cell.
      const bool vert = fixed ? FOptions.Contains(goFixedVertLine) : FOptions.Contains(goVertLine);
      const bool horz = fixed ? FOptions.Contains(goFixedHorzLine) : FOptions.Contains(goHorzLine);
      c.Brush().SetStyle(bsSolid);
      c.Brush().SetColor(fixed ? clBtnShadow : clSilver);
      if (vert && h.Line > 0) c.FillRect(TRect{r.Right, r.Top, r.Right + h.Line, r.Bottom + v.Line});
      if (horz && v.Line > 0) c.FillRect(TRect{r.Left, r.Bottom, r.Right + h.Line, r.Bottom + v.Line});
      if (r.Width() <= 0 || r.Height() <= 0) continue;
      if (FDefaultDrawing) {
        c.Brush().SetColor(fixed ? FFixedColor : state.Contains(gdSelected) ? clHighlight : FColor);
        c.FillRect(r);
        c.Font().Assign(Font());
        if (state.Contains(gdSelected)) c.Font().SetColor(clHighlightText);
      }
      const bool pressed = fixed && CellPressed(col, row);
      if (pressed) {
        // The content of a pressed cell moves right and down by the line width.
        const int32_t d = FGridLineWidth;
        DrawCell(col, row, TRect{r.Left + d, r.Top + d, r.Right + d, r.Bottom + d}, state);
      } else {
        DrawCell(col, row, r, state);
      }
      if (FDefaultDrawing && fixed && Ctl3D() && (vert || horz || pressed)) PaintFixedEdge(c, r, pressed);
      if (FDefaultDrawing && state.Contains(gdFocused) && !FEditorMode && !FOptions.Contains(goRowSelect))
        c.DrawFocusRect(r);
    }
  }
  if (FDefaultDrawing && focused && !FEditorMode && FOptions.Contains(goRowSelect)) {
    // The focus rectangle spans the whole current row.
    const TRect first = CellRect(std::max(FFixedCols, FTopLeft.X), FCurrent.Y);
    if (first.Width() > 0) {
      int32_t right = first.Right;
      for (int32_t col = FTopLeft.X; col < ColCount(); ++col) {
        const TRect r = CellRect(col, FCurrent.Y);
        if (r.Width() <= 0 && r.Height() <= 0) break;
        right = r.Right;
      }
      c.DrawFocusRect(TRect{first.Left, first.Top, std::min(right, client.Right), first.Bottom});
    }
  }
  // The line a column or row is being sized or moved to.
  c.Brush().SetColor(clBlack);
  if (FGridState == gsColSizing) c.FillRect(TRect{FSizingPos, 0, FSizingPos + 1, client.Bottom});
  if (FGridState == gsRowSizing) c.FillRect(TRect{0, FSizingPos, client.Right, FSizingPos + 1});
  if (FGridState == gsColMoving && FMovePos >= 0) {
    const TRect r = CellRect(FMovePos, 0);
    const int32_t x = FMovePos > FMoveIndex ? r.Right : r.Left;
    c.FillRect(TRect{x - 1, 0, x + 1, client.Bottom});
  }
  if (FGridState == gsRowMoving && FMovePos >= 0) {
    const TRect r = CellRect(0, FMovePos);
    const int32_t y = FMovePos > FMoveIndex ? r.Bottom : r.Top;
    c.FillRect(TRect{0, y - 1, client.Right, y + 1});
  }
}

void TCustomGrid::InvalidateCell(int32_t ACol, int32_t ARow) {
  const TRect r = CellRect(ACol, ARow);
  if (r.Width() <= 0 && r.Height() <= 0) return;
  InvalidateRect(TRect{r.Left, r.Top, r.Right + FGridLineWidth, r.Bottom + FGridLineWidth});
}

// ---- mouse ----

TGridState TCustomGrid::HitState(int32_t X, int32_t Y, int32_t& Index, int32_t& Pos, int32_t& Offset) const {
  const TAxis h = AxisOf(*this, true), v = AxisOf(*this, false);
  const int64_t fixedW = h.FixedExtent(), fixedH = v.FixedExtent();
  auto near = [&](bool Horz, int32_t P, int32_t& Idx, int32_t& LinePos) {
    const int32_t count = Horz ? ColCount() : RowCount();
    for (int32_t i = 0; i < count; ++i) {
      int32_t at = 0;
      if (!CellStart(Horz, i, at)) continue;
      const int32_t end = at + (Horz ? ColWidths(i) : RowHeights(i));
      if (at > (Horz ? ClientWidth() : ClientHeight())) break;
      if (P >= end - kSizingZone && P <= end + (Horz ? h.Line : v.Line) + kSizingZone) {
        Idx = i;
        LinePos = end;
        return true;
      }
    }
    return false;
  };
  if (FOptions.Contains(goColSizing) && Y < fixedH && near(true, X, Index, Pos)) {
    Offset = Pos - X;
    return gsColSizing;
  }
  if (FOptions.Contains(goRowSizing) && X < fixedW && near(false, Y, Index, Pos)) {
    Offset = Pos - Y;
    return gsRowSizing;
  }
  const TGridCoord cell = MouseCoord(X, Y);
  if (FOptions.Contains(goColMoving) && cell.Y >= 0 && cell.Y < FFixedRows && cell.X >= FFixedCols) {
    Index = cell.X;
    return gsColMoving;
  }
  if (FOptions.Contains(goRowMoving) && cell.X >= 0 && cell.X < FFixedCols && cell.Y >= FFixedRows) {
    Index = cell.Y;
    return gsRowMoving;
  }
  return gsNormal;
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  FDragPos = TPoint{X, Y};
  if (!ComponentState().Contains(csDesigning) && !Focused() && CanFocus()) SetFocus();
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    DblClick();
  } else if (Button == mbLeft) {
    int32_t index = -1, pos = 0, ofs = 0;
    const TGridState hit = HitState(X, Y, index, pos, ofs);
    if (hit == gsColSizing || hit == gsRowSizing) {
      HideEditor();
      FGridState = hit;
      FSizingIndex = index;
      FSizingPos = pos;
      FSizingOfs = ofs;
      Invalidate();
    } else if (hit == gsColMoving || hit == gsRowMoving) {
      HideEditor();
      FGridState = hit;
      FMoveIndex = index;
      FMovePos = index;
      Invalidate();
    } else {
      const TGridCoord cell = MouseCoord(X, Y);
      if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
        if (FOptions.Contains(goEditing) && cell == FCurrent && !Shift.Contains(ssShift) && !FEditorMode) {
          ShowEditor();
        } else {
          FGridState = gsSelecting;
          MoveColRow(cell.X, cell.Y, !(Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect)), true);
        }
      }
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (FDragging || FDragPending) {
    if (FDragPending && (std::abs(X - FDragStart.X) >= FDragThreshold || std::abs(Y - FDragStart.Y) >= FDragThreshold)) {
      FDragPending = false;
      FDragging = true;
      DragTo(X, Y, dsDragEnter);
    } else if (FDragging) {
      DragTo(X, Y, dsDragMove);
    }
  } else {
    switch (FGridState) {
      case gsSelecting: {
        // Beyond an edge the next cell that way comes into view.
        auto beyond = [this](bool Horz, int32_t P) {
          const int32_t client = Horz ? ClientWidth() : ClientHeight();
          const int32_t cur = Horz ? FCurrent.X : FCurrent.Y;
          if (P >= client) return cur + 1;
          if (P < 0) return cur - 1;
          const int32_t cell = CellAtPos(Horz, P);
          const int32_t fixed = Horz ? FFixedCols : FFixedRows;
          if (cell < 0) return Horz ? ColCount() - 1 : RowCount() - 1;
          if (cell < fixed) return (Horz ? FTopLeft.X : FTopLeft.Y) - 1;
          return cell;
        };
        const int32_t col = beyond(true, X), row = beyond(false, Y);
        if (col != FCurrent.X || row != FCurrent.Y) MoveColRow(col, row, !FOptions.Contains(goRangeSelect), true);
        break;
      }
      case gsColSizing:
      case gsRowSizing: {
        int32_t start = 0;
        const bool horz = FGridState == gsColSizing;
        CellStart(horz, FSizingIndex, start);
        FSizingPos = std::max((horz ? X : Y) + FSizingOfs, start + 1);
        Invalidate();
        break;
      }
      case gsColMoving:
      case gsRowMoving: {
        const bool horz = FGridState == gsColMoving;
        const int32_t cell = CellAtPos(horz, horz ? X : Y);
        const int32_t fixed = horz ? FFixedCols : FFixedRows;
        if (cell >= fixed && cell != FMovePos) {
          FMovePos = cell;
          Invalidate();
        }
        break;
      }
      default: {
        int32_t index = -1, pos = 0, ofs = 0;
        const TGridState hit = HitState(X, Y, index, pos, ofs);
        SetCursor(hit == gsColSizing ? crHSplit : hit == gsRowSizing ? crVSplit : crDefault);
        break;
      }
    }
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (FDragging || FDragPending) {
    if (FDragging) DragTo(X, Y, dsDragMove);
    EndDrag(FDragging && FDragAccept);
  } else {
    const TGridState state = FGridState;
    FGridState = gsNormal;
    switch (state) {
      case gsSelecting:
        Click();
        break;
      case gsColSizing:
      case gsRowSizing: {
        const bool horz = state == gsColSizing;
        int32_t start = 0;
        if (CellStart(horz, FSizingIndex, start)) {
          const int32_t size = std::max(FSizingPos - start, 1);
          if (horz) SetColWidths(FSizingIndex, size);
          else SetRowHeights(FSizingIndex, size);
        }
        Invalidate();
        break;
      }
      case gsColMoving:
      case gsRowMoving: {
        const bool horz = state == gsColMoving;
        if (FMovePos >= 0 && FMovePos != FMoveIndex) {
          std::vector<int32_t>& sizes = horz ? FColWidths : FRowHeights;
          const int32_t size = sizes[size_t(FMoveIndex)];
          sizes.erase(sizes.begin() + FMoveIndex);
          sizes.insert(sizes.begin() + FMovePos, size);
          if (horz) ColumnMoved(FMoveIndex, FMovePos);
          else RowMoved(FMoveIndex, FMovePos);
        }
        FMoveIndex = FMovePos = -1;
        Invalidate();
        break;
      }
      default:
        break;
    }
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TCustomGrid::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  // A notch moves the view by one row, or by one column when only columns scroll.
  const bool horz = MaxTopLeft(false) <= FFixedRows && MaxTopLeft(true) > FFixedCols;
  const int32_t step = WheelDelta > 0 ? -1 : 1;
  if (horz) SetLeftCol(FTopLeft.X + step);
  else SetTopRow(FTopLeft.Y + step);
  return true;
}

// ---- dragging within the grid ----

void TCustomGrid::BeginDrag(bool Immediate, int32_t Threshold) {
  if (FDragging || FDragPending) return;
  FGridState = gsNormal;
  FDragThreshold = Threshold >= 0 ? Threshold : 5;
  FDragStart = FDragPos;  // where the button went down
  FDragAccept = false;
  SetMouseCapture(true);
  if (Immediate) {
    FDragging = true;
    DragTo(FDragStart.X, FDragStart.Y, dsDragEnter);
  } else {
    FDragPending = true;
  }
}

void TCustomGrid::DragTo(int32_t X, int32_t Y, TDragState State) {
  FDragPos = TPoint{X, Y};
  bool accept = false;
  const TRect client = ClientRect();
  if (X >= client.Left && X < client.Right && Y >= client.Top && Y < client.Bottom && OnDragOver)
    OnDragOver(this, this, X, Y, State, accept);
  FDragAccept = accept;
  if (Screen) Screen->SetCursor(accept ? crDrag : crNoDrop);
}

void TCustomGrid::EndDrag(bool Drop) {
  if (!FDragging && !FDragPending) return;
  const bool wasDragging = FDragging;
  FDragging = FDragPending = false;
  if (Screen) Screen->SetCursor(crDefault);
  if (GetCaptureControl() == this) ReleaseCapture();
  const TPoint p = FDragPos;
  if (wasDragging && Drop && OnDragDrop) OnDragDrop(this, this, p.X, p.Y);
  if (wasDragging && OnEndDrag) OnEndDrag(this, Drop ? this : nullptr, p.X, p.Y);
}

// ---- keys ----

void TCustomGrid::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0) return;
  if (Key == VK_ESCAPE && (FDragging || FDragPending)) {
    EndDrag(false);
    Key = 0;
    return;
  }
  const bool ctrl = Shift.Contains(ssCtrl);
  const bool extend = Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect);
  int32_t col = FCurrent.X, row = FCurrent.Y;
  const int32_t pageRows = std::max(VisibleRowCount(), 1);
  bool handled = true;
  switch (Key) {
    case VK_UP: --row; break;
    case VK_DOWN: ++row; break;
    case VK_LEFT:
      if (FOptions.Contains(goRowSelect)) SetLeftCol(FTopLeft.X - 1);
      else --col;
      break;
    case VK_RIGHT:
      if (FOptions.Contains(goRowSelect)) SetLeftCol(FTopLeft.X + 1);
      else ++col;
      break;
    case VK_PRIOR: row -= pageRows; break;
    case VK_NEXT: row += pageRows; break;
    case VK_HOME:
      col = FFixedCols;
      if (ctrl) row = FFixedRows;
      break;
    case VK_END:
      col = ColCount() - 1;
      if (ctrl) row = RowCount() - 1;
      break;
    case VK_TAB:
      if (!FOptions.Contains(goTabs) || ctrl) {
        handled = false;
        break;
      }
      if (Shift.Contains(ssShift)) {
        if (--col < FFixedCols) {
          col = ColCount() - 1;
          --row;
        }
      } else if (++col >= ColCount()) {
        col = FFixedCols;
        ++row;
      }
      MoveColRow(col, row, true, true);
      Key = 0;
      return;
    case VK_F2:
      if (FOptions.Contains(goEditing)) SetEditorMode(true);
      Key = 0;
      return;
    case VK_RETURN:
      if (!FOptions.Contains(goEditing)) {
        handled = false;
        break;
      }
      SetEditorMode(!FEditorMode || FOptions.Contains(goAlwaysShowEditor));
      Key = 0;
      return;
    case VK_ESCAPE:
      if (!FEditorMode || FOptions.Contains(goAlwaysShowEditor)) {
        handled = false;
        break;
      }
      // The editor goes without handing its text to the cell.
      if (FInplaceEdit) FInplaceEdit->UpdateContents();
      HideEditor();
      Key = 0;
      return;
    default: handled = false; break;
  }
  if (!handled) return;
  if (col != FCurrent.X || row != FCurrent.Y) MoveColRow(col, row, !extend, true);
  Key = 0;
}

void TCustomGrid::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == 0 || !FOptions.Contains(goEditing) || FEditorMode || Key < 32) return;
  // Typing on a cell starts editing it with that character.
  if (!CanEditAcceptKey(Key)) {
    Key = 0;
    return;
  }
  ShowEditor();
  if (FEditorMode && FInplaceEdit) {
    FInplaceEdit->SetText("");
    FInplaceEdit->TypeChar(Key);
  }
  Key = 0;
}

void TCustomGrid::DoEnter() {
  TCustomControl::DoEnter();
  if (FOptions.Contains(goAlwaysShowEditor) && FOptions.Contains(goEditing)) SetEditorMode(true);
  Invalidate();
}

void TCustomGrid::DoExit() {
  TCustomControl::DoExit();
  Invalidate();
}

void TCustomGrid::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FOptions.Contains(goTabs) ? DLGC_WANTTAB : 0) |
                       (FOptions.Contains(goEditing) ? DLGC_WANTALLKEYS : 0);
      return;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      TWMScroll s(Message);
      ScrollMessage(Message.Msg == WM_HSCROLL, s.ScrollCode(), s.Pos());
      return;
    }
    case WM_CANCELMODE:
      if (FDragging || FDragPending) EndDrag(false);
      if (FGridState != gsNormal) {
        FGridState = gsNormal;
        Invalidate();
      }
      TCustomControl::Dispatch(Message);
      return;
    default:
      TCustomControl::Dispatch(Message);
  }
}

// ---- in-place editing ----

bool TCustomGrid::CanEditAcceptKey(char32_t) { return true; }
int32_t TCustomGrid::GetEditLimit() { return 0; }
std::string TCustomGrid::GetEditText(int32_t, int32_t) { return ""; }
void TCustomGrid::SetEditText(int32_t, int32_t, const std::string&) {}

bool TCustomGrid::CanEditShow() {
  return FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect) && FCurrent.X >= FFixedCols &&
         FCurrent.X < ColCount() && FCurrent.Y >= FFixedRows && FCurrent.Y < RowCount() &&
         !ComponentState().Contains(csDesigning) && (FEditorMode || FOptions.Contains(goAlwaysShowEditor));
}

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid::SetEditorMode(bool Value) {
  if (Value) ShowEditor();
  else HideEditor();
}

void TCustomGrid::ShowEditor() {
  if (!FOptions.Contains(goEditing)) return;
  const bool was = FEditorMode;
  FEditorMode = true;
  if (!CanEditShow()) {
    // A refusal switches editing off.
    FEditorMode = false;
    if (FInplaceEdit) FInplaceEdit->Hide();
    return;
  }
  if (!FInplaceEdit) {
    FInplaceEdit = CreateEditor();
    FInplaceEdit->SetParent(this);
  }
  if (!was) FInplaceEdit->UpdateContents();
  MoveEditor();
  Invalidate();
}

void TCustomGrid::HideEditor() {
  if (!FEditorMode) return;
  if (FInplaceEdit) SetEditText(FCurrent.X, FCurrent.Y, FInplaceEdit->Text());
  FEditorMode = false;
  if (FInplaceEdit) FInplaceEdit->Hide();
  Invalidate();
}

void TCustomGrid::UpdateEdit() {
  if (!FEditorMode || !FInplaceEdit) return;
  if (!CanEditShow()) {
    HideEditor();
    return;
  }
  FInplaceEdit->UpdateContents();
  MoveEditor();
}

void TCustomGrid::MoveEditor() {
  if (!FInplaceEdit) return;
  const TRect r = CellRect(FCurrent.X, FCurrent.Y);
  if (!FEditorMode || r.Width() <= 0 || r.Height() <= 0) {
    FInplaceEdit->Hide();
    return;
  }
  const TRect client = ClientRect();
  FInplaceEdit->Move(TRect{r.Left, r.Top, std::min(r.Right, client.Right), std::min(r.Bottom, client.Bottom)});
}

const TPropertyTable& TCustomGrid::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomGrid>(TCustomControl::PropertyTable(), [](auto& p) {
    p.Integer("ColCount", &TCustomGrid::ColCount, &TCustomGrid::SetColCount);
    p.Integer("RowCount", &TCustomGrid::RowCount, &TCustomGrid::SetRowCount);
    p.Integer("FixedCols", &TCustomGrid::FixedCols, &TCustomGrid::SetFixedCols);
    p.Integer("FixedRows", &TCustomGrid::FixedRows, &TCustomGrid::SetFixedRows);
    p.Integer("DefaultColWidth", &TCustomGrid::DefaultColWidth, &TCustomGrid::SetDefaultColWidth);
    p.Integer("DefaultRowHeight", &TCustomGrid::DefaultRowHeight, &TCustomGrid::SetDefaultRowHeight);
    p.Integer("GridLineWidth", &TCustomGrid::GridLineWidth, &TCustomGrid::SetGridLineWidth);
    p.Set("Options", &TCustomGrid::Options, &TCustomGrid::SetOptions,
          {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine", "goRangeSelect", "goDrawFocusSelected",
           "goRowSizing", "goColSizing", "goRowMoving", "goColMoving", "goEditing", "goTabs", "goRowSelect",
           "goAlwaysShowEditor", "goThumbTracking"});
    p.Enum("ScrollBars", &TCustomGrid::ScrollBars, &TCustomGrid::SetScrollBars,
           {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"});
    p.Integer("FixedColor", &TCustomGrid::FixedColor, &TCustomGrid::SetFixedColor);
    p.Bool("DefaultDrawing", &TCustomGrid::DefaultDrawing, &TCustomGrid::SetDefaultDrawing);
  });
  return table;
}

// ---- TDrawGrid ----

TDrawGrid::TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}

void TDrawGrid::DrawCell(int32_t ACol, int32_t ARow, const TRect& ARect, TGridDrawState AState) {
  if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

bool TDrawGrid::SelectCell(int32_t ACol, int32_t ARow) {
  bool can = true;
  if (OnSelectCell) OnSelectCell(this, ACol, ARow, can);
  return can;
}

void TDrawGrid::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  if (OnTopLeftChanged) OnTopLeftChanged(this);
}

void TDrawGrid::ColumnMoved(int32_t FromIndex, int32_t ToIndex) {
  if (OnColumnMoved) OnColumnMoved(this, FromIndex, ToIndex);
}

void TDrawGrid::RowMoved(int32_t FromIndex, int32_t ToIndex) {
  if (OnRowMoved) OnRowMoved(this, FromIndex, ToIndex);
}

std::string TDrawGrid::GetEditText(int32_t ACol, int32_t ARow) {
  std::string v;
  if (OnGetEditText) OnGetEditText(this, ACol, ARow, v);
  return v;
}

void TDrawGrid::SetEditText(int32_t ACol, int32_t ARow, const std::string& Value) {
  if (OnSetEditText) OnSetEditText(this, ACol, ARow, Value);
}

const TPropertyTable& TDrawGrid::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TDrawGrid>(TCustomGrid::PropertyTable(), [](auto& p) {
    p.Method("OnDrawCell").Method("OnSelectCell").Method("OnGetEditText").Method("OnSetEditText");
    p.Method("OnColumnMoved").Method("OnRowMoved").Method("OnTopLeftChanged");
  });
  return table;
}

}  // namespace kv
