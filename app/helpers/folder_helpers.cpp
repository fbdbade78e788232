#include "app/helpers/folder_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <limits>
#include <vector>

#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/dialogs.h"

namespace kv {

std::string IncludeBackslash(std::string_view Path) {
  if (Path.empty()) return {};
  std::string r(Path);
  if (r.back() != '/') r += '/';
  return r;
}

std::string ImagesFolder() { return UserDataFolder() + "Images/"; }

std::string BatchFolder() { return UserDataFolder() + "Batch/"; }

std::string CacheFolder() { return UserDataFolder() + "Cache/"; }

std::string WindowsFolder() {
  const std::string dir = UserDataFolder();
  ForceDirectories(dir);
  return dir;
}

std::string SystemFolder() { return "/usr/lib/"; }

std::string SpecialFolder(int32_t Csidl) {
  switch (Csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: return XdgUserDir("DESKTOP");
    case CSIDL_PERSONAL: return XdgUserDir("DOCUMENTS");
    case CSIDL_MYMUSIC: return XdgUserDir("MUSIC");
    case CSIDL_MYVIDEO: return XdgUserDir("VIDEOS");
    case CSIDL_MYPICTURES: return XdgUserDir("PICTURES");
    case CSIDL_TEMPLATES: return XdgUserDir("TEMPLATES");
    case CSIDL_STARTUP: return XdgConfigHome() + "autostart/";
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU: return XdgDataHome() + "applications/";
    case CSIDL_FONTS: return XdgDataHome() + "fonts/";
    case CSIDL_APPDATA: return XdgConfigHome();
    case CSIDL_LOCAL_APPDATA: return XdgDataHome();
    case CSIDL_INTERNET_CACHE: return XdgCacheHome();
    case CSIDL_WINDOWS: return WindowsFolder();
    case CSIDL_SYSTEM: return SystemFolder();
    case CSIDL_PROFILE: return HomeFolder();
    default: return {};
  }
}

std::string FileNameWithoutExt(std::string_view Path) { return ChangeFileExt(ExtractFileName(Path), ""); }

std::string RemoveDots(std::string_view Text) {
  std::string r;
  for (char c : Text)
    if (c != '.') r += c;
  return r;
}

bool DirectoryExistsByChDir(const std::string& Path) {
  struct stat st {};
  return !Path.empty() && ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(Path.c_str(), X_OK) == 0;
}

bool MakeFolder(const std::string& Path) { return !Path.empty() && CreateDir(Path); }

namespace {

std::string CopyTarget(const std::string& Source, const std::string& Target) {
  return DirectoryExists(Target) ? IncludeBackslash(Target) + ExtractFileName(Source) : Target;
}

bool SameFile(const std::string& A, const std::string& B) {
  struct stat a {}, b {};
  return ::stat(A.c_str(), &a) == 0 && ::stat(B.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void CopyFileContents(const std::string& Source, const std::string& Target) {
  if (!FileExists(Source)) throw EInOutError("Die Datei \"" + Source + "\" wurde nicht gefunden.");
  if (SameFile(Source, Target)) return;  // a file copied onto itself stays as it is
  std::ifstream in(Source, std::ios::binary);
  if (!in) throw EInOutError("Die Datei \"" + Source + "\" kann nicht gelesen werden.");
  struct stat st {};
  const unsigned mode = ::stat(Source.c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : 0666u;
  try {
    TAtomicFileStream out(Target, mode);
    std::vector<char> buf(1 << 16);
    while (in) {
      in.read(buf.data(), std::streamsize(buf.size()));
      const std::streamsize got = in.gcount();
      if (got > 0) out.Write(buf.data(), int32_t(got));
    }
    if (in.bad()) throw EInOutError("Die Datei \"" + Source + "\" kann nicht gelesen werden.");
    out.Commit();
  } catch (const EStreamError& e) {
    throw EInOutError("Die Datei \"" + Target + "\" kann nicht geschrieben werden (" + e.Message() + ").");
  }
}

}  // namespace

void ShellCopyFile(const std::string& Source, const std::string& Target) {
  CopyFileContents(Source, CopyTarget(Source, Target));
}

bool ShellCopyFileAsk(const std::string& Source, const std::string& Target) {
  const std::string target = CopyTarget(Source, Target);
  if (FileExists(target) && !SameFile(Source, target) &&
      MessageDlg("Die Datei \"" + target + "\" ist bereits vorhanden.\nSoll sie ersetzt werden?", mtConfirmation,
                 TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return false;
  CopyFileContents(Source, target);
  return true;
}

std::string JoinNullSeparated(const TStrings& List) {
  std::string r;
  for (int32_t i = 0; i < List.Count(); ++i) {
    r += List.Strings(i);
    r += '\0';
  }
  r += '\0';
  return r;
}

std::string CommonFolderPrefix(std::string_view Path1, std::string_view Path2) {
  const std::string a = ExtractFilePath(Path1), b = ExtractFilePath(Path2);
  // Whole folders only: the shared part ends at a delimiter that both have.
  size_t end = 0;
  for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
    if (a[i] == '/') end = i + 1;
  return a.substr(0, end);
}

TNumberInName FindNumberInName(std::string_view Name) {
  TNumberInName r;
  const int32_t n = int32_t(std::min<size_t>(Name.size(), size_t(std::numeric_limits<int32_t>::max() - 1)));
  int32_t last = n;
  while (last > 0 && !(Name[size_t(last - 1)] >= '0' && Name[size_t(last - 1)] <= '9')) --last;
  if (last == 0) {
    r.Start = r.End = n + 1;
    return r;
  }
  int32_t first = last;
  while (first > 1 && Name[size_t(first - 2)] >= '0' && Name[size_t(first - 2)] <= '9') --first;
  r.Start = first;
  r.End = last;
  for (int32_t i = first; i <= last; ++i) {
    const int64_t d = Name[size_t(i - 1)] - '0';
    r.Value = r.Value > (std::numeric_limits<int64_t>::max() - d) / 10 ? std::numeric_limits<int64_t>::max()
                                                                        : r.Value * 10 + d;
  }
  return r;
}

}  // namespace kv
