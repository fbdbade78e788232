// The control framework: TControl, TWinControl, TCustomControl and
// TGraphicControl over Qt widgets.
//
// Every control owns one Qt widget, its peer, made when the control first
// needs it (Handle, being shown, a parent that has its own peer). The peer
// turns Qt's events into window messages and hands them to the control's
// WindowProc (by default WndProc), which dispatches them by number through
// Dispatch to the handlers: mouse messages end in MouseDown / MouseMove /
// MouseUp / Click / DblClick, key messages in KeyDown / KeyUp / KeyPress,
// WM_SIZE in Resize, paint events in Paint. A descendant takes a message
// by overriding Dispatch:
//
//   void TMyView::Dispatch(TMessage& Message) {
//     if (Message.Msg == CM_MOUSEENTER) {
//       TCustomControl::Dispatch(Message);   // the inherited handling
//       if (FOnMouseEnter) FOnMouseEnter(this);
//       return;
//     }
//     TCustomControl::Dispatch(Message);
//   }
//
// Hooks replace WindowProc and call the previous one. Perform sends a message
// straight to WindowProc. Every exception raised by a handler reached from a
// Qt event is caught at the peer and given to Application->HandleException.
//
// Geometry is kept by the control (Left, Top, Width, Height relative to the
// parent's client area) and pushed to the peer. Windowed controls with a
// border or scroll bars have a client area smaller than their bounds; the
// client area is what Paint, mouse coordinates and child controls see.
//
// TGraphicControl has a lightweight peer of its own (a non-native child
// widget of its parent's client area) so that it paints, takes the mouse and
// shows its cursor like any control; it has no Handle and never takes the focus.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/types.h"
#include "platform/rtl/window_owner.h"
#include "platform/ui/cursors.h"
#include "platform/ui/messages.h"

