// Files of the main window: the open and save dialogs, saving images and
// catalogs, the desktop wallpaper, mail through the desktop's mailer, and the
// import of plug-ins and Filter Factory files.
#include "app/actions/main_actions.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/program_helpers.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/layer/layer_helpers.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/format_params.h"
#include "imaging/views/open_save_dialog.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"

namespace kv {
namespace {

std::string Quoted(const std::string& Name) { return "\"" + Name + "\""; }

void WithOption(TOpenImagerDialog& Dialog, TOpenOption Option) {
  TOpenOptions o = Dialog.Options();
  o.Include(Option);
  Dialog.SetOptions(o);
}

// The stored working folder, else the user's Images folder.
std::string WorkingDir(const Tform1& Form) {
  const std::string dir = Form.StoredString("LastWorkingDir");
  return dir.empty() ? ImagesFolder() : dir;
}

}  // namespace

bool Tform1::executeopendialog() {
  OpenDialog1->SetInitialDir(WorkingDir(*this));
  OpenDialog1->SetFileName("");
  if (!OpenDialog1->Execute()) return false;
  SetStoredString("LastWorkingDir", ExtractFilePath(OpenDialog1->FileName()));
  return true;
}

bool Tform1::executesavedialog() {
  SaveDialog1->SetInitialDir(WorkingDir(*this));
  SaveDialog1->SetFileName("");
  WithOption(*SaveDialog1, ofOverwritePrompt);
  if (!SaveDialog1->Execute()) return false;
  SetStoredString("LastWorkingDir", ExtractFilePath(SaveDialog1->FileName()));
  return true;
}

bool Tform1::Speichern1Click(TObject* Sender) {
  if (getcatalog()) return catalogspeichern1Click(Sender);
  timagerlayer* im = getimager();
  if (!im) return false;
  const std::string name = im->IOParams().FileName;
  if (name.empty()) return Speichernals1Click(Sender);
  interpreter(this, "SaveAs FileName=" + Quoted(name));
  return true;
}

bool Tform1::Speichernals1Click(TObject* Sender) {
  if (getcatalog()) return catalogspeichernals1Click(Sender);
  timagerlayer* im = getimager();
  if (!im) return false;
  SaveDialog1->SetFilter(SaveFilter());
  SaveDialog1->SetTitle("Speichern als");
  SaveDialog1->SetAttachedImagerIO(im->IO());
  WithOption(*SaveDialog1, ofOverwritePrompt);
  const std::string name = im->IOParams().FileName;
  if (!name.empty()) {
    SaveDialog1->SetInitialDir(ExtractFilePath(name));
    SaveDialog1->SetFileName(ExtractFileName(name));
  } else {
    SaveDialog1->SetInitialDir(WorkingDir(*this));
    SaveDialog1->SetFileName("");
  }
  const bool ok = SaveDialog1->Execute();
  SaveDialog1->SetAttachedImagerIO(nullptr);
  if (!ok) {
    CancelFlag = true;
    return false;
  }
  const std::string chosen = SaveDialog1->FileName();
  SetStoredString("LastWorkingDir", ExtractFilePath(chosen));
  interpreter(this, "SaveAs FileName=" + Quoted(chosen) + WriteFormatParams(im->IOParams(), chosen));
  return true;
}

bool Tform1::catalogspeichern1Click(TObject* Sender) {
  TFormcatalog* cat = getcatalog();
  if (!cat) return false;
  if (LowerCase(cat->Caption()).rfind("!unbenannt", 0) == 0) return catalogspeichernals1Click(Sender);
  interpreter(this, "SaveAs FileName=" + Quoted(cat->Caption()));
  return true;
}

bool Tform1::catalogspeichernals1Click(TObject*) {
  if (!getcatalog()) return false;
  std::string chosen;
  {
    // The dialog would otherwise put the image formats in place of the catalog filter.
    TDialogSettingsScope scope(*SaveDialog1, "Katalog speichern als", CatalogFilter());
    SaveDialog1->SetDefaultExt("pcf");
    WithOption(*SaveDialog1, ofOverwritePrompt);
    SaveDialog1->SetInitialDir(WorkingDir(*this));
    SaveDialog1->SetFileName("");
    if (!SaveDialog1->Execute()) {
      CancelFlag = true;
      return false;
    }
    chosen = SaveDialog1->FileName();
  }
  interpreter(this, "SaveAs FileName=" + Quoted(chosen));
  return true;
}

// ---- wallpaper ----

void Tform1::Wallpaperclick(TObject* Sender) {
  if (RefusedWhileBusy()) return;
  auto* item = dynamic_cast<TComponent*>(Sender);
  const int32_t mode = item ? static_cast<int32_t>(item->Tag()) : 0;
  if (MessageDlg("Diese Funktion speichert das Bild unter dem Namen \"Kavrelin.bmp\"\rim Windows Verzeichnis, "
                 "setzt es als Hintergrundbild und schliesst\rdie Datei anschliessend.                   "
                 "Möchten Sie fortfahren?",
                 mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  interpreter(this, "Wallpaper Mode=" + IntToStr(mode));
}

void Tform1::ChangeWallPaper(const std::string& FileName, int32_t Mode) {
  Tchild* child = getchild();
  if (!child || !child->imager1) throw ECommandError("Es ist kein Bildfenster aktiv");
  // The desktop gets a copy fitted to the screen; the user's picture stays as it is.
  timagerlayer copy(nullptr);
  copy.Assign(child->imager1);
  if (Mode == 2 || Mode == 3) {
    const int32_t w0 = copy.Bitmap().Width(), h0 = copy.Bitmap().Height();
    int32_t w = 0, h = 0;
    if (Mode == 2)
      ProportionalSize(w0, h0, Screen->Width(), Screen->Height(), w, h);
    else
      ProportionalCoverSize(w0, h0, Screen->Width(), Screen->Height(), w, h);
    if (w > 0 && h > 0) copy.Resample(w, h, static_cast<TResampleFilter>(4));
  }
  copy.SaveToFileByExtension(FileName);
  child->Close();
  SetDesktopWallpaper(FileName, Mode);
}

// ---- mail ----

bool Tform1::sendmail(const std::string& Recipient, const std::string& Subject, const std::string& Text,
                      const TStrings& Attachments) {
  std::vector<std::string> args{"xdg-email", "--utf8"};
  if (!Subject.empty()) args.insert(args.end(), {"--subject", Subject});
  if (!Text.empty()) args.insert(args.end(), {"--body", Text});
  // An empty entry stands for "no attachment"; the mailer would refuse it.
  for (int32_t i = 0; i < Attachments.Count(); ++i)
    if (!Attachments.Strings(i).empty()) args.insert(args.end(), {"--attach", Attachments.Strings(i)});
  if (!Recipient.empty()) args.push_back(Recipient);
  return RunProcess(args, 30000).Succeeded();
}

void Tform1::Weiterempfehlung1Click(TObject*) {
  const std::string info = ProgramFolder() + "Info.txt";
  if (!FileExists(info)) return;
  TStringList lines;
  lines.LoadFromFile(info);
  std::string text =
      "Diese Empfehlung wurde vom Grafik-Programm Kavrelin generiert, dem Bilder Multi-Talent. \r\n";
  for (int32_t i = 0; i < lines.Count(); ++i) text += lines.Strings(i) + "\r\n";
  text += "\r\nLeiten Sie diese Mail doch einfach an andere Interessenten weiter.";
  TStringList attach;
  const std::string jpg = ProgramFolder() + "sskavrelin.jpg";
  attach.Add(FileExists(jpg) ? jpg : std::string());
  // Said plainly, as the mail command says it: a click must not seem to have sent.
  if (!sendmail("", "Kavrelin", text, attach)) ShowMessage("Es konnte kein E-Mail-Programm gestartet werden");
}

// ---- imports ----

void Tform1::ImportFiles(const std::string& Filter, bool FilterFactory) {
  TStringList chosen;
  {
    // The dialog would put the image formats in place of these, and the
    // image dialogs after it must find their own filter again.
    TDialogSettingsScope scope(*OpenDialog1, OpenDialog1->Title(), AddAllFilesFilter(Filter));
    WithOption(*OpenDialog1, ofAllowMultiSelect);
    if (!OpenDialog1->Execute()) return;
    chosen.Assign(&OpenDialog1->Files());
  }
  const std::string plugins = ProgramFolder() + "Plugins/";
  ForceDirectories(plugins);
  for (int32_t i = 0; i < chosen.Count(); ++i) {
    const std::string src = chosen.Strings(i);
    if (SameText(ExtractFilePath(src), plugins)) continue;
    ShellCopyFileAsk(src, plugins + ExtractFileName(src));
  }
  if (FilterFactory) {
    rebuildfiltermenu();
    ShowMessage(
        "Das Plugin wurde in das Verzeichnis \\Plugins von Kavrelin kopiert\rund der Kategoriename des Filters "
        "wurde dem Menu hinzugefügt\r\rSie können die Dateien auch selber in das Verzeichnis kopieren.");
  } else {
    ShowMessage(
        "Das Plugin wurde in das Verzeichnis \\Plugins von Kavrelin kopiert\rund ist erst bei einem Neustart von "
        "Kavrelin sichtbar.\r\rSie können die Dateien auch selber in das Verzeichnis kopieren.\r\rAchtung:   "
        "Sollte Kavrelin beim Start abstürzen,\rlöschen sie das neue Plugin wieder aus dem Verzeichnis.");
  }
}

void Tform1::Importieren1Click(TObject*) { ImportFiles("(8BF) Photoshop Plugin Filter |*.8bf", false); }

void Tform1::Filterimportieren1Click(TObject*) {
  ImportFiles("(FFL) Filter Factory Library|*.ffl|(AFS) Filter Factory File|*.afs", true);
}

}  // namespace kv
