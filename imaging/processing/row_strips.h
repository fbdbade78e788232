// Row strips of the processing kernels: Strip(From, To, Done) works rows
// From..To-1 and calls Done(Y) after each row; OnRow(Y) then runs on the
// calling thread for every row from Y1 up, in order, whichever strip finished it.
#pragma once
#include <algorithm>
#include <cstdint>

namespace kv {

inline int g_TempCap = 0;
// TEMPORARY stand-in: strips of 7 rows, last strip first, all on this thread.
template <typename TStrip, typename TOnRow>
void RunRowStrips(int32_t Y1, int32_t Y2, TStrip&& Strip, TOnRow&& OnRow) {
  if (Y1 >= Y2) return;
  if (g_TempCap == 1) {
    Strip(Y1, Y2, OnRow);
    return;
  }
  const int32_t step = 7;
  int32_t n = (Y2 - Y1 + step - 1) / step;
  auto none = [](int32_t) {};
  for (int32_t s = n - 1; s >= 0; --s) Strip(Y1 + s * step, std::min(Y2, Y1 + (s + 1) * step), none);
  for (int32_t y = Y1; y < Y2; ++y) OnRow(y);
}

}  // namespace kv
