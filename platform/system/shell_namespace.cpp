// The shell namespace over the file system and GIO.
#include "platform/system/shell_namespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <fstream>
#include <map>
#include <mutex>
#include <unordered_map>

// GIO names a struct field after a word Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gunixmounts.h>
#pragma pop_macro("signals")

#include "platform/system/paths.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

std::atomic<int64_t> gLiveBlocks{0};

uint16_t ItemCount(PCItemIDList P) {
  uint16_t cb;
  std::memcpy(&cb, P, 2);  // items sit at odd offsets
  return cb;
}

size_t ListBytes(PCItemIDList P) {
  if (!P) return 0;
  size_t n = 0;
  for (uint16_t cb; (cb = ItemCount(P + n)) != 0;) n += cb;
  return n + 2;
}

std::vector<std::vector<uint8_t>> SplitItems(PCItemIDList P) {
  std::vector<std::vector<uint8_t>> items;
  if (!P) return items;
  for (uint16_t cb; (cb = ItemCount(P)) != 0; P += cb) items.emplace_back(P, P + cb);
  return items;
}

PItemIDList ListFromBytes(const std::vector<uint8_t>& Bytes) {
  PItemIDList p = ShellAlloc(Bytes.size() + 2);
  if (!Bytes.empty()) std::memcpy(p, Bytes.data(), Bytes.size());
  return p;
}

void AppendItem(std::vector<uint8_t>& Bytes, TShellItemKind Kind, const std::string& Name) {
  const size_t cb = 2 + 1 + Name.size();
  if (cb > 0xFFFF) return;
  const uint16_t c = static_cast<uint16_t>(cb);
  const size_t at = Bytes.size();
  Bytes.resize(at + cb);
  std::memcpy(&Bytes[at], &c, 2);
  Bytes[at + 2] = Kind;
  if (!Name.empty()) std::memcpy(&Bytes[at + 3], Name.data(), Name.size());
}

bool DecodeItem(const uint8_t* Item, TShellItemKind& Kind, std::string& Name) {
  const uint16_t cb = ItemCount(Item);
  if (cb < 3) return false;
  Kind = static_cast<TShellItemKind>(Item[2]);
  Name.assign(reinterpret_cast<const char*>(Item + 3), cb - 3u);
  return true;
}

std::string NoSlash(std::string P) {
  while (P.size() > 1 && P.back() == '/') P.pop_back();
  return P;
}

std::string Home() { return NoSlash(HomeFolder()); }
std::string DesktopDir() { return NoSlash(XdgUserDir("DESKTOP")); }
std::string TrashDir() { return XdgDataHome() + "Trash"; }

std::string Join(const std::string& Dir, const std::string& Name) {
  return Dir == "/" ? "/" + Name : Dir + "/" + Name;
}

