// The FTP client against pyftpdlib on loopback.
#include "net/ftp_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/ui/message_window.h"
#include "support/temp_files.h"
#include "net/peer_servers.h"

namespace kv {
namespace {

// Serves Root for user kv/secret with a three-line banner; prints its port.
const char* kFtpServer = R"(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
a = DummyAuthorizer()
a.add_user('kv', 'secret', sys.argv[1], perm='elradfmwMT')
class H(FTPHandler):
    authorizer = a
    banner = 'second banner line'
    def handle(self):
        # A multi-line greeting with a line inside that begins with digits.
        self.push('220-Kavrelin test server\r\n123 not the end\r\n')
        FTPHandler.handle(self)
s = FTPServer(('127.0.0.1', 0), H)
print(s.socket.getsockname()[1], flush=True)
s.serve_forever()
)";

class FtpClientTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    if (!test::HavePythonModule("pyftpdlib")) GTEST_SKIP() << "pyftpdlib not installed";
    Root = Dir + "root";
    std::filesystem::create_directories(Root + "/sub");
    ASSERT_TRUE(Server.Start({test::kSystemPython, "-c", kFtpServer, Root}));
    Port = Server.FirstLine();
    Local = Dir + "frame.bin";
    Data.resize(300000);
    std::mt19937 rng(5);
    for (auto& b : Data) b = uint8_t(rng());
    test::WriteBytes(Local, Data);
  }
  void Configure(TFtpClient& C, bool Passive) {
    C.SetHostName("127.0.0.1");
    C.SetPort(Port);
    C.SetUserName("kv");
    C.SetPassWord("secret");
    C.SetPassive(Passive);
    C.SetTimeout(20);
    C.OnDisplay = [this](TObject*, std::string& M) { Log += M + "\n"; };
  }
  bool Login(TFtpClient& C) { return C.Open() && C.User() && C.Pass(); }

  test::TPeerProcess Server;
  std::string Root, Port, Local, Log;
  std::vector<uint8_t> Data;
};

// The webcam's sequence: upload under a temporary name, then rename over the final one.
TEST_F(FtpClientTest, UploadRenameAndChangeFolderPassiveAndActive) {
  for (bool passive : {true, false}) {
    TFtpClient c(nullptr);
    Configure(c, passive);
    ASSERT_TRUE(Login(c)) << c.ErrorMessage() << Log;
    c.SetHostDirName("sub");
    ASSERT_TRUE(c.Cwd()) << c.ErrorMessage();
    ASSERT_TRUE(c.Pwd());
    EXPECT_EQ(c.DirResult(), "/sub");
    ASSERT_TRUE(c.TypeBinary()) << c.ErrorMessage();
    c.SetHostFileName("frame.binp");
    c.SetLocalFileName(Local);
    ASSERT_TRUE(c.Put()) << passive << ' ' << c.ErrorMessage() << Log;
    EXPECT_EQ(c.ByteCount(), int64_t(Data.size()));
    c.SetLocalFileName("frame.bin");
    ASSERT_TRUE(c.Rename()) << c.ErrorMessage();
    c.SetHostFileName("frame.bin");
    ASSERT_TRUE(c.Size());
    EXPECT_EQ(c.SizeResult(), int64_t(Data.size()));
    ASSERT_TRUE(c.Quit()) << c.ErrorMessage();
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(test::ReadBytes(Root + "/sub/frame.bin"), Data) << passive;
    EXPECT_FALSE(std::filesystem::exists(Root + "/sub/frame.binp"));
    std::filesystem::remove(Root + "/sub/frame.bin");
  }
  // Both banner lines were read as one reply.
  EXPECT_NE(Log.find("second banner line"), std::string::npos);
}

