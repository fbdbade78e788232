// The clipboard with registered formats, headless.
#include <gtest/gtest.h>

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/qt_app.h"

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

// Bitmaps go out as DIB bytes and as a plain image for other programs;
// another program's image or BMP file reads back as a DIB.
TEST(Clipboard, PicturesOfOtherPrograms) {
  EnsureQtApplication();
  EXPECT_EQ(ClipboardService(), &Clipboard());
  TBitmap b(3, 2, pf24bit);
  b.SetPixelColor(2, 1, clRed);
  Clipboard().SetBitmap(b);
  const QImage shown = QGuiApplication::clipboard()->image();
  ASSERT_EQ(shown.width(), 3);
  EXPECT_EQ(shown.pixelColor(2, 1), QColor(255, 0, 0));
  const std::vector<uint8_t> dib = Clipboard().GetBuffer(CF_DIB);
  ASSERT_GT(dib.size(), 40u);
  EXPECT_EQ(dib[0], 40);  // a packed DIB: the info header first

  QImage img(4, 3, QImage::Format_RGB32);
  img.fill(QColor(0, 0, 255));
  img.setPixelColor(3, 0, QColor(0, 255, 0));
  QGuiApplication::clipboard()->setImage(img);
  ASSERT_TRUE(Clipboard().HasFormat(CF_DIB));
  TBitmap back;
  ASSERT_TRUE(Clipboard().GetBitmap(back));
  ASSERT_EQ(back.Width(), 4);
  EXPECT_EQ(back.GetPixelColor(3, 0), clLime);
  EXPECT_EQ(back.GetPixelColor(0, 2), clBlue);

  // A BMP file, run-length rows and all, is a DIB behind its 14-byte file header.
  TBitmap eight(5, 2, pf8bit);
  TMemoryStream s;
  eight.SaveToStream(s);
  auto* data = new QMimeData;
  data->setData("image/bmp", QByteArray(static_cast<const char*>(s.Memory()), qsizetype(s.Size())));
  QGuiApplication::clipboard()->setMimeData(data);
  const std::vector<uint8_t> fromFile = Clipboard().GetBuffer(CF_DIB);
  ASSERT_EQ(fromFile.size(), size_t(s.Size() - 14));
  EXPECT_EQ(fromFile[0], 40);

  // Pixels that stand apart from the colour table: the gap is left out.
  TBitmap two(2, 1, pf24bit);
  two.SetPixelColor(1, 0, clRed);
  TMemoryStream t;
  two.SaveToStream(t);
  std::vector<uint8_t> gap(static_cast<const uint8_t*>(t.Memory()), static_cast<const uint8_t*>(t.Memory()) + t.Size());
  gap.insert(gap.begin() + 54, 6, 0xEE);
  gap[2] = uint8_t(gap.size());
  gap[10] = 54 + 6;
  data = new QMimeData;
  data->setData("image/bmp", QByteArray(reinterpret_cast<const char*>(gap.data()), qsizetype(gap.size())));
  QGuiApplication::clipboard()->setMimeData(data);
  ASSERT_TRUE(Clipboard().GetBitmap(back));
  EXPECT_EQ(back.GetPixelColor(1, 0), clRed);
  EXPECT_EQ(back.GetPixelColor(0, 0), two.GetPixelColor(0, 0));

  Clipboard().Clear();
  EXPECT_FALSE(Clipboard().HasFormat(CF_DIB));
}

}  // namespace
}  // namespace kv
