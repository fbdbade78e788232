#include "imaging/model/im_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "platform/rtl/streams.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(VersionTests, DefaultIsModernNT) {
  TOSVersionInfo v;
  ASSERT_TRUE(GetVersionEx(v));
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(v.dwMajorVersion, 10u);
  EXPECT_EQ(v.dwMinorVersion, 0u);
  EXPECT_TRUE(IsWin2000OrLater());
  EXPECT_FALSE(IsWinXP());
}

TEST(VersionTests, RulesOverATableOfVersions) {
  struct Case {
    uint32_t platform, major, minor;
    bool win2000OrLater, winXP;
  };
  const Case cases[] = {
      {VER_PLATFORM_WIN32_NT, 4, 0, false, false},        // NT 4
      {VER_PLATFORM_WIN32_NT, 5, 0, true, false},         // 2000
      {VER_PLATFORM_WIN32_NT, 5, 1, true, true},          // XP
      {VER_PLATFORM_WIN32_NT, 5, 2, true, false},
      {VER_PLATFORM_WIN32_NT, 6, 1, true, false},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, false, false},  // 98
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, true, false},   // Me
      {VER_PLATFORM_WIN32_WINDOWS, 3, 95, false, false},
      {VER_PLATFORM_WIN32s, 5, 1, false, false},
  };
  for (const Case& c : cases) {
    SetGetVersionExFunc([&](TOSVersionInfo& v) {
      v.dwPlatformId = c.platform;
      v.dwMajorVersion = c.major;
      v.dwMinorVersion = c.minor;
      return true;
    });
    EXPECT_EQ(IsWin2000OrLater(), c.win2000OrLater) << c.platform << ' ' << c.major << '.' << c.minor;
    EXPECT_EQ(IsWinXP(), c.winXP) << c.platform << ' ' << c.major << '.' << c.minor;
  }
  SetGetVersionExFunc([](TOSVersionInfo&) { return false; });
  EXPECT_FALSE(IsWin2000OrLater());
  EXPECT_FALSE(IsWinXP());
  SetGetVersionExFunc(nullptr);
  EXPECT_TRUE(IsWin2000OrLater());
}

TEST(BitsAndBytes, Masks) {
  struct Case {
    uint32_t mask;
    int32_t width, top;
  };
  const Case cases[] = {
      {0x07E0, 6, 11}, {0x0400, 1, 10}, {0, 0, -1},         {0x001F, 5, 5},  {0xF800, 5, 16},
      {0x0001, 1, 0},  {0x0005, 1, 3},  {0x80000000u, 1, 31}, {0xFFFFFFFFu, 32, 32}, {0x00FF0000, 8, 24},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MaskBitWidth(c.mask), c.width) << std::hex << c.mask;
    EXPECT_EQ(MaskTopBit(c.mask), c.top) << std::hex << c.mask;
  }
}

TEST(BitsAndBytes, ReverseAndSwap) {
  uint8_t b = 0x01;
  ReverseByteBits(b);
  EXPECT_EQ(b, 0x80);
  b = 0xC5;  // 1100 0101
  ReverseByteBits(b);
  EXPECT_EQ(b, 0xA3);  // 1010 0011
  for (int v = 0; v < 256; ++v) {  // an involution
    uint8_t x = uint8_t(v);
    ReverseByteBits(x);
    ReverseByteBits(x);
    EXPECT_EQ(x, v);
  }
  uint32_t w = 0x00000001;
  ReverseBits32(w);
  EXPECT_EQ(w, 0x80000000u);
  w = 0x12345678;
  ReverseBits32(w);
  EXPECT_EQ(w, 0x1E6A2C48u);
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap32(0x12345678), 0x78563412u);
}

TEST(Powers, IntegerAndRealExponents) {
  EXPECT_EQ(IntPowerOf(2, 0), 1.0);
  EXPECT_EQ(IntPowerOf(2, 10), 1024.0);
  EXPECT_EQ(IntPowerOf(-3, 3), -27.0);
  EXPECT_EQ(IntPowerOf(2, -2), 0.25);
  EXPECT_EQ(IntPowerOf(1, INT32_MIN), 1.0);   // no overflow negating the smallest int
  EXPECT_EQ(IntPowerOf(2, INT32_MIN), 0.0);
  EXPECT_TRUE(std::isinf(IntPowerOf(0, -1)));

  EXPECT_EQ(PowerOf(0, 0), 1.0);
  EXPECT_EQ(PowerOf(0, 5), 1.0);
  EXPECT_EQ(PowerOf(3, 0), 0.0);
  EXPECT_EQ(PowerOf(3, -2), -8.0);            // whole exponent: the integer routine, negative bases work
  EXPECT_DOUBLE_EQ(PowerOf(0.5, 9), 3.0);
  EXPECT_DOUBLE_EQ(PowerOf(1 / 2.4, 0.5), std::pow(0.5, 1 / 2.4));
  EXPECT_DOUBLE_EQ(PowerOf(3e9, 1.0), 1.0);   // whole but beyond int32: the logarithm path
}

TEST(CPUFeatures, MMXOnEveryX86_64) {
#if defined(__x86_64__)
  EXPECT_TRUE(CPUHasMMX());
#else
  CPUHasMMX();
#endif
}

TEST(SafeStreamWrite, FlagsShortWritesAndNeverClears) {
  TMemoryStream m;
  bool error = false;
  SafeStreamWrite(m, error, "abc", 3);
  EXPECT_FALSE(error);
  EXPECT_EQ(m.Size(), 3);

  TFileStream full("/dev/full", fmOpenWrite);
  SafeStreamWrite(full, error, "abc", 3);
  EXPECT_TRUE(error);
  SafeStreamWrite(m, error, "d", 1);  // a later good write keeps the flag
  EXPECT_TRUE(error);
}

TEST(FileSizeByName, SizesAndFailures) {
  const std::string name = test::TempPath("kv_filesize.bin");
  {
    std::ofstream f(name, std::ios::binary);
    f << std::string(12345, 'x');
  }
  EXPECT_EQ(FileSizeByName(name), 12345);
  {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
  }
  EXPECT_EQ(FileSizeByName(name), 0);
  std::remove(name.c_str());
  EXPECT_EQ(FileSizeByName(name), -1);
  EXPECT_EQ(FileSizeByName(test::TempRoot()), -1);

  // Sizes past 4 GiB come back whole (a sparse file takes no disk space).
  const std::string big = test::TempPath("kv_filesize_big.bin");
  {
    TFileStream f(big, fmCreate);
    f.SetSize(int64_t(5) << 30);
  }
  EXPECT_EQ(FileSizeByName(big), int64_t(5) << 30);
  std::remove(big.c_str());

  const std::string fifo = test::TempPath("kv_filesize_fifo");
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(FileSizeByName(fifo), 0);  // answers at once instead of waiting for a writer
  std::remove(fifo.c_str());
}

}  // namespace
}  // namespace kv
