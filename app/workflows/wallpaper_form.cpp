#include "app/workflows/wallpaper_form.h"

#include <algorithm>

#include "app/helpers/desktop_helpers.h"
#include "app/helpers/folder_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "app/workflows/slide_frames.h"
#include "app/catalog/image_source.h"
#include "app/workflows/slide_sources.h"
#include "imaging/processing/resample.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/messages.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/timer.h"
#include "platform/ui/tray_icon.h"

namespace kv {

TwallpaperForm::TwallpaperForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("wallpaperForm");
  // The caption by which other starts find and close a running changer.
  SetCaption("kavrelinwallpaper");
  SetBounds(0, 0, 0, 0);
  timagerlayer1 = new timagerlayer(this);
  timagerlayer1->SetVisible(false);
  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->SetOnTimer([this](TObject*) { Timer1Timer(); });
  PopupMenu1 = new TPopupMenu(this);
  TrayIcon = new TTrayIcon(this);
  TrayIcon->OnMouse = [this](uint32_t M) { TrayMessage(M); };
  TrayIcon->Add(kWallpaperTip);
}

TwallpaperForm::~TwallpaperForm() {
  if (TrayIcon) TrayIcon->Remove();
}

std::string TwallpaperForm::LinkFile(bool Autostart) {
  return ShellLinkFileName(IncludeBackslash(SpecialFolder(Autostart ? CSIDL_STARTUP : CSIDL_DESKTOPDIRECTORY)) +
                           "Kavrelin Wallpaper Changer.lnk");
}

std::string TwallpaperForm::WallpaperFile() { return WindowsFolder() + "wallp.bmp"; }

bool TwallpaperForm::Start(const std::string& IniFile) {
  TStringList ini;
  if (FileExists(IniFile)) ini.LoadFromFile(IniFile);
  FParams = ini.Count() > 0 ? ini.Get(0) : "";
  // Without a show there is nothing to change to.
  if (Trim(FParams).empty()) {
    ShowMessage("Der Hintergrundbildwechsler findet keine Diashow in " + IniFile + ".");
    return false;
  }
  FFiles = ListImageSource(FParams);
  FIndex = -1;
  if (FFiles.empty()) {
    ShowMessage("Der Hintergrundbildwechsler findet keine Bilder in der Diashow von " + IniFile + ".");
    return false;
  }
  const double interval = ReadParamFloat(FParams, "Interval", 60);
  Timer1->SetInterval(interval < 0 ? 0 : uint32_t(std::min(Round(interval * 1000), int64_t(UINT32_MAX))));
  Timer1Timer();
  return true;
}

void TwallpaperForm::Timer1Timer() {
  if (Stopped) return;
  Next();
}

void TwallpaperForm::Next() {
  const int32_t count = int32_t(FFiles.size());
  FIndex = NextSlideIndex(FIndex, count, ReadParamBool(FParams, "forever", false));
  Render();
}

void TwallpaperForm::Previous() {
  FIndex = PrevSlideIndex(FIndex, int32_t(FFiles.size()), ReadParamBool(FParams, "forever", false));
  Render();
}

void TwallpaperForm::First() {
  FIndex = 0;
  Render();
}

void TwallpaperForm::Last() {
  FIndex = std::max<int32_t>(0, int32_t(FFiles.size()) - 1);
  Render();
}

void TwallpaperForm::Render() {
  Timer1->SetEnabled(false);
  if (FIndex >= 0 && FIndex < int32_t(FFiles.size())) {
    try {
      TBitmap picture;
      LoadToolPicture(FFiles[size_t(FIndex)], picture);
      timagerlayer1->SetBackground(TColor(ReadParamInt(FParams, "Color", 0)));
      int32_t w = 0, h = 0;
      FitShownSize(ReadParamInt(FParams, "Imagesizemode", 0), Screen->Width(), Screen->Height(), picture.Width(),
                   picture.Height(), w, h);
      TBitmap shown(std::max(1, w), std::max(1, h), pf24bit);
      ResampleBitmapProgress(picture, shown,
                             TResampleFilter(std::clamp(ReadParamInt(FParams, "Filter", 0), 0, 6)), nullptr, {});
      SaveToolPicture(WallpaperFile(), shown);
      SetDesktopWallpaper(WallpaperFile(), 0);
    } catch (const Exception&) {
      // An unreadable picture keeps the wallpaper as it is; the next tick goes on.
    }
  }
  // Restarted after every change, so each picture gets its whole interval.
  Timer1->SetEnabled(Timer1->Interval() > 0);
}

void TwallpaperForm::NoWallpaper() { SetDesktopWallpaper("", 0); }

void TwallpaperForm::TrayMessage(uint32_t MouseMessage) {
  if (MouseMessage == WM_LBUTTONUP || MouseMessage == WM_LBUTTONDBLCLK || MouseMessage == WM_RBUTTONUP) PopupMenu();
}

void TwallpaperForm::ToggleLink(bool Autostart) {
  const std::string link = LinkFile(Autostart);
  if (FileExists(link)) {
    DeleteFile(link);
  } else {
    ForceDirectories(ExtractFilePath(link));
    CreateShellLink(ParamStr(0), link, kWallpaperTip);
  }
}

void TwallpaperForm::PopupMenu() {
  auto& items = PopupMenu1->Items();
  items.clear();
  auto add = [&](const std::string& Caption, std::function<void()> Do, bool Checked = false) {
    TPopupItem it;
    it.Caption = Caption;
    it.Checked = Checked;
    it.OnClick = [Do](TObject*) { Do(); };
    items.push_back(std::move(it));
  };
  add("Autostart", [this] { ToggleLink(true); }, FileExists(LinkFile(true)));
  add("Desktop Link", [this] { ToggleLink(false); }, FileExists(LinkFile(false)));
  add("-", nullptr);
  add("Next", [this] { Next(); });
  add("Previous", [this] { Previous(); });
  add("First", [this] { First(); });
  add("Last", [this] { Last(); });
  add("Stop", [this] { Stopped = !Stopped; }, Stopped);
  add("No Wallpaper", [this] { NoWallpaper(); });
  add("-", nullptr);
  add("Exit", [this] { Close(); });
  const TPoint at = GetCursorPos();
  PopupMenu1->Popup(at.X, at.Y);
}

int RunWallpaperChanger() {
  AnnounceWallpaperChanger();
  auto* form = new TwallpaperForm(Application);
  if (!form->Start(WindowsFolder() + "wallp.ini")) {
    delete form;
    return 1;
  }
  // The changer has no window to show: it runs until "Exit" closes it.
  bool closed = false;
  form->OnClose = [&closed](TObject*, TCloseAction&) { closed = true; };
  while (!closed && !Application->Terminated()) Application->HandleMessage();
  delete form;
  return 0;
}

}  // namespace kv