bool IsDir(const std::string& P) {
  struct stat st {};
  return ::stat(P.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& P) {
  struct stat st {};
  return ::lstat(P.c_str(), &st) == 0;
}

// Mount points shown below Computer: the root and what a file manager shows.
std::vector<std::string> MountPoints() {
  std::vector<std::string> mps{"/"};
  GList* mounts = g_unix_mounts_get(nullptr);
  for (GList* l = mounts; l; l = l->next) {
    auto* m = static_cast<GUnixMountEntry*>(l->data);
    const std::string mp = g_unix_mount_get_mount_path(m);
    if (mp != "/" && g_unix_mount_guess_should_display(m) && std::find(mps.begin(), mps.end(), mp) == mps.end())
      mps.push_back(mp);
  }
  g_list_free_full(mounts, reinterpret_cast<GDestroyNotify>(g_unix_mount_free));
  std::sort(mps.begin() + 1, mps.end());
  return mps;
}

std::string MountName(const std::string& Mp) {
  GUnixMountEntry* m = g_unix_mount_at(Mp.c_str(), nullptr);
  if (!m) return Mp;
  gchar* n = g_unix_mount_guess_name(m);
  std::string name = n ? n : Mp;
  g_free(n);
  g_unix_mount_free(m);
  return name;
}

std::vector<std::string> IconNamesOf(GIcon* Icon) {
  std::vector<std::string> names;
  if (Icon && G_IS_THEMED_ICON(Icon))
    for (const gchar* const* n = g_themed_icon_get_names(G_THEMED_ICON(Icon)); n && *n; ++n) names.emplace_back(*n);
  return names;
}

// The folder a list names, walked item by item.
struct TLocation {
  TShellFolder::TKind Kind = TShellFolder::fkDesktop;
  std::string Path;
  bool Valid = true;
};

TLocation Step(const TLocation& From, TShellItemKind Kind, const std::string& Name) {
  TLocation to;
  switch (Kind) {
    case sikFile:
      if (From.Kind == TShellFolder::fkDesktop) to = {TShellFolder::fkFileSystem, Join(DesktopDir(), Name), true};
      else if (From.Kind == TShellFolder::fkFileSystem) to = {TShellFolder::fkFileSystem, Join(From.Path, Name), true};
      else to.Valid = false;
      if (Name.empty() || Name.find('/') != std::string::npos || Name == "." || Name == "..") to.Valid = false;
      break;
    case sikHome: to = {TShellFolder::fkFileSystem, Home(), From.Kind == TShellFolder::fkDesktop}; break;
    case sikComputer: to = {TShellFolder::fkComputer, "", From.Kind == TShellFolder::fkDesktop}; break;
    case sikTrash: to = {TShellFolder::fkTrash, "", From.Kind == TShellFolder::fkDesktop}; break;
    case sikMount:
      to = {TShellFolder::fkFileSystem, Name, From.Kind == TShellFolder::fkComputer && !Name.empty() && Name[0] == '/'};
      break;
    case sikTrashItem:
      to = {TShellFolder::fkFileSystem, TrashDir() + "/files/" + Name,
            From.Kind == TShellFolder::fkTrash && !Name.empty() && Name.find('/') == std::string::npos};
      break;
    case sikEmpty: to = {TShellFolder::fkEmpty, "", From.Kind == TShellFolder::fkDesktop}; break;
    default: to.Valid = false;
  }
  return to;
}

TLocation Locate(PCItemIDList Abs) {
  TLocation loc;
  for (const auto& item : SplitItems(Abs)) {
    TShellItemKind k = sikFile;
    std::string name;
    if (!DecodeItem(item.data(), k, name)) return {TShellFolder::fkDesktop, "", false};
    loc = Step(loc, k, name);
    if (!loc.Valid) return loc;
  }
  return loc;
}

// Whether a folder holds a subfolder; symlinks that lead back up count as none.
bool HasSubfolder(const std::string& Dir) {
  DIR* d = ::opendir(Dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
    if (e->d_type == DT_DIR) { found = true; break; }
    if ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) && IsDir(Join(Dir, e->d_name))) { found = true; break; }
  }
  ::closedir(d);
  return found;
}

// A symlinked folder that leads to itself or to one of its ancestors would
// let the tree unfold without end.
bool IsLoopLink(const std::string& Path) {
  std::error_code ec;
  const auto target = std::filesystem::canonical(Path, ec);
  if (ec) return false;
  const auto parent = std::filesystem::canonical(std::filesystem::path(Path).parent_path(), ec);
  if (ec) return false;
  const std::string t = target.string(), p = parent.string();
  return p == t || (p.size() > t.size() && p.compare(0, t.size(), t) == 0 && (t == "/" || p[t.size()] == '/'));
}

std::string TrashOriginal(const std::string& Name) {
  std::ifstream f(TrashDir() + "/info/" + Name + ".trashinfo");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("Path=", 0) == 0) {
      gchar* un = g_uri_unescape_string(line.c_str() + 5, nullptr);
      std::string p = un ? un : line.substr(5);
      g_free(un);
      return p;
    }
  return {};
}

std::string DisplayFileName(const std::string& Name) {
  gchar* d = g_filename_display_name(Name.c_str());
  std::string s = d ? d : Name;
  g_free(d);
  return s;
}

}  // namespace

// ---- allocator and items ----

PItemIDList ShellAlloc(size_t Bytes) {
  auto* p = static_cast<PItemIDList>(std::calloc(std::max<size_t>(Bytes, 1), 1));
  if (!p) throw std::bad_alloc();
  ++gLiveBlocks;
  return p;
}

void ShellFree(PCItemIDList List) {
  if (!List) return;
  --gLiveBlocks;
  std::free(const_cast<uint8_t*>(List));
}

int64_t ShellLiveBlocks() { return gLiveBlocks.load(); }

PItemIDList ShellMakeItem(TShellItemKind Kind, const std::string& Name) {
  std::vector<uint8_t> b;
  AppendItem(b, Kind, Name);
  return ListFromBytes(b);
}

bool ShellItemOf(PCItemIDList List, TShellItemKind& Kind, std::string& Name) {
  return List && ItemCount(List) != 0 && DecodeItem(List, Kind, Name);
}

