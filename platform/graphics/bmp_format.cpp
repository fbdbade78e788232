#include "platform/graphics/bmp_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/rtl/streams.h"

namespace kv {

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool ReadAll(TStream& S, void* Buffer, int64_t Count) {
  return Count >= 0 && Count <= INT32_MAX && S.Read(Buffer, int32_t(Count)) == Count;
}

// A longer header than we know: step over the rest without trusting its size
// further than the stream goes.
bool Skip(TStream& S, int64_t Count) {
  const int64_t pos = S.Position();
  if (Count > S.Size() - pos) return false;
  return S.Seek(pos + Count, soBeginning) == pos + Count;
}

bool MakeChannel(uint32_t Mask, int32_t PixelBits, TBmpChannel& C) {
  C = TBmpChannel{};
  if (Mask == 0) return true;
  if (PixelBits < 32 && (Mask >> PixelBits) != 0) return false;
  C.Mask = Mask;
  C.Shift = std::countr_zero(Mask);
  C.Bits = std::popcount(Mask);
  // One run of bits: shifted down, the mask is 2^Bits - 1.
  const uint32_t run = Mask >> C.Shift;
  return (run & (run + 1)) == 0;
}

}  // namespace

TBmpHeaderStatus ReadBmpHeader(TStream& S, TBmpHeader& H) {
  H = TBmpHeader{};
  H.Start = S.Position();
  uint8_t fh[14];
  if (!ReadAll(S, fh, 2)) return bhsNotBmp;
  if (fh[0] != 'B' || fh[1] != 'M') return bhsNotBmp;
  if (!ReadAll(S, fh + 2, 12)) return bhsInvalid;
  H.FileSize = U32(fh + 2);
  H.PixelOffset = U32(fh + 10);
  return ReadBmpInfoHeader(S, H) ? bhsOk : bhsInvalid;
}

bool ReadBmpInfoHeader(TStream& S, TBmpHeader& H) {
  uint8_t ih[64] = {};
  if (!ReadAll(S, ih, 4)) return false;
  H.InfoSize = U32(ih);
  if (H.InfoSize == 12) {
    if (!ReadAll(S, ih + 4, 8)) return false;
    H.Width = U16(ih + 4);
    H.Height = U16(ih + 6);
    H.Planes = U16(ih + 8);
    H.BitCount = U16(ih + 10);
  } else {
    // 16 to 64 bytes: OS/2 and Windows headers share the 40-byte layout, cut or extended.
    if (H.InfoSize < 16 || H.InfoSize > 0x10000) return false;
    const int64_t inHeader = std::min<int64_t>(H.InfoSize, 64);
    if (!ReadAll(S, ih + 4, inHeader - 4)) return false;
    const int32_t rawHeight = int32_t(U32(ih + 8));
    H.Width = int32_t(U32(ih + 4));
    if (rawHeight == INT32_MIN) return false;
    H.TopDown = rawHeight < 0;
    H.Height = H.TopDown ? -rawHeight : rawHeight;
    H.Planes = U16(ih + 12);
    H.BitCount = U16(ih + 14);
    H.Compression = U32(ih + 16);
    H.ImageSize = U32(ih + 20);
    H.XPelsPerMeter = int32_t(U32(ih + 24));
    H.YPelsPerMeter = int32_t(U32(ih + 28));
    H.ClrUsed = U32(ih + 32);
    H.ClrImportant = U32(ih + 36);
    if (H.InfoSize == 64) {
      // The OS/2 header numbers its compressions on its own: 3 is a fax code, not bit fields.
      if (H.Compression == BI_BITFIELDS) H.Compression = 0x100 + BI_BITFIELDS;
    } else if (H.Compression == BI_BITFIELDS || H.Compression == BI_ALPHABITFIELDS) {
      H.HasMasks = true;
      const int32_t count = H.Compression == BI_ALPHABITFIELDS ? 4 : 3;
      if (H.InfoSize >= 52) {
        // Masks stand inside the header; the alpha mask from 56 bytes on.
        for (int i = 0; i < 3; ++i) H.Masks[i] = U32(ih + 40 + 4 * i);
        if (H.InfoSize >= 56) H.Masks[3] = U32(ih + 52);
        else if (count == 4) return false;
      } else {
        uint8_t m[16];
        if (!ReadAll(S, m, 4 * count)) return false;
        for (int i = 0; i < count; ++i) H.Masks[i] = U32(m + 4 * i);
      }
    }
    if (H.InfoSize > 64 && !Skip(S, int64_t(H.InfoSize) - 64)) return false;
  }
  return H.Width > 0 && H.Height > 0;
}

