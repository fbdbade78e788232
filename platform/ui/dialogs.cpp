// The dialog service: the real one over Qt's dialogs, and the scripted one for tests.
#include "platform/ui/dialogs.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

TModalResult ModalResultOf(TMsgDlgBtn Button) {
  static const TModalResult results[] = {mrYes,   mrNo,     mrOk,  mrCancel,  mrAbort,   mrRetry,
                                         mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};
  return results[Button];
}

namespace {

// Nobody can answer a dialog on a screen nobody sees. Without a display (a
// batch run) the text goes to standard error and the dialog takes its default
// answer: true is returned and the caller answers. On an offscreen platform
// asked for on purpose (the tests) a dialog nobody scripted fails at once
// rather than wait forever.
bool AnswerHeadless(const std::string& Caption, const std::string& What) {
  if (RunningWithoutDisplay()) {
    std::fprintf(stderr, "kavrelin: %s%s%s\n", Caption.c_str(), Caption.empty() ? "" : ": ", What.c_str());
    return true;
  }
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal") {
    std::fprintf(stderr, "kavrelin: a modal dialog was shown with no one to answer it: %s\n", What.c_str());
    std::abort();
  }
  return false;
}

// The button a message dialog puts the focus on: OK, else Yes, else Retry,
// else the first it shows.
TModalResult DefaultDlgResult(TMsgDlgButtons Buttons) {
  for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry})
    if (Buttons.Contains(b)) return ModalResultOf(b);
  for (int b = mbYes; b <= mbHelp; ++b)
    if (Buttons.Contains(static_cast<TMsgDlgBtn>(b))) return ModalResultOf(static_cast<TMsgDlgBtn>(b));
  return mrCancel;
}

