// TGA reader: footer and extension area first, then the header, colour map
// and rows through an 8 KB buffer. Run-length packets may run on into the
// next row, as the format allows.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/stream_reader.h"
#include "imaging/formats/tga.h"
#include "imaging/formats/tga_format.h"

namespace kv {

namespace {

struct TTgaHeader {
  uint8_t IdLength = 0, MapType = 0, ImageType = 0, MapEntryBits = 0, Depth = 0, Descriptor = 0;
  int32_t MapFirst = 0, MapLength = 0, XOrigin = 0, YOrigin = 0, Width = 0, Height = 0;
};

void ParseHeader(const uint8_t* B, TTgaHeader& H) {
  H.IdLength = B[0];
  H.MapType = B[1];
  H.ImageType = B[2];
  H.MapFirst = TgaWord(B + 3);
  H.MapLength = TgaWord(B + 5);
  H.MapEntryBits = B[7];
  H.XOrigin = TgaWord(B + 8);
  H.YOrigin = TgaWord(B + 10);
  H.Width = TgaWord(B + 12);
  H.Height = TgaWord(B + 14);
  H.Depth = B[16];
  H.Descriptor = B[17];
}

bool Accepted(const TTgaHeader& H) {
  const bool type = (H.ImageType >= 1 && H.ImageType <= 3) || (H.ImageType >= 9 && H.ImageType <= 11);
  const bool depth = H.Depth == 1 || H.Depth == 4 || H.Depth == 8 || H.Depth == 16 || H.Depth == 24 || H.Depth == 32;
  return type && depth;
}

// Zero-terminated text of at most N bytes.
std::string Text(const uint8_t* P, size_t N) {
  return std::string(reinterpret_cast<const char*>(P), size_t(std::find(P, P + N, 0) - P));
}

TBGRPixel Colour555(uint32_t W) {
  return TBGRPixel{uint8_t((W & 0x1F) << 3), uint8_t(((W >> 5) & 0x1F) << 3), uint8_t(((W >> 10) & 0x1F) << 3)};
}

// Fields of the extension area, when the footer points at one inside the stream.
void ReadExtension(TStream& S, int64_t Start, int64_t Size, TIOParamsVals& Params) {
  if (Size - Start < kTgaHeaderBytes + kTgaFooterBytes) return;
  uint8_t foot[kTgaFooterBytes];
  S.SetPosition(Size - kTgaFooterBytes);
  if (S.Read(foot, kTgaFooterBytes) != kTgaFooterBytes || std::memcmp(foot + 8, kTgaSignature, 18) != 0) return;
  const int64_t offset = TgaLong(foot);
  if (offset < kTgaHeaderBytes || Start + offset + kTgaExtensionBytes > Size - kTgaFooterBytes) return;
  uint8_t e[kTgaExtensionBytes];
  S.SetPosition(Start + offset);
  if (S.Read(e, kTgaExtensionBytes) != kTgaExtensionBytes) return;
  Params.TgaAuthor = Text(e + 2, 41);
  Params.TgaImageName = Text(e + 379, 41);
  const int month = TgaWord(e + 367), day = TgaWord(e + 369), year = TgaWord(e + 371);
  TDateTime date, time;
  if (month && day && year && TryEncodeDate(year, month, day, date)) {
    if (TryEncodeTime(TgaWord(e + 373), TgaWord(e + 375), TgaWord(e + 377), 0, time)) date += time;
    Params.TgaDate = date;
  }
  Params.TgaBackground = TBGRPixel{e[473], e[472], e[471]};
  const int32_t an = TgaWord(e + 474), ad = TgaWord(e + 476), gn = TgaWord(e + 478), gd = TgaWord(e + 480);
  if (an && ad) Params.TgaAspectRatio = double(an) / ad;
  if (gn && gd) Params.TgaGamma = double(gn) / gd;
}

// State of a run-length packet, kept from one row to the next.
struct TPacket {
  int32_t Left = 0;
  bool Repeat = false;
  uint8_t Value[4] = {};
};

// Units pixel values (Bpp bytes each) of one row in file order.
bool ReadRow(TStreamReader& R, bool Rle, TPacket& P, uint8_t* Out, int32_t Units, int32_t Bpp) {
  if (!Rle) return R.Read(Out, size_t(Units) * size_t(Bpp));
  for (int32_t i = 0; i < Units;) {
    if (P.Left == 0) {
      const int c = R.Get();
      if (c < 0) return false;
      P.Left = (c & 0x7F) + 1;
      P.Repeat = (c & 0x80) != 0;
      if (P.Repeat && !R.Read(P.Value, size_t(Bpp))) return false;
    }
    const int32_t k = std::min(P.Left, Units - i);
    uint8_t* d = Out + size_t(i) * size_t(Bpp);
    if (P.Repeat)
      for (int32_t j = 0; j < k; ++j, d += Bpp) std::memcpy(d, P.Value, size_t(Bpp));
    else if (!R.Read(d, size_t(k) * size_t(Bpp)))
      return false;
    i += k;
    P.Left -= k;
  }
  return true;
}

// File pixel values of one row to a bitmap row (and alpha to AlphaRow when given).
void ConvertRow(const uint8_t* In, int32_t Depth, int32_t Width, const TBGRPixel* Slots, uint8_t* Row,
                uint8_t* AlphaRow) {
  switch (Depth) {
    case 1:
      std::memcpy(Row, In, (size_t(Width) + 7) / 8);
      break;
    case 4:
      for (int32_t x = 0; x < Width; ++x, Row += 3) std::memcpy(Row, &Slots[(In[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F], 3);
      break;
    case 8:
      for (int32_t x = 0; x < Width; ++x, Row += 3) std::memcpy(Row, &Slots[In[x]], 3);
      break;
    case 16:
      for (int32_t x = 0; x < Width; ++x, Row += 3, In += 2) {
        const TBGRPixel c = Colour555(uint32_t(In[0]) | uint32_t(In[1]) << 8);
        Row[0] = c.b, Row[1] = c.g, Row[2] = c.r;
      }
      break;
    case 24:
      std::memcpy(Row, In, size_t(Width) * 3);
      break;
    case 32:
      for (int32_t x = 0; x < Width; ++x, Row += 3, In += 4) {
        Row[0] = In[0], Row[1] = In[1], Row[2] = In[2];
        if (AlphaRow) AlphaRow[x] = In[3];
      }
      break;
    default:
      break;
  }
}

// Right-to-left rows: pixel order reversed in place.
void MirrorRow(uint8_t* Row, int32_t Width, bool OneBit, std::vector<uint8_t>& Scratch) {
  if (OneBit) {
    const size_t n = (size_t(Width) + 7) / 8;
    Scratch.assign(Row, Row + n);
    std::memset(Row, 0, n);
    for (int32_t x = 0; x < Width; ++x)
      if (GetBit(Scratch.data(), Width - 1 - x)) Row[x >> 3] |= kBitMask[x & 7];
    return;
  }
  for (int32_t a = 0, b = Width - 1; a < b; ++a, --b)
    for (int c = 0; c < 3; ++c) std::swap(Row[3 * a + c], Row[3 * b + c]);
}

// The colour slots of indexed pixels: the file's map over a 3-3-2 ramp, or
// a gray ramp when there is no map.
void ReadSlots(TStreamReader& R, const TTgaHeader& H, TBGRPixel* Slots, TIOParamsVals& Params, bool& Ok) {
  Ok = true;
  if (H.MapType == 1) {
    for (int i = 0; i < 256; ++i)
      Slots[i] = TBGRPixel{uint8_t((i & 3) * 64 + 60), uint8_t(((i >> 2) & 7) * 32 + 28), uint8_t((i >> 5) * 32 + 28)};
    const int32_t entryBytes = (H.MapEntryBits + 7) / 8;
    uint8_t e[32];
    for (int32_t i = 0; i < H.MapLength && Ok; ++i) {
      Ok = R.Read(e, size_t(entryBytes));
      const int32_t slot = H.MapFirst + i;
      if (!Ok || slot > 255) continue;  // entries past the slots are skipped
      switch (H.MapEntryBits) {
        case 15: case 16: Slots[slot] = Colour555(uint32_t(e[0]) | uint32_t(e[1]) << 8); break;
        case 24: case 32: Slots[slot] = TBGRPixel{e[0], e[1], e[2]}; break;
        default: break;  // an entry size without a decoding keeps the ramp
      }
    }
    Params.SetColorMap(Slots, std::min(H.MapLength, 256));
    Params.TgaGrayLevel = false;
    return;
  }
  const int32_t step = H.Depth == 4 ? 17 : 1;
  for (int i = 0; i < 256; ++i) {
    const uint8_t v = uint8_t(std::min(i * step, 255));
    Slots[i] = TBGRPixel{v, v, v};
  }
  Params.FreeColorMap();
  if (H.Depth == 8) Params.TgaGrayLevel = true;
}

}  // namespace

bool IsTgaStream(TStream& S) {
  const int64_t start = S.Position();
  bool result = false;
  try {
    uint8_t b[kTgaHeaderBytes];
    if (S.Read(b, kTgaHeaderBytes) == kTgaHeaderBytes) {
      TTgaHeader h;
      ParseHeader(b, h);
      const bool anyMap = b[0] == 'P' && b[1] >= '2' && b[1] <= '6' && (b[2] == ' ' || b[2] == '#' || b[2] == '\n');
      result = Accepted(h) && !anyMap;
    }
  } catch (...) {
    result = false;
  }
  S.SetPosition(start);
  return result;
}

void ReadTgaStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask) {
  try {
    const int64_t start = S.Position();
    const int64_t size = S.Size();
    Params.TgaAuthor.clear();
    Params.TgaImageName.clear();
    Params.TgaDate = Date();
    Params.TgaBackground = TBGRPixel{0, 0, 0};
    Params.TgaAspectRatio = 1.0;
    Params.TgaGamma = 2.2;
    ReadExtension(S, start, size, Params);
    S.SetPosition(start);

    TStreamReader r(S, 8192);
    uint8_t raw[kTgaHeaderBytes];
    TTgaHeader h;
    if (!r.Read(raw, kTgaHeaderBytes) || (ParseHeader(raw, h), !Accepted(h))) {
      Progress.Fail();
      return;
    }
    uint8_t id[256];
    if (!r.Read(id, h.IdLength)) {
      Progress.Fail();
      return;
    }
    Params.TgaDescription = Text(id, h.IdLength);
    Params.Width = h.Width;
    Params.Height = h.Height;
    Params.TgaXPos = h.XOrigin;
    Params.TgaYPos = h.YOrigin;
    TBGRPixel slots[256];
    bool ok;
    ReadSlots(r, h, slots, Params, ok);
    Params.TgaCompressed = h.ImageType >= 9;
    Params.DpiX = Params.DpiY = IODefaultDpi();
    switch (h.Depth) {
      case 1: Params.BitsPerSample = 1, Params.SamplesPerPixel = 1; break;
      case 4: Params.BitsPerSample = 4, Params.SamplesPerPixel = 1; break;
      case 8: Params.BitsPerSample = 8, Params.SamplesPerPixel = 1; break;
      case 16: Params.BitsPerSample = 5, Params.SamplesPerPixel = 3; break;
      case 24: Params.BitsPerSample = 8, Params.SamplesPerPixel = 3; break;
      default: Params.BitsPerSample = 8, Params.SamplesPerPixel = 4; break;
    }
    if (!ok || !CheckImageSize(h.Width, h.Height)) {
      Progress.Fail();
      return;
    }
    if (ParamsOnly) return;

    // Packed depths are read a byte at a time: a byte is the pixel value of a packet.
    const int32_t w = h.Width, height = h.Height;
    const int32_t bpp = h.Depth >= 8 ? h.Depth / 8 : 1;
    const int32_t units = h.Depth == 1 ? (w + 7) / 8 : h.Depth == 4 ? (w + 1) / 2 : w;
    const bool rle = h.ImageType >= 9;
    // What is left must be able to hold the rows (a packet expands at most 128 times).
    const int64_t left = size - r.Position();
    const int64_t rowBytes = int64_t(units) * bpp;
    if (left < (rle ? (rowBytes * height + 127) / 128 : rowBytes * height)) {
      Progress.Fail();
      return;
    }

    const bool oneBit = h.Depth == 1;
    Bitmap.AllocateForOverwrite(w, height, oneBit ? pf1bit : pf24bit);
    if (oneBit) {
      static const TPaletteEntry kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
      Bitmap.SetPaletteEntries(0, 2, kBlackWhite);
    }
    const bool alpha = Mask && h.Depth == 32 && (h.Descriptor & 0x0F) != 0;
    if (alpha) Mask->AllocateBits(w, height, 8);
    const bool topDown = (h.Descriptor & 0x20) != 0;
    const bool mirror = (h.Descriptor & 0x10) != 0;
    std::vector<uint8_t> in(static_cast<size_t>(rowBytes)), scratch;
    TPacket packet;
    Progress.StartCodec(height);
    for (int32_t i = 0; i < height; ++i) {
      if (Progress.Failed()) break;
      const int32_t y = topDown ? i : height - 1 - i;
      auto* row = static_cast<uint8_t*>(Bitmap.ScanLine(y));
      if (!ReadRow(r, rle, packet, in.data(), units, bpp)) {
        // Short data: the rows not read stay black.
        for (int32_t k = i; k < height; ++k)
          std::memset(Bitmap.ScanLine(topDown ? k : height - 1 - k), 0, size_t(Bitmap.RowBytes()));
        Progress.Fail();
        break;
      }
      uint8_t* alphaRow = alpha ? Mask->ScanLine(y) : nullptr;
      ConvertRow(in.data(), h.Depth, w, slots, row, alphaRow);
      if (mirror) {
        MirrorRow(row, w, oneBit, scratch);
        if (alphaRow) std::reverse(alphaRow, alphaRow + w);
      }
      Progress.CodecRow();
    }
    if (alpha) MarkMaskFilled(*Mask);
    r.Sync();
    Bitmap.SetModified(true);
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