namespace kv {

class TControl;
class TWinControl;
class TCustomForm;
class TPeer;  // the Qt side of a control (private to the layer)

// The off-screen picture of a control that paints itself, and the part of it
// that must be painted again.
struct TPaintBuffer {
  TPaintBuffer();
  ~TPaintBuffer();
  TBitmap Bitmap{0, 0, pf32bit};
  std::unique_ptr<TCanvas> Canvas;
  TRect Invalid;       // empty when the picture is current
  bool InPaint = false;
  bool BackgroundErased = false;  // WM_ERASEBKGND was answered for the paint in progress
};

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind, 8>;

enum TControlStyleItem : uint8_t {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
  csDisplayDragImage, csReflector, csActionClient, csMenuEvents
};
using TControlStyle = TSet<TControlStyleItem, 32>;

enum TControlStateItem : uint8_t {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
  csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking
};
using TControlState = TSet<TControlStateItem, 32>;

// Window frames. Controls use bsNone and bsSingle; forms all of them.
enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TWndMethod = std::function<void(TMessage& Message)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int32_t WheelDelta, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
// The typed character as a code point; a handler that sets it to 0 drops it.
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;

// The control under the mouse capture, or nullptr. Setting it to a control
// sends every mouse message to that control (coordinates in its client area)
// until it is released; the control that loses the capture gets WM_CAPTURECHANGED.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
void ReleaseCapture();
// The mouse position in screen coordinates.
TPoint GetCursorPos();
// False when the pointer is known to be outside the top-level window of the
// control, as the toolkit tracks it from its own events; asking the display
// for the pointer is a round trip, this is not.
bool CursorMayBeOver(const TControl* Control);
void SetCursorPos(int32_t X, int32_t Y);
// The control whose peer has the window id, or nullptr.
TWinControl* FindControl(HWND Handle);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // Moves and sizes the control (negative sizes count as 0), realigns the
  // parent's aligned controls and calls Resize when the size changed.
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  // With akRight or akBottom the control keeps its distance to that edge of
  // the parent when the parent is resized (both of a pair: it stretches).
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show();
  void Hide();
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value) { FFont.Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);

  // Caption and Text are the same text.
  const std::string& Caption() const { return FText; }
  void SetCaption(const std::string& Value) { SetText(Value); }
  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);

  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);

  TCursor Cursor() const { return FCursor; }
  virtual void SetCursor(TCursor Value);

  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }

  // The area that Paint and mouse coordinates see, with (0, 0) at its top-left.
  virtual TRect ClientRect() const;
  int32_t ClientWidth() const { return ClientRect().Width(); }
  int32_t ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int32_t Value) { SetClientSize(Value, ClientHeight()); }
  void SetClientHeight(int32_t Value) { SetClientSize(ClientWidth(), Value); }
  void SetClientSize(int32_t AWidth, int32_t AHeight);
  // Screen position of the client area's top-left.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint P) const;
  TPoint ScreenToClient(TPoint P) const;

  // Marks the whole control (or a client rectangle) for painting in the next paint event.
  virtual void Invalidate();
  void InvalidateRect(const TRect& R);
  // Paints what is invalid now, without waiting for the event loop.
  virtual void Update();
  // Invalidate + Update.
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();

  // Sends a message to WindowProc and returns its Result.
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Runs the handler for Message.Msg; messages nobody takes go to DefaultHandler.
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);
  // Where messages enter; hooks replace it and call what they replaced.
  TWndMethod WindowProc;

  bool MouseCapture() const { return GetCaptureControl() == this; }
  void SetMouseCapture(bool Value);

  // Whether the control and all its parents are visible and the top one is on screen.
  virtual bool Showing() const;
  // Whether this control is visible on screen and enabled (and every parent too).
  bool IsEnabledOnScreen() const;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;

  const TPropertyTable& PropertyTable() const override;

  // ---- for the peer ----
  TPeer* Peer() const { return FPeer; }
  // Creates the peer now when the control can have one (its parent has one).
  virtual void PeerNeeded();
  virtual void DestroyPeer();
  // For controls that paint themselves: brings the back buffer to the client
  // size and runs Paint for its invalid part. Returns the buffer, or nullptr.
  TPaintBuffer* PreparePaint();
  // Runs the control's Paint (TCustomControl, TGraphicControl).
  virtual void DoPaint() {}

 protected:
  virtual void WndProc(TMessage& Message);
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // OnMouseWheel; returns whether the wheel was handled.
  virtual bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos);
  virtual void Click();
  virtual void DblClick();
  virtual void Resize();
  virtual void Changed();
  // Called when Visible, Enabled, Color or Font changed (after the CM_ message).
  virtual void VisibleChanging() {}
  // Lets a descendant refuse or adjust a new size; returns false to refuse.
  virtual bool CanResize(int32_t& /*NewWidth*/, int32_t& /*NewHeight*/) { return true; }
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Peer management: creates the widget (overridden by TWinControl and TGraphicControl).
  virtual void CreatePeer() {}
  void SetPeer(TPeer* APeer) { FPeer = APeer; }
  // Pushes position, size, visibility, enabled state and cursor to the peer.
  virtual void UpdatePeer();
  // Mouse messages and the mouse-capture rules shared by all controls.
  void HandleMouseMessage(TMessage& Message);

  TWinControl* FParent = nullptr;
  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clWindow;
  bool FParentColor = false;
  TFont FFont;
  bool FParentFont = true;
  std::string FText;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState FControlState;
  // Distances to the parent's right and bottom client edges, kept for anchors.
  int32_t FAnchorRight = 0;
  int32_t FAnchorBottom = 0;

 private:
  friend class TWinControl;
  friend class TPeer;
  void ParentFontChanged();
  void ParentColorChanged();
  void RememberAnchorDistances();

  TPeer* FPeer = nullptr;

 protected:
  TPaintBuffer* FPaintBuffer = nullptr;  // set by controls that paint themselves
};

// Window-creation parameters: the style bits decide the frame (WS_BORDER one
// pixel, WS_EX_CLIENTEDGE a sunken two-pixel edge) and WS_HSCROLL /
// WS_VSCROLL the scroll bars shown at creation.
struct TCreateParams {
  std::string Caption;
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  HWND WndParent = 0;
  struct {
    uint32_t style = 0;
  } WindowClass;
  std::string WinClassName;
};

