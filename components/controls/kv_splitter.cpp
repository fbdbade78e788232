// The splitter: resize kind, limits, the rubber-band line and the drop.
#include "components/controls/kv_splitter.h"

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

bool Vertical(TAlign A) { return A == alTop || A == alBottom; }
bool Horizontal(TAlign A) { return A == alLeft || A == alRight; }

}  // namespace

// ---- TKvSplitterLine ----

TKvSplitterLine::TKvSplitterLine(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csOpaque};
  FVisible = false;
}

void TKvSplitterLine::Paint() {
  // White drawn with exclusive-or over the parent's face.
  const TColor back = Parent() ? Parent()->Color() : clBtnFace;
  Canvas().Brush().SetStyle(bsSolid);
  Canvas().Brush().SetColor(TColor(ColorToRGB(back) ^ 0xFFFFFF));
  Canvas().FillRect(ClientRect());
}

// ---- TKvSplitter ----

TKvSplitter::TKvSplitter(TComponent* AOwner) : TCustomPanel(AOwner) {
  FWidth = 185;
  FHeight = 3;
  FCtl3D = false;
  FParentCtl3D = false;
  FBevelOuter = bvNone;
  FLine = new TKvSplitterLine(this);
}

TKvSplitter::~TKvSplitter() {
  Destroying();
  if (FDragging) StopSizing(true);
}

bool TKvSplitter::Refused(TControl* Value) const {
  return Value == this || dynamic_cast<TCustomForm*>(Value) != nullptr;
}

void TKvSplitter::SetControlFirst(TControl* Value) {
  if (Value == FControlFirst || Refused(Value)) return;
  if (FControlFirst) FControlFirst->RemoveFreeNotification(this);
  FControlFirst = Value;
  if (Value) Value->FreeNotification(this);
  UpdateCursor();
}

void TKvSplitter::SetControlSecond(TControl* Value) {
  if (Value == FControlSecond || Refused(Value)) return;
  if (FControlSecond) FControlSecond->RemoveFreeNotification(this);
  FControlSecond = Value;
  if (Value) Value->FreeNotification(this);
  UpdateCursor();
}

void TKvSplitter::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomPanel::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FControlFirst) FControlFirst = nullptr;
  if (AComponent == FControlSecond) FControlSecond = nullptr;
  if (AComponent == FLine) FLine = nullptr;
  if (AComponent == FBorrowed) FBorrowed = nullptr;
}

void TKvSplitter::SetAlign(TAlign Value) {
  TCustomPanel::SetAlign(Value);
  if (!ComponentState().Contains(csLoading)) {
    if (Vertical(Value)) SetHeight(3);
    else if (Horizontal(Value)) SetWidth(3);
  }
  if (!FControlFirst && !FControlSecond && FParent) {
    // The control that touches the splitter on the side it is aligned to.
    for (int32_t i = 0; i < FParent->ControlCount(); ++i) {
      TControl* c = FParent->Controls(i);
      if (c == this || c == FLine || !c->Visible()) continue;
      const bool touches = (Value == alTop && c->Top() + c->Height() == Top()) ||
                           (Value == alBottom && c->Top() == Top() + Height()) ||
                           (Value == alLeft && c->Left() + c->Width() == Left()) ||
                           (Value == alRight && c->Left() == Left() + Width());
      if (touches) {
        SetControlFirst(c);
        break;
      }
    }
  }
  UpdateCursor();
}

int32_t TKvSplitter::ResizeKind() const {
  if (!FControlFirst) return 0;
  const TAlign a1 = FControlFirst->Align();
  const TAlign a2 = FControlSecond ? FControlSecond->Align() : alClient;
  int32_t kind = 0;
  if (Vertical(a1) && a2 == alClient) kind = 1;
  else if (a1 == alClient && FControlSecond && Vertical(a2)) kind = 2;
  else if (Horizontal(a1) && a2 == alClient) kind = 3;
  else if (a1 == alClient && FControlSecond && Horizontal(a2)) kind = 4;
  const TControl* resized = kind == 1 || kind == 3 ? FControlFirst : FControlSecond;
  if (kind != 0 && resized->Align() != Align()) kind = 0;
  return kind;
}

void TKvSplitter::UpdateCursor() {
  const int32_t kind = ResizeKind();
  SetCursor(kind == 1 || kind == 2 ? crVSplit : kind == 3 || kind == 4 ? crHSplit : crDefault);
}

int32_t TKvSplitter::LineThickness() const {
  const int32_t thick = Vertical(Align()) ? Height() : Width();
  return thick >= 4 ? thick - 2 : 2;
}

TRect TKvSplitter::LineRect() const {
  if (!FDragging || !FLine) return TRect{};
  return FLine->BoundsRect();
}

bool TKvSplitter::Limit(TPoint& P) const {
  const TPoint before = P;
  P.X = std::clamp(P.X, FLimits.Left, std::max(FLimits.Left, FLimits.Right));
  P.Y = std::clamp(P.Y, FLimits.Top, std::max(FLimits.Top, FLimits.Bottom));
  return FKind <= 2 ? P.Y != before.Y : P.X != before.X;
}

bool TKvSplitter::AskPosChanging(TPoint P) {
  bool allow = true;
  if (OnPosChanging) OnPosChanging(this, P.X, P.Y, allow);
  return allow;
}

