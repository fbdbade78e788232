// Forms (top-level windows) and the screen.
//
// A form is a top-level custom control: it paints its background in Color,
// then raises OnPaint, and holds the program's controls in its client area.
// ShowModal runs through the dialog service (dialogs.h), so tests answer a
// modal form by script instead of waiting for a person.
#pragma once
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/ui/controls.h"

namespace kv {

enum TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon, 8>;
enum TPosition : uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
// fsMDIForm: a multiple-document frame whose client area holds the fsMDIChild
// forms as sub-windows. A child needs a frame (the main form, else any
// fsMDIForm) when its window is made.
enum TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
enum TFormStateItem : uint8_t { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TSet<TFormStateItem, 8>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TMenuItem;
class TMDIClient;  // the client area of a multiple-document frame (private to the layer)

class TCustomForm : public TCustomControl {
 public:
  explicit TCustomForm(TComponent* AOwner);
  // Runs OnDestroy when BeforeDestruction has not (a form that was not made with new).
  ~TCustomForm() override;
  // Every delete of a form made with new (by the program, its owner, Release
  // or caFree) calls BeforeDestruction first, while the whole form still exists,
  // and then destroys it.
  void operator delete(TCustomForm* Form, std::destroying_delete_t);
  // The allocation that the delete above pairs with (it releases with the
  // global delete what this took from the global new), and the release of a
  // form whose constructor raised.
  static void* operator new(std::size_t Size);
  static void operator delete(void* Memory);
  // Raises OnDestroy once, before any part of the form is destroyed, so that
  // the handler sees its form's fields.
  virtual void BeforeDestruction();

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value);
  // A form that never takes the activation from another when shown (drag images, pop-up pictures).
  bool NoActivate() const { return FNoActivate; }
  void SetNoActivate(bool Value) { FNoActivate = Value; }
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  TFormState FormState() const { return FFormState; }

  // The control that has (or gets, when the form is activated) the focus.
  TWinControl* ActiveControl() const { return FActiveControl; }
  // Raises EInvalidOperation "Cannot focus a disabled or invisible window"
  // for a control of this form that cannot take the focus while the form is shown.
  void SetActiveControl(TWinControl* Control);
  bool Active() const;

  void Show();
  void Hide();
  // Asks OnCloseQuery, then OnClose decides: caHide hides, caFree frees the
  // form once the current message is done, caMinimize minimises. Closing the
  // main form ends the application.
  void Close();
  bool CloseQuery();
  // Frees the form after the messages queued now have been handled.
  void Release();
  // Shows the form modally and returns its ModalResult when it ends (mrCancel
  // when the form was freed meanwhile); Screen's cursor is crDefault during
  // the run. Raises EInvalidOperation for a visible or disabled form.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // Ends a modal run: the close query and OnClose may keep the form open (ModalResult back to 0).
  void CloseModal();

  void BringToFront();
  void SetFocus() override;

