// The shell namespace of a Linux desktop, as the shell controls browse it.
//
// The root is the desktop: the items of the XDG desktop folder, the home
// folder, "Computer" (the mounted file systems) and the trash. Places that
// have no counterpart here map to the nearest real folder (fonts: the user's
// font folder; start menu and programs: the desktop-entry folder) or to an
// empty node of their own.
//
// Item id lists keep the classic layout: items one after the other, each
// starting with its 16-bit byte count (the count included), ended by a count
// of 0. Each item names one child: a kind byte followed by the child's name
// (file names as their bytes, mount points as their path). Lists are made and
// freed with ShellAlloc / ShellFree.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

using PItemIDList = uint8_t*;
using PCItemIDList = const uint8_t*;

// The allocator every item id list goes through; ShellLiveBlocks counts the
// blocks not yet freed (a leak shows there).
PItemIDList ShellAlloc(size_t Bytes);
void ShellFree(PCItemIDList List);
int64_t ShellLiveBlocks();

// Item kinds: the first byte of an item's payload.
enum TShellItemKind : uint8_t {
  sikFile = 'F',      // a file or folder of the file-system folder above
  sikHome = 'H',      // the user's home folder (below the desktop)
  sikComputer = 'C',  // the mounted file systems (below the desktop)
  sikMount = 'M',     // one mount point (below Computer); the name is its path
  sikTrash = 'T',     // the trash (below the desktop)
  sikTrashItem = 'X', // an entry of the trash; the name is its name in Trash/files
  sikEmpty = 'E'      // a place without a counterpart here; the name is its caption
};

// Item attributes, in the bits the controls' masks are written with.
constexpr uint32_t SFA_CANCOPY = 0x00000001;
constexpr uint32_t SFA_CANMOVE = 0x00000002;
constexpr uint32_t SFA_CANLINK = 0x00000004;
constexpr uint32_t SFA_STORAGE = 0x00000008;
constexpr uint32_t SFA_CANRENAME = 0x00000010;
constexpr uint32_t SFA_CANDELETE = 0x00000020;
constexpr uint32_t SFA_HASPROPSHEET = 0x00000040;
constexpr uint32_t SFA_DROPTARGET = 0x00000100;
constexpr uint32_t SFA_LINK = 0x00010000;
constexpr uint32_t SFA_SHARE = 0x00020000;
constexpr uint32_t SFA_READONLY = 0x00040000;
constexpr uint32_t SFA_HIDDEN = 0x00080000;
constexpr uint32_t SFA_REMOVABLE = 0x02000000;
constexpr uint32_t SFA_FILESYSANCESTOR = 0x10000000;
constexpr uint32_t SFA_FOLDER = 0x20000000;
constexpr uint32_t SFA_FILESYSTEM = 0x40000000;
constexpr uint32_t SFA_HASSUBFOLDER = 0x80000000;

// What EnumObjects lists.
constexpr uint32_t SFE_FOLDERS = 0x20;
constexpr uint32_t SFE_NONFOLDERS = 0x40;
constexpr uint32_t SFE_INCLUDEHIDDEN = 0x80;

// Display name kinds.
constexpr uint32_t SFN_NORMAL = 0;
constexpr uint32_t SFN_INFOLDER = 1;
constexpr uint32_t SFN_FORPARSING = 2;

// The special places a tree can be rooted at, in the order of the tree's root kinds.
enum TShellPlace : uint8_t {
  spDesktop, spRecycleBin, spControlPanel, spDesktopDir, spDrives, spFavoriteURLs, spFonts, spNetHood,
  spNetHoodDir, spDocumentDir, spPrinters, spPrograms, spRecentDir, spSendTo, spStartMenu, spStartup,
  spTemplates
};

// One item list of one item (kind and name); ShellFree it.
PItemIDList ShellMakeItem(TShellItemKind Kind, const std::string& Name);
// The kind and name of the first item of a list; false for an empty list.
bool ShellItemOf(PCItemIDList List, TShellItemKind& Kind, std::string& Name);

// The absolute list of a special place, or nullptr (ShellFree it).
PItemIDList ShellSpecialFolder(TShellPlace Place);
// The file-system path of an absolute list; "" for a place that is none.
std::string ShellPathFromIDList(PCItemIDList Abs);
// The absolute list of a path (or of "computer:///", "trash:///"); nullptr
// when it does not exist. The path is taken as written: symlinks stay.
PItemIDList ShellParsePath(const std::string& Path);
// The same, always below Computer (the mount point holding the path), for
// trees rooted there; home paths are otherwise reached through the home item.
PItemIDList ShellParsePathUnderComputer(const std::string& Path);
// Theme icon names for an item (the first that the theme has serves).
std::vector<std::string> ShellIconNames(PCItemIDList Abs, bool Open);
// The content type of a file ("inode/directory" for folders), guessed by name.
std::string ShellContentType(const std::string& Path);

