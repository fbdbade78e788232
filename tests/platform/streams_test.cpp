#include "platform/rtl/streams.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include "platform/rtl/exceptions.h"
#include "support/temp_files.h"

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

TEST(MemoryStream, PositionsFromHostileOffsetsFailCleanly) {
  // Offsets read from a file may be anything; none may overflow or write out of bounds.
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(INT64_MAX - 1);
  EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError);
  EXPECT_THROW(s.Seek(10, soCurrent), EStreamError);
  EXPECT_THROW(s.Seek(INT64_MAX, soEnd), EStreamError);
  EXPECT_THROW(s.SetSize(INT64_MAX), EStreamError);
  s.SetPosition(-5);
  char c;
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.Write("x", 1), 0);
  EXPECT_EQ(s.Size(), 3);
  TReadOnlyMemoryStream r("ab", 2);
  EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);  // never a silent no-op
}

TEST(FileStream, MissingFileRaisesOpenError) {
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.bin", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("/nonexistent/dir/x.bin", fmCreate), EFCreateError);
}

// A FIFO or socket named like a picture would hold a reader in open() for as
// long as no writer comes; a device would hand out endless bytes. Reads take
// regular files only, and refuse the others at once.
TEST(FileStream, ReadsRefuseWhatIsNotARegularFile) {
  test::TScratchFolder folder("kv_stream_kinds");
  ASSERT_FALSE(folder.Path().empty());
  const std::string fifo = folder.Path() + "/fifo.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string sock = folder.Path() + "/sock.png";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  for (const std::string& name : {fifo, sock, std::string("/dev/zero"), folder.Path()}) {
    try {
      TFileStream f(name, fmOpenRead | fmShareDenyWrite);
      ADD_FAILURE() << name << " was opened";
    } catch (const EFOpenError& e) {
      EXPECT_NE(e.Message().find(name), std::string::npos) << e.Message();
    }
  }
  EXPECT_THROW(TFileStream(fifo, fmOpenWrite), EFOpenError);  // no reader: refused, not waited for
  ::close(fd);
  // An ordinary file still reads, and blocks as files do.
  const std::string plain = folder.Path() + "/plain.bin";
  test::WriteText(plain, "abc");
  TFileStream f(plain, fmOpenRead);
  char buf[4] = {};
  EXPECT_EQ(f.Read(buf, 4), 3);
}

TEST(FileStream, ShortWriteIsAnError) {
  // /dev/full accepts the open and fails every write, like a full disk.
  TFileStream f("/dev/full", fmOpenWrite);
  EXPECT_EQ(f.Write("abc", 3), 0);
  EXPECT_THROW(f.WriteBuffer("abc", 3), EWriteError);
}

TEST(FileStream, RoundTrip) {
  const std::string name = test::TempPath("kv_stream_roundtrip.bin");
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
