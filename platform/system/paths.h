// Where the program lives and what it was started with.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// Folder of the running executable, with a trailing "/". The program keeps its
// "Batch", "Plugins", "Cache" ... folders and "kavrelin.reg" beside itself.
std::string ProgramFolder();
// Tests point the program folder elsewhere; "" goes back to the executable's folder.
void SetProgramFolder(const std::string& Folder);

// The command line as the application received it (SetCommandLine at start).
// ParamStr(0) is the executable's full path; 1..ParamCount() are the arguments;
// any other index gives an empty text.
void SetCommandLine(int Argc, const char* const* Argv);
int32_t ParamCount();
std::string ParamStr(int32_t Index);
// The file ParamStr(0) names instead, for a program that is started through a
// launcher of its own and is to be known by it; "" names the executable again.
void SetProgramFile(const std::string& FileName);

// The folder of what the program writes for its user (the "Batch", "Images"
// and "Cache" folders, the wallpaper files): $XDG_DATA_HOME/kavrelin/, by
// default ~/.local/share/kavrelin/, with a trailing "/". Not created here.
// What ships with the program stays read-only in the program folder.
std::string UserDataFolder();
// Tests point the data folder elsewhere; "" goes back to the default.
void SetUserDataFolder(const std::string& Folder);

// The user's settings folder: $XDG_CONFIG_HOME/kavrelin/, by default
// ~/.config/kavrelin/, with a trailing "/". Not created here.
std::string ConfigFolder();

// The XDG base folders, each with a trailing "/" and not created here: the
// user's home, $XDG_CONFIG_HOME (~/.config), $XDG_DATA_HOME (~/.local/share)
// and $XDG_CACHE_HOME (~/.cache). Relative settings are ignored, as the XDG
// base directory rules say.
std::string HomeFolder();
std::string XdgConfigHome();
std::string XdgDataHome();
std::string XdgCacheHome();
// The user's runtime folder for the program's sockets and lock files:
// $XDG_RUNTIME_DIR/kavrelin/, else /tmp/kavrelin-<uid>/. Not created here.
std::string RuntimeFolder();
// A user folder of user-dirs.dirs by its name ("DESKTOP", "PICTURES" ...),
// with a trailing "/": the desktop defaults to ~/Desktop, the others to home.
std::string XdgUserDir(const std::string& Name);
// The same from the text of a user-dirs.dirs file and the home folder (with
// its trailing "/").
std::string UserDirFromText(std::string_view Text, const std::string& Name, const std::string& Home);

}  // namespace kv
