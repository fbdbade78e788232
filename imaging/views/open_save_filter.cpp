// Filters, extension rules and information lines of the open and save dialogs.
#include "imaging/views/open_save_filter.h"

#include "imaging/formats/file_types.h"
#include "imaging/formats/io_formats.h"
#include "imaging/formats/io_params.h"
#include "imaging/formats/lzw_hooks.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

std::vector<std::string> Extensions(const TIMFileTypeRecord& T) {
  std::vector<std::string> v;
  size_t start = 0;
  while (start <= T.Extensions.size()) {
    const size_t semi = T.Extensions.find(';', start);
    std::string e = T.Extensions.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
    if (!e.empty()) v.push_back(e);
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return v;
}

bool Included(const TIMFileTypeRecord& T, bool Save) {
  if (T.Id == ioGIF && !(Save ? IsGifEncoderInstalled() : IsGifDecoderInstalled())) return false;
  if (T.Id > 9999) {
    const TIOFormat* f = FindIOFormat(T.Id);
    if (!f || (Save ? f->Write == nullptr : f->Read == nullptr)) return false;
  }
  if (Save && (T.Id == ioICO || T.Id == ioCUR || T.Id == ioWMF || T.Id == ioEMF)) return false;
  return true;
}

std::string Patterns(const TIMFileTypeRecord& T) {
  std::string p;
  for (const std::string& e : Extensions(T)) p += (p.empty() ? "*." : ";*.") + LowerCase(e);
  return p;
}

std::string Entry(const TIMFileTypeRecord& T) {
  std::string upper;
  for (const std::string& e : Extensions(T)) upper += (upper.empty() ? "" : ";") + UpperCase(e);
  return "|" + T.Description + " (" + upper + ")|" + Patterns(T);
}

constexpr const char* kAviEntry = "|Video for Windows (AVI)|*.avi";

std::string SizeText(int64_t N) { return N > 1023 ? IntToStr(N / 1024) + " Kb" : IntToStr(N) + " bytes"; }

}  // namespace

std::string BuildOpenFilter() {
  BuildFileTypeList();
  std::string all = "All graphics|";
  std::string entries;
  bool first = true;
  for (int32_t i = 0; i < FileTypeCount(); ++i) {
    const TIMFileTypeRecord& t = FileTypeAt(i);
    if (!Included(t, false)) continue;
    all += (first ? "" : ";") + Patterns(t);
    first = false;
    entries += Entry(t);
  }
  return all + ";*.avi" + entries + kAviEntry;
}

std::string BuildSaveFilter() {
  BuildFileTypeList();
  std::string entries;
  for (int32_t i = 0; i < FileTypeCount(); ++i)
    if (Included(FileTypeAt(i), true)) entries += Entry(FileTypeAt(i));
  // No AVI entry: there is no AVI writer, and a save offered in a type that
  // cannot be written would fail only after the user chose it.
  return entries.substr(1);
}

std::string InitialSaveFilter() {
  std::string f = "JPEG Bitmap (JPG)|*.jpg";
  if (IsGifEncoderInstalled()) f += "|CompuServe Bitmap (GIF)|*.gif";
  f +=
      "|TIFF Bitmap (TIF)|*.tif|PaintBrush (PCX)|*.pcx|Portable Network Graphics (PNG)|*.png"
      "|Windows Bitmap (BMP)|*.bmp|OS/2 Bitmap (BMP)|*.bmp|Targa Bitmap (TGA)|*.tga"
      "|Portable PixMap (PXM)|*.pxm|Portable PixMap (PPM)|*.ppm|Portable GreyMap (PGM)|*.pgm"
      "|Portable Bitmap (PBM)|*.pbm";
  return f;
}

std::string FirstPatternExtension(const std::string& Pattern) {
  std::string first = Pattern.substr(0, Pattern.find(';'));
  const size_t dot = first.rfind('.');
  if (dot == std::string::npos) return "";
  std::string ext = first.substr(dot + 1);
  if (ext.empty() || ext.find_first_of("*?") != std::string::npos) return "";
  return ext;
}

std::string ReplaceNameExtension(const std::string& Name, const std::string& Ext) {
  if (Name.empty() || Ext.empty()) return Name;
  const size_t slash = Name.find_last_of('/');
  const size_t dot = Name.rfind('.');
  // A dot at the start of the file's own name marks a hidden file, not an extension.
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  if (dot == std::string::npos || dot <= base) return Name + "." + Ext;
  return Name.substr(0, dot) + "." + Ext;
}

int32_t AdvancedPageFor(const std::string& FileName, const std::string& DefaultExt) {
  auto pageOf = [](const std::string& Ext) -> int32_t {
    if (Ext == "jpg" || Ext == "jpeg" || Ext == "jpe") return 4;
    if (Ext == "tif" || Ext == "tiff" || Ext == "fax") return 8;
    if (Ext == "gif") return IsGifEncoderInstalled() ? 16 : 0;
    if (Ext == "bmp" || Ext == "dib" || Ext == "rle") return 32;
    if (Ext == "pcx") return 64;
    if (Ext == "png") return 128;
    if (Ext == "tga" || Ext == "targa" || Ext == "vda" || Ext == "icb" || Ext == "vst" || Ext == "win") return 256;
    return 0;
  };
  std::string ext = LowerCase(ExtractFileExt(FileName));
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  const int32_t page = pageOf(ext);
  if (page) return page;
  std::string def = LowerCase(DefaultExt);
  if (!def.empty() && def[0] == '.') def.erase(0, 1);
  return pageOf(def);
}

TIMPreviewInfo PreviewInfo(const TIOParamsVals& P, int32_t FrameCount, int64_t FileSize, TMsgLanguage Language) {
  TIMPreviewInfo info;
  const bool jpeg = P.FileType == ioJPEG && P.JpegOriginalWidth > 0;
  const int64_t w = jpeg ? P.JpegOriginalWidth : P.Width;
  const int64_t h = jpeg ? P.JpegOriginalHeight : P.Height;
  info.PicLabel1 = IntToStr(w) + " x " + IntToStr(h) + " pixel";
  if (FrameCount > 1) info.PicLabel1 += " , " + IntToStr(FrameCount) + " frames";
  info.PicLabel3 = IntToStr(P.DpiX) + " x " + IntToStr(P.DpiY) + " dpi";
  const int64_t bits = int64_t(P.SamplesPerPixel) * P.BitsPerSample;
  std::string colours;
  if (P.SamplesPerPixel == 4 && P.BitsPerSample == 8) colours = "16777216";
  else if (P.SamplesPerPixel == 3 && P.BitsPerSample == 16) colours = "2^48";
  else if (bits >= 0 && bits < 63) colours = IntToStr(int64_t(1) << bits);
  else colours = "2^" + IntToStr(bits);  // would not fit in a number
  info.PicLabel2 = colours + " " + IMGetMsg(58, Language) + " (" + IntToStr(bits) + " bit)";
  const int64_t b = (P.SamplesPerPixel == 1 && P.BitsPerSample == 1) ? 1 : 24;
  const int64_t mem = int64_t(std::max(FrameCount, 1)) * h * ((w * b + 31) / 32 * 4);
  info.InfoLabel2 = "File: " + SizeText(FileSize) + "   Mem: " + SizeText(mem);
  info.InfoLabel1 = P.GetFormatSummary();
  return info;
}

}  // namespace kv
