#include "platform/rtl/streams.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>

#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

TEST(MemoryStream, WriteSeekReadAndGaps) {
  TMemoryStream s;
  EXPECT_EQ(s.Write("abcd", 4), 4);
  s.SetPosition(6);
  EXPECT_EQ(s.Write("z", 1), 1);
  EXPECT_EQ(s.Size(), 7);
  s.SetPosition(0);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 7);
  EXPECT_EQ(std::string(buf, 7), std::string("abcd\0\0z", 7));  // the gap reads as zeros
  EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

TEST(FileStream, MissingFileRaisesOpenError) {
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.bin", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.bin", fmCreate), EFCreateError);
}

TEST(FileStream, ShortWriteIsAnError) {
  // /dev/full accepts the open and fails every write, like a full disk.
  TFileStream f("/dev/full", fmOpenWrite);
  EXPECT_EQ(f.Write("abc", 3), 0);
  EXPECT_THROW(f.WriteBuffer("abc", 3), EWriteError);
}

TEST(FileStream, RoundTrip) {
  const std::string name = ::testing::TempDir() + "kv_stream_roundtrip.bin";
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello", 5);
  }
  TMemoryStream m;
  m.LoadFromFile(name);
  ASSERT_EQ(m.Size(), 5);
  EXPECT_EQ(std::string(static_cast<char*>(m.Memory()), 5), "hello");
  std::remove(name.c_str());
}

}  // namespace
}  // namespace kv