class TWinControl : public TControl, public TWindowOwner {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window id; creates the peer (and those of the parents) when needed.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != 0; }
  HWND ExistingWindow() const override { return FHandle; }
  void HandleNeeded() { Handle(); }
  // Destroys the peer and, when it existed, makes a new one with fresh CreateParams.
  void RecreateWnd();

  int32_t ControlCount() const { return static_cast<int32_t>(FControls.size()); }
  // Child controls in z-order, bottom first. EListError for a bad index.
  TControl* Controls(int32_t Index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(const TControl* Control) const;
  // The visible child under a client point (topmost first), or nullptr.
  TControl* ControlAtPos(TPoint Pos, bool AllowDisabled) const;

  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  // Place among the parent's windowed children in tab order; -1 without parent.
  int32_t TabOrder() const;
  void SetTabOrder(int32_t Value);
  // The windowed children in tab order (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& List) const;
  // Focuses the next (or previous) control after CurControl that can take the focus.
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;

  virtual void SetFocus();
  bool Focused() const;
  virtual bool CanFocus() const;

  bool Showing() const override;
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;

  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  bool ParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool Value);
  int32_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int32_t Value);

  // Aligned children are laid out when alignment is enabled again.
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  void Realign();

  void Invalidate() override;
  void Update() override;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

  // ---- for the peer and the layer ----
  void PeerNeeded() override;
  void DestroyPeer() override;
  // The parameters the peer was made with (valid while HandleAllocated).
  const TCreateParams& CurrentParams() const { return FParams; }
  // Frame width on each side from the current parameters and BorderWidth.
  int32_t FrameWidth() const;

 protected:
  virtual void CreateParams(TCreateParams& Params);
  // CreateHandle makes the peer through CreateWnd and then the children's peers.
  virtual void CreateHandle();
  virtual void CreateWnd();
  virtual void DestroyHandle();
  virtual void DestroyWnd();
  void CreatePeer() override;
  void UpdatePeer() override;

  void WndProc(TMessage& Message) override;
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Lays out the aligned children inside Rect (the client area less BorderWidth).
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  virtual TRect AdjustClientRect() const;

  bool FTabStop = false;
  int32_t FTabOrder = -1;
  bool FCtl3D = true;
  bool FParentCtl3D = true;
  int32_t FBorderWidth = 0;

 private:
  friend class TControl;
  friend class TPeer;
  bool DoKeyDown(TMessage& Message);
  bool DoKeyUp(TMessage& Message);
  bool DoKeyPress(TMessage& Message);
  void AlignChildren();
  void ParentCtl3DChanged();
  void SetFocusedPeer();

  std::vector<TControl*> FControls;      // every child, z-order bottom first
  std::vector<TWinControl*> FTabList;    // windowed children in tab order
  HWND FHandle = 0;
  TCreateParams FParams;
  int32_t FAlignLevel = 0;
  bool FAligning = false;
};

// A windowed control that paints itself: Paint draws on Canvas, which paints
// into an off-screen pf32bit bitmap of the client size; the peer copies that
// bitmap to the screen in its paint events. Drawing on Canvas outside Paint
// lands in the same bitmap and is shown at the next paint event without
// calling Paint again; Invalidate asks for Paint.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  TCanvas& Canvas() { return *FBuffer.Canvas; }
  // The off-screen picture of the client area as last painted.
  const TBitmap& BackBuffer() const { return FBuffer.Bitmap; }

 protected:
  virtual void Paint();
  void DoPaint() override { Paint(); }

 private:
  TPaintBuffer FBuffer;
};

// A control without a window of its own for the program: labels, speed
// buttons, images. Paint draws on Canvas as for TCustomControl.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;

  TCanvas& Canvas() { return *FBuffer.Canvas; }
  const TBitmap& BackBuffer() const { return FBuffer.Bitmap; }

 protected:
  virtual void Paint();
  void DoPaint() override { Paint(); }
  void CreatePeer() override;

 private:
  TPaintBuffer FBuffer;
};

}  // namespace kv
