// TKvSplitter: a thin bar between two aligned controls of one parent.
// Dragging it resizes the control on its side; a rubber-band line follows the
// mouse, and limits keep both sides visible. Escape cancels a drag.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/ui/panel.h"

namespace kv {

class TCustomForm;

// Asked while dragging and before the drop: the point in the splitter's
// coordinates; clearing Allow refuses the move.
using TSplitterPosChangingEvent = std::function<void(TObject* Sender, int32_t X, int32_t Y, bool& Allow)>;

// The rubber-band line: a strip above the parent's other controls, in the
// inverse of the parent's colour, as an exclusive-or line would show there.
class TKvSplitterLine : public TCustomControl {
 public:
  explicit TKvSplitterLine(TComponent* AOwner);

 protected:
  void Paint() override;
};

class TKvSplitter : public TCustomPanel {
 public:
  explicit TKvSplitter(TComponent* AOwner);
  ~TKvSplitter() override;

  TControl* ControlFirst() const { return FControlFirst; }
  // A form or the splitter itself is refused (the value stays).
  void SetControlFirst(TControl* Value);
  TControl* ControlSecond() const { return FControlSecond; }
  void SetControlSecond(TControl* Value);
  // Top or bottom makes the splitter 3 pixels high, left or right 3 pixels
  // wide; without controls, the control touching it on the aligned side
  // becomes ControlFirst.
  void SetAlign(TAlign Value);
  int32_t TopLeftLimit() const { return FTopLeftLimit; }
  void SetTopLeftLimit(int32_t Value) { FTopLeftLimit = Value; }
  int32_t BottomRightLimit() const { return FBottomRightLimit; }
  void SetBottomRightLimit(int32_t Value) { FBottomRightLimit = Value; }
  // The old single limit: read into both, written from TopLeftLimit.
  int32_t LimitOffset() const { return FTopLeftLimit; }
  void SetLimitOffset(int32_t Value) { FTopLeftLimit = FBottomRightLimit = Value; }

  // 0 none, 1 first control's height, 2 second control's height, 3 first
  // control's width, 4 second control's width.
  int32_t ResizeKind() const;
  bool Dragging() const { return FDragging; }
  // The rubber-band line while dragging, in the parent's client coordinates.
  TRect LineRect() const;
  // Ends a drag; a cancelled one changes nothing.
  void StopSizing(bool Cancelled);

  TSplitterPosChangingEvent OnPosChanging;
  TNotifyEvent OnPosChanged;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Dispatch(TMessage& Message) override;

 private:
  bool Refused(TControl* Value) const;
  void UpdateCursor();
  // Keeps P inside the limits; true when it had to move along the resizing direction.
  bool Limit(TPoint& P) const;
  bool AskPosChanging(TPoint P);
  void PlaceLine(TPoint P);
  int32_t LineThickness() const;

  TControl* FControlFirst = nullptr;
  TControl* FControlSecond = nullptr;
  int32_t FTopLeftLimit = 20;
  int32_t FBottomRightLimit = 20;
  bool FDragging = false;
  int32_t FKind = 0;
  TPoint FDownPos;
  TPoint FLastPos;
  TRect FLimits;
  TKvSplitterLine* FLine = nullptr;
  TWinControl* FBorrowed = nullptr;
  TKeyEvent FBorrowedKeyDown;
  bool FSavedShowHint = true;
};

}  // namespace kv
