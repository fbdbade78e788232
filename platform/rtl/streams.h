// Byte streams: the one interface every codec reads and writes through.
// Read returns how much it could read (a short read is the end of data);
// Write returns how much was written, and a short write is always an error
// that WriteBuffer raises as EWriteError.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/object.h"

namespace kv {

enum TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);

  // Raise EReadError / EWriteError when fewer bytes move than asked.
  void ReadBuffer(void* Buffer, int32_t Count);
  void WriteBuffer(const void* Buffer, int32_t Count);
  // Copies Count bytes from Source (0: all of it from its start); returns the bytes copied.
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

class TCustomMemoryStream : public TStream {
 public:
  int32_t Read(void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FSize; }
  void* Memory() const { return FMemory; }
  void SaveToStream(TStream& Dest);
  void SaveToFile(const std::string& FileName);

 protected:
  void SetPointer(void* Ptr, int64_t Size);
  uint8_t* FMemory = nullptr;
  int64_t FSize = 0;
  int64_t FPosition = 0;
};

// Growable stream in memory.
class TMemoryStream : public TCustomMemoryStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  void SetSize(int64_t NewSize) override;
  void Clear();
  void LoadFromStream(TStream& Source);
  void LoadFromFile(const std::string& FileName);

 private:
  void SetCapacity(int64_t NewCapacity);
  int64_t FCapacity = 0;
};

// Read-only view of bytes owned elsewhere (fuzzing, resources, mapped memory).
class TReadOnlyMemoryStream : public TCustomMemoryStream {
 public:
  TReadOnlyMemoryStream(const void* Data, int64_t Size) { SetPointer(const_cast<void*>(Data), Size); }
  int32_t Write(const void*, int32_t) override { return 0; }
};

// File open modes and share flags (share flags are accepted for compatibility; POSIX has no mandatory locks).
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

class THandleStream : public TStream {
 public:
  explicit THandleStream(int Handle) : FHandle(Handle) {}
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  int Handle() const { return FHandle; }

 protected:
  int FHandle = -1;
};

// Raises EFCreateError / EFOpenError with the file name when the file cannot be had.
class TFileStream : public THandleStream {
 public:
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
};

}  // namespace kv
