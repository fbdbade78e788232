// TIFF file structure: the header, the chain of image file directories and
// the values of their entries, read with every offset and count checked
// against the stream. Shared by the TIFF reader, the page counter and the
// writer's insert.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class TStream;

enum TTiffType : uint16_t {
  ttByte = 1, ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5, ttSByte = 6, ttUndefined = 7,
  ttSShort = 8, ttSLong = 9, ttSRational = 10, ttFloat = 11, ttDouble = 12
};

struct TTiffEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  uint8_t Field[4] = {};  // the value itself when it fits, else its offset (file byte order)
};

// Bytes of one value of a field type; 0 for a type TIFF does not define.
int32_t TiffTypeSize(uint16_t Type);

class TTiffFile {
 public:
  // Base: the stream position offsets count from.
  TTiffFile(TStream& S, int64_t Base);

  // Reads the 8-byte header at Base; false unless "II" or "MM" and 42.
  bool ReadHeader();
  bool BigEndian() const { return FBigEndian; }
  uint32_t FirstDirectory() const { return FFirst; }

  // Reads the directory at Offset (entries sorted as stored); false when it
  // does not lie inside the stream.
  bool ReadDirectory(uint32_t Offset, std::vector<TTiffEntry>& Entries, uint32_t& Next);

  // Walks the chain from the first directory, counting directories; the
  // entries of directory Index (0-based) go to Entries when it exists. A
  // directory seen before (a loop), one outside the stream or a next offset
  // of 0 ends the walk. Offsets, when given, receives every directory's offset.
  int32_t WalkChain(int32_t Index, std::vector<TTiffEntry>* Entries, uint32_t* IndexOffset = nullptr,
                    std::vector<uint32_t>* Offsets = nullptr);

  // Values of an entry as unsigned integers (BYTE, SHORT, LONG and their
  // signed forms; rationals give their numerators). At most MaxCount values
  // are read; false when the values lie outside the stream.
  bool Values(const TTiffEntry& E, std::vector<uint32_t>& Out, uint32_t MaxCount = 1u << 24);
  // First value, or Default when the entry has none or cannot be read.
  uint32_t Value(const TTiffEntry* E, uint32_t Default);
  // A RATIONAL or SRATIONAL (signed read signed) as a double; a denominator 0 counts as 1.
  double Rational(const TTiffEntry* E, double Default, uint32_t Index = 0);
  // ASCII up to the first zero byte.
  std::string Ascii(const TTiffEntry* E);
  // Raw bytes of an entry (any type), the first MaxBytes at most.
  bool Bytes(const TTiffEntry& E, std::vector<uint8_t>& Out, uint32_t MaxBytes = 1u << 24);

  uint16_t Get16(const uint8_t* P) const;
  uint32_t Get32(const uint8_t* P) const;
  int64_t Base() const { return FBase; }
  int64_t StreamSize() const { return FSize; }
  TStream& Stream() { return FS; }

 private:
  // Reads Count bytes at Base + Offset; false when they are not all there.
  bool ReadAt(uint64_t Offset, void* Buffer, uint32_t Count);

  TStream& FS;
  int64_t FBase;
  int64_t FSize;
  bool FBigEndian = false;
  uint32_t FFirst = 0;
};

const TTiffEntry* FindTag(const std::vector<TTiffEntry>& Entries, uint16_t Tag);

}  // namespace kv
