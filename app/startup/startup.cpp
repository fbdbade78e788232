#include "app/startup/startup.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/batch/batch_window.h"
#include "app/child/drawing_options.h"
#include "app/helpers/desktop_helpers.h"
#include "app/helpers/registry_helpers.h"
#include "app/main/main_form.h"
#include "app/startup/instance_guard.h"
#include "app/startup/run_mode.h"
#include "app/workflows/slide_player.h"
#include "app/workflows/wallpaper_form.h"
#include "app/helpers/folder_helpers.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/native_window.h"
#include "imaging/formats/lzw_coders.h"
#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/random.h"
#include "platform/rtl/start_marks.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/screen_saver_preview.h"

namespace kv {

namespace {

constexpr const char* ErrorCaption = "Error";

void ReportStartFailure(const std::string& Text) { std::fprintf(stderr, "kavrelin: %s\n", Text.c_str()); }

// The window id a screen saver passes to its modules: "-window-id <id>" or
// XSCREENSAVER_WINDOW; 0 when the module is to draw full screen.
uintptr_t ScreenSaverWindow() {
  for (int32_t i = 1; i < ParamCount(); ++i)
    if (ParamStr(i) == "-window-id" || ParamStr(i) == "--window-id")
      return uintptr_t(std::strtoull(ParamStr(i + 1).c_str(), nullptr, 0));
  if (const char* w = std::getenv("XSCREENSAVER_WINDOW")) return uintptr_t(std::strtoull(w, nullptr, 0));
  return 0;
}

// Started by a screen saver as one of its modules ("-root", "-window-id", or its window in the environment).
bool StartedAsScreenSaverModule() {
  for (int32_t i = 1; i <= ParamCount(); ++i)
    if (ParamStr(i) == "-root" || ParamStr(i) == "-window-id" || ParamStr(i) == "--window-id") return true;
  return std::getenv("XSCREENSAVER_WINDOW") != nullptr;
}

int PlaySlideShow(const TSwitches& Switches) {
  std::string showFile = ProgramFolder() + "show.ini";
  // Unlike a screen saver's switch, the player's argument is a file name:
  // it is taken as typed, since names on this system keep their case.
  if (RunMode == rmSlideShow && Switches.HasArgument) showFile = ParamStr(1);
  // The installed screen saver keeps its show in the program's data folder.
  if (RunMode == rmScreenSaver && FileExists(WindowsFolder() + "show.ini")) showFile = WindowsFolder() + "show.ini";
  if (!FileExists(showFile)) {
    Application->MessageBox(Format("File %s not found", showFile), ErrorCaption, MB_OK);
    return 1;
  }
  TStringList ini;
  ini.LoadFromFile(showFile);
  const std::string line = ini.Count() > 0 ? ini.Get(0) : "";
  if (Trim(line).empty()) {
    Application->MessageBox(Format("File %s holds no slide show", showFile), ErrorCaption, MB_OK);
    return 1;
  }
  auto* slide = new Tdoslide(Application);
  slide->ParamText = line;
  if (RunMode == rmScreenSaver) slide->Embedded = EmbedIntoNativeWindow(*slide, ScreenSaverWindow());
  PlaySlideShowWindow(*slide);
  delete slide;
  return 0;
}

int RunScreenSaverSwitches(const TSwitches& Switches) {
  if (!Switches.HasArgument || Switches.Counts('C'))
    Application->MessageBox(
        "The options can only be changed with Kavrelin.\rYou need to create a new screen saver with Kavrelin to "
        "change any options.",
        ErrorCaption, MB_OK);
  if (Switches.Counts('P')) {
    const int64_t id = StrToInt64Def(Switches.Value, 0);
    // Without a display of its own (offscreen, or no such window) there is nothing to preview into.
    if (id > 0) RunScreenSaverPreview(uintptr_t(id), "Kavrelin Slide Show");
  }
  // "A" changes the saver's password: this desktop keeps no such password.
  return 0;
}

// Run-mode dispatch; true when the start was handled here.
bool DispatchRunMode(const TSwitches& Switches, int& ExitCode) {
  ExitCode = 0;
  if (Switches.Switch == "/INIT") {
    RunInitSwitch(ParamStr(2));
    return true;
  }
  if (RunMode == rmSlideShow || (RunMode == rmScreenSaver && (Switches.Counts('S') || StartedAsScreenSaverModule()))) {
    ExitCode = PlaySlideShow(Switches);
    return true;
  }
  if (RunMode == rmScreenSaver) {
    ExitCode = RunScreenSaverSwitches(Switches);
    return true;
  }
  if (RunMode == rmWallpaperChanger) {
    ExitCode = RunWallpaperChanger();
    return true;
  }
  return false;
}

void RunEditor() {
  TdrawingoptionsForm* drawing = nullptr;
  Application->CreateForm(drawing);
  Tbatchwindowform* history = nullptr;
  Application->CreateForm(history);
  StartMark("forms created");
  Application->Run();
}

}  // namespace

std::string LanguageChoiceValueName() { return ProgramFolder() + "Kavrelin.exe"; }

void WriteLanguageChoice(const std::string& Extension) {
  TRegistry r;
  if (r.OpenKey(LanguageChoiceKey, true)) r.WriteString(LanguageChoiceValueName(), UpperCase(Extension));
}

std::string ReadLanguageChoice() {
  TRegistry r;
  if (!r.OpenKeyReadOnly(LanguageChoiceKey)) return {};
  return r.ValueExists(LanguageChoiceValueName()) ? r.ReadString(LanguageChoiceValueName()) : std::string();
}

TMsgLanguage LanguageOfChoice(const std::string& Extension) {
  const std::string ext = UpperCase(Trim(Extension));
  for (const TLanguageChoice& c : WordTableLanguages)
    if (ext == c.Extension) return c.Language;
  return msSystem;
}

void ApplyLanguageChoice() { IMSetProgramLanguage(LanguageOfChoice(ReadLanguageChoice())); }

void RunInitSwitch(const std::string& Extension) {
  ImportRegFile(ProgramFolder() + "kavrelin.reg");
  if (!Extension.empty() && FileExists(ProgramFolder() + "kavrelin." + Extension)) WriteLanguageChoice(Extension);
}

int KavrelinMain(int Argc, char** Argv) {
  // Behind the launcher the program is still known by the launcher's name,
  // so that what it registers with the desktop starts through it.
  const std::string launcher = ProgramFolder() + LauncherExecutableName;
  if (ExtractFileName(ParamStr(0)) == EditorExecutableName && FileExists(launcher)) SetProgramFile(launcher);
  // The name the program was started by, so links named "show" or "wallp" choose their mode.
  const std::string program = Argc > 0 && Argv && Argv[0] ? Argv[0] : "kavrelin";
  std::vector<std::string> args;
  for (int i = 1; i < Argc; ++i) args.push_back(Argv[i] ? Argv[i] : "");
  const TRunModeKind mode = RunModeOfProgram(program);
  if (mode == rmEditor || mode == rmSlideShow) args = AbsoluteFileArguments(args);
  {
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& a : args) argv.push_back(a.c_str());
    SetCommandLine(int(argv.size()), argv.data());
  }
  const TSwitches switches = ParseSwitches(args);
  // Nobody would see an editor of its own without a display; batch files run
  // without it. Asked before the guard, whose listening brings Qt up offscreen.
  const bool unseen = !DisplayAvailable() && !NamesBatchFile(args);

