// TImagerMView: layout, scroll limits and bars, scrolling, the preparation of
// what the next paint shows, and the window messages.
#include <algorithm>

#include "imaging/views/imager_mview.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"
#include "platform/ui/scrolling.h"

namespace kv {

namespace {
// Showing a scroll bar changes the client area, which may change the need
// for the other bar: a few passes settle it.
constexpr int32_t kMaxLayoutPasses = 9;

int32_t Clamp32(int64_t V) { return static_cast<int32_t>(std::clamp<int64_t>(V, -MaxInt, MaxInt)); }
}  // namespace

int32_t TImagerMView::Columns() const {
  if (FGridWidth != -1) return FGridWidth;
  const int32_t step = FHorizBorder + FThumbWidth;
  return step > 0 ? (ClientWidth() - FHorizBorder) / step : 0;
}

void TImagerMView::LayoutEntries() {
  const int32_t columns = Columns();
  const bool single = FDisplayMode == mdSingle;
  const int64_t stepX = int64_t(FThumbWidth) + FHorizBorder, stepY = int64_t(FThumbHeight) + FVertBorder;
  int32_t c = 0, r = 0;
  int32_t maxX = 0, maxY = 0;
  for (auto& e : FEntries) {
    int64_t x = c * stepX, y = r * stepY;
    if (!single) {
      x += FHorizBorder;
      y += FVertBorder;
    }
    e->X = Clamp32(x);
    e->Y = Clamp32(y);
    e->Row = r;
    e->Col = c;
    maxX = std::max(maxX, e->X);
    maxY = std::max(maxY, e->Y);
    ++c;
    // With 0 columns the counter never matches: all entries form one row.
    if (single || c == columns) {
      c = 0;
      if (!single) ++r;
    }
  }
  FTotalWidth = Clamp32(int64_t(maxX) + FThumbWidth + FHorizBorder);
  FTotalHeight = Clamp32(int64_t(maxY) + FThumbHeight + FVertBorder);
}

void TImagerMView::MaxView(int32_t& MaxX, int32_t& MaxY) const {
  MaxX = std::max(FTotalWidth - ClientWidth(), 0);
  MaxY = std::max(FTotalHeight - ClientHeight(), 0);
}

bool TImagerMView::CanUpdate() const {
  if (FUpdating || FDestroying) return false;
  TComponentState s = ComponentState();
  s.Exclude(csDesigning);
  TComponentState f = ComponentState();
  f.Exclude(csFreeNotification);
  if (!s.Empty() && !f.Empty()) return false;
  return GetParentForm(this) != nullptr || (Parent() && Parent()->HandleAllocated());
}

void TImagerMView::Update() {
  if (!CanUpdate()) return;
  if (ComponentState().Contains(csDesigning)) {
    Invalidate();
    return;
  }
  FUpdating = true;
  try {
    // Preparing may remove corrupt entries, which changes the layout.
    do {
      LayoutEntries();
      for (int32_t pass = 0; pass < kMaxLayoutPasses; ++pass) {
        bool changed = false;
        UpdateBars(changed);
        if (!changed) break;
        LayoutEntries();  // a narrower client may hold fewer columns
      }
    } while (PrepareVisible());
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
  NotifyBitmapChange();
  Invalidate();
}

void TImagerMView::UpdateBars(bool& ClientChanged) {
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  int32_t maxX, maxY;
  MaxView(maxX, maxY);
  if (FViewX > maxX || FViewY > maxY) {
    FViewX = std::min(FViewX, maxX);
    FViewY = std::min(FViewY, maxY);
    ViewChange(0);
  }
  ClientChanged = false;
  if (!HandleAllocated()) return;
  auto bar = [this](int32_t Bar, int32_t Limit, int32_t Client, int32_t Offset, double& Scale) {
    if (Limit <= 0) {
      if (ScrollBarVisible(this, Bar)) ShowScrollBar(this, Bar, false);
      return;
    }
    Scale = (double(Client) + Limit - 1) / 65536.0;
    ShowScaledScrollBar(Bar, Client, Offset, Scale);
  };
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) bar(SB_VERT, maxY, ch, FViewY, FVScale);
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) bar(SB_HORZ, maxX, cw, FViewX, FHScale);
  ClientChanged = ClientWidth() != cw || ClientHeight() != ch;
}

