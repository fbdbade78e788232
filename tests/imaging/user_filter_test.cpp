#include "imaging/processing/user_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::vector<uint8_t> Pixels(const TBitmap& B) {
  std::vector<uint8_t> v;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* r = static_cast<const uint8_t*>(B.ScanLine(y));
    v.insert(v.end(), r, r + size_t(B.Width()) * 3);
  }
  return v;
}

std::unique_ptr<TBitmap> Picture(int32_t w, int32_t h) {
  std::mt19937 rng(uint32_t(w * 31 + h));
  return test::Make24(w, h, [&](int32_t, int32_t) { return TBGRPixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())}; });
}

// The 54 bytes of a file: 27 big-endian words.
std::vector<uint8_t> FileBytes(const std::vector<int16_t>& Kernel, int16_t Divisor, int16_t Offset) {
  std::vector<uint8_t> out;
  auto word = [&](int16_t v) {
    out.push_back(uint8_t(uint16_t(v) >> 8));
    out.push_back(uint8_t(v));
  };
  for (int16_t k : Kernel) word(k);
  word(Divisor);
  word(Offset);
  return out;
}

TUserFilterRecord Record(const std::vector<int16_t>& Kernel, int16_t Divisor, int16_t Offset) {
  const auto bytes = FileBytes(Kernel, Divisor, Offset);
  TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
  TUserFilterRecord r;
  ReadUserFilter(s, r);
  return r;
}

std::vector<int16_t> Centre(int16_t V) {
  std::vector<int16_t> k(25, 0);
  k[12] = V;
  return k;
}

TEST(UserFilter, ReadsBigEndianWordsAndRefusesShortFiles) {
  std::vector<uint8_t> bytes(54, 0);
  bytes[1] = 1;                  // 0x0001: 1, not 256
  bytes[2] = 0xFF, bytes[3] = 0xFE;  // -2
  bytes[50] = 0x01, bytes[51] = 0x00;  // divisor 256
  bytes[52] = 0x80, bytes[53] = 0x00;  // offset -32768
  TReadOnlyMemoryStream s(bytes.data(), 54);
  TUserFilterRecord r;
  ReadUserFilter(s, r);
  EXPECT_EQ(r.Values[0], 1);
  EXPECT_EQ(r.Values[1], -2);
  EXPECT_EQ(r.Values[25], 256);
  EXPECT_EQ(r.Offset, -32768);

  test::TScratchFolder dir("acf");
  const std::string good = dir.Path() + "/sharpen.acf", shortFile = dir.Path() + "/short.acf";
  test::WriteBytes(good, FileBytes(Centre(7), 3, -4));
  test::WriteBytes(shortFile, std::vector<uint8_t>(53, 0));
  TUserFilterRecord loaded;
  LoadUserFilter(good, loaded);
  EXPECT_EQ(loaded.Values[12], 7);
  EXPECT_EQ(loaded.Values[25], 3);
  EXPECT_EQ(loaded.Offset, -4);
  TUserFilterRecord untouched = loaded;
  EXPECT_THROW(LoadUserFilter(shortFile, untouched), EInOutError);
  EXPECT_THROW(LoadUserFilter(dir.Path() + "/missing.acf", untouched), EInOutError);
  EXPECT_EQ(untouched.Values[12], 7);
}

TEST(UserFilter, IdentityKernelAndZeroDivisorLeaveThePicture) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{7, 1}, std::pair{13, 9}}) {
    auto b = Picture(w, h);
    const auto before = Pixels(*b);
    TProgressRec progress;
    ApplyUserFilter(*b, Record(Centre(1), 1, 0), 0, 0, w, h, progress);
    EXPECT_EQ(Pixels(*b), before);
    ApplyUserFilter(*b, Record(Centre(1), 0, 0), -3, -3, w + 9, h + 9, progress);  // 0 counts as 1
    EXPECT_EQ(Pixels(*b), before);
  }
}