PItemIDList ShellSpecialFolder(TShellPlace Place) {
  // The first of the folders that exists, else an empty node of that caption.
  auto firstOf = [](std::initializer_list<std::string> Paths, const std::string& Caption) -> PItemIDList {
    for (const std::string& p : Paths)
      if (IsDir(p)) return ShellParsePath(p);
    return ShellMakeItem(sikEmpty, Caption);
  };
  switch (Place) {
    case spDesktop: return ShellAlloc(2);
    case spRecycleBin: return ShellMakeItem(sikTrash, "");
    case spDrives: return ShellMakeItem(sikComputer, "");
    case spDesktopDir: return firstOf({DesktopDir()}, "Desktop");
    case spDocumentDir: return firstOf({NoSlash(XdgUserDir("DOCUMENTS")), Home()}, "Dokumente");
    case spTemplates: return firstOf({NoSlash(XdgUserDir("TEMPLATES"))}, "Vorlagen");
    case spFonts: return firstOf({XdgDataHome() + "fonts", Home() + "/.fonts", "/usr/share/fonts"}, "Schriftarten");
    case spPrograms:
    case spStartMenu: return firstOf({XdgDataHome() + "applications", "/usr/share/applications"}, "Programme");
    case spStartup: return firstOf({XdgConfigHome() + "autostart", "/etc/xdg/autostart"}, "Autostart");
    case spRecentDir: return ShellMakeItem(sikEmpty, "Zuletzt verwendet");
    case spControlPanel: return ShellMakeItem(sikEmpty, "Systemsteuerung");
    case spFavoriteURLs: return ShellMakeItem(sikEmpty, "Favoriten");
    case spNetHood:
    case spNetHoodDir: return ShellMakeItem(sikEmpty, "Netzwerk");
    case spPrinters: return ShellMakeItem(sikEmpty, "Drucker");
    case spSendTo: return ShellMakeItem(sikEmpty, "Senden an");
  }
  return nullptr;
}

std::string ShellPathFromIDList(PCItemIDList Abs) {
  const TLocation loc = Locate(Abs);
  if (!loc.Valid) return {};
  if (loc.Kind == TShellFolder::fkDesktop) return DesktopDir();
  return loc.Path;
}

PItemIDList ShellParsePath(const std::string& Path) {
  return TShellFolder::Desktop()->ParseDisplayName(Path);
}

namespace {
bool gSkipHome = false;  // set only on the GUI thread, around one parse
}

PItemIDList ShellParsePathUnderComputer(const std::string& Path) {
  gSkipHome = true;
  PItemIDList l = TShellFolder::Desktop()->ParseDisplayName(Path);
  gSkipHome = false;
  return l;
}

