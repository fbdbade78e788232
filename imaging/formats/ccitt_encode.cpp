#include <algorithm>

#include "imaging/formats/ccitt.h"
#include "imaging/formats/ccitt_codes.h"

namespace kv {

namespace {

// First pixel at or after X whose colour is not Colour (1 = black), or Width.
int32_t NextChange(const uint8_t* Row, int32_t X, int32_t Width, int32_t Colour) {
  const uint8_t same = Colour ? 0xFF : 0x00;
  while (X < Width && (X & 7) != 0) {
    if (((Row[X >> 3] >> (7 - (X & 7))) & 1) != Colour) return X;
    ++X;
  }
  while (X < Width && Row[X >> 3] == same) X += 8;
  if (X >= Width) return Width;
  const uint32_t diff = uint32_t(Row[X >> 3] ^ same);
  return std::min(X + __builtin_clz(diff) - 24, Width);
}

// Changing elements of Row (even index: white to black), then three sentinels at Width.
void Changes(const uint8_t* Row, int32_t Width, std::vector<int32_t>& Out) {
  Out.clear();
  int32_t colour = 0;
  for (int32_t x = NextChange(Row, 0, Width, 0); x < Width; x = NextChange(Row, x, Width, colour)) {
    Out.push_back(x);
    colour ^= 1;
  }
  Out.insert(Out.end(), 3, Width);
}

}  // namespace

TCcittEncoder::TCcittEncoder(int32_t Width, int32_t Compression, bool TwoD)
    : FWidth(std::max(Width, 1)), FCompression(Compression), FTwoD(TwoD) {
  FRef.assign(3, FWidth);
}

void TCcittEncoder::PutBits(uint32_t Bits, int32_t Len) {
  FAcc = (FAcc << Len) | Bits;
  FAccBits += Len;
  while (FAccBits >= 8) {
    FAccBits -= 8;
    Out.push_back(uint8_t(FAcc >> FAccBits));
  }
}

void TCcittEncoder::ByteAlign() {
  if (FAccBits > 0) PutBits(0, 8 - FAccBits);
}

void TCcittEncoder::PutRun(int32_t Run, int32_t Colour) {
  const ccitt::TTables& t = ccitt::Tables();
  while (Run > 2560) {
    PutBits(t.Makeup[Colour][40].Bits, t.Makeup[Colour][40].Len);
    Run -= 2560;
  }
  if (Run >= 64) {
    const ccitt::TCode& m = t.Makeup[Colour][Run / 64];
    PutBits(m.Bits, m.Len);
    Run %= 64;
  }
  PutBits(t.Term[Colour][Run].Bits, t.Term[Colour][Run].Len);
}

void TCcittEncoder::OneD() {
  int32_t from = 0;
  int32_t colour = 0;
  for (size_t i = 0; i + 3 < FCur.size(); ++i) {
    PutRun(FCur[i] - from, colour);
    from = FCur[i];
    colour ^= 1;
  }
  PutRun(FWidth - from, colour);
}

void TCcittEncoder::TwoD() {
  const ccitt::TTables& t = ccitt::Tables();
  int32_t a0 = -1;
  int32_t colour = 0;
  size_t ia = 0;  // index of a1 in FCur
  size_t ib = 0;  // index of b1 in FRef
  while (a0 < FWidth) {
    while (FCur[ia] <= a0) ++ia;
    const int32_t a1 = FCur[ia];
    while (ib > 0 && FRef[ib - 1] > a0) --ib;
    while (FRef[ib] <= a0 || int32_t(ib & 1) != colour) ++ib;
    const int32_t b1 = FRef[ib];
    const int32_t b2 = FRef[ib + 1];
    if (b2 < a1) {
      PutBits(t.Pass.Bits, t.Pass.Len);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const ccitt::TCode& v = t.Vertical[a1 - b1 + 3];
      PutBits(v.Bits, v.Len);
      a0 = a1;
      colour ^= 1;
    } else {
      const int32_t a2 = FCur[ia + 1];
      PutBits(t.Horizontal.Bits, t.Horizontal.Len);
      PutRun(a1 - std::max(a0, 0), colour);
      PutRun(a2 - a1, colour ^ 1);
      a0 = a2;
    }
  }
}

void TCcittEncoder::EncodeRow(const uint8_t* Row) {
  Changes(Row, FWidth, FCur);
  if (FCompression == 2) {
    OneD();
    ByteAlign();
  } else if (FCompression == 3) {
    // Every row starts with an end of line, so readers can find the rows;
    // two-dimensional files tag it with the coding of the row.
    PutEol();
    if (FTwoD) {
      PutBits(FFirstRow ? 1 : 0, 1);
      if (FFirstRow) OneD();
      else TwoD();
    } else {
      OneD();
    }
  } else {
    TwoD();
  }
  FFirstRow = false;
  FRef.swap(FCur);
}

void TCcittEncoder::Finish() {
  if (FCompression == 4) {
    PutEol();
    PutEol();
  }
  ByteAlign();
}

}  // namespace kv
