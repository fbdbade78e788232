// What a start is asked to do: the run mode from the program's own file name,
// and the switch and value that screen savers and "/INIT" understand.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum TRunModeKind : uint8_t { rmEditor = 0, rmSlideShow = 1, rmScreenSaver = 2, rmWallpaperChanger = 3 };

// The file name of Program in capitals, without its folder and without a
// trailing ".EXE", so "kavrelin", "Kavrelin.exe" and "/opt/x/KAVRELIN" agree.
std::string ProgramBaseName(const std::string& Program);
// The editor's own name keeps the single-instance guard; so does the name of
// the editor proper behind the launcher, when started directly.
bool IsEditorProgram(const std::string& Program);
bool IsScreenSaverProgram(const std::string& Program);
bool IsWallpaperProgram(const std::string& Program);
// "SHOW" gives the slide-show player, a ".SCR" name the screen saver, "WALLP"
// the wallpaper changer, tested in that order with a later match winning;
// anything else is the editor.
TRunModeKind RunModeOfProgram(const std::string& Program);

// The first argument in capitals, and its value: the text after the switch's
// first ":", else the second argument in capitals.
struct TSwitches {
  std::string Switch;
  std::string Value;
  bool HasArgument = false;
  // A letter counts when it stands first or second in the switch, so "S",
  // "/S" and "-S" all count for S.
  bool Counts(char Letter) const;
};
TSwitches ParseSwitches(const std::vector<std::string>& Args);

// The editor works in its program folder, so names given relative to the
// folder it was started in (or handed over from another) are made absolute
// first. Arguments that name nothing there, and switches, stay as they are.
std::vector<std::string> AbsoluteFileArguments(const std::vector<std::string>& Args);

// True when the editor has somewhere to show itself: a display, or a window
// platform asked for on purpose (QT_QPA_PLATFORM).
bool DisplayAvailable();
// True when an argument names a batch file (".atp"): such a start may run
// without a display, and ends when its batches have run.
bool NamesBatchFile(const std::vector<std::string>& Args);
// What an interactive start without a display says before it ends.
inline constexpr const char* NoDisplayMessage =
    "Kein Bildschirm, auf dem der Editor erscheinen kann (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Starten "
    "Sie ihn auf einem Desktop, oder nennen Sie eine Stapeldatei (.atp), die ohne Bildschirm läuft.";

// The command line as one text, the program first: an item with a blank, a
// tab or a double quote, or an empty one, is put in double quotes.
std::string JoinCommandLine(const std::vector<std::string>& Items);

}  // namespace kv