bool ShellIsLoopLink(const std::string& Path) {
  struct stat st {};
  return ::lstat(Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && IsLoopLink(Path);
}

std::string ShellContentType(const std::string& Path) {
  if (IsDir(Path)) return "inode/directory";
  gboolean uncertain = false;
  gchar* ct = g_content_type_guess(Path.c_str(), nullptr, 0, &uncertain);
  gchar* mime = ct ? g_content_type_get_mime_type(ct) : nullptr;
  std::string s = mime ? mime : (ct ? ct : "application/octet-stream");
  g_free(mime);
  g_free(ct);
  return s;
}

std::vector<std::string> ShellIconNames(PCItemIDList Abs, bool Open) {
  const auto items = SplitItems(Abs);
  if (items.empty()) return {"user-desktop", "folder"};
  TShellItemKind k = sikFile;
  std::string name;
  DecodeItem(items.back().data(), k, name);
  const TLocation loc = Locate(Abs);
  switch (k) {
    case sikHome: return {"user-home", "folder"};
    case sikComputer: return {"computer", "drive-harddisk"};
    case sikTrash: {
      DIR* d = ::opendir((TrashDir() + "/files").c_str());
      bool full = false;
      while (d && !full)
        if (dirent* e = ::readdir(d)) full = std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..");
        else break;
      if (d) ::closedir(d);
      return {full ? "user-trash-full" : "user-trash", "user-trash"};
    }
    case sikMount: {
      std::vector<std::string> names;
      if (GUnixMountEntry* m = g_unix_mount_at(name.c_str(), nullptr)) {
        GIcon* icon = g_unix_mount_guess_icon(m);
        names = IconNamesOf(icon);
        if (icon) g_object_unref(icon);
        g_unix_mount_free(m);
      }
      names.push_back("drive-harddisk");
      return names;
    }
    case sikEmpty: return {"folder"};
    default: break;
  }
  if (!loc.Valid) return {"text-x-generic"};
  if (IsDir(loc.Path)) {
    if (loc.Path == DesktopDir()) return {"user-desktop", "folder"};
    return Open ? std::vector<std::string>{"folder-open", "folder"} : std::vector<std::string>{"folder"};
  }
  gboolean uncertain = false;
  gchar* ct = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
  const std::string type = ct ? ct : "";
  g_free(ct);
  // A folder of photos asks for the same type thousands of times.
  static std::mutex lock;
  static std::unordered_map<std::string, std::vector<std::string>> byType;
  std::lock_guard<std::mutex> guard(lock);
  auto it = byType.find(type);
  if (it != byType.end()) return it->second;
  std::vector<std::string> names;
  if (!type.empty()) {
    GIcon* icon = g_content_type_get_icon(type.c_str());
    names = IconNamesOf(icon);
    if (icon) g_object_unref(icon);
  }
  names.push_back("text-x-generic");
  byType.emplace(type, names);
  return names;
}

// ---- TShellFolder ----

struct TShellFolder::TCache {
  std::unordered_map<std::string, std::string> Keys;
  std::unordered_map<std::string, bool> Folder;
};

TShellFolder::TShellFolder(TKind Kind, std::string Path, std::vector<uint8_t> Abs)
    : FKind(Kind), FPath(std::move(Path)), FAbs(std::move(Abs)), FCache(std::make_shared<TCache>()) {}

std::shared_ptr<TShellFolder> TShellFolder::Desktop() {
  return std::make_shared<TShellFolder>(fkDesktop, DesktopDir(), std::vector<uint8_t>{});
}

std::shared_ptr<TShellFolder> TShellFolder::Bind(PCItemIDList Abs) {
  const TLocation loc = Locate(Abs);
  if (!loc.Valid) return nullptr;
  if (loc.Kind == fkFileSystem && !IsDir(loc.Path)) return nullptr;
  const size_t n = ListBytes(Abs);
  std::vector<uint8_t> bytes(Abs, Abs + (n >= 2 ? n - 2 : 0));
  return std::make_shared<TShellFolder>(loc.Kind, loc.Kind == fkDesktop ? DesktopDir() : loc.Path, std::move(bytes));
}

PItemIDList TShellFolder::AbsoluteList() const { return ListFromBytes(FAbs); }

std::shared_ptr<TShellFolder> TShellFolder::BindToObject(PCItemIDList Rel) const {
  if (!Rel || ItemCount(Rel) == 0) return nullptr;
  std::vector<uint8_t> abs = FAbs;
  const size_t n = ListBytes(Rel);
  abs.insert(abs.end(), Rel, Rel + n - 2);
  abs.push_back(0);
  abs.push_back(0);
  return Bind(abs.data());
}

bool TShellFolder::ChildIsFolder(TShellItemKind Kind, const std::string& Name) const {
  if (Kind != sikFile && Kind != sikTrashItem) return true;
  auto it = FCache->Folder.find(Name);
  if (it != FCache->Folder.end()) return it->second;
  const std::string p = Kind == sikTrashItem ? TrashDir() + "/files/" + Name
                                             : Join(FKind == fkDesktop ? DesktopDir() : FPath, Name);
  const bool f = IsDir(p);
  FCache->Folder.emplace(Name, f);
  return f;
}

bool TShellFolder::EnumObjects(uint32_t Flags, std::vector<PItemIDList>& Items) const {
  const bool folders = Flags & SFE_FOLDERS, files = Flags & SFE_NONFOLDERS, hidden = Flags & SFE_INCLUDEHIDDEN;
  auto listDir = [&](const std::string& Dir, TShellItemKind Kind) -> bool {
    DIR* d = ::opendir(Dir.c_str());
    if (!d) return false;
    while (dirent* e = ::readdir(d)) {
      const char* n = e->d_name;
      if (n[0] == '.' && (!n[1] || (n[1] == '.' && !n[2]))) continue;
      if (!hidden && n[0] == '.') continue;
      bool isDir;
      if (e->d_type == DT_DIR) isDir = true;
      else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) isDir = IsDir(Join(Dir, n));
      else isDir = false;
      FCache->Folder[n] = isDir;
      if (isDir ? folders : files) Items.push_back(ShellMakeItem(Kind, n));
    }
    ::closedir(d);
    return true;
  };
  switch (FKind) {
    case fkDesktop:
      if (folders) {
        Items.push_back(ShellMakeItem(sikHome, ""));
        Items.push_back(ShellMakeItem(sikComputer, ""));
        Items.push_back(ShellMakeItem(sikTrash, ""));
      }
      // The desktop folder is often missing; the places above are still there.
      if (IsDir(DesktopDir()) && DesktopDir() != Home()) listDir(DesktopDir(), sikFile);
      return true;
    case fkFileSystem: return listDir(FPath, sikFile);
    case fkComputer:
      if (folders)
        for (const std::string& mp : MountPoints()) Items.push_back(ShellMakeItem(sikMount, mp));
      return true;
    case fkTrash: {
      if (!IsDir(TrashDir() + "/files")) return true;
      return listDir(TrashDir() + "/files", sikTrashItem);
    }
    case fkEmpty: return true;
  }
  return false;
}

