// TImagerPaletteDialog: a small form that shows a palette as a grid of
// colour cells and returns the one the user clicks.
#pragma once
#include <array>
#include <cstdint>

#include "imaging/model/pixel.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"

namespace kv {

// Cells of 16 x 16 pixels, 32 to a row, entry i at column i mod 32 and row
// i div 32, each filled with its colour and outlined in black when it is the
// current entry, white otherwise. The mouse over a cell (moving, or pressing
// there) makes its entry current; over no cell the current entry stays. A
// click on the form picks the current entry and ends the dialog with mrOk; a
// click before any entry was current does nothing. "&Cancel" and Escape end
// it with mrCancel.
class TImagerPaletteDialog : public TForm {
 public:
  static constexpr int32_t kCellSize = 16;
  static constexpr int32_t kCellsPerRow = 32;
  // Eight rows fill the space above the button; no palette has more entries.
  static constexpr int32_t kMaxEntries = 256;

  explicit TImagerPaletteDialog(TComponent* AOwner);
  ~TImagerPaletteDialog() override;

  // Copies the entries: Count is clamped to 0..256 (none when Entries is
  // null). No entry is current afterwards.
  void SetPalette(const TBGRPixel* Entries, int32_t Count);
  int32_t EntryCount() const { return FCount; }
  // The current entry, -1 while there is none.
  int32_t Current() const { return FCurrent; }
  // The colour picked by the last click (black before any). This hides the
  // form's background colour, which stays TControl::Color().
  TColor Color() const { return FPickedColor; }
  TButton* CancelButton() const { return FCancelButton; }

  // Shows the dialog modally; true when a colour was picked.
  bool Execute();

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void Click() override;

 private:
  // The entry whose cell holds the client point, or -1.
  int32_t EntryAt(int32_t X, int32_t Y) const;
  TRect CellRect(int32_t Index) const;
  void SetCurrent(int32_t Index);

  std::array<TBGRPixel, kMaxEntries> FEntries{};
  int32_t FCount = 0;
  int32_t FCurrent = -1;
  TColor FPickedColor = clBlack;
  TButton* FCancelButton = nullptr;  // owned by the form
};

}  // namespace kv