TEST_F(FtpClientTest, DownloadAndFullPut) {
  TFtpClient c(nullptr);
  Configure(c, true);
  c.SetHostDirName("sub");
  c.SetHostFileName("full.bin");
  c.SetLocalFileName(Local);
  ASSERT_TRUE(c.FullPut()) << c.ErrorMessage() << Log;
  EXPECT_FALSE(c.Connected());
  // The caller sees the transfer's reply, not QUIT's.
  EXPECT_EQ(c.StatusCode(), 226) << c.LastResponse();
  ASSERT_EQ(test::ReadBytes(Root + "/sub/full.bin"), Data);

  const std::string back = Dir + "back.bin";
  c.SetLocalFileName(back);
  ASSERT_TRUE(c.FullGet()) << c.ErrorMessage() << Log;
  EXPECT_EQ(test::ReadBytes(back), Data);
}

TEST_F(FtpClientTest, FailuresEndTheRequestWithTheReplyCode) {
  TFtpClient c(nullptr);
  Configure(c, true);
  c.SetPassWord("wrong");
  EXPECT_FALSE(c.Connect());
  EXPECT_EQ(c.RequestResult(), 530);
  EXPECT_EQ(c.ErrorMessage().substr(0, 3), "530");
  c.Abort();

  // A failing step inside FullPut still quits; the step's code is reported.
  TFtpClient f(nullptr);
  Configure(f, true);
  f.SetHostDirName("missing");
  f.SetHostFileName("x.bin");
  f.SetLocalFileName(Local);
  Log.clear();
  EXPECT_FALSE(f.FullPut());
  EXPECT_EQ(f.RequestResult(), 550);
  EXPECT_NE(Log.find("> QUIT"), std::string::npos);
  EXPECT_EQ(Log.find("> STOR"), std::string::npos);

  TFtpClient r(nullptr);
  Configure(r, true);
  ASSERT_TRUE(Login(r));
  r.SetHostFileName("nothing-here");
  r.SetLocalFileName("other");
  EXPECT_FALSE(r.Rename());
  EXPECT_EQ(r.RequestResult(), 550);
  // A missing local file fails before anything is sent.
  r.SetLocalFileName(Dir + "no-such-file");
  r.SetHostFileName("y.bin");
  EXPECT_FALSE(r.Put());
  EXPECT_EQ(r.ErrorMessage(), "426 Unable to open local file " + Dir + "no-such-file");
  EXPECT_TRUE(r.Quit());
}

// A name with a line break would smuggle a second command (here DELE) to the server.
TEST_F(FtpClientTest, LineBreaksInNamesAreRefused) {
  test::WriteText(Root + "/keep.txt", "precious");
  TFtpClient c(nullptr);
  Configure(c, true);
  ASSERT_TRUE(Login(c));
  for (const char* evil : {"a\r\nDELE keep.txt", "a\nDELE keep.txt", "a\rDELE keep.txt"}) {
    c.SetHostDirName(evil);
    EXPECT_FALSE(c.Cwd());
    c.SetHostFileName(evil);
    c.SetLocalFileName(Local);
    EXPECT_FALSE(c.Put());
    EXPECT_FALSE(c.Dele());
    c.SetLocalFileName(evil);
    EXPECT_FALSE(c.RenameTo());
  }
  ASSERT_TRUE(c.Quit());
  EXPECT_EQ(test::ReadText(Root + "/keep.txt"), "precious");
}

// Reads fine until a given offset, then fails like a disk error.
class TFailingStream : public TMemoryStream {
 public:
  int64_t FailAt = 0;
  int32_t Read(void* Buffer, int32_t Count) override {
    if (Position() >= FailAt) throw EReadError("Read error");
    return TMemoryStream::Read(Buffer, int32_t(std::min<int64_t>(Count, FailAt - Position())));
  }
};

