// A window's own scroll bars, kept as the window system keeps them.
#include "platform/ui/scrolling.h"

#include <QtWidgets/QScrollBar>
#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/peer.h"

namespace kv {

namespace {

TScrollPeer* ScrollPeerOf(TWinControl* Control) {
  if (!Control) return nullptr;
  Control->HandleNeeded();
  return dynamic_cast<TScrollPeer*>(Control->Peer());
}

bool ValidBar(int32_t Bar) { return Bar == SB_HORZ || Bar == SB_VERT; }

int32_t MaxPos(const TScrollPeer::TBarState& S) {
  return std::max(S.Min, S.Page > 0 ? S.Max - static_cast<int32_t>(S.Page) + 1 : S.Max);
}

// Showing or hiding a bar changes the client area; the control hears of it as WM_SIZE.
void SetShown(TWinControl* Control, TScrollPeer* Peer, int32_t Bar, bool Show) {
  if (Peer->Bars[Bar].Shown == Show) return;
  Peer->Bars[Bar].Shown = Show;
  Peer->SyncBar(Bar);
  Control->Invalidate();
  Control->Perform(WM_SIZE, SIZE_RESTORED, static_cast<LPARAM>(MakeLong(Control->ClientWidth(), Control->ClientHeight())));
}

}  // namespace

int32_t SetScrollInfo(TWinControl* Control, int32_t Bar, const TScrollInfo& Info, bool /*Redraw*/) {
  TScrollPeer* p = ScrollPeerOf(Control);
  if (!p || !ValidBar(Bar)) return 0;
  TScrollPeer::TBarState& s = p->Bars[Bar];
  if (Info.fMask & SIF_RANGE) {
    s.Min = Info.nMin;
    s.Max = std::max(Info.nMin, Info.nMax);
  }
  if (Info.fMask & SIF_PAGE) s.Page = std::min<uint32_t>(Info.nPage, static_cast<uint32_t>(s.Max - s.Min) + 1);
  if (Info.fMask & SIF_POS) s.Pos = Info.nPos;
  s.Pos = std::clamp(s.Pos, s.Min, MaxPos(s));
  if (Info.fMask & (SIF_RANGE | SIF_PAGE)) {
    const bool scrollable = s.Max > s.Min && (s.Page == 0 || s.Page <= static_cast<uint32_t>(s.Max - s.Min));
    if (scrollable) {
      s.Enabled = true;
      p->SyncBar(Bar);
      SetShown(Control, p, Bar, true);
    } else if (Info.fMask & SIF_DISABLENOSCROLL) {
      s.Enabled = false;
      p->SyncBar(Bar);
      SetShown(Control, p, Bar, true);
    } else {
      p->SyncBar(Bar);
      SetShown(Control, p, Bar, false);
    }
  } else {
    p->SyncBar(Bar);
  }
  return s.Pos;
}

bool GetScrollInfo(TWinControl* Control, int32_t Bar, TScrollInfo& Info) {
  TScrollPeer* p = ScrollPeerOf(Control);
  if (!p || !ValidBar(Bar)) return false;
  const TScrollPeer::TBarState& s = p->Bars[Bar];
  if (Info.fMask & SIF_RANGE) {
    Info.nMin = s.Min;
    Info.nMax = s.Max;
  }
  if (Info.fMask & SIF_PAGE) Info.nPage = s.Page;
  if (Info.fMask & SIF_POS) Info.nPos = s.Pos;
  if (Info.fMask & SIF_TRACKPOS) Info.nTrackPos = p->Bar(Bar)->isSliderDown() ? s.TrackPos : s.Pos;
  return true;
}

int32_t SetScrollPos(TWinControl* Control, int32_t Bar, int32_t Pos, bool Redraw) {
  TScrollPeer* p = ScrollPeerOf(Control);
  if (!p || !ValidBar(Bar)) return 0;
  const int32_t old = p->Bars[Bar].Pos;
  TScrollInfo si;
  si.fMask = SIF_POS;
  si.nPos = Pos;
  SetScrollInfo(Control, Bar, si, Redraw);
  return old;
}

int32_t GetScrollPos(TWinControl* Control, int32_t Bar) {
  TScrollInfo si;
  si.fMask = SIF_POS;
  return GetScrollInfo(Control, Bar, si) ? si.nPos : 0;
}

bool SetScrollRange(TWinControl* Control, int32_t Bar, int32_t Min, int32_t Max, bool Redraw) {
  TScrollInfo si;
  si.fMask = SIF_RANGE;
  si.nMin = Min;
  si.nMax = Max;
  if (!ScrollPeerOf(Control) || !ValidBar(Bar)) return false;
  SetScrollInfo(Control, Bar, si, Redraw);
  return true;
}

bool ShowScrollBar(TWinControl* Control, int32_t Bar, bool Show) {
  TScrollPeer* p = ScrollPeerOf(Control);
  if (!p) return false;
  if (Bar == SB_BOTH) {
    SetShown(Control, p, SB_HORZ, Show);
    SetShown(Control, p, SB_VERT, Show);
    return true;
  }
  if (!ValidBar(Bar)) return false;
  SetShown(Control, p, Bar, Show);
  return true;
}

bool EnableScrollBar(TWinControl* Control, int32_t Bar, uint32_t Arrows) {
  TScrollPeer* p = ScrollPeerOf(Control);
  if (!p) return false;
  for (int32_t b : {SB_HORZ, SB_VERT}) {
    if (Bar != SB_BOTH && Bar != b) continue;
    p->Bars[b].Enabled = Arrows != ESB_DISABLE_BOTH;
    p->SyncBar(b);
  }
  return true;
}

bool ScrollBarVisible(TWinControl* Control, int32_t Bar) {
  TScrollPeer* p = ScrollPeerOf(Control);
  return p && ValidBar(Bar) && p->Bars[Bar].Shown;
}

}  // namespace kv
