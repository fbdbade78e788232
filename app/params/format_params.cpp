#include "app/params/format_params.h"

#include <span>
#include <variant>

#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "imaging/formats/io_params.h"
#include "imaging/processing/colour_convert.h"
#include "platform/rtl/file_utils.h"

namespace kv {

namespace {

using F = TIOParamsFields;

// How a key's text maps onto its field.
enum TKeyKind : uint8_t {
  kkInt,         // int32_t field, integer text
  kkOrdinal,     // uint8_t enumeration: integer text, values outside 0..255 ignored
  kkOrdinalBool, // bool field kept as the ordinal 0 or 1 (PCX compression)
  kkBool,        // bool field, "1" or "0"
  kkText,        // std::string field, quoted
  kkColour,      // TBGRPixel field, window-system colour number
};

struct TKey {
  const char* Name;
  TKeyKind Kind;
  std::variant<int32_t F::*, uint8_t F::*, bool F::*, std::string F::*, TBGRPixel F::*> Field;
};

// Each section in the order its keys are written.
const TKey kCommon[] = {
    {"BPS", kkInt, &F::BitsPerSample},
    {"SPP", kkInt, &F::SamplesPerPixel},
};
const TKey kTiff[] = {
    {"Compression", kkOrdinal, &F::TiffCompression}, {"DocName", kkText, &F::TiffDocumentName},
    {"Desc", kkText, &F::TiffImageDescription},      {"Index", kkInt, &F::TiffImageIndex},
    {"Pagecount", kkInt, &F::TiffPageCount},         {"Pagename", kkText, &F::TiffPageName},
    {"Pagenumber", kkInt, &F::TiffPageNumber},       {"Photom", kkOrdinal, &F::TiffPhotometric},
    {"Planar", kkInt, &F::TiffPlanarConfig},         {"X", kkInt, &F::TiffXPos},
    {"Y", kkInt, &F::TiffYPos},
};
const TKey kGif[] = {
    {"Backcol", kkColour, &F::GifBackground},  {"Delay", kkInt, &F::GifDelayTime},
    {"Transp", kkBool, &F::GifTransparent},    {"Index", kkInt, &F::GifImageIndex},
    {"Interlaced", kkBool, &F::GifInterlaced}, {"Transcol", kkColour, &F::GifTransparentColor},
    {"X", kkInt, &F::GifXPos},                 {"Y", kkInt, &F::GifYPos},
};
const TKey kJpeg[] = {
    {"Photom", kkOrdinal, &F::JpegColorSpace},  {"DCT", kkOrdinal, &F::JpegDctMethod},
    {"HUFF", kkBool, &F::JpegOptimalHuffman},   {"Prog", kkBool, &F::JpegProgressive},
    {"Quality", kkInt, &F::JpegQuality},        {"Smooth", kkInt, &F::JpegSmoothing},
};
const TKey kPcx[] = {{"Compression", kkOrdinalBool, &F::PcxCompressed}};
const TKey kBmp[] = {{"Compression", kkOrdinal, &F::BmpCompression}};
const TKey kPng[] = {
    {"Backcol", kkColour, &F::PngBackground}, {"Interlaced", kkBool, &F::PngInterlaced},
    {"Filter", kkOrdinal, &F::PngFilter},     {"Compression", kkInt, &F::PngCompression},
};
// TGA has no interlace flag of its own: its "Interlaced" is the PNG one.
const TKey kTga[] = {
    {"Backcol", kkColour, &F::TgaBackground}, {"X", kkInt, &F::TgaXPos},
    {"Y", kkInt, &F::TgaYPos},                {"Compressed", kkBool, &F::TgaCompressed},
    {"Desc", kkText, &F::TgaDescription},     {"Author", kkText, &F::TgaAuthor},
    {"Name", kkText, &F::TgaImageName},       {"Interlaced", kkBool, &F::PngInterlaced},
};

std::span<const TKey> SectionOf(std::string_view FileName) {
  tFileFormat kind;
  if (!FileKindOfExtension(ExtractFileExt(FileName), kind)) return {};
  switch (kind) {
    case tFileFormat::tiff: return kTiff;
    case tFileFormat::gif: return kGif;
    case tFileFormat::jpg: return kJpeg;
    case tFileFormat::pcx: return kPcx;
    case tFileFormat::bmp: return kBmp;
    case tFileFormat::png: return kPng;
    case tFileFormat::tga: return kTga;
    default: return {};
  }
}

TColor ToColour(const TBGRPixel& P) { return RGBToTColor(P.r, P.g, P.b); }

void ReadKey(std::string_view Line, const TKey& K, F& P) {
  switch (K.Kind) {
    case kkInt: {
      int32_t& f = P.*std::get<int32_t F::*>(K.Field);
      f = ReadParamInt(Line, K.Name, f);
      break;
    }
    case kkOrdinal: {
      uint8_t& f = P.*std::get<uint8_t F::*>(K.Field);
      const int32_t v = ReadParamInt(Line, K.Name, f);
      if (v >= 0 && v <= 255) f = static_cast<uint8_t>(v);
      break;
    }
    case kkOrdinalBool: {
      bool& f = P.*std::get<bool F::*>(K.Field);
      const int32_t v = ReadParamInt(Line, K.Name, f ? 1 : 0);
      if (v == 0 || v == 1) f = v == 1;
      break;
    }
    case kkBool: {
      bool& f = P.*std::get<bool F::*>(K.Field);
      f = ReadParamBool(Line, K.Name, f);
      break;
    }
    case kkText: {
      std::string& f = P.*std::get<std::string F::*>(K.Field);
      f = ReadParamString(Line, K.Name, f);
      break;
    }
    case kkColour: {
      TBGRPixel& f = P.*std::get<TBGRPixel F::*>(K.Field);
      f = TColorToTBGRPixel(ReadParamInt(Line, K.Name, ToColour(f)));
      break;
    }
  }
}

std::string WriteKey(const TKey& K, const F& P) {
  switch (K.Kind) {
    case kkInt: return WriteParamInt(K.Name, P.*std::get<int32_t F::*>(K.Field));
    case kkOrdinal: return WriteParamInt(K.Name, P.*std::get<uint8_t F::*>(K.Field));
    case kkOrdinalBool: return WriteParamInt(K.Name, (P.*std::get<bool F::*>(K.Field)) ? 1 : 0);
    case kkBool: return WriteParamBool(K.Name, P.*std::get<bool F::*>(K.Field));
    case kkText: return WriteParamString(K.Name, P.*std::get<std::string F::*>(K.Field));
    case kkColour: return WriteParamInt(K.Name, ToColour(P.*std::get<TBGRPixel F::*>(K.Field)));
  }
  return {};
}

}  // namespace

void ReadFormatParams(std::string_view Line, TIOParamsVals& Params, std::string_view FileName) {
  F& p = Params;
  for (const TKey& k : kCommon) ReadKey(Line, k, p);
  for (const TKey& k : SectionOf(FileName)) ReadKey(Line, k, p);
}

std::string WriteFormatParams(const TIOParamsVals& Params, std::string_view FileName) {
  const F& p = Params;
  std::string s;
  for (const TKey& k : kCommon) s += WriteKey(k, p);
  for (const TKey& k : SectionOf(FileName)) s += WriteKey(k, p);
  return s;
}

}  // namespace kv
