// A control's grabbed picture saved in the test output folder, for people to
// look at; the tests themselves check pixels and state.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/ui/input_synth.h"
#include "support/temp_files.h"

namespace kv::test {

inline void SaveShot(const TBitmap& B, const std::string& Name) {
  if (const std::string p = OutputPath(Name); !p.empty()) {
    EXPECT_TRUE(SaveBitmapPng(B, p));
  }
}

}  // namespace kv::test
