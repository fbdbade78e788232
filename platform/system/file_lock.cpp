#include "platform/system/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

std::string FolderOf(const std::string& FileName) {
  const size_t p = FileName.rfind('/');
  if (p == std::string::npos) return ".";
  if (p == 0) return "/";
  return FileName.substr(0, p);
}

[[noreturn]] void RaiseIo(const std::string& What, const std::string& FileName, int Err) {
  throw EInOutError(What + " \"" + FileName + "\": " + std::strerror(Err));
}

bool WriteAll(int Fd, const char* Data, size_t Count) {
  while (Count > 0) {
    const ssize_t n = ::write(Fd, Data, Count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    Data += n;
    Count -= size_t(n);
  }
  return true;
}

}  // namespace

TFileLock::TFileLock(const std::string& Path, bool Folder) {
  FHandle = Folder ? ::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                  : ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (FHandle < 0) RaiseIo("Cannot open lock", Path, errno);
  while (::flock(FHandle, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(FHandle);
    FHandle = -1;
    RaiseIo("Cannot lock", Path, err);
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
    RaiseIo("Cannot open file", FileName, errno);
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      RaiseIo("Cannot read file", FileName, err);
    }
    if (n == 0) break;
    if (int64_t(Out.size()) + n > MaxBytes) {
      ::close(fd);
      RaiseIo("File too large", FileName, EFBIG);
    }
    Out.append(buf, size_t(n));
  }
  ::close(fd);
  return true;
}

void AtomicWriteFile(const std::string& FileName, const std::string& Data, unsigned NewFileMode) {
  const std::string folder = FolderOf(FileName);
  std::vector<char> tmpl(FileName.begin(), FileName.end());
  for (char c : std::string(".XXXXXX")) tmpl.push_back(c);
  tmpl.push_back('\0');
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) RaiseIo("Cannot create file", FileName, errno);
  const std::string tmpName(tmpl.data());

  mode_t mode = mode_t(NewFileMode);
  struct stat st {};
  if (::stat(FileName.c_str(), &st) == 0) mode = st.st_mode & 07777;

  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, Data.data(), Data.size()) && ::fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmpName.c_str(), FileName.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmpName.c_str());
    RaiseIo("Cannot write file", FileName, err);
  }
  // Make the rename itself durable; a failure here cannot undo it, so it is not reported.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace kv