void TKvSplitter::PlaceLine(TPoint P) {
  if (!FLine || !FParent) return;
  // The line runs across the parent at the splitter's middle plus the movement, clipped to the client area.
  const int32_t thick = LineThickness();
  const TRect client = FParent->ClientRect();
  TRect r;
  if (FKind <= 2) {
    const int32_t y = Top() + Height() / 2 + (P.Y - FDownPos.Y) - thick / 2;
    r = TRect{Left(), y, Left() + Width(), y + thick};
  } else {
    const int32_t x = Left() + Width() / 2 + (P.X - FDownPos.X) - thick / 2;
    r = TRect{x, Top(), x + thick, Top() + Height()};
  }
  r.Left = std::max(r.Left, client.Left);
  r.Top = std::max(r.Top, client.Top);
  r.Right = std::min(r.Right, client.Right);
  r.Bottom = std::min(r.Bottom, client.Bottom);
  FLine->SetBoundsRect(r);
  FLine->Invalidate();
}

void TKvSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomPanel::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || ComponentState().Contains(csDesigning) || FDragging) return;
  FKind = ResizeKind();
  if (FKind == 0 || !FParent) return;
  FDragging = true;
  SetMouseCapture(true);
  FSavedShowHint = Application->ShowHint();
  Application->SetShowHint(false);
  // Escape cancels: the focused control's key handler is borrowed for the drag.
  if (TCustomForm* form = GetParentForm(this); form && form->ActiveControl()) {
    FBorrowed = form->ActiveControl();
    FBorrowed->FreeNotification(this);
    FBorrowedKeyDown = FBorrowed->OnKeyDown;
    FBorrowed->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState S) {
      if (Key == VK_ESCAPE) {
        StopSizing(true);
        Key = 0;
      } else if (FBorrowedKeyDown) {
        FBorrowedKeyDown(Sender, Key, S);
      }
    };
  }
  FDownPos = FLastPos = TPoint{X, Y};
  const TRect client = FParent->ClientRect();
  FLimits = TRect{client.Left + FTopLeftLimit - Left(), client.Top + FTopLeftLimit - Top(),
                  client.Right - FBottomRightLimit - Left(), client.Bottom - FBottomRightLimit - Top()};
  if (FLine) {
    FLine->SetParent(FParent);
    FLine->BringToFront();
    PlaceLine(FDownPos);
    FLine->SetVisible(true);
  }
}

void TKvSplitter::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomPanel::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  TPoint p{X, Y};
  const bool allowed = AskPosChanging(p);
  const bool limited = Limit(p);
  SetCursor(limited || !allowed ? crNoDrop : (FKind <= 2 ? crVSplit : crHSplit));
  if (!allowed) return;
  FLastPos = p;
  PlaceLine(p);
}

void TKvSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (FDragging && Button == mbLeft) {
    FLastPos = TPoint{X, Y};
    StopSizing(false);
  }
  TCustomPanel::MouseUp(Button, Shift, X, Y);
}

void TKvSplitter::StopSizing(bool Cancelled) {
  if (!FDragging) return;
  FDragging = false;
  if (GetCaptureControl() == this) ReleaseCapture();
  if (FLine) FLine->SetVisible(false);
  bool applied = false;
  if (!Cancelled && FParent) {
    TPoint p = FLastPos;
    const bool allowed = AskPosChanging(p);
    Limit(p);
    TControl* resized = FKind == 1 || FKind == 3 ? FControlFirst : FControlSecond;
    if (allowed && resized) {
      const bool vert = FKind <= 2;
      int32_t move = vert ? p.Y - FDownPos.Y : p.X - FDownPos.X;
      if (resized->Align() == alBottom || resized->Align() == alRight) move = -move;
      // The free space: the parent's extent less every other control aligned along this axis.
      const TRect client = FParent->ClientRect();
      int32_t free = vert ? client.Height() : client.Width();
      for (int32_t i = 0; i < FParent->ControlCount(); ++i) {
        const TControl* c = FParent->Controls(i);
        if (c == resized || c == FLine || !c->Visible()) continue;
        if (vert ? Vertical(c->Align()) : Horizontal(c->Align())) free -= vert ? c->Height() : c->Width();
      }
      const int32_t old = vert ? resized->Height() : resized->Width();
      const int32_t size = std::max(1, std::min(old + move, free - 3));
      FParent->DisableAlign();
      if (vert) resized->SetHeight(size);
      else resized->SetWidth(size);
      FParent->EnableAlign();
      applied = true;
    }
  }
  Application->SetShowHint(FSavedShowHint);
  if (FBorrowed) {
    FBorrowed->OnKeyDown = FBorrowedKeyDown;
    FBorrowed->RemoveFreeNotification(this);
    FBorrowed = nullptr;
  }
  FBorrowedKeyDown = nullptr;
  UpdateCursor();
  if (applied && OnPosChanged) OnPosChanged(this);
}

void TKvSplitter::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_CANCELMODE) StopSizing(true);
  TCustomPanel::Dispatch(Message);
}

const TPropertyTable& TKvSplitter::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvSplitter>(TCustomPanel::PropertyTable(), [](auto& p) {
    p.Object("ControlFirst", &TKvSplitter::ControlFirst, &TKvSplitter::SetControlFirst);
    p.Object("ControlSecond", &TKvSplitter::ControlSecond, &TKvSplitter::SetControlSecond);
    p.Enum("Align", &TKvSplitter::Align, &TKvSplitter::SetAlign,
           {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"});
    p.Integer("TopLeftLimit", &TKvSplitter::TopLeftLimit, &TKvSplitter::SetTopLeftLimit);
    p.Integer("BottomRightLimit", &TKvSplitter::BottomRightLimit, &TKvSplitter::SetBottomRightLimit);
    p.Integer("LimitOffset", &TKvSplitter::LimitOffset, &TKvSplitter::SetLimitOffset);
    p.Method("OnPosChanging").Method("OnPosChanged");
  });
  return table;
}

}  // namespace kv
