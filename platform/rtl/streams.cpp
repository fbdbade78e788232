#include "platform/rtl/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sys_error.h"

namespace kv {

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::SetSize(int64_t) { throw EStreamError("Die Größe des Datenstroms kann nicht geändert werden"); }

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count > 0 && Read(Buffer, Count) != Count) throw EReadError("Unerwartetes Dateiende");
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count > 0 && Write(Buffer, Count) != Count) throw EWriteError("Schreibfehler im Datenstrom");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  const int64_t total = Count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 1), 1 << 20)));
  while (Count > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, static_cast<int64_t>(buf.size())));
    Source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return total;
}

// ---- memory streams ----

void TCustomMemoryStream::SetPointer(void* Ptr, int64_t Size) {
  FMemory = static_cast<uint8_t*>(Ptr);
  FSize = Size;
}

int32_t TCustomMemoryStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
  const int64_t n = std::min<int64_t>(Count, FSize - FPosition);
  std::memcpy(Buffer, FMemory + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return static_cast<int32_t>(n);
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t pos = Offset;
  // An offset from a file can be anything; a position past the 64-bit range is refused.
  if ((Origin == soCurrent && __builtin_add_overflow(FPosition, Offset, &pos)) ||
      (Origin == soEnd && __builtin_add_overflow(FSize, Offset, &pos)))
    throw EStreamError("Ungültige Position im Datenstrom");
  FPosition = pos;
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& Dest) {
  if (FSize > 0) {
    int64_t done = 0;
    while (done < FSize) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(FSize - done, 1 << 30));
      Dest.WriteBuffer(FMemory + done, n);
      done += n;
    }
  }
}

void TCustomMemoryStream::SaveToFile(const std::string& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(f);
}

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

void TMemoryStream::SetCapacity(int64_t NewCapacity) {
  if (NewCapacity == FCapacity) return;
  if (NewCapacity == 0) {
    std::free(FMemory);
    FMemory = nullptr;
    FCapacity = 0;
    return;
  }
  void* p = std::realloc(FMemory, static_cast<size_t>(NewCapacity));
  if (!p) throw EOutOfMemory();
  FMemory = static_cast<uint8_t*>(p);
  FCapacity = NewCapacity;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0 || NewSize > INT64_MAX - 0x1FFF) throw EStreamError("Ungültige Größe des Datenstroms");
  const int64_t old = FSize;
  if (NewSize > FCapacity) SetCapacity((NewSize + 0x1FFF) & ~int64_t(0x1FFF));
  FSize = NewSize;
  if (NewSize > old) std::memset(FMemory + old, 0, static_cast<size_t>(NewSize - old));
  if (FPosition > NewSize) FPosition = NewSize;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0 || FPosition < 0 || FPosition > INT64_MAX - 0x2000 - Count) return 0;
  const int64_t end = FPosition + Count;
  if (end > FCapacity) SetCapacity(std::max<int64_t>((end + 0x1FFF) & ~int64_t(0x1FFF), FCapacity + FCapacity / 4));
  if (FPosition > FSize) std::memset(FMemory + FSize, 0, static_cast<size_t>(FPosition - FSize));
  std::memcpy(FMemory + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  if (end > FSize) FSize = end;
  return Count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  const int64_t n = Source.Size();
  SetSize(n);
  int64_t done = 0;
  while (done < n) {
    const int32_t part = static_cast<int32_t>(std::min<int64_t>(n - done, 1 << 30));
    Source.ReadBuffer(FMemory + done, part);
    done += part;
  }
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

// ---- file streams ----

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  int32_t done = 0;
  while (done < Count) {
    const ssize_t n = ::read(FHandle, static_cast<uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  int32_t done = 0;
  while (done < Count) {
    const ssize_t n = ::write(FHandle, static_cast<const uint8_t*>(Buffer) + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // disk full or I/O error: the caller sees the short count
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : (Origin == soCurrent ? SEEK_CUR : SEEK_END);
  const off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t NewSize) {
  const int64_t pos = Position();
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) throw EStreamError("Die Größe des Datenstroms kann nicht geändert werden");
  if (pos > NewSize) Seek(NewSize, soBeginning);
}

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : THandleStream(-1), FFileName(FileName) {
  if (Mode == fmCreate || (Mode & 0xFF00) == fmCreate) {
    FHandle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0)
      throw EFCreateError("Datei \"" + FileName + "\" kann nicht angelegt werden. " + SysErrorMessage(errno));
  } else {
    const int acc = (Mode & 3) == fmOpenWrite ? O_WRONLY : ((Mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY);
    // Non-blocking, so that a FIFO named like a file cannot hold the caller
    // in open(); the descriptor blocks again once it is known to be a file.
    FHandle = ::open(FileName.c_str(), acc | O_CLOEXEC | O_NONBLOCK);
    if (FHandle < 0)
      throw EFOpenError("Datei \"" + FileName + "\" kann nicht geöffnet werden. " + SysErrorMessage(errno));
    struct stat st {};
    std::string refusal;
    if (::fstat(FHandle, &st) != 0) refusal = SysErrorMessage(errno);
    else if (S_ISDIR(st.st_mode)) refusal = SysErrorMessage(EISDIR);
    // Reads take files only; writes may also go to a device (/dev/full, /dev/null).
    else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || (acc == O_RDONLY && !S_ISREG(st.st_mode)))
      refusal = "Ist keine gewöhnliche Datei";
    if (refusal.empty()) {
      const int flags = ::fcntl(FHandle, F_GETFL);
      if (flags < 0 || ::fcntl(FHandle, F_SETFL, flags & ~O_NONBLOCK) != 0) refusal = SysErrorMessage(errno);
    }
    if (!refusal.empty()) {
      ::close(FHandle);
      FHandle = -1;
      throw EFOpenError("Datei \"" + FileName + "\" kann nicht geöffnet werden. " + refusal);
    }
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}


}  // namespace kv
