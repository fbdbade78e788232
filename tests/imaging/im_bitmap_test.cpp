#include "imaging/model/im_bitmap.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <memory>
#include <optional>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/rtl/exceptions.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// A private temporary folder, so that tests can count the files left in it.
class IMBitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FScratch.emplace("kv-imbitmap-");
    FFolder = FScratch->Path();
    ASSERT_FALSE(FFolder.empty());
    SetTempPathOverride(FFolder);
  }
  void TearDown() override {
    InjectTempFailure(tfNone);
    SetTempPathOverride("");
    FScratch.reset();
  }
  int FilesInFolder() const {
    int n = 0;
    if (DIR* d = ::opendir(FFolder.c_str())) {
      while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
      ::closedir(d);
    }
    return n;
  }
  std::optional<test::TScratchFolder> FScratch;
  std::string FFolder;
};

// Every byte of the picture a function of its position.
std::unique_ptr<TBitmap> Pattern24(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (int32_t y = 0; y < H; ++y) {
    auto* p = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t i = 0; i < W * 3; ++i) p[i] = uint8_t(y * 31 + i * 7 + 1);
  }
  return b;
}

bool SamePixels(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return false;
  const size_t n = size_t(BytesPerScanLine(A.Width(), PixelFormatBits(A.PixelFormat())));
  for (int32_t y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), n) != 0) return false;
  return true;
}

TEST_F(IMBitmapTest, RowLengths) {
  struct Case { int32_t w; TIMPixelKind k; int32_t bits, rowBytes; } cases[] = {
      {10, pk24BGR, 24, 32}, {10, pk1Bit, 1, 4}, {33, pk1Bit, 1, 8}, {3, pk8Gray, 8, 4}, {3, pk16Gray, 16, 8}};
  for (const Case& c : cases) {
    TIMBitmap b;
    b.SetStorageKind(skHeap);
    b.Allocate(c.w, 2, c.k);
    EXPECT_EQ(b.BitsPerPixel, c.bits) << c.w << ' ' << int(c.k);
    EXPECT_EQ(b.RowBytes, c.rowBytes) << c.w << ' ' << int(c.k);
  }
  EXPECT_EQ(RowBytes(3, pf15bit), 8);
}

TEST_F(IMBitmapTest, NewBitmapIsEmptyTempFileStorage) {
  TIMBitmap b;
  EXPECT_EQ(b.StorageKind, skTempFile);
  EXPECT_EQ(b.PixelKind, pkNone);
  EXPECT_EQ(b.FileHandle.Handle(), -1);
  EXPECT_FALSE(b.IsCompanion);
  EXPECT_FALSE(b.Full);
  b.Allocate(0, 5, pk24BGR);  // nothing to allocate
  EXPECT_EQ(b.Width, 0);
  EXPECT_EQ(b.Height, 0);
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
  EXPECT_EQ(FilesInFolder(), 0);
  // A size no storage can hold is refused before anything is made.
  EXPECT_THROW(b.Allocate(MaxInt, MaxInt, pk24BGR), EOutOfMemory);
  EXPECT_EQ(b.Width, 0);
  EXPECT_EQ(FilesInFolder(), 0);
}