int32_t BmpColourCount(const TBmpHeader& H) {
  if (H.IsCore()) return H.BitCount <= 8 ? 1 << H.BitCount : 0;
  const uint32_t used = H.ClrUsed > 256 ? 0 : H.ClrUsed;
  if (used == 0 && H.BitCount <= 8) return 1 << H.BitCount;
  return int32_t(used);
}

bool ReadBmpColourTable(TStream& S, const TBmpHeader& H, int32_t Count, std::vector<TPaletteEntry>& Palette) {
  Palette.clear();
  const int32_t entry = H.IsCore() ? 3 : 4;
  if (H.PixelOffset != 0 && Count > 0) {
    // Writers that keep the table short say so only through the pixel
    // offset: entries that would overlap the pixels are not the file's colours.
    const int64_t room = H.Start + int64_t(H.PixelOffset) - S.Position();
    Count = int32_t(std::clamp<int64_t>(room / entry, 0, Count));
  }
  if (Count <= 0) return true;
  std::vector<uint8_t> table(size_t(Count) * size_t(entry));
  if (!ReadAll(S, table.data(), int64_t(table.size()))) return false;
  Palette.resize(size_t(Count));
  for (int32_t i = 0; i < Count; ++i) {
    const uint8_t* e = table.data() + size_t(i) * size_t(entry);
    Palette[size_t(i)] = TPaletteEntry{e[2], e[1], e[0], 0};
  }
  return true;
}

bool MakeBmpMasks(const TBmpHeader& H, TBmpMasks& M) {
  const int32_t bits = H.BitCount;
  if (bits != 16 && bits != 32) return false;
  uint32_t r, g, b, a = 0;
  if (H.HasMasks) {
    r = H.Masks[0];
    g = H.Masks[1];
    b = H.Masks[2];
    a = H.Masks[3];
    if (r == 0 || g == 0 || b == 0) return false;
  } else if (bits == 16) {
    r = 0x7C00, g = 0x03E0, b = 0x001F;
  } else {
    r = 0xFF0000, g = 0xFF00, b = 0xFF;
  }
  // Channels that share bits make no colour.
  if ((r & g) || (r & b) || (g & b) || (a & (r | g | b))) return false;
  return MakeChannel(r, bits, M.R) && MakeChannel(g, bits, M.G) && MakeChannel(b, bits, M.B) &&
         MakeChannel(a, bits, M.A);
}

bool BmpFileToDib(const uint8_t* File, size_t Size, std::vector<uint8_t>& Dib) {
  TReadOnlyMemoryStream s(File, int64_t(Size));
  TBmpHeader h;
  if (ReadBmpHeader(s, h) != bhsOk) return false;
  const int64_t tableEnd =
      std::min<int64_t>(s.Position() + int64_t(BmpColourCount(h)) * (h.IsCore() ? 3 : 4), int64_t(Size));
  // A gap between the colour table and the pixels is left out: in a DIB the rows follow the table.
  int64_t pixels = h.PixelOffset == 0 ? tableEnd : int64_t(h.PixelOffset);
  if (pixels < tableEnd || pixels > int64_t(Size)) pixels = tableEnd;
  Dib.assign(File + 14, File + tableEnd);
  Dib.insert(Dib.end(), File + pixels, File + Size);
  return true;
}

