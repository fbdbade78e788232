// The clipboard with registered formats, headless.
#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"
#include "platform/ui/clipboard.h"

namespace kv {
namespace {

TEST(Clipboard, RegisteredFormatsAndBitmapsTravelTogether) {
  const TClipFormat a = RegisterClipboardFormat("Test Format");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("test format"), a);
  EXPECT_NE(RegisterClipboardFormat("Other"), a);
  EXPECT_EQ(GetClipboardFormatName(a), "Test Format");
  EXPECT_EQ(GetClipboardFormatName(5), "");

  TBitmap b(3, 2, pf24bit);
  b.SetPixelColor(2, 1, clRed);
  const uint8_t bytes[3] = {1, 0, 255};
  Clipboard().Open();
  Clipboard().SetBuffer(a, bytes, 3);
  Clipboard().SetBitmap(b);
  Clipboard().Close();
  EXPECT_TRUE(Clipboard().HasFormat(a));
  EXPECT_TRUE(Clipboard().HasFormat(CF_DIB));
  EXPECT_EQ(Clipboard().GetBuffer(a), std::vector<uint8_t>(bytes, bytes + 3));
  TBitmap back;
  ASSERT_TRUE(Clipboard().GetBitmap(back));
  EXPECT_EQ(back.GetPixelColor(2, 1), clRed);

  // Outside Open and Close a new format replaces what was there.
  Clipboard().SetBuffer(RegisterClipboardFormat("Other"), bytes, 1);
  EXPECT_FALSE(Clipboard().HasFormat(a));
  EXPECT_FALSE(Clipboard().GetBitmap(back));
  Clipboard().Clear();
  EXPECT_TRUE(Clipboard().GetBuffer(RegisterClipboardFormat("Other")).empty());
}

}  // namespace
}  // namespace kv