void TImagerMView::SetScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  if (Parent() && HandleAllocated()) {
    if (Value == ssVertical || Value == ssBoth) ShowScrollBar(this, SB_VERT, false);
    if (Value == ssHorizontal || Value == ssBoth) ShowScrollBar(this, SB_HORZ, false);
  }
  Update();
}

void TImagerMView::ViewChange(int32_t Change) {
  if (OnViewChange) OnViewChange(this, Change);
}

// ---- what the next paint needs ----

bool TImagerMView::PrepareVisible() {
  if (FPreparing || FEntries.empty() || FDestroying) return false;
  FPreparing = true;
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  bool removed = false;
  const int32_t shown = FDisplayMode == mdSingle ? std::clamp(FPlayIndex, 0, GetImageCount() - 1) : -1;
  auto prepare = [&](int32_t idx) {
    TIMMImageEntry& e = *FEntries[size_t(idx)];
    const int64_t l = int64_t(e.X) - FViewX, t = int64_t(e.Y) - FViewY;
    if ((shown >= 0 && idx != shown) || l >= cw || t >= ch || l + FThumbWidth <= 0 || t + FThumbHeight <= 0) {
      // Out of view. Pictures within a screen of it stay, so that scrolling
      // back reads no store block; farther ones go: memory stays in step
      // with the screen, whatever the number of entries.
      if (shown >= 0 || l >= 2 * int64_t(cw) || t >= 2 * int64_t(ch) || l + FThumbWidth <= -cw ||
          t + FThumbHeight <= -ch)
        e.Prepared.reset();
      return;
    }
    if (!e.Image && e.LoadState != 2 && (!e.FileName.empty() || (e.ImageID >= 0 && OnImageIDRequest))) {
      const bool failed = e.LoadState == 1 || !LoadEntryImage(idx);
      // A player keeps its frames; corrupt ones then stay empty cells.
      if (failed && FRemoveCorrupted && !FPlaying) {
        DeleteImageNoUpdate(idx);
        removed = true;
        return;
      }
    }
    if (ValidIndex(idx)) PrepareCell(*FEntries[size_t(idx)]);
  };
  try {
    if (FStoreType == imtThumb) {
      // The thumbnails about to be loaded grow the store's file once, not one remapping each.
      int32_t loads = 0;
      for (int32_t i = 0; i < GetImageCount(); ++i) {
        const TIMMImageEntry& e = *FEntries[size_t(i)];
        const int64_t l = int64_t(e.X) - FViewX, t = int64_t(e.Y) - FViewY;
        if (!e.Image && e.LoadState == 0 && !e.FileName.empty() && (shown < 0 || i == shown) && l < cw &&
            t < ch && l + FThumbWidth > 0 && t + FThumbHeight > 0)
          ++loads;
      }
      if (loads > 1) FStore->PrepareSpace(FThumbWidth, FThumbHeight, loads, 24);
    }
    for (int32_t i = 0; i < GetImageCount() && !removed; ++i) prepare(i);
  } catch (...) {
    FPreparing = false;
    throw;
  }
  FPreparing = false;
  return removed;
}

// ---- scrolling ----

void TImagerMView::ScrollBarsToView() {
  if (!HandleAllocated()) return;
  int32_t maxX, maxY;
  MaxView(maxX, maxY);
  if ((FScrollBars == ssHorizontal || FScrollBars == ssBoth) && maxX > 0)
    SetScrollPos(this, SB_HORZ, Trunc32(FViewX / FHScale), true);
  if ((FScrollBars == ssVertical || FScrollBars == ssBoth) && maxY > 0)
    SetScrollPos(this, SB_VERT, Trunc32(FViewY / FVScale), true);
}

void TImagerMView::SetViewX(int32_t v) { SetViewXY(v, FViewY); }
void TImagerMView::SetViewY(int32_t v) { SetViewXY(FViewX, v); }

