// Message boxes and modal dialogs. Every one of them, and every
// TCustomForm::ShowModal, goes through one replaceable service: the real one
// shows Qt dialogs; tests install a TScriptedDialogs that answers from a
// queue and records what was shown, so no test ever waits for a person.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/set.h"
#include "platform/ui/messages.h"

namespace kv {

class TCustomForm;

enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint8_t { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn, 16>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline const TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

// The modal result a button gives (mbHelp gives mrNone).
TModalResult ModalResultOf(TMsgDlgBtn Button);

enum TDialogKind : uint8_t { dkMessageDlg, dkMessageBox, dkInputQuery, dkModalForm };

// What was asked of the service.
struct TDialogRequest {
  TDialogKind Kind = dkMessageDlg;
  std::string Text;                 // message, or InputQuery's prompt
  std::string Caption;              // message box and InputQuery caption
  TMsgDlgType Type = mtCustom;      // MessageDlg
  TMsgDlgButtons Buttons;           // MessageDlg
  int32_t HelpCtx = 0;              // MessageDlg
  uint32_t Flags = 0;               // MessageBox: MB_ flags
  std::string Value;                // InputQuery: the value offered
  TCustomForm* Form = nullptr;      // ShowModal
  std::string FormClass;            // ShowModal: the form's class name
};

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // Returns the modal result of the button chosen (mrCancel when the box was closed).
  virtual TModalResult MessageDlg(const TDialogRequest& Request) = 0;
  // Returns IDOK, IDCANCEL, IDYES ...
  virtual int32_t MessageBox(const TDialogRequest& Request) = 0;
  // Returns whether the user confirmed; Value holds the text entered.
  virtual bool InputQuery(const TDialogRequest& Request, std::string& Value) = 0;
  // Shows the form modally (it is hidden on entry) and returns when its
  // ModalResult is set and CloseModal let it end; hides it again. Returns
  // mrCancel without touching the form once something has freed it.
  virtual TModalResult RunModal(TCustomForm& Form) = 0;
};

// The service in use. Setting nullptr goes back to the real one; the caller
// keeps ownership of what it sets and must reset it before freeing it.
// Returns the service set before (nullptr: the real one).
TDialogService& DialogService();
TDialogService* SetDialogService(TDialogService* Service);

TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int32_t HelpCtx);
void ShowMessage(const std::string& Msg);
// Returns whether the user confirmed; Value is changed only then.
bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value);
// The text entered, or Default when cancelled.
std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default);

// Answers dialogs from a queue, first in first out, and records every request.
// A request with no answer queued, or with an answer of the wrong kind, is
// reported through OnUnexpected (by default: a message on stderr and abort,
// so a test can never hang on a dialog) and is then answered with
// mrCancel / IDCANCEL / false.
class TScriptedDialogs : public TDialogService {
 public:
  using TModalScript = std::function<TModalResult(TCustomForm& Form)>;

  // An answer to the next MessageDlg (a modal result) or MessageBox (an ID).
  void Answer(int32_t Result);
  void AnswerInput(bool Ok, const std::string& Value);
  // The script gets the shown form, may set its fields, and returns its
  // modal result (or sets ModalResult itself and returns mrNone).
  void AnswerModal(TModalScript Script);
  std::size_t Pending() const { return FAnswers.size(); }

  std::vector<TDialogRequest> Shown;
  std::function<void(const std::string& Problem)> OnUnexpected;

  TModalResult MessageDlg(const TDialogRequest& Request) override;
  int32_t MessageBox(const TDialogRequest& Request) override;
  bool InputQuery(const TDialogRequest& Request, std::string& Value) override;
  TModalResult RunModal(TCustomForm& Form) override;

 private:
  struct TAnswer {
    explicit TAnswer(TDialogKind K) : Kind(K) {}
    TDialogKind Kind;
    int32_t Result = 0;
    bool Ok = false;
    std::string Value;
    TModalScript Script;
  };
  bool Take(TDialogKind Kind, const TDialogRequest& Request, TAnswer& Out);
  std::deque<TAnswer> FAnswers;
};

// Installs a scripted service for a scope and puts the previous one back.
class TScriptedDialogsScope {
 public:
  TScriptedDialogsScope();
  ~TScriptedDialogsScope();
  TScriptedDialogs& operator*() { return FDialogs; }
  TScriptedDialogs* operator->() { return &FDialogs; }

 private:
  TScriptedDialogs FDialogs;
  TDialogService* FPrevious;
};

}  // namespace kv
