// TSpeedbarSetupWindow: the non-modal window in which the user customises a
// speed bar: its sections on the left, the buttons of the chosen section on
// the right, drawn as they look; buttons are dragged from the list onto the bar.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "components/controls/kv_label.h"
#include "components/speedbar/speed_bar.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"
#include "platform/ui/panel.h"

namespace kv {

// A one-column list of rows drawn by its owner, with row selection and a vertical bar.
class TSetupGrid : public TCustomControl {
 public:
  explicit TSetupGrid(TComponent* AOwner);
  int32_t RowCount() const { return FRowCount; }
  void SetRowCount(int32_t Value);
  int32_t DefaultRowHeight() const { return FRowHeight; }
  void SetDefaultRowHeight(int32_t Value);
  int32_t Row() const { return FRow; }
  // Asks OnSelectCell first; returns whether the row was taken.
  bool SetRow(int32_t Value);
  int32_t TopRow() const { return FTopRow; }
  int32_t ColWidth() const { return FColWidth; }
  void SetColWidth(int32_t Value);
  // The row at a client point, -1 below the last.
  int32_t RowAt(int32_t Y) const;
  TRect CellRect(int32_t Row) const;

  std::function<void(TObject* Sender, int32_t Row, const TRect& Rect, bool Selected)> OnDrawCell;
  std::function<void(TObject* Sender, int32_t Row, bool& CanSelect)> OnSelectCell;

  void Dispatch(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  void UpdateBar();
  int32_t FRowCount = 0;
  int32_t FRowHeight = 24;
  int32_t FRow = 0;
  int32_t FTopRow = 0;
  int32_t FColWidth = 64;
};

class TSpeedbarSetupWindow : public TForm {
 public:
  explicit TSpeedbarSetupWindow(TComponent* AOwner);
  ~TSpeedbarSetupWindow() override;

  // Opens (or brings back) the window of a bar; nothing without a bar.
  static TSpeedbarSetupWindow* OpenSetupFor(TSpeedBar* Bar, int32_t HelpContext);
  // The open window of a bar, or nullptr.
  static TSpeedbarSetupWindow* FindFor(TSpeedBar* Bar);

  TSpeedBar* Bar() const { return FBar; }
  void AttachBar(TSpeedBar* Bar);
  int32_t HelpContext() const { return FHelpContext; }
  // The item of the selected section at a row of the button list.
  TSpeedItem* ItemOfRow(int32_t Row) const;
  TBtnControl* DragImage() const { return FDrag.get(); }
  bool DraggingItem() const { return FDragging; }
  // The hint of the selected button shown at the bottom.
  const std::string& CurrentHint() const { return FHint; }

  TPanel* Bevel1;
  TKvLabel* CategoriesLabel;
  TKvLabel* ButtonsLabel;
  TSetupGrid* SectionList;
  TSetupGrid* ButtonsList;
  TKvLabel* HintLabel;
  TButton* CloseBtn;
  TButton* HelpBtn;

  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void DoClose(TCloseAction& Action) override;

 private:
  void DoLayout();
  void RefillLists(bool KeepSection);
  void SectionSelected(int32_t Row);
  void ButtonsMouseDown(TMouseButton Button, int32_t X, int32_t Y);
  void ButtonsMouseMove(int32_t X, int32_t Y);
  void ButtonsMouseUp(TMouseButton Button, int32_t X, int32_t Y);
  void Detach();

  TSpeedBar* FBar = nullptr;
  TButtonImage FPainter;
  std::unique_ptr<TBtnControl> FDrag;
  TSpeedItem* FDragItem = nullptr;
  bool FDragging = false;
  int32_t FHelpContext = 0;
  std::string FHint;
};

}  // namespace kv
