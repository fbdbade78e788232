// The wallpaper changer run mode: an invisible window with an icon in the
// desktop's notification area; the desktop wallpaper goes through the
// pictures of the slide show in "wallp.ini", one per timer tick.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TPopupMenu;
class TTimer;
class TTrayIcon;
class timagerlayer;

inline constexpr const char* kWallpaperTip = "Kavrelin Wallpaper Changer";
inline constexpr uint32_t kTrayMessage = 1025;  // the first user message

class TwallpaperForm : public TForm {
 public:
  explicit TwallpaperForm(TComponent* AOwner);
  ~TwallpaperForm() override;

  timagerlayer* timagerlayer1 = nullptr;
  TTimer* Timer1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TTrayIcon* TrayIcon = nullptr;

  // Reads the show and shows its first picture; false (after a message)
  // when there is nothing to show.
  bool Start(const std::string& IniFile);
  void Timer1Timer();
  void Next();
  void Previous();
  void First();
  void Last();
  // Renders the current picture as the wallpaper.
  void Render();
  void NoWallpaper();
  // The tray icon's mouse message: releases and double clicks open the menu.
  void TrayMessage(uint32_t MouseMessage);
  void PopupMenu();
  void ToggleLink(bool Autostart);

  bool Stopped = false;
  const std::vector<std::string>& Files() const { return FFiles; }
  int32_t Index() const { return FIndex; }
  const std::string& ParamText() const { return FParams; }
  static std::string LinkFile(bool Autostart);
  static std::string WallpaperFile();

 private:
  std::vector<std::string> FFiles;
  int32_t FIndex = -1;
  std::string FParams;
};

// The run mode: the changer until "Exit"; the exit code.
int RunWallpaperChanger();

}  // namespace kv
