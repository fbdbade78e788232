// PNM reader: header tokens, then text samples (P1-P3) or raw rows (P4-P6).
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/pnm.h"
#include "imaging/formats/stream_reader.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// A token longer than this is no number; the rest of it is skipped, not kept.
constexpr size_t kMaxTokenChars = 64;
// Comment text kept per line; the rest of a longer line is skipped.
constexpr size_t kMaxCommentChars = 65536;
constexpr int32_t kMaxValue = 65535;
// Comment lines kept from one header; a file of nothing but comments must not fill memory.
constexpr int32_t kMaxComments = 4096;

inline bool IsAlnum(int C) { return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }
inline bool IsLineEnd(int C) { return C == '\n' || C == '\r'; }

// Byte source of the public token reader: exactly one byte a read, so that
// the stream stands right after what the token used.
struct TDirectSource {
  TStream& S;
  int Get() {
    uint8_t b;
    return S.Read(&b, 1) == 1 ? b : -1;
  }
};

template <typename TSource>
void NextToken(TSource& Src, std::string& Text) {
  Text.clear();
  int c = Src.Get();
  while (c >= 0 && !IsAlnum(c) && c != '#') c = Src.Get();
  if (c < 0) return;
  if (c == '#') {
    std::string line;
    for (c = Src.Get(); c >= 0 && !IsLineEnd(c); c = Src.Get())
      if (line.size() < kMaxCommentChars) line.push_back(char(c));
    Text = "#" + Trim(line);
    return;
  }
  for (; c >= 0 && IsAlnum(c); c = Src.Get())
    if (Text.size() < kMaxTokenChars) Text.push_back(char(c));
}

