#include "platform/system/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/rtl/file_utils.h"
#include "platform/system/file_lock.h"

namespace kv {

namespace {

std::mutex GMutex;
std::string GProgramFolder;  // override; empty: the executable's folder
std::string GUserDataFolder;  // override; empty: $XDG_DATA_HOME/kavrelin/
std::vector<std::string> GArgs;
std::string GProgramFile;  // override of ParamStr(0); empty: the executable

std::string ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (size_t(n) < buf.size()) return std::string(buf.data(), size_t(n));
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

std::string ProgramFolder() {
  {
    std::lock_guard<std::mutex> lock(GMutex);
    if (!GProgramFolder.empty()) return GProgramFolder;
  }
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

void SetProgramFolder(const std::string& Folder) {
  std::lock_guard<std::mutex> lock(GMutex);
  GProgramFolder = Folder.empty() ? Folder : IncludeTrailingPathDelimiter(Folder);
}

void SetCommandLine(int Argc, const char* const* Argv) {
  std::lock_guard<std::mutex> lock(GMutex);
  GArgs.clear();
  for (int i = 1; i < Argc && Argv; ++i) GArgs.emplace_back(Argv[i] ? Argv[i] : "");
}

void SetProgramFile(const std::string& FileName) {
  std::lock_guard<std::mutex> lock(GMutex);
  GProgramFile = FileName;
}

int32_t ParamCount() {
  std::lock_guard<std::mutex> lock(GMutex);
  return int32_t(GArgs.size());
}

std::string ParamStr(int32_t Index) {
  std::lock_guard<std::mutex> lock(GMutex);
  if (Index == 0) return GProgramFile.empty() ? ExecutablePath() : GProgramFile;
  if (Index < 0 || size_t(Index) > GArgs.size()) return {};
  return GArgs[size_t(Index) - 1];
}

std::string ConfigFolder() { return XdgConfigHome() + "kavrelin/"; }

std::string HomeFolder() {
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return IncludeTrailingPathDelimiter(home);
}

namespace {

std::string XdgBase(const char* Variable, const char* Default) {
  const char* xdg = std::getenv(Variable);
  // A relative setting is to be ignored, as the XDG base directory rules say.
  if (xdg && xdg[0] == '/') return IncludeTrailingPathDelimiter(xdg);
  return HomeFolder() + Default;
}

}  // namespace

std::string XdgConfigHome() { return XdgBase("XDG_CONFIG_HOME", ".config/"); }
std::string XdgDataHome() { return XdgBase("XDG_DATA_HOME", ".local/share/"); }
std::string XdgCacheHome() { return XdgBase("XDG_CACHE_HOME", ".cache/"); }

std::string UserDataFolder() {
  {
    std::lock_guard<std::mutex> lock(GMutex);
    if (!GUserDataFolder.empty()) return GUserDataFolder;
  }
  return XdgDataHome() + "kavrelin/";
}

void SetUserDataFolder(const std::string& Folder) {
  std::lock_guard<std::mutex> lock(GMutex);
  GUserDataFolder = Folder.empty() ? Folder : IncludeTrailingPathDelimiter(Folder);
}

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && xdg[0] == '/') return IncludeTrailingPathDelimiter(xdg) + "kavrelin/";
  return "/tmp/kavrelin-" + std::to_string(::getuid()) + "/";
}

std::string XdgUserDir(const std::string& Name) {
  std::string text;
  try {
    ReadFileToString(XdgConfigHome() + "user-dirs.dirs", text, 64 * 1024);
  } catch (...) {
    text.clear();  // an unreadable file is as good as none
  }
  return UserDirFromText(text, Name, HomeFolder());
}

std::string UserDirFromText(std::string_view Text, const std::string& Name, const std::string& Home) {
  const std::string key = "XDG_" + Name + "_DIR=";
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = Text.find('\n', pos);
    if (end == std::string_view::npos) end = Text.size();
    std::string_view line = Text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, key.size()) != key) continue;
    std::string v(line.substr(key.size()));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    // A folder name holds no control characters: such a value is damage, not a path.
    if (std::any_of(v.begin(), v.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) continue;
    // Only "$HOME/..." and absolute paths are valid here.
    if (v.compare(0, 6, "$HOME/") == 0) v = Home + v.substr(6);
    else if (v == "$HOME") v = Home;
    else if (v.empty() || v[0] != '/') continue;
    return IncludeTrailingPathDelimiter(v);
  }
  return Name == "DESKTOP" ? Home + "Desktop/" : Home;
}

}  // namespace kv