uint32_t TShellFolder::GetAttributesOf(PCItemIDList Rel, uint32_t Mask) const {
  TShellItemKind k = sikFile;
  std::string name;
  if (!ShellItemOf(Rel, k, name)) return 0;
  // The attributes of a deeper list are those of its last item.
  if (ItemCount(Rel + ItemCount(Rel)) != 0) {
    PItemIDList first = ShellMakeItem(k, name);
    auto sub = BindToObject(first);
    ShellFree(first);
    return sub ? sub->GetAttributesOf(Rel + ItemCount(Rel), Mask) : 0;
  }
  uint32_t a = 0;
  const TLocation loc = Step({FKind, FPath, true}, k, name);
  if (!loc.Valid) return 0;
  switch (k) {
    case sikHome:
    case sikMount:
      a = SFA_FOLDER | SFA_FILESYSTEM | SFA_FILESYSANCESTOR | SFA_STORAGE | SFA_HASPROPSHEET | SFA_DROPTARGET;
      if ((Mask & SFA_HASSUBFOLDER) && HasSubfolder(loc.Path)) a |= SFA_HASSUBFOLDER;
      break;
    case sikComputer: a = SFA_FOLDER | SFA_FILESYSANCESTOR | SFA_HASSUBFOLDER | SFA_HASPROPSHEET; break;
    case sikTrash:
      a = SFA_FOLDER | SFA_HASPROPSHEET | SFA_DROPTARGET;
      if ((Mask & SFA_HASSUBFOLDER) && HasSubfolder(TrashDir() + "/files")) a |= SFA_HASSUBFOLDER;
      break;
    case sikEmpty: a = SFA_FOLDER; break;
    case sikFile:
    case sikTrashItem: {
      struct stat lst {};
      if (::lstat(loc.Path.c_str(), &lst) != 0) return 0;
      a = SFA_CANCOPY | SFA_HASPROPSHEET | SFA_FILESYSTEM | SFA_CANDELETE;
      if (k == sikFile) a |= SFA_CANMOVE | SFA_CANLINK | SFA_CANRENAME;
      if (name[0] == '.') a |= SFA_HIDDEN;
      if (::access(loc.Path.c_str(), W_OK) != 0) a |= SFA_READONLY;
      const bool link = S_ISLNK(lst.st_mode);
      if (link) a |= SFA_LINK;
      if (ChildIsFolder(k, name)) {
        a |= SFA_FOLDER | SFA_FILESYSANCESTOR | SFA_STORAGE | SFA_DROPTARGET;
        if ((Mask & SFA_HASSUBFOLDER) && !(link && IsLoopLink(loc.Path)) && HasSubfolder(loc.Path))
          a |= SFA_HASSUBFOLDER;
      }
      break;
    }
  }
  return a & Mask;
}

std::string TShellFolder::GetDisplayNameOf(PCItemIDList Rel, uint32_t Kind) const {
  TShellItemKind k = sikFile;
  std::string name;
  if (!ShellItemOf(Rel, k, name)) {
    switch (FKind) {
      case fkDesktop: return Kind == SFN_FORPARSING ? DesktopDir() : "Desktop";
      case fkComputer: return Kind == SFN_FORPARSING ? "computer:///" : "Computer";
      case fkTrash: return Kind == SFN_FORPARSING ? "trash:///" : "Papierkorb";
      case fkEmpty: {
        TShellItemKind ek = sikEmpty;
        std::string en;
        std::vector<uint8_t> abs = FAbs;
        abs.insert(abs.end(), {0, 0});
        const auto items = SplitItems(abs.data());
        return items.empty() || !DecodeItem(items.back().data(), ek, en) ? "" : en;
      }
      case fkFileSystem:
        if (Kind == SFN_FORPARSING) return FPath;
        return FPath == "/" ? MountName("/") : DisplayFileName(std::filesystem::path(FPath).filename().string());
    }
    return {};
  }
  if (ItemCount(Rel + ItemCount(Rel)) != 0) {
    PItemIDList first = ShellMakeItem(k, name);
    auto sub = BindToObject(first);
    ShellFree(first);
    return sub ? sub->GetDisplayNameOf(Rel + ItemCount(Rel), Kind) : "";
  }
  const TLocation loc = Step({FKind, FPath, true}, k, name);
  if (!loc.Valid) return {};
  const bool parse = Kind == SFN_FORPARSING;
  switch (k) {
    case sikFile: return parse ? loc.Path : DisplayFileName(name);
    case sikHome: return parse ? loc.Path : DisplayFileName(std::filesystem::path(loc.Path).filename().string());
    case sikComputer: return parse ? "computer:///" : "Computer";
    case sikTrash: return parse ? "trash:///" : "Papierkorb";
    case sikMount: return parse ? name : MountName(name);
    case sikTrashItem: {
      if (parse) return "trash:///" + name;
      const std::string orig = TrashOriginal(name);
      return DisplayFileName(orig.empty() ? name : std::filesystem::path(orig).filename().string());
    }
    case sikEmpty: return name;
  }
  return {};
}

std::string TShellFolder::CollateKey(const std::string& Name) const {
  auto it = FCache->Keys.find(Name);
  if (it != FCache->Keys.end()) return it->second;
  gchar* k = g_utf8_collate_key_for_filename(DisplayFileName(Name).c_str(), -1);
  std::string key = k ? k : Name;
  g_free(k);
  return FCache->Keys.emplace(Name, std::move(key)).first->second;
}

