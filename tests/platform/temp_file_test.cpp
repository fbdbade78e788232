#include "platform/system/temp_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/system/file_mapping.h"

namespace kv {
namespace {

bool Exists(const std::string& Name) {
  struct stat st;
  return ::stat(Name.c_str(), &st) == 0;
}

TEST(TempFile, TempPathOverrideAndDefault) {
  SetTempPathOverride("/some/where");
  EXPECT_EQ(GetTempPath(), "/some/where/");
  SetTempPathOverride("");
  const std::string def = GetTempPath();
  ASSERT_FALSE(def.empty());
  EXPECT_EQ(def.back(), '/');
}

TEST(TempFile, CreatedPrivateWithPrefixAndDeletedOnClose) {
  std::string name;
  {
    TTempFile f;
    ASSERT_TRUE(f.Create("", "imager"));
    name = f.FileName();
    EXPECT_EQ(name.rfind(GetTempPath() + "imager", 0), 0u) << name;
    struct stat st;
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    TTempFile moved(std::move(f));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_TRUE(Exists(name));
  }
  EXPECT_FALSE(Exists(name));

  const std::string plain = GetTempFileName("", "imager");
  ASSERT_FALSE(plain.empty());
  EXPECT_TRUE(Exists(plain));
  ::unlink(plain.c_str());
}

TEST(TempFile, UnusableFolderOrInjectedFailureFails) {
  TTempFile f;
  EXPECT_FALSE(f.Create("/proc/no-such-folder", "imager"));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(GetTempFileName("/proc/no-such-folder", "imager"), "");
  InjectTempFailure(tfCreateFile);
  EXPECT_FALSE(f.Create("", "imager"));
  EXPECT_TRUE(f.Create("", "imager"));  // an injected failure happens once
}

TEST(TempFile, SetSizeReservesBlocksAndShrinks) {
  TTempFile f;
  ASSERT_TRUE(f.Create("", "imager"));
  const int64_t size = 3 * kMapGranularity + 123;
  ASSERT_TRUE(f.SetSize(size));
  EXPECT_EQ(f.GetSize(), size);
  struct stat st;
  ASSERT_EQ(::fstat(f.Handle(), &st), 0);
  EXPECT_GE(int64_t(st.st_blocks) * 512, size);  // allocated, not a sparse hole
  ASSERT_TRUE(f.SetSize(kMapGranularity));
  EXPECT_EQ(f.GetSize(), kMapGranularity);
}

TEST(TempFile, FullDiskFailsAtSetSize) {
  TTempFile f;
  ASSERT_TRUE(f.Create("", "imager"));
  ASSERT_TRUE(f.SetSize(100));
  InjectTempFailure(tfReserveSpace);
  EXPECT_FALSE(f.SetSize(1 << 20));
  EXPECT_EQ(f.GetSize(), 100);

  // A real refusal from the system: a file size limit below the request.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 1 << 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
  const bool grown = f.SetSize(1 << 20);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(grown);
  EXPECT_LE(f.GetSize(), 1 << 16);
}

// Parts beyond what one system call takes, a read that meets the end, and a
// write that the system cuts short and then refuses (a file size limit).
TEST(TempFile, WriteAtAndReadAtCarryOnAndReportFailures) {
  TTempFile f;
  ASSERT_TRUE(f.Create("", "imager"));
  constexpr int32_t kParts = 3000;
  std::vector<uint8_t> data(size_t(kParts) * 7), back(data.size());
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 31 + 1);
  std::vector<iovec> parts(kParts);
  for (int32_t i = 0; i < kParts; ++i) parts[size_t(i)] = iovec{&data[size_t(i) * 7], 7};
  ASSERT_TRUE(f.WriteAt(5, parts.data(), kParts));
  EXPECT_EQ(f.GetSize(), int64_t(data.size()) + 5);
  for (int32_t i = 0; i < kParts; ++i) parts[size_t(i)] = iovec{&back[size_t(i) * 7], 7};
  ASSERT_TRUE(f.ReadAt(5, parts.data(), kParts));
  EXPECT_EQ(back, data);
  iovec tail{back.data(), 10};
  EXPECT_FALSE(f.ReadAt(int64_t(data.size()), &tail, 1));  // 5 bytes left, 10 asked

  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 1 << 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
  std::vector<uint8_t> big(size_t(1) << 17, 0x5A);
  iovec whole{big.data(), big.size()};
  const bool written = f.WriteAt(0, &whole, 1);
  const int error = errno;
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(f.GetSize(), 1 << 16);  // what the limit let through

  iovec one{back.data(), 1};
  InjectTempFailure(tfWrite);
  EXPECT_FALSE(f.WriteAt(0, &one, 1));
  EXPECT_EQ(errno, ENOSPC);
  InjectTempFailure(tfRead);
  EXPECT_FALSE(f.ReadAt(0, &one, 1));
  EXPECT_TRUE(f.ReadAt(0, &one, 1));  // once
  TTempFile closed;
  EXPECT_FALSE(closed.WriteAt(0, &one, 1));
}

TEST(FileMapping, ViewsAtGranularOffsetsShareTheFile) {
  TTempFile f;
  ASSERT_TRUE(f.Create("", "imager"));
  ASSERT_TRUE(f.SetSize(3 * kMapGranularity));
  TFileMapping m;
  ASSERT_TRUE(m.Create(f.Handle()));
  EXPECT_EQ(m.Size(), 3 * kMapGranularity);

  TMappedView a = m.MapViewOfFile(kMapGranularity, 10);
  TMappedView b = m.MapViewOfFile(2 * kMapGranularity, size_t(kMapGranularity));
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  std::memcpy(a.Base(), "row", 3);
  b.Base()[kMapGranularity - 1] = 7;
  char buf[3];
  ASSERT_EQ(::pread(f.Handle(), buf, 3, kMapGranularity), 3);
  EXPECT_EQ(std::memcmp(buf, "row", 3), 0);
  uint8_t last = 0;
  ASSERT_EQ(::pread(f.Handle(), &last, 1, 3 * kMapGranularity - 1), 1);
  EXPECT_EQ(last, 7);

  // Unaligned, past the end, or empty: nothing mapped.
  EXPECT_FALSE(m.MapViewOfFile(4096, 10));
  EXPECT_FALSE(m.MapViewOfFile(2 * kMapGranularity, size_t(kMapGranularity) + 1));
  EXPECT_FALSE(m.MapViewOfFile(4 * kMapGranularity, 1));
  EXPECT_FALSE(m.MapViewOfFile(0, 0));
  // A file shrunk under an open mapping is not mapped past its new end.
  ASSERT_TRUE(f.SetSize(kMapGranularity));
  EXPECT_FALSE(m.MapViewOfFile(kMapGranularity, 1));
  EXPECT_TRUE(m.MapViewOfFile(0, 1));

  InjectTempFailure(tfMapView);
  EXPECT_FALSE(m.MapViewOfFile(0, 1));
  InjectTempFailure(tfCreateMapping);
  TFileMapping m2;
  EXPECT_FALSE(m2.Create(f.Handle()));
}

TEST(FileMapping, EmptyFileHasNoMapping) {
  TTempFile f;
  ASSERT_TRUE(f.Create("", "imager"));
  TFileMapping m;
  EXPECT_FALSE(m.Create(f.Handle()));
  EXPECT_FALSE(m.Create(-1));
}

}  // namespace
}  // namespace kv
