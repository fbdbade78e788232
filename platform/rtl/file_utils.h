// File names with '/' as the path delimiter, and the file-system routines around them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/rtl/date_time.h"

namespace kv {

constexpr char PathDelim = '/';

std::string ExtractFileExt(std::string_view FileName);   // ".gz" of "a.tar.gz", "" without a dot
std::string ExtractFileName(std::string_view FileName);
std::string ExtractFilePath(std::string_view FileName);  // with the trailing delimiter
std::string ExtractFileDir(std::string_view FileName);   // without it, except the root "/"
std::string ChangeFileExt(std::string_view FileName, std::string_view Extension);
std::string IncludeTrailingPathDelimiter(std::string_view S);
std::string ExcludeTrailingPathDelimiter(std::string_view S);
// Absolute form relative to the current folder, with "." and ".." resolved by name.
std::string ExpandFileName(std::string_view FileName);

bool FileExists(const std::string& FileName);       // a file, not a folder
bool DirectoryExists(const std::string& Directory);
// Creates Dir and every missing parent; EInOutError "Unable to create directory" for "".
bool ForceDirectories(const std::string& Dir);
bool CreateDir(const std::string& Dir);
bool RemoveDir(const std::string& Dir);
bool DeleteFile(const std::string& FileName);
// Fails when NewName exists, as on the system these routines come from: a rename never
// silently destroys another file.
bool RenameFile(const std::string& OldName, const std::string& NewName);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& Dir);

// Replaces FileName with Data so that a failure at any point leaves the old file as it
// was: a temporary file in the same folder is written, synced and renamed over it. A
// symbolic link is followed; an existing file keeps its permissions, a new one
// gets NewFileMode less the umask. Raises EFCreateError or EWriteError.
void SaveFileAtomically(const std::string& FileName, std::string_view Data, unsigned NewFileMode = 0666);

// Local modification time; -1 when the file cannot be examined.
TDateTime FileAge(const std::string& FileName);
TDateTime FileGetDate(int Handle);
int64_t FileSizeOf(const std::string& FileName);  // -1 when absent
// Writes all of Data to the descriptor, going on after interrupted or short writes.
bool WriteAll(int Fd, const void* Data, size_t Length);

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;   // names starting with '.'
constexpr int faSysFile = 0x04;  // devices, sockets, pipes
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

struct TSearchState;

struct TSearchRec {
  TDateTime Time = 0;  // local modification time
  int64_t Size = 0;
  int Attr = 0;
  std::string Name;
  int ExcludeAttr = 0;
  std::shared_ptr<TSearchState> FindHandle;
};

// Path is a folder and a mask ("/pics/*.jpg"); the mask matches without case, "*.*"
// matches every name. Hidden, system and folder entries come only when Attr asks for
// them. Entries come sorted by name. Results: 0 found, 2 nothing matches, 3 no such
// folder, 18 no more entries.
int FindFirst(const std::string& Path, int Attr, TSearchRec& F);
int FindNext(TSearchRec& F);
void FindClose(TSearchRec& F);

// * any run, ? one character, [a-z] and [!a-z] sets; without case. A malformed set
// raises EConvertError "'mask' is an invalid mask".
bool MatchesMask(std::string_view FileName, std::string_view Mask);

}  // namespace kv
