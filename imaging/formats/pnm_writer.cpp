// PNM writer: P4, P5 or P6 with the comment list in the header.
#include <cstring>
#include <string>
#include <vector>

#include "imaging/formats/pnm.h"
#include "imaging/formats/write_helpers.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// "\n# text" for each comment; a line break inside one would end the comment
// early and put its rest into the header, so it becomes a blank.
std::string CommentBlock(const TStringList& Comments) {
  std::string out;
  for (int32_t i = 0; i < Comments.Count(); ++i) {
    std::string c = Comments.Strings(i);
    for (char& ch : c)
      if (ch == '\n' || ch == '\r') ch = ' ';
    out += "\n# " + c;
  }
  if (!out.empty()) out += '\n';
  return out;
}

}  // namespace

void WritePnmStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    if (Bitmap.Empty()) {
      Progress.Fail();
      return;
    }
    const bool bits =
        (Params.BitsPerSample == 1 && Params.SamplesPerPixel == 1) || Bitmap.PixelFormat() == pf1bit;
    const bool gray = !bits && Params.BitsPerSample == 8 && Params.SamplesPerPixel == 1;
    std::unique_ptr<TBitmap> holder;
    TBGRPixel c0, c1;
    const TBitmap& src = bits ? OneBitPicture(Bitmap, holder, c0, c1) : TrueColourPicture(Bitmap, holder);
    const int32_t w = src.Width(), h = src.Height();

    std::string head = bits ? "P4 " : gray ? "P5 " : "P6 ";
    head += CommentBlock(Params.PnmComments) + IntToStr(w) + " " + IntToStr(h) + (bits ? "\n" : " 255\n");
    if (!CheckedWrite(S, head.data(), head.size(), Progress)) return;

    const size_t n = bits ? (size_t(w) + 7) / 8 : size_t(w) * (gray ? 1 : 3);
    std::vector<uint8_t> out(n);
    Progress.StartCodec(h);
    for (int32_t y = 0; y < h; ++y) {
      if (Progress.Failed()) return;
      const auto* s = static_cast<const uint8_t*>(src.ScanLine(y));
      if (bits) {
        for (size_t i = 0; i < n; ++i) out[i] = uint8_t(~s[i]);  // a set bit is black in the file
      } else if (gray) {
        for (int32_t x = 0; x < w; ++x, s += 3) out[size_t(x)] = GrayLevel(s[2], s[1], s[0]);
      } else {
        uint8_t* d = out.data();
        for (int32_t x = 0; x < w; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
      }
      if (!CheckedWrite(S, out.data(), n, Progress)) return;
      Progress.CodecRow();
    }
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
