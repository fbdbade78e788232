#include "app/workflows/slide_exports.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/helpers/desktop_helpers.h"
#include "app/helpers/folder_helpers.h"
#include "app/params/param_strings.h"
#include "app/startup/hand_over.h"
#include "app/catalog/image_source.h"
#include "app/workflows/slide_sources.h"
#include "app/workflows/slide_text_file.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/folder_dialog.h"
#include "platform/rtl/sys_error.h"

namespace kv {

size_t CommonFolderLength(const std::vector<std::string>& Files) {
  if (Files.empty()) return 0;
  std::string prefix = ExtractFilePath(Files[0]);
  for (const std::string& f : Files) {
    const std::string folder = ExtractFilePath(f);
    // Whole folder names only: "/a/bc/" and "/a/b/" share "/a/", not "/a/b".
    size_t keep = 0;
    for (size_t i = 0; i < prefix.size() && i < folder.size() && prefix[i] == folder[i]; ++i)
      if (prefix[i] == '/') keep = i + 1;
    prefix.resize(keep);
  }
  return prefix.size();
}

TCopyList CDFolderCopies(const TSlideSettings& S, const std::vector<std::string>& Pictures, const std::string& Target) {
  TCopyList list;
  const size_t l = CommonFolderLength(Pictures);
  const int32_t sound = S.Soundmode;
  for (const std::string& p : Pictures) {
    std::string rest = p.substr(std::min(l, p.size()));
    std::replace(rest.begin(), rest.end(), ':', '0');
    const std::string dest = Target + "Pics/" + rest;
    list.Sources.push_back(p);
    list.Targets.push_back(dest);
    if (S.Info.Contains(tImageInfo::textcomment) && FileExists(p + ".txt")) {
      list.Sources.push_back(p + ".txt");
      list.Targets.push_back(dest + ".txt");
    }
    if (sound == 2 && FileExists(p + ".wav")) {
      list.Sources.push_back(p + ".wav");
      list.Targets.push_back(dest + ".wav");
    }
  }
  if (sound == 1 && FileExists(S.SoundFile)) {
    list.Sources.push_back(S.SoundFile);
    // Under the name "show.ini" can hold.
    list.Targets.push_back(Target + ShowLineText(ExtractFileName(S.SoundFile)));
  }
  // The player: the launcher under the player's name, the editor it starts, the plug-in host and the icon.
  const std::string bin = ProgramFolder();
  list.Sources.push_back(bin + LauncherExecutableName);
  list.Targets.push_back(Target + kPlayerName);
  for (const char* f : {EditorExecutableName, "harlok.so", "kavrelin.svg"})
    if (FileExists(bin + f)) {
      list.Sources.push_back(bin + f);
      list.Targets.push_back(Target + f);
    }
  return list;
}

std::vector<std::string> RunCopies(const TCopyList& List) {
  std::vector<std::string> failed;
  for (size_t i = 0; i < List.Sources.size(); ++i) {
    try {
      const std::string folder = ExtractFilePath(List.Targets[i]);
      if (!folder.empty() && !ForceDirectories(folder)) throw EInOutError("Der Zielordner kann nicht angelegt werden");
      ShellCopyFile(List.Sources[i], List.Targets[i]);
      // Programs stay programs.
      struct stat st {};
      if (::stat(List.Sources[i].c_str(), &st) == 0 && (st.st_mode & S_IXUSR))
        ::chmod(List.Targets[i].c_str(), st.st_mode & 07777);
    } catch (const Exception&) {
      failed.push_back(List.Sources[i]);
    }
  }
  return failed;
}

std::string CDFolderShowIni(const TSlideSettings& S) {
  std::string line = getCmdWithoutSourcesound(S) + WriteParamInt("SourceMode", 1) + WriteParamString("Dir", "Pics") +
                     WriteParamBool("Subdirs", true) +
                     WriteParamString("Soundmode1Filename", ShowLineText(ExtractFileName(S.SoundFile)));
  if (const std::string options = ShowLineSourceOptions(S.Source.Options); !options.empty()) line += " " + options;
  return line;
}

std::string ScreenSaverShowIni(const TSlideSettings& S) {
  return "SLIDESHOW " + getSlideShowOKValues(S) + WriteParamInt("Canvasmode", 0) + WriteParamBool("noBorder", true) +
         WriteParamBool("Hidemouse", true) + WriteParamBool("forever", true) +
         WriteParamFloat("Interval", S.IntervalOn ? S.Interval : 99.0) + ImageSourceParams(S.Source) +
         WriteParamString("Soundmode1Filename", ShowLineText(S.SoundFile));
}

std::vector<std::string> WriteCDFolder(const TSlideSettings& S, const std::string& Target) {
  const std::vector<std::string> pictures = ListImageSource(getcmdstring(S));
  if (!ForceDirectories(Target)) throw EInOutError("Das Verzeichnis " + Target + " kann nicht angelegt werden.");
  std::vector<std::string> failed = RunCopies(CDFolderCopies(S, pictures, Target));
  WriteTextFile(Target + "show.ini", CDFolderShowIni(S) + "\n");
  WriteTextFile(Target + "autorun.inf", "[autorun]\r\nOPEN=show.exe\r\nICON=show.exe,0\r\n");
  // The freedesktop convention for media that start a program: an executable "autorun" at the root.
  WriteTextFile(Target + kAutorunScript,
                "#!/bin/sh\n# Plays the slide show of this folder.\ncd \"$(dirname \"$0\")\" && exec ./show \"$@\"\n");
  ::chmod((Target + kAutorunScript).c_str(), 0755);
  return failed;
}

namespace {

std::string FailedList(const std::vector<std::string>& Failed) {
  std::string s;
  for (const std::string& f : Failed) s += "\r" + f;
  return s;
}

}  // namespace

void ExportCDFolder(const TSlideSettings& S) {
  if (MessageDlg("Diese Funktion erstellt eine selbstablaufende Diashow, die Sie auf eine CD brennen und weitergeben "
                 "können.\rDazu kopiert es alle benötigten Bilder und Programme in ein spezielles Verzeichnis, welches Sie "
                 "dann nur noch mit Ihrem\rBrennerprogramm auf die CD brennen müssen.\rFalls Sie Tonkommentare, "
                 "Midi/Wav-Musik oder Textkommentare ausgewählt haben, werden diese ebenfalls übernommen.\r\rMöchten Sie "
                 "fortfahren?",
                 mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  // The example and the starting place are the user's home, where a folder can be made.
  const std::string home = HomeFolder();
  TFolderDialogRequest request;
  request.Text = "Bitte wählen Sie einen Ordner aus, in dem die Zusammenstellung gespeichert werden soll, z.B. " + home +
                 " .\rEs wird dort ein Unterordner namens \"Burn\" erstellt.";
  request.Root = "/";
  request.OnInitialized = [home](TFolderDialogSession& Session) { Session.SetSelection(home); };
  std::string chosen;
  if (!BrowseForFolder(request, chosen)) return;
  const std::string target = IncludeBackslash(chosen) + "burn/";
  if (DirectoryExists(target) &&
      MessageDlg(Format("Hinweis: Das Verzeichnis %s existiert bereits, es sollte auf jeden Fall leer sein. Bitte löschen "
                        "Sie das Verzeichnis bevor Sie weitermachen.",
                        target),
                 mtWarning, mbOKCancel, 0) != mrOk)
    return;
  const std::vector<std::string> failed = WriteCDFolder(S, target);
  if (!failed.empty()) {
    MessageDlg("Folgende Dateien konnten nicht kopiert werden:" + FailedList(failed), mtError, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  // Named as the program the folder holds.
  ShowMessage(Format("Die Zusammenstellung ist fertig, sie können das Verzeichnis %s nun auf CD brennen.\rSie können "
                     "vorher die Datei %s im Verzeichnis laden, um das Ergebnis zu kontrollieren",
                     target, kPlayerName));
  ShellOpen(target);
}

bool AddToXScreenSaverList(const std::string& ConfigFile, const std::string& Module) {
  TStringList lines;
  if (FileExists(ConfigFile)) lines.LoadFromFile(ConfigFile);
  const std::string entry = "\t\t\t\t\"Kavrelin Diashow\" " + Module + " -root \\n\\";
  for (int32_t i = 0; i < lines.Count(); ++i)
    if (lines.Get(i).find(Module) != std::string::npos) return true;
  int32_t at = -1;
  for (int32_t i = 0; i < lines.Count() && at < 0; ++i)
    if (lines.Get(i).rfind("programs:", 0) == 0) at = i;
  if (at < 0) {
    lines.Add("programs:\t\\");
    lines.Add(entry);
    lines.Add("");
  } else {
    lines.Insert(at + 1, entry);
  }
  lines.SaveToFile(ConfigFile);
  return true;
}

void ExportScreenSaver(const TSlideSettings& S) {
  if (MessageDlg("Diese Funktion speichert ihre aktuelle Diashow als Bildschirmschoner ab und aktiviert ihn.\r\rHinweis: "
                 "Einige Einstellungen wie z.B. die Fenstergröße sind fest vorgegeben unabhängig von Ihren "
                 "Einstellungen.\r\rMöchten Sie fortfahren?",
                 mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  const std::string folder = WindowsFolder();
  const std::string module = folder + kScreenSaverName;
  // The module is a link to the program: it starts in the screen-saver mode by its name.
  std::error_code ec;
  std::filesystem::remove(module, ec);
  std::filesystem::create_symlink(ProgramFolder() + LauncherExecutableName, module, ec);
  if (ec)
    throw EInOutError("Der Bildschirmschoner " + module + " kann nicht angelegt werden: " + SysErrorMessage(ec.value()));
  WriteTextFile(folder + "show.ini", ScreenSaverShowIni(S) + "\n");
  const std::string config = IncludeBackslash(std::getenv("HOME") ? std::getenv("HOME") : "") + ".xscreensaver";
  if (FileExists(config) || !FindProgram("xscreensaver").empty()) {
    AddToXScreenSaverList(config, module);
    ShowMessage("Der Bildschirmschoner wurde installiert.\rDrücken Sie auf \"Konfigurieren\", um den Bildschirmschoner "
                "zu testen oder die Wartezeit zu ändern.");
  } else {
    ShowMessage("Der Bildschirmschoner wurde als " + module +
                " abgelegt.\rDieser Desktop führt jedoch keine Bildschirmschoner-Module aus.");
  }
}

void ConfigureScreenSaver() {
  for (const char* tool : {"xscreensaver-settings", "xscreensaver-demo"})
    if (!FindProgram(tool).empty() && StartDetachedProcess({tool})) return;
  ShowMessage("Dieser Desktop hat kein Einstellungsprogramm für Bildschirmschoner-Module.");
}

void ExportWallpaperChanger(const TSlideSettings& S) {
  CloseWallpaperChangers();
  if (MessageDlg("Mit dieser Funktion werden die Bilder auf dem Desktop als Hintergrundbild angezeigt und automatisch "
                 "gewechselt.\r\rIn Ihrer Taskleiste wird ein Icon zur Steuerung hinzugefügt.\r\rMöchen Sie fortfahren?",
                 mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  const std::string folder = WindowsFolder();
  const std::string changer = folder + kWallpaperName;
  std::error_code ec;
  std::filesystem::remove(changer, ec);
  std::filesystem::create_symlink(ProgramFolder() + LauncherExecutableName, changer, ec);
  if (ec)
    throw EInOutError("Der Hintergrundbildwechsler " + changer +
                      " kann nicht angelegt werden: " + SysErrorMessage(ec.value()));
  WriteTextFile(folder + "wallp.ini", getcmdstring(S) + "\n");
  if (!StartDetachedProcess({changer})) throw EInOutError("Der Hintergrundbildwechsler kann nicht gestartet werden.");
}

}  // namespace kv