// A broken-off upload must never be reported as a success: the webcam would
// rename the truncated file over the last good frame.
TEST_F(FtpClientTest, AbortedOrFailedUploadsNeverSucceed) {
  for (bool passive : {true, false}) {
    {
      TFtpClient c(nullptr);
      Configure(c, passive);
      ASSERT_TRUE(Login(c));
      c.SetHostFileName("aborted.bin");
      c.SetLocalFileName(Local);
      c.OnProgress = [](TObject*, int64_t Count, bool& Abort) { Abort = Count > 50000; };
      EXPECT_FALSE(c.Put()) << passive;
      EXPECT_EQ(c.RequestResult(), 426);
      EXPECT_NE(c.ErrorMessage().find("aborted"), std::string::npos) << c.ErrorMessage();
    }
    {
      TFtpClient c(nullptr);
      Configure(c, passive);
      ASSERT_TRUE(Login(c));
      TFailingStream s;
      s.WriteBuffer(Data.data(), int32_t(Data.size()));
      s.SetPosition(0);
      s.FailAt = 100000;
      c.SetLocalStream(&s);
      c.SetHostFileName("broken.bin");
      EXPECT_FALSE(c.Put()) << passive;
      EXPECT_EQ(c.RequestResult(), 426);
      EXPECT_NE(c.ErrorMessage().find("Error reading local file"), std::string::npos) << c.ErrorMessage();
      c.SetLocalStream(nullptr);
    }
  }
}

// The same upload through a SOCKS 5 proxy, without and with a user code.
TEST_F(FtpClientTest, UploadThroughSocks5Proxy) {
  if (!std::filesystem::exists("/usr/bin/microsocks")) GTEST_SKIP() << "microsocks not installed";
  for (bool auth : {false, true}) {
    const std::string port = std::to_string(test::FreePort());
    test::TPeerProcess proxy, ready;
    const std::string cmd = "echo started; exec /usr/bin/microsocks -i 127.0.0.1 -p " + port +
                            (auth ? " -u cam -P pw" : "") + " >/dev/null 2>&1";
    ASSERT_TRUE(proxy.Start({"/bin/sh", "-c", cmd}));
    ASSERT_TRUE(test::WaitForPort(ready, port));
    TFtpClient c(nullptr);
    Configure(c, false);
    c.SetConnectionType(ftpSocks5);
    EXPECT_TRUE(c.Passive());
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(port);
    if (auth) {
      c.SetSocksUserCode("cam");
      c.SetSocksPassword("pw");
    }
    c.SetHostFileName(auth ? "socks-auth.bin" : "socks.bin");
    c.SetLocalFileName(Local);
    ASSERT_TRUE(c.FullPut()) << auth << ' ' << c.ErrorMessage() << Log;
    EXPECT_EQ(test::ReadBytes(Root + "/" + c.HostFileName()), Data);
  }
}

// A server that, after PORT, has a process on another local address connect to
// the data port first and offer its own bytes; the server's own connection follows.
const char* kRacedServer = R"(
import socket, sys
l = socket.socket()
l.bind(('127.0.0.1', 0))
l.listen()
print(l.getsockname()[1], flush=True)
c, _ = l.accept()
f = c.makefile('rb')
def say(t): c.sendall((t + '\r\n').encode())
say('220 ready')
port = None
for raw in f:
    cmd = raw.decode().strip()
    verb = cmd.split(' ')[0].upper()
    if verb == 'USER': say('331 password')
    elif verb == 'PASS': say('230 in')
    elif verb == 'PORT':
        n = cmd[5:].split(',')
        port = int(n[4]) * 256 + int(n[5])
        say('200 ok')
    elif verb == 'RETR':
        say('150 sending')
        # Is the data port reachable through another local address?
        other = socket.socket()
        try:
            other.connect(('127.0.0.2', port))
            reach = 'reachable'
        except OSError:
            reach = 'unreachable'
        other.close()
        evil = socket.socket()
        evil.bind(('127.0.0.2', 0))
        evil.connect(('127.0.0.1', port))
        try: evil.sendall(b'INTRUDER')
        except OSError: pass
        evil.close()
        good = socket.create_connection(('127.0.0.1', port), source_address=('127.0.0.1', 0))
        good.sendall(b'the real file')
        good.close()
        say('226 done, data port ' + reach + ' elsewhere')
    elif verb == 'QUIT':
        say('221 bye')
        break
    else: say('500 unknown')
)";

