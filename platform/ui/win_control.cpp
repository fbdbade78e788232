// TWinControl: window ids, creation parameters, children, alignment, focus and keys.
#include <QtWidgets/QWidget>
#include <algorithm>
#include <map>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/scrolling.h"

namespace kv {

namespace {

// Never destroyed: forms still alive at exit are freed by the exit handler of
// the Qt application, which may run after this file's statics are gone.
std::map<HWND, TWinControl*>& HandleMap() {
  static auto* map = new std::map<HWND, TWinControl*>;
  return *map;
}
HWND GNextHandle = 0x100;

}  // namespace

TWinControl* FindControl(HWND Handle) {
  auto it = HandleMap().find(Handle);
  return it == HandleMap().end() ? nullptr : it->second;
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  Destroying();
  // Leave the parent while this is still a windowed control (tab list, active control).
  if (FParent) FParent->RemoveControl(this);
  DestroyHandle();
  // A parent frees its children, whoever owns them.
  while (!FControls.empty()) {
    TControl* c = FControls.back();
    RemoveControl(c);
    delete c;
  }
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  if (ComponentState().Contains(csDestroying)) throw EInvalidOperation("Cannot create a window while destroying");
  EnsureQtApplication();
  if (FParent) {
    FParent->HandleNeeded();  // makes this control's window too
    if (FHandle) return;
  }
  FParams = TCreateParams{};
  CreateParams(FParams);
  CreateWnd();
  FHandle = GNextHandle++;
  HandleMap()[FHandle] = this;
  UpdatePeer();
  ApplyCursor(Peer()->Client(), FCursor);
  for (TControl* c : std::vector<TControl*>(FControls)) c->PeerNeeded();
  Perform(WM_SIZE, SIZE_RESTORED, static_cast<LPARAM>(MakeLong(ClientWidth(), ClientHeight())));
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = FText;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FControlStyle.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  if (FParent) Params.WndParent = FParent->HandleAllocated() ? FParent->FHandle : 0;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW;
  if (FControlStyle.Contains(csDoubleClicks)) Params.WindowClass.style |= CS_DBLCLKS;
  Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  QWidget* parent = (FParent && FParent->Peer()) ? FParent->Peer()->Client() : nullptr;
  TPeer* p = FPaintBuffer ? static_cast<TPeer*>(new TScrollPeer(this, parent))
                          : static_cast<TPeer*>(new TWidgetPeer(this, parent));
  SetPeer(p);
  p->ApplyParams(FParams, FBorderWidth);
}

void TWinControl::CreatePeer() { CreateHandle(); }

void TWinControl::PeerNeeded() {
  if (FHandle || !FParent || !FParent->HandleAllocated() || ComponentState().Contains(csDestroying)) return;
  CreateHandle();
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  FControlState.Include(csDestroyingHandle);
  // Hooks on the window procedure learn here that the window goes away.
  Guarded(this, [this] { Perform(WM_DESTROY); });
  for (TControl* c : FControls) c->DestroyPeer();
  DestroyWnd();
  HandleMap().erase(FHandle);
  FHandle = 0;
  FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyWnd() { TControl::DestroyPeer(); }

void TWinControl::DestroyPeer() { DestroyHandle(); }

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  DestroyHandle();
  CreateHandle();
}

void TWinControl::UpdatePeer() {
  if (!Peer()) return;
  QWidget* w = Peer()->Widget();
  if (!FParent && !dynamic_cast<TCustomForm*>(this)) {
    // A windowed control without parent has a window but is never on screen.
    w->setGeometry(FLeft, FTop, FWidth, FHeight);
    w->setEnabled(FEnabled);
    return;
  }
  TControl::UpdatePeer();
}

int32_t TWinControl::FrameWidth() const {
  TCreateParams computed;
  const TCreateParams* p = &FParams;
  if (!FHandle) {
    const_cast<TWinControl*>(this)->CreateParams(computed);
    p = &computed;
  }
  // Top-level windows get their frame from the window manager, outside the bounds.
  if (!(p->Style & WS_CHILD)) return FBorderWidth;
  int32_t f = 0;
  if (p->ExStyle & WS_EX_CLIENTEDGE) f = 2;
  else if (p->Style & WS_BORDER) f = 1;
  return f + FBorderWidth;
}

TRect TWinControl::ClientRect() const {
  const int32_t fw = FrameWidth();
  int32_t w = FWidth - 2 * fw;
  int32_t h = FHeight - 2 * fw;
  if (auto* sp = dynamic_cast<TScrollPeer*>(Peer())) {
    if (sp->Bars[SB_VERT].Shown) w -= sp->BarExtent(SB_VERT);
    if (sp->Bars[SB_HORZ].Shown) h -= sp->BarExtent(SB_HORZ);
    h -= sp->TopMargin;
  }
  return Rect(0, 0, std::max(w, 0), std::max(h, 0));
}

TPoint TWinControl::ClientOrigin() const {
  if (Peer()) {
    const QPoint p = Peer()->Client()->mapToGlobal(QPoint(0, 0));
    return TPoint{p.x(), p.y()};
  }
  const TPoint o = TControl::ClientOrigin();
  const int32_t fw = FrameWidth();
  return TPoint{o.X + fw, o.Y + fw};
}

bool TWinControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TWinControl::Invalidate() { TControl::Invalidate(); }

void TWinControl::Update() { TControl::Update(); }

// ---- children ----

TControl* TWinControl::Controls(int32_t Index) const {
  if (Index < 0 || Index >= ControlCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FControls[static_cast<size_t>(Index)];
}

void TWinControl::InsertControl(TControl* AControl) {
  if (!AControl || AControl->FParent == this) return;
  for (TWinControl* p = this; p; p = p->FParent)
    if (p == AControl) throw EInvalidOperation("A control cannot have itself as its parent");
  if (AControl->FParent) AControl->FParent->RemoveControl(AControl);
  AControl->FParent = this;
  FControls.push_back(AControl);
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) FTabList.push_back(w);
  AControl->Perform(CM_PARENTCOLORCHANGED);
  AControl->Perform(CM_PARENTFONTCHANGED);
  AControl->Perform(CM_PARENTSHOWHINTCHANGED);
  AControl->RememberAnchorDistances();
  if (HandleAllocated()) AControl->PeerNeeded();
  if (AControl->FAlign != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (!AControl || AControl->FParent != this) return;
  if (AControl->MouseCapture()) SetCaptureControl(nullptr);
  if (TCustomForm* f = GetParentForm(this)) {
    if (auto* w = dynamic_cast<TWinControl*>(AControl); w && f->ActiveControl() &&
                                                          (f->ActiveControl() == w || w->ContainsControl(f->ActiveControl())))
      f->SetFocusedControl(nullptr);
  }
  AControl->DestroyPeer();
  FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) FTabList.erase(std::find(FTabList.begin(), FTabList.end(), w));
  AControl->FParent = nullptr;
  if (AControl->FAlign != alNone && !ComponentState().Contains(csDestroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* Control) const {
  for (const TControl* c = Control; c; c = c->FParent)
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!AllowDisabled && !c->Enabled())) continue;
    const TRect r = c->BoundsRect();
    if (Pos.X >= r.Left && Pos.X < r.Right && Pos.Y >= r.Top && Pos.Y < r.Bottom) return c;
  }
  return nullptr;
}