TEST_F(IMBitmapTest, CopyInAndOutUnderEveryStorageKind) {
  for (TIMStorageKind kind : {skHeap, skTempFile, skBitmap})
    for (auto [w, h] : {std::pair{1, 1}, std::pair{13, 7}}) {
      const auto src = Pattern24(w, h);
      TIMBitmap snap;
      snap.SetStorageKind(kind);
      snap.CopyFromTBitmap(*src);
      EXPECT_EQ(snap.StorageKind, kind);
      EXPECT_EQ(snap.PixelKind, pk24BGR);
      if (kind == skHeap) {  // bottom-up: row 0 is the last row of the block
        EXPECT_EQ(std::memcmp(snap.HeapBits.get() + (h - 1) * snap.RowBytes, src->ScanLine(0), size_t(w * 3)), 0);
      }
      if (kind == skTempFile) {  // top-down: row 0 at file offset 0
        EXPECT_EQ(snap.TempFileName.rfind(FFolder + "/imager", 0), 0u) << snap.TempFileName;
        std::vector<uint8_t> row(size_t(w * 3));
        ASSERT_EQ(::pread(snap.FileHandle.Handle(), row.data(), row.size(), 0), ssize_t(row.size()));
        EXPECT_EQ(std::memcmp(row.data(), src->ScanLine(0), row.size()), 0);
      }
      TBitmap out(2, 2, pf8bit);
      snap.CopyToTBitmap(out);
      EXPECT_TRUE(SamePixels(*src, out)) << int(kind) << ' ' << w;
      snap.FreeImage();
      EXPECT_EQ(FilesInFolder(), 0);  // the file goes with the image
    }
}

// Every pixel format at odd widths, and one picture larger than the buffer
// that converted rows pass through: the temporary file gives back what the
// heap gives back, and the formats kept exactly come back as they were.
TEST_F(IMBitmapTest, EveryPixelFormatRoundTripsThroughTheTemporaryFile) {
  struct Case {
    TPixelFormat Format;
    bool Monochrome;
    int32_t W, H;
    bool Exact;  // RestoreToTBitmap gives the source's bytes back
  } cases[] = {
      {pf1bit, true, 13, 5, true},  {pf1bit, false, 9, 3, true}, {pf4bit, false, 7, 4, true},
      {pf8bit, false, 1, 1, true},  {pf8bit, false, 33, 6, true}, {pf15bit, false, 5, 3, false},
      {pf16bit, false, 1501, 1500, false}, {pf24bit, false, 1, 3, true}, {pf24bit, false, 1001, 9, true},
      {pf32bit, false, 3, 2, false},
  };
  for (const Case& c : cases) {
    TBitmap src(c.W, c.H, c.Format);
    if (c.Format == pf1bit) {
      const TPaletteEntry two[2] = {{0, 0, 0, 0}, {c.Monochrome ? uint8_t(255) : uint8_t(90), 255, 255, 0}};
      src.SetPaletteEntries(0, 2, two);
    }
    ASSERT_EQ(src.Monochrome(), c.Monochrome);
    // The pixels' bits only: the bits and bytes after the last pixel are 0, as a restore leaves them.
    const int64_t pixelBits = int64_t(c.W) * PixelFormatBits(c.Format);
    const size_t used = size_t(pixelBits / 8), rowBytes = size_t(src.RowBytes());
    for (int32_t y = 0; y < c.H; ++y) {
      auto* p = static_cast<uint8_t*>(src.ScanLine(y));
      std::memset(p, 0, rowBytes);
      for (size_t i = 0; i < used; ++i) p[i] = uint8_t(i * 13 + size_t(y) * 7 + 3);
      if (pixelBits % 8) p[used] = uint8_t(0xA5 & (0xFF00 >> (pixelBits % 8)));
      if (c.Format == pf32bit)
        for (size_t i = 3; i < used; i += 4) p[i] = 0;  // the fourth byte is not kept
    }
    TBitmap fromHeap, fromFile;
    for (TIMStorageKind kind : {skHeap, skTempFile}) {
      TIMBitmap snap;
      snap.SetStorageKind(kind);
      snap.CopyFromTBitmap(src);
      ASSERT_EQ(snap.StorageKind, kind);
      snap.RestoreToTBitmap(kind == skHeap ? fromHeap : fromFile);
    }
    const std::string what = std::to_string(int(c.Format)) + " " + std::to_string(c.W);
    EXPECT_EQ(fromFile.PixelFormat(), c.Format) << what;
    EXPECT_TRUE(SamePixels(fromFile, fromHeap)) << what;
    if (c.Exact) {
      EXPECT_TRUE(SamePixels(fromFile, src)) << what;
    }
    EXPECT_EQ(FilesInFolder(), 0) << what;
  }

  // 16-bit gray is written only through rows; the file read back gives the high bytes.
  TIMBitmap gray;
  gray.Allocate(1001, 3000, pk16Gray);
  ASSERT_EQ(gray.StorageKind, skTempFile);
  for (int32_t y = 0; y < gray.Height; ++y)
    for (int32_t x = 0; x < gray.Width; ++x) {
      const uint16_t v = uint16_t(x * 61 + y * 5);
      std::memcpy(gray.ScanLine(y) + 2 * x, &v, 2);
    }
  TBitmap out;
  gray.CopyToTBitmap(out);
  ASSERT_EQ(out.PixelFormat(), pf8bit);
  for (int32_t y : {0, 1, 1500, 2999})
    for (int32_t x : {0, 7, 1000})
      ASSERT_EQ(static_cast<const uint8_t*>(out.ScanLine(y))[x], uint8_t((x * 61 + y * 5) >> 8)) << x << ' ' << y;
}

