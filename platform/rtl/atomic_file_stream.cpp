#include "platform/rtl/atomic_file_stream.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sys_error.h"
#include "platform/rtl/file_utils.h"

namespace kv {

void IgnoreFileSizeSignal() {
  static const bool once = (::signal(SIGXFSZ, SIG_IGN), true);
  (void)once;
}

TAtomicFileStream::TAtomicFileStream(const std::string& FileName, unsigned NewFileMode)
    : THandleStream(-1), FFileName(FileName), FTarget(FileName) {
  IgnoreFileSizeSignal();
  struct stat st {};
  if (::lstat(FTarget.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(FTarget.c_str(), nullptr)) {
      FTarget = real;
      std::free(real);
    }
  }
  FExisted = ::stat(FTarget.c_str(), &st) == 0;
  // The rename would replace a write-protected file as readily as any other:
  // its protection is honoured here, also for a user whom the system lets
  // write anything (a file without any write bit stays protected).
  if (FExisted && S_ISREG(st.st_mode) && ((st.st_mode & 0222) == 0 || ::access(FTarget.c_str(), W_OK) != 0))
    throw EFCreateError("Datei \"" + FileName + "\" kann nicht angelegt werden. " + SysErrorMessage(EACCES));
  FMode = FExisted ? unsigned(st.st_mode & 07777) : (NewFileMode & 07777);
  static std::atomic<unsigned> counter = 0;
  for (int attempt = 0; attempt < 100 && FHandle < 0; ++attempt) {
    FTempName = ExtractFilePath(FTarget) + "." + ExtractFileName(FTarget) + "." + std::to_string(::getpid()) + "-" +
                std::to_string(++counter) + ".tmp";
    FHandle = ::open(FTempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(FMode));
    if (FHandle < 0 && errno != EEXIST) break;
  }
  if (FHandle < 0) {
    const int err = errno;
    FTempName.clear();
    throw EFCreateError("Datei \"" + FileName + "\" kann nicht angelegt werden. " + SysErrorMessage(err));
  }
}

TAtomicFileStream::~TAtomicFileStream() { Discard(); }

int32_t TAtomicFileStream::Write(const void* Buffer, int32_t Count) {
  const int32_t n = THandleStream::Write(Buffer, Count);
  if (n < Count && FWriteErrno == 0) FWriteErrno = errno ? errno : EIO;
  return n;
}

void TAtomicFileStream::Discard() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  if (!FTempName.empty()) ::unlink(FTempName.c_str());
  FTempName.clear();
}

void TAtomicFileStream::Commit() {
  auto fail = [this](int Err, bool Create) {
    Discard();
    const std::string why = SysErrorMessage(Err);
    if (Create) throw EFCreateError("Datei \"" + FFileName + "\" kann nicht angelegt werden. " + why);
    throw EWriteError("Datei \"" + FFileName + "\" kann nicht geschrieben werden. " + why);
  };
  if (FHandle < 0) fail(EBADF, false);
  if (FWriteErrno) fail(FWriteErrno, false);
  // The umask narrowed a new file's mode at creation; an existing file keeps its own.
  if (FExisted && ::fchmod(FHandle, static_cast<mode_t>(FMode)) != 0) fail(errno, false);
  if (::fsync(FHandle) != 0) fail(errno, false);
  const int fd = FHandle;
  FHandle = -1;
  if (::close(fd) != 0) fail(errno, false);
  if (::rename(FTempName.c_str(), FTarget.c_str()) != 0) fail(errno, true);
  FTempName.clear();
  // Make the rename itself durable; a failure here no longer endangers either file.
  const std::string dir = ExtractFilePath(FTarget).empty() ? std::string(".") : ExtractFilePath(FTarget);
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace kv
