#include "platform/system/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kv {

namespace {

std::string& TempPathOverride() {
  static std::string path;
  return path;
}

TTempFailure& InjectedFailure() {
  static TTempFailure step = tfNone;
  return step;
}

std::string WithSlash(std::string Path) {
  if (Path.empty() || Path.back() != '/') Path += '/';
  return Path;
}

// mkostemp on "<Folder>/<Prefix>XXXXXX"; the descriptor, or -1. Name receives the path.
int MakeUnique(const std::string& Folder, const std::string& Prefix, std::string& Name) {
  if (TempFailureInjected(tfCreateFile)) {
    errno = EACCES;
    return -1;
  }
  const std::string pattern = WithSlash(Folder.empty() ? GetTempPath() : Folder) + Prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  // Mode 0600 from mkostemp: no other user shares the file.
  const int fd = mkostemp(buf.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  Name.assign(buf.data());
  return fd;
}

}  // namespace

std::string GetTempPath() {
  if (!TempPathOverride().empty()) return WithSlash(TempPathOverride());
  const char* env = std::getenv("TMPDIR");
  return WithSlash(env && *env ? env : "/tmp");
}

void SetTempPathOverride(const std::string& Path) { TempPathOverride() = Path; }

std::string GetTempFileName(const std::string& Path, const std::string& Prefix) {
  std::string name;
  const int fd = MakeUnique(Path, Prefix, name);
  if (fd < 0) return std::string();
  ::close(fd);
  return name;
}

void InjectTempFailure(TTempFailure Step) { InjectedFailure() = Step; }

bool TempFailureInjected(TTempFailure Step) {
  if (Step == tfNone || InjectedFailure() != Step) return false;
  InjectedFailure() = tfNone;
  return true;
}

TTempFile::TTempFile(TTempFile&& Other) noexcept
    : FHandle(std::exchange(Other.FHandle, -1)), FFileName(std::move(Other.FFileName)),
      FUnlinked(std::exchange(Other.FUnlinked, false)) {
  Other.FFileName.clear();
}

TTempFile& TTempFile::operator=(TTempFile&& Other) noexcept {
  if (this != &Other) {
    Close();
    FHandle = std::exchange(Other.FHandle, -1);
    FFileName = std::move(Other.FFileName);
    FUnlinked = std::exchange(Other.FUnlinked, false);
    Other.FFileName.clear();
  }
  return *this;
}

bool TTempFile::Create(const std::string& Folder, const std::string& Prefix) {
  Close();
  FHandle = MakeUnique(Folder, Prefix, FFileName);
  if (FHandle < 0) FFileName.clear();
  return FHandle >= 0;
}

bool TTempFile::SetSize(int64_t Size) {
  if (FHandle < 0 || Size < 0) return false;
  const int64_t old = GetSize();
  if (old < 0) return false;
  if (Size <= old) return ::ftruncate(FHandle, static_cast<off_t>(Size)) == 0;
  if (TempFailureInjected(tfReserveSpace)) {
    errno = ENOSPC;
    return false;
  }
  // Reserving the blocks now turns a full disk into an error here instead of
  // a SIGBUS on the first write through a mapping.
  const int rc = ::posix_fallocate(FHandle, 0, static_cast<off_t>(Size));
  if (rc != 0) {
    // Give back what a partial reservation may have added.
    const int undone = ::ftruncate(FHandle, static_cast<off_t>(old));
    (void)undone;
    errno = rc;
    return false;
  }
  return true;
}

namespace {

// preadv or pwritev over every part, resumed after short and interrupted calls.
bool TransferAt(int Fd, int64_t Offset, iovec* Parts, int32_t Count, bool Write) {
  while (Count > 0) {
    if (Parts->iov_len == 0) {
      ++Parts;
      --Count;
      continue;
    }
    const int n = std::min<int32_t>(Count, IOV_MAX);
    const ssize_t done = Write ? ::pwritev(Fd, Parts, n, static_cast<off_t>(Offset))
                               : ::preadv(Fd, Parts, n, static_cast<off_t>(Offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (done == 0) {
      errno = Write ? ENOSPC : EIO;  // no progress: a full device, or the end of the file
      return false;
    }
    Offset += done;
    size_t left = static_cast<size_t>(done);
    while (Count > 0 && left >= Parts->iov_len) {
      left -= Parts->iov_len;
      ++Parts;
      --Count;
    }
    if (left > 0) {
      Parts->iov_base = static_cast<uint8_t*>(Parts->iov_base) + left;
      Parts->iov_len -= left;
    }
  }
  return true;
}

}  // namespace

bool TTempFile::WriteAt(int64_t Offset, iovec* Parts, int32_t Count) {
  if (FHandle < 0 || Offset < 0) {
    errno = EBADF;
    return false;
  }
  if (TempFailureInjected(tfWrite)) {
    errno = ENOSPC;
    return false;
  }
  return TransferAt(FHandle, Offset, Parts, Count, true);
}

bool TTempFile::ReadAt(int64_t Offset, iovec* Parts, int32_t Count) {
  if (FHandle < 0 || Offset < 0) {
    errno = EBADF;
    return false;
  }
  if (TempFailureInjected(tfRead)) {
    errno = EIO;
    return false;
  }
  return TransferAt(FHandle, Offset, Parts, Count, false);
}

int64_t TTempFile::GetSize() const {
  struct stat st;
  if (FHandle < 0 || ::fstat(FHandle, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TTempFile::Unlink() {
  if (FHandle < 0 || FUnlinked) return FUnlinked;
  FUnlinked = ::unlink(FFileName.c_str()) == 0;
  return FUnlinked;
}

void TTempFile::Close() {
  if (FHandle >= 0) {
    ::close(FHandle);
    FHandle = -1;
  }
  // A name removed already may be another file's by now.
  if (!FFileName.empty() && !FUnlinked) ::unlink(FFileName.c_str());
  FFileName.clear();
  FUnlinked = false;
}

}  // namespace kv