// ---- alignment ----

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0 && --FAlignLevel == 0 && FControlState.Contains(csAlignmentNeeded)) {
    FControlState.Exclude(csAlignmentNeeded);
    AlignChildren();
  }
}

void TWinControl::Realign() {
  if (FAlignLevel > 0) {
    FControlState.Include(csAlignmentNeeded);
    return;
  }
  AlignChildren();
}

void TWinControl::AlignChildren() {
  if (FAligning) return;
  FAligning = true;
  try {
    TRect r = AdjustClientRect();
    AlignControls(nullptr, r);
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}

TRect TWinControl::AdjustClientRect() const { return ClientRect(); }

void TWinControl::AlignControls(TControl* /*AControl*/, TRect& Rect) {
  const int32_t pw = ClientWidth();
  const int32_t ph = ClientHeight();
  for (TControl* c : FControls) {
    if (c->FAlign != alNone || !c->FVisible) continue;
    int32_t l = c->FLeft, t = c->FTop, w = c->FWidth, h = c->FHeight;
    if (c->FAnchors.Contains(akRight)) {
      if (c->FAnchors.Contains(akLeft)) w = pw - c->FAnchorRight - l;
      else l = pw - c->FAnchorRight - w;
    }
    if (c->FAnchors.Contains(akBottom)) {
      if (c->FAnchors.Contains(akTop)) h = ph - c->FAnchorBottom - t;
      else t = ph - c->FAnchorBottom - h;
    }
    c->SetBounds(l, t, w, h);
  }
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : FControls)
      if (c->FAlign == a && c->FVisible) list.push_back(c);
    auto key = [a](const TControl* c) {
      switch (a) {
        case alTop: return c->FTop;
        case alBottom: return -(c->FTop + c->FHeight);
        case alLeft: return c->FLeft;
        case alRight: return -(c->FLeft + c->FWidth);
        default: return 0;
      }
    };
    std::stable_sort(list.begin(), list.end(), [&](const TControl* x, const TControl* y) { return key(x) < key(y); });
    for (TControl* c : list) {
      const int32_t rw = std::max(Rect.Width(), 0);
      const int32_t rh = std::max(Rect.Height(), 0);
      switch (a) {
        case alTop:
          c->SetBounds(Rect.Left, Rect.Top, rw, c->FHeight);
          Rect.Top += c->FHeight;
          break;
        case alBottom:
          c->SetBounds(Rect.Left, Rect.Bottom - c->FHeight, rw, c->FHeight);
          Rect.Bottom -= c->FHeight;
          break;
        case alLeft:
          c->SetBounds(Rect.Left, Rect.Top, c->FWidth, rh);
          Rect.Left += c->FWidth;
          break;
        case alRight:
          c->SetBounds(Rect.Right - c->FWidth, Rect.Top, c->FWidth, rh);
          Rect.Right -= c->FWidth;
          break;
        default:
          c->SetBounds(Rect.Left, Rect.Top, rw, rh);
          break;
      }
    }
  }
}

