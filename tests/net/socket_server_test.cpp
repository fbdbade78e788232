// The socket server: banners, the busy text above MaxClients, client names,
// failed accepts and the freeing of closed clients.
#include "net/socket_server.h"

#include <gtest/gtest.h>

#include "net_test_support.h"

namespace kv {
namespace {

using test::PumpFor;
using test::PumpUntil;

struct TPeer {
  std::unique_ptr<TCustomNetSocket> S = std::make_unique<TCustomNetSocket>(nullptr);
  std::string Got;
  bool Closed = false;
  explicit TPeer(const std::string& Port) {
    S->SetAddr("127.0.0.1");
    S->SetPort(Port);
    S->OnDataAvailable = [this](TObject*, uint16_t) { Got += S->ReceiveStr(); };
    S->OnSessionClosed = [this](TObject*, uint16_t) { Closed = true; };
    S->Connect();
  }
};

struct SocketServer : ::testing::Test {
  std::unique_ptr<TNetSocketServer> Server = std::make_unique<TNetSocketServer>(nullptr);
  std::vector<std::string> Names;
  std::vector<std::string> Log;
  void SetUp() override {
    Server->SetAddr("127.0.0.1");
    Server->SetPort("0");
    Server->OnClientConnect = [this](TObject*, TNetSocketClient* c, uint16_t) {
      Names.push_back(c->Name());
      Log.push_back("connect");
    };
    Server->OnClientDisconnect = [this](TObject*, TNetSocketClient*, uint16_t) { Log.push_back("disconnect"); };
    Server->Listen();
  }
  std::string Port() { return Server->GetXPort(); }
};

TEST_F(SocketServer, BannerBusyTextAndNames) {
  Server->SetMaxClients(1);
  TPeer first(Port());
  ASSERT_TRUE(PumpUntil([&] { return first.Got == "Welcome to TcpSrv\r\n"; }));
  TPeer second(Port());
  ASSERT_TRUE(PumpUntil([&] { return second.Closed; }));
  EXPECT_EQ(second.Got, "Sorry, too many clients\r\n");
  PumpFor(50);
  EXPECT_FALSE(first.Closed);
  EXPECT_EQ(first.S->State(), wsConnected);
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 1; }));
  // Freed clients leave the list; names keep counting.
  first.S->Close();
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
  TPeer third(Port());
  ASSERT_TRUE(PumpUntil([&] { return third.Got == "Welcome to TcpSrv\r\n"; }));
  EXPECT_EQ(Names, (std::vector<std::string>{"Client1", "Client2", "Client3"}));
  EXPECT_EQ(Log, (std::vector<std::string>{"connect", "connect", "disconnect", "disconnect", "connect"}));
}

TEST_F(SocketServer, FailedAcceptNotificationCreatesNoClient) {
  PostMessage(Server->Handle(), WM_ASYNCSELECT, SocketToken(Server->HSocket()),
              FD_ACCEPT | (LPARAM(WSAECONNABORTED) << 16));
  PumpFor(50);
  EXPECT_EQ(Server->ClientCount(), 0);
  EXPECT_EQ(Server->ClientCounter(), 0);
  EXPECT_EQ(Server->State(), wsListening);
}

TEST_F(SocketServer, IdleClientsTimeOut) {
  Server->SetClientTimeout(200);
  TPeer idle(Port());
  const uint64_t t0 = TickCount64();
  ASSERT_TRUE(PumpUntil([&] { return idle.Closed; }, 3000));
  EXPECT_GE(TickCount64() - t0, 150u);
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
}

}  // namespace
}  // namespace kv
