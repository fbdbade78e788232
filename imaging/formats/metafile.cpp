#include "imaging/formats/metafile.h"

#include <atomic>

#include "imaging/formats/file_types.h"

namespace kv {

namespace {
std::atomic<TIOMetafileLoader> gLoader{DefaultIOMetafileLoader()};

uint32_t U16(const uint8_t* P) { return uint32_t(P[0]) | uint32_t(P[1]) << 8; }
uint32_t U32(const uint8_t* P) { return U16(P) | U16(P + 2) << 16; }
}  // namespace

void SetIOMetafileLoader(TIOMetafileLoader Loader) { gLoader.store(Loader); }
TIOMetafileLoader IOMetafileLoader() { return gLoader.load(); }

int32_t DetectMetafileType(const uint8_t* Data, size_t Length) {
  // Enhanced: the header record (type 1) carries " EMF" at offset 40.
  if (Length >= 88 && U32(Data) == 1 && U32(Data + 40) == 0x464D4520) return ioEMF;
  // Placeable Windows metafile: its key, then the 22-byte header.
  if (Length >= 22 + 18 && U32(Data) == 0x9AC6CDD7) return ioWMF;
  // Plain Windows metafile: memory (1) or disk (2), a 9-word header, version 1 or 3.
  if (Length >= 18 && (U16(Data) == 1 || U16(Data) == 2) && U16(Data + 2) == 9 &&
      (U16(Data + 4) == 0x100 || U16(Data + 4) == 0x300))
    return ioWMF;
  return 0;
}

bool MetafileRecordsSound(const uint8_t* Data, size_t Length, int32_t FileType) {
  if (FileType == ioEMF) {
    size_t at = 0;
    while (at < Length) {
      if (Length - at < 8) return false;
      const uint32_t type = U32(Data + at), size = U32(Data + at + 4);
      if (size < 8 || size % 4 != 0 || size > Length - at) return false;
      if (at == 0 && (type != 1 || size < 88)) return false;
      if (type == 14) return true;  // end of file
      at += size;
    }
    return at > 0;
  }
  if (FileType != ioWMF) return false;
  size_t at = U32(Data) == 0x9AC6CDD7 ? 22 : 0;
  if (Length < at + 18 || U16(Data + at + 2) != 9) return false;
  // Readers size a record buffer by the largest record the header states;
  // one beyond the data is a lie that would cost gigabytes.
  if (uint64_t(U32(Data + at + 12)) * 2 > Length) return false;
  at += 18;
  bool any = false;
  while (at < Length) {
    if (Length - at < 6) return false;
    const uint64_t size = uint64_t(U32(Data + at)) * 2;
    const uint32_t function = U16(Data + at + 4);
    if (size < 6 || size > Length - at) return false;
    if (function == 0) return true;  // end of file
    at += size_t(size);
    any = true;
  }
  return any;
}

}  // namespace kv
