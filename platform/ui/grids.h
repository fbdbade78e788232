// The grid controls of the layer: TCustomGrid lays out columns and rows of
// cells (fixed ones at the top and left that never scroll), keeps a current
// cell and a selection, scrolls with the window's own scroll bars, sizes and
// moves columns and rows with the mouse, and edits a cell in place;
// TDrawGrid leaves the drawing of each cell to its owner.
//
// Counts and sizes come from the program and the user: every read of a
// column or row size goes through a bounds check, so a grid of no rows, or
// of cells wider than the window, paints and scrolls without reading past its
// arrays.
//
// Dragging within the grid: BeginDrag starts a drag with the grid both source
// and target. While it lasts mouse moves ask OnDragOver, the cursor shows
// whether a drop would be taken, and releasing the button drops (OnDragDrop)
// when it would; OnEndDrag follows either way.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/graphics/draw_text.h"
#include "platform/rtl/set.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_beep.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/std_controls.h"

namespace kv {

enum TGridOption : uint8_t {
  goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected, goRowSizing,
  goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect, goAlwaysShowEditor, goThumbTracking
};
using TGridOptions = TSet<TGridOption, 16>;
enum TGridState : uint8_t { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
enum TGridDrawStateItem : uint8_t { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateItem, 8>;
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };

KV_DECLARE_EXCEPTION(EInvalidGridOperation, Exception)

struct TGridCoord {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TGridCoord&) const = default;
};
// Left and Top, Right and Bottom: the corner cells, both included.
using TGridRect = TRect;

class TCustomGrid;

using TDrawCellEvent =
    std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, const TRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, const std::string& Value)>;
using TMovedEvent = std::function<void(TObject* Sender, int32_t FromIndex, int32_t ToIndex)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int32_t X, int32_t Y)>;

// The text editor the grid shows over its current cell. Up, Down, Page Up,
// Page Down, Tab, Enter and Escape belong to the grid.
class TInplaceEdit : public TEdit {
 public:
  explicit TInplaceEdit(TComponent* AOwner);
  ~TInplaceEdit() override;

  TCustomGrid* Grid() const { return FGrid; }
  // The longest text the editor takes; 0: no limit.
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // Room kept free for a button at the right end of the editor.
  int32_t ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int32_t Value);
  // The user typing a character: asks the grid, then inserts it at the end.
  void TypeChar(char32_t Key);
  // Whether the grid lets the editor take a typed character (a refusal beeps).
  virtual bool AcceptChar(char32_t Key);
  // A key before the editor sees it; true when it was used up here.
  virtual bool TakeKey(uint16_t /*Key*/, TShiftState /*Shift*/) { return false; }

  // Shows the editor over a cell rectangle of the grid and focuses it.
  void Move(const TRect& Loc);
  virtual void Hide();
  // Takes the grid's text for its current cell.
  virtual void UpdateContents();
  void Dispatch(TMessage& Message) override;

 protected:
  friend class TCustomGrid;
  void CreateWnd() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DblClick() override;
  void Change() override;
  // Applies the margins: 2 pixels at the left and top, the button's room at the right.
  void UpdateMargins();

  TCustomGrid* FGrid = nullptr;
  int32_t FMaxLength = 0;
  int32_t FButtonWidth = 0;
  TAlignment FAlignment = taLeftJustify;
  bool FChanging = false;
};

