// Printing, comments and catalogs.
#include "app/actions/comment_form.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/interpreter/commands.h"
#include "app/main/main_form.h"
#include "app/workflows/print_layout.h"
#include "platform/system/printer.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

// The sound comment of the image named in the line. An image without a file
// name (or not yet saved, "!") has no comment: recording would otherwise
// land in a file named ".wav" in whatever folder is current.
std::string SoundCommentOf(const TCommandRun& Run) {
  const std::string name = Run.Str("Name", "");
  if (name.empty() || name[0] == '!') throw ECommandError("Die Grafik hat noch keinen Dateinamen");
  return name + ".wav";
}

// A device or file failure has been shown in the window; the line fails too,
// so that a batch stops at it.
void RunComment(TCommentMode Mode, const std::string& Target, const std::string& Source = {}) {
  const TSoundStatus st = RunCommentWindow(Mode, Target, Source);
  if (!st.Ok()) throw ECommandError(st.Result == srNoDevice ? std::string(kNoSoundDevice) : st.Message);
}

}  // namespace

void cmdCommentRecord(TCommandRun& Run) { RunComment(kmRecord, SoundCommentOf(Run)); }
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

void cmdCommentPlay(TCommandRun& Run) { RunComment(kmPlay, SoundCommentOf(Run)); }

void cmdCommentImport(TCommandRun& Run) {
  const std::string source = Run.Str("filename", "");
  const std::string image = Run.Imager().IOParams().FileName;
  // An unsaved image has no place for a comment: the target stays empty.
  const std::string target =
      image.empty() || ExtractFileName(image)[0] == '!'
          ? std::string()
          : IncludeTrailingPathDelimiter(ExtractFilePath(image)) + ExtractFileName(image) + ".wav";
  if (target.empty()) {
    Run.Return();
    return;
  }
  RunComment(kmImport, target, source);
}

void cmdCommentSoundOptions(TCommandRun& Run) {
  // The sound settings here are the ALSA device that records and plays.
  std::string device = SoundDeviceName();
  if (!InputQuery("Aufnahmeeinstellungen", "ALSA-Gerät für Aufnahme und Wiedergabe:", device)) {
    Run.Return();
    return;
  }
  device = Trim(device);
  if (device.empty()) device = kDefaultSoundDevice;
  SetSoundDeviceName(device);
  Run.Form.SetStoredString("SoundDevice", device);
}
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