// The token as a number; -1 when it is not one (or is absurdly long).
int64_t TokenValue(const std::string& T) {
  if (T.empty() || T.size() > 18) return -1;
  int64_t v = 0;
  for (char c : T) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

struct TPnmHeader {
  int Kind = 0;  // 1..6 for P1..P6, 0 for any other magic
  int64_t Width = -1, Height = -1, MaxValue = -1;
};

// Reads magic, width, height and maximum value; comments go to Comments when given.
template <typename TSource>
void ReadHeader(TSource& Src, TPnmHeader& H, TStringList* Comments, int32_t MaxComments = -1) {
  std::string tok;
  int32_t comments = 0;
  auto next = [&]() {
    for (;;) {
      NextToken(Src, tok);
      if (tok.empty() || tok[0] != '#') return;
      if (Comments && Comments->Count() < kMaxComments) Comments->Add(tok.substr(1));
      if (MaxComments >= 0 && ++comments >= MaxComments) {
        tok.clear();
        return;
      }
    }
  };
  next();
  if (tok.size() == 2 && tok[0] == 'P' && tok[1] >= '1' && tok[1] <= '6') H.Kind = tok[1] - '0';
  if (!H.Kind) return;
  if (H.Kind == 1 || H.Kind == 4) H.MaxValue = 1;
  next();
  H.Width = TokenValue(tok);
  next();
  H.Height = TokenValue(tok);
  if (H.MaxValue < 0) {
    next();
    H.MaxValue = TokenValue(tok);
  }
}

// Sample value to 8 bits: trunc(v / max * 255), samples above the maximum as the maximum.
std::vector<uint8_t> ScaleTable(int64_t MaxValue, size_t Entries) {
  std::vector<uint8_t> t(Entries);
  for (size_t v = 0; v < Entries; ++v) t[v] = uint8_t(int64_t(std::min<int64_t>(int64_t(v), MaxValue)) * 255 / MaxValue);
  return t;
}

// Text sample reader of P2 and P3: decimal numbers between any other bytes,
// comments skipped, held at MaxValue. -1 at the end of the stream; a non-number gives 0.
int64_t NextSample(TStreamReader& R, int64_t MaxValue) {
  int c = R.Get();
  for (;;) {
    while (c >= 0 && !IsAlnum(c) && c != '#') c = R.Get();
    if (c != '#') break;
    while (c >= 0 && !IsLineEnd(c)) c = R.Get();
  }
  if (c < 0) return -1;
  int64_t v = 0;
  bool number = true;
  for (; c >= 0 && IsAlnum(c); c = R.Get()) {
    if (c < '0' || c > '9') number = false;
    else if (v <= kMaxValue) v = v * 10 + (c - '0');
  }
  return number ? std::min<int64_t>(v, MaxValue) : 0;
}

bool DecodePlainBits(TStreamReader& R, TBitmap& B, TProgressRec& Progress) {
  const int32_t w = B.Width();
  // White paper: what a short file does not reach stays white.
  std::memset(B.Bits(), 0xFF, size_t(B.RowBytes()) * size_t(B.Height()));
  for (int32_t y = 0; y < B.Height(); ++y) {
    if (Progress.Failed()) return false;
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    for (int32_t x = 0; x < w;) {
      const int c = R.Get();
      if (c < 0) return true;  // the end of the stream ends the picture
      if (c == '1') row[x >> 3] &= uint8_t(~kBitMask[x & 7]);
      if (c == '0' || c == '1') ++x;
      else if (c == '#')
        for (int d = R.Get(); d >= 0 && !IsLineEnd(d); d = R.Get()) {
        }
    }
    Progress.CodecRow();
  }
  return true;
}

bool DecodePlainSamples(TStreamReader& R, TBitmap& B, int64_t MaxValue, bool Colour, TProgressRec& Progress) {
  const std::vector<uint8_t> scale = ScaleTable(MaxValue, size_t(MaxValue) + 1);
  const int32_t w = B.Width();
  for (int32_t y = 0; y < B.Height(); ++y) {
    if (Progress.Failed()) return false;
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    for (int32_t x = 0; x < w; ++x, row += 3) {
      if (Colour) {
        for (int c = 2; c >= 0; --c) {
          const int64_t v = NextSample(R, MaxValue);
          if (v < 0) return false;
          row[c] = scale[size_t(v)];
        }
      } else {
        const int64_t v = NextSample(R, MaxValue);
        if (v < 0) return false;
        row[0] = row[1] = row[2] = scale[size_t(v)];
      }
    }
    Progress.CodecRow();
  }
  return true;
}

bool DecodeRawBits(TStreamReader& R, TBitmap& B, TProgressRec& Progress) {
  const size_t n = (size_t(B.Width()) + 7) / 8;
  for (int32_t y = 0; y < B.Height(); ++y) {
    if (Progress.Failed()) return false;
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    std::memset(row, 0, size_t(B.RowBytes()));
    if (!R.Read(row, n)) return false;
    for (int32_t i = 0; i < B.RowBytes(); ++i) row[i] = uint8_t(~row[i]);  // a set bit is black in the file
    Progress.CodecRow();
  }
  return true;
}

bool DecodeRawSamples(TStreamReader& R, TBitmap& B, int64_t MaxValue, bool Colour, TProgressRec& Progress) {
  const bool wide = MaxValue > 255;
  const std::vector<uint8_t> table = ScaleTable(MaxValue, wide ? 65536 : 256);
  const uint8_t* const scale = table.data();  // a plain pointer: the row writes cannot move it
  const int32_t w = B.Width();
  const size_t samples = size_t(w) * (Colour ? 3 : 1);
  std::vector<uint8_t> in(samples * (wide ? 2 : 1));
  for (int32_t y = 0; y < B.Height(); ++y) {
    if (Progress.Failed()) return false;
    if (!R.Read(in.data(), in.size())) return false;
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    const uint8_t* s = in.data();
    if (Colour && MaxValue == 255) {
      for (int32_t x = 0; x < w; ++x, s += 3, row += 3) row[0] = s[2], row[1] = s[1], row[2] = s[0];
    } else if (Colour && !wide) {
      for (int32_t x = 0; x < w; ++x, s += 3, row += 3)
        row[0] = scale[s[2]], row[1] = scale[s[1]], row[2] = scale[s[0]];
    } else if (Colour) {
      for (int32_t x = 0; x < w; ++x, s += 6, row += 3) {
        row[2] = scale[size_t(s[0]) << 8 | s[1]];
        row[1] = scale[size_t(s[2]) << 8 | s[3]];
        row[0] = scale[size_t(s[4]) << 8 | s[5]];
      }
    } else if (!wide) {
      for (int32_t x = 0; x < w; ++x, ++s, row += 3) row[0] = row[1] = row[2] = scale[*s];
    } else {
      for (int32_t x = 0; x < w; ++x, s += 2, row += 3) row[0] = row[1] = row[2] = scale[size_t(s[0]) << 8 | s[1]];
    }
    Progress.CodecRow();
  }
  return true;
}

// Least number of bytes the pixel data of a picture can take, so that a
// small file cannot ask for a large bitmap.
int64_t LeastDataBytes(const TPnmHeader& H) {
  const int64_t pixels = H.Width * H.Height;
  switch (H.Kind) {
    case 1:  // a digit a pixel; within that, a P1 whose digits run out just ends early
    case 2: return pixels;
    case 3: return pixels * 3;
    case 4: return (H.Width + 7) / 8 * H.Height;
    default: return pixels * (H.Kind == 6 ? 3 : 1) * (H.MaxValue > 255 ? 2 : 1);
  }
}

}  // namespace

