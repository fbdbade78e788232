#include "imaging/views/palette_dialog.h"

#include <algorithm>

namespace kv {

TImagerPaletteDialog::TImagerPaletteDialog(TComponent* AOwner) : TForm(AOwner) {
  SetBounds(FLeft, FTop, 539, 199);
  SetCaption("");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetPosition(poScreenCenter);

  FCancelButton = new TButton(this);
  FCancelButton->SetParent(this);
  FCancelButton->SetCaption("&Cancel");
  FCancelButton->SetModalResult(mrCancel);
  FCancelButton->SetCancel(true);
  FCancelButton->SetLeft(8);
  FCancelButton->SetTop(144);
}

TImagerPaletteDialog::~TImagerPaletteDialog() = default;

void TImagerPaletteDialog::SetPalette(const TBGRPixel* Entries, int32_t Count) {
  FCount = Entries ? std::clamp(Count, 0, kMaxEntries) : 0;
  std::copy_n(Entries, FCount, FEntries.begin());
  FCurrent = -1;
  Invalidate();
}

bool TImagerPaletteDialog::Execute() { return ShowModal() == mrOk; }

TRect TImagerPaletteDialog::CellRect(int32_t Index) const {
  return Bounds(Index % kCellsPerRow * kCellSize, Index / kCellsPerRow * kCellSize, kCellSize, kCellSize);
}

int32_t TImagerPaletteDialog::EntryAt(int32_t X, int32_t Y) const {
  if (X < 0 || Y < 0) return -1;
  const int32_t column = X / kCellSize;
  if (column >= kCellsPerRow) return -1;
  const int32_t index = Y / kCellSize * kCellsPerRow + column;
  return index < FCount ? index : -1;
}

void TImagerPaletteDialog::SetCurrent(int32_t Index) {
  if (Index < 0 || Index == FCurrent) return;
  if (FCurrent >= 0) InvalidateRect(CellRect(FCurrent));
  FCurrent = Index;
  InvalidateRect(CellRect(FCurrent));
}

void TImagerPaletteDialog::Paint() {
  TForm::Paint();
  TCanvas& c = Canvas();
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Brush().SetStyle(bsSolid);
  for (int32_t i = 0; i < FCount; ++i) {
    const TBGRPixel& e = FEntries[static_cast<size_t>(i)];
    c.Pen().SetColor(i == FCurrent ? clBlack : clWhite);
    c.Brush().SetColor(static_cast<TColor>(RGB(e.r, e.g, e.b)));
    c.Rectangle(CellRect(i));
  }
}

void TImagerPaletteDialog::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  // The cell under a press counts even when no move came first (a dialog
  // opened under a still mouse).
  SetCurrent(EntryAt(X, Y));
  TForm::MouseDown(Button, Shift, X, Y);
}

void TImagerPaletteDialog::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  SetCurrent(EntryAt(X, Y));
  TForm::MouseMove(Shift, X, Y);
}

void TImagerPaletteDialog::Click() {
  if (FCurrent >= 0) {
    const TBGRPixel& e = FEntries[static_cast<size_t>(FCurrent)];
    FPickedColor = static_cast<TColor>(RGB(e.r, e.g, e.b));
    SetModalResult(mrOk);
  }
  TForm::Click();
}

}  // namespace kv
