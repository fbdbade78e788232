// PCX, TGA and PNM through the I/O component: saved and loaded by file
// extension, found by content in a stream, and PCX inside the 12-byte
// stream header.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "raster_compare.h"

namespace kv::test {
namespace {

class SimpleFormatsIO : public TTempFolderTest {};

TEST_F(SimpleFormatsIO, SaveAndLoadByExtensionAndContent) {
  const auto src = PhotoLike(23, 9);
  for (const char* ext : {".pcx", ".tga", ".ppm"}) {
    SCOPED_TRACE(ext);
    TImagerIO io(nullptr);
    io.AttachBitmap(src.get());
    io.SaveToFileByExtension(Dir + "x" + ext);
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();

    TBitmap back;
    TImagerIO in(nullptr);
    in.AttachBitmap(&back);
    in.LoadFromFileByExtension(Dir + "x" + ext);
    ASSERT_FALSE(in.Aborted()) << in.AbortReason();
    EXPECT_EQ(MaxDiff(back, *src), 0);

    // TGA and PNM are found by their content, PCX by its first bytes.
    TMemoryStream s;
    s.LoadFromFile(Dir + "x" + ext);
    TBitmap found;
    TImagerIO byContent(nullptr);
    byContent.AttachBitmap(&found);
    byContent.LoadFromStream(s);
    ASSERT_FALSE(byContent.Aborted()) << byContent.AbortReason();
    EXPECT_EQ(MaxDiff(found, *src), 0);
  }
}

TEST_F(SimpleFormatsIO, PcxInsideTheStreamHeader) {
  const auto src = PhotoLike(10, 4);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.SetStreamHeaders(true);
  TMemoryStream s;
  io.WritePcxStream(s);
  ASSERT_FALSE(io.Aborted());
  s.WriteBuffer("trailing", 8);
  s.SetPosition(0);
  TBitmap back;
  TImagerIO in(nullptr);
  in.AttachBitmap(&back);
  in.SetStreamHeaders(true);
  in.ReadPcxStream(s);
  ASSERT_FALSE(in.Aborted()) << in.AbortReason();
  EXPECT_EQ(MaxDiff(back, *src), 0);
  EXPECT_EQ(s.Position(), s.Size() - 8);
}

}  // namespace
}  // namespace kv::test
