// Connections through SOCKS proxies: microsocks for SOCKS 5 (with and without
// user code), dante for SOCKS 4, a scripted proxy on loopback for SOCKS 4A
// and error replies.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include "net/sync_socket.h"
#include "net_test_support.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::PumpFor;
using test::PumpUntil;
using test::TLoopbackListener;

// An echo server on loopback: every line comes back with "echo:" before it.
struct TEchoServer {
  TLoopbackListener L;
  TEchoServer() {
    L.OnAccepted = [](TCustomNetSocket& s) {
      s.OnDataAvailable = [&s](TObject*, uint16_t) {
        const std::string got = s.ReceiveStr();
        if (!got.empty()) s.SendStr("echo:" + got);
      };
    };
  }
};

// A proxy process in the background on a free loopback port, ended with the
// test. MakeArgs gets the port and returns the command line.
struct TProxyProcess {
  pid_t Pid = -1;
  std::string Port;
  explicit TProxyProcess(const std::function<std::vector<std::string>(const std::string&)>& MakeArgs) {
    {
      TLoopbackListener probe;
      Port = probe.Port();
    }
    std::vector<std::string> args = MakeArgs(Port);
    Pid = fork();
    if (Pid == 0) {
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    // Ready once it accepts connections.
    for (int i = 0; i < 250; ++i) {
      if (test::Run("bash -c 'exec 3<>/dev/tcp/127.0.0.1/" + Port + "' 2>/dev/null") == 0) break;
      usleep(20000);
    }
  }
  ~TProxyProcess() {
    if (Pid > 0) {
      kill(Pid, SIGTERM);
      waitpid(Pid, nullptr, 0);
    }
  }
};

struct TMicrosocks : TProxyProcess {
  explicit TMicrosocks(const std::vector<std::string>& Extra = {})
      : TProxyProcess([&](const std::string& Port) {
          std::vector<std::string> a = {"microsocks", "-i", "127.0.0.1", "-p", Port};
          a.insert(a.end(), Extra.begin(), Extra.end());
          return a;
        }) {}
};

constexpr const char* kDanted = "/usr/sbin/danted";

// dante with a configuration written for the test: loopback only, no
// authentication, connect requests only.
struct TDante : TProxyProcess {
  explicit TDante(const std::string& Dir)
      : TProxyProcess([&](const std::string& Port) {
          const std::string file = Dir + "/danted.conf";
          std::ofstream f(file);
          f << "logoutput: " << Dir << "/danted.log\ninternal: 127.0.0.1 port = " << Port << "\nexternal: 127.0.0.1\n"
            << "socksmethod: none\nclientmethod: none\n";
          if (geteuid() == 0) f << "user.privileged: root\nuser.unprivileged: nobody\n";
          f << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
            << "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }\n";
          return std::vector<std::string>{kDanted, "-f", file, "-N", "1"};
        }) {}
};

struct TSocksRun {
  std::string Reply;
  uint16_t ConnectError = 999;
  int32_t SocksError = 0;
  std::string SocksMsg;
  std::vector<int32_t> AuthStates;
};

TSocksRun RunThrough(TNetSocket& C, const std::string& TargetPort) {
  TSocksRun r;
  C.SetAddr("127.0.0.1");
  C.SetPort(TargetPort);
  C.SetLineMode(true);
  C.OnSessionConnected = [&](TObject*, uint16_t e) {
    r.ConnectError = e;
    if (e == 0) C.SendStr("ping\r\n");
  };
  C.OnDataAvailable = [&](TObject*, uint16_t) { r.Reply += C.ReceiveStr(); };
  C.OnSocksError = [&](TObject*, int32_t e, const std::string& m) {
    r.SocksError = e;
    r.SocksMsg = m;
  };
  C.OnSocksAuthState = [&](TObject*, int32_t s) { r.AuthStates.push_back(s); };
  C.Connect();
  PumpUntil([&] { return !r.Reply.empty() || (r.ConnectError != 999 && r.ConnectError != 0); });
  return r;
}

TEST(SocksSocket, Socks5ThroughMicrosocks) {
  if (!test::HaveTool("microsocks")) GTEST_SKIP() << "microsocks missing";
  TEchoServer target;
  {
    TMicrosocks proxy;
    TNetSocket c(nullptr);
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(proxy.Port);
    const TSocksRun r = RunThrough(c, target.L.Port());
    EXPECT_EQ(r.ConnectError, 0);
    EXPECT_EQ(r.Reply, "echo:ping\r\n");
  }
  {
    TMicrosocks proxy({"-u", "kim", "-P", "s3cret"});
    TNetSocket good(nullptr);
    good.SetSocksServer("127.0.0.1");
    good.SetSocksPort(proxy.Port);
    good.SetSocksAuthentication(socksAuthenticateUsercode);
    good.SetSocksUsercode("kim");
    good.SetSocksPassword("s3cret");
    const TSocksRun r = RunThrough(good, target.L.Port());
    EXPECT_EQ(r.ConnectError, 0);
    EXPECT_EQ(r.Reply, "echo:ping\r\n");
    EXPECT_EQ(r.AuthStates, (std::vector<int32_t>{0}));

    TNetSocket bad(nullptr);
    bad.SetSocksServer("127.0.0.1");
    bad.SetSocksPort(proxy.Port);
    bad.SetSocksAuthentication(socksAuthenticateUsercode);
    bad.SetSocksUsercode("kim");
    bad.SetSocksPassword("wrong");
    const TSocksRun f = RunThrough(bad, target.L.Port());
    EXPECT_EQ(f.SocksError, 20015);
    EXPECT_EQ(f.ConnectError, 20015);
    EXPECT_EQ(bad.State(), wsClosed);
  }
}

// A real SOCKS 4 proxy relays the connection; it does not speak 4A and
// says so with its "rejected" reply, which we report as such.
TEST(SocksSocket, Socks4ThroughDante) {
  if (!std::filesystem::exists(kDanted)) GTEST_SKIP() << "dante-server missing";
  test::TScratchFolder dir;
  TEchoServer target;
  TDante proxy(dir.Path());
  TNetSocket c(nullptr);
  c.SetSocksServer("127.0.0.1");
  c.SetSocksPort(proxy.Port);
  c.SetSocksLevel("4");
  const TSocksRun r = RunThrough(c, target.L.Port());
  EXPECT_EQ(r.ConnectError, 0) << r.SocksMsg;
  EXPECT_EQ(r.Reply, "echo:ping\r\n");

  TNetSocket a(nullptr);
  a.SetSocksServer("127.0.0.1");
  a.SetSocksPort(proxy.Port);
  a.SetSocksLevel("4A");
  const TSocksRun f = RunThrough(a, target.L.Port());
  EXPECT_EQ(f.SocksError, 20016) << f.SocksMsg;
  EXPECT_EQ(f.ConnectError, 20016);
}

// A proxy that records the request and answers with canned bytes.
struct TScriptedProxy {
  TLoopbackListener L;
  std::string Request;
  std::vector<std::string> Replies;  // one per request message
  size_t Next = 0;
  size_t Expect;                     // bytes of the first message before answering
  explicit TScriptedProxy(std::vector<std::string> R, size_t FirstLen) : Replies(std::move(R)), Expect(FirstLen) {
    L.OnAccepted = [this](TCustomNetSocket& s) {
      s.OnDataAvailable = [this, &s](TObject*, uint16_t) {
        Request += s.ReceiveStr();
        if (Next < Replies.size() && Request.size() >= Expect) {
          s.SendStr(Replies[Next++]);
          Expect = SIZE_MAX;
        }
      };
    };
  }
};

TEST(SocksSocket, Socks4RequestsAndReplies) {
  struct TCase {
    std::string Level;
    std::string Reply;
    int32_t SocksError;
  };
  const std::string granted("\0\x5a\0\0\0\0\0\0", 8);
  for (const TCase& t : {TCase{"4", granted + "welcome\r\n", 0}, TCase{"4A", granted + "welcome\r\n", 0},
                         TCase{"4", std::string("\0\x5b\0\0\0\0\0\0", 8), 20016},
                         TCase{"4", std::string("\0\x5c\0\0\0\0\0\0", 8), 20008},
                         TCase{"4", std::string("\0\x5d\0\0\0\0\0\0", 8), 20015},
                         TCase{"4", std::string("\0\x01\0\0\0\0\0\0", 8), 20012},
                         TCase{"4", std::string("\x04\x5a\0\0\0\0\0\0", 8), 20002}}) {
    TScriptedProxy proxy({t.Reply}, 9);
    TNetSocket c(nullptr);
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(proxy.L.Port());
    c.SetSocksLevel(t.Level);
    c.SetSocksUsercode("ann");
    const TSocksRun r = RunThrough(c, "4660");  // 0x1234
    EXPECT_EQ(r.SocksError, t.SocksError) << t.Level << ' ' << r.SocksMsg;
    if (t.SocksError == 0) {
      // Bytes behind the grant are the first application data.
      EXPECT_EQ(r.Reply, "welcome\r\n") << t.Level;
      const std::string addr = t.Level == "4" ? std::string("\x7f\0\0\x01", 4) : std::string("\0\0\0\x01", 4);
      std::string want = std::string("\x04\x01\x12\x34", 4) + addr + "ann" + std::string(1, '\0');
      if (t.Level == "4A") want += std::string("127.0.0.1") + '\0';
      EXPECT_EQ(proxy.Request.substr(0, want.size()), want) << t.Level;
    } else {
      EXPECT_EQ(r.ConnectError, t.SocksError);
      EXPECT_EQ(c.State(), wsClosed);
    }
  }
}

TEST(SocksSocket, Socks5ErrorReplies) {
  struct TCase {
    std::string Reply;
    int32_t Error;
  };
  for (const TCase& t : {TCase{std::string("\x05\x01\0\x01\0\0\0\0\0\0", 10), 20004},
                         TCase{std::string("\x05\x05\0\x01\0\0\0\0\0\0", 10), 20008},
                         TCase{std::string("\x05\x07\0\x01\0\0\0\0\0\0", 10), 20010},
                         TCase{std::string("\x05\x00\0\x04\0\0\0\0\0\0", 10), 20011},
                         TCase{std::string("\x05\x2a\0\x01\0\0\0\0\0\0", 10), 20012}}) {
    TScriptedProxy proxy({std::string("\x05\x00", 2), t.Reply}, 3);
    // The second answer goes out once the connect request has arrived.
    proxy.L.OnAccepted = [&proxy](TCustomNetSocket& s) {
      s.OnDataAvailable = [&proxy, &s](TObject*, uint16_t) {
        proxy.Request += s.ReceiveStr();
        if (proxy.Next == 0 && proxy.Request.size() >= 3) s.SendStr(proxy.Replies[proxy.Next++]);
        else if (proxy.Next == 1 && proxy.Request.size() >= 3 + 7 + 9) s.SendStr(proxy.Replies[proxy.Next++]);
      };
    };
    TNetSocket c(nullptr);
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(proxy.L.Port());
    const TSocksRun r = RunThrough(c, "80");
    EXPECT_EQ(r.SocksError, t.Error) << r.SocksMsg;
    EXPECT_EQ(r.ConnectError, t.Error);
    // The request names the target, never resolving it locally.
    EXPECT_EQ(proxy.Request.substr(0, 3), std::string("\x05\x01\x00", 3));
    EXPECT_EQ(proxy.Request.substr(3, 5), std::string("\x05\x01\x00\x03\x09", 5));
  }
}

TEST(SocksSocket, PropertiesAndLimits) {
  TNetSocket c(nullptr);
  c.SetSocksLevel("4a");
  EXPECT_EQ(c.SocksLevel(), "4A");
  try {
    c.SetSocksLevel("6");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Invalid socks level. Must be 4, 4A or 5.");
  }
  c.SetSocksServer("127.0.0.1");
  EXPECT_THROW(c.Listen(), ESocketException);
  // User code and password each fit one length byte; longer ones never go out.
  c.SetSocksPort("1");
  c.SetSocksLevel("5");
  c.SetSocksAuthentication(socksAuthenticateUsercode);
  c.SetSocksUsercode(std::string(300, 'u'));
  c.SetAddr("127.0.0.1");
  c.SetPort("80");
  EXPECT_THROW(c.Connect(), ESocketException);
  EXPECT_EQ(c.State(), wsClosed);
  // After a close everything SOCKS is reset.
  TEchoServer target;
  TScriptedProxy proxy({std::string("\0\x5a\0\0\0\0\0\0", 8)}, 9);
  TNetSocket d(nullptr);
  d.SetSocksServer("127.0.0.1");
  d.SetSocksPort(proxy.L.Port());
  d.SetSocksLevel("4");
  RunThrough(d, target.L.Port());
  EXPECT_THROW(d.SetSocksServer("x"), ESocketException);
  d.Close();
  EXPECT_EQ(d.SocksServer(), "");
  EXPECT_EQ(d.SocksLevel(), "5");
}

}  // namespace
}  // namespace kv