int32_t TShellFolder::CompareIDs(PCItemIDList A, PCItemIDList B) const {
  TShellItemKind ka = sikFile, kb = sikFile;
  std::string na, nb;
  const bool ha = ShellItemOf(A, ka, na), hb = ShellItemOf(B, kb, nb);
  if (!ha || !hb) return ha == hb ? 0 : (ha ? 1 : -1);
  auto rank = [this](TShellItemKind K, const std::string& N) {
    switch (K) {
      case sikHome: return 0;
      case sikComputer: return 1;
      case sikTrash: return 2;
      case sikMount: return N == "/" ? 3 : 4;
      case sikEmpty: return 5;
      default: return ChildIsFolder(K, N) ? 6 : 7;
    }
  };
  const int ra = rank(ka, na), rb = rank(kb, nb);
  if (ra != rb) return ra < rb ? -1 : 1;
  int c = 0;
  if (ka == sikFile || ka == sikTrashItem) c = CollateKey(na).compare(CollateKey(nb));
  if (c == 0) c = na.compare(nb);
  if (c == 0) {
    // Deeper lists order by their next items.
    const uint8_t* ra2 = A + ItemCount(A);
    const uint8_t* rb2 = B + ItemCount(B);
    const uint16_t ca = ItemCount(ra2), cb = ItemCount(rb2);
    if (ca == 0 || cb == 0) return ca == cb ? 0 : (ca ? 1 : -1);
    auto sub = BindToObject(A);
    return sub ? sub->CompareIDs(ra2, rb2) : 0;
  }
  return c < 0 ? -1 : 1;
}

PItemIDList TShellFolder::ParseDisplayName(const std::string& Name) const {
  std::vector<uint8_t> bytes;
  std::string rest;
  TLocation loc{FKind, FPath, true};
  if (FKind == fkDesktop) {
    if (Name.rfind("computer:", 0) == 0) {
      AppendItem(bytes, sikComputer, "");
      return ListFromBytes(bytes);
    }
    if (Name.rfind("trash:", 0) == 0) {
      AppendItem(bytes, sikTrash, "");
      std::string n = Name.substr(6);
      while (!n.empty() && n[0] == '/') n.erase(0, 1);
      if (!n.empty()) {
        if (n.find('/') != std::string::npos || !Exists(TrashDir() + "/files/" + n)) return nullptr;
        AppendItem(bytes, sikTrashItem, n);
      }
      return ListFromBytes(bytes);
    }
    std::string p = Name.rfind("file://", 0) == 0 ? ShellUriToPath(Name) : Name;
    if (p.empty() || p[0] != '/') return nullptr;
    // Collapse repeated separators; "." and ".." are taken lexically.
    std::vector<std::string> parts;
    for (size_t i = 0; i < p.size();) {
      const size_t j = p.find('/', i);
      const std::string part = p.substr(i, j == std::string::npos ? std::string::npos : j - i);
      if (part == "..") { if (!parts.empty()) parts.pop_back(); }
      else if (!part.empty() && part != ".") parts.push_back(part);
      if (j == std::string::npos) break;
      i = j + 1;
    }
    std::string norm;
    for (const auto& s : parts) norm += "/" + s;
    if (norm.empty()) norm = "/";
    const std::string home = Home();
    auto under = [&](const std::string& Base) {
      return norm == Base || (Base == "/" ? true : norm.rfind(Base + "/", 0) == 0);
    };
    if (!gSkipHome && !home.empty() && home != "/" && under(home)) {
      AppendItem(bytes, sikHome, "");
      loc = {fkFileSystem, home, true};
      rest = norm.substr(home.size());
    } else {
      std::string best;
      for (const std::string& mp : MountPoints())
        if (under(mp) && mp.size() > best.size()) best = mp;
      if (best.empty()) return nullptr;
      AppendItem(bytes, sikComputer, "");
      AppendItem(bytes, sikMount, best);
      loc = {fkFileSystem, best, true};
      rest = best == "/" ? norm.substr(1) : norm.substr(best.size());
    }
  } else if (FKind == fkFileSystem) {
    rest = Name;
  } else {
    return nullptr;
  }
  for (size_t i = 0; i < rest.size();) {
    const size_t j = rest.find('/', i);
    const std::string part = rest.substr(i, j == std::string::npos ? std::string::npos : j - i);
    if (!part.empty() && part != ".") {
      if (part == ".." || loc.Kind != fkFileSystem) return nullptr;
      loc.Path = Join(loc.Path, part);
      if (!Exists(loc.Path)) return nullptr;
      AppendItem(bytes, sikFile, part);
    }
    if (j == std::string::npos) break;
    i = j + 1;
  }
  if (bytes.empty()) return nullptr;
  return ListFromBytes(bytes);
}

