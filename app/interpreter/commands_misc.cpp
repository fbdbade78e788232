// Printing, comments and catalogs.
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/interpreter/commands.h"
#include "app/main/main_form.h"
#include "app/workflows/print_layout.h"
#include "platform/system/printer.h"
#include "app/interpreter/interpreter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {

void cmdPrint(TCommandRun& Run) {
  const bool catalog = Run.Int("Mode", 0) == 3;
  TPrintSource source;
  std::string title;
  if (catalog) {
    TFormcatalog* window = Run.Form.getcatalog();
    if (!window) throw ECommandError("Es ist kein Katalogfenster aktiv");
    source.CatalogFiles = &window->catalogframe1->Files();
    title = window->Caption();
  } else {
    source = PrintSourceOf(Run.Imager());
    title = Run.Child().Caption();
  }
  TPrinter& printer = Printer();
  TPrintDevice device = PrintDeviceOf(printer);
  const double unit = Run.Form.StoredFloat("Userunit");
  if (unit > 0) device.UserUnit = unit;
  device.Progress = [&Run](int32_t Percent) { Run.Form.onprogressany(&Run.Form, Percent); };
  printer.SetTitle(title);
  // The layout is checked before a job starts, so a bad line leaves no empty job behind.
  PrintWithLayout(source, nullptr, printer.PageWidth(), printer.PageHeight(), 1, false, Run.Line, device);
  printer.BeginDoc();
  try {
    const int32_t copies = std::max(1, Run.Int("NumPrints", 1));
    for (int32_t copy = 0; copy < copies; ++copy) {
      if (copy > 0) printer.NewPage();
      PrintWithLayout(source, &printer.Canvas(), printer.PageWidth(), printer.PageHeight(), 1, true, Run.Line,
                      device);
    }
  } catch (...) {
    printer.Abort();
    Run.Form.onprogressany(&Run.Form, 0);
    throw;
  }
  printer.EndDoc();
  Run.Form.onprogressany(&Run.Form, 0);
}
void cmdCommentRecord(TCommandRun& Run) { MissingTool(Run, "Ton-Kommentare"); }

void cmdTextComment(TCommandRun& Run) {
  const std::string file = Run.Str("Name", "") + ".txt";
  TStringList text;
  if (!Run.List("Text", text)) {
    Run.Return();
    return;
  }
  if (text.Count() == 0) {
    // An empty comment is no comment: the file goes.
    if (FileExists(file) && !DeleteFile(file)) throw ECommandError("Kann " + file + " nicht löschen");
    Run.Return();
    return;
  }
  text.SaveToFile(file);
}

void cmdCommentDelete(TCommandRun& Run) {
  const std::string file = Run.Str("Name", "") + ".wav";
  if (FileExists(file) && !DeleteFile(file)) throw ECommandError("Kann " + file + " nicht löschen");
}

void cmdCommentPlay(TCommandRun& Run) { MissingTool(Run, "Ton-Kommentare"); }
void cmdCommentImport(TCommandRun& Run) { MissingTool(Run, "Ton-Kommentare"); }
void cmdCommentSoundOptions(TCommandRun& Run) { MissingTool(Run, "Ton-Einstellungen"); }
namespace {
TFormcatalog& ActiveCatalog(const TCommandRun& Run) {
  TFormcatalog* catalog = Run.Form.getcatalog();
  if (!catalog) throw ECommandError("Es ist kein Katalogfenster aktiv");
  return *catalog;
}
}  // namespace

void cmdNewCatalog(TCommandRun& Run) { Run.Form.newcatalog()->SetCaption(Run.Form.givenoname()); }

void cmdAddCatalog(TCommandRun& Run) {
  const std::string name = Run.Str("filename", "");
  TFormcatalog& catalog = ActiveCatalog(Run);
  // An entry without a name would show nothing and save as a blank line.
  if (Trim(name).empty()) throw ECommandError("Es wurde kein Dateiname angegeben");
  catalog.AddFile(name);
}

void cmdDelCatalog(TCommandRun& Run) {
  const int32_t index = Run.Int("Index", -1);
  TFormcatalog& catalog = ActiveCatalog(Run);
  if (index < 0 || index >= catalog.catalogframe1->Files().Count())
    throw ECommandError("Der Katalogeintrag " + IntToStr(index) + " liegt außerhalb der Liste");
  catalog.DeleteEntry(index);
}

}  // namespace kv
