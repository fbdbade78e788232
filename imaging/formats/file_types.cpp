#include "imaging/formats/file_types.h"

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

std::vector<TIMFileTypeRecord>& List() {
  static std::vector<TIMFileTypeRecord> L;
  return L;
}

// Builds the list when the library is loaded and frees it when it ends.
struct TFileTypeListLifetime {
  TFileTypeListLifetime() { BuildFileTypeList(); }
  ~TFileTypeListLifetime() { FreeFileTypeList(); }
} const FileTypeListLifetime;

}  // namespace

void BuildFileTypeList() {
  auto& L = List();
  L.clear();
  L.push_back({ioTIFF, "TIFF Bitmap", "TIF;TIFF;FAX"});
  L.push_back({ioGIF, "CompuServe Bitmap", "GIF"});
  L.push_back({ioJPEG, "JPEG Bitmap", "JPG;JPEG;JPE"});
  L.push_back({ioPCX, "PaintBrush", "PCX"});
  L.push_back({ioBMP, "Windows Bitmap", "BMP;DIB;RLE"});
  L.push_back({ioICO, "Windows Icon", "ICO"});
  L.push_back({ioCUR, "Windows Cursor", "CUR"});
  L.push_back({ioPNG, "Portable Network Graphics", "PNG"});
  L.push_back({ioWMF, "Windows Metafile", "WMF"});
  L.push_back({ioEMF, "Enhanced Windows Metafile", "EMF"});
  L.push_back({ioTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX"});
  L.push_back({ioPXM, "Portable Pixmap, GreyMap, BitMap", "PXM;PPM;PGM;PBM"});
}

void FreeFileTypeList() { List().clear(); }

int32_t FileTypeCount() { return int32_t(List().size()); }

const TIMFileTypeRecord& FileTypeAt(int32_t Index) {
  if (Index < 0 || Index >= FileTypeCount()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return List()[size_t(Index)];
}

const TIMFileTypeRecord* FindFileType(int32_t Id) {
  for (const auto& R : List())
    if (R.Id == Id) return &R;
  return nullptr;
}

namespace {

// The N-th piece of a ";"-separated list; empty when the list ends first.
std::string_view Piece(std::string_view List, int32_t N) {
  size_t Start = 0;
  for (int32_t i = 0; i <= N; ++i) {
    if (Start > List.size()) return {};
    size_t End = List.find(';', Start);
    if (End == std::string_view::npos) End = List.size();
    if (i == N) return List.substr(Start, End - Start);
    Start = End + 1;
  }
  return {};
}

}  // namespace

std::string GetFileTypeExtension(int32_t Id, int32_t N) {
  const TIMFileTypeRecord* R = FindFileType(Id);
  if (!R || N < 0) return {};
  return std::string(Piece(R->Extensions, N));
}

int32_t FileTypeExtensionCount(int32_t Id) {
  int32_t N = 0;
  while (!GetFileTypeExtension(Id, N).empty()) ++N;
  return N;
}

const TIMFileTypeRecord* FindFileTypeByExtension(std::string_view Ext) {
  if (Ext.empty()) return nullptr;
  const std::string Up = UpperCase(std::string(Ext));
  for (const auto& R : List())
    for (int32_t n = 0;; ++n) {
      std::string_view P = Piece(R.Extensions, n);
      if (P.empty()) break;
      if (P == Up) return &R;
    }
  return nullptr;
}

}  // namespace kv
