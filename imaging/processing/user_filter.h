// User convolution filters: a 5 x 5 kernel with a divisor and an offset,
// kept in ".acf" files of 27 big-endian 16-bit words.
#pragma once
#include <cstdint>
#include <string>

#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"

namespace kv {

class TStream;

// The kernel (row by row from the top, each row left to right) and the
// divisor in one array, then the offset; machine byte order.
struct TUserFilterRecord {
  int16_t Values[26] = {};  // 0..24 the kernel, 25 the divisor
  int16_t Offset = 0;
};
static_assert(sizeof(TUserFilterRecord) == 54);

constexpr int32_t kUserFilterFileSize = 54;

// Reads one record from the stream's position. EInOutError (the stream is
// left wherever the read stopped) when fewer than 54 bytes remain.
void ReadUserFilter(TStream& Stream, TUserFilterRecord& Record);
// Reads the record at the start of the file. EInOutError when the file cannot
// be opened or is shorter than 54 bytes; Record is then left as it was.
void LoadUserFilter(const std::string& FileName, TUserFilterRecord& Record);

// Convolves the rectangle (right and bottom exclusive, limited to the
// bitmap) of a pf24bit bitmap, each channel on its own: the kernel's weighted
// sum over the 5 x 5 neighbourhood (positions outside the picture take the
// nearest edge pixel) divided by the divisor (0 counts as 1, truncating
// toward zero), plus the offset, limited to 0..255. Every pixel reads the
// picture as it was. After each row: round((y - top + 1) * Progress.per1).
void ApplyUserFilter(TBitmap& Bitmap, const TUserFilterRecord& Record, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                     TProgressRec& Progress);

}  // namespace kv
