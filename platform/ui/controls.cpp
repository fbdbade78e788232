// TControl: geometry, visibility, colours, fonts, texts, mouse messages and capture.
#include "platform/ui/controls.h"

#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QWidget>
#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

TControl* GCaptureControl = nullptr;

}  // namespace

// ---- capture and cursor position ----

TControl* GetCaptureControl() { return GCaptureControl; }

void SetCaptureControl(TControl* Control) {
  if (Control == GCaptureControl) return;
  TControl* old = GCaptureControl;
  GCaptureControl = Control;
  if (old) old->Perform(WM_CAPTURECHANGED, 0, 0);
}

void ReleaseCapture() { SetCaptureControl(nullptr); }

TPoint GetCursorPos() {
  if (!QtApplicationExists()) return TPoint{};
  const QPoint p = QCursor::pos();
  return TPoint{p.x(), p.y()};
}

bool CursorMayBeOver(const TControl* Control) {
  if (!Control || !Control->Peer()) return true;  // nothing known: ask the display
  const QWidget* top = Control->Peer()->Widget()->window();
  // Without a display of its own nothing tracks enter and leave.
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) return true;
  return top->underMouse();
}

void SetCursorPos(int32_t X, int32_t Y) {
  EnsureQtApplication();
  QCursor::setPos(X, Y);
}

// ---- TPaintBuffer ----

TPaintBuffer::TPaintBuffer() : Canvas(std::make_unique<TCanvas>(Bitmap)) {}
TPaintBuffer::~TPaintBuffer() = default;

// ---- TControl ----

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  WindowProc = [this](TMessage& Message) { WndProc(Message); };
  FFont.OnChange = [this](TObject*) {
    FParentFont = false;
    Perform(CM_FONTCHANGED);
  };
}

TControl::~TControl() {
  Destroying();
  if (GCaptureControl == this) GCaptureControl = nullptr;
  if (FParent) FParent->RemoveControl(this);
  TControl::DestroyPeer();
  FFont.OnChange = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  const bool sizeChanged = AWidth != FWidth || AHeight != FHeight;
  if (!sizeChanged && ALeft == FLeft && ATop == FTop) return;
  if (sizeChanged && !CanResize(AWidth, AHeight)) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = std::max(AWidth, 0);
  FHeight = std::max(AHeight, 0);
  UpdatePeer();
  if (FParent && !FParent->FAligning) {
    RememberAnchorDistances();
    if (FAlign != alNone) FParent->Realign();
  }
  if (sizeChanged) {
    if (TWinControl* w = dynamic_cast<TWinControl*>(this))
      w->Perform(WM_SIZE, SIZE_RESTORED, static_cast<LPARAM>(MakeLong(ClientWidth(), ClientHeight())));
    else {
      if (FPaintBuffer) Invalidate();
      Resize();
    }
  }
}

void TControl::RememberAnchorDistances() {
  if (!FParent) return;
  const TRect pr = FParent->ClientRect();
  FAnchorRight = pr.Width() - (FLeft + FWidth);
  FAnchorBottom = pr.Height() - (FTop + FHeight);
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  if (FParent) FParent->Realign();
}

void TControl::SetAnchors(TAnchors Value) {
  FAnchors = Value;
  RememberAnchorDistances();
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  VisibleChanging();
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
  if (Value) PeerNeeded();
  UpdatePeer();
  if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::Show() { SetVisible(true); }

void TControl::Hide() { SetVisible(false); }

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED);
  UpdatePeer();
  Invalidate();
}

void TControl::SetColor(TColor Value) {
  FParentColor = false;
  if (Value == FColor) return;
  FColor = Value;
  Perform(CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (Value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent) return;
  SetColor(FParent->Color());
  FParentColor = true;
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (Value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent) return;
  FFont.Assign(FParent->Font());  // raises CM_FONTCHANGED and clears ParentFont
  FParentFont = true;
}

void TControl::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool Value) {
  FParentShowHint = false;
  FShowHint = Value;
}

void TControl::SetParentShowHint(bool Value) {
  FParentShowHint = Value;
  if (Value && FParent) FShowHint = FParent->ShowHint();
}

void TControl::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  if (FPeer) ApplyCursor(FPeer->Client(), Value);
  Perform(CM_CURSORCHANGED);
}