// The button MB_DEFBUTTONn picks among those of the box's type (the first
// when there are fewer).
int32_t DefaultBoxResult(uint32_t Flags) {
  std::vector<int32_t> ids;
  switch (Flags & MB_TYPEMASK) {
    case MB_OKCANCEL: ids = {IDOK, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE: ids = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: ids = {IDYES, IDNO, IDCANCEL}; break;
    case MB_YESNO: ids = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: ids = {IDRETRY, IDCANCEL}; break;
    default: ids = {IDOK}; break;
  }
  const size_t n = (Flags >> 8) & 0x0F;
  return ids[n < ids.size() ? n : 0];
}

QMessageBox::Icon IconOf(TMsgDlgType Type) {
  switch (Type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

std::string CaptionOf(TMsgDlgType Type) {
  switch (Type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return Application ? Application->Title() : std::string();
  }
}

QMessageBox::StandardButton StandardOf(TMsgDlgBtn B) {
  switch (B) {
    case mbYes: return QMessageBox::Yes;
    case mbNo: return QMessageBox::No;
    case mbOK: return QMessageBox::Ok;
    case mbCancel: return QMessageBox::Cancel;
    case mbAbort: return QMessageBox::Abort;
    case mbRetry: return QMessageBox::Retry;
    case mbIgnore: return QMessageBox::Ignore;
    case mbNoToAll: return QMessageBox::NoToAll;
    case mbYesToAll: return QMessageBox::YesToAll;
    case mbHelp: return QMessageBox::Help;
    default: return QMessageBox::NoButton;
  }
}

class TQtDialogs : public TDialogService {
 public:
  TModalResult MessageDlg(const TDialogRequest& R) override {
    EnsureQtApplication();
    if (AnswerHeadless(CaptionOf(R.Type), R.Text)) return DefaultDlgResult(R.Buttons);
    QMessageBox box(IconOf(R.Type), QString::fromStdString(CaptionOf(R.Type)), QString::fromStdString(R.Text));
    std::vector<std::pair<QAbstractButton*, TModalResult>> map;
    for (int b = mbYes; b <= mbHelp; ++b) {
      const auto btn = static_cast<TMsgDlgBtn>(b);
      if (!R.Buttons.Contains(btn)) continue;
      QAbstractButton* qb = btn == mbAll ? box.addButton(QStringLiteral("All"), QMessageBox::AcceptRole)
                                         : box.addButton(StandardOf(btn));
      map.emplace_back(qb, ModalResultOf(btn));
    }
    box.exec();
    for (auto& [qb, result] : map)
      if (box.clickedButton() == qb) return result;
    return mrCancel;
  }

  int32_t MessageBox(const TDialogRequest& R) override {
    EnsureQtApplication();
    if (AnswerHeadless(R.Caption, R.Text)) return DefaultBoxResult(R.Flags);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (R.Flags & MB_ICONMASK) {
      case MB_ICONHAND: icon = QMessageBox::Critical; break;
      case MB_ICONQUESTION: icon = QMessageBox::Question; break;
      case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
      case MB_ICONASTERISK: icon = QMessageBox::Information; break;
      default: break;
    }
    QMessageBox::StandardButtons buttons;
    switch (R.Flags & MB_TYPEMASK) {
      case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
      case MB_ABORTRETRYIGNORE: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
      case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
      case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
      case MB_RETRYCANCEL: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
      default: buttons = QMessageBox::Ok; break;
    }
    QMessageBox box(icon, QString::fromStdString(R.Caption), QString::fromStdString(R.Text), buttons);
    switch (box.exec()) {
      case QMessageBox::Ok: return IDOK;
      case QMessageBox::Abort: return IDABORT;
      case QMessageBox::Retry: return IDRETRY;
      case QMessageBox::Ignore: return IDIGNORE;
      case QMessageBox::Yes: return IDYES;
      case QMessageBox::No: return IDNO;
      default: return IDCANCEL;
    }
  }

  bool InputQuery(const TDialogRequest& R, std::string& Value) override {
    EnsureQtApplication();
    if (AnswerHeadless(R.Caption, R.Text)) return false;  // nobody typed anything
    bool ok = false;
    const QString s = QInputDialog::getText(nullptr, QString::fromStdString(R.Caption), QString::fromStdString(R.Text),
                                            QLineEdit::Normal, QString::fromStdString(R.Value), &ok);
    if (ok) Value = s.toStdString();
    return ok;
  }

  TModalResult RunModal(TCustomForm& Form) override {
    EnsureQtApplication();
    if (AnswerHeadless("", "form " + Form.ClassName())) return mrCancel;
    TFormFreeWatch watch(Form);
    Form.HandleNeeded();
    QWidget* w = Form.Peer()->Widget();
    const Qt::WindowModality before = w->windowModality();
    w->setWindowModality(Qt::ApplicationModal);
    Form.Show();
    Form.SetModalResult(mrNone);  // what OnShow set does not end the run
    while (true) {
      Application->HandleMessage();
      if (watch.Freed()) return mrCancel;
      // A terminated application ends the run without asking the form.
      if (Application->Terminated()) {
        Form.SetModalResult(mrCancel);
        break;
      }
      if (Form.ModalResult() != mrNone) {
        Form.CloseModal();
        if (watch.Freed()) return mrCancel;
        if (Form.ModalResult() != mrNone) break;
      }
    }
    const TModalResult result = Form.ModalResult();
    Form.Hide();
    if (!watch.Freed() && Form.Peer()) Form.Peer()->Widget()->setWindowModality(before);
    return result;
  }
};

TQtDialogs GQtDialogs;
TDialogService* GService = nullptr;

}  // namespace

TDialogService& DialogService() { return GService ? *GService : GQtDialogs; }

TDialogService* SetDialogService(TDialogService* Service) {
  TDialogService* old = GService;
  GService = Service;
  return old;
}

TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int32_t HelpCtx) {
  TDialogRequest r;
  r.Kind = dkMessageDlg;
  r.Text = Msg;
  r.Type = DlgType;
  r.Buttons = Buttons;
  r.HelpCtx = HelpCtx;
  return DialogService().MessageDlg(r);
}

void ShowMessage(const std::string& Msg) { MessageDlg(Msg, mtCustom, TMsgDlgButtons{mbOK}, 0); }

bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
  TDialogRequest r;
  r.Kind = dkInputQuery;
  r.Caption = Caption;
  r.Text = Prompt;
  r.Value = Value;
  std::string v = Value;
  if (!DialogService().InputQuery(r, v)) return false;
  Value = v;
  return true;
}

