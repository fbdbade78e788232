#include "imaging/model/virtual_dib_list.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// Every byte of every row differs with the seed, so a swapped or shifted row shows.
std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, TPixelFormat F, int Seed) {
  auto b = std::make_unique<TBitmap>(W, H, F);
  const int32_t used = int32_t((int64_t(W) * PixelFormatBits(F) + 7) / 8);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t i = 0; i < used; ++i) row[i] = uint8_t(i * 7 + y * 13 + Seed * 31);
  }
  return b;
}

// Compares the used bytes of every row (the padding of a row is not a pixel).
bool SameRows(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return false;
  const size_t used = size_t((int64_t(A.Width()) * PixelFormatBits(A.PixelFormat()) + 7) / 8);
  for (int32_t y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), used) != 0) return false;
  return true;
}

class VirtualDIBListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FScratch = std::make_unique<test::TScratchFolder>("kv-dibstore-");
    ASSERT_FALSE(FScratch->Path().empty());
    Folder = FScratch->Path();
  }
  void TearDown() override {
    InjectTempFailure(tfNone);
    FScratch.reset();
  }
  int FilesInFolder() const {
    int n = 0;
    if (DIR* d = ::opendir(Folder.c_str())) {
      while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
      ::closedir(d);
    }
    return n;
  }
  std::string Folder;

 private:
  std::unique_ptr<test::TScratchFolder> FScratch;
};

TEST_F(VirtualDIBListTest, ManyImagesComeBackWithTheirPixelKinds) {
  TIMVirtualDIBList store(Folder);
  EXPECT_FALSE(store.GetTempFileName().empty());
  EXPECT_EQ(FilesInFolder(), 0);  // nameless from the start: it cannot outlive the program
  const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit};
  std::vector<std::unique_ptr<TBitmap>> sources;
  std::vector<TIMVirtualImageHandle> handles;
  for (int i = 0; i < 60; ++i) {
    sources.push_back(Picture(1 + i * 7 % 53, 1 + i * 11 % 37, formats[i % 6], i));
    handles.push_back(store.AddBitmap(*sources.back()));
    ASSERT_NE(handles.back(), nullptr) << i;
  }
  EXPECT_LE(store.GetMappedCount(), 10);
  for (int i = 59; i >= 0; --i) {  // backwards: every block is mapped again
    TIMVirtualImageHandle h = handles[size_t(i)];
    const TBitmap& src = *sources[size_t(i)];
    EXPECT_EQ(store.ImageWidth(h), src.Width());
    EXPECT_EQ(store.ImageHeight(h), src.Height());
    EXPECT_EQ(store.ImageBitCount(h), PixelFormatBits(src.PixelFormat()));
    // Resting rows run bottom-up from ImageBits.
    const uint8_t* bits = store.ImageBits(h);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(std::memcmp(bits, src.ScanLine(src.Height() - 1), size_t(src.RowBytes())), 0) << i;
    const TIMDibHeader* hdr = store.ImageHeader(h);
    EXPECT_EQ(hdr->biSize, 40u);
    EXPECT_EQ(hdr->biPlanes, 1);
    EXPECT_EQ(hdr->Colors[1][0], 255);
    TBitmap* lent = store.GetBitmap(h);
    ASSERT_NE(lent, nullptr);
    EXPECT_TRUE(SameRows(*lent, src)) << i;
    // Lent rows are read through the bitmap: bottom row first, stepping upward.
    EXPECT_EQ(store.ImageBits(h), lent->ScanLine(lent->Height() - 1));
    EXPECT_EQ(store.ImageRowStride(h), -int64_t(lent->RowBytes()));
    store.ReleaseBitmap(lent, false);
    EXPECT_FALSE(h->Lent);
  }
  EXPECT_LE(store.GetMappedCount(), 10);
}

// Rows as a device-independent bitmap has them in memory (bottom row first,
// padded to 4 bytes) are stored as they are.
TEST_F(VirtualDIBListTest, RowsOfADibComeBackAsABitmap) {
  TIMVirtualDIBList store(Folder);
  for (auto [w, h] : {std::pair{1, 1}, std::pair{62, 46}, std::pair{641, 3}}) {
    const auto pic = Picture(w, h, pf24bit, w);
    const size_t rowBytes = size_t(BytesPerScanLine(w, 24));
    std::vector<uint8_t> rows(rowBytes * size_t(h));
    for (int32_t y = 0; y < h; ++y) std::memcpy(&rows[rowBytes * size_t(h - 1 - y)], pic->ScanLine(y), rowBytes);
    TIMVirtualImageHandle image = store.AddRows(w, h, 24, rows.data());
    ASSERT_NE(image, nullptr) << w;
    EXPECT_EQ(store.ImageWidth(image), w);
    EXPECT_EQ(store.ImageBitCount(image), 24);
    TBitmap* back = store.GetBitmap(image);
    ASSERT_NE(back, nullptr) << w;
    EXPECT_TRUE(SameRows(*back, *pic)) << w;
    store.ReleaseBitmap(back, false);
  }
  EXPECT_EQ(store.AddRows(0, 5, 24, nullptr), nullptr);
}