// A write or read of the temporary file that fails (a full disk, a failing
// device) raises with the system's reason; it never leaves a snapshot that
// looks whole but holds other pixels.
TEST_F(IMBitmapTest, FailingTemporaryFileRaises) {
  const auto src = Pattern24(31, 9);
  TBitmap b4(5, 3, pf4bit);
  for (const TBitmap* from : {src.get(), &b4}) {  // straight rows and converted rows
    TIMBitmap snap;
    InjectTempFailure(tfWrite);
    try {
      snap.CopyFromTBitmap(*from);
      FAIL() << "no exception";
    } catch (const EWriteError& e) {
      EXPECT_NE(e.Message().find("Kein Platz mehr auf dem Datenträger"), std::string::npos) << e.Message();
    }
  }
  TIMBitmap snap;
  snap.CopyFromTBitmap(*src);
  ASSERT_EQ(snap.StorageKind, skTempFile);
  InjectTempFailure(tfRead);
  TBitmap out;
  EXPECT_THROW(snap.CopyToTBitmap(out), EReadError);
  snap.CopyToTBitmap(out);  // the failure was once
  EXPECT_TRUE(SamePixels(out, *src));
}

TEST_F(IMBitmapTest, RowsOfABigFileMapAcrossGranularityBoundaries) {
  // 1000 x 3 bytes a row: rows straddle the 64 KiB view boundaries.
  const auto src = Pattern24(1000, 70);
  TIMBitmap snap;
  snap.CopyFromTBitmap(*src);
  ASSERT_EQ(snap.StorageKind, skTempFile);
  for (int32_t y = 0; y < 70; ++y)
    ASSERT_EQ(std::memcmp(snap.ScanLine(y), src->ScanLine(y), 3000), 0) << y;
  // Larger than one mapped window of rows: any order of rows reads right.
  const auto big = Pattern24(3001, 2000);
  snap.CopyFromTBitmap(*big);
  ASSERT_EQ(snap.StorageKind, skTempFile);
  for (int32_t y : {0, 1999, 1000, 1, 1998, 700, 1400, 0})
    ASSERT_EQ(std::memcmp(snap.ScanLine(y), big->ScanLine(y), 9003), 0) << y;
  TBitmap out;
  snap.CopyToTBitmap(out);
  EXPECT_TRUE(SamePixels(out, *big));
}

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

