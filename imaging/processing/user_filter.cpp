#include "imaging/processing/user_filter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/row_strips.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

void ReadUserFilter(TStream& Stream, TUserFilterRecord& Record) {
  uint8_t bytes[kUserFilterFileSize];
  if (Stream.Read(bytes, kUserFilterFileSize) != kUserFilterFileSize) throw EInOutError("Unerwartetes Dateiende");
  TUserFilterRecord r;
  auto word = [&](int32_t i) { return static_cast<int16_t>(uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1])); };
  for (int32_t i = 0; i < 26; ++i) r.Values[i] = word(i);
  r.Offset = word(26);
  Record = r;
}

void LoadUserFilter(const std::string& FileName, TUserFilterRecord& Record) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const Exception& e) {
    throw EInOutError(e.Message());
  }
  ReadUserFilter(*file, Record);
}

void ApplyUserFilter(TBitmap& Bitmap, const TUserFilterRecord& Record, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                     TProgressRec& Progress) {
  if (Bitmap.PixelFormat() != pf24bit || !ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  // A divisor of 0 counts as 1; no sum (at most 25 * 32768 * 255) can overflow the division.
  const int32_t divisor = Record.Values[25] == 0 ? 1 : Record.Values[25];

  // T[k][v] = coefficient k times v.
  std::vector<int32_t> table(25 * 256);
  for (int32_t k = 0; k < 25; ++k)
    for (int32_t v = 0; v < 256; ++v) table[size_t(k) * 256 + size_t(v)] = Record.Values[k] * v;

  // Byte offsets of the five source columns of each column, held at the edges.
  const int32_t rw = X2 - X1, rh = Y2 - Y1;
  std::vector<int32_t> cols(size_t(rw) * 5);
  for (int32_t x = 0; x < rw; ++x)
    for (int32_t i = 0; i < 5; ++i) cols[size_t(x) * 5 + size_t(i)] = std::clamp(X1 + x + i - 2, 0, w - 1) * 3;

  // Results go to a buffer of the rectangle, so every pixel reads the picture as it was.
  std::vector<uint8_t> result(size_t(rw) * size_t(rh) * 3);
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const uint8_t* rows[5];
      for (int32_t j = 0; j < 5; ++j)
        rows[j] = static_cast<const uint8_t*>(Bitmap.ScanLine(std::clamp(y + j - 2, 0, h - 1)));
      uint8_t* out = &result[size_t(y - Y1) * size_t(rw) * 3];
      for (int32_t x = 0; x < rw; ++x) {
        const int32_t* c = &cols[size_t(x) * 5];
        for (int32_t ch = 0; ch < 3; ++ch) {
          int32_t sum = 0;
          const int32_t* t = table.data();
          for (int32_t j = 0; j < 5; ++j) {
            const uint8_t* row = rows[j] + ch;
            for (int32_t i = 0; i < 5; ++i, t += 256) sum += t[row[c[i]]];
          }
          out[3 * x + ch] = ClampByte(sum / divisor + Record.Offset);
        }
      }
    }
  };
  RunRowStrips(Y1, Y2, int64_t(rw) * 3 * 25, strip, [&](int32_t y) {
    if (Progress.OnProgress)
      Progress.OnProgress(Progress.Sender, static_cast<int32_t>(std::clamp<int64_t>(
                                               Round((y - Y1 + 1) * Progress.per1), INT32_MIN, INT32_MAX)));
  });
  for (int32_t y = Y1; y < Y2; ++y)
    std::copy_n(&result[size_t(y - Y1) * size_t(rw) * 3], size_t(rw) * 3,
                static_cast<uint8_t*>(Bitmap.ScanLine(y)) + size_t(X1) * 3);
}

}  // namespace kv
