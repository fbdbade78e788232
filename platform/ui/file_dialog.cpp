// The file dialogs over Qt's own file dialog, with the caller's areas in its layout.
#include "platform/ui/file_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_peer.h"

namespace kv {

namespace {

std::deque<TFileDialogScript>& Scripts() {
  static std::deque<TFileDialogScript> q;
  return q;
}

// A windowed control whose widget sits inside the file dialog.
class TFileDialogArea : public TWinControl {
 public:
  TFileDialogArea(QWidget* Host, int32_t W, int32_t H) : TWinControl(nullptr), FHost(Host) {
    FControlStyle = TControlStyle{csAcceptsControls};
    FWidth = W;
    FHeight = H;
    FColor = clBtnFace;
  }
  bool Showing() const override {
    const QWidget* w = PeerWidget(this);
    return w && w->isVisible();
  }

 protected:
  void CreateWnd() override {
    auto* p = new TStdPeer<QWidget>(this, FHost);
    SetPeer(p);
    p->setMinimumSize(FWidth, FHeight);
  }

 private:
  QWidget* FHost;
};

// The Qt filter text of one entry: Qt reads the patterns from the last brackets.
QString QtFilter(const std::string& Description, const std::string& Pattern) {
  QString p = QString::fromStdString(Pattern);
  p.replace(';', ' ');
  return QString::fromStdString(Description) + " (" + p + ")";
}

class TDialog;

class TQtSession : public TFileDialogSession {
 public:
  TQtSession(TDialog& D, const TFileDialogRequest& R) : FDialog(D), FRequest(R) {}
  TWinControl* SideArea() override { return Side.get(); }
  TWinControl* BottomArea() override { return Bottom.get(); }
  std::string CurrentPath() const override { return FCurrent; }
  std::string Folder() const override;
  int32_t FilterIndex() const override;
  std::string FilterPattern() const override;
  std::string FileNameText() const override;
  void SetFileNameText(const std::string& Text) override;
  void SetDefaultExt(const std::string& Ext) override;
  const TFileDialogRequest& Request() const override { return FRequest; }
  void SelectFile(const std::string& Path) override;
  void EnterFolder(const std::string& Path) override;
  void SelectFilter(int32_t Index) override;
  bool PressOK() override;
  void PressCancel() override;

  // From the dialog's signals: a change that was already announced is not announced again.
  void Selected(const QString& Path);
  void FolderEntered(const QString& Path);
  void FilterChosen();

  std::unique_ptr<TFileDialogArea> Side;
  std::unique_ptr<TFileDialogArea> Bottom;
  std::vector<std::pair<std::string, std::string>> Filters;
  int32_t LastFilter = 1;

 private:
  TDialog& FDialog;
  const TFileDialogRequest& FRequest;
  std::string FCurrent;
};

class TDialog : public QFileDialog {
 public:
  TDialog(const TFileDialogRequest& R) : QFileDialog(nullptr), Session(*this, R), FRequest(R) {}
  void accept() override {
    QStringList chosen = selectedFiles();
    std::vector<std::string> files;
    for (const QString& f : chosen) files.push_back(f.toStdString());
    if (files.empty()) return;
    if (FRequest.FileMustExist)
      for (const std::string& f : files)
        if (!QFileInfo::exists(QString::fromStdString(f))) return;
    bool ok = true;
    if (FRequest.OnFileOK) Guarded(nullptr, [&] { ok = FRequest.OnFileOK(Session, files); });
    if (!ok) return;
    // Qt's own question would not go through the dialog service.
    if (FRequest.Save && FRequest.OverwritePrompt && QFileInfo::exists(chosen.first()) &&
        MessageDlg(files.front() + " already exists.\nDo you want to replace it?", mtWarning, TMsgDlgButtons{mbYes, mbNo},
                   0) != mrYes)
      return;
    QFileDialog::accept();
  }
  TQtSession Session;

