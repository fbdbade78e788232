#include "app/helpers/desktop_helpers.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "app/helpers/desktop_entry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/file_lock.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

std::string FileUri(const std::string& Path) {
  static const char* const Hex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : ExpandFileName(Path)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri += char(c);
    } else {
      uri += '%';
      uri += Hex[c >> 4];
      uri += Hex[c & 15];
    }
  }
  return uri;
}

bool GSettingsSet(const std::string& Key, const std::string& Value) {
  return RunProcess({"gsettings", "set", "org.gnome.desktop.background", Key, Value}).Succeeded();
}

std::string ReadLink(const std::string& Path) {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink(Path.c_str(), buf.data(), buf.size());
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

std::string ChangerMarkPrefix() { return RuntimeFolder() + "wallpaper-"; }

// A process that ended but was not yet collected by its parent counts as gone.
bool ProcessAlive(pid_t Pid) {
  if (::kill(Pid, 0) != 0 && errno != EPERM) return false;
  std::string stat;
  try {
    ReadFileToString("/proc/" + std::to_string(Pid) + "/stat", stat, 4096);
  } catch (const EInOutError&) {
    return true;
  }
  const size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

}  // namespace

bool SetDesktopWallpaper(const std::string& FileName, int32_t Mode) {
  {
    TRegistry r;
    if (r.OpenKey("\\Control Panel\\desktop", true)) {
      if (Mode != 4) r.WriteString("TileWallPaper", Mode == 1 ? "1" : "0");
      r.WriteString("Wallpaper", FileName);
      r.WriteInteger("WallpaperStyle", 3);
      r.CloseKey();
    }
  }
  if (FindProgram("gsettings").empty()) return false;
  if (FileName.empty()) return GSettingsSet("picture-options", "none");
  const std::string uri = FileUri(FileName);
  if (!GSettingsSet("picture-uri", uri)) return false;
  GSettingsSet("picture-uri-dark", uri);  // older desktops have no dark variant
  if (Mode != 4) GSettingsSet("picture-options", Mode == 1 ? "wallpaper" : "centered");
  return true;
}

void AnnounceWallpaperChanger() {
  ForceDirectories(RuntimeFolder());
  ::chmod(RuntimeFolder().c_str(), 0700);
  AtomicWriteFile(ChangerMarkPrefix() + std::to_string(::getpid()), ReadLink("/proc/self/exe"), 0600);
}

void CloseWallpaperChangers() {
  // This process's changers: closed one by one; a window that refuses to close
  // is not asked again, so the loop always ends.
  std::vector<TCustomForm*> refused;
  for (;;) {
    TCustomForm* found = nullptr;
    for (int32_t i = 0; Screen && i < Screen->FormCount() && !found; ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (SameText(f->ClassName(), "twallpaperform") && SameText(f->Caption(), "kavrelinwallpaper") &&
          std::find(refused.begin(), refused.end(), f) == refused.end())
        found = f;
    }
    if (!found) break;
    refused.push_back(found);
    found->Close();
    if (Application) Application->ProcessMessages();
  }
  // Other processes: each announced changer that still runs the program it
  // announced is asked to end; marks of ended processes go.
  const std::string prefix = ChangerMarkPrefix();
  TSearchRec rec;
  std::vector<std::string> marks;
  if (FindFirst(prefix + "*", faAnyFile, rec) == 0) {
    do marks.push_back(ExtractFilePath(prefix) + rec.Name);
    while (FindNext(rec) == 0);
    FindClose(rec);
  }
  for (const std::string& mark : marks) {
    const int32_t pid = StrToIntDef(mark.substr(prefix.size()), 0);
    if (pid <= 0 || pid == ::getpid()) continue;
    std::string exe;
    try {
      ReadFileToString(mark, exe, 4096);
    } catch (const EInOutError&) {
      continue;
    }
    if (ProcessAlive(pid) && !exe.empty() && ReadLink("/proc/" + std::to_string(pid) + "/exe") == exe) {
      ::kill(pid, SIGTERM);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (ProcessAlive(pid) && std::chrono::steady_clock::now() < deadline) {
        if (Application) Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (!ProcessAlive(pid)) DeleteFile(mark);
  }
}

std::string ShellLinkFileName(const std::string& LinkFile) {
  return SameText(ExtractFileExt(LinkFile), ".lnk") ? ChangeFileExt(LinkFile, ".desktop") : LinkFile;
}

bool CreateShellLink(const std::string& Target, const std::string& LinkFile, const std::string& Description) {
  const std::string name = ShellLinkFileName(LinkFile);
  const std::string title = Description.empty() ? ExtractFileName(Target) : Description;
  std::vector<std::pair<std::string, std::string>> keys;
  struct stat st {};
  const bool program = ::stat(Target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(Target.c_str(), X_OK) == 0;
  if (program) {
    keys = {{"Type", "Application"}, {"Name", title}, {"Exec", QuoteExecArgument(Target)}};
  } else {
    keys = {{"Type", "Link"}, {"Name", title}, {"URL", FileUri(Target)}};
  }
  if (!Description.empty()) keys.emplace_back("Comment", Description);
  try {
    ForceDirectories(ExtractFilePath(name));
    // Desktops start only entries marked executable.
    WriteDesktopEntry(name, keys, 0755);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

}  // namespace kv
