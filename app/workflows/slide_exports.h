// Turning a slide show into something that runs without the editor: a CD
// folder that starts the player by itself, the desktop's screen saver, and the
// wallpaper changer; and the screen saver's own settings.
#pragma once
#include <string>
#include <vector>

#include "app/workflows/slide_settings.h"

namespace kv {

// The length of the leading folders all pictures share, compared by whole
// folder names with case, as this file system names them; ends after a "/".
size_t CommonFolderLength(const std::vector<std::string>& Files);

struct TCopyList {
  std::vector<std::string> Sources, Targets;
};
// What the CD folder receives (Target ends in "/"): the pictures below
// "Pics/" (their shared folders left out, ":" becoming "0"), their text and
// spoken comments, the background music and the program.
TCopyList CDFolderCopies(const TSlideSettings& S, const std::vector<std::string>& Pictures, const std::string& Target);
// The sources that could not be copied.
std::vector<std::string> RunCopies(const TCopyList& List);

// The "show.ini" of a CD folder: the show over its own "Pics" folder.
std::string CDFolderShowIni(const TSlideSettings& S);
// The "show.ini" of the screen saver: full screen, no mouse, repeating.
std::string ScreenSaverShowIni(const TSlideSettings& S);

inline constexpr const char* kAutorunScript = "autorun";
inline constexpr const char* kPlayerName = "show";
inline constexpr const char* kScreenSaverName = "kavrelin.scr";
inline constexpr const char* kWallpaperName = "wallp";

// Writes the CD folder without asking; the failed copies are returned.
std::vector<std::string> WriteCDFolder(const TSlideSettings& S, const std::string& Target);

// The interactive exports of the setup window.
void ExportCDFolder(const TSlideSettings& S);
void ExportScreenSaver(const TSlideSettings& S);
void ConfigureScreenSaver();
void ExportWallpaperChanger(const TSlideSettings& S);

// Adds the module to xscreensaver's programs list in ConfigFile ("~/.xscreensaver");
// true when it is listed afterwards.
bool AddToXScreenSaverList(const std::string& ConfigFile, const std::string& Module);

}  // namespace kv
