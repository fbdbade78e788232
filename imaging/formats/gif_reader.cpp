// GIF reader: walks the blocks of the whole file, decodes the wanted image
// through the decoder hook and counts every image on the way.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/gif.h"
#include "imaging/formats/gif_blocks.h"
#include "imaging/formats/gif_lzw.h"

namespace kv {

namespace {

using namespace gif;

// A colour table as read: entries in file order, red and blue swapped.
bool ReadColorTable(TStream& S, int32_t Entries, std::vector<TBGRPixel>& Table) {
  std::vector<uint8_t> raw(size_t(Entries) * 3);
  if (S.Read(raw.data(), int32_t(raw.size())) != int32_t(raw.size())) return false;
  Table.resize(size_t(Entries));
  for (int32_t i = 0; i < Entries; ++i) {
    const uint8_t* p = &raw[size_t(i) * 3];
    Table[size_t(i)] = TBGRPixel{p[2], p[1], p[0]};
  }
  return true;
}

void Report(TProgressRec& Progress, int32_t Per) {
  if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Per);
}

// Graphic control values of the wanted image.
struct TGraphicControl {
  uint8_t Flags = 0;
  uint16_t Delay = 0;
  uint8_t Transparent = 0;
};

// The extension's first sub-block carries the values when it holds at least
// four bytes; whatever else it has, and any further sub-block, is skipped.
bool ReadGraphicControl(TStream& S, int64_t Size, TGraphicControl& G) {
  uint8_t n;
  if (S.Read(&n, 1) != 1) return false;
  if (n == 0) return true;
  std::vector<uint8_t> b(n);
  if (S.Read(b.data(), n) != n) return false;
  if (n >= 4) {
    G.Flags = b[0];
    G.Delay = Get16(&b[1]);
    G.Transparent = b[3];
  }
  return SkipSubBlocks(S, Size);
}

// Code size byte and sub-blocks of an image that is not decoded.
bool SkipImageData(TStream& S, int64_t Size) {
  uint8_t codeSize;
  if (S.Read(&codeSize, 1) != 1) return false;
  return SkipSubBlocks(S, Size);
}

// The pixels of the decoded indices. Indices past the table take entry 0
// (black when there is no table at all).
void FillBitmap(TBitmap& Bitmap, const uint8_t* Indices, int32_t W, int32_t H,
                const std::vector<TBGRPixel>& Table, bool OneBit) {
  if (OneBit) {
    Bitmap.AllocateForOverwrite(W, H, pf1bit);
    const TPaletteEntry bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    Bitmap.SetPaletteEntries(0, 2, bw);
    for (int32_t y = 0; y < H; ++y) {
      uint8_t* row = static_cast<uint8_t*>(Bitmap.ScanLine(y));
      const uint8_t* src = Indices + int64_t(y) * W;
      std::memset(row, 0, size_t((W + 7) / 8));
      for (int32_t x = 0; x < W; ++x)
        if (src[x] == 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    return;
  }
  // Each pixel is stored as four bytes from a table of packed colours; the
  // fourth lands on the next pixel, which overwrites it, so only the last
  // pixel of a row is stored byte by byte.
  uint32_t lut[256];
  const TBGRPixel fallback = Table.empty() ? TBGRPixel{0, 0, 0} : Table[0];
  for (size_t i = 0; i < 256; ++i) {
    const TBGRPixel p = i < Table.size() ? Table[i] : fallback;
    lut[i] = uint32_t(p.b) | uint32_t(p.g) << 8 | uint32_t(p.r) << 16;
  }
  Bitmap.AllocateForOverwrite(W, H, pf24bit);
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* row = static_cast<uint8_t*>(Bitmap.ScanLine(y));
    const uint8_t* src = Indices + int64_t(y) * W;
    for (int32_t x = 0; x < W - 1; ++x) std::memcpy(row + 3 * x, &lut[src[x]], 4);
    const uint32_t last = lut[src[W - 1]];
    uint8_t* d = row + 3 * (W - 1);
    d[0] = uint8_t(last), d[1] = uint8_t(last >> 8), d[2] = uint8_t(last >> 16);
  }
}

void FillMask(TIMMask& Mask, const uint8_t* Indices, int32_t W, int32_t H, bool Transparent, uint8_t Index) {
  Mask.AllocateBits(W, H, 8);
  Mask.Fill(255);
  if (Transparent)
    for (int32_t y = 0; y < H; ++y) {
      uint8_t* row = Mask.ScanLine(y);
      const uint8_t* src = Indices + int64_t(y) * W;
      for (int32_t x = 0; x < W; ++x)
        if (src[x] == Index) row[x] = 0;
    }
  MarkMaskFilled(Mask);
}

class TGifReader {
 public:
  TGifReader(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
             TIMMask* Mask)
      : FS(S), FParamsOnly(ParamsOnly) {
    Target(Bitmap, Params, Progress, Mask);
  }
  explicit TGifReader(TStream& S) : FS(S), FParamsOnly(false) {}

  // Where the next image goes: the frame reader gives each its own.
  void Target(TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, TIMMask* Mask) {
    FBitmap = &Bitmap;
    FParams = &Params;
    FProgress = &Progress;
    FMask = Mask;
  }

  void Run() {
    Report(*FProgress, 0);
    if (FProgress->Failed()) return;
    if (!Header()) return FProgress->Fail();

    const int32_t wanted = FParams->GifImageIndex;
    int32_t count = 0;
    bool found = false;
    while (!FProgress->Failed()) {
      bool counted = false;
      const int32_t step = Step(count == wanted, counted);
      if (counted) {
        found = found || count == wanted;
        ++count;
      }
      if (step <= 0) break;
    }
    FParams->GifImageCount = count;
    if (FProgress->Failed()) return;
    if (!found && !FParamsOnly) return FProgress->Fail();  // no pixels came out of the file
    Report(*FProgress, 100);
  }

  // Reads the signature, the screen descriptor and the global table; false
  // when the stream holds no GIF there.
  bool Header() {
    FSize = FS.Size();
    if (FS.Read(FHeader, kHeaderSize) != kHeaderSize || std::memcmp(FHeader, "GIF", 3) != 0) return false;
    ApplyHeader();
    if (FHeader[10] & 0x80) {
      if (!ReadColorTable(FS, TableEntries(FHeader[10]), FGlobal)) return false;
      FGlobalBits = (FHeader[10] & 7) + 1;
      ApplyHeader();  // now with the background colour
    }
    return FS.Position() < FSize;
  }

  // The file-wide values into the current record.
  void ApplyHeader() {
    TIOParamsVals& p = *FParams;
    p.GifVersion.assign(reinterpret_cast<const char*>(FHeader), 6);
    p.GifScreenWidth = Get16(FHeader + 6);
    p.GifScreenHeight = Get16(FHeader + 8);
    p.GifAspectRatio = FHeader[12];
    p.DpiX = p.DpiY = IODefaultDpi();
    p.SamplesPerPixel = 1;
    if ((FHeader[10] & 0x80) && FHeader[11] < FGlobal.size()) p.GifBackground = FGlobal[FHeader[11]];
  }

  // Reads the blocks up to and including the next image, decoding it when
  // Wanted. 1: an image was read and more may follow; 0: the file ended;
  // -1: the walk cannot go on (truncated, failed or aborted). Counted: an
  // image is there (its data may be cut short) and, when wanted, decoded.
  int32_t Step(bool Wanted, bool& Counted) {
    for (;;) {
      if (FProgress->Failed()) return -1;
      uint8_t b;
      if (FS.Read(&b, 1) != 1 || b == kTrailer) return 0;  // a missing trailer ends the walk too
      if (b == kExtension) {
        uint8_t label;
        if (FS.Read(&label, 1) != 1) return -1;
        const bool more =
            label == kGraphicControl && Wanted ? ReadGraphicControl(FS, FSize, FControl) : SkipSubBlocks(FS, FSize);
        if (!more) return -1;
      } else if (b == kImage) {
        const bool more = Image(Wanted, Counted);
        FControl = TGraphicControl{};  // each image has its own graphic control
        return more ? 1 : -1;
      }
    }
  }

 private:
  // One image block. False ends the walk (truncated, failed or aborted).
  // Counted: the image is there (its data may be cut short) and, when
  // wanted, decoded.
  bool Image(bool Wanted, bool& Counted) {
    uint8_t d[kDescriptorSize];
    if (FS.Read(d, kDescriptorSize) != kDescriptorSize) return false;
    std::vector<TBGRPixel> local;
    const bool hasLocal = d[8] & 0x80;
    if (hasLocal && !ReadColorTable(FS, TableEntries(d[8]), local)) return false;
    if (!Wanted) {
      Counted = true;
      return SkipImageData(FS, FSize);
    }

    Report(*FProgress, 30);
    if (FProgress->Failed()) return false;
    const std::vector<TBGRPixel>& table = hasLocal ? local : FGlobal;
    const int32_t w = Get16(d + 4), h = Get16(d + 6);
    const bool interlaced = d[8] & 0x40;
    if (FControl.Transparent < table.size()) FParams->GifTransparentColor = table[FControl.Transparent];
    FParams->GifXPos = Get16(d);
    FParams->GifYPos = Get16(d + 2);
    FParams->Width = w;
    FParams->Height = h;
    FParams->GifDelayTime = FControl.Delay;
    FParams->GifTransparent = FControl.Flags & 1;
    FParams->GifInterlaced = interlaced;

    int32_t bits = hasLocal ? (d[8] & 7) + 1 : FGlobalBits;
    std::vector<TBGRPixel> palette = table;
    if (palette.empty()) bits = GrayTableForCodeSize(palette);
    FParams->BitsPerSample = bits;
    FParams->SetColorMap(palette.data(), int32_t(palette.size()));
    if (FParamsOnly) {
      Counted = true;
      return SkipImageData(FS, FSize);
    }

    if (!CheckImageSize(w, h) || int64_t(w) * h > GifLzwMaxPixels(FSize - FS.Position())) {
      FProgress->Fail();
      return false;
    }
    // Zeroed pages straight from the allocator: pixels the data never reaches
    // are 0 without a pass over the whole buffer first.
    const std::unique_ptr<uint8_t, decltype(&std::free)> indices(
        static_cast<uint8_t*>(std::calloc(size_t(w) * size_t(h), 1)), &std::free);
    if (!indices) {
      FProgress->Fail();
      return false;
    }
    const TGifLzwDecompressProc decode = FParams->GifLzwDecompress ? FParams->GifLzwDecompress : GifLzwDecoderHook;
    const int64_t before = FS.Position();
    if (decode) decode(FS, h, w, indices.get(), interlaced);
    if (!decode || FS.Position() == before) {
      FProgress->Fail();
      return false;
    }
    Report(*FProgress, 70);
    if (FProgress->Failed()) return false;

    const bool oneBit = palette.size() == 2 && palette[0] == TBGRPixel{0, 0, 0} &&
                        palette[1] == TBGRPixel{255, 255, 255};
    FillBitmap(*FBitmap, indices.get(), w, h, palette, oneBit);
    if (FMask) FillMask(*FMask, indices.get(), w, h, FParams->GifTransparent, FControl.Transparent);
    Counted = true;
    return true;
  }

  // An image without any colour table: a gray ramp as deep as the LZW code
  // size says (the data's own statement of its depth). The stream stays put.
  int32_t GrayTableForCodeSize(std::vector<TBGRPixel>& Palette) {
    uint8_t codeSize = 8;
    const int64_t at = FS.Position();
    if (FS.Read(&codeSize, 1) != 1) codeSize = 8;
    FS.SetPosition(at);
    const int32_t bits = std::clamp<int32_t>(codeSize, 1, 8);
    const int32_t n = 1 << bits;
    Palette.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t v = uint8_t(i * 255 / (n - 1));
      Palette[size_t(i)] = TBGRPixel{v, v, v};
    }
    return bits;
  }

  TStream& FS;
  TBitmap* FBitmap = nullptr;
  TIOParamsVals* FParams = nullptr;
  TProgressRec* FProgress = nullptr;
  bool FParamsOnly;
  TIMMask* FMask = nullptr;
  int64_t FSize = 0;
  uint8_t FHeader[kHeaderSize] = {};
  std::vector<TBGRPixel> FGlobal;
  int32_t FGlobalBits = 0;
  TGraphicControl FControl;
};

}  // namespace

void ReadGifStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask) {
  try {
    TGifReader(S, Bitmap, Params, Progress, ParamsOnly, Mask).Run();
  } catch (...) {
    Progress.Fail();  // a codec never lets an exception reach its caller
  }
}

struct TGifFrameReader::TState {
  explicit TState(TStream& S) : Reader(S) {}
  TGifReader Reader;
  int32_t Count = 0;
  bool Valid = false;
};

TGifFrameReader::TGifFrameReader(TStream& S) {
  try {
    auto st = std::make_unique<TState>(S);
    TBitmap none;
    TIOParamsVals header(nullptr);
    TProgressRec quiet;
    st->Reader.Target(none, header, quiet, nullptr);
    if (st->Reader.Header()) {
      // Counted as the reader counts, skipping the pixel data.
      const int64_t first = S.Position();
      bool counted = false;
      for (int32_t step = 1; step > 0;) {
        counted = false;
        step = st->Reader.Step(false, counted);
        if (counted) ++st->Count;
      }
      S.SetPosition(first);
      st->Valid = st->Count > 0;
    }
    F = std::move(st);
  } catch (...) {
    F.reset();  // a file that cannot even be walked holds no images
  }
}

TGifFrameReader::~TGifFrameReader() = default;

int32_t TGifFrameReader::ImageCount() const { return F && F->Valid ? F->Count : 0; }

bool TGifFrameReader::ReadNext(TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, TIMMask* Mask) {
  if (!F || !F->Valid) {
    Progress.Fail();
    return false;
  }
  try {
    F->Reader.Target(Bitmap, Params, Progress, Mask);
    F->Reader.ApplyHeader();
    Params.GifImageCount = F->Count;
    bool counted = false;
    if (F->Reader.Step(true, counted) < 0 || !counted) {
      F->Valid = false;  // the walk cannot go on past a broken image
      Progress.Fail();
      return false;
    }
    return !Progress.Failed();
  } catch (...) {
    F->Valid = false;
    Progress.Fail();
    return false;
  }
}

bool ReadGifFile(const std::string& FileName, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                 TIMMask* Mask) {
  bool aborted = false;
  bool* const outer = Progress.Aborted;
  if (!outer) Progress.Aborted = &aborted;
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    ReadGifStream(f, Bitmap, Params, Progress, false, Mask);
  } catch (...) {
    Progress.Fail();
  }
  const bool ok = !Progress.Failed();
  Progress.Aborted = outer;
  return ok;
}

}  // namespace kv
