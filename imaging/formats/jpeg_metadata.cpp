// IPTC (APP13) and EXIF (APP1) around a JPEG read and write.
#include <vector>

#include "imaging/formats/exif.h"
#include "imaging/formats/jpeg.h"

namespace kv {

namespace {
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp13 = 0xED;
}  // namespace

void ParseJpegMetadata(TIOParamsVals& Params) {
  TIMMarkerList& m = Params.JpegMarkers;
  const int32_t iptc = m.IndexOf(kApp13);
  if (iptc >= 0) Params.IptcList.LoadFromBuffer(m.MarkerData(iptc), m.MarkerLength(iptc));
  // Other APP1 payloads (XMP) may come first: take the first that parses as EXIF.
  for (int32_t i = 0; i < m.Count(); ++i) {
    if (m.MarkerType(i) != kApp1 || !ReadEXIFBlock(m.MarkerData(i), m.MarkerLength(i), Params)) continue;
    if (Params.DpiX == 1 && Params.DpiY == 1) {
      const double f = Params.ExifResolutionUnit == 3 ? 2.54 : 1;
      Params.DpiX = Trunc32(Params.ExifXResolution * f);
      Params.DpiY = Trunc32(Params.ExifYResolution * f);
    }
    break;
  }
}

bool PackJpegIptc(TIOParamsVals& Params) {
  if (!Params.IptcList.UserChanged()) return true;
  const std::vector<uint8_t> block = Params.IptcList.SaveToBuffer();
  if (block.size() > size_t(TIMMarkerList::MaxMarkerLength)) return false;
  const int32_t at = Params.JpegMarkers.IndexOf(kApp13);
  if (at >= 0) Params.JpegMarkers.SetMarker(at, kApp13, int32_t(block.size()), block.data());
  else Params.JpegMarkers.AddMarker(kApp13, block.data(), int32_t(block.size()));
  return true;
}

}  // namespace kv