// ---- tab order and focus ----

int32_t TWinControl::TabOrder() const {
  if (!FParent) return -1;
  const auto& l = FParent->FTabList;
  return static_cast<int32_t>(std::find(l.begin(), l.end(), this) - l.begin());
}

void TWinControl::SetTabOrder(int32_t Value) {
  if (!FParent) return;
  auto& l = FParent->FTabList;
  l.erase(std::find(l.begin(), l.end(), this));
  const int32_t n = static_cast<int32_t>(l.size());
  l.insert(l.begin() + std::clamp(Value, 0, n), this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
  for (TWinControl* c : FTabList) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const int32_t n = static_cast<int32_t>(list.size());
  if (n == 0) return nullptr;
  int32_t start = static_cast<int32_t>(std::find(list.begin(), list.end(), CurControl) - list.begin());
  if (start == n) start = GoForward ? n - 1 : 0;
  int32_t i = start;
  for (int32_t k = 0; k < n; ++k) {
    i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == CurControl) continue;
    if (c->CanFocus() && (!CheckTabStop || c->FTabStop) && (!CheckParent || c->FParent == this)) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* c = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) c->SetFocus();
}

bool TWinControl::CanFocus() const {
  const TCustomForm* form = GetParentForm(this);
  if (!form || !form->Visible() || !form->Enabled()) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm(this); form && form != this) {
    form->SetActiveControl(this);
    return;
  }
  SetFocusedPeer();
}

void TWinControl::SetFocusedPeer() {
  HandleNeeded();
  Peer()->Widget()->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
  if (!Peer()) return false;
  QWidget* w = Peer()->Widget();
  if (w->hasFocus()) return true;
  // Without an active window the widget that will get the focus counts.
  const TCustomForm* form = GetParentForm(this);
  return form && form->ActiveControl() == this && form->Active();
}

void TWinControl::SetCtl3D(bool Value) {
  FParentCtl3D = false;
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  Perform(CM_CTL3DCHANGED);
  for (TControl* c : FControls) c->Perform(CM_PARENTCTL3DCHANGED);
}

void TWinControl::SetParentCtl3D(bool Value) {
  if (Value == FParentCtl3D) return;
  FParentCtl3D = Value;
  if (Value) ParentCtl3DChanged();
}

void TWinControl::ParentCtl3DChanged() {
  if (!FParentCtl3D || !FParent) return;
  SetCtl3D(FParent->Ctl3D());
  FParentCtl3D = true;
}

void TWinControl::SetBorderWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == FBorderWidth) return;
  FBorderWidth = Value;
  if (Peer()) Peer()->ApplyParams(FParams, FBorderWidth);
  Perform(WM_SIZE, SIZE_RESTORED, static_cast<LPARAM>(MakeLong(ClientWidth(), ClientHeight())));
}

