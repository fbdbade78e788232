#include "imaging/formats/tiff_dir.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "platform/rtl/streams.h"

namespace kv {

namespace {
constexpr int32_t kMaxDirectories = 1 << 16;
}

int32_t TiffTypeSize(uint16_t Type) {
  switch (Type) {
    case ttByte: case ttAscii: case ttSByte: case ttUndefined: return 1;
    case ttShort: case ttSShort: return 2;
    case ttLong: case ttSLong: case ttFloat: return 4;
    case ttRational: case ttSRational: case ttDouble: return 8;
    default: return 0;
  }
}

const TTiffEntry* FindTag(const std::vector<TTiffEntry>& Entries, uint16_t Tag) {
  for (const TTiffEntry& e : Entries)
    if (e.Tag == Tag) return &e;
  return nullptr;
}

TTiffFile::TTiffFile(TStream& S, int64_t Base) : FS(S), FBase(Base), FSize(S.Size()) {}

uint16_t TTiffFile::Get16(const uint8_t* P) const {
  return FBigEndian ? uint16_t((P[0] << 8) | P[1]) : uint16_t(P[0] | (P[1] << 8));
}

uint32_t TTiffFile::Get32(const uint8_t* P) const {
  return FBigEndian ? (uint32_t(P[0]) << 24) | (uint32_t(P[1]) << 16) | (uint32_t(P[2]) << 8) | P[3]
                    : uint32_t(P[0]) | (uint32_t(P[1]) << 8) | (uint32_t(P[2]) << 16) | (uint32_t(P[3]) << 24);
}

bool TTiffFile::ReadAt(uint64_t Offset, void* Buffer, uint32_t Count) {
  const uint64_t at = uint64_t(FBase) + Offset;
  if (at > uint64_t(FSize) || Count > uint64_t(FSize) - at) return false;
  FS.SetPosition(int64_t(at));
  return FS.Read(Buffer, int32_t(Count)) == int32_t(Count);
}

bool TTiffFile::ReadHeader() {
  uint8_t h[8];
  if (!ReadAt(0, h, 8)) return false;
  if (h[0] == 'I' && h[1] == 'I') FBigEndian = false;
  else if (h[0] == 'M' && h[1] == 'M') FBigEndian = true;
  else return false;
  if (Get16(h + 2) != 42) return false;
  FFirst = Get32(h + 4);
  return true;
}

bool TTiffFile::ReadDirectory(uint32_t Offset, std::vector<TTiffEntry>& Entries, uint32_t& Next) {
  uint8_t n[2];
  if (!ReadAt(Offset, n, 2)) return false;
  const uint32_t count = Get16(n);
  std::vector<uint8_t> raw(size_t(count) * 12 + 4);
  if (!ReadAt(uint64_t(Offset) + 2, raw.data(), uint32_t(raw.size()))) {
    // The next offset may be missing at the very end of a stream; the entries may not.
    if (!ReadAt(uint64_t(Offset) + 2, raw.data(), count * 12)) return false;
    std::memset(raw.data() + count * 12, 0, 4);
  }
  Entries.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = raw.data() + i * 12;
    TTiffEntry& e = Entries[i];
    e.Tag = Get16(p);
    e.Type = Get16(p + 2);
    e.Count = Get32(p + 4);
    std::memcpy(e.Field, p + 8, 4);
  }
  Next = Get32(raw.data() + count * 12);
  return true;
}

int32_t TTiffFile::WalkChain(int32_t Index, std::vector<TTiffEntry>* Entries, uint32_t* IndexOffset,
                             std::vector<uint32_t>* Offsets) {
  std::unordered_set<uint32_t> seen;
  std::vector<TTiffEntry> entries;
  int32_t count = 0;
  uint32_t offset = FFirst;
  while (offset != 0 && count < kMaxDirectories && seen.insert(offset).second) {
    uint32_t next = 0;
    if (!ReadDirectory(offset, entries, next)) break;
    if (Offsets) Offsets->push_back(offset);
    if (count == Index) {
      if (Entries) *Entries = entries;
      if (IndexOffset) *IndexOffset = offset;
    }
    ++count;
    offset = next;
  }
  return count;
}

bool TTiffFile::Bytes(const TTiffEntry& E, std::vector<uint8_t>& Out, uint32_t MaxBytes) {
  const uint64_t size = uint64_t(TiffTypeSize(E.Type)) * E.Count;
  const uint64_t wanted = std::min<uint64_t>(size, MaxBytes);
  if (size <= 4) {
    Out.assign(E.Field, E.Field + wanted);
    return true;
  }
  // Checked before allocating: a count from the file may claim gigabytes.
  const uint64_t at = uint64_t(FBase) + Get32(E.Field);
  if (at > uint64_t(FSize) || wanted > uint64_t(FSize) - at) return false;
  Out.resize(size_t(wanted));
  return ReadAt(Get32(E.Field), Out.data(), uint32_t(wanted));
}

bool TTiffFile::Values(const TTiffEntry& E, std::vector<uint32_t>& Out, uint32_t MaxCount) {
  const int32_t size = TiffTypeSize(E.Type);
  if (size == 0 || E.Type == ttAscii || E.Type == ttFloat || E.Type == ttDouble) return false;
  const uint32_t count = std::min(E.Count, MaxCount);
  std::vector<uint8_t> raw;
  if (!Bytes(E, raw, count * uint32_t(size))) return false;
  Out.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = raw.data() + size_t(i) * size_t(size);
    switch (E.Type) {
      case ttByte: case ttUndefined: Out[i] = p[0]; break;
      case ttSByte: Out[i] = uint32_t(int32_t(int8_t(p[0]))); break;
      case ttShort: Out[i] = Get16(p); break;
      case ttSShort: Out[i] = uint32_t(int32_t(int16_t(Get16(p)))); break;
      default: Out[i] = Get32(p); break;
    }
  }
  return true;
}

uint32_t TTiffFile::Value(const TTiffEntry* E, uint32_t Default) {
  if (!E || E->Count == 0) return Default;
  std::vector<uint32_t> v;
  if (!Values(*E, v, 1) || v.empty()) return Default;
  return v[0];
}

double TTiffFile::Rational(const TTiffEntry* E, double Default, uint32_t Index) {
  if (!E || E->Count <= Index) return Default;
  if (E->Type != ttRational && E->Type != ttSRational) {
    std::vector<uint32_t> v;
    if (!Values(*E, v, Index + 1) || v.size() <= Index) return Default;
    return double(v[Index]);
  }
  uint8_t raw[8];
  if (!ReadAt(uint64_t(Get32(E->Field)) + uint64_t(Index) * 8, raw, 8)) return Default;
  if (E->Type == ttSRational) {
    const int32_t num = int32_t(Get32(raw));
    const int32_t den = int32_t(Get32(raw + 4));
    return double(num) / double(den == 0 ? 1 : den);
  }
  const uint32_t num = Get32(raw);
  const uint32_t den = Get32(raw + 4);
  return double(num) / double(den == 0 ? 1 : den);
}

std::string TTiffFile::Ascii(const TTiffEntry* E) {
  if (!E || TiffTypeSize(E->Type) != 1) return {};
  std::vector<uint8_t> raw;
  if (!Bytes(*E, raw, 1u << 16)) return {};
  const auto end = std::find(raw.begin(), raw.end(), 0);
  return std::string(raw.begin(), end);
}

}  // namespace kv
