// Read-write mappings of a file: a mapping object over the file's present
// size, and views of it mapped at offsets that are multiples of 65536.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv {

// Views start at multiples of this (the allocation granularity the imaging code relies on).
constexpr int64_t kMapGranularity = 65536;

// One mapped view, owned: destroying it unmaps it.
class TMappedView {
 public:
  TMappedView() = default;
  ~TMappedView() { Unmap(); }
  TMappedView(TMappedView&& Other) noexcept;
  TMappedView& operator=(TMappedView&& Other) noexcept;
  TMappedView(const TMappedView&) = delete;
  TMappedView& operator=(const TMappedView&) = delete;

  void Unmap();
  // First byte of the view; null when nothing is mapped.
  uint8_t* Base() const { return FBase; }
  size_t Length() const { return FLength; }
  explicit operator bool() const { return FBase != nullptr; }

 private:
  friend class TFileMapping;
  uint8_t* FBase = nullptr;
  size_t FLength = 0;
};

// A read-write mapping of a whole file as large as it is when the mapping is
// made (after growing the file, make a new one). It keeps its own descriptor,
// so it and its views outlive the file object that opened it.
class TFileMapping {
 public:
  TFileMapping() = default;
  ~TFileMapping() { Close(); }
  TFileMapping(TFileMapping&& Other) noexcept;
  TFileMapping& operator=(TFileMapping&& Other) noexcept;
  TFileMapping(const TFileMapping&) = delete;
  TFileMapping& operator=(const TFileMapping&) = delete;

  // Maps the file of descriptor Fd over its present size; false when it is
  // empty or cannot be mapped.
  bool Create(int Fd);
  // As Create, but over Fd itself instead of a copy of it: the caller keeps Fd
  // open while the mapping is used and closes it afterwards (one descriptor
  // per file where many files are open at once).
  bool CreateShared(int Fd);
  void Close();
  bool IsOpen() const { return FHandle >= 0; }
  int64_t Size() const { return FSize; }

  // Maps Length bytes from Offset, a multiple of kMapGranularity. An empty
  // view comes back when the range does not lie inside the file or the system
  // refuses; nothing is ever mapped past the end of the file.
  TMappedView MapViewOfFile(int64_t Offset, size_t Length) const;

 private:
  bool CreateOver(int Fd, bool Own);

  int FHandle = -1;
  int64_t FSize = 0;
  bool FOwned = true;
};

}  // namespace kv