// Snapshots are many: each holds one descriptor, and none leaves a file
// behind even when the program is killed (the name is gone from the start).
TEST_F(IMBitmapTest, TemporaryFilesAreNamelessAndHoldOneDescriptor) {
  const int before = OpenDescriptors();
  std::vector<std::unique_ptr<TIMBitmap>> snaps;
  for (int i = 0; i < 20; ++i) {
    snaps.push_back(std::make_unique<TIMBitmap>());
    snaps.back()->CopyFromTBitmap(*Pattern24(9, 4));
    ASSERT_EQ(snaps.back()->StorageKind, skTempFile);
    snaps.back()->ScanLine(3);  // a view mapped too
  }
  EXPECT_EQ(OpenDescriptors() - before, 20);
  EXPECT_EQ(FilesInFolder(), 0);
  TBitmap out;
  snaps.back()->CopyToTBitmap(out);
  EXPECT_TRUE(SamePixels(out, *Pattern24(9, 4)));
  snaps.clear();
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(IMBitmapTest, ConversionsFromTBitmap) {
  TIMBitmap b;
  b.SetStorageKind(skHeap);

  TBitmap b16(2, 1, pf16bit), b15(2, 1, pf15bit);
  auto* p16 = static_cast<uint8_t*>(b16.ScanLine(0));
  p16[0] = 0xFF; p16[1] = 0xFF;   // 0xFFFF
  p16[2] = 0x1F; p16[3] = 0xF8;   // 0xF81F: red and blue full
  b.CopyFromTBitmap(b16);
  EXPECT_EQ(b.PixelKind, pk24BGR);
  EXPECT_EQ(reinterpret_cast<TBGRPixel*>(b.ScanLine(0))[0], (TBGRPixel{248, 252, 248}));
  EXPECT_EQ(reinterpret_cast<TBGRPixel*>(b.ScanLine(0))[1], (TBGRPixel{248, 0, 248}));
  auto* p15 = static_cast<uint8_t*>(b15.ScanLine(0));
  p15[0] = 0xFF; p15[1] = 0x7F;   // 0x7FFF
  p15[2] = 0xE0; p15[3] = 0x03;   // 0x03E0: green only
  b.CopyFromTBitmap(b15);
  EXPECT_EQ(reinterpret_cast<TBGRPixel*>(b.ScanLine(0))[0], (TBGRPixel{248, 248, 248}));
  EXPECT_EQ(reinterpret_cast<TBGRPixel*>(b.ScanLine(0))[1], (TBGRPixel{0, 248, 0}));

  TBitmap b4(3, 1, pf4bit);
  static_cast<uint8_t*>(b4.ScanLine(0))[0] = 0x12;
  static_cast<uint8_t*>(b4.ScanLine(0))[1] = 0xF0;
  b.CopyFromTBitmap(b4);
  EXPECT_EQ(b.PixelKind, pk8Indexed);
  EXPECT_EQ(b.PaletteCount, 256);
  EXPECT_EQ(b.ScanLine(0)[0], 1);
  EXPECT_EQ(b.ScanLine(0)[1], 2);
  EXPECT_EQ(b.ScanLine(0)[2], 15);
  TPaletteEntry e9;
  b4.GetPaletteEntries(9, 1, &e9);
  EXPECT_EQ(b.Palette[9], (TBGRPixel{e9.peBlue, e9.peGreen, e9.peRed}));
  EXPECT_EQ(b.Palette[16], (TBGRPixel{0, 0, 0}));  // beyond the source's 16 entries

  TBitmap b32(2, 1, pf32bit);
  const uint8_t px32[8] = {1, 2, 3, 99, 4, 5, 6, 99};
  std::memcpy(b32.ScanLine(0), px32, 8);
  b.CopyFromTBitmap(b32);
  const uint8_t want[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(std::memcmp(b.ScanLine(0), want, 6), 0);

  // 1 bit with a colour palette: one byte a pixel, the two entries kept.
  TBitmap b1(10, 1, pf1bit);
  const TPaletteEntry two[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  b1.SetPaletteEntries(0, 2, two);
  ASSERT_FALSE(b1.Monochrome());
  static_cast<uint8_t*>(b1.ScanLine(0))[0] = 0xA0;
  static_cast<uint8_t*>(b1.ScanLine(0))[1] = 0x40;
  b.CopyFromTBitmap(b1);
  EXPECT_EQ(b.PixelKind, pk8Indexed);
  const uint8_t bits[10] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(b.ScanLine(0), bits, 10), 0);
  EXPECT_EQ(b.Palette[1], (TBGRPixel{60, 50, 40}));

  // Monochrome: 1-bit rows as they are, and back to a monochrome bitmap.
  b1.SetMonochrome(true);
  b.CopyFromTBitmap(b1);
  EXPECT_EQ(b.PixelKind, pk1Bit);
  TBitmap back;
  b.CopyToTBitmap(back);
  EXPECT_TRUE(back.Monochrome());
  EXPECT_TRUE(SamePixels(b1, back));
}

TEST_F(IMBitmapTest, IndexedAndGrayToTBitmap) {
  TIMBitmap b;
  b.SetStorageKind(skHeap);
  b.Allocate(3, 2, pk8Indexed);
  b.Palette[7] = TBGRPixel{1, 2, 3};
  b.ScanLine(1)[2] = 7;
  TBitmap out;
  b.CopyToTBitmap(out);
  EXPECT_EQ(out.PixelFormat(), pf8bit);
  EXPECT_EQ(out.GetPixelColor(2, 1), TColor(RGB(3, 2, 1)));

  b.Allocate(3, 1, pk16Gray);
  const uint16_t gray[3] = {0x12FF, 0xAB00, 0xFFFF};
  std::memcpy(b.ScanLine(0), gray, 6);
  b.CopyToTBitmap(out);
  EXPECT_EQ(out.PixelFormat(), pf8bit);
  const auto* r = static_cast<const uint8_t*>(out.ScanLine(0));
  EXPECT_EQ(r[0], 0x12);
  EXPECT_EQ(r[1], 0xAB);
  EXPECT_EQ(r[2], 0xFF);
  EXPECT_EQ(out.GetPixelColor(1, 0), TColor(RGB(0xAB, 0xAB, 0xAB)));  // gray ramp

  // Moving 16-bit gray into bitmap storage keeps the high bytes.
  b.SetStorageKind(skBitmap);
  EXPECT_EQ(b.PixelKind, pk8Gray);
  EXPECT_EQ(b.RowBytes, 4);
  EXPECT_EQ(b.ScanLine(0)[1], 0xAB);
  EXPECT_EQ(b.ScanLine(0)[2], 0xFF);
}

TEST_F(IMBitmapTest, SixteenBitGrayInBitmapStorageIsEightBit) {
  TIMBitmap b;
  b.SetStorageKind(skBitmap);
  b.Allocate(5, 3, pk16Gray);
  EXPECT_EQ(b.PixelKind, pk8Gray);
  EXPECT_EQ(b.BitsPerPixel, 8);
  EXPECT_EQ(b.RowBytes, 8);
  ASSERT_NE(b.HiddenBitmap, nullptr);
  EXPECT_EQ(b.HiddenBitmap->PixelFormat(), pf8bit);
}

TEST_F(IMBitmapTest, CompanionPlaneFollowsStorageKind) {
  TIMBitmap b;
  b.SetStorageKind(skHeap);
  b.CopyFromTBitmap(*Pattern24(9, 4));
  EXPECT_FALSE(b.HasCompanion());
  TIMBitmap* alpha = b.CompanionPlane();
  ASSERT_NE(alpha, nullptr);
  EXPECT_TRUE(b.HasCompanion());
  EXPECT_TRUE(alpha->IsCompanion);
  EXPECT_EQ(alpha->PixelKind, pk8Gray);
  EXPECT_EQ(alpha->StorageKind, skHeap);
  EXPECT_EQ(alpha->CompanionPlane(), nullptr);  // never one of its own
  alpha->ScanLine(3)[8] = 200;
  alpha->Full = true;

  for (TIMStorageKind kind : {skTempFile, skBitmap, skHeap}) {
    b.SetStorageKind(kind);
    ASSERT_TRUE(b.HasCompanion()) << int(kind);
    alpha = b.CompanionPlane();
    EXPECT_EQ(alpha->StorageKind, kind);
    EXPECT_TRUE(alpha->IsCompanion);
    EXPECT_TRUE(alpha->Full);
    EXPECT_EQ(alpha->ScanLine(3)[8], 200);
    TBitmap out;
    b.CopyToTBitmap(out);
    EXPECT_TRUE(SamePixels(out, *Pattern24(9, 4))) << int(kind);
  }
  b.FreeImage();
  EXPECT_FALSE(b.HasCompanion());
}

TEST_F(IMBitmapTest, PaletteSurvivesStorageChanges) {
  TIMBitmap b;
  b.Allocate(4, 2, pk8Indexed);
  b.Palette[3] = TBGRPixel{9, 8, 7};
  b.ScanLine(0)[0] = 3;
  b.SetStorageKind(skBitmap);
  EXPECT_EQ(b.Palette[3], (TBGRPixel{9, 8, 7}));
  TPaletteEntry e;
  b.HiddenBitmap->GetPaletteEntries(3, 1, &e);
  EXPECT_EQ(e, (TPaletteEntry{7, 8, 9, 0}));
  b.SetStorageKind(skHeap);
  EXPECT_EQ(b.ScanLine(0)[0], 3);
  EXPECT_EQ(b.Palette[3], (TBGRPixel{9, 8, 7}));
}

TEST_F(IMBitmapTest, UnusableTempStorageFallsBackToHeap) {
  struct Case { const char* what; TTempFailure failure; bool badFolder; } cases[] = {
      {"folder", tfNone, true},
      {"create", tfCreateFile, false},
      {"full disk", tfReserveSpace, false},
      {"mapping", tfCreateMapping, false},
  };
  for (const Case& c : cases) {
    SetTempPathOverride(c.badFolder ? "/proc/no-such-folder" : FFolder);
    InjectTempFailure(c.failure);
    TIMBitmap b;
    b.CopyFromTBitmap(*Pattern24(7, 3));
    EXPECT_EQ(b.StorageKind, skHeap) << c.what;
    EXPECT_FALSE(b.FileHandle.IsOpen()) << c.what;
    EXPECT_EQ(b.FileHandle.Handle(), -1) << c.what;
    EXPECT_EQ(FilesInFolder(), 0) << c.what;  // a created file is deleted
    TBitmap out;
    b.CopyToTBitmap(out);
    EXPECT_TRUE(SamePixels(out, *Pattern24(7, 3))) << c.what;
    b.Allocate(2, 2, pk8Gray);
    EXPECT_EQ(b.StorageKind, skHeap) << c.what;  // for good
  }
}

TEST_F(IMBitmapTest, RowThatCannotBeMappedRaises) {
  TIMBitmap b;
  b.Allocate(10, 10, pk8Gray);
  ASSERT_EQ(b.StorageKind, skTempFile);
  InjectTempFailure(tfMapView);
  try {
    b.ScanLine(4);
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_NE(e.Message().find("Zeile 4"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(b.MappedRow);
  EXPECT_NE(b.ScanLine(4), nullptr);  // the next mapping works again
  EXPECT_THROW(b.ScanLine(10), EInvalidGraphicOperation);
}

TEST_F(IMBitmapTest, MaskExchange) {
  TIMMask sel;
  sel.AllocateBits(37, 5, 1);
  sel.SetPixel(36, 4, 1);
  sel.SetPixel(0, 0, 1);
  TIMMask alpha;
  alpha.AllocateBits(3, 2, 8);
  alpha.Fill(255);
  alpha.SetPixel(1, 1, 17);
  alpha.Full = true;

  for (TIMStorageKind kind : {skHeap, skTempFile, skBitmap}) {
    TIMBitmap b;
    b.SetStorageKind(kind);
    b.CopyFromTIMMask(sel);
    EXPECT_EQ(b.PixelKind, pk1Bit);
    EXPECT_FALSE(b.Full);
    TIMMask back;
    b.CopyToTIMMask(back);
    EXPECT_EQ(back.BitsPerPixel, 1);
    EXPECT_NE(back.GetPixel(36, 4), 0);
    EXPECT_NE(back.GetPixel(0, 0), 0);
    EXPECT_EQ(back.GetPixel(1, 0), 0);
    EXPECT_TRUE(back.IsEmpty());  // reallocation empties the box

    b.CompanionPlane()->CopyFromTIMMask(alpha);
    EXPECT_TRUE(b.CompanionPlane()->Full);
    TIMMask alphaBack;
    b.CompanionPlane()->CopyToTIMMask(alphaBack);
    EXPECT_EQ(alphaBack.BitsPerPixel, 8);
    EXPECT_EQ(alphaBack.GetPixel(1, 1), 17);
    EXPECT_EQ(alphaBack.GetPixel(2, 1), 255);
    EXPECT_TRUE(alphaBack.Full);
  }
  TIMBitmap rgb;
  rgb.Allocate(2, 2, pk24BGR);
  TIMMask untouched;
  rgb.CopyToTIMMask(untouched);  // no mask of 24 bits
  EXPECT_EQ(untouched.BitsPerPixel, 0);
}

// Undo keeps many snapshots with their alpha planes: each may hold one
// descriptor, so that a few dozen of them under a low descriptor limit leave
// the rest of the program able to open files.
TEST_F(IMBitmapTest, SnapshotsWithAlphaHoldOneDescriptorEach) {
  auto openCount = [] {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
      while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
      ::closedir(d);
    }
    return n - 1;  // the listing's own
  };
  constexpr int kSnapshots = 40;
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  rlimit low = old;
  low.rlim_cur = rlim_t(openCount() + kSnapshots + 8);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const auto src = Pattern24(40, 30);
  TIMMask alpha;
  alpha.AllocateBits(40, 30, 8);
  alpha.Fill(77);
  {
    std::vector<std::unique_ptr<TIMBitmap>> undo;
    for (int i = 0; i < kSnapshots; ++i) {
      auto snap = std::make_unique<TIMBitmap>();
      snap->CopyFromTBitmap(*src);
      snap->CompanionPlane()->CopyFromTIMMask(alpha);
      undo.push_back(std::move(snap));
    }
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << "an unrelated open failed: " << std::strerror(errno);
    if (fd >= 0) ::close(fd);
    for (const auto& snap : undo) {
      EXPECT_EQ(snap->StorageKind, skTempFile);
      ASSERT_EQ(snap->CompanionPlane()->StorageKind, skTempFile);
      TIMMask back;
      snap->CompanionPlane()->CopyToTIMMask(back);
      ASSERT_EQ(back.Width, 40);
      EXPECT_EQ(back.ScanLine(29)[39], 77);
    }
  }
  ::setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(FilesInFolder(), 0);
}

TEST_F(IMBitmapTest, MoveToHandsOverEverything) {
  TIMBitmap a;
  a.CopyFromTBitmap(*Pattern24(5, 5));
  a.CompanionPlane();
  a.Full = true;
  const std::string file = a.TempFileName;
  TIMBitmap t;
  t.SetStorageKind(skHeap);
  t.Allocate(3, 3, pk8Gray);
  a.MoveTo(t);
  EXPECT_EQ(t.StorageKind, skTempFile);
  EXPECT_EQ(t.TempFileName, file);
  EXPECT_TRUE(t.FileHandle.IsOpen());
  EXPECT_TRUE(t.HasCompanion());
  EXPECT_TRUE(t.Full);
  TBitmap out;
  t.CopyToTBitmap(out);
  EXPECT_TRUE(SamePixels(out, *Pattern24(5, 5)));

  EXPECT_EQ(a.Width, 0);
  EXPECT_EQ(a.PixelKind, pkNone);
  EXPECT_EQ(a.StorageKind, skTempFile);
  EXPECT_FALSE(a.HasCompanion());
  EXPECT_FALSE(a.FileHandle.IsOpen());
  EXPECT_EQ(FilesInFolder(), 0);  // nameless from the start
  t.FreeImage();
  EXPECT_EQ(FilesInFolder(), 0);
}

}  // namespace
}  // namespace kv
