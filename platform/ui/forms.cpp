// TCustomForm: a top-level window with show, hide, close and modal runs.
#include "platform/ui/forms.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QWidget>
#include <algorithm>
#include <set>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/mdi_client.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

// Forms waiting for Release to free them; a form freed before that leaves the set.
std::set<TCustomForm*>& PendingRelease() {
  static std::set<TCustomForm*> set;
  return set;
}

}  // namespace

TCustomForm* GetParentForm(const TControl* Control) {
  if (!Control) return nullptr;
  const TControl* c = Control;
  while (c->Parent()) c = c->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TCustomForm* ValidParentForm(const TControl* Control) {
  TCustomForm* f = GetParentForm(Control);
  if (!f) throw EInvalidOperation("Control '" + (Control ? Control->Name() : std::string()) + "' has no parent window");
  return f;
}

TCustomForm::TCustomForm(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FColor = clBtnFace;
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FWidth = 320;
  FHeight = 240;
  Screen->AddForm(this);
}

void* TCustomForm::operator new(std::size_t Size) { return ::operator new(Size); }

void TCustomForm::operator delete(void* Memory) { ::operator delete(Memory); }

void TCustomForm::operator delete(TCustomForm* Form, std::destroying_delete_t) {
  Form->BeforeDestruction();
  void* whole = dynamic_cast<void*>(Form);  // the allocation, whatever the form's place in it
  Form->~TCustomForm();                      // virtual: the most derived destructor runs
  ::operator delete(whole);
}

void TCustomForm::BeforeDestruction() {
  if (FDestroyed) return;
  FDestroyed = true;
  try {
    if (OnDestroy) OnDestroy(this);
  } catch (...) {
    HandleGuardedException(this);
  }
}

TCustomForm::~TCustomForm() {
  // By now only the base parts are left: a form not made with new gets its
  // OnDestroy late rather than never.
  BeforeDestruction();
  Destroying();
  PendingRelease().erase(this);
  Screen->RemoveForm(this);
  DestroyHandle();  // while this is still a form to its peer's events
  // A child leaves its frame; a frame's children outlive it as plain forms.
  if (FMDIFrame) FMDIFrame->DetachMDIChild(this);
  FMDIFrame = nullptr;
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (TCustomForm* f = Screen->Forms(i); f->FMDIFrame == this) f->FMDIFrame = nullptr;
  FMDIChildren.clear();
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (Value == FBorderIcons) return;
  FBorderIcons = Value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (Value == FFormStyle) return;
  FFormStyle = Value;
  RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (Value == FWindowState) return;
  FWindowState = Value;
  if (Peer() && FVisible) UpdatePeer();
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style &= ~(WS_CHILD | WS_CLIPSIBLINGS);
  Params.WndParent = 0;
  switch (FBorderStyle) {
    case bsNone: Params.Style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: Params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION;
      Params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) Params.ExStyle |= WS_EX_TOOLWINDOW;
  if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
    Params.Style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
      if (FBorderIcons.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
      if (FBorderIcons.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd() {
  if (FFormStyle == fsMDIChild) {
    TCustomForm* frame = FMDIFrame ? FMDIFrame : FindMDIFrame();
    if (!frame || frame == this) throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
    frame->HandleNeeded();
    TCustomControl::CreateWnd();
    frame->AttachMDIChild(this);
    if (frame->FMDIClient) frame->FMDIClient->Add(this, Peer()->Widget());
    return;
  }
  TCustomControl::CreateWnd();
  QWidget* w = Peer()->Widget();
  Qt::WindowFlags f;
  switch (FBorderStyle) {
    case bsNone: f = Qt::Window | Qt::FramelessWindowHint; break;
    case bsDialog: f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint; break;
    case bsToolWindow:
    case bsSizeToolWin: f = Qt::Tool; break;
    default:
      f = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      if (FBorderIcons.Contains(biSystemMenu)) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (FBorderIcons.Contains(biMinimize)) f |= Qt::WindowMinimizeButtonHint;
      if (FBorderIcons.Contains(biMaximize) && FBorderStyle == bsSizeable) f |= Qt::WindowMaximizeButtonHint;
      break;
  }
  if (FFormStyle == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
  if (FNoActivate) {
    f |= Qt::WindowDoesNotAcceptFocus;
    w->setAttribute(Qt::WA_ShowWithoutActivating);
  }
  w->setWindowFlags(f);
  w->setWindowTitle(QString::fromStdString(FText));
  if (FFormStyle == fsMDIForm) {
    FMDIClient = std::make_unique<TMDIClient>(this, Peer()->Client());
    const TRect r = MDIClientRect();
    FMDIClient->Area()->setGeometry(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
  }
}

void TCustomForm::DestroyWnd() {
  if (FMDIClient) {
    // The children's sub-windows live in the client area that goes with this window.
    for (int32_t i = 0; i < Screen->FormCount(); ++i)
      if (TCustomForm* f = Screen->Forms(i); f->FMDIFrame == this) f->DestroyHandle();
  }
  TCustomControl::DestroyWnd();
  if (FMDIFrame && FMDIFrame->FMDIClient) FMDIFrame->FMDIClient->Remove(this);
  FMDIClient.reset();
}

void TCustomForm::UpdatePeer() {
  if (!Peer()) return;
  QWidget* w = Peer()->Widget();
  if (FMDIFrame && FMDIFrame->FMDIClient && FMDIFrame->FMDIClient->SubWindowOf(this)) {
    // A child's bounds and state belong to its sub-window.
    w->setEnabled(FEnabled);
    // A released child stays hidden until it is freed.
    const auto& listed = FMDIFrame->FMDIChildren;
    const bool shown = FVisible && std::find(listed.begin(), listed.end(), this) != listed.end();
    FMDIFrame->FMDIClient->PlaceChild(this, FLeft, FTop, FWidth, FHeight, shown);
    return;
  }
  w->setWindowTitle(QString::fromStdString(FText));
  if (FVisible && !w->isVisible() && FWindowState != wsNormal) {
    // Mapped in its final state at once: showing it normal and then changing
    // the state costs the window system a second configure and a round trip.
    w->setWindowState(FWindowState == wsMaximized ? Qt::WindowMaximized : Qt::WindowMinimized);
  }
  TCustomControl::UpdatePeer();
  if (FVisible) {
    switch (FWindowState) {
      case wsMinimized: w->showMinimized(); break;
      case wsMaximized: w->showMaximized(); break;
      default:
        if (w->isMinimized() || w->isMaximized()) w->showNormal();
        break;
    }
  }
}

bool TCustomForm::Showing() const { return FVisible && Peer() != nullptr; }

TPoint TCustomForm::ClientOrigin() const {
  if (Peer()) return TWinControl::ClientOrigin();
  return TPoint{FLeft, FTop};
}

bool TCustomForm::Active() const { return FActive; }

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (FActiveControl == Control) return;
  if (Control && (Control == this || GetParentForm(Control) != this ||
                  (!ComponentState().Contains(csLoading) && FVisible && !Control->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = Control;
  if (Control && FActive) {
    Control->HandleNeeded();
    Control->Peer()->Widget()->setFocus(Qt::OtherFocusReason);
  }
}

void TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (Control == this) return;
  FActiveControl = Control;
  // Every control of the form hears that the focus moved (a label that shows its control's focus).
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
}

void TCustomForm::SetFocus() {
  if (!FVisible || !FEnabled) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  BringToFront();
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::BringToFront() {
  if (!FVisible || !Peer()) return;
  if (FMDIFrame) {
    FMDIFrame->MDIActivate(this);
    return;
  }
  if (FNoActivate) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) Peer()->Widget()->raise();
    return;
  }
  QWidget* w = Peer()->Widget();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();  // it cannot stack windows
  w->activateWindow();
  Activate();
}

void TCustomForm::Activate() {
  if (FActive) return;
  FActive = true;
  if (!FMDIFrame) Screen->SetActiveForm(this);  // a child is active inside its frame only
  if (FActiveControl && FActiveControl->Peer()) FActiveControl->Peer()->Widget()->setFocus(Qt::ActiveWindowFocusReason);
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (!FActive) return;
  FActive = false;
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::ApplyPosition() {
  TRect area = Screen->WorkAreaRect();
  switch (FPosition) {
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* host = FPosition == poMainFormCenter ? (Application ? Application->MainForm() : nullptr)
                                                        : dynamic_cast<TCustomForm*>(Owner());
      if (host && host != this) area = host->BoundsRect();
      [[fallthrough]];
    }
    case poScreenCenter:
    case poDesktopCenter:
      SetBounds(area.Left + (area.Width() - FWidth) / 2, area.Top + (area.Height() - FHeight) / 2, FWidth, FHeight);
      break;
    default:
      break;
  }
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close() {
  if (FFormState.Contains(fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (FFormStyle == fsMDIChild) action = FBorderIcons.Contains(biMinimize) ? caMinimize : caNone;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) Application->Terminate();
  else if (action == caHide) Hide();
  else if (action == caMinimize) SetWindowState(wsMinimized);
  else Release();
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone) FModalResult = mrNone;
    else if (action == caFree) Release();
  } catch (...) {
    FModalResult = mrNone;
    HandleGuardedException(this);
  }
}

void TCustomForm::Release() {
  EnsureQtApplication();
  // A child on its way out no longer counts among its frame's children.
  if (FMDIFrame) {
    if (FMDIFrame->FMDIClient) FMDIFrame->FMDIClient->HideChild(this);
    Deactivate();
    FMDIFrame->DetachMDIChild(this);
  }
  PendingRelease().insert(this);
  TCustomForm* self = this;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [self] {
        if (PendingRelease().erase(self)) delete self;
      },
      Qt::QueuedConnection);
}

TModalResult TCustomForm::ShowModal() {
  if (FVisible || !FEnabled || FFormState.Contains(fsModal))
    throw EInvalidOperation("Cannot make a visible window modal");
  ReleaseCapture();
  FFormState.Include(fsModal);
  FModalResult = mrNone;
  const TCursor savedCursor = Screen->Cursor();
  Screen->SetCursor(crDefault);
  TFormFreeWatch watch(*this);
  auto end = [&] {
    Screen->SetCursor(savedCursor);
    if (!watch.Freed()) FFormState.Exclude(fsModal);
  };
  TModalResult result = mrNone;
  try {
    result = DialogService().RunModal(*this);
  } catch (...) {
    end();
    throw;
  }
  end();
  return result;
}

TFormFreeWatch::TFormFreeWatch(TCustomForm& Form) : TComponent(nullptr), FForm(&Form) { Form.FreeNotification(this); }

TFormFreeWatch::~TFormFreeWatch() {
  if (FForm) FForm->RemoveFreeNotification(this);
}

void TFormFreeWatch::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FForm) FForm = nullptr;
}

void TCustomForm::Paint() {
  TCanvas& c = Canvas();
  c.Brush().SetColor(FColor);
  c.Brush().SetStyle(bsSolid);
  if (!FPaintBuffer || !FPaintBuffer->BackgroundErased) c.FillRect(ClientRect());
  if (OnPaint) OnPaint(this);
}

void TCustomForm::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_ACTIVATE:
      if (LoWord(Message.WParam) == WA_INACTIVE) Deactivate();
      else Activate();
      return;
    case CM_VISIBLECHANGED:
      if (Message.WParam) {
        HandleNeeded();
        ApplyPosition();
        DoShow();
      } else {
        DoHide();
        Deactivate();
        if (Screen->ActiveForm() == this) Screen->SetActiveForm(nullptr);
        // A hidden child hands the activation to the next shown one.
        if (FMDIFrame)
          if (TCustomForm* next = FMDIFrame->ActiveMDIChild(); next && !next->Active()) FMDIFrame->MDIActivate(next);
      }
      return;
    case CM_TEXTCHANGED:
      if (Peer()) Peer()->Widget()->setWindowTitle(QString::fromStdString(FText));
      if (FMDIFrame) UpdatePeer();  // the sub-window carries the title
      return;
    case CM_DIALOGKEY: {
      const uint16_t key = static_cast<uint16_t>(Message.WParam);
      if (key == VK_TAB) {
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        Message.Result = 1;
        return;
      }
      if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
        if (FActiveControl && FActiveControl->Parent()) {
          FActiveControl->Parent()->SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN, false);
          Message.Result = 1;
        }
        return;
      }
      TCustomControl::Dispatch(Message);
      return;
    }
    default:
      TCustomControl::Dispatch(Message);
  }
}

const TPropertyTable& TCustomForm::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomForm>(TWinControl::PropertyTable(), [](auto& p) {
    p.Enum("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
           {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
    p.Set("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
          {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"});
    p.Enum("Position", &TCustomForm::Position, &TCustomForm::SetPosition,
           {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
            "poMainFormCenter", "poOwnerFormCenter"});
    p.Enum("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle,
           {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"});
    p.Enum("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState,
           {"wsNormal", "wsMinimized", "wsMaximized"});
    p.Bool("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview);
    p.Object("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    p.Method("OnCreate").Method("OnShow").Method("OnHide").Method("OnDestroy").Method("OnActivate");
    p.Method("OnDeactivate").Method("OnPaint").Method("OnClose").Method("OnCloseQuery");
  });
  return table;
}

}  // namespace kv