  // ---- multiple-document frame (fsMDIForm) and its children (fsMDIChild) ----
  // The active child (the first shown one in stacking order), or nullptr.
  TCustomForm* ActiveMDIChild() const;
  int32_t MDIChildCount() const { return static_cast<int32_t>(FMDIChildren.size()); }
  // The children in stacking order, the active one first; nullptr out of range.
  TCustomForm* MDIChildren(int32_t Index) const;
  // Arranges the shown, not minimised children side by side / overlapping.
  void Tile();
  void Cascade();
  // Activates the next child; the active one goes to the back.
  void Next();
  // The part of the client area that holds the children: the client area less the aligned bars.
  TRect MDIClientRect() const;
  int32_t MDIClientWidth() const { return MDIClientRect().Width(); }
  int32_t MDIClientHeight() const { return MDIClientRect().Height(); }
  // The frame of a child, or nullptr.
  TCustomForm* MDIFrame() const { return FMDIFrame; }
  // The children in the order they joined the frame (the order of the window list).
  const std::vector<TCustomForm*>& MDIChildrenInCreationOrder() const { return FMDIOrder; }
  // The menu of a frame under which its menu bar lists the shown children, or nullptr.
  TMenuItem* WindowMenu() const { return FWindowMenu; }
  void SetWindowMenu(TMenuItem* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Told by the controls of the form when one of them got the focus.
  void SetFocusedControl(TWinControl* Control);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;
  bool Showing() const override;
  TPoint ClientOrigin() const override;

  // ---- for the layer ----
  // Runs OnCreate; forms made by Application->CreateForm get it after construction.
  void DoCreate();
  void DoShow();
  void DoHide();
  void Activate();
  void Deactivate();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Paint() override;
  virtual void DoClose(TCloseAction& Action);
  void UpdatePeer() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TPosition FPosition = poDesigned;
  TFormStyle FFormStyle = fsNormal;
  TWindowState FWindowState = wsNormal;
  bool FKeyPreview = false;
  bool FNoActivate = false;
  TFormState FFormState;
  TWinControl* FActiveControl = nullptr;
  TModalResult FModalResult = mrNone;
  bool FActive = false;
  bool FDestroyed = false;

 private:
  friend class TMDIClient;
  void ApplyPosition();
  // The frame a new child joins: the main form when it is one, else the first fsMDIForm.
  static TCustomForm* FindMDIFrame();
  void AttachMDIChild(TCustomForm* Child);
  void DetachMDIChild(TCustomForm* Child);
  // Brings a child to the front of the stacking order and moves the activation to it.
  void MDIActivate(TCustomForm* Child);

  std::vector<TCustomForm*> FMDIChildren;  // of a frame, in stacking order
  std::vector<TCustomForm*> FMDIOrder;     // of a frame, in the order they joined
  TMenuItem* FWindowMenu = nullptr;
  TCustomForm* FMDIFrame = nullptr;        // of a child
  std::unique_ptr<TMDIClient> FMDIClient;  // of a frame with a window
  TRect FMDIClientRect{0, 0, 0, 0};
  bool FMDIClientPlaced = false;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// Tells whether a form has been freed meanwhile: a modal run handles messages,
// and one of them may free the form it runs.
class TFormFreeWatch : public TComponent {
 public:
  explicit TFormFreeWatch(TCustomForm& Form);
  ~TFormFreeWatch() override;
  bool Freed() const { return FForm == nullptr; }
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TCustomForm* FForm;
};

// The form that holds a control, or nullptr.
TCustomForm* GetParentForm(const TControl* Control);
// Raises EInvalidOperation "Control '%s' has no parent window" when a control has no form.
TCustomForm* ValidParentForm(const TControl* Control);

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  int32_t Width() const;
  int32_t Height() const;
  TRect WorkAreaRect() const;
  int32_t WorkAreaWidth() const { return WorkAreaRect().Width(); }
  int32_t WorkAreaHeight() const { return WorkAreaRect().Height(); }
  // The screen's logical pixels per inch; tests fix it (0 goes back to the screen's).
  int32_t PixelsPerInch() const;
  void SetPixelsPerInchForTesting(int32_t Value) { FPixelsPerInchOverride = Value; }

  int32_t FormCount() const { return static_cast<int32_t>(FForms.size()); }
  TCustomForm* Forms(int32_t Index) const;
  TCustomForm* ActiveForm() const { return FActiveForm; }
  TWinControl* ActiveControl() const;

  // The cursor shown over every window while not crDefault.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  // Whether a cursor of that id exists (standard or registered through RegisterCursor).
  bool Cursors(TCursor Id) const { return CursorExists(Id); }
  // Installed font families, sorted.
  const TStringList& Fonts();

  // ---- for the layer ----
  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form);

 private:
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
  TCursor FCursor = crDefault;
  int32_t FPixelsPerInchOverride = 0;
  std::unique_ptr<TStringList> FFonts;
};

extern TScreen* Screen;

}  // namespace kv