PItemIDList TShellFolder::SetNameOf(PCItemIDList Rel, const std::string& NewName, std::string& Error) const {
  TShellItemKind k = sikFile;
  std::string name;
  if (!ShellItemOf(Rel, k, name) || k != sikFile || ItemCount(Rel + ItemCount(Rel)) != 0) {
    Error = "Dieses Objekt kann nicht umbenannt werden.";
    return nullptr;
  }
  if (NewName.empty() || NewName == "." || NewName == ".." || NewName.find('/') != std::string::npos ||
      NewName.find('\0') != std::string::npos) {
    Error = "Ungültiger Dateiname: " + NewName;
    return nullptr;
  }
  const std::string dir = FKind == fkDesktop ? DesktopDir() : FPath;
  if (NewName != name && !ShellRenameNoReplace(Join(dir, name), Join(dir, NewName), Error)) return nullptr;
  FCache->Folder.erase(name);
  FCache->Keys.erase(name);
  return ShellMakeItem(sikFile, NewName);
}

std::string TShellFolder::ChildPath(PCItemIDList Rel) const {
  TShellItemKind k = sikFile;
  std::string name;
  if (!ShellItemOf(Rel, k, name)) return FKind == fkDesktop ? DesktopDir() : FPath;
  TLocation loc{FKind, FPath, true};
  for (const auto& item : SplitItems(Rel)) {
    if (!DecodeItem(item.data(), k, name)) return {};
    loc = Step(loc, k, name);
    if (!loc.Valid) return {};
  }
  return loc.Kind == fkFileSystem ? loc.Path : (loc.Kind == fkDesktop ? DesktopDir() : "");
}

// ---- file operations ----

bool ShellRenameNoReplace(const std::string& From, const std::string& To, std::string& Error) {
#ifdef SYS_renameat2
  if (::syscall(SYS_renameat2, AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), 1u /* RENAME_NOREPLACE */) == 0)
    return true;
  if (errno == EEXIST) {
    Error = "Es gibt bereits eine Datei namens \"" + std::filesystem::path(To).filename().string() + "\".";
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    Error = SysErrorMessage(errno);
    return false;
  }
#endif
  // File systems without the no-replace rename: a hard link refuses an existing name too.
  if (::link(From.c_str(), To.c_str()) == 0) {
    ::unlink(From.c_str());
    return true;
  }
  if (errno == EEXIST) {
    Error = "Es gibt bereits eine Datei namens \"" + std::filesystem::path(To).filename().string() + "\".";
    return false;
  }
  if (Exists(To)) {
    Error = "Es gibt bereits eine Datei namens \"" + std::filesystem::path(To).filename().string() + "\".";
    return false;
  }
  if (::rename(From.c_str(), To.c_str()) == 0) return true;
  Error = SysErrorMessage(errno);
  return false;
}

bool ShellMoveToTrash(const std::string& Path, std::string& Error) {
  GFile* f = g_file_new_for_path(Path.c_str());
  GError* err = nullptr;
  const bool ok = g_file_trash(f, nullptr, &err);
  if (!ok) Error = err ? err->message : "Der Papierkorb ist nicht verfügbar.";
  if (err) g_error_free(err);
  g_object_unref(f);
  return ok;
}

bool ShellDeleteForGood(const std::string& Path, std::string& Error) {
  std::error_code ec;
  std::filesystem::remove_all(Path, ec);  // removes links, never follows them
  if (ec) Error = SysErrorMessage(ec.value());
  return !ec;
}

namespace {

// Copies a tree without following symlinks (they are copied as links), so a
// loop of links cannot make the copy endless.
bool CopyTree(const std::string& From, const std::string& To, std::string& Error) {
  std::error_code ec;
  std::filesystem::copy(From, To,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks, ec);
  if (ec) Error = SysErrorMessage(ec.value());
  return !ec;
}

}  // namespace

