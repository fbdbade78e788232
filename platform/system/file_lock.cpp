#include "platform/system/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

[[noreturn]] void RaiseIo(const std::string& What, const std::string& FileName, int Err) {
  throw EInOutError(What + " \"" + FileName + "\": " + SysErrorMessage(Err));
}

}  // namespace

TFileLock::TFileLock(const std::string& Path, bool Folder) {
  FHandle = Folder ? ::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                  : ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (FHandle < 0) RaiseIo("Kann die Sperrdatei nicht öffnen:", Path, errno);
  while (::flock(FHandle, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(FHandle);
    FHandle = -1;
    RaiseIo("Kann nicht sperren:", Path, err);
  }
}

TFileLock::~TFileLock() {
  if (FHandle >= 0) ::close(FHandle);  // closing releases the flock
}

TFileStamp GetFileStamp(const std::string& FileName) {
  TFileStamp s;
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return s;
  s.Exists = true;
  s.Device = uint64_t(st.st_dev);
  s.Inode = uint64_t(st.st_ino);
  s.Size = int64_t(st.st_size);
  s.MTimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
  return s;
}

bool ReadFileToString(const std::string& FileName, std::string& Out, int64_t MaxBytes) {
  Out.clear();
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    RaiseIo("Kann die Datei nicht öffnen:", FileName, errno);
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      RaiseIo("Kann die Datei nicht lesen:", FileName, err);
    }
    if (n == 0) break;
    if (int64_t(Out.size()) + n > MaxBytes) {
      ::close(fd);
      RaiseIo("Zu groß:", FileName, EFBIG);
    }
    Out.append(buf, size_t(n));
  }
  ::close(fd);
  return true;
}

void AtomicWriteFile(const std::string& FileName, const std::string& Data, unsigned NewFileMode) {
  try {
    SaveFileAtomically(FileName, Data, NewFileMode);
  } catch (const EStreamError& e) {
    throw EInOutError(e.Message());
  }
}

}  // namespace kv
