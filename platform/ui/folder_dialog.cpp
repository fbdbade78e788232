// The folder chooser over Qt's own (non-native) file dialog, and its scripted stand-in.
#include "platform/ui/folder_dialog.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

std::deque<TFolderDialogScript>& Scripts() {
  static std::deque<TFolderDialogScript> q;
  return q;
}

// The session a script works: the selection, the OK state and the help button.
class TScriptSession : public TFolderDialogSession {
 public:
  explicit TScriptSession(const TFolderDialogRequest& R) : FRequest(R), FSelection(R.Root) {}
  void SetSelection(const std::string& Path) override {
    FSelection = Path;
    FOK = true;
    if (FRequest.OnSelChanged) FRequest.OnSelChanged(*this, Path);
  }
  std::string Selection() const override { return FSelection; }
  void EnableOK(bool Enable) override { FOK = Enable; }
  bool OKEnabled() const override { return FOK; }
  bool HasHelpButton() const override { return !FRequest.HelpCaption.empty(); }
  void PressHelp() override {
    if (HasHelpButton() && FRequest.OnHelp) FRequest.OnHelp();
  }
  const TFolderDialogRequest& Request() const override { return FRequest; }

 private:
  const TFolderDialogRequest& FRequest;
  std::string FSelection;
  bool FOK = true;
};

class TQtSession : public TFolderDialogSession {
 public:
  TQtSession(QFileDialog& D, const TFolderDialogRequest& R) : FDialog(D), FRequest(R) {}
  const TFolderDialogRequest& Request() const override { return FRequest; }
  void SetSelection(const std::string& Path) override {
    FDialog.setDirectory(QString::fromStdString(Path));
    FSelection = Path;
  }
  std::string Selection() const override { return FSelection; }
  void EnableOK(bool Enable) override {
    if (QPushButton* b = OkButton()) b->setEnabled(Enable);
  }
  bool OKEnabled() const override {
    QPushButton* b = OkButton();
    return b && b->isEnabled();
  }
  bool HasHelpButton() const override { return FHelp != nullptr; }
  void PressHelp() override {
    if (FHelp) FHelp->click();
  }
  void Selected(const std::string& Path) { FSelection = Path; }
  QPushButton* FHelp = nullptr;

 private:
  QPushButton* OkButton() const {
    auto* box = FDialog.findChild<QDialogButtonBox*>();
    if (!box) return nullptr;
    QPushButton* b = box->button(QDialogButtonBox::Open);
    return b ? b : box->button(QDialogButtonBox::Ok);
  }
  QFileDialog& FDialog;
  const TFolderDialogRequest& FRequest;
  std::string FSelection;
};

bool RunQtDialog(const TFolderDialogRequest& R, std::string& Chosen) {
  EnsureQtApplication();
  const QString platform = QGuiApplication::platformName();
  if (RunningWithoutDisplay() || platform == "offscreen" || platform == "minimal") {
    // Nobody can pick a folder on a screen nobody sees: a run without one cancels,
    // a test that did not script the dialog fails at once rather than hang.
    std::fprintf(stderr, "kavrelin: a folder dialog was shown with no one to answer it: %s\n", R.Text.c_str());
    if (RunningWithoutDisplay()) return false;
    std::abort();
  }
  QFileDialog dlg(nullptr, QString::fromStdString(R.Title), QString::fromStdString(R.Root));
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  dlg.setFileMode(QFileDialog::Directory);
  TQtSession session(dlg, R);
  session.Selected(R.Root);
  if (!R.Text.empty())
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
      auto* label = new QLabel(QString::fromStdString(R.Text), &dlg);
      label->setWordWrap(true);
      grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
  if (!R.HelpCaption.empty())
    if (auto* box = dlg.findChild<QDialogButtonBox*>()) {
      session.FHelp = box->addButton(QString::fromStdString(R.HelpCaption), QDialogButtonBox::HelpRole);
      session.FHelp->setFont(box->font());
      QObject::connect(session.FHelp, &QPushButton::clicked, [&R] {
        if (R.OnHelp) R.OnHelp();
      });
    }
  QObject::connect(&dlg, &QFileDialog::currentChanged, [&](const QString& Path) {
    session.Selected(Path.toStdString());
    if (R.OnSelChanged) R.OnSelChanged(session, Path.toStdString());
  });
  if (R.CenterOnScreen)
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      const QRect a = s->availableGeometry();
      dlg.adjustSize();
      dlg.move(a.center() - QPoint(dlg.width() / 2, dlg.height() / 2));
    }
  if (R.OnInitialized) R.OnInitialized(session);
  if (dlg.exec() != QDialog::Accepted) return false;
  const QStringList files = dlg.selectedFiles();
  Chosen = files.isEmpty() ? session.Selection() : files.first().toStdString();
  return true;
}

}  // namespace

void AnswerFolderDialog(TFolderDialogScript Script) { Scripts().push_back(std::move(Script)); }

int32_t PendingFolderAnswers() { return static_cast<int32_t>(Scripts().size()); }

bool BrowseForFolder(const TFolderDialogRequest& Request, std::string& Chosen) {
  if (Scripts().empty()) return RunQtDialog(Request, Chosen);
  TFolderDialogScript script = std::move(Scripts().front());
  Scripts().pop_front();
  TScriptSession session(Request);
  if (Request.OnInitialized) Request.OnInitialized(session);
  if (!script(session) || !session.OKEnabled()) return false;
  Chosen = session.Selection();
  return true;
}

}  // namespace kv
