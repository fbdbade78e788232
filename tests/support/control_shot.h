// A control's rendered picture saved as a PNG in the test output folder, for
// a person to look at; the tests themselves check pixels and state.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "imaging/formats/io_params.h"
#include "imaging/formats/png.h"
#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "support/temp_files.h"

namespace kv::test {

inline void SaveControlShot(const TBitmap& Shot, const std::string& Name) {
  TBitmap rgb;
  rgb.Assign(&Shot);
  rgb.SetPixelFormat(pf24bit);
  TFileStream out(TempPath(Name), fmCreate);
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  WritePngStream(out, rgb, params, progress);
  EXPECT_FALSE(aborted) << Name;
}

}  // namespace kv::test