 private:
  const TFileDialogRequest& FRequest;
};

std::string TQtSession::Folder() const { return FDialog.directory().absolutePath().toStdString(); }

int32_t TQtSession::FilterIndex() const {
  // The list shows the filters in order; its texts are shortened, its index is not.
  auto* types = FDialog.findChild<QComboBox*>("fileTypeCombo");
  const int i = types ? types->currentIndex() : FDialog.nameFilters().indexOf(FDialog.selectedNameFilter());
  return i < 0 ? LastFilter : i + 1;
}

std::string TQtSession::FilterPattern() const {
  const int32_t i = FilterIndex();
  return i >= 1 && i <= static_cast<int32_t>(Filters.size()) ? Filters[static_cast<size_t>(i - 1)].second : "";
}

std::string TQtSession::FileNameText() const {
  auto* e = FDialog.findChild<QLineEdit*>("fileNameEdit");
  return e ? e->text().toStdString() : std::string();
}

void TQtSession::SetFileNameText(const std::string& Text) {
  if (auto* e = FDialog.findChild<QLineEdit*>("fileNameEdit")) e->setText(QString::fromStdString(Text));
}

void TQtSession::SetDefaultExt(const std::string& Ext) { FDialog.setDefaultSuffix(QString::fromStdString(Ext)); }

void TQtSession::SelectFile(const std::string& Path) {
  const QFileInfo info(QString::fromStdString(Path));
  if (info.absolutePath() != FDialog.directory().absolutePath()) EnterFolder(info.absolutePath().toStdString());
  FDialog.selectFile(info.fileName());
  Selected(info.absoluteFilePath());
}

void TQtSession::EnterFolder(const std::string& Path) {
  FDialog.setDirectory(QString::fromStdString(Path));
  FolderEntered(QString::fromStdString(Path));
}

void TQtSession::SelectFilter(int32_t Index) {
  const QStringList names = FDialog.nameFilters();
  if (Index < 1 || Index > names.size()) return;
  FDialog.selectNameFilter(names.at(Index - 1));
  FilterChosen();
}

bool TQtSession::PressOK() {
  FDialog.accept();
  return FDialog.result() == QDialog::Accepted && !FDialog.isVisible();
}

void TQtSession::PressCancel() { FDialog.reject(); }

void TQtSession::Selected(const QString& Path) {
  const std::string p = Path.isEmpty() ? std::string() : QFileInfo(Path).absoluteFilePath().toStdString();
  if (p == FCurrent) return;
  FCurrent = p;
  if (FRequest.OnSelectionChange) Guarded(nullptr, [&] { FRequest.OnSelectionChange(*this); });
}

void TQtSession::FolderEntered(const QString&) {
  if (FRequest.OnFolderChange) Guarded(nullptr, [&] { FRequest.OnFolderChange(*this); });
}

void TQtSession::FilterChosen() {
  const int32_t i = FilterIndex();
  if (i == LastFilter) return;
  LastFilter = i;
  if (FRequest.OnTypeChange) Guarded(nullptr, [&] { FRequest.OnTypeChange(*this); });
}

// Takes the caller's controls out of an area before it goes: they belong to the caller.
void ReleaseArea(std::unique_ptr<TFileDialogArea>& Area) {
  if (!Area) return;
  while (Area->ControlCount() > 0) Area->Controls(Area->ControlCount() - 1)->SetParent(nullptr);
  Area.reset();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> SplitDialogFilter(const std::string& Filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= Filter.size()) {
    const size_t bar = Filter.find('|', start);
    parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
  return out;
}

void AnswerFileDialog(TFileDialogScript Script) { Scripts().push_back(std::move(Script)); }
int32_t PendingFileDialogAnswers() { return static_cast<int32_t>(Scripts().size()); }

bool RunFileDialog(const TFileDialogRequest& R, TFileDialogResult& Result) {
  EnsureQtApplication();
  TFileDialogScript script;
  if (!Scripts().empty()) {
    script = std::move(Scripts().front());
    Scripts().pop_front();
  } else {
    const QString platform = QGuiApplication::platformName();
    if (RunningWithoutDisplay() || platform == "offscreen" || platform == "minimal") {
      // Nobody can choose a file on a screen nobody sees: a run without one
      // cancels, a test that did not script the dialog fails at once.
      std::fprintf(stderr, "kavrelin: a file dialog was shown with no one to answer it: %s\n", R.Title.c_str());
      if (RunningWithoutDisplay()) return false;
      std::abort();
    }
  }

  TDialog dlg(R);
  TQtSession& s = dlg.Session;
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  // Our descriptions name their extensions already; Qt's pattern part stays hidden.
  dlg.setOption(QFileDialog::HideNameFilterDetails, true);
  dlg.setAcceptMode(R.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(R.Save ? QFileDialog::AnyFile : (R.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
  if (!R.Title.empty()) dlg.setWindowTitle(QString::fromStdString(R.Title));
  s.Filters = SplitDialogFilter(R.Filter);
  QStringList names;
  for (const auto& f : s.Filters) names << QtFilter(f.first, f.second);
  if (!names.isEmpty()) {
    dlg.setNameFilters(names);
    const int32_t index = R.FilterIndex >= 1 && R.FilterIndex <= names.size() ? R.FilterIndex : 1;
    dlg.selectNameFilter(names.at(index - 1));
    s.LastFilter = index;
  }
  if (!R.PlacesBar)
    if (auto* places = dlg.findChild<QWidget*>("sidebar")) places->hide();
  if (!R.InitialDir.empty()) dlg.setDirectory(QString::fromStdString(R.InitialDir));
  if (!R.FileName.empty()) dlg.selectFile(QString::fromStdString(R.FileName));
  if (!R.DefaultExt.empty()) dlg.setDefaultSuffix(QString::fromStdString(R.DefaultExt));
  if (!R.History.empty()) {
    QStringList history;
    for (const std::string& h : R.History) history << QString::fromStdString(h);
    dlg.setHistory(history);
  }

  if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
    const int rows = grid->rowCount();
    const int columns = grid->columnCount();
    if (R.SideWidth > 0) {
      s.Side = std::make_unique<TFileDialogArea>(&dlg, R.SideWidth, 200);
      s.Side->HandleNeeded();
      grid->addWidget(PeerWidget(s.Side.get()), 0, columns, rows, 1);
    }
    if (R.BottomHeight > 0) {
      s.Bottom = std::make_unique<TFileDialogArea>(&dlg, 100, R.BottomHeight);
      s.Bottom->HandleNeeded();
      grid->addWidget(PeerWidget(s.Bottom.get()), rows, 0, 1, columns + (R.SideWidth > 0 ? 1 : 0));
    }
  }
  QObject::connect(&dlg, &QFileDialog::currentChanged, &dlg, [&s](const QString& P) { s.Selected(P); });
  QObject::connect(&dlg, &QFileDialog::directoryEntered, &dlg, [&s](const QString& P) { s.FolderEntered(P); });
  QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&s](const QString&) { s.FilterChosen(); });

  if (R.OnShow) Guarded(nullptr, [&] { R.OnShow(s); });
  if (R.Center)
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      dlg.adjustSize();
      const QRect a = screen->geometry();
      dlg.move(a.left() + (a.width() - dlg.width()) / 2, a.top() + (a.height() - dlg.height()) / 3);
    }
  if (script)
    QTimer::singleShot(0, &dlg, [&dlg, &s, &script] {
      Guarded(nullptr, [&] { script(s); });
      if (dlg.isVisible()) dlg.reject();  // a script that did not finish cancels
    });
  const bool ok = dlg.exec() == QDialog::Accepted;
  if (R.OnClose) Guarded(nullptr, [&] { R.OnClose(s); });
  if (ok) {
    for (const QString& f : dlg.selectedFiles()) Result.Files.push_back(QFileInfo(f).absoluteFilePath().toStdString());
    Result.FilterIndex = s.FilterIndex();
  }
  ReleaseArea(s.Side);
  ReleaseArea(s.Bottom);
  return ok && !Result.Files.empty();
}

}  // namespace kv