bool ShellCopyInto(const std::string& Source, const std::string& TargetDir, bool Move, std::string& Result,
                   std::string& Error) {
  const std::filesystem::path src(NoSlash(Source));
  std::string dir = NoSlash(TargetDir);
  const std::string name = src.filename().string();
  if (!Exists(src.string())) {
    Error = "Die Datei \"" + src.string() + "\" gibt es nicht.";
    return false;
  }
  std::error_code ec;
  const auto srcParent = std::filesystem::weakly_canonical(src.parent_path(), ec);
  const auto dst = std::filesystem::weakly_canonical(dir, ec);
  if (Move && srcParent == dst) {
    Result = src.string();  // cut and paste in the same folder leaves the file where it is
    return true;
  }
  // A folder cannot go into itself.
  const auto srcCanon = std::filesystem::weakly_canonical(src, ec);
  const std::string sc = srcCanon.string(), dc = dst.string();
  if (IsDir(src.string()) && (dc == sc || dc.rfind(sc + "/", 0) == 0)) {
    Error = "Ein Ordner kann nicht in sich selbst kopiert werden.";
    return false;
  }
  std::string target = Join(dir, name);
  if (Exists(target)) {
    if (Move) {
      Error = "Es gibt bereits eine Datei namens \"" + name + "\".";
      return false;
    }
    const std::string stem = IsDir(src.string()) ? name : src.stem().string();
    const std::string ext = IsDir(src.string()) ? "" : src.extension().string();
    for (int i = 1;; ++i) {
      target = Join(dir, stem + (i == 1 ? " (Kopie)" : " (Kopie " + std::to_string(i) + ")") + ext);
      if (!Exists(target)) break;
    }
  }
  if (Move) {
    if (ShellRenameNoReplace(src.string(), target, Error)) {
      Result = target;
      return true;
    }
    if (errno != EXDEV) return false;
    Error.clear();
    // Another file system: copy first, remove the original only when the copy is whole.
    if (!CopyTree(src.string(), target, Error)) {
      std::filesystem::remove_all(target, ec);
      return false;
    }
    std::filesystem::remove_all(src, ec);
    Result = target;
    return true;
  }
  if (!CopyTree(src.string(), target, Error)) {
    std::filesystem::remove_all(target, ec);
    return false;
  }
  Result = target;
  return true;
}

std::vector<TShellApp> ShellAppsFor(const std::string& Path) {
  std::vector<TShellApp> apps;
  const std::string ct = ShellContentType(Path);
  GAppInfo* def = g_app_info_get_default_for_type(ct.c_str(), false);
  GList* all = g_app_info_get_all_for_type(ct.c_str());
  auto add = [&apps](GAppInfo* A) {
    const char* id = g_app_info_get_id(A);
    if (!id) return;
    for (const auto& a : apps)
      if (a.Id == id) return;
    TShellApp app;
    app.Id = id;
    app.Name = g_app_info_get_name(A) ? g_app_info_get_name(A) : id;
    GIcon* icon = g_app_info_get_icon(A);
    const auto names = IconNamesOf(icon);
    if (!names.empty()) app.Icon = names.front();
    apps.push_back(app);
  };
  if (def) add(def);
  for (GList* l = all; l; l = l->next) add(G_APP_INFO(l->data));
  g_list_free_full(all, g_object_unref);
  if (def) g_object_unref(def);
  return apps;
}

bool ShellOpen(const std::vector<std::string>& Paths, const std::string& AppId, std::string& Error) {
  if (Paths.empty()) return false;
  GList* files = nullptr;
  for (const auto& p : Paths) files = g_list_append(files, g_file_new_for_path(p.c_str()));
  GError* err = nullptr;
  bool ok = false;
  GAppInfo* app = nullptr;
  if (!AppId.empty()) {
    GDesktopAppInfo* d = g_desktop_app_info_new(AppId.c_str());
    app = d ? G_APP_INFO(d) : nullptr;
  } else {
    app = g_app_info_get_default_for_type(ShellContentType(Paths.front()).c_str(), false);
  }
  if (app) {
    ok = g_app_info_launch(app, files, nullptr, &err);
    g_object_unref(app);
  }
  if (!ok) Error = err ? err->message : "Kein Programm zum Öffnen dieser Datei gefunden.";
  if (err) g_error_free(err);
  g_list_free_full(files, g_object_unref);
  return ok;
}

std::string ShellTrashFolder() { return TrashDir() + "/"; }

std::vector<TTrashInfo> ShellTrashEntries() {
  std::vector<TTrashInfo> entries;
  DIR* d = ::opendir((TrashDir() + "/files").c_str());
  if (!d) return entries;
  while (dirent* e = ::readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    TTrashInfo t;
    t.Name = e->d_name;
    t.OriginalPath = TrashOriginal(t.Name);
    std::ifstream f(TrashDir() + "/info/" + t.Name + ".trashinfo");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind("DeletionDate=", 0) == 0) t.DeletionDate = line.substr(13);
    entries.push_back(t);
  }
  ::closedir(d);
  std::sort(entries.begin(), entries.end(), [](const auto& A, const auto& B) { return A.Name < B.Name; });
  return entries;
}

std::string ShellPathToUri(const std::string& Path) {
  gchar* u = g_filename_to_uri(Path.c_str(), nullptr, nullptr);
  std::string s = u ? u : "";
  g_free(u);
  return s;
}

std::string ShellUriToPath(const std::string& Uri) {
  gchar* p = g_filename_from_uri(Uri.c_str(), nullptr, nullptr);
  std::string s = p ? p : "";
  g_free(p);
  return s;
}

}  // namespace kv
