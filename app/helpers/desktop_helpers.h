// The desktop wallpaper, links and running wallpaper changers.
#pragma once
#include <string>

namespace kv {

// Sets the desktop wallpaper. The values the program reads back stay under the
// current user's "\Control Panel\desktop" ("TileWallPaper": "1" for mode 1,
// untouched for mode 4, else "0"; "Wallpaper"; "WallpaperStyle" 3); the desktop
// itself is told through gsettings where it is present (picture-uri and its
// dark variant; picture-options "wallpaper" for mode 1, "centered" for the
// others, untouched for mode 4, "none" for an empty file name). True when the
// desktop took the picture. A name of any length is passed whole.
bool SetDesktopWallpaper(const std::string& FileName, int32_t Mode);

// Closes every running wallpaper changer: the changer windows of this process
// (class "twallpaperform", caption "kavrelinwallpaper") and the changers of
// other processes that announced themselves with AnnounceWallpaperChanger.
void CloseWallpaperChangers();
// Called by a running wallpaper changer, so that CloseWallpaperChangers of
// another process finds it: a mark in the runtime folder with the process
// number and the program file. Marks of ended processes are cleared by the
// next CloseWallpaperChangers.
void AnnounceWallpaperChanger();

// The name a link is saved under: a ".lnk" name becomes ".desktop", the form
// desktops and autostart read.
std::string ShellLinkFileName(const std::string& LinkFile);
// Creates a link to Target as a desktop entry under ShellLinkFileName(LinkFile):
// a program is started, a document or folder is opened. True when it was written.
bool CreateShellLink(const std::string& Target, const std::string& LinkFile, const std::string& Description);

}  // namespace kv