TEST_F(VirtualDIBListTest, BlocksAreDataRoundedUpTo64K) {
  EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(100, 100, 24), 65536);  // 30048 bytes
  EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(65488, 1, 8), 65536);   // rows of exactly 65536 - 48
  EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(65489, 1, 8), 131072);  // one more byte
  for (int32_t bad : {0, 2, 7, 12, 33}) EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(10, 10, bad), 0) << bad;
  EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(0, 10, 24), 0);
  EXPECT_EQ(TIMVirtualDIBList::BlockSizeFor(100000, 100000, 24), 0);  // beyond one block's limit

  TIMVirtualDIBList store(Folder);
  EXPECT_EQ(store.AddImage(10, 10, 7), nullptr);
  EXPECT_EQ(store.AddImage(-1, 10, 24), nullptr);
  EXPECT_EQ(store.AddImage(INT32_MAX, INT32_MAX, 32), nullptr);
  TIMVirtualImageHandle a = store.AddImage(65488, 1, 8);
  TIMVirtualImageHandle b = store.AddImage(65489, 1, 8);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Offset, 0);
  EXPECT_EQ(b->Offset, 65536);
  EXPECT_EQ(b->BlockSize, 131072);
  EXPECT_EQ(store.GetFileTop(), 196608);
  EXPECT_GE(store.GetFileSize(), store.GetFileTop());
}

TEST_F(VirtualDIBListTest, LeastRecentlyUsedBlockIsUnmappedFirst) {
  TIMVirtualDIBList store(Folder);
  store.PrepareSpace(8, 8, 20, 24);  // growing the file would unmap every block
  std::vector<TIMVirtualImageHandle> h;
  for (int i = 0; i < 10; ++i) h.push_back(store.AddImage(8, 8, 24));
  EXPECT_EQ(store.GetMappedCount(), 10);
  store.ImageWidth(h[0]);  // h[0] is now the most recently used, h[1] the least
  h.push_back(store.AddImage(8, 8, 24));
  EXPECT_EQ(store.GetMappedCount(), 10);
  EXPECT_TRUE(store.IsMapped(h[0]));
  EXPECT_FALSE(store.IsMapped(h[1]));
  EXPECT_TRUE(store.IsMapped(h[10]));
  EXPECT_EQ(store.ImageWidth(h[1]), 8);  // mapped again on demand
  EXPECT_FALSE(store.IsMapped(h[2]));
  store.SetMaxMapped(3);  // the least recently used go first
  EXPECT_EQ(store.GetMappedCount(), 3);
  EXPECT_TRUE(store.IsMapped(h[1]));
  EXPECT_TRUE(store.IsMapped(h[10]));
  EXPECT_TRUE(store.IsMapped(h[0]));
  EXPECT_FALSE(store.IsMapped(h[9]));
}

TEST_F(VirtualDIBListTest, DeletedBlocksAreReusedFirstFit) {
  TIMVirtualDIBList store(Folder);
  TIMVirtualImageHandle a = store.AddImage(100, 100, 24);
  TIMVirtualImageHandle b = store.AddImage(200, 200, 24);  // 120048 bytes: two blocks
  TIMVirtualImageHandle c = store.AddImage(100, 100, 24);
  ASSERT_TRUE(a && b && c);
  const int64_t bOffset = b->Offset;
  store.Delete(b);
  ASSERT_EQ(store.FreeBlockList().size(), 1u);
  TIMVirtualImageHandle small = store.AddImage(50, 50, 24);  // smaller: takes b's place
  EXPECT_EQ(small->Offset, bOffset);
  EXPECT_TRUE(store.FreeBlockList().empty());
  store.Delete(a);
  const int64_t top = store.GetFileTop();
  TIMVirtualImageHandle big = store.AddImage(300, 300, 24);  // larger than a's block: the end
  EXPECT_EQ(big->Offset, top);
  EXPECT_EQ(store.FreeBlockList().size(), 1u);
  store.Delete(nullptr);  // ignored
  EXPECT_EQ(store.Count(), 3);
}