// Hand-computed: a 1 x 1 picture is its own neighbourhood, so the sum is the
// kernel's total times the value; division truncates toward zero, then the
// offset, then the limits.
TEST(UserFilter, DividesTowardZeroThenAddsTheOffset) {
  struct TCase {
    int16_t Each, Divisor, Offset;
    uint8_t In, Out;
  };
  // 25 * 1 * 10 = 250; 250 / 7 = 35; ...
  for (const TCase& c : {TCase{1, 7, 0, 10, 35}, TCase{1, 7, 3, 10, 38}, TCase{-1, 7, 100, 10, 65},
                         TCase{-1, -7, 0, 10, 35}, TCase{1, 1, 0, 200, 255}, TCase{-1, 1, 0, 200, 0},
                         TCase{0, 1, 300, 5, 255}, TCase{0, 1, -1, 5, 0}}) {
    auto b = test::Make24(1, 1, [&](int32_t, int32_t) { return test::Gray(c.In); });
    TProgressRec progress;
    ApplyUserFilter(*b, Record(std::vector<int16_t>(25, c.Each), c.Divisor, c.Offset), 0, 0, 1, 1, progress);
    EXPECT_EQ(static_cast<const uint8_t*>(b->ScanLine(0))[1], c.Out) << c.Each << '/' << c.Divisor << '+' << c.Offset;
  }
}

TEST(UserFilter, WorksInTheRectangleReadingAroundItAndReportsRows) {
  auto b = Picture(20, 16);
  TBitmap whole;
  whole.Assign(b.get());
  const auto blur = Record(std::vector<int16_t>(25, 1), 25, 0);
  TProgressRec progress;
  ApplyUserFilter(whole, blur, 0, 0, 20, 16, progress);
  std::vector<int32_t> seen;
  progress.per1 = 100.0 / (9 + 0.5);
  progress.OnProgress = [&](TObject*, int32_t per) { seen.push_back(per); };
  TBitmap part;
  part.Assign(b.get());
  ApplyUserFilter(part, blur, 4, 3, 11, 12, progress);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      const bool inside = x >= 4 && x < 11 && y >= 3 && y < 12;
      const auto* got = static_cast<const uint8_t*>(part.ScanLine(y)) + 3 * x;
      const auto* want = static_cast<const uint8_t*>((inside ? whole : *b).ScanLine(y)) + 3 * x;
      EXPECT_TRUE(std::equal(got, got + 3, want)) << x << ',' << y;
    }
  ASSERT_EQ(seen.size(), 9u);
  EXPECT_EQ(seen[0], 11);   // round(1 * 100 / 9.5)
  EXPECT_EQ(seen[8], 95);
}

// ImageMagick correlates with the same 5 x 5 kernel (not turned around) and
// takes the nearest edge pixel outside the picture.
TEST(UserFilter, MatchesImageMagick) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  auto b = Picture(29, 21);
  test::TScratchFolder dir("acf");
  const std::string in = dir.Path() + "/in.ppm", out = dir.Path() + "/out.ppm";
  test::WritePnm(in, *b);
  const std::vector<std::vector<int16_t>> kernels = {
      {0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0, -1, 5, -1, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0},
      {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, -1},
      {-2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
  for (const auto& k : kernels) {
    std::string spec = "5x5:";
    for (size_t i = 0; i < k.size(); ++i) spec += (i ? "," : "") + std::to_string(k[i]);
    ASSERT_EQ(test::Run("convert " + in + " -morphology Correlate '" + spec + "' " + out), 0);
    TBitmap theirs;
    ASSERT_TRUE(test::ReadPnm(out, theirs));
    TBitmap ours;
    ours.Assign(b.get());
    TProgressRec progress;
    ApplyUserFilter(ours, Record(k, 1, 0), 0, 0, 29, 21, progress);
    EXPECT_EQ(Pixels(ours), Pixels(theirs)) << spec;
  }
}

}  // namespace
}  // namespace kv
