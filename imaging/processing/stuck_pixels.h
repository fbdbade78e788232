// Repair of defective sensor pixels: a list of known positions filled from
// their row neighbours, the hot-pixel filter that replaces a pixel unlike
// every pixel of the ring around it, and the search of a dark exposure.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/model/kernel_types.h"

namespace kv {

class TBitmap;

// One "column,row" entry of the list as numbers. False for an entry with an
// empty part; parts that are not numbers read as their leading digits (none: 0).
bool ParseStuckPixelEntry(const std::string& Entry, int32_t& X, int32_t& Y);

// Each listed pixel takes the colour of the nearest pixel of its row that is
// not itself listed, the right one first at equal distance. Positions outside
// the bitmap change nothing. Only pf24bit bitmaps are changed.
void FixStuckPixels(TBitmap& Bitmap, const std::vector<std::string>& Entries);

// Reads Source and writes Target over the area X1..X2-1, Y1..Y2-1: a pixel with
// at most K pixels similar to it (below Tolerance in every channel) on the
// ring of the (2R+1) square around it takes the colour of the last dissimilar
// ring pixel. Source may be Target: the kernel then works from a copy, so a
// pixel already repaired never decides about its neighbour. Progress after
// each row: trunc((row in area + 1) * Factor).
void HotPixelKernel(const TBitmap& Source, TBitmap& Target, int32_t Tolerance, TProgressRec& Progress, double Factor,
                    int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t R, int32_t K);

// The positions ("%d,%d") of every pixel with a channel above Tolerance,
// row by row; stops at MaxPixels and sets TooMany then.
std::vector<std::string> FindDarkFramePixels(const TBitmap& Bitmap, int32_t Tolerance, int32_t MaxPixels,
                                             bool& TooMany);

}  // namespace kv
