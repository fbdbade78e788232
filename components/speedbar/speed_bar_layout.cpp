// The speed bar moved to another edge, resized in customise mode, and its
// layout saved to and restored from the form's store.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "components/draw_utils.h"
#include "components/speedbar/speed_bar.h"
#include "components/str_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

// ---- dragging to an edge ----

TAlign TSpeedBar::TargetEdge(TPoint P) const {
  const int64_t w = std::max(Parent()->ClientWidth(), 1), h = std::max(Parent()->ClientHeight(), 1);
  // The two diagonals cut the parent into four triangles.
  const bool belowFirst = int64_t(P.Y) * w > int64_t(P.X) * h;         // top-left to bottom-right
  const bool belowSecond = int64_t(P.Y) * w > (w - int64_t(P.X)) * h;  // bottom-left to top-right
  if (belowFirst && !belowSecond) return alLeft;
  if (belowFirst && belowSecond) return alBottom;
  if (!belowFirst && !belowSecond) return alTop;
  return alRight;
}

TRect TSpeedBar::FrameFor(TAlign Edge) const {
  TWinControl* p = Parent();
  TRect r = Rect(0, 0, p->ClientWidth(), p->ClientHeight());
  const int32_t thick = Orientation() == boHorizontal ? Height() : Width();
  // What visible aligned siblings before this bar already take.
  for (int32_t i = 0; i < p->ControlCount(); ++i) {
    TControl* c = p->Controls(i);
    if (c == this) break;
    if (!c->Visible()) continue;
    const TAlign a = c->Align();
    if (a == alTop && (Edge == alTop || Edge == alLeft || Edge == alRight)) r.Top += c->Height();
    else if (a == alBottom && (Edge == alBottom || Edge == alLeft || Edge == alRight)) r.Bottom -= c->Height();
    else if (a == alLeft && Edge == alLeft) r.Left += c->Width();
    else if (a == alRight && Edge == alRight) r.Right -= c->Width();
  }
  switch (Edge) {
    case alTop: r.Bottom = r.Top + thick; break;
    case alBottom: r.Top = r.Bottom - thick; break;
    case alLeft: r.Right = r.Left + thick; break;
    default: r.Left = r.Right - thick; break;
  }
  const TPoint o = p->ClientOrigin();
  return Rect(r.Left + o.X, r.Top + o.Y, r.Right + o.X, r.Bottom + o.Y);
}

bool TSpeedBar::InResizeZone(int32_t X, int32_t Y) const {
  const int32_t w = ClientWidth(), h = ClientHeight();
  switch (FAlign) {
    case alTop: return Y >= h - 3 && Y <= h + 4 && X >= 0 && X < w;
    case alBottom: return Y >= -3 && Y <= 4 && X >= 0 && X < w;
    case alLeft: return X >= w - 3 && X <= w + 4 && Y >= 0 && Y < h;
    case alRight: return X >= -3 && X <= 4 && Y >= 0 && Y < h;
    default: return false;
  }
}

void TSpeedBar::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomPanel::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  if (FEditWin && FOptions.Contains(sbAllowResize) && InResizeZone(X, Y)) {
    FResizing = true;
    return;
  }
  if (FOptions.Contains(sbAllowDrag) && Parent() &&
      (FAlign == alTop || FAlign == alBottom || FAlign == alLeft || FAlign == alRight)) {
    FPressed = true;
    FStartDrag = TPoint{X, Y};
  }
}

void TSpeedBar::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomPanel::MouseMove(Shift, X, Y);
  if (FResizing) {
    const int32_t size = Orientation() == boHorizontal ? FButtonSize.Y : FButtonSize.X;
    const int32_t off = Orientation() == boHorizontal ? FOffset.Y : FOffset.X;
    int32_t dist = 0;
    switch (FAlign) {
      case alTop: dist = Y; break;
      case alBottom: dist = ClientHeight() - Y; break;
      case alLeft: dist = X; break;
      default: dist = ClientWidth() - X; break;
    }
    const int32_t rows = std::max(1, std::abs(dist - 2 * off) / std::max(size, 1));
    if (FAlign == alTop || FAlign == alBottom)
      SetHeight(std::min(rows * size + 2 * off, Parent() ? Parent()->ClientHeight() : rows * size + 2 * off));
    else
      SetWidth(std::min(rows * size + 2 * off, Parent() ? Parent()->ClientWidth() : rows * size + 2 * off));
    return;
  }
  if (FEditWin && FOptions.Contains(sbAllowResize) && !FDragging) {
    const bool zone = InResizeZone(X, Y);
    const TCursor want = !zone ? crDefault : (FAlign == alTop || FAlign == alBottom) ? crSizeNS : crSizeWE;
    if (Cursor() != want) SetCursor(want);
  }
  if (!FPressed) return;
  if (!FDragging) {
    if (std::abs(X - FStartDrag.X) < 5 && std::abs(Y - FStartDrag.Y) < 5) return;
    FDragging = true;
    FPrevAlign = FAlign;
    FTargetAlign = FAlign;
    const TPoint o = ClientToScreen(TPoint{0, 0});
    FDragRect = Bounds(o.X, o.Y, Width(), Height());
    DrawXorFrame(FDragRect, 3);
    FFrameShown = true;
    FSavedCursor = Screen->Cursor();
    Screen->SetCursor(crDragHand);
  }
  const TPoint inParent = Parent()->ScreenToClient(ClientToScreen(TPoint{X, Y}));
  TAlign edge = TargetEdge(inParent);
  bool apply = true;
  if (OnApplyAlign) OnApplyAlign(this, edge, apply);
  TRect frame;
  if (apply) {
    FTargetAlign = edge;
    FVetoed = false;
    frame = FrameFor(edge);
  } else {
    FVetoed = true;
    const TPoint o = ClientToScreen(TPoint{0, 0});
    frame = Bounds(o.X, o.Y, Width(), Height());
  }
  if (!(frame == FDragRect)) {
    if (FFrameShown) DrawXorFrame(FDragRect, 3);
    FDragRect = frame;
    DrawXorFrame(FDragRect, 3);
    FFrameShown = true;
  }
}