TRect TControl::ClientRect() const { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientSize(int32_t AWidth, int32_t AHeight) {
  const TRect cr = ClientRect();
  SetBounds(FLeft, FTop, FWidth - cr.Width() + AWidth, FHeight - cr.Height() + AHeight);
}

TPoint TControl::ClientOrigin() const {
  if (!FParent) return TPoint{FLeft, FTop};
  const TPoint p = FParent->ClientOrigin();
  return TPoint{p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ClientToScreen(TPoint P) const {
  const TPoint o = ClientOrigin();
  return TPoint{P.X + o.X, P.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const {
  const TPoint o = ClientOrigin();
  return TPoint{P.X - o.X, P.Y - o.Y};
}

void TControl::Invalidate() { InvalidateRect(ClientRect()); }

void TControl::InvalidateRect(const TRect& R) {
  if (FPaintBuffer) {
    TRect& inv = FPaintBuffer->Invalid;
    if (inv.Width() <= 0 || inv.Height() <= 0) inv = R;
    else inv = Rect(std::min(inv.Left, R.Left), std::min(inv.Top, R.Top), std::max(inv.Right, R.Right),
                    std::max(inv.Bottom, R.Bottom));
  }
  if (FPeer) FPeer->Client()->update(QRect(R.Left, R.Top, R.Width(), R.Height()));
}

void TControl::Update() {
  if (FPeer && FPeer->Client()->isVisible()) FPeer->Client()->repaint(FPeer->Client()->rect());
  else PreparePaint();  // hidden: keep the back buffer current all the same
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (FParent) {
    auto& v = FParent->FControls;
    v.erase(std::find(v.begin(), v.end(), this));
    v.push_back(this);
  }
  if (FPeer) FPeer->Widget()->raise();
}

void TControl::SendToBack() {
  if (FParent) {
    auto& v = FParent->FControls;
    v.erase(std::find(v.begin(), v.end(), this));
    v.insert(v.begin(), this);
  }
  if (FPeer) FPeer->Widget()->lower();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  if (WindowProc) WindowProc(m);
  else WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL &&
      Message.Msg != WM_MOUSEHWHEEL) {
    // Without double-click support a second click is a plain button press.
    if (!FControlStyle.Contains(csDoubleClicks)) {
      if (Message.Msg == WM_LBUTTONDBLCLK) Message.Msg = WM_LBUTTONDOWN;
      else if (Message.Msg == WM_RBUTTONDBLCLK) Message.Msg = WM_RBUTTONDOWN;
      else if (Message.Msg == WM_MBUTTONDBLCLK) Message.Msg = WM_MBUTTONDOWN;
    }
    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) FControlState.Include(csLButtonDown);
    else if (Message.Msg == WM_LBUTTONUP) FControlState.Exclude(csLButtonDown);
  }
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      HandleMouseMessage(Message);
      return;
    case WM_MOUSEWHEEL: {
      TWMMouseWheel w(Message);
      TShiftState shift = KeysToShiftState(w.Keys());
      if (DoMouseWheel(shift, w.WheelDelta(), TPoint{w.XPos(), w.YPos()})) Message.Result = 1;
      else DefaultHandler(Message);
      return;
    }
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      return;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (FParentShowHint && FParent) FShowHint = FParent->ShowHint();
      return;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
      Invalidate();
      return;
    default:
      DefaultHandler(Message);
  }
}

namespace {
const TMessage* GReachedDefault = nullptr;
}

// The peer asks whether this very message went unhandled (to pass the wheel to the parent).
bool ReachedDefault(const TMessage& Message) {
  const bool r = GReachedDefault == &Message;
  GReachedDefault = nullptr;
  return r;
}

void TControl::DefaultHandler(TMessage& Message) { GReachedDefault = &Message; }

void TControl::HandleMouseMessage(TMessage& Message) {
  TWMMouse m(Message);
  const TShiftState keys = KeysToShiftState(m.Keys());
  const int32_t x = m.XPos();
  const int32_t y = m.YPos();
  TMouseButton button = mbLeft;
  switch (Message.Msg) {
    case WM_MOUSEMOVE:
      MouseMove(keys, x, y);
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      button = mbRight;
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      button = mbMiddle;
      break;
    default:
      break;
  }
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
      if (button == mbLeft && FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
      MouseDown(button, keys, x, y);
      return;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
      if (button == mbLeft && FControlStyle.Contains(csClickEvents)) DblClick();
      TShiftState s = keys;
      s.Include(ssDouble);
      MouseDown(button, s, x, y);
      return;
    }
    default: {  // button up
      if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
      if (button == mbLeft && FControlState.Contains(csClicked)) {
        FControlState.Exclude(csClicked);
        const TRect cr = ClientRect();
        if (x >= cr.Left && x < cr.Right && y >= cr.Top && y < cr.Bottom) Click();
      }
      MouseUp(button, keys, x, y);
      return;
    }
  }
}

void TControl::SetMouseCapture(bool Value) {
  if (Value) SetCaptureControl(this);
  else if (GCaptureControl == this) SetCaptureControl(nullptr);
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

bool TControl::IsEnabledOnScreen() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FEnabled) return false;
  return Showing();
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  return handled;
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::Changed() { Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this)); }

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