bool DibToBmpFile(const uint8_t* Dib, size_t Size, std::vector<uint8_t>& File) {
  TReadOnlyMemoryStream s(Dib, int64_t(Size));
  TBmpHeader h;
  if (!ReadBmpInfoHeader(s, h)) return false;
  const int64_t entry = h.IsCore() ? 3 : 4;
  const int64_t pixels = s.Position() + BmpColourCount(h) * entry;
  if (pixels > int64_t(Size) || int64_t(Size) + 14 > int64_t(UINT32_MAX)) return false;
  File.assign(14, 0);
  File[0] = 'B';
  File[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    File[size_t(2 + i)] = uint8_t((Size + 14) >> (8 * i));
    File[size_t(10 + i)] = uint8_t(uint64_t(pixels + 14) >> (8 * i));
  }
  File.insert(File.end(), Dib, Dib + Size);
  return true;
}

void BmpMaskedRow(const uint8_t* Src, int32_t Width, int32_t BitCount, const TBmpMasks& M, uint8_t* Dst,
                  int32_t DstBytes) {
  const bool alpha = DstBytes == 4;
  if (BitCount == 16) {
    for (int32_t x = 0; x < Width; ++x, Src += 2, Dst += DstBytes) {
      const uint32_t v = U16(Src);
      Dst[0] = M.B.Get(v);
      Dst[1] = M.G.Get(v);
      Dst[2] = M.R.Get(v);
      if (alpha) Dst[3] = M.A.Mask ? M.A.Get(v) : 0;
    }
  } else {
    for (int32_t x = 0; x < Width; ++x, Src += 4, Dst += DstBytes) {
      const uint32_t v = U32(Src);
      Dst[0] = M.B.Get(v);
      Dst[1] = M.G.Get(v);
      Dst[2] = M.R.Get(v);
      if (alpha) Dst[3] = M.A.Mask ? M.A.Get(v) : 0;
    }
  }
}

TBmpRleResult DecodeBmpRle(const uint8_t* Data, int64_t Length, bool Rle4, int32_t Width, int32_t Height,
                           bool TopDown, uint8_t* Indices, const std::function<bool(int32_t)>& OnLine) {
  // Rows are counted from where the file starts (the bottom for a normal file).
  int32_t line = 0;
  int32_t x = 0;
  int64_t p = 0;
  auto rowPtr = [&](int32_t l) { return Indices + int64_t(TopDown ? l : Height - 1 - l) * Width; };
  auto put = [&](uint8_t v) {
    if (x < Width && line < Height) rowPtr(line)[x] = v;
    ++x;
  };
  while (p + 2 <= Length) {
    const uint8_t n = Data[p], c = Data[p + 1];
    p += 2;
    if (n > 0) {
      // A run claims up to 255 pixels; only those inside the row are written.
      const int32_t inRow = line < Height ? std::clamp(Width - x, 0, int32_t(n)) : 0;
      if (!Rle4) {
        if (inRow > 0) std::memset(rowPtr(line) + x, c, size_t(inRow));
      } else {
        uint8_t* row = inRow > 0 ? rowPtr(line) + x : nullptr;
        for (int32_t i = 0; i < inRow; ++i) row[i] = (i & 1) ? (c & 0x0F) : (c >> 4);
      }
      x = std::min(x + n, Width);  // past the row end nothing more is drawn
      continue;
    }
    switch (c) {
      case 0:  // end of line
        x = 0;
        ++line;
        if (OnLine && !OnLine(std::min(line, Height))) return rleStopped;
        if (line >= Height) return rleComplete;
        break;
      case 1:
        return rleComplete;
      case 2: {
        if (p + 2 > Length) return rleDataEnded;
        x = std::min(x + Data[p], Width);
        line += Data[p + 1];
        p += 2;
        if (line >= Height) return rleComplete;  // moved past the last row: nothing more to draw
        break;
      }
      default: {
        const int32_t count = c;
        const int64_t bytes = Rle4 ? (count + 1) / 2 : count;
        const int64_t padded = bytes + (bytes & 1);
        if (p + bytes > Length) return rleDataEnded;
        const uint8_t* lit = Data + p;
        if (!Rle4) {
          for (int32_t i = 0; i < count; ++i) put(lit[i]);
        } else {
          for (int32_t i = 0; i < count; ++i) put((i & 1) ? (lit[i / 2] & 0x0F) : (lit[i / 2] >> 4));
        }
        p += std::min(padded, Length - p);
        x = std::min(x, Width);
        break;
      }
    }
  }
  return rleDataEnded;
}

}  // namespace kv
