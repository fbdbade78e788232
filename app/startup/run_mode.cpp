#include "app/startup/run_mode.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

std::string ProgramBaseName(const std::string& Program) {
  std::string name = UpperCase(ExtractFileName(Program));
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".EXE") == 0) name.resize(name.size() - 4);
  return name;
}

bool IsEditorProgram(const std::string& Program) {
  const std::string name = ProgramBaseName(Program);
  return name == "KAVRELIN" || name == "KAVRELIN-EDITOR";
}

bool IsScreenSaverProgram(const std::string& Program) {
  return UpperCase(ExtractFileExt(ProgramBaseName(Program))) == ".SCR";
}

bool IsWallpaperProgram(const std::string& Program) { return ProgramBaseName(Program) == "WALLP"; }

TRunModeKind RunModeOfProgram(const std::string& Program) {
  TRunModeKind mode = rmEditor;
  if (ProgramBaseName(Program) == "SHOW") mode = rmSlideShow;
  if (IsScreenSaverProgram(Program)) mode = rmScreenSaver;
  if (IsWallpaperProgram(Program)) mode = rmWallpaperChanger;
  return mode;
}

bool TSwitches::Counts(char Letter) const {
  return (Switch.size() >= 1 && Switch[0] == Letter) || (Switch.size() >= 2 && Switch[1] == Letter);
}

TSwitches ParseSwitches(const std::vector<std::string>& Args) {
  TSwitches s;
  s.HasArgument = !Args.empty();
  if (Args.empty()) return s;
  s.Switch = UpperCase(Args[0]);
  const size_t colon = s.Switch.find(':');
  if (colon != std::string::npos)
    s.Value = s.Switch.substr(colon + 1);
  else if (Args.size() > 1)
    s.Value = UpperCase(Args[1]);
  return s;
}

bool DisplayAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

bool NamesBatchFile(const std::vector<std::string>& Args) {
  for (const std::string& a : Args)
    if (UpperCase(ExtractFileExt(a)) == ".ATP") return true;
  return false;
}

std::vector<std::string> AbsoluteFileArguments(const std::vector<std::string>& Args) {
  std::vector<std::string> r = Args;
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return r;
  const std::string here = std::string(cwd) + "/";
  std::free(cwd);
  for (std::string& a : r)
    if (!a.empty() && a[0] != '/' && a[0] != '-' && (FileExists(here + a) || DirectoryExists(here + a)))
      a = ExpandFileName(here + a);
  return r;
}

std::string JoinCommandLine(const std::vector<std::string>& Items) {
  std::string r;
  for (const std::string& item : Items) {
    if (!r.empty()) r += ' ';
    if (item.empty() || item.find_first_of(" \t\"") != std::string::npos) {
      // Quotes cannot be escaped in our command lines; they are left out.
      r += '"';
      for (char c : item)
        if (c != '"') r += c;
      r += '"';
    } else {
      r += item;
    }
  }
  return r;
}

}  // namespace kv
