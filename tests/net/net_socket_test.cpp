// The asynchronous socket against itself and the system on loopback.
#include "net/net_socket.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>

#include "net_test_support.h"

namespace kv {
namespace {

using test::PumpUntil;
using test::TLoopbackListener;

std::unique_ptr<TCustomNetSocket> ConnectTo(const std::string& Addr, const std::string& Port) {
  auto c = std::make_unique<TCustomNetSocket>(nullptr);
  c->SetAddr(Addr);
  c->SetPort(Port);
  return c;
}

TEST(NetSocket, EchoRoundTripRaisesEventsInOrder) {
  TLoopbackListener l;
  l.OnAccepted = [](TCustomNetSocket& s) {
    s.OnDataAvailable = [&s](TObject*, uint16_t) {
      const std::string got = s.ReceiveStr();
      if (!got.empty()) s.SendStr("echo:" + got);
    };
  };
  auto c = ConnectTo("127.0.0.1", l.Port());
  std::vector<std::string> log;
  std::string received;
  c->OnChangeState = [&](TObject*, TSocketState, TSocketState n) { log.push_back("state" + std::to_string(n)); };
  c->OnSessionConnected = [&](TObject*, uint16_t e) {
    log.push_back("connected" + std::to_string(e));
    c->SendStr("hello");
  };
  c->OnDataAvailable = [&](TObject*, uint16_t) { received += c->ReceiveStr(); };
  int closed = 0;
  c->OnSessionClosed = [&](TObject*, uint16_t) { ++closed; };
  c->Connect();
  EXPECT_EQ(c->State(), wsConnecting);
  ASSERT_TRUE(PumpUntil([&] { return received == "echo:hello"; }));
  EXPECT_EQ(c->PeerAddr(), "127.0.0.1");
  EXPECT_EQ(c->PeerPort(), l.Port());
  std::vector<std::string> want = {"state1", "state3", "state4", "connected0"};
  EXPECT_EQ(log, want);
  // The peer ends the session: one close event, state closed, handle gone.
  l.Accepted.at(0)->Close();
  ASSERT_TRUE(PumpUntil([&] { return c->State() == wsClosed; }));
  test::PumpFor(50);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(c->HSocket(), INVALID_SOCKET);
}

TEST(NetSocket, ConnectByNameDoesNotBlockAndResolvesOnAWorker) {
  TLoopbackListener l;
  auto c = ConnectTo("localhost", l.Port());
  uint16_t result = 999;
  c->OnSessionConnected = [&](TObject*, uint16_t e) { result = e; };
  c->Connect();
  EXPECT_EQ(c->State(), wsConnecting);
  ASSERT_TRUE(PumpUntil([&] { return result != 999; }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(c->State(), wsConnected);
}

TEST(NetSocket, FailedConnectionsReportTheirErrorAndClose) {
  struct TCase {
    std::string Addr;
    uint16_t Error;
  };
  // A port nobody listens on (taken and released), and a name that cannot exist.
  std::string freePort;
  {
    TLoopbackListener l;
    freePort = l.Port();
  }
  for (const TCase& t : {TCase{"127.0.0.1", 10061}, TCase{"no-such-host.invalid", 11001}}) {
    auto c = ConnectTo(t.Addr, freePort);
    uint16_t result = 0;
    int closed = 0;
    c->OnSessionConnected = [&](TObject*, uint16_t e) { result = e; };
    c->OnSessionClosed = [&](TObject*, uint16_t) { ++closed; };
    c->Connect();
    ASSERT_TRUE(PumpUntil([&] { return result != 0; }, 10000)) << t.Addr;
    EXPECT_EQ(result, t.Error) << t.Addr;
    EXPECT_EQ(c->State(), wsClosed) << t.Addr;
    EXPECT_EQ(closed, 1) << t.Addr;
  }
  EXPECT_EQ(WinsockErrorMessage(10061), "Connection refused (Winsock error #10061)");
  EXPECT_EQ(WinsockErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WinsockErrorFromErrno(EAGAIN), 10035);
  EXPECT_EQ(WinsockErrorFromErrno(EMFILE), 10024);
  EXPECT_EQ(NetSocketErrorText(12345), "Not a WinSock error");
}

TEST(NetSocket, SendWhenNotConnected) {
  TCustomNetSocket s(nullptr);
  try {
    s.SendStr("x");
    FAIL() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_NE(e.Message().find("Error 10057 in function Send"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("Socket is not connected"), std::string::npos) << e.Message();
  }
  int errors = 0;
  s.OnError = [&](TObject*) { ++errors; };
  EXPECT_EQ(s.SendStr("x"), -1);
  EXPECT_EQ(s.LastError(), 10057);
  EXPECT_EQ(errors, 1);
}

TEST(NetSocket, SendQueuesFrameSizedChunksAndReportsDataSentFromTheLoop) {
  TLoopbackListener l;
  std::string atPeer;
  l.OnAccepted = [&](TCustomNetSocket& s) {
    s.OnDataAvailable = [&](TObject*, uint16_t) { atPeer += s.ReceiveStr(); };
  };
  auto c = ConnectTo("127.0.0.1", l.Port());
  bool connected = false;
  c->OnSessionConnected = [&](TObject*, uint16_t) { connected = true; };
  c->Connect();
  ASSERT_TRUE(PumpUntil([&] { return connected; }));
  test::PumpFor(20);  // let the connect's own write notice pass
  std::vector<int32_t> sends;
  int dataSent = 0;
  c->OnSendData = [&](TObject*, int32_t n) { sends.push_back(n); };
  c->OnDataSent = [&](TObject*, uint16_t) { ++dataSent; };
  std::string payload(5000, 'x');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(c->SendStr(payload), 5000);
  EXPECT_EQ(dataSent, 0);  // never inside Send
  EXPECT_EQ(sends, (std::vector<int32_t>{1514, 1514, 1514, 458}));
  ASSERT_TRUE(PumpUntil([&] { return dataSent >= 1 && atPeer.size() == 5000; }));
  EXPECT_EQ(atPeer, payload);
}

TEST(NetSocket, LargeSendDrainsAsThePeerReads) {
  TLoopbackListener l;
  size_t atPeer = 0;
  bool peerReading = false;
  l.OnAccepted = [&](TCustomNetSocket& s) {
    s.OnDataAvailable = [&](TObject*, uint16_t) {
      if (!peerReading) return;  // leave the bytes waiting: the sender must block and queue
      char buf[65536];
      const int32_t n = s.Receive(buf, sizeof buf);
      if (n > 0) atPeer += static_cast<size_t>(n);
    };
  };
  auto c = ConnectTo("127.0.0.1", l.Port());
  c->SetBufSize(65536);
  bool connected = false;
  c->OnSessionConnected = [&](TObject*, uint16_t) { connected = true; };
  c->Connect();
  ASSERT_TRUE(PumpUntil([&] { return connected; }));
  const std::string big(16 << 20, 'z');
  c->SendStr(big);
  EXPECT_FALSE(c->AllSent());
  test::PumpFor(50);
  peerReading = true;
  l.Accepted.at(0)->Resume();  // any call that reads again re-arms; Receive does it too
  char buf[65536];
  const int32_t n = l.Accepted.at(0)->Receive(buf, sizeof buf);
  if (n > 0) atPeer += static_cast<size_t>(n);
  ASSERT_TRUE(PumpUntil([&] { return atPeer == big.size(); }, 20000)) << atPeer;
  EXPECT_TRUE(c->AllSent());
}

TEST(NetSocket, PeerGoneWhileSendingClosesOnceWithoutSigpipe) {
  TLoopbackListener l;
  auto c = ConnectTo("127.0.0.1", l.Port());
  bool connected = false;
  int closed = 0;
  c->OnSessionConnected = [&](TObject*, uint16_t) { connected = true; };
  c->OnSessionClosed = [&](TObject*, uint16_t) { ++closed; };
  c->Connect();
  ASSERT_TRUE(PumpUntil([&] { return connected && !l.Accepted.empty(); }));
  l.Accepted.at(0)->Abort();  // reset, not a polite close
  const std::string block(100000, 'q');
  // Sends into the reset connection: a SIGPIPE here would end the test process.
  for (int i = 0; i < 20 && c->State() == wsConnected; ++i) {
    c->SendStr(block);
    test::PumpFor(5);
  }
  ASSERT_TRUE(PumpUntil([&] { return c->State() == wsClosed; }));
  test::PumpFor(50);
  EXPECT_EQ(closed, 1);
}

TEST(NetSocket, PropertiesRefuseChangesWhileOpenAndResetAfterClose) {
  TLoopbackListener l;
  auto c = ConnectTo("127.0.0.1", l.Port());
  bool connected = false;
  c->OnSessionConnected = [&](TObject*, uint16_t) { connected = true; };
  c->Connect();
  ASSERT_TRUE(PumpUntil([&] { return connected; }));
  EXPECT_THROW(
      {
        try {
          c->SetPort("81");
        } catch (const ESocketException& e) {
          EXPECT_EQ(e.Message(), "Cannot change Port if not closed");
          throw;
        }
      },
      ESocketException);
  EXPECT_THROW(c->SetAddr("127.0.0.2"), ESocketException);
  c->Close();
  // After a close Addr and Port keep their text but must be set again.
  EXPECT_EQ(c->Addr(), "127.0.0.1");
  try {
    c->Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Connect: No Port Specified");
  }
  c->SetPort(l.Port());
  try {
    c->Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Connect: No IP Address Specified");
  }
  c->SetAddr("127.0.0.1");
  c->Connect();
  EXPECT_EQ(c->State(), wsConnecting);
}

TEST(NetSocket, Resolvers) {
  EXPECT_EQ(NetSocketResolveHost("127.0.0.1"), WsHtonl(0x7F000001));
  EXPECT_EQ(NetSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  const std::string longName(257, 'a');
  try {
    NetSocketResolveHost(longName);
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "NetSocketResolveHost: '" + longName + "' Invalid Hostname.");
  }
  EXPECT_EQ(NetSocketResolvePort("  8080x", "tcp"), 8080);
  EXPECT_EQ(NetSocketResolvePort("ftp", "tcp"), 21);
  EXPECT_THROW(NetSocketResolvePort("", "tcp"), ESocketException);
  EXPECT_THROW(NetSocketResolvePort("no-such-service", "tcp"), ESocketException);
  EXPECT_EQ(NetSocketResolveProto("tcp"), 6);
  EXPECT_EQ(NetSocketResolveProto("17"), 17);
  for (const char* ok : {"1.2.3.4", "  10.0.0.255  ", "0.0.0.0"}) EXPECT_TRUE(NetSocketIsDottedIP(ok)) << ok;
  for (const char* bad : {".1.2.3", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4x", "host"})
    EXPECT_FALSE(NetSocketIsDottedIP(bad)) << bad;
}

TEST(NetSocket, DnsLookups) {
  TCustomNetSocket s(nullptr);
  int done = 0;
  uint16_t error = 999;
  s.OnDnsLookupDone = [&](TObject*, uint16_t e) {
    ++done;
    error = e;
  };
  s.DnsLookup("127.0.0.1");  // answered inside the call
  EXPECT_EQ(done, 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  s.DnsLookup("localhost");  // answered later, exactly once
  EXPECT_EQ(done, 1);
  ASSERT_TRUE(PumpUntil([&] { return done == 2; }));
  test::PumpFor(30);
  EXPECT_EQ(done, 2);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  // A cancelled look-up reports 10004 and nothing more.
  s.DnsLookup("localhost");
  s.CancelLookup();
  EXPECT_EQ(done, 3);
  EXPECT_EQ(error, 10004);
  test::PumpFor(100);
  EXPECT_EQ(done, 3);
}

TEST(NetSocket, LocalAddressesComeFromTheInterfaces) {
  TStringList* list = GetLocalAddresses();
  ASSERT_GT(list->Count(), 0);
  EXPECT_GE(list->IndexOf("127.0.0.1"), 0);
  EXPECT_LT(list->IndexOf("127.0.1.1"), 0);  // what the host name resolves to, not an interface
}

// A notification for a descriptor that was closed and reused since must not
// reach the socket that has the descriptor now.
TEST(NetSocket, LateNotificationForAReusedDescriptorIsDropped) {
  TLoopbackListener l;
  auto a = ConnectTo("127.0.0.1", l.Port());
  a->Connect();
  const TSocket fd = a->HSocket();
  const TSocketToken stale = SocketToken(fd);
  ASSERT_NE(stale, 0u);
  a->Close();
  auto b = ConnectTo("127.0.0.1", l.Port());
  int events = 0;
  b->OnDataAvailable = [&](TObject*, uint16_t) { ++events; };
  b->OnSessionClosed = [&](TObject*, uint16_t) { ++events; };
  b->Connect();
  ASSERT_EQ(b->HSocket(), fd);  // the system hands out the lowest free descriptor
  ASSERT_TRUE(PumpUntil([&] { return b->State() == wsConnected; }));
  PostMessage(b->Handle(), WM_ASYNCSELECT, stale, FD_READ | FD_CLOSE);
  test::PumpFor(50);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(b->State(), wsConnected);
}

int OpenDescriptors() {
  int n = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++n;
  return n;
}

TEST(NetSocket, ListenOnATakenPortFailsWithoutLeakingTheDescriptor) {
  TLoopbackListener taken;
  TCustomNetSocket s(nullptr);
  s.SetAddr("127.0.0.1");
  s.SetPort(taken.Port());
  const int before = OpenDescriptors();
  try {
    s.Listen();
    FAIL() << "listened twice on one port";
  } catch (const ESocketException& e) {
    EXPECT_NE(e.Message().find("Error 10048 in function Bind"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("Address already in use (Winsock error #10048)"), std::string::npos);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
}

class TFreeWatch : public TComponent {
 public:
  using TComponent::TComponent;
  bool Freed = false;
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == opRemove) Freed = true;
  }
};

// PostFree from a handler that then pumps messages: the free waits until the
// handler has returned (ASan reports any use after free here).
TEST(NetSocket, PostFreeWaitsForTheRunningHandler) {
  TLoopbackListener l;
  TFreeWatch watch(nullptr);
  auto* c = new TCustomNetSocket(nullptr);
  c->FreeNotification(&watch);
  c->SetAddr("127.0.0.1");
  c->SetPort(l.Port());
  bool stillAlive = false;
  c->OnSessionConnected = [&](TObject*, uint16_t) {
    c->PostFree();
    test::PumpFor(30);
    stillAlive = !watch.Freed;
    c->SetTag(7);  // touches the object after the pump
  };
  c->Connect();
  ASSERT_TRUE(PumpUntil([&] { return watch.Freed; }));
  EXPECT_TRUE(stillAlive);
}

// Out of descriptors: accept fails, the listener keeps working and serves
// again once descriptors are free.
TEST(NetSocket, AcceptFailureDoesNotStopTheListener) {
  TLoopbackListener l;
  int failures = 0;
  l.Server->OnSessionAvailable = [&](TObject*, uint16_t) {
    try {
      const TSocket h = l.Server->Accept();
      auto s = std::make_unique<TCustomNetSocket>(nullptr);
      s->Dup(h);
      l.Accepted.push_back(std::move(s));
    } catch (const ESocketException&) {
      ++failures;
    }
  };
  rlimit old{};
  getrlimit(RLIMIT_NOFILE, &old);
  std::vector<std::unique_ptr<TCustomNetSocket>> clients;
  // Lower the limit so that only a dozen descriptors are free, then connect
  // more than fit (each connection needs two here).
  int limit = 0;
  for (int freeSeen = 0; freeSeen < 12; ++limit)
    if (fcntl(limit, F_GETFD) == -1) ++freeSeen;
  rlimit low = old;
  low.rlim_cur = static_cast<rlim_t>(limit);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  for (int i = 0; i < 10; ++i) {
    auto c = ConnectTo("127.0.0.1", l.Port());
    c->OnError = [](TObject*) {};
    c->Connect();
    if (c->HSocket() != INVALID_SOCKET) clients.push_back(std::move(c));
  }
  PumpUntil([&] { return failures > 0; }, 3000);
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_GT(failures, 0) << l.Accepted.size() << " accepted, " << clients.size() << " clients, limit " << low.rlim_cur;
  EXPECT_EQ(l.Server->State(), wsListening);
  const size_t before = l.Accepted.size();
  auto late = ConnectTo("127.0.0.1", l.Port());
  late->Connect();
  EXPECT_TRUE(PumpUntil([&] { return l.Accepted.size() > before; }));
}

}  // namespace
}  // namespace kv