TEST_F(VirtualDIBListTest, GrowingTheFileKeepsTheFreeList) {
  TIMVirtualDIBList store(Folder);
  TIMVirtualImageHandle a = store.AddImage(100, 100, 24);
  TIMVirtualImageHandle keep = store.AddImage(100, 100, 24);
  const int64_t aOffset = a->Offset;
  store.Delete(a);
  const int64_t before = store.GetFileSize();
  ASSERT_NE(store.AddImage(600, 600, 24), nullptr);  // remaps a larger file
  EXPECT_GT(store.GetFileSize(), before);
  store.PrepareSpace(100, 100, 3, 24);  // remaps again
  TIMVirtualImageHandle again = store.AddImage(100, 100, 24);
  EXPECT_EQ(again->Offset, aOffset);
  EXPECT_EQ(store.ImageWidth(keep), 100);
}

TEST_F(VirtualDIBListTest, PrepareSpaceGrowsOnceForABatch) {
  TIMVirtualDIBList store(Folder);
  store.PrepareSpace(100, 100, 20, 24);
  const int64_t size = store.GetFileSize();
  EXPECT_EQ(size, 65536 + 20 * 65536);
  for (int i = 0; i < 20; ++i) ASSERT_NE(store.AddImage(100, 100, 24), nullptr);
  EXPECT_EQ(store.GetFileSize(), size);
  store.PrepareSpace(100, 100, 0, 24);
  store.PrepareSpace(100, 100, 5, 7);
  EXPECT_EQ(store.GetFileSize(), size);
  EXPECT_EQ(store.ImageWidth(store.Image(19)), 100);
}

TEST_F(VirtualDIBListTest, LentBitmapIsSharedAndWrittenBack) {
  TIMVirtualDIBList store(Folder);
  auto src = Picture(30, 20, pf24bit, 1);
  TIMVirtualImageHandle h = store.AddBitmap(*src);
  TBitmap* first = store.GetBitmap(h);
  TBitmap* second = store.GetBitmap(h);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  static_cast<uint8_t*>(first->ScanLine(0))[0] = 0xAB;
  store.ReleaseBitmap(first, true);
  EXPECT_TRUE(h->Lent);  // one count left
  store.ReleaseBitmap(nullptr, true);
  store.ReleaseBitmapOf(h, false);
  EXPECT_FALSE(h->Lent);
  store.ReleaseBitmapOf(h, true);  // nothing lent: nothing happens
  TBitmap* again = store.GetBitmap(h);
  EXPECT_EQ(static_cast<uint8_t*>(again->ScanLine(0))[0], 0xAB);
  store.ReleaseBitmap(again, false);
}

TEST_F(VirtualDIBListTest, ResizedWriteBackMovesWithoutLeakingSpace) {
  TIMVirtualDIBList store(Folder);
  TIMVirtualImageHandle h = store.AddImage(100, 100, 24);
  TIMVirtualImageHandle other = store.AddImage(10, 10, 1);
  int64_t maxSize = 0;
  for (int round = 0; round < 40; ++round) {
    TBitmap* b = store.GetBitmap(h);
    ASSERT_NE(b, nullptr);
    const int32_t side = round % 2 ? 100 : 300;
    auto pic = Picture(side, side + 1, pf24bit, round);
    b->Assign(pic.get());
    const int64_t oldOffset = h->Offset;
    store.ReleaseBitmap(b, true);
    // The first enlargement moves; later sizes fit the block it has then.
    if (round == 0) EXPECT_NE(h->Offset, oldOffset);
    else EXPECT_EQ(h->Offset, oldOffset) << round;
    const TIMDibHeader* hdr = store.ImageHeader(h);
    EXPECT_EQ(hdr->biWidth, side);
    EXPECT_EQ(hdr->biHeight, side + 1);
    TBitmap* back = store.GetBitmap(h);
    EXPECT_TRUE(SameRows(*back, *pic)) << round;
    store.ReleaseBitmap(back, false);
    if (round == 1) maxSize = store.GetFileSize();
  }
  // The old blocks return to the free list and are used again: no growth.
  EXPECT_EQ(store.GetFileSize(), maxSize);
  EXPECT_EQ(store.ImageBitCount(other), 1);
}