// ---- messages ----

void TWinControl::WndProc(TMessage& Message) { TControl::WndProc(Message); }

void TWinControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(Message)) DefaultHandler(Message);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(Message)) DefaultHandler(Message);
      return;
    case WM_CHAR:
    case WM_SYSCHAR:
      if (DoKeyPress(Message)) return;
      // Alt with a character nobody took: the form offers it to its controls'
      // marked characters (labels, tool buttons), as the dialog manager does.
      if (Message.Msg == WM_SYSCHAR)
        if (TCustomForm* form = GetParentForm(this)) {
          if (form->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0) return;
        }
      DefaultHandler(Message);
      return;
    case CM_FOCUSCHANGED: {
      const std::vector<TControl*> children = FControls;  // told in turn; none may answer
      for (TControl* c : children)
        if (std::find(FControls.begin(), FControls.end(), c) != FControls.end())
          c->Perform(CM_FOCUSCHANGED, Message.WParam, Message.LParam);
      return;
    }
    case CM_DIALOGCHAR:
      for (size_t i = 0; i < FControls.size(); ++i) {
        Message.Result = FControls[i]->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam);
        if (Message.Result != 0) return;
      }
      return;
    case WM_SETFOCUS:
      if (TCustomForm* form = GetParentForm(this); form && form != this) form->SetFocusedControl(this);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DoExit();
      return;
    case WM_SIZE:
      Realign();
      if (!ComponentState().Contains(csLoading)) Resize();
      return;
    case CM_PARENTCTL3DCHANGED:
      ParentCtl3DChanged();
      return;
    case CM_COLORCHANGED:
      for (TControl* c : FControls) c->Perform(CM_PARENTCOLORCHANGED);
      Invalidate();
      return;
    case CM_FONTCHANGED:
      for (TControl* c : FControls) c->Perform(CM_PARENTFONTCHANGED);
      Invalidate();
      return;
    case WM_SYSCOLORCHANGE:
      Perform(CM_SYSCOLORCHANGE);
      return;
    case CM_SYSCOLORCHANGE: {
      // Every control below hears it; one may free another on the way.
      const std::vector<TControl*> children = FControls;
      for (TControl* c : children)
        if (std::find(FControls.begin(), FControls.end(), c) != FControls.end()) c->Perform(CM_SYSCOLORCHANGE);
      Invalidate();
      return;
    }
    case CM_DIALOGKEY:
      // Offered to each child in turn; the first that takes it ends the round
      // (a button's click may free controls, so nothing is touched after it).
      for (size_t i = 0; i < FControls.size(); ++i) {
        Message.Result = FControls[i]->Perform(CM_DIALOGKEY, Message.WParam, Message.LParam);
        if (Message.Result != 0) return;
      }
      return;
    default:
      TControl::Dispatch(Message);
  }
}

bool TWinControl::DoKeyDown(TMessage& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyDown(Message)) return true;
  TWMKey k(Message);
  if (FControlStyle.Contains(csNoStdEvents)) return false;
  uint16_t key = k.CharCode();
  KeyDown(key, KeyDataToShiftState(k.KeyData()));
  k.SetCharCode(key);
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyUp(Message)) return true;
  TWMKey k(Message);
  if (FControlStyle.Contains(csNoStdEvents)) return false;
  uint16_t key = k.CharCode();
  KeyUp(key, KeyDataToShiftState(k.KeyData()));
  k.SetCharCode(key);
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyPress(Message)) return true;
  if (FControlStyle.Contains(csNoStdEvents)) return false;
  char32_t ch = static_cast<char32_t>(Message.WParam);
  KeyPress(ch);
  Message.WParam = ch;
  return ch == 0;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char32_t& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

const TPropertyTable& TWinControl::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TWinControl>(TControl::PropertyTable(), [](auto& p) {
    p.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
    p.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder);
    p.Bool("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D);
    p.Bool("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D);
    p.Integer("BorderWidth", &TWinControl::BorderWidth, &TWinControl::SetBorderWidth);
    p.Method("OnKeyDown").Method("OnKeyUp").Method("OnKeyPress").Method("OnEnter").Method("OnExit");
  });
  return table;
}

}  // namespace kv
