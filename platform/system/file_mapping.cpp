#include "platform/system/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/system/temp_file.h"

namespace kv {

TMappedView::TMappedView(TMappedView&& Other) noexcept
    : FBase(std::exchange(Other.FBase, nullptr)), FLength(std::exchange(Other.FLength, 0)) {}

TMappedView& TMappedView::operator=(TMappedView&& Other) noexcept {
  if (this != &Other) {
    Unmap();
    FBase = std::exchange(Other.FBase, nullptr);
    FLength = std::exchange(Other.FLength, 0);
  }
  return *this;
}

void TMappedView::Unmap() {
  if (FBase) ::munmap(FBase, FLength);
  FBase = nullptr;
  FLength = 0;
}

TFileMapping::TFileMapping(TFileMapping&& Other) noexcept
    : FHandle(std::exchange(Other.FHandle, -1)), FSize(std::exchange(Other.FSize, 0)),
      FOwned(std::exchange(Other.FOwned, true)) {}

TFileMapping& TFileMapping::operator=(TFileMapping&& Other) noexcept {
  if (this != &Other) {
    Close();
    FHandle = std::exchange(Other.FHandle, -1);
    FSize = std::exchange(Other.FSize, 0);
    FOwned = std::exchange(Other.FOwned, true);
  }
  return *this;
}

bool TFileMapping::Create(int Fd) { return CreateOver(Fd, true); }

bool TFileMapping::CreateShared(int Fd) { return CreateOver(Fd, false); }

bool TFileMapping::CreateOver(int Fd, bool Own) {
  Close();
  if (Fd < 0) return false;
  if (TempFailureInjected(tfCreateMapping)) {
    errno = ENOMEM;
    return false;
  }
  struct stat st;
  if (::fstat(Fd, &st) != 0 || st.st_size <= 0) return false;
  const int fd = Own ? ::fcntl(Fd, F_DUPFD_CLOEXEC, 0) : Fd;
  if (fd < 0) return false;
  FHandle = fd;
  FOwned = Own;
  FSize = static_cast<int64_t>(st.st_size);
  return true;
}

void TFileMapping::Close() {
  if (FHandle >= 0 && FOwned) ::close(FHandle);
  FHandle = -1;
  FSize = 0;
  FOwned = true;
}

TMappedView TFileMapping::MapViewOfFile(int64_t Offset, size_t Length) const {
  TMappedView view;
  if (FHandle < 0 || Length == 0 || Offset < 0 || Offset % kMapGranularity != 0) return view;
  // Pages past the end of the file fault on access; never hand one out, even
  // when the file has shrunk since the mapping was made.
  struct stat st;
  if (::fstat(FHandle, &st) != 0) return view;
  const int64_t size = std::min<int64_t>(FSize, static_cast<int64_t>(st.st_size));
  if (Offset > size || Length > static_cast<uint64_t>(size - Offset)) return view;
  if (TempFailureInjected(tfMapView)) {
    errno = ENOMEM;
    return view;
  }
  void* p = ::mmap(nullptr, Length, PROT_READ | PROT_WRITE, MAP_SHARED, FHandle, static_cast<off_t>(Offset));
  if (p == MAP_FAILED) return view;
  view.FBase = static_cast<uint8_t*>(p);
  view.FLength = Length;
  return view;
}

}  // namespace kv
