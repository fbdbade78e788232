// Line mode and synchronous waits of TNetSocket, with a raw loopback peer
// that sends exactly the bytes each case needs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "net/sync_socket.h"
#include "net_test_support.h"

namespace kv {
namespace {

using test::PumpFor;
using test::PumpUntil;
using test::TLoopbackListener;

struct TLinePair {
  TLoopbackListener Listener;
  std::unique_ptr<TNetSocket> Client = std::make_unique<TNetSocket>(nullptr);
  std::vector<std::string> Lines;
  int Closed = 0;

  TLinePair() {
    Client->SetAddr("127.0.0.1");
    Client->SetPort(Listener.Port());
    Client->SetLineMode(true);
    Client->OnDataAvailable = [this](TObject*, uint16_t) { Lines.push_back(Client->ReceiveStr()); };
    Client->OnSessionClosed = [this](TObject*, uint16_t) { ++Closed; };
    Client->Connect();
    EXPECT_TRUE(PumpUntil([&] { return Client->State() == wsConnected && !Listener.Accepted.empty(); }));
  }
  TCustomNetSocket& Peer() { return *Listener.Accepted.at(0); }
  // Returns once the client has read the bytes, so each call is a packet of its own.
  void PeerSends(const std::string& Bytes) {
    const int32_t before = Client->ReadCount();
    Peer().SendStr(Bytes);
    EXPECT_TRUE(PumpUntil([&] { return Client->ReadCount() >= before + static_cast<int32_t>(Bytes.size()); }));
    PumpFor(10);
  }
};

TEST(LineSocket, LinesArriveOneAtATimeWhateverThePackets) {
  TLinePair p;
  p.PeerSends("one\r\ntwo\r\n");  // two lines, one packet
  p.PeerSends("thr");
  p.PeerSends("ee\r");            // a line end split over two packets
  p.PeerSends("\nfour");
  EXPECT_EQ(p.Lines, (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n"}));
  p.Peer().Close();  // the text without a line end is the last line
  ASSERT_TRUE(PumpUntil([&] { return p.Closed == 1; }));
  EXPECT_EQ(p.Lines, (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n", "four"}));
}

TEST(LineSocket, LfLineEndAndSwitchingToRawData) {
  TLinePair p;
  p.Client->SetLineEnd("\n");
  std::string raw;
  p.Client->OnDataAvailable = [&](TObject*, uint16_t) {
    if (p.Client->LineMode()) {
      p.Lines.push_back(p.Client->ReceiveStr());
      p.Client->SetLineMode(false);  // the rest of the buffer is raw data now
    } else {
      raw += p.Client->ReceiveStr();
    }
  };
  p.PeerSends("header\nbody\nmore");
  EXPECT_EQ(p.Lines, (std::vector<std::string>{"header\n"}));
  EXPECT_TRUE(PumpUntil([&] { return raw == "body\nmore"; })) << raw;
  p.Peer().SendStr("+tail");
  EXPECT_TRUE(PumpUntil([&] { return raw == "body\nmore+tail"; })) << raw;
}

TEST(LineSocket, OverLongLineEndsTheConnectionWithBoundedMemory) {
  TLinePair p;
  p.Client->SetLineLimit(1024);
  p.PeerSends("short\r\n");
  const std::string flood(1 << 20, 'x');  // a megabyte without a line end
  p.Peer().SendStr(flood);
  ASSERT_TRUE(PumpUntil([&] { return p.Client->State() == wsClosed; }));
  EXPECT_EQ(p.Lines, (std::vector<std::string>{"short\r\n"}));
  EXPECT_LE(p.Client->LineBuffered(), 1024);
}

TEST(LineSocket, EditingAndEcho) {
  TLinePair p;
  p.Client->SetLineEdit(true);
  p.Client->SetLineEcho(true);
  std::string echoed;
  p.Peer().OnDataAvailable = [&](TObject*, uint16_t) { echoed += p.Peer().ReceiveStr(); };
  p.PeerSends("ab\bc\td\r\n");
  EXPECT_EQ(p.Lines, (std::vector<std::string>{"ac      d\r\n"}));
  EXPECT_TRUE(PumpUntil([&] { return echoed == "ab\bc      d\r\n"; })) << echoed;
}

TEST(SyncSocket, WaitsSleepUntilTheFlagOrTheDeadline) {
  TNetSocket s(nullptr);
  bool flag = false;
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  s.SetTimeout(300);
  const uint64_t t0 = TickCount64();
  EXPECT_EQ(s.WaitUntilDone(flag), 12001);
  const uint64_t waited = TickCount64() - t0;
  getrusage(RUSAGE_SELF, &after);
  EXPECT_GE(waited, 290u);
  EXPECT_LT(waited, 1500u);
  const double cpuMs = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000.0 +
                       (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1000.0 +
                       (after.ru_stime.tv_sec - before.ru_stime.tv_sec) * 1000.0 +
                       (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1000.0;
  EXPECT_LT(cpuMs, 100.0) << "a wait must sleep, not spin";
  // Time-out 0 never times out: the flag set by a posted message ends it.
  s.SetTimeout(0);
  HWND w = AllocateHWnd([&](TMessage&) { flag = true; });
  EXPECT_EQ(s.RunAndWait([&] { PostMessage(w, WM_USER, 0, 0); }, flag), 0);
  EXPECT_TRUE(flag);
  DeallocateHWnd(w);
}

TEST(SyncSocket, ConnectAndWaitForAReplyLine) {
  TLoopbackListener l;
  l.OnAccepted = [](TCustomNetSocket& s) { s.SendStr("220 ready\r\n"); };
  TNetSocket c(nullptr);
  c.SetTimeout(5000);
  bool done = false;
  std::string reply;
  c.SetLineMode(true);
  c.OnDataAvailable = [&](TObject*, uint16_t) {
    reply = c.ReceiveStr();
    done = true;
  };
  EXPECT_EQ(c.RunAndWait(
                [&] {
                  c.SetAddr("127.0.0.1");
                  c.SetPort(l.Port());
                  c.Connect();
                },
                done),
            0);
  EXPECT_EQ(reply, "220 ready\r\n");
}

}  // namespace
}  // namespace kv
