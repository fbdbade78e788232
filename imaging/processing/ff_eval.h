// Filter Factory formulas, last stage: running a filter. The red, green and
// blue formulas are compiled once per run (tokens, tree, folding, register
// code) and the code then runs over blocks of pixels of a row.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/model/kernel_types.h"
#include "imaging/processing/ff_code.h"
#include "platform/rtl/types.h"

namespace kv {

// The 256 cells of get and put: one set for the process, 0 at start, kept
// between pixels and between runs.
std::array<int32_t, 256>& FFMemory();

// What the code reads besides its registers.
struct TFFRunContext {
  std::vector<const uint8_t*> Rows;  // rows of the source, top first, 24-bit
  int32_t Width = 0;
  int32_t Height = 0;
  bool Scaled = false;  // a preview: src reads the pixel at (round(x * Scale), round(y * Scale))
  double Scale = 1.0;
  int32_t Ctl[8] = {};
  int32_t* Memory = nullptr;  // 256 cells
};

// Runs Code over N pixels whose fixed registers are filled. Register k of pixel
// i is Regs[k * Lanes + i].
void FFExecute(const std::vector<TFFInstr>& Code, int32_t* Regs, int32_t Lanes, int32_t N,
               const TFFRunContext& Ctx);

// Tokenizes and parses one formula: 0 or the 1-based position of the first error.
int32_t FFCheckFormula(std::string_view Formula);

// Runs the formulas (red, green, blue) with these control values: the source
// is a copy of the area, its pixel (x - Rect.Left, y - Rect.Top) gives the
// target pixel (x, y) for every (x, y) of Rect; both bitmaps are 24-bit. Scale
// other than 1 runs the scaled preview. Returns 0, or the error position of the
// first formula that does not compile (nothing is drawn then).
int32_t FFRunFilter(const std::array<std::string, 3>& Formulas, const int32_t* Controls, const TBitmap& Source,
                    TBitmap& Target, TProgressRec& Progress, const TRect& Rect, double Scale = 1.0);

// True when one of the formulas does not parse, or reads control Control, or
// reads a control whose number is not written as a number.
bool FFControlUsed(const std::array<std::string, 3>& Formulas, int32_t Control);

}  // namespace kv
