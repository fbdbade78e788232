// TButton: the standard push button over a Qt push button.
//
// The caption marks its accelerator with "&" ("&&" is a plain ampersand),
// which is also Qt's mnemonic convention, so Alt with the marked letter
// presses the button. A click comes from the Qt button (mouse, space bar,
// mnemonic) or from Click(); either way a ModalResult other than mrNone is
// given to the parent form first, which ends a modal run, and then OnClick
// runs (it may set the form's ModalResult back).
//
// Enter and Escape reach a form as CM_DIALOGKEY when the focused control does
// not want them. Enter presses the focused button, or the Default button
// while no other button has the focus; Escape presses the Cancel button.
// Dialog keys the form leaves unhandled are offered to its controls in turn.
#pragma once
#include "platform/ui/controls.h"

namespace kv {

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);
  ~TButton() override;

  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }

  // Gives ModalResult (when not mrNone) to the parent form, then runs OnClick.
  void Click() override;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateWnd() override;

 private:
  // Whether Enter presses this button now.
  bool IsActiveDefault() const;
  void UpdateQtButton();

  bool FDefault = false;
  bool FCancel = false;
  TModalResult FModalResult = mrNone;
};

}  // namespace kv
