#include "app/params/file_kinds.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

const std::array<std::string, kFileFormatCount> kKindTexts{
    "(JPG) Jpeg |*.jpg;*.jpeg;*.jpe",
    "(PNG) Portable Network Graphics |*.png",
    "(BMP) Windows Bitmap |*.bmp;*.dib;*.rle",
    "(PCX) PaintBrush |*.pcx",
    "(GIF) CompuServe Bitmap (GIF) |*.gif",
    "(TIF) Tiff Bitmap |*.tif;*.tiff",
    "(TGA) Targa Bitmap |*.tga;*.targa;*.vda;*.icb;*.vst;*.pix",
    "(WMF) Windows Metafile |*.wmf",
    "(EMF) Windows E-Metafile |*.emf",
    "(ICO) Microsoft Icon |*.ico",
    "(CUR) Microsoft Cursor |*.cur",
    "(PCF) Katalog |*.pcf",
    "(AVI) Video |*.avi",
    "(DXF) Autocad |*.dxf",
    "(IMV) Vector |*.imv",
    "(WAV) Wave |*.wav",
    "(MID) Midi |*.mid",
    "(WMA) Windows Media Audio|*.wma",
    "(MP3) MP3 |*.mp3",
};

tFileFormat KindAt(int I) { return static_cast<tFileFormat>(I); }

// The text from From up to the next ";" or the end.
std::string UpToSemicolon(std::string_view Text, size_t From) {
  const size_t end = Text.find(';', From);
  return std::string(Text.substr(From, end == std::string_view::npos ? std::string_view::npos : end - From));
}

// The table texts of the kinds of Set, in ordinal order, each followed by "|".
std::string FilterOf(tFileFormatset Set) {
  std::string s;
  for (int i = 0; i < kFileFormatCount; ++i)
    if (Set.Contains(KindAt(i))) s += kKindTexts[size_t(i)] + "|";
  return AddAllFilesFilter(s);
}

}  // namespace

const tFileFormatset ImageKinds{tFileFormat::jpg, tFileFormat::png,  tFileFormat::bmp, tFileFormat::pcx,
                                tFileFormat::gif, tFileFormat::tiff, tFileFormat::tga, tFileFormat::wmf,
                                tFileFormat::emf, tFileFormat::ico,  tFileFormat::cur};
const tFileFormatset WritableKinds{tFileFormat::jpg, tFileFormat::png,  tFileFormat::bmp, tFileFormat::pcx,
                                   tFileFormat::gif, tFileFormat::tiff, tFileFormat::tga};
const tFileFormatset CatalogKinds{tFileFormat::pcf};
const tFileFormatset SoundKinds{tFileFormat::wav, tFileFormat::mid, tFileFormat::wma, tFileFormat::mp3};
const tFileFormatset WaveKinds{tFileFormat::wav};

const std::string& FileKindText(tFileFormat Kind) { return kKindTexts.at(size_t(Kind)); }

std::string FileKindShortName(tFileFormat Kind) {
  const std::string& t = FileKindText(Kind);
  const size_t open = t.find('(');
  const size_t close = t.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return t.substr(open + 1, close - open - 1);
}

std::string FileKindDescription(std::string_view TableText) {
  return std::string(TableText.substr(0, TableText.find('|')));
}

std::string FileKindExtension(tFileFormat Kind) {
  const std::string& t = FileKindText(Kind);
  const size_t p = t.find("|*.");
  return p == std::string::npos ? std::string() : UpToSemicolon(t, p + 3);
}

std::string FileKindExtraExtension(tFileFormat Kind, int32_t N) {
  if (N < 0) return {};
  const std::string& t = FileKindText(Kind);
  size_t p = 0;
  for (int32_t i = 0; i <= N; ++i) {
    p = t.find(";*.", p);
    if (p == std::string::npos) return {};
    p += 3;
  }
  return UpToSemicolon(t, p);
}