TEST(FtpActiveMode, DataConnectionFromAnotherAddressIsTurnedAway) {
  test::TScratchFolder tmp;
  test::TPeerProcess server;
  ASSERT_TRUE(server.Start({test::kSystemPython, "-c", kRacedServer}));
  TFtpClient c(nullptr);
  c.SetHostName("127.0.0.1");
  c.SetPort(server.FirstLine());
  c.SetUserName("kv");
  c.SetPassWord("secret");
  c.SetPassive(false);
  c.SetTimeout(20);
  std::string log;
  c.OnDisplay = [&](TObject*, std::string& M) { log += M + "\n"; };
  ASSERT_TRUE(c.Connect()) << c.ErrorMessage();
  const std::string local = tmp.Path() + "/got.bin";
  c.SetHostFileName("f");
  c.SetLocalFileName(local);
  ASSERT_TRUE(c.Get()) << c.ErrorMessage() << log;
  EXPECT_EQ(test::ReadText(local), "the real file");
  EXPECT_NE(log.find("127.0.0.2 refused"), std::string::npos) << log;
  EXPECT_NE(log.find("data port unreachable elsewhere"), std::string::npos) << log;
  EXPECT_TRUE(c.Quit());
}

// The user's file is replaced only by a download that went through.
TEST_F(FtpClientTest, FailedDownloadsKeepTheLocalFile) {
  const std::string mine = Dir + "mine.bin";
  const std::vector<uint8_t> old(1000, 7);
  auto onlyMine = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(Dir)) n += e.is_regular_file();
    return n == 2;  // frame.bin and mine.bin: no temporary file left behind
  };
  for (bool passive : {true, false}) {
    test::WriteBytes(mine, old);
    TFtpClient c(nullptr);
    Configure(c, passive);
    ASSERT_TRUE(Login(c));
    c.SetHostFileName("missing.bin");
    c.SetLocalFileName(mine);
    EXPECT_FALSE(c.Get());
    EXPECT_EQ(c.RequestResult(), 550);
    EXPECT_EQ(test::ReadBytes(mine), old) << passive;
    EXPECT_TRUE(onlyMine());
  }
  // A transfer cut off by the server's end.
  std::vector<uint8_t> big(8 << 20);
  std::mt19937 rng(9);
  for (auto& b : big) b = uint8_t(rng());
  test::WriteBytes(Root + "/big.bin", big);
  {
    TFtpClient c(nullptr);
    Configure(c, true);
    ASSERT_TRUE(Login(c));
    c.SetHostFileName("big.bin");
    c.SetLocalFileName(mine);
    c.OnProgress = [&](TObject*, int64_t Count, bool&) {
      if (Count > 100000) Server.Stop();
    };
    EXPECT_FALSE(c.Get());
    EXPECT_NE(c.RequestResult(), 0);
    EXPECT_EQ(test::ReadBytes(mine), old);
    EXPECT_TRUE(onlyMine());
  }
}

TEST_F(FtpClientTest, DownloadReplacesTheLocalFileWhole) {
  test::WriteBytes(Root + "/remote.bin", Data);
  const std::string mine = Dir + "mine.bin";
  test::WriteText(mine, std::string(500000, 'x'));  // longer than what comes
  TFtpClient c(nullptr);
  Configure(c, false);
  ASSERT_TRUE(Login(c));
  ASSERT_TRUE(c.TypeBinary());
  c.SetHostFileName("remote.bin");
  c.SetLocalFileName(mine);
  ASSERT_TRUE(c.Get()) << c.ErrorMessage() << Log;
  EXPECT_EQ(test::ReadBytes(mine), Data);
  EXPECT_TRUE(c.Quit());
}

