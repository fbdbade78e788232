// The processing kernels' way onto the row strips of ParallelRows: rows Y1 ..
// Y2 - 1 of a picture rather than 0 .. Rows - 1, in the int32_t the kernels count in.
#pragma once
#include <algorithm>
#include <cstdint>

#include "imaging/model/parallel_rows.h"

namespace kv {

// Strip(From, To) computes rows From .. To - 1; strips run at the same time.
// RowDone(Y) follows on the calling thread for every row from Y1 up, in order.
// RowCost: the rough byte operations of one row (see ParallelRows).
template <typename TStrip, typename TRowDone>
void RunRowStrips(int32_t Y1, int32_t Y2, int64_t RowCost, TStrip&& Strip, TRowDone&& RowDone) {
  if (Y1 >= Y2) return;
  ParallelRowsWithProgress(
      int64_t(Y2) - Y1, [&](int64_t First, int64_t Last) { Strip(int32_t(Y1 + First), int32_t(Y1 + Last)); },
      [&](int64_t Row) { RowDone(int32_t(Y1 + Row)); }, TRowsAborted(), std::max<int64_t>(RowCost, 1));
}

// The same without progress: on one thread, a single strip of every row.
template <typename TStrip>
void RunRowStrips(int32_t Y1, int32_t Y2, int64_t RowCost, TStrip&& Strip) {
  if (Y1 >= Y2) return;
  ParallelRows(
      int64_t(Y2) - Y1, [&](int64_t First, int64_t Last) { Strip(int32_t(Y1 + First), int32_t(Y1 + Last)); },
      std::max<int64_t>(RowCost, 1));
}

}  // namespace kv
