// Marks of the way from process start to the first picture on screen, for
// the start-up benchmark. Only a build with benchmarks has them; elsewhere
// every call is empty and costs nothing.
//
// KV_START_MARKS=1 prints "<mark> <ms since process start>" on stderr at each
// mark; KV_EXIT_AT_FIRST_PAINT=1 ends the process right after the first paint
// of an image window, so that a wall-clock timer measures start to picture.
#pragma once

namespace kv {

#ifdef KV_BENCH_HOOKS
void StartMark(const char* What);
// An image window has painted its picture into its buffer (the first time counts).
void FirstPaintMark();
// Called once a paint has reached the window: ends the process when asked to
// and the first picture was in that paint.
void ExitAfterFirstPaint();
#else
inline void StartMark(const char*) {}
inline void FirstPaintMark() {}
inline void ExitAfterFirstPaint() {}
#endif

}  // namespace kv
