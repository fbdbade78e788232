#include "platform/rtl/file_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sys_error.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"

namespace kv {

// ---- names ----

namespace {
// Index of the dot that starts the extension, or npos.
size_t ExtDot(std::string_view FileName) {
  const size_t dot = FileName.rfind('.');
  const size_t slash = FileName.rfind(PathDelim);
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string_view::npos;
  return dot;
}
}  // namespace

std::string ExtractFileExt(std::string_view FileName) {
  const size_t dot = ExtDot(FileName);
  return dot == std::string_view::npos ? std::string() : std::string(FileName.substr(dot));
}

std::string ExtractFileName(std::string_view FileName) {
  const size_t slash = FileName.rfind(PathDelim);
  return std::string(slash == std::string_view::npos ? FileName : FileName.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view FileName) {
  const size_t slash = FileName.rfind(PathDelim);
  return slash == std::string_view::npos ? std::string() : std::string(FileName.substr(0, slash + 1));
}

std::string ExtractFileDir(std::string_view FileName) {
  const size_t slash = FileName.rfind(PathDelim);
  if (slash == std::string_view::npos) return std::string();
  // Keep a delimiter that is the root or follows another one.
  size_t n = slash + 1;
  if (slash > 0 && FileName[slash - 1] != PathDelim) n = slash;
  return std::string(FileName.substr(0, n));
}

std::string ChangeFileExt(std::string_view FileName, std::string_view Extension) {
  const size_t dot = ExtDot(FileName);
  std::string r(dot == std::string_view::npos ? FileName : FileName.substr(0, dot));
  r += Extension;
  return r;
}

std::string IncludeTrailingPathDelimiter(std::string_view S) {
  std::string r(S);
  if (r.empty() || r.back() != PathDelim) r += PathDelim;
  return r;
}

std::string ExcludeTrailingPathDelimiter(std::string_view S) {
  std::string r(S);
  if (!r.empty() && r.back() == PathDelim) r.pop_back();
  return r;
}

std::string ExpandFileName(std::string_view FileName) {
  if (FileName.empty()) return std::string();
  std::string full = FileName.front() == PathDelim ? std::string(FileName)
                                                    : IncludeTrailingPathDelimiter(GetCurrentDir()) + std::string(FileName);
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= full.size()) {
    size_t j = full.find(PathDelim, i);
    if (j == std::string::npos) j = full.size();
    const std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string r;
  for (const std::string& p : parts) r += PathDelim + p;
  if (r.empty()) r = "/";
  // A trailing delimiter names a folder; keep it.
  if (full.back() == PathDelim && r != "/") r += PathDelim;
  return r;
}

// ---- the file system ----

namespace {
bool StatOf(const std::string& Name, struct stat& St) { return !Name.empty() && ::stat(Name.c_str(), &St) == 0; }

TDateTime MTimeOf(const struct stat& St) { return UnixToDateTimeLocal(St.st_mtim.tv_sec, static_cast<int32_t>(St.st_mtim.tv_nsec)); }
}  // namespace

bool FileExists(const std::string& FileName) {
  struct stat st {};
  return StatOf(FileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& Directory) {
  struct stat st {};
  return StatOf(Directory, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& Dir) { return !Dir.empty() && ::mkdir(Dir.c_str(), 0777) == 0; }
bool RemoveDir(const std::string& Dir) { return !Dir.empty() && ::rmdir(Dir.c_str()) == 0; }

bool ForceDirectories(const std::string& Dir) {
  if (Dir.empty()) throw EInOutError("Der Ordner kann nicht angelegt werden");
  const std::string d = ExcludeTrailingPathDelimiter(ExpandFileName(Dir));
  if (d.empty() || DirectoryExists(d)) return true;
  const std::string parent = ExtractFileDir(d);
  if (parent != d && !parent.empty() && !ForceDirectories(parent)) return false;
  return CreateDir(d) || DirectoryExists(d);  // another process may have made it meanwhile
}

bool DeleteFile(const std::string& FileName) {
  struct stat st {};
  if (FileName.empty() || ::lstat(FileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(FileName.c_str()) == 0;
}

bool RenameFile(const std::string& OldName, const std::string& NewName) {
  if (OldName.empty() || NewName.empty()) return false;
  if (::renameat2(AT_FDCWD, OldName.c_str(), AT_FDCWD, NewName.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse to replace by itself: check, then rename.
  struct stat st {};
  if (::lstat(NewName.c_str(), &st) == 0) return false;
  return ::rename(OldName.c_str(), NewName.c_str()) == 0;
}

std::string GetCurrentDir() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

bool SetCurrentDir(const std::string& Dir) { return !Dir.empty() && ::chdir(Dir.c_str()) == 0; }

void SaveFileAtomically(const std::string& FileName, std::string_view Data, unsigned NewFileMode) {
  std::string target = FileName;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool existed = ::stat(target.c_str(), &st) == 0;
  auto fail = [&](auto Raise, const std::string& Tmp, int Fd) {
    const int err = errno;
    if (Fd >= 0) ::close(Fd);
    if (!Tmp.empty()) ::unlink(Tmp.c_str());
    Raise(err);
  };
  auto createError = [&](int Err) -> void {
    throw EFCreateError("Datei \"" + FileName + "\" kann nicht angelegt werden. " + SysErrorMessage(Err));
  };
  auto writeError = [&](int Err) -> void {
    throw EWriteError("Datei \"" + FileName + "\" kann nicht geschrieben werden. " + SysErrorMessage(Err));
  };
  static std::atomic<unsigned> counter = 0;
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = ExtractFilePath(target) + "." + ExtractFileName(target) + "." + std::to_string(::getpid()) + "-" +
          std::to_string(++counter) + ".tmp";
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(NewFileMode & 07777));
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) fail(createError, std::string(), -1);
  size_t done = 0;
  while (done < Data.size()) {
    const ssize_t n = ::write(fd, Data.data() + done, Data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      fail(writeError, tmp, fd);
    }
    done += static_cast<size_t>(n);
  }
  if (existed && ::fchmod(fd, st.st_mode & 07777) != 0) fail(writeError, tmp, fd);
  if (::fsync(fd) != 0) fail(writeError, tmp, fd);
  if (::close(fd) != 0) fail(writeError, tmp, -1);
  if (::rename(tmp.c_str(), target.c_str()) != 0) fail(createError, tmp, -1);
  // Make the rename itself durable; a failure here no longer endangers either file.
  const std::string dir = ExtractFilePath(target).empty() ? std::string(".") : ExtractFilePath(target);
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

TDateTime FileAge(const std::string& FileName) {
  struct stat st {};
  return StatOf(FileName, st) ? MTimeOf(st) : -1;
}

TDateTime FileGetDate(int Handle) {
  struct stat st {};
  return ::fstat(Handle, &st) == 0 ? MTimeOf(st) : -1;
}

int64_t FileSizeOf(const std::string& FileName) {
  struct stat st {};
  return StatOf(FileName, st) ? static_cast<int64_t>(st.st_size) : -1;
}

// ---- masks ----

namespace {
std::u32string FoldedCodePoints(std::string_view S) {
  std::u32string r;
  for (size_t i = 0; i < S.size();) r += utf8::ToLower(utf8::Next(S, i));
  return r;
}

[[noreturn]] void InvalidMask(std::string_view Mask) {
  throw EConvertError("'" + std::string(Mask) + "' is an invalid mask");
}

// Matches a "[...]" set at M[mi] against C; mi moves past the set.
bool MatchSet(const std::u32string& M, size_t& mi, char32_t C, std::string_view Original) {
  size_t i = mi + 1;
  bool negate = false;
  if (i < M.size() && M[i] == U'!') {
    negate = true;
    ++i;
  }
  bool hit = false;
  bool any = false;
  while (i < M.size() && M[i] != U']') {
    const char32_t lo = M[i];
    char32_t hi = lo;
    if (i + 2 < M.size() && M[i + 1] == U'-' && M[i + 2] != U']') {
      hi = M[i + 2];
      i += 3;
    } else {
      ++i;
    }
    if (hi < lo) InvalidMask(Original);
    if (C >= lo && C <= hi) hit = true;
    any = true;
  }
  if (i >= M.size() || !any) InvalidMask(Original);
  mi = i + 1;
  return hit != negate;
}

bool MatchFrom(const std::u32string& N, size_t ni, const std::u32string& M, size_t mi, std::string_view Original) {
  // Iterative with one back-track point for the last '*', so long names stay linear-ish.
  size_t starM = std::u32string::npos, starN = 0;
  while (ni < N.size()) {
    if (mi < M.size() && M[mi] == U'*') {
      starM = ++mi;
      starN = ni;
      continue;
    }
    if (mi < M.size()) {
      size_t next = mi;
      bool ok;
      if (M[mi] == U'[') {
        ok = MatchSet(M, next, N[ni], Original);
      } else {
        ok = M[mi] == U'?' || M[mi] == N[ni];
        next = mi + 1;
      }
      if (ok) {
        mi = next;
        ++ni;
        continue;
      }
    }
    if (starM == std::u32string::npos) return false;
    mi = starM;
    ni = ++starN;
  }
  while (mi < M.size() && M[mi] == U'*') ++mi;
  return mi == M.size();
}
}  // namespace

bool MatchesMask(std::string_view FileName, std::string_view Mask) {
  return MatchFrom(FoldedCodePoints(FileName), 0, FoldedCodePoints(Mask), 0, Mask);
}

// ---- directory search ----

struct TSearchState {
  std::string Dir;
  std::vector<TSearchRec> Entries;
  size_t Next = 0;
};

namespace {
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kNoMoreFiles = 18;

int Deliver(TSearchRec& F) {
  TSearchState& st = *F.FindHandle;
  if (st.Next >= st.Entries.size()) return kNoMoreFiles;
  std::shared_ptr<TSearchState> keep = F.FindHandle;
  const int exclude = F.ExcludeAttr;
  F = st.Entries[st.Next++];
  F.FindHandle = std::move(keep);
  F.ExcludeAttr = exclude;
  return 0;
}
}  // namespace

int FindFirst(const std::string& Path, int Attr, TSearchRec& F) {
  FindClose(F);
  std::string dir = ExtractFilePath(Path);
  std::string mask = ExtractFileName(Path);
  if (mask == "*.*") mask = "*";
  const std::string openDir = dir.empty() ? std::string(".") : dir;
  DIR* d = ::opendir(openDir.c_str());
  if (!d) return kPathNotFound;
  auto state = std::make_shared<TSearchState>();
  state->Dir = dir;
  F.ExcludeAttr = ~Attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  try {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (!MatchesMask(name, mask)) continue;
      struct stat st {};
      if (::fstatat(dirfd(d), e->d_name, &st, 0) != 0 && ::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        continue;  // vanished meanwhile
      TSearchRec r;
      r.Name = name;
      r.Size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
      r.Time = MTimeOf(st);
      if (S_ISDIR(st.st_mode)) r.Attr |= faDirectory;
      else if (S_ISREG(st.st_mode)) r.Attr |= faArchive;
      else r.Attr |= faSysFile;
      if (name[0] == '.' && name != "." && name != "..") r.Attr |= faHidden;
      if ((st.st_mode & S_IWUSR) == 0) r.Attr |= faReadOnly;
      if ((r.Attr & F.ExcludeAttr) != 0) continue;
      state->Entries.push_back(std::move(r));
    }
  } catch (...) {
    ::closedir(d);
    throw;
  }
  ::closedir(d);
  std::sort(state->Entries.begin(), state->Entries.end(),
            [](const TSearchRec& a, const TSearchRec& b) { return a.Name < b.Name; });
  if (state->Entries.empty()) return kFileNotFound;
  F.FindHandle = std::move(state);
  return Deliver(F);
}

int FindNext(TSearchRec& F) {
  if (!F.FindHandle) return kNoMoreFiles;
  return Deliver(F);
}

void FindClose(TSearchRec& F) { F.FindHandle.reset(); }

bool WriteAll(int Fd, const void* Data, size_t Length) {
  const char* p = static_cast<const char*>(Data);
  while (Length > 0) {
    const ssize_t n = ::write(Fd, p, Length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Length -= size_t(n);
  }
  return true;
}

}  // namespace kv
