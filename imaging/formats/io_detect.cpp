#include "imaging/formats/io_detect.h"

#include <cstring>
#include <string_view>

#include "imaging/formats/file_types.h"
#include "imaging/formats/io_formats.h"
#include "imaging/formats/jpeg.h"
#include "platform/rtl/file_utils.h"

namespace kv {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The content test of a row, when the row has one; the position is put back
// whatever the test did.
bool RowTest(TStream& S, int32_t Id, int64_t Pos) {
  const TIOFormat* f = FindIOFormat(Id);
  if (!f || !f->IsFormat) return false;
  const bool yes = f->IsFormat(S);
  S.SetPosition(Pos);
  return yes;
}

int32_t Detect(TStream& S, int64_t Pos) {
  const int64_t size = S.Size() - Pos;
  uint8_t head[8] = {};
  const int32_t got = S.Read(head, sizeof head);
  S.SetPosition(Pos);
  // The first bytes as text up to a zero byte, at most 5 of them.
  const int32_t textMax = got < 5 ? got : 5;
  const std::string_view text(reinterpret_cast<const char*>(head), strnlen(reinterpret_cast<const char*>(head), size_t(textMax)));

  if (size > 12 && text == "JFIF") return ioJPEG;
  if (size > 13 && got >= 3 && std::memcmp(head, "GIF", 3) == 0) return ioGIF;
  if (size > 12 && text == "PCX2") return ioPCX;
  if (size > 4 && got >= 4 && std::memcmp(head, "PCX\0", 4) == 0) return ioPCX;
  if (size > 14 && got >= 2 && head[0] == 'B' && head[1] == 'M') return ioBMP;
  if (size > 128 && got >= 2 && head[0] == 10 && head[1] <= 5) return ioPCX;
  if (size > 12 && text == "TIFF") return ioTIFF;
  if (size > 8 && got >= 2 && ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M')))
    return ioTIFF;
  if (size > 8 && got == 8 && std::memcmp(head, kPngSignature, 8) == 0) return ioPNG;
  for (int32_t id : {ioICO, ioCUR, ioTGA, ioPXM})
    if (RowTest(S, id, Pos)) return id;
  if (FindJpegStart(S) >= 0) return ioJPEG;
  return 0;
}

}  // namespace

int32_t DetectStreamType(TStream& S) {
  int64_t pos = 0;
  int32_t id = 0;
  try {
    pos = S.Position();
    id = Detect(S, pos);
  } catch (...) {
    id = 0;  // a test that raised ends detection with nothing found
  }
  try {
    S.SetPosition(pos);
  } catch (...) {
  }
  return id;
}

int32_t DetectFileType(const std::string& FileName, bool Reconcile) {
  int32_t id = 0;
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    id = DetectStreamType(f);
  } catch (...) {
    return 0;
  }
  if (!Reconcile) return id;
  std::string ext = ExtractFileExt(FileName);
  if (!ext.empty()) ext.erase(0, 1);
  const TIMFileTypeRecord* row = ext.empty() ? nullptr : FindFileTypeByExtension(ext);
  if (!row) return 0;
  // Icons and cursors share one header layout: the extension tells which.
  // Only between the two of them, though: an icon named x.bmp is no bitmap.
  const bool iconLike = id == ioICO || id == ioCUR;
  if (iconLike && (row->Id == ioICO || row->Id == ioCUR)) return row->Id;
  return id == row->Id ? id : 0;
}

}  // namespace kv
