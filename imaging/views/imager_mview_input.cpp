// TImagerMView: selection by mouse and keyboard, and the player.
#include <algorithm>

#include "imaging/views/imager_mview.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {
constexpr int32_t kMinFrameDelay = 10;  // milliseconds; a delay of 0 would spin the timer
}  // namespace

// ---- mouse ----

void TImagerMView::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseDown(Button, Shift, X, Y);
  if (FDblClicked) {
    FDblClicked = false;
    return;
  }
  if (CanFocus()) SetFocus();
  FDownX = X;
  FDownY = Y;
  FDownViewX = FViewX;
  FDownViewY = FViewY;
  FPressedIndex = FLastPassedIndex = ImageAtPos(X, Y);
}

void TImagerMView::DragScroll(int32_t x, int32_t y) {
  SetViewXY(FDownViewX + FDownX - x, FDownViewY + FDownY - y);
}

void TImagerMView::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseMove(Shift, X, Y);
  if (!MouseCapture()) return;
  if (FMouseInteract.Contains(mmiSelect) && FEnableMultiSelect && !FPlaying) {
    const int32_t idx = ImageAtPos(X, Y);
    if (idx != FLastPassedIndex) {
      FLastPassedIndex = idx;
      // A drag selects the range from the pressed image to the one under the mouse.
      DeselectNoUpdate();
      const bool ms = FMultiSelecting, ks = FKeepSelected;
      FMultiSelecting = false;
      SelectNoUpdate(FPressedIndex < 0 ? 0 : FPressedIndex);
      FKeepSelected = true;
      TShiftState range = Shift;
      range.Include(ssShift);
      SelectAtPos(X, Y, range);
      FMultiSelecting = ms;
      FKeepSelected = ks;
    }
  }
  if (FMouseInteract.Contains(mmiScroll)) DragScroll(X, Y);
}

void TImagerMView::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseUp(Button, Shift, X, Y);
  if (FPlaying || Button != mbLeft) return;
  if (FMouseInteract.Contains(mmiSelect)) SelectAtPos(X, Y, Shift);
  if (FMouseInteract.Contains(mmiScroll)) DragScroll(X, Y);
}

void TImagerMView::SelectAtPos(int32_t x, int32_t y, TShiftState Shift) {
  if (FPlaying) return;
  const bool multi = Shift.Contains(ssCtrl) || Shift.Contains(ssShift);
  const int32_t idx = ImageAtPos(x, y);
  if (idx < 0 || (idx == FSelectedImage && !(multi && FEnableMultiSelect))) return;
  const bool saved = FMultiSelecting;
  FMultiSelecting = multi;
  const int32_t c = FSelectedImage;
  if (Shift.Contains(ssShift) && FEnableMultiSelect && c >= 0) {
    auto add = [&](int32_t i) {
      if (i == c || i == idx || !ValidIndex(i)) return;
      if (std::find(FMultiSelectedImages.begin(), FMultiSelectedImages.end(), i) == FMultiSelectedImages.end())
        FMultiSelectedImages.push_back(i);
    };
    if (FMultiSelectionOptions.Contains(immoRegion)) {
      const int32_t r0 = std::min(ImageRow(c), ImageRow(idx)), r1 = std::max(ImageRow(c), ImageRow(idx));
      const int32_t c0 = std::min(ImageCol(c), ImageCol(idx)), c1 = std::max(ImageCol(c), ImageCol(idx));
      for (int32_t r = r0; r <= r1; ++r)
        for (int32_t k = c0; k <= c1; ++k) add(ImageAtGridPos(r, k));
    } else {
      const int32_t step = idx > c ? 1 : -1;
      for (int32_t i = c + step; i != idx; i += step) add(i);
    }
  }
  SelectNoUpdate(idx);
  FMultiSelecting = saved;
  if (FVisibleSelection) Update();
  if (OnImageSelect) OnImageSelect(this, FSelectedImage);
  NotifyBitmapChange();
}

// ---- keyboard ----

void TImagerMView::KeyDown(uint16_t& Key, TShiftState Shift) {
  TIMView::KeyDown(Key, Shift);
  if (FPlaying) return;
  int32_t kind;
  switch (Key) {
    case VK_LEFT: kind = 0; break;
    case VK_RIGHT: kind = 1; break;
    case VK_UP: kind = 2; break;
    case VK_DOWN: kind = 3; break;
    case VK_HOME: kind = 4; break;
    case VK_END: kind = 5; break;
    case VK_NEXT: kind = 6; break;
    case VK_PRIOR: kind = 7; break;
    default: return;
  }
  const bool ms = FMultiSelecting, ks = FKeepSelected;
  if (FEnableMultiSelect && (Shift.Contains(ssCtrl) || Shift.Contains(ssShift))) FMultiSelecting = FKeepSelected = true;
  MoveSelection(kind);
  FMultiSelecting = ms;
  FKeepSelected = ks;
  Update();
}

