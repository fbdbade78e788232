// Printing, comments and catalogs.
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/interpreter/commands.h"
#include "app/main/main_form.h"
#include "app/interpreter/interpreter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {

void cmdPrint(TCommandRun& Run) { MissingTool(Run, "Drucken"); }
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