// A bound folder of the namespace.
class TShellFolder {
 public:
  // The namespace root.
  static std::shared_ptr<TShellFolder> Desktop();
  // The folder an absolute list names; nullptr when it names no folder.
  static std::shared_ptr<TShellFolder> Bind(PCItemIDList Abs);

  // The absolute list of this folder (a copy: ShellFree it).
  PItemIDList AbsoluteList() const;
  // The folder's file-system path, "" for a virtual one.
  const std::string& Path() const { return FPath; }

  // The child named by the first item of Rel, bound; nullptr when it is no folder.
  std::shared_ptr<TShellFolder> BindToObject(PCItemIDList Rel) const;
  // The children as one-item lists (the caller ShellFrees each). False when
  // the folder cannot be read.
  bool EnumObjects(uint32_t Flags, std::vector<PItemIDList>& Items) const;
  // The attributes of the item (of all its items, for the last) among Mask.
  uint32_t GetAttributesOf(PCItemIDList Rel, uint32_t Mask) const;
  // The item's display name; an empty list names the folder itself. "" on failure.
  std::string GetDisplayNameOf(PCItemIDList Rel, uint32_t Kind) const;
  // -1, 0 or 1: the namespace's order of two children (places first, then
  // folders, then files, by name as a file manager sorts them).
  int32_t CompareIDs(PCItemIDList A, PCItemIDList B) const;
  // A name below this folder (a relative path; the desktop takes absolute
  // paths) as a relative list, or nullptr when it does not exist.
  PItemIDList ParseDisplayName(const std::string& Name) const;
  // Renames the item to NewName; the new relative list, or nullptr with Error
  // set. An existing name is never overwritten.
  PItemIDList SetNameOf(PCItemIDList Rel, const std::string& NewName, std::string& Error) const;
  // The file-system path of a child; "" for a virtual one.
  std::string ChildPath(PCItemIDList Rel) const;

  enum TKind : uint8_t { fkDesktop, fkFileSystem, fkComputer, fkTrash, fkEmpty };
  TKind Kind() const { return FKind; }

  TShellFolder(TKind Kind, std::string Path, std::vector<uint8_t> Abs);

 private:
  bool ChildIsFolder(TShellItemKind Kind, const std::string& Name) const;
  std::string CollateKey(const std::string& Name) const;

  TKind FKind;
  std::string FPath;
  std::vector<uint8_t> FAbs;
  // Looked up once per child: sorting ten thousand files asks often.
  struct TCache;
  std::shared_ptr<TCache> FCache;
};

// ---- file operations of the context menu (GIO underneath) ----

// Moves a file or folder to the trash. False with Error when the trash cannot
// take it (no trash on that file system, a full disk): nothing is deleted then.
bool ShellMoveToTrash(const std::string& Path, std::string& Error);
// Deletes a file or a whole folder for good (symlinks are removed, never followed).
bool ShellDeleteForGood(const std::string& Path, std::string& Error);
// Copies or moves Source into the folder TargetDir under its own name, or
// under "name (Kopie)", "name (Kopie 2)" ... when that name is taken in the
// target (a copy) ; a move onto a taken name fails and leaves both. Moving
// into the folder it already lies in does nothing and succeeds. The final path in Result.
bool ShellCopyInto(const std::string& Source, const std::string& TargetDir, bool Move, std::string& Result,
                   std::string& Error);
// Renames without ever replacing an existing file; false with Error otherwise.
bool ShellRenameNoReplace(const std::string& From, const std::string& To, std::string& Error);

// An application that opens a content type.
struct TShellApp {
  std::string Id;    // desktop-entry id ("viewer.desktop")
  std::string Name;  // its display name
  std::string Icon;  // theme icon name, may be ""
};
// The applications registered for the file's content type, the default first.
std::vector<TShellApp> ShellAppsFor(const std::string& Path);
// Opens the files with their default application, or with the application of
// that desktop-entry id. False with Error when nothing could be launched.
bool ShellOpen(const std::vector<std::string>& Paths, const std::string& AppId, std::string& Error);

// The trash's info about one of its entries: original path and deletion date.
struct TTrashInfo {
  std::string Name;          // the entry's name in Trash/files
  std::string OriginalPath;  // decoded
  std::string DeletionDate;  // as written, "2026-12-11T10:00:00"
};
std::vector<TTrashInfo> ShellTrashEntries();
// The home trash folder ($XDG_DATA_HOME/Trash/), with a trailing "/".
std::string ShellTrashFolder();

// file:// URIs and back (percent-encoded as the URI rules ask).
std::string ShellPathToUri(const std::string& Path);
std::string ShellUriToPath(const std::string& Uri);

}  // namespace kv
