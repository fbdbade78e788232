#include "platform/ui/qt_app.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLibraryInfo>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>
#include <QtGui/QIcon>
#include <QtGui/QInputDevice>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtGui/QPointingDevice>
#include <QtSvg/QSvgRenderer>
#include <QtWidgets/QApplication>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/gui_host.h"
#include "platform/rtl/exceptions.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/sys_color_watch.h"

namespace kv {

namespace {

QApplication* GQtApp = nullptr;
bool GNoDisplay = false;

// QApplication keeps references to argc and argv for its whole life.
int GArgc = 0;
std::vector<std::string> GArgStore;
std::vector<char*> GArgv;

// Deleted before Qt's own globals go (which also lets the font engine free
// its caches); the program's components go first, while Qt still works.
void DeleteQtApplication() {
  StopWatchingSystemColors();
  if (Application) Application->DestroyComponents();
  QCoreApplication::sendPostedEvents();  // forms released but not yet freed, widgets to delete
  delete GQtApp;
  GQtApp = nullptr;
}

// The canvas asks for the application object through this when it needs fonts.
bool MakeForText() {
  try {
    EnsureQtApplication();
    return true;
  } catch (const EInvalidOperation&) {
    return false;  // a Qt application without a GUI: no text
  }
}

// Installed at load time: any program with the control layer linked in has it.
[[maybe_unused]] const bool GMakerInstalled = (SetGuiApplicationMaker(&MakeForText), true);

// The program speaks German, so Qt's own dialogs and buttons (file dialog,
// Yes/No/Cancel) do too, when the desktop has Qt's translations installed.
void InstallQtTranslation(QCoreApplication& App) {
  auto* t = new QTranslator(&App);
  if (t->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(t);
  else
    delete t;
}

}  // namespace

void EnsureQtApplication() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    if (!qobject_cast<QApplication*>(app))
      throw EInvalidOperation("A Qt application object without widgets already exists");
    return;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    GNoDisplay = true;
  }
  GArgStore.clear();
  const int32_t n = ParamCount();
  std::string exe = ParamStr(0);
  GArgStore.push_back(exe.empty() ? std::string("kavrelin") : exe);
  for (int32_t i = 1; i <= n; ++i) GArgStore.push_back(ParamStr(i));
  GArgv.clear();
  for (std::string& s : GArgStore) GArgv.push_back(s.data());
  GArgv.push_back(nullptr);
  GArgc = static_cast<int>(GArgStore.size());
  GQtApp = new QApplication(GArgc, GArgv.data());
  InstallQtTranslation(*GQtApp);
  // Qt makes its device registry on first use and frees it at exit; made now,
  // it outlives the handler below, which deletes devices that unregister.
  QPointingDevice::primaryPointingDevice();
  QInputDevice::primaryKeyboard();
  // Qt's icon cache is a static that the application object clears when it
  // goes. Made only by the first themed icon (a message box's, a speed
  // button's), it would be destroyed at exit before the handler below runs,
  // and deleting the application object would then touch a dead cache.
  // Made now, it outlives the handler.
  QIcon::fromTheme(QStringLiteral("kavrelin"));
  std::atexit(DeleteQtApplication);
  WatchSystemColors();
  Clipboard();  // the lower layers reach the desktop's clipboard from now on
}

void ReleaseQtApplication() {
  if (GQtApp) DeleteQtApplication();
}

bool QtApplicationExists() { return QCoreApplication::instance() != nullptr; }

bool RunningWithoutDisplay() { return GNoDisplay; }

bool SetProgramIcon(const std::string& SvgFile) {
  EnsureQtApplication();
  QSvgRenderer svg(QString::fromStdString(SvgFile));
  if (!svg.isValid()) return false;
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    svg.render(&painter);
    painter.end();
    icon.addPixmap(p);
  }
  QApplication::setWindowIcon(icon);
  return true;
}

}  // namespace kv