std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) {
  std::string v = Default;
  return InputQuery(Caption, Prompt, v) ? v : Default;
}

// ---- TScriptedDialogs ----

void TScriptedDialogs::Answer(int32_t Result) {
  TAnswer a(dkMessageDlg);
  a.Result = Result;
  FAnswers.push_back(std::move(a));
}

void TScriptedDialogs::AnswerInput(bool Ok, const std::string& Value) {
  TAnswer a(dkInputQuery);
  a.Ok = Ok;
  a.Value = Value;
  FAnswers.push_back(std::move(a));
}

void TScriptedDialogs::AnswerModal(TModalScript Script) {
  TAnswer a(dkModalForm);
  a.Script = std::move(Script);
  FAnswers.push_back(std::move(a));
}

bool TScriptedDialogs::Take(TDialogKind Kind, const TDialogRequest& Request, TAnswer& Out) {
  Shown.push_back(Request);
  // Message boxes and MessageDlg take the same kind of answer: a number.
  const TDialogKind want = Kind == dkMessageBox ? dkMessageDlg : Kind;
  const char* names[] = {"message dialog", "message box", "input query", "modal form"};
  std::string problem;
  if (FAnswers.empty()) problem = std::string("no scripted answer for a ") + names[Kind];
  else if (FAnswers.front().Kind != want)
    problem = std::string("the next scripted answer is for a ") + names[FAnswers.front().Kind] + ", not for a " +
              names[Kind];
  if (problem.empty()) {
    Out = std::move(FAnswers.front());
    FAnswers.pop_front();
    return true;
  }
  problem += ": " + (Kind == dkModalForm ? Request.FormClass : Request.Text);
  if (OnUnexpected) OnUnexpected(problem);
  else {
    std::fprintf(stderr, "kavrelin: %s\n", problem.c_str());
    std::abort();
  }
  return false;
}

TModalResult TScriptedDialogs::MessageDlg(const TDialogRequest& Request) {
  TAnswer a(dkMessageDlg);
  return Take(dkMessageDlg, Request, a) ? a.Result : mrCancel;
}

int32_t TScriptedDialogs::MessageBox(const TDialogRequest& Request) {
  TAnswer a(dkMessageDlg);
  return Take(dkMessageBox, Request, a) ? a.Result : IDCANCEL;
}

bool TScriptedDialogs::InputQuery(const TDialogRequest& Request, std::string& Value) {
  TAnswer a(dkInputQuery);
  if (!Take(dkInputQuery, Request, a)) return false;
  if (a.Ok) Value = a.Value;
  return a.Ok;
}

TModalResult TScriptedDialogs::RunModal(TCustomForm& Form) {
  TDialogRequest r;
  r.Kind = dkModalForm;
  r.Form = &Form;
  r.FormClass = Form.ClassName();
  r.Caption = Form.Caption();
  TAnswer a(dkModalForm);
  if (!Take(dkModalForm, r, a)) return mrCancel;
  TFormFreeWatch watch(Form);
  Form.Show();
  Form.SetModalResult(mrNone);  // what OnShow set does not end the run
  try {
    const TModalResult result = a.Script ? a.Script(Form) : mrNone;
    if (watch.Freed()) return mrCancel;
    if (result != mrNone) Form.SetModalResult(result);
    if (Form.ModalResult() != mrNone) Form.CloseModal();
  } catch (...) {
    if (!watch.Freed()) Form.Hide();
    throw;
  }
  if (watch.Freed()) return mrCancel;
  if (Form.ModalResult() == mrNone) {
    const std::string problem = "the scripted modal form " + r.FormClass + " did not end with a modal result";
    if (OnUnexpected) OnUnexpected(problem);
    else {
      std::fprintf(stderr, "kavrelin: %s\n", problem.c_str());
      std::abort();
    }
    Form.SetModalResult(mrCancel);
  }
  const TModalResult result = Form.ModalResult();
  Form.Hide();
  return result;
}

TScriptedDialogsScope::TScriptedDialogsScope() : FPrevious(SetDialogService(&FDialogs)) {}
TScriptedDialogsScope::~TScriptedDialogsScope() { SetDialogService(FPrevious); }

}  // namespace kv