// A refused line must read as a failure even after a request that succeeded.
TEST_F(FtpClientTest, RefusedCommandsCarryAnErrorCode) {
  TFtpClient c(nullptr);
  Configure(c, true);
  ASSERT_TRUE(Login(c));
  const std::string evil = "x\r\nDELE keep.txt";
  struct TCase {
    const char* Name;
    std::function<bool()> Run;
  };
  const TCase cases[] = {
      {"DELE", [&] { c.SetHostFileName(evil); return c.Dele(); }},
      {"MKD", [&] { c.SetHostFileName(evil); return c.Mkd(); }},
      {"QUOTE", [&] { c.SetLocalFileName(evil); return c.Quote(); }},
      {"USER", [&] { c.SetUserName(evil); return c.User(); }},
      {"PASS", [&] { c.SetPassWord(evil); return c.Pass(); }},
      {"RETR", [&] { c.SetHostFileName(evil); c.SetLocalFileName(Dir + "never.bin"); return c.Get(); }},
  };
  for (const auto& k : cases) {
    ASSERT_TRUE(c.Pwd());
    ASSERT_EQ(c.RequestResult(), 0);
    EXPECT_FALSE(k.Run()) << k.Name;
    EXPECT_EQ(c.RequestResult(), 501) << k.Name;
    EXPECT_EQ(c.ErrorMessage().substr(0, 4), "501 ") << k.Name;
  }
  // Reported the same way to a caller who takes errors as events.
  c.OnError = [](TObject*, std::string&) {};
  ASSERT_TRUE(c.Pwd());
  c.SetLocalFileName(evil);
  EXPECT_FALSE(c.Quote());
  EXPECT_EQ(c.RequestResult(), 501);
  EXPECT_FALSE(std::filesystem::exists(Dir + "never.bin"));
}

// RestartGet goes on where the local copy ends unless told otherwise.
TEST_F(FtpClientTest, RestartGetResumesAtTheLocalSize) {
  test::WriteBytes(Root + "/remote.bin", Data);
  const std::string mine = Dir + "part.bin";
  for (bool automatic : {true, false}) {
    test::WriteBytes(mine, std::vector<uint8_t>(Data.begin(), Data.begin() + 1000));
    TFtpClient c(nullptr);
    Configure(c, true);
    if (!automatic) c.SetOptions(TFtpOptions{ftpAcceptLF, ftpNoAutoResumeAt});
    ASSERT_TRUE(Login(c));
    ASSERT_TRUE(c.TypeBinary());
    c.SetHostFileName("remote.bin");
    c.SetLocalFileName(mine);
    c.SetResumeAt(automatic ? 0 : 250);
    ASSERT_TRUE(c.RestartGet()) << c.ErrorMessage() << Log;
    EXPECT_EQ(c.ResumeAt(), automatic ? 1000 : 250);
    EXPECT_EQ(test::ReadBytes(mine), Data) << automatic;
    EXPECT_EQ(c.ByteCount(), int64_t(Data.size()) - c.ResumeAt());
    EXPECT_TRUE(c.Quit());
  }
}

TEST_F(FtpClientTest, SilentServerTimesOut) {
  test::TPeerProcess silent;
  ASSERT_TRUE(silent.Start({test::kSystemPython, "-c",
                            "import socket,time\ns=socket.socket()\ns.bind(('127.0.0.1',0))\ns.listen()\n"
                            "print(s.getsockname()[1],flush=True)\nc=s.accept()\ntime.sleep(60)"}));
  TFtpClient c(nullptr);
  Configure(c, true);
  c.SetPort(silent.FirstLine());
  c.SetTimeout(1);
  const uint64_t start = TickCount64();
  EXPECT_FALSE(c.Open());
  EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
  EXPECT_LT(TickCount64() - start, 10000u);  // a one-second time-out, with room for a loaded machine
}

}  // namespace
}  // namespace kv