void TImagerMView::SetViewXY(int32_t x, int32_t y) {
  if (x == FViewX && y == FViewY) return;
  int32_t maxX, maxY;
  MaxView(maxX, maxY);
  FViewX = std::clamp(x, 0, maxX);
  FViewY = std::clamp(y, 0, maxY);
  while (PrepareVisible()) {
    LayoutEntries();
    MaxView(maxX, maxY);
    FViewX = std::clamp(FViewX, 0, maxX);
    FViewY = std::clamp(FViewY, 0, maxY);
  }
  Invalidate();
  ScrollBarsToView();
}

void TImagerMView::ScrollMessage(TMessage& Message, bool Vertical) {
  // A line is one row or column of cells.
  int32_t maxX, maxY;
  MaxView(maxX, maxY);
  const std::optional<int32_t> v =
      Vertical ? ScrollTarget(Message, FVertParams, FViewY, ClientHeight(), FThumbHeight + FVertBorder, 1, maxY,
                              FVScale)
               : ScrollTarget(Message, FHorzParams, FViewX, ClientWidth(), FThumbWidth + FHorizBorder, 1, maxX,
                              FHScale);
  if (!v) return;
  if (Vertical) SetViewY(*v);
  else SetViewX(*v);
}

// ---- geometry of cells ----

int32_t TImagerMView::ImageAtPos(int32_t x, int32_t y) const {
  const int64_t gx = int64_t(x) + FViewX, gy = int64_t(y) + FViewY;
  if (FDisplayMode == mdSingle) {
    if (FEntries.empty() || gx < 0 || gy < 0 || gx >= FThumbWidth || gy >= FThumbHeight) return -1;
    return std::clamp(FPlayIndex, 0, GetImageCount() - 1);
  }
  for (int32_t i = 0; i < GetImageCount(); ++i) {
    const TIMMImageEntry& e = *FEntries[size_t(i)];
    if (gx >= e.X && gx < int64_t(e.X) + FThumbWidth && gy >= e.Y && gy < int64_t(e.Y) + FThumbHeight) return i;
  }
  return -1;
}

int32_t TImagerMView::ImageAtGridPos(int32_t row, int32_t col) const { return col + row * Columns(); }

int32_t TImagerMView::IsImageVisible(int32_t idx) const {
  if (!ValidIndex(idx)) return 0;
  const TIMMImageEntry& e = *FEntries[size_t(idx)];
  const int64_t l = int64_t(e.X) - FViewX, t = int64_t(e.Y) - FViewY;
  const int64_t r = l + FThumbWidth, b = t + FThumbHeight;
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (l >= cw || t >= ch || r <= 0 || b <= 0) return 0;
  if (l >= 0 && t >= 0 && r <= cw && b <= ch) return 2;
  return 1;
}

// ---- messages ----

void TImagerMView::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SIZE:
      TIMView::Dispatch(Message);
      Update();
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;  // painting covers the whole client area
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIMView::Dispatch(Message);
      Invalidate();
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
      TIMView::Dispatch(Message);
      ScrollMessage(Message, Message.Msg == WM_VSCROLL);
      return;
    case WM_MOUSEWHEEL: {
      // One row a notch, whatever the delta.
      const int32_t row = FThumbHeight + FVertBorder;
      SetViewY(Clamp32(int64_t(FViewY) + (TWMMouseWheel(Message).WheelDelta() > 0 ? -row : row)));
      Message.Result = 1;
      return;
    }
    case WM_LBUTTONDBLCLK:
      // The mouse-down that the double-click brings must not select again.
      FDblClicked = true;
      TIMView::Dispatch(Message);
      return;
    case WM_TIMER:
      PlayFrame();
      return;
    case CM_WANTSPECIALKEY: {
      const auto key = static_cast<uint16_t>(Message.WParam);
      if (key >= 33 && key <= 40) {
        Message.Result = 1;
        return;
      }
      TIMView::Dispatch(Message);
      return;
    }
    default:
      TIMView::Dispatch(Message);
  }
}

}  // namespace kv