  try {
    if (IsEditorProgram(program)) {
      TGuardOutcome outcome = goFirst;
      if (!TakePassedGuard(outcome)) outcome = StartEditorGuard(HandOverCommandLine(args));
      switch (outcome) {
        case goHandedOver: return 0;
        case goNoAnswer:
          ReportStartFailure("the running editor did not answer in time; nothing was handed over");
          return 1;
        default: break;
      }
      if (unseen) {
        ReportStartFailure(NoDisplayMessage);
        return 1;
      }
    } else {
      ::unsetenv(PassedGuardVariable);  // meant for an editor only
    }
    if (IsScreenSaverProgram(program) && !switches.Counts('A') && StartScreenSaverGuard() == goAlreadyRunning)
      return 0;
    if (IsWallpaperProgram(program)) CloseWallpaperChangers();
  } catch (const Exception& E) {
    ReportStartFailure(E.Message());
    return 1;
  }

  int exitCode = 0;
  try {
    StartMark("main");
    InstallLzwCoders();  // before any run mode reads its first picture
    IgnoreFileSizeSignal();
    Application->Initialize();
    StartMark("qt initialised");
    SetProgramIcon(ProgramFolder() + "kavrelin.svg");
    RunMode = mode;
    Randomize();
    Application->SetTitle("Kavrelin");
    // Damaged shipped settings must not keep the editor from starting: it
    // goes on with its own defaults and says so once its window exists.
    std::string settingsProblem;
    if (RunMode == rmEditor && !RegistryKeyExists("\\Software\\Kavrelin\\3.6\\")) {
      try {
        ImportRegFile(ProgramFolder() + "kavrelin.reg");
      } catch (const Exception& E) {
        settingsProblem = E.Message();
      }
    }
    // Read once: a choice made in the options takes effect at the next start.
    ApplyLanguageChoice();
    Application->CreateForm(form1);
    StartMark("main window created");
    if (!settingsProblem.empty())
      MessageDlg("Die mitgelieferten Einstellungen konnten nicht gelesen werden; Kavrelin startet mit seinen "
                 "Standardeinstellungen.\r\r" +
                     settingsProblem,
                 mtWarning, TMsgDlgButtons{mbOK}, 0);
    if (RunMode == rmEditor) {
      form1->OverrideChild = nullptr;
      form1->BatchBusy = 0;
      form1->Pump = false;
      form1->Quiet = false;
      InstanceGuard().Handler = [] {
        if (form1) form1->anotherinstance();
      };
      if (::chdir(ProgramFolder().c_str()) != 0) ReportStartFailure("cannot enter the program folder");
    }
    if (!DispatchRunMode(switches, exitCode)) RunEditor();
  } catch (...) {
    Application->HandleException(nullptr);
    exitCode = 1;
  }
  StopInstanceGuard();
  // The windows go while the registries they leave (handles, wallpapers) still exist.
  Application->DestroyComponents();
  return exitCode;
}

}  // namespace kv