bool FileKindOfExtension(std::string_view Ext, tFileFormat& Kind) {
  if (!Ext.empty() && Ext.front() == '.') Ext.remove_prefix(1);
  if (Ext.empty()) return false;
  for (int i = 0; i < kFileFormatCount; ++i) {
    const tFileFormat k = KindAt(i);
    bool found = SameText(FileKindExtension(k), Ext);
    for (int32_t n = 0; !found; ++n) {
      const std::string extra = FileKindExtraExtension(k, n);
      if (extra.empty()) break;
      found = SameText(extra, Ext);
    }
    if (found) {
      Kind = k;
      return true;
    }
  }
  return false;
}

int32_t FileKindListIndex(tFileFormat Kind) {
  int32_t n = 0;
  for (int i = 0; i < int(Kind); ++i)
    if (ImageKinds.Contains(KindAt(i))) ++n;
  return n;
}

tFileFormat FileKindAtListIndex(int32_t Index) {
  for (int i = 0, n = 0; i < kFileFormatCount; ++i) {
    if (!ImageKinds.Contains(KindAt(i))) continue;
    if (n++ == Index) return KindAt(i);
  }
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

TFileKindTexts& FileKindTexts() {
  static TFileKindTexts texts;
  return texts;
}

const std::string& ImageInfoText(tImageInfo Info) { return FileKindTexts().ImageInfo.at(size_t(Info)); }

std::string AddAllFilesFilter(std::string_view Filter) {
  std::string patterns;
  size_t i = 0;
  while (i < Filter.size()) {
    if (Filter[i] != '|') {
      ++i;
      continue;
    }
    const size_t close = Filter.find('|', i + 1);
    const size_t end = close == std::string_view::npos ? Filter.size() : close;
    patterns.append(Filter.substr(i + 1, end - i - 1));
    patterns += ';';
    // Past the closing bar and the first character of the next description.
    i = close == std::string_view::npos ? Filter.size() : close + 2;
  }
  const TFileKindTexts& t = FileKindTexts();
  std::string s = t.All + "|" + patterns + "|" + std::string(Filter);
  // A filter handed over without its closing bar would run into "Alle Dateien".
  if (!Filter.empty() && Filter.back() != '|') s += '|';
  return s + t.AllFiles + "|*.*";
}

const std::string& OpenFilter() {
  static const std::string f = FilterOf(ImageKinds + CatalogKinds);
  return f;
}
const std::string& ImageFilter() {
  static const std::string f = FilterOf(ImageKinds);
  return f;
}
const std::string& SaveFilter() {
  static const std::string f = FilterOf(WritableKinds);
  return f;
}
const std::string& CatalogFilter() {
  static const std::string f = FilterOf(CatalogKinds);
  return f;
}
const std::string& SoundFilter() {
  static const std::string f = FilterOf(SoundKinds);
  return f;
}
const std::string& WaveFilter() {
  static const std::string f = FilterOf(WaveKinds);
  return f;
}

int32_t SetCount(tImageInfoset Set) { return Set.Count(); }

tImageInfo SetMemberAt(int32_t N, tImageInfoset Set) {
  for (int i = 0, n = 0; i < kImageInfoCount; ++i) {
    const auto m = static_cast<tImageInfo>(i);
    if (!Set.Contains(m)) continue;
    if (n++ == N) return m;
  }
  throw EListError("List index out of bounds (" + std::to_string(N) + ")");
}

std::string JoinBarList(const TBarList& Texts) {
  std::string s;
  for (const std::string& t : Texts) s += t + "|";
  return s;
}

void SplitBarList(std::string_view Text, TBarList& Texts) {
  size_t p = 0;
  for (std::string& t : Texts) {
    const size_t bar = Text.find('|', p);
    if (bar == std::string_view::npos) return;
    t = std::string(Text.substr(p, bar - p));
    p = bar + 1;
  }
}

std::vector<std::string> WritableFormatShortNames() {
  std::vector<std::string> v;
  for (int i = 0; i < kFileFormatCount; ++i)
    if (WritableKinds.Contains(KindAt(i))) v.push_back(FileKindShortName(KindAt(i)));
  return v;
}

std::vector<std::string> SortKeyTexts() {
  const TFileKindTexts& t = FileKindTexts();
  std::vector<std::string> v(t.SortKeys.begin(), t.SortKeys.end());
  v.insert(v.end(), t.ImageInfo.begin(), t.ImageInfo.end());
  return v;
}

}  // namespace kv
