// Corrupt BMP files: each is refused with EInvalidGraphic and leaves the
// bitmap it was loaded into as it was. The fixture comments name the fault.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

struct TCorruptBmp {
  const char* Name;
  const char* Fault;
};

const TCorruptBmp kCorrupt[] = {
    {"huge-width.bmp", "2^31-1 pixels of 24 bits: the row length does not fit 32 bits"},
    {"huge-height.bmp", "2^31-1 rows claimed, one present: sizing by the header would take 8 GiB"},
    {"min-height.bmp", "top-down height INT32_MIN has no positive counterpart"},
    {"rows-past-end.bmp", "the last row is cut short"},
    {"palette-past-end.bmp", "256 colours announced, 10 present"},
    {"huge-colour-count.bmp", "a colour count of 2^32-1 must not size the colour table"},
    {"pixels-inside-header.bmp", "the pixel offset points into the info header"},
    {"header-cut-short.bmp", "a 124-byte info header in a file that ends after 40"},
    {"zero-masks.bmp", "bit fields whose red mask is 0"},
};

TEST(BmpCorrupt, RefusedAndBitmapKept) {
  for (const TCorruptBmp& c : kCorrupt) {
    TBitmap b(3, 2, pf8bit);
    b.SetPixelColor(1, 1, clRed);
    const std::vector<TPaletteEntry> palette = b.Palette();
    const std::vector<uint8_t> pixels(b.Bits(), b.Bits() + size_t(b.RowBytes()) * 2);

    EXPECT_THROW(b.LoadFromFile(std::string(KV_FIXTURES_DIR) + "/bmp/" + c.Name), EInvalidGraphic)
        << c.Name << ": " << c.Fault;
    ASSERT_TRUE(b.Width() == 3 && b.Height() == 2 && b.PixelFormat() == pf8bit) << c.Name;
    EXPECT_EQ(b.Palette(), palette) << c.Name;
    EXPECT_EQ(std::memcmp(b.Bits(), pixels.data(), pixels.size()), 0) << c.Name;
  }
}

}  // namespace
}  // namespace kv