void TControl::PeerNeeded() {
  if (FPeer || !FParent || ComponentState().Contains(csDestroying)) return;
  if (!FParent->HandleAllocated()) return;
  CreatePeer();
  UpdatePeer();
}

void TControl::DestroyPeer() {
  if (!FPeer) return;
  TPeer* p = FPeer;
  FPeer = nullptr;
  TPeer::Dispose(p);
}

void TControl::UpdatePeer() {
  if (!FPeer) return;
  QWidget* w = FPeer->Widget();
  w->setGeometry(FLeft, FTop, FWidth, FHeight);
  w->setEnabled(FEnabled);
  w->setVisible(FVisible);
}

TPaintBuffer* TControl::PreparePaint() {
  if (!FPaintBuffer) return nullptr;
  TPaintBuffer& b = *FPaintBuffer;
  if (b.InPaint) return &b;
  const TRect cr = ClientRect();
  const int32_t oldW = b.Bitmap.Width(), oldH = b.Bitmap.Height();
  if (oldW != cr.Width() || oldH != cr.Height()) {
    b.InPaint = true;  // resizing is no drawing to show
    b.Bitmap.SetSize(cr.Width(), cr.Height());
    b.InPaint = false;
    // The window class asks for a full repaint on resizing; otherwise only
    // the uncovered strips are painted and the rest of the picture stays.
    const auto* w = dynamic_cast<const TWinControl*>(this);
    const bool full = !w || !w->HandleAllocated() ||
                      (w->CurrentParams().WindowClass.style & (CS_HREDRAW | CS_VREDRAW)) || oldW == 0 || oldH == 0;
    // (The paint event in progress covers these; no new one is asked for.)
    auto add = [&b](const TRect& R) {
      TRect& inv = b.Invalid;
      if (inv.Width() <= 0 || inv.Height() <= 0) inv = R;
      else inv = Rect(std::min(inv.Left, R.Left), std::min(inv.Top, R.Top), std::max(inv.Right, R.Right),
                      std::max(inv.Bottom, R.Bottom));
    };
    if (full) add(cr);
    else {
      if (cr.Width() > oldW) add(Rect(oldW, 0, cr.Width(), cr.Height()));
      if (cr.Height() > oldH) add(Rect(0, oldH, cr.Width(), cr.Height()));
    }
  }
  const TRect clip = Rect(std::max(b.Invalid.Left, 0), std::max(b.Invalid.Top, 0),
                          std::min(b.Invalid.Right, cr.Width()), std::min(b.Invalid.Bottom, cr.Height()));
  b.Invalid = TRect{};
  if (clip.Width() <= 0 || clip.Height() <= 0) return &b;
  b.InPaint = true;
  b.Canvas->SetClipRect(clip);
  try {
    // A hook on the control may paint the background (a wallpaper); the
    // control's own painting then leaves the background alone. Both message
    // parameters carry the canvas, as a device context would be passed.
    const auto dc = reinterpret_cast<uintptr_t>(b.Canvas.get());
    b.BackgroundErased = Perform(WM_ERASEBKGND, dc, static_cast<LPARAM>(dc)) != 0;
    DoPaint();
  } catch (...) {
    b.Canvas->ResetClipRect();
    b.InPaint = false;
    throw;
  }
  b.Canvas->ResetClipRect();
  b.InPaint = false;
  return &b;
}

const TPropertyTable& TControl::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TControl>(TComponent::PropertyTable(), [](auto& p) {
    p.Integer("Left", &TControl::Left, &TControl::SetLeft);
    p.Integer("Top", &TControl::Top, &TControl::SetTop);
    p.Integer("Width", &TControl::Width, &TControl::SetWidth);
    p.Integer("Height", &TControl::Height, &TControl::SetHeight);
    p.Enum("Align", &TControl::Align, &TControl::SetAlign,
           {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"});
    p.Set("Anchors", &TControl::Anchors, &TControl::SetAnchors, {"akLeft", "akTop", "akRight", "akBottom"});
    p.Bool("Visible", &TControl::Visible, &TControl::SetVisible);
    p.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled);
    p.Integer("Color", &TControl::Color, &TControl::SetColor);
    p.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor);
    p.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont);
    p.String("Caption", &TControl::Caption, &TControl::SetCaption);
    p.String("Hint", &TControl::Hint, &TControl::SetHint);
    p.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint);
    p.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint);
    p.Integer("Cursor", &TControl::Cursor, &TControl::SetCursor);
    p.Method("OnClick").Method("OnDblClick").Method("OnMouseDown").Method("OnMouseMove").Method("OnMouseUp");
    p.Method("OnResize");
  });
  return table;
}

}  // namespace kv
