// The POP3 client against dovecot, started in the foreground with a configuration
// of the test's own on a loopback port, and against a scripted server for the
// replies dovecot never sends.
#include "net/pop3_client.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/peer_servers.h"
#include "platform/ui/message_window.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

const char* kMessage =
    "From: cam@example.org\r\nSubject: test\r\n\r\nfirst\r\n.\r\n..two dots\r\n.x\r\nlast\r\n";

class Pop3ClientTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    if (!test::HaveTool("dovecot") && !std::filesystem::exists("/usr/sbin/dovecot")) GTEST_SKIP() << "no dovecot";
    ASSERT_TRUE(test::StartDovecotPop3(Dir, Dovecot, Ready, Port, kMessage)) << test::ReadText(Dir + "dovecot.log");
  }
  void Configure(TSyncPop3Client& C) {
    C.SetHost("127.0.0.1");
    C.SetPort(Port);
    C.SetUserName("kv");
    C.SetPassWord("secret");
    C.SetTimeout(20);
    C.OnDisplay = [this](TObject*, const std::string& M) { Log += M + "\n"; };
  }

  test::TPeerProcess Dovecot, Ready;
  std::string Port, Log;
};

TEST_F(Pop3ClientTest, UserPassAndMailbox) {
  TSyncPop3Client c(nullptr);
  Configure(c);
  ASSERT_TRUE(c.Connect()) << c.ErrorMessage();
  EXPECT_EQ(c.ProtocolState(), pop3WaitingUser);
  EXPECT_FALSE(c.Timestamp().empty());
  ASSERT_TRUE(c.User()) << c.ErrorMessage();
  EXPECT_EQ(c.ProtocolState(), pop3WaitingPass);
  ASSERT_TRUE(c.Pass()) << c.ErrorMessage() << Log << test::ReadText(Dir + "dovecot.log");
  EXPECT_EQ(c.ProtocolState(), pop3Transaction);
  EXPECT_FALSE(c.Pass());
  EXPECT_EQ(c.ErrorMessage(), "-ERR PASS command invalid now");

  ASSERT_TRUE(c.Stat());
  EXPECT_EQ(c.MsgCount(), 1);
  EXPECT_EQ(c.MsgSize(), int32_t(std::string(kMessage).size()));
  std::vector<std::string> got;
  c.OnListLine = [&](TObject*) { got.push_back(std::to_string(c.MsgNum()) + " " + std::to_string(c.MsgSize())); };
  ASSERT_TRUE(c.List());
  EXPECT_EQ(got, (std::vector<std::string>{"1 " + std::to_string(std::string(kMessage).size())}));
  std::string uidl;
  c.OnUidlLine = [&](TObject*) { uidl = c.MsgUidl(); };
  c.SetMsgNum(0);  // LIST left the last number listed: all messages again
  ASSERT_TRUE(c.Uidl());
  EXPECT_FALSE(uidl.empty());
  // Dot-stuffed lines come back as they were; the lone "." ends the message only on its own.
  got.clear();
  c.OnMessageLine = [&](TObject*) { got.push_back(c.LastLine()); };
  c.SetMsgNum(1);
  ASSERT_TRUE(c.Retr());
  EXPECT_EQ(got, (std::vector<std::string>{"From: cam@example.org", "Subject: test", "", "first", ".", "..two dots",
                                           ".x", "last"}));
  ASSERT_TRUE(c.Quit());
  EXPECT_FALSE(c.Connected()) << Log;
  EXPECT_EQ(c.ProtocolState(), pop3Disconnected);
}

TEST_F(Pop3ClientTest, ApopAndRefusedPasswords) {
  {
    TSyncPop3Client c(nullptr);
    Configure(c);
    ASSERT_TRUE(c.Connect());
    ASSERT_TRUE(c.APop()) << c.ErrorMessage() << Log;
    EXPECT_EQ(c.ProtocolState(), pop3Transaction);
    ASSERT_TRUE(c.Quit());
  }
  {
    TSyncPop3Client c(nullptr);
    Configure(c);
    c.SetPassWord("wrong");
    ASSERT_TRUE(c.Connect());
    EXPECT_FALSE(c.APop());
    EXPECT_EQ(c.RequestResult(), 500);
    EXPECT_EQ(c.ProtocolState(), pop3WaitingUser);
    ASSERT_TRUE(c.User());
    EXPECT_FALSE(c.Pass());
    EXPECT_EQ(c.RequestResult(), 500);
    EXPECT_EQ(c.ProtocolState(), pop3WaitingPass);
    EXPECT_EQ(c.ErrorMessage().substr(0, 4), "-ERR");
    ASSERT_TRUE(c.Quit());
  }
}

// A scripted server: no APOP timestamp, an over-long reply to USER, then a short
// one to PASS, and silence after QUIT.
const char* kScripted = R"(
import socket
s = socket.socket()
s.bind(('127.0.0.1', 0))
s.listen()
print(s.getsockname()[1], flush=True)
c, _ = s.accept()
f = c.makefile('rb')
c.sendall(b'+OK ready\r\n')
f.readline()
c.sendall(b'-ERR ' + b'x' * 9000 + b' +OK forged\r\n')
f.readline()
c.sendall(b'+OK welcome\r\n')
f.readline()
import time
time.sleep(60)
)";

TEST(Pop3Scripted, OverlongReplyKeepsStepAndQuitTimesOut) {
  test::TPeerProcess server;
  ASSERT_TRUE(server.Start({test::kSystemPython, "-c", kScripted}));
  TSyncPop3Client c(nullptr);
  c.SetHost("127.0.0.1");
  c.SetPort(server.FirstLine());
  c.SetUserName("kv");
  c.SetPassWord("secret");
  c.SetTimeout(60);
  ASSERT_TRUE(c.Connect());
  EXPECT_TRUE(c.Timestamp().empty());
  EXPECT_FALSE(c.APop());
  EXPECT_EQ(c.ErrorMessage(), "-ERR Server do not support APOP (no timestamp)");
  EXPECT_FALSE(c.User());
  EXPECT_EQ(c.RequestResult(), 500);
  // The tail of the long reply must not be taken for the answer to PASS.
  EXPECT_TRUE(c.Pass()) << c.LastResponse().substr(0, 80);
  EXPECT_EQ(c.LastResponse(), "+OK welcome");
  const uint64_t start = TickCount64();
  EXPECT_FALSE(c.Quit());
  EXPECT_LT(TickCount64() - start, 15000u);
  EXPECT_FALSE(c.Connected());
}

}  // namespace
}  // namespace kv