void TSpeedBar::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomPanel::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FPressed = false;
  if (FResizing) {
    FResizing = false;
    NotifyEditWindow(SBR_CHANGED, this);
    return;
  }
  if (!FDragging) return;
  FDragging = false;
  if (FFrameShown) DrawXorFrame(FDragRect, 3);
  FFrameShown = false;
  Screen->SetCursor(FSavedCursor);
  const TAlign target = FVetoed ? FPrevAlign : FTargetAlign;
  FVetoed = false;
  if (target != FAlign) {
    TWinControl* p = Parent();
    p->DisableAlign();
    try {
      // Docked behind what is already at that edge.
      if (target == alTop) SetTop(0);
      else if (target == alLeft) SetLeft(0);
      else if (target == alBottom) SetTop(p->ClientHeight());
      else if (target == alRight) SetLeft(p->ClientWidth());
      SetAlign(target);
    } catch (...) {
      p->EnableAlign();
      throw;
    }
    p->EnableAlign();
  }
  AlignmentChanged();
}

// ---- persistence ----

std::string TSpeedBar::LayoutSection() const {
  std::string def;
  if (TCustomForm* f = GetParentForm(this)) def = f->ClassName();
  return FIniLink.BaseSection() + def + Name();
}

void TSpeedBar::StoreLayout() {
  TCustomIniFile* ini = FIniLink.StorageObject();
  if (Name().empty() || !ini) return;
  const std::string sect = LayoutSection();
  ini->EraseSection(sect);
  ini->WriteInteger(sect, "Position", static_cast<int32_t>(FAlign));
  if (FAlign == alTop || FAlign == alBottom) ini->WriteInteger(sect, "Width", Height());
  else if (FAlign == alLeft || FAlign == alRight) ini->WriteInteger(sect, "Width", Width());
  ini->WriteInteger(sect, "Version", FVersion);
  ini->WriteInteger(sect, "PixelsPerInch", Screen->PixelsPerInch());
  ini->WriteInteger(sect, "BtnWidth", FButtonSize.X);
  ini->WriteInteger(sect, "BtnHeight", FButtonSize.Y);
  int32_t n = 0;
  for (TSpeedbarSection* s : FSections)
    for (TSpeedItem* it : s->FList)
      if (it->Visible() && it->Stored())
        ini->WriteString(sect, "Button" + IntToStr(++n), Format("%s,%d,%d", it->Name(), it->Left(), it->Top()));
  ini->WriteInteger(sect, "Count", n);
}

void TSpeedBar::LoadLayout() {
  TCustomIniFile* ini = FIniLink.StorageObject();
  if (Name().empty() || !ini) return;
  const std::string sect = LayoutSection();
  const TAlign before = FAlign;
  if (ini->ReadInteger(sect, "Version", FVersion) < FVersion) return;
  if (FOptions.Contains(sbAllowDrag)) {
    const int32_t pos = ini->ReadInteger(sect, "Position", static_cast<int32_t>(FAlign));
    try {
      if (pos < alNone || pos > alCustom) throw ESpeedbarError("Cannot set this property value while Position is bpAuto");
      SetAlign(static_cast<TAlign>(pos));
    } catch (const Exception&) {
      SetAlign(alTop);
    }
  }
  const TCustomForm* ownerForm = dynamic_cast<const TCustomForm*>(Owner());
  const int32_t ppi = ini->ReadInteger(sect, "PixelsPerInch", ownerForm ? Screen->PixelsPerInch() : 0);
  if (ppi != Screen->PixelsPerInch()) {
    // Another resolution: the arrangement stays as built.
    if (FAlign != before) AlignmentChanged();
    return;
  }
  if (FOptions.Contains(sbAllowResize)) {
    // A stored size below one row would leave a bar nobody can see or grab.
    if (FAlign == alTop || FAlign == alBottom)
      SetHeight(std::max(ini->ReadInteger(sect, "Width", Height()), 2 * FOffset.Y + FButtonSize.Y));
    else if (FAlign == alLeft || FAlign == alRight)
      SetWidth(std::max(ini->ReadInteger(sect, "Width", Width()), 2 * FOffset.X + FButtonSize.X));
  }
  if (FAlign != before) AlignmentChanged();
  int32_t count = ini->ReadInteger(sect, "Count", 0);
  if (count > 0) {
    // No more buttons can be listed than the section holds values: a damaged
    // count must not walk through billions of missing entries.
    std::vector<std::string> names;
    ini->ReadSection(sect, names);
    count = std::min<int32_t>(count, static_cast<int32_t>(names.size()));
    ForEachButton([](TSpeedItem* I) { I->SetVisible(false); });
    for (int32_t i = 1; i <= count; ++i) {
      const std::string v = ini->ReadString(sect, "Button" + IntToStr(i), "");
      if (v.empty()) continue;
      TSpeedItem* it = FindItemByName(GetWord(1, v, WordDelims));
      if (!it) continue;
      const int32_t l = std::max(StrToIntDef(GetWord(2, v, WordDelims), it->Left()), FOffset.X);
      const int32_t t = std::max(StrToIntDef(GetWord(3, v, WordDelims), it->Top()), FOffset.Y);
      it->SetBounds(l, t, FButtonSize.X, FButtonSize.Y);
      it->SetVisible(true);
    }
  }
  Invalidate();
}

}  // namespace kv