TEST_F(VirtualDIBListTest, DeletingTheLastImageShrinksTheFile) {
  TIMVirtualDIBList store(Folder);
  std::vector<TIMVirtualImageHandle> h;
  for (int i = 0; i < 5; ++i) h.push_back(store.AddImage(200, 200, 24));
  TBitmap* lent = store.GetBitmap(h[0]);
  ASSERT_NE(lent, nullptr);
  EXPECT_GT(store.GetFileSize(), store.GetGrowthStep());
  for (TIMVirtualImageHandle x : h) store.Delete(x);  // frees the lent bitmap too
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.GetFileSize(), store.GetGrowthStep());
  EXPECT_EQ(store.GetFileTop(), 0);
  EXPECT_TRUE(store.FreeBlockList().empty());
  EXPECT_EQ(store.GetMappedCount(), 0);
  ASSERT_NE(store.AddImage(8, 8, 24), nullptr);
  store.Clear();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.AddImage(8, 8, 24)->Offset, 0);  // a new file after Clear
}

TEST_F(VirtualDIBListTest, LargeCountsStayBounded) {
  TIMVirtualDIBList store(Folder);
  store.PrepareSpace(16, 16, 1500, 24);
  auto pic = Picture(16, 16, pf24bit, 3);
  for (int i = 0; i < 1500; ++i) {
    static_cast<uint8_t*>(pic->ScanLine(0))[0] = uint8_t(i);
    ASSERT_NE(store.AddBitmap(*pic), nullptr) << i;
  }
  EXPECT_EQ(store.Count(), 1500);
  EXPECT_LE(store.GetMappedCount(), 10);
  for (int i = 0; i < 1500; i += 97) {
    TBitmap* b = store.GetBitmap(store.Image(i));
    EXPECT_EQ(static_cast<uint8_t*>(b->ScanLine(0))[0], uint8_t(i));
    store.ReleaseBitmap(b, false);
  }
  for (int i = 1499; i >= 0; --i) store.Delete(store.Image(i));
  EXPECT_EQ(store.GetFileSize(), store.GetGrowthStep());
}

TEST_F(VirtualDIBListTest, FailuresLeaveNoImageAndKeepTheOthers) {
  {  // a folder where no file can be made
    TIMVirtualDIBList store("/proc/no-such-folder");
    EXPECT_EQ(store.AddImage(8, 8, 24), nullptr);
    EXPECT_EQ(store.GetBitmap(nullptr), nullptr);
    EXPECT_EQ(store.ImageWidth(nullptr), 0);
    EXPECT_EQ(store.ImageBits(nullptr), nullptr);
    EXPECT_EQ(store.Count(), 0);
  }
  TIMVirtualDIBList store(Folder);
  auto pic = Picture(40, 40, pf24bit, 5);
  TIMVirtualImageHandle kept = store.AddBitmap(*pic);
  ASSERT_NE(kept, nullptr);
  const int64_t size = store.GetFileSize(), top = store.GetFileTop();

  InjectTempFailure(tfReserveSpace);  // the disk is full when the file must grow
  EXPECT_EQ(store.AddImage(400, 400, 24), nullptr);
  EXPECT_EQ(store.GetFileSize(), size);
  EXPECT_EQ(store.GetFileTop(), top);

  for (int i = 0; i < 12; ++i) store.AddImage(4, 4, 24);  // push kept out of the mapped set
  const int64_t top2 = store.GetFileTop();
  InjectTempFailure(tfMapView);  // the block cannot be mapped
  EXPECT_EQ(store.AddImage(8, 8, 24), nullptr);
  EXPECT_EQ(store.GetFileTop(), top2);  // the block is not kept
  EXPECT_EQ(store.Count(), 13);

  // A write or read of the file that fails: no image is added, none is lent.
  const int64_t top3 = store.GetFileTop();
  InjectTempFailure(tfWrite);
  EXPECT_EQ(store.AddBitmap(*pic), nullptr);
  EXPECT_EQ(store.GetFileTop(), top3);
  EXPECT_EQ(store.Count(), 13);
  InjectTempFailure(tfRead);
  EXPECT_EQ(store.GetBitmap(kept), nullptr);

  // A resized write-back that gets no block writes nothing and keeps the old rows.
  TBitmap* b = store.GetBitmap(kept);
  ASSERT_NE(b, nullptr);
  b->SetSize(2000, 2000);
  InjectTempFailure(tfReserveSpace);
  store.ReleaseBitmap(b, true);
  EXPECT_EQ(store.ImageWidth(kept), 40);
  TBitmap* back = store.GetBitmap(kept);
  EXPECT_TRUE(SameRows(*back, *pic));
  store.ReleaseBitmap(back, false);
}

}  // namespace
}  // namespace kv