void ReadPnmToken(TStream& S, std::string& Text) {
  TDirectSource src{S};
  NextToken(src, Text);
}

bool IsPnmStream(TStream& S) {
  const int64_t start = S.Position();
  bool result = false;
  try {
    TStreamReader r(S, 1024);
    TPnmHeader h;
    ReadHeader(r, h, nullptr, 500);
    result = h.Kind != 0 && h.Width > 0 && h.Height > 0;
  } catch (...) {
    result = false;
  }
  S.SetPosition(start);
  return result;
}

void ReadPnmStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask*) {
  try {
    TStreamReader r(S, 65536);
    Params.PnmComments.Clear();
    TPnmHeader h;
    ReadHeader(r, h, &Params.PnmComments);
    r.Sync();
    const bool text = h.Kind >= 1 && h.Kind <= 3;
    if (!h.Kind || !CheckImageSize(h.Width, h.Height) || h.MaxValue <= 0 || h.MaxValue > kMaxValue) {
      Progress.Fail();
      return;
    }
    Params.FreeColorMap();
    Params.Width = int32_t(h.Width);
    Params.Height = int32_t(h.Height);
    Params.DpiX = Params.DpiY = IODefaultDpi();
    const bool bits = h.Kind == 1 || h.Kind == 4;
    const bool colour = h.Kind == 3 || h.Kind == 6;
    Params.BitsPerSample = bits ? 1 : 8;
    Params.SamplesPerPixel = colour ? 3 : 1;
    if (ParamsOnly) return;
    if (S.Size() - r.Position() < LeastDataBytes(h)) {
      Progress.Fail();  // truncated: the data cannot fill the picture
      return;
    }
    Bitmap.AllocateForOverwrite(int32_t(h.Width), int32_t(h.Height), bits ? pf1bit : pf24bit);
    if (bits) {
      static const TPaletteEntry kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
      Bitmap.SetPaletteEntries(0, 2, kBlackWhite);
    }
    if (text) std::memset(Bitmap.Bits(), 0, size_t(Bitmap.RowBytes()) * size_t(h.Height));  // rows a short file leaves
    Progress.StartCodec(int32_t(h.Height));
    bool ok;
    if (h.Kind == 1) ok = DecodePlainBits(r, Bitmap, Progress);
    else if (text) ok = DecodePlainSamples(r, Bitmap, h.MaxValue, colour, Progress);
    else if (bits) ok = DecodeRawBits(r, Bitmap, Progress);
    else ok = DecodeRawSamples(r, Bitmap, h.MaxValue, colour, Progress);
    r.Sync();
    if (!ok) Progress.Fail();
    Bitmap.SetModified(true);
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