class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  int32_t ColCount() const { return int32_t(FColWidths.size()); }
  void SetColCount(int32_t Value);
  int32_t RowCount() const { return int32_t(FRowHeights.size()); }
  void SetRowCount(int32_t Value);
  int32_t FixedCols() const { return FFixedCols; }
  void SetFixedCols(int32_t Value);
  int32_t FixedRows() const { return FFixedRows; }
  void SetFixedRows(int32_t Value);
  int32_t DefaultColWidth() const { return FDefaultColWidth; }
  // Gives every column this width.
  void SetDefaultColWidth(int32_t Value);
  int32_t DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int32_t Value);
  // 0 for an index outside the grid.
  int32_t ColWidths(int32_t Index) const;
  void SetColWidths(int32_t Index, int32_t Value);
  int32_t RowHeights(int32_t Index) const;
  void SetRowHeights(int32_t Index, int32_t Value);
  int32_t GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int32_t Value);
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor Value);
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool Value) { FDefaultDrawing = Value; }

  int32_t Col() const { return FCurrent.X; }
  void SetCol(int32_t Value);
  int32_t Row() const { return FCurrent.Y; }
  void SetRow(int32_t Value);
  TGridRect Selection() const;
  void SetSelection(const TGridRect& Value);
  int32_t LeftCol() const { return FTopLeft.X; }
  void SetLeftCol(int32_t Value);
  int32_t TopRow() const { return FTopLeft.Y; }
  void SetTopRow(int32_t Value);
  // Scrollable columns and rows fully in view (at least 1 while there are any).
  int32_t VisibleColCount() const;
  int32_t VisibleRowCount() const;
  TGridState GridState() const { return FGridState; }

  bool EditorMode() const { return FEditorMode; }
  void SetEditorMode(bool Value);
  TInplaceEdit* InplaceEditor() const { return FInplaceEdit; }
  void ShowEditor();
  void HideEditor();

  // The client rectangle of a cell; empty when it is not in view.
  TRect CellRect(int32_t ACol, int32_t ARow) const;
  // The cell under a client point; -1 for a coordinate outside every cell.
  TGridCoord MouseCoord(int32_t X, int32_t Y) const;
  void MouseToCell(int32_t X, int32_t Y, int32_t& ACol, int32_t& ARow) const;

  // Dragging within the grid (see the top of this file).
  void BeginDrag(bool Immediate, int32_t Threshold = -1);
  void EndDrag(bool Drop);
  bool Dragging() const { return FDragging; }
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

  // ---- what the editor asks ----
  virtual bool CanEditAcceptKey(char32_t Key);
  virtual int32_t GetEditLimit();
  virtual std::string GetEditText(int32_t ACol, int32_t ARow);
  virtual void SetEditText(int32_t ACol, int32_t ARow, const std::string& Value);
  // The editor's text changed.
  virtual void EditorTextChanged() {}
  // Keys the editor hands back to the grid.
  void EditorKeyDown(uint16_t& Key, TShiftState Shift) { KeyDown(Key, Shift); }

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;

  virtual void DrawCell(int32_t ACol, int32_t ARow, const TRect& ARect, TGridDrawState AState) = 0;
  virtual bool SelectCell(int32_t ACol, int32_t ARow);
  virtual void TopLeftChanged();
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  virtual void ColumnMoved(int32_t FromIndex, int32_t ToIndex);
  virtual void RowMoved(int32_t FromIndex, int32_t ToIndex);
  virtual bool CanEditShow();
  virtual bool CanEditModify() { return true; }
  virtual TInplaceEdit* CreateEditor();
  // What would the sizing or moving state be for a press at this point.
  TGridState HitState(int32_t X, int32_t Y, int32_t& Index, int32_t& Pos, int32_t& Offset) const;
  // Whether a fixed cell is drawn pressed: sunken, its content moved by the line width.
  virtual bool CellPressed(int32_t /*ACol*/, int32_t /*ARow*/) const { return false; }
  // Paints a fixed cell's 3-D edge (raised, or sunken when Pressed).
  void PaintFixedEdge(TCanvas& C, const TRect& R, bool Pressed);
  void InvalidateCell(int32_t ACol, int32_t ARow);
  void InvalidateGrid() { Invalidate(); }
  void MoveColRow(int32_t ACol, int32_t ARow, bool MoveAnchor, bool Show);
  // Which column or row lies under client position P along one axis; -1 outside.
  int32_t CellAtPos(bool Horz, int32_t P) const;
  // Where a column or row starts in the client area; false when scrolled out.
  bool CellStart(bool Horz, int32_t Index, int32_t& At) const;
  // The first scrollable index that still lets the last ones fill the view.
  int32_t MaxTopLeft(bool Horz) const;
  void UpdateScrollRange();
  void UpdateEdit();
  void MoveEditor();
  void ScrollMessage(bool Horz, uint16_t Code, int32_t Pos);
  void DragTo(int32_t X, int32_t Y, TDragState State);

  std::vector<int32_t> FColWidths;
  std::vector<int32_t> FRowHeights;
  int32_t FFixedCols = 1;
  int32_t FFixedRows = 1;
  int32_t FDefaultColWidth = 64;
  int32_t FDefaultRowHeight = 24;
  int32_t FGridLineWidth = 1;
  TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TScrollStyle FScrollBars = ssBoth;
  TBorderStyle FBorderStyle = bsSingle;
  TColor FFixedColor = clBtnFace;
  bool FDefaultDrawing = true;
  TGridCoord FCurrent{1, 1};
  TGridCoord FAnchor{1, 1};
  TGridCoord FTopLeft{1, 1};
  TGridState FGridState = gsNormal;
  // Sizing: the column or row, the line's client position and its offset from the pointer.
  int32_t FSizingIndex = -1;
  int32_t FSizingPos = 0;
  int32_t FSizingOfs = 0;
  int32_t FMoveIndex = -1;
  int32_t FMovePos = -1;
  bool FEditorMode = false;
  TInplaceEdit* FInplaceEdit = nullptr;
  bool FDragging = false;
  bool FDragPending = false;
  bool FDragAccept = false;
  TPoint FDragStart;
  TPoint FDragPos;  // the last pointer position seen, in client coordinates
  int32_t FDragThreshold = 5;
  bool FUpdatingBars = false;

 private:
  void ClampCurrent();
  void SetTopLeft(int32_t ALeft, int32_t ATop);
  void ShowCurrent();
  void Sized();
};

class TDrawGrid : public TCustomGrid {
 public:
  explicit TDrawGrid(TComponent* AOwner);

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TGetEditEvent OnGetEditText;
  TSetEditEvent OnSetEditText;
  TMovedEvent OnColumnMoved;
  TMovedEvent OnRowMoved;
  TNotifyEvent OnTopLeftChanged;

  std::string GetEditText(int32_t ACol, int32_t ARow) override;
  void SetEditText(int32_t ACol, int32_t ARow, const std::string& Value) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void DrawCell(int32_t ACol, int32_t ARow, const TRect& ARect, TGridDrawState AState) override;
  bool SelectCell(int32_t ACol, int32_t ARow) override;
  void TopLeftChanged() override;
  void ColumnMoved(int32_t FromIndex, int32_t ToIndex) override;
  void RowMoved(int32_t FromIndex, int32_t ToIndex) override;
};


}  // namespace kv