void TImagerMView::ScrollToTop(int32_t idx) {
  if (!ValidIndex(idx) || IsImageVisible(idx) == 2) return;
  const TIMMImageEntry& e = *FEntries[size_t(idx)];
  SetViewY(e.Y - FVertBorder);
  if (IsImageVisible(idx) != 2) SetViewX(e.X - FHorizBorder);
}

void TImagerMView::ScrollToBottom(int32_t idx) {
  if (!ValidIndex(idx) || IsImageVisible(idx) == 2) return;
  const TIMMImageEntry& e = *FEntries[size_t(idx)];
  SetViewY(e.Y + FThumbHeight + FVertBorder - ClientHeight());
  if (IsImageVisible(idx) != 2) SetViewX(e.X + FThumbWidth + FHorizBorder - ClientWidth());
}

void TImagerMView::MoveSelection(int32_t kind) {
  const int32_t count = GetImageCount();
  if (count == 0) return;
  const int32_t columns = Columns();
  const int32_t rowStep = FVertBorder + FThumbHeight;
  const int32_t page = columns * (rowStep > 0 ? (ClientHeight() - FVertBorder) / rowStep : 0);
  const int32_t cur = FSelectedImage;
  const bool needsSelection = kind == 0 || kind == 2 || kind == 7;
  if (needsSelection && cur < 0) return;
  // Selecting an index out of range leaves the selection as it is.
  switch (kind) {
    case 0:
    case 1: {
      SetSelectedImage(kind == 0 ? cur - 1 : cur + 1);
      const int32_t s = FSelectedImage;
      if (!ValidIndex(s) || IsImageVisible(s) == 2) break;
      const TIMMImageEntry& e = *FEntries[size_t(s)];
      if (kind == 0) SetViewXY(e.X - FHorizBorder, e.Y - FVertBorder);
      else SetViewXY(e.X + FThumbWidth + FHorizBorder - ClientWidth(), e.Y + FThumbHeight + FVertBorder - ClientHeight());
      break;
    }
    case 2:
      SetSelectedImage(FGridWidth != 0 ? std::max(cur - columns, 0) : cur - 1);
      ScrollToTop(FSelectedImage);
      break;
    case 3:
      SetSelectedImage(FGridWidth != 0 ? std::min(cur + columns, count - 1) : cur + 1);
      ScrollToBottom(FSelectedImage);
      break;
    case 4:
      SetSelectedImage(0);
      if (IsImageVisible(FSelectedImage) != 2) SetViewXY(0, 0);
      break;
    case 5:
      SetSelectedImage(count - 1);
      ScrollToBottom(FSelectedImage);
      break;
    case 6:
      SetSelectedImage(cur + page);
      ScrollToBottom(FSelectedImage);
      break;
    case 7:
      SetSelectedImage(cur - page);
      ScrollToTop(FSelectedImage);
      break;
    default:
      break;
  }
}

// ---- player ----

void TImagerMView::SetPlaying(bool Value) {
  if (Value == FPlaying) return;
  if (Value) {
    FSavedDisplayMode = FDisplayMode;
    FSavedSelection = FSelectedImage;
    Deselect();
  }
  FPlaying = Value;
  PlayFrame();
  if (!Value) {
    SetDisplayMode(FSavedDisplayMode);
    SetSelectedImage(FSavedSelection);
  }
}

void TImagerMView::PlayFrame() {
  if (FInPlayFrame || FDestroying) return;
  struct TGuard {
    bool& Flag;
    explicit TGuard(bool& F) : Flag(F) { Flag = true; }
    ~TGuard() { Flag = false; }
  } guard(FInPlayFrame);
  FPlayTimer->SetEnabled(false);
  if (!FPlaying) return;
  if (FDisplayMode != mdSingle) {
    FDisplayMode = mdSingle;
    Update();
  }
  const int32_t count = GetImageCount();
  if (count == 0) return;
  FPlayIndex = std::clamp(FPlayIndex, 0, count - 1);
  PrepareVisible();  // a player keeps its frames: nothing is removed here
  if (FPlayIndex >= GetImageCount()) return;
  const int32_t delay = FEntries[size_t(FPlayIndex)]->DelayTime;
  // Paint now: the next frame's timer starts after this one is on screen.
  Invalidate();
  TWinControl::Update();
  if (FPlayIndex == GetImageCount() - 1) {
    FPlayIndex = 0;  // always looping
    NotifyBitmapChange();
  } else {
    ++FPlayIndex;
  }
  FPlayTimer->SetInterval(static_cast<uint32_t>(std::max(delay, kMinFrameDelay)));
  FPlayTimer->SetEnabled(true);
}

}  // namespace kv
