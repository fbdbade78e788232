// Where the program's folders are, and small file and path helpers.
//
// On this system the folder delimiter is "/", so every folder result ends
// with "/". Paths compare with case, as the file system does.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/string_list.h"
#include "platform/system/paths.h"  // ProgramFolder, UserDataFolder

namespace kv {

// Empty for an empty path; else the path with "/" appended when it lacks one.
std::string IncludeBackslash(std::string_view Path);
// The user's "Images/" folder: the default folder of open dialogs and catalog
// entries. Like every folder the program writes, it is in UserDataFolder(),
// not beside the program.
std::string ImagesFolder();
// The user's "Batch/" folder: the batch files ".atp".
std::string BatchFolder();
// The user's "Cache/" folder: thumbnail caches and the mail's picture copy.
std::string CacheFolder();
// The per-user folder where the program puts what it hands to the desktop
// (the wallpaper picture, the exported players and their settings): the
// program's data folder $XDG_DATA_HOME/kavrelin/, made when missing.
std::string WindowsFolder();
// The system's library folder ("/usr/lib/").
std::string SystemFolder();

// Numbers of the special folders, as the shell numbers them.
enum : int32_t {
  CSIDL_DESKTOP = 0x0000,
  CSIDL_PROGRAMS = 0x0002,
  CSIDL_PERSONAL = 0x0005,
  CSIDL_STARTUP = 0x0007,
  CSIDL_STARTMENU = 0x000B,
  CSIDL_MYMUSIC = 0x000D,
  CSIDL_MYVIDEO = 0x000E,
  CSIDL_DESKTOPDIRECTORY = 0x0010,
  CSIDL_FONTS = 0x0014,
  CSIDL_TEMPLATES = 0x0015,
  CSIDL_APPDATA = 0x001A,
  CSIDL_LOCAL_APPDATA = 0x001C,
  CSIDL_INTERNET_CACHE = 0x0020,
  CSIDL_WINDOWS = 0x0024,
  CSIDL_SYSTEM = 0x0025,
  CSIDL_MYPICTURES = 0x0027,
  CSIDL_PROFILE = 0x0028,
};
// The folder of a special-folder number in its XDG meaning (desktop and user
// folders from user-dirs.dirs, start-up = ~/.config/autostart/, programs and
// start menu = ~/.local/share/applications/ ...); "" for a number without one.
std::string SpecialFolder(int32_t Csidl);

// The name part without its extension ("b.tar" of ".../b.tar.gz").
std::string FileNameWithoutExt(std::string_view Path);
// The text without any ".".
std::string RemoveDots(std::string_view Text);
// Whether the path is a folder one could change into. Unlike a trial change of
// folder it leaves the current folder alone.
bool DirectoryExistsByChDir(const std::string& Path);
// Creates the folder; true on success.
bool MakeFolder(const std::string& Path);
// Copies a file without asking; a Target that is a folder receives the file
// under its own name. The copy is written to a temporary file and renamed, so
// an existing target is never left half-written. Raises EInOutError on failure
// (a missing source, a target that cannot be written).
void ShellCopyFile(const std::string& Source, const std::string& Target);
// The same, but an existing target is replaced only when the user agrees;
// false when the user declined.
bool ShellCopyFileAsk(const std::string& Source, const std::string& Target);
// Every item followed by a NUL, then one more NUL (the file-list form of the shell).
std::string JoinNullSeparated(const TStrings& List);
// The leading folders both paths share, compared folder by folder as they are
// written; ends with "/", empty when the first folders differ.
std::string CommonFolderPrefix(std::string_view Path1, std::string_view Path2);

// The last run of decimal digits in a name: its 1-based first and last
// position and its value (held at the 64-bit maximum); without a digit, both
// positions are the length + 1 and the value is 0.
struct TNumberInName {
  int32_t Start = 0;
  int32_t End = 0;
  int64_t Value = 0;
};
TNumberInName FindNumberInName(std::string_view Name);

}  // namespace kv
