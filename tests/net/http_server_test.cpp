// The HTTP server against curl and raw loopback clients.
#include "net/http_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <future>
#include <sstream>
#include <thread>

#include "net_test_support.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::PumpFor;
using test::PumpUntil;

// curl runs in the background while the test thread keeps the server's loop going.
test::TToolRun RunWhilePumping(const std::string& Command, uint32_t TimeoutMs = 20000) {
  auto f = std::async(std::launch::async, [Command] { return test::RunTool(Command); });
  PumpUntil([&] { return f.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, TimeoutMs);
  return f.get();
}

struct HttpServer : ::testing::Test {
  test::TScratchFolder Folder{"http_"};  // removed with everything in it when the test ends
  std::string Root;
  std::string Outside;
  std::unique_ptr<THttpServer> Server = std::make_unique<THttpServer>(nullptr);
  std::string Port;
  int Connects = 0;

  void SetUp() override {
    if (!test::HaveTool("curl")) GTEST_SKIP() << "curl missing";
    ASSERT_FALSE(Folder.Path().empty());
    const std::string base = Folder.Path();
    Root = base + "/www";
    Outside = base + "/private";
    fs::create_directories(Root + "/a");
    fs::create_directories(Outside);
    test::WriteText(Root + "/index.html", "<p>home</p>");
    test::WriteText(Root + "/a/b.htm", "bee");
    std::string big(16384, 'x');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i * 7 % 26);
    test::WriteText(Root + "/big.txt", big);
    test::WriteText(Outside + "/secret.txt", "SECRET");
    fs::create_symlink(Outside + "/secret.txt", Root + "/link.txt");
    Server->SetAddr("127.0.0.1");
    Server->SetPort("0");
    Server->SetDocDir(Root);
    Server->OnClientConnect = [this](TObject*, TObject*, uint16_t) { ++Connects; };
    Server->Start();
    Port = Server->ListenPort();
  }
  void TearDown() override { Server.reset(); }
  std::string Url(const std::string& Path) { return "http://127.0.0.1:" + Port + Path; }
  // Headers and body of one curl call (-i), with curl's own errors.
  test::TToolRun Curl(const std::string& Args) { return RunWhilePumping("curl -s -i --max-time 10 " + Args + " 2>&1"); }
};

// A raw client: writes Request, collects everything until the server closes
// or the time is up.
std::string RawExchange(const std::string& Port, const std::string& Request, uint32_t Ms = 3000,
                        bool* ClosedByServer = nullptr) {
  TCustomNetSocket c(nullptr);
  std::string got;
  bool closed = false;
  c.SetAddr("127.0.0.1");
  c.SetPort(Port);
  c.OnSessionConnected = [&](TObject*, uint16_t) { c.SendStr(Request); };
  c.OnDataAvailable = [&](TObject*, uint16_t) { got += c.ReceiveStr(); };
  c.OnSessionClosed = [&](TObject*, uint16_t) { closed = true; };
  c.Connect();
  PumpUntil([&] { return closed; }, Ms);
  if (ClosedByServer) *ClosedByServer = closed;
  return got;
}

TEST_F(HttpServer, GetHeadAndNotFound) {
  const auto get = Curl(Url("/big.txt"));
  EXPECT_NE(get.Output.find("HTTP/1.0 200 OK\r\n"), std::string::npos) << get.Output;
  EXPECT_NE(get.Output.find("Content-Type: text/plain\r\n"), std::string::npos);
  EXPECT_NE(get.Output.find("Content-Length: 16384\r\n"), std::string::npos);
  EXPECT_EQ(get.Output.substr(get.Output.find("\r\n\r\n") + 4), test::ReadText(Root + "/big.txt"));
  EXPECT_EQ(get.Output.find("Server:"), std::string::npos);  // no version of ours goes out

  // HEAD: the same header, full length, no body.
  const auto head = Curl("-I " + Url("/big.txt"));
  EXPECT_EQ(head.Output, get.Output.substr(0, get.Output.find("\r\n\r\n") + 4));

  // "/" is the default document; a subfolder path maps below DocDir.
  EXPECT_NE(Curl(Url("/")).Output.find("<p>home</p>"), std::string::npos);
  std::string document, params;
  Server->OnGetDocument = [&](TObject*, TObject* Client, THttpGetFlag&) {
    document = static_cast<THttpConnection*>(Client)->Document();
    params = static_cast<THttpConnection*>(Client)->Params();
  };
  EXPECT_NE(Curl(Url("/a/b.htm?x=1")).Output.find("\r\n\r\nbee"), std::string::npos);
  EXPECT_EQ(document, Root + "/a/b.htm");
  EXPECT_EQ(params, "x=1");

  // The 404 page shows the path escaped.
  const auto missing = Curl("--path-as-is '" + Url("/<script>alert(1)</script>") + "'");
  EXPECT_NE(missing.Output.find("HTTP/1.0 404 Not Found\r\n"), std::string::npos) << missing.Output;
  EXPECT_EQ(missing.Output.find("<script>"), std::string::npos);
  EXPECT_NE(missing.Output.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  const auto headMissing = Curl("-I " + Url("/nothing"));
  EXPECT_NE(headMissing.Output.find("404 Not Found"), std::string::npos);
  EXPECT_EQ(headMissing.Output.find("<HTML>"), std::string::npos);
}

TEST_F(HttpServer, RawRequestsFollowTheProtocolRules) {
  bool closed = false;
  // Without a version the answer is still HTTP/1.0, and a claimed version is never echoed.
  std::string a = RawExchange(Port, "GET /a/b.htm\r\n\r\n");
  EXPECT_EQ(a.substr(0, 17), "HTTP/1.0 200 OK\r\n") << a;
  a = RawExchange(Port, "GET /a/b.htm HTTP/7.7<x>\r\n\r\n");
  EXPECT_EQ(a.substr(0, 17), "HTTP/1.0 200 OK\r\n") << a;
  // Another method: 404 and the connection closed.
  a = RawExchange(Port, "PUT /a/b.htm HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc", 3000, &closed);
  EXPECT_EQ(a.substr(0, 24), "HTTP/1.0 404 Not Found\r\n") << a;
  EXPECT_TRUE(closed);
  // Three pipelined requests in one packet are answered, in order.
  a = RawExchange(Port,
                  "GET /a/b.htm HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"
                  "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"
                  "GET /a/b.htm HTTP/1.0\r\n\r\n",
                  3000, &closed);
  const size_t first = a.find("\r\n\r\nbee"), second = a.find("<p>home</p>"), third = a.rfind("\r\n\r\nbee");
  ASSERT_NE(first, std::string::npos) << a;
  ASSERT_NE(second, std::string::npos) << a;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_NE(third, first);
  EXPECT_TRUE(closed);  // the last one did not ask to keep the connection
}

TEST_F(HttpServer, KeepAliveServesSeveralRequestsOnOneConnection) {
  const auto r = Curl("-H 'Connection: Keep-Alive' " + Url("/a/b.htm") + " " + Url("/big.txt") + " " + Url("/"));
  EXPECT_NE(r.Output.find("\r\n\r\nbee"), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find(test::ReadText(Root + "/big.txt")), std::string::npos);
  EXPECT_NE(r.Output.find("<p>home</p>"), std::string::npos);
  EXPECT_EQ(Connects, 1);
}

TEST_F(HttpServer, NothingOutsideTheDocumentFolder) {
  for (const std::string path : {"/../private/secret.txt", "/%2e%2e/private/secret.txt", "/a/..%2f..%2fprivate/secret.txt",
                                 "/a/%2E%2E/%2E%2E/private/secret.txt", "/..%5cprivate%5csecret.txt", "/link.txt",
                                 "/a/b.htm%00.txt", "/%zz"}) {
    const auto r = Curl("--path-as-is '" + Url(path) + "'");
    EXPECT_EQ(r.Output.find("SECRET"), std::string::npos) << path;
    EXPECT_NE(r.Output.find("404 Not Found"), std::string::npos) << path << "\n" << r.Output;
  }
  // A raw request, as no client would normalise it.
  const std::string raw = RawExchange(Port, "GET /../../../../../../etc/passwd HTTP/1.0\r\n\r\n");
  EXPECT_NE(raw.find("404 Not Found"), std::string::npos);
  EXPECT_EQ(raw.find("root:"), std::string::npos);
}

TEST_F(HttpServer, OverLongLinesAndTooManyHeaders) {
  const auto longUrl = Curl("'" + Url("/" + std::string(10000, 'a')) + "'");
  EXPECT_NE(longUrl.Output.find("HTTP/1.0 414"), std::string::npos) << longUrl.Output.substr(0, 200);
  const auto longHeader = Curl("-H 'X-Long: " + std::string(10000, 'h') + "' " + Url("/"));
  EXPECT_NE(longHeader.Output.find("HTTP/1.0 431"), std::string::npos) << longHeader.Output.substr(0, 200);
  std::string many;
  for (int i = 0; i < 150; ++i) many += " -H 'X-H" + std::to_string(i) + ": v'";
  const auto manyHeaders = Curl(many + " " + Url("/"));
  EXPECT_NE(manyHeaders.Output.find("HTTP/1.0 431"), std::string::npos) << manyHeaders.Output.substr(0, 200);
  // The server goes on serving.
  EXPECT_NE(Curl(Url("/a/b.htm")).Output.find("200 OK"), std::string::npos);
}

TEST_F(HttpServer, SlowClientsTimeOut) {
  Server->Stop();
  Server->SetReadTimeout(300);
  Server->Start();
  Port = Server->ListenPort();
  bool closed = false;
  const uint64_t t0 = TickCount64();
  // Half a request, then nothing.
  RawExchange(Port, "GET / HTTP/1.0\r\nHost: x\r\n", 5000, &closed);
  EXPECT_TRUE(closed);
  EXPECT_LT(TickCount64() - t0, 4000u);
  // A connection that never says anything is closed too.
  closed = false;
  RawExchange(Port, "", 5000, &closed);
  EXPECT_TRUE(closed);
}

TEST_F(HttpServer, ClientsAboveTheMaximumGetBusy) {
  Server->SetMaxClients(1);
  TCustomNetSocket holder(nullptr);
  holder.SetAddr("127.0.0.1");
  holder.SetPort(Port);
  holder.Connect();
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 1; }));
  const auto busy = Curl(Url("/a/b.htm"));
  EXPECT_NE(busy.Output.find("HTTP/1.0 503 Service Unavailable\r\n"), std::string::npos) << busy.Output;
  // curl read exactly the announced body: no complaint about the length.
  EXPECT_NE(busy.Output.find("</HTML>\r\n"), std::string::npos);
  holder.Close();
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
  EXPECT_NE(Curl(Url("/a/b.htm")).Output.find("200 OK"), std::string::npos);
}

TEST_F(HttpServer, FiveHundredSlowConnectionsDoNotHoldTheServer) {
  rlimit lim{};
  getrlimit(RLIMIT_NOFILE, &lim);
  if (lim.rlim_cur < 1200 && lim.rlim_max >= 1200) {
    lim.rlim_cur = 1200;
    setrlimit(RLIMIT_NOFILE, &lim);
  }
  std::vector<std::unique_ptr<TCustomNetSocket>> slow;
  int connected = 0;
  for (int i = 0; i < 500; ++i) {
    auto c = std::make_unique<TCustomNetSocket>(nullptr);
    c->SetAddr("127.0.0.1");
    c->SetPort(Port);
    TCustomNetSocket* raw = c.get();
    c->OnSessionConnected = [&connected, raw](TObject*, uint16_t e) {
      if (e) return;
      ++connected;
      raw->SendStr("GET /big.txt HTTP/1.0\r\nHost: slow\r\n");  // and never the end of the header
    };
    c->Connect();
    slow.push_back(std::move(c));
  }
  ASSERT_TRUE(PumpUntil([&] { return connected == 500 && Server->ClientCount() == 500; }, 20000))
      << connected << " " << Server->ClientCount();
  const uint64_t t0 = TickCount64();
  const auto fresh = Curl(Url("/a/b.htm"));
  const uint64_t took = TickCount64() - t0;
  EXPECT_NE(fresh.Output.find("\r\n\r\nbee"), std::string::npos) << fresh.Output;
  EXPECT_LT(took, 3000u);  // generous: sanitizer builds on a busy machine
  // The slow ones are still held, not dropped, once curl's own connection
  // has been closed by its posted close.
  EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 500; }, 10000)) << Server->ClientCount();
}

TEST_F(HttpServer, SurvivesRunningOutOfDescriptors) {
  if (!test::HaveTool("python3")) GTEST_SKIP() << "python3 missing";
  const std::string script = Folder.Path() + "/flood.py";
  test::WriteText(script,
                  "import resource, socket, sys, time\n"
                  "soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)\n"
                  "resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 4096), hard))\n"
                  "socks = []\n"
                  "for i in range(400):\n"
                  "    s = socket.socket()\n"
                  "    s.settimeout(2)\n"
                  "    try:\n"
                  "        s.connect(('127.0.0.1', int(sys.argv[1])))\n"
                  "        s.sendall(b'GET /a/b.htm HTTP/1.0\\r\\n\\r\\n')\n"
                  "    except OSError:\n"
                  "        pass\n"
                  "    socks.append(s)\n"
                  "time.sleep(1)\n"
                  "for s in socks: s.close()\n"
                  "print('done')\n");
  rlimit old{};
  getrlimit(RLIMIT_NOFILE, &old);
  rlimit low = old;
  low.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const auto flood = RunWhilePumping("python3 " + script + " " + Port, 60000);
  PumpFor(500);
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_NE(flood.Output.find("done"), std::string::npos) << flood.Output;
  EXPECT_TRUE(Server->Listening());
  ASSERT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }, 10000)) << Server->ClientCount();
  EXPECT_NE(Curl(Url("/a/b.htm")).Output.find("\r\n\r\nbee"), std::string::npos);
}

// Keep-alive requests for a small file from a blocking client on its own
// thread; true when every answer came whole.
bool KeepAliveRequests(const std::string& Port, int Count, int64_t BodySize) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  timeval tv{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(std::stoi(Port)));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  const std::string request = "GET /big.txt HTTP/1.0\r\nConnection: keep-alive\r\n\r\n";
  std::string got;
  for (int i = 0; ok && i < Count; ++i) {
    ok = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    got.clear();
    size_t want = std::string::npos;
    char buf[65536];
    while (ok && (want == std::string::npos || got.size() < want)) {
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) ok = false;
      else got.append(buf, static_cast<size_t>(n));
      const size_t end = got.find("\r\n\r\n");
      if (want == std::string::npos && end != std::string::npos) want = end + 4 + static_cast<size_t>(BodySize);
    }
    ok = ok && got.size() == want && got.compare(0, 17, "HTTP/1.0 200 OK\r\n") == 0;
  }
  ::close(fd);
  return ok;
}

TEST_F(HttpServer, FewSystemCallsPerKeepAliveRequest) {
  if (!test::HaveTool("strace")) GTEST_SKIP() << "strace missing";
  // Only this thread is traced: it runs the server; the client runs on another.
  prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
  const std::string trace = Folder.Path() + "/trace.txt";
  const std::string log = Folder.Path() + "/strace.log";
  auto serve = [&](int Count) {
    auto client = std::async(std::launch::async, [&] { return KeepAliveRequests(Port, Count, 16384); });
    PumpUntil([&] { return client.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 30000);
    return client.get();
  };
  ASSERT_TRUE(serve(20));  // the file is open and cached, the loop warm

  const std::string self = std::to_string(::getpid());
  const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(logFd, 0);
  const pid_t tracer = ::fork();
  if (tracer == 0) {
    ::dup2(logFd, 2);
    ::execlp("strace", "strace", "-o", trace.c_str(), "-p", self.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(logFd);
  ASSERT_GT(tracer, 0);
  auto logText = [&] {
    std::ifstream in(log);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  const bool attached = PumpUntil([&] { return logText().find("attached") != std::string::npos; }, 10000);
  if (!attached) {
    ::kill(tracer, SIGKILL);
    ::waitpid(tracer, nullptr, 0);
    GTEST_SKIP() << "strace cannot attach here: " << logText();
  }
  constexpr int kRequests = 200;
  const bool served = serve(kRequests);
  ::kill(tracer, SIGINT);
  int status = 0;
  ::waitpid(tracer, &status, 0);
  ASSERT_TRUE(served);
  std::ifstream in(trace);
  std::string line;
  int calls = 0;
  std::map<std::string, int> byName;
  while (std::getline(in, line)) {
    const size_t paren = line.find('(');
    if (paren == std::string::npos || paren == 0 || line[0] < 'a' || line[0] > 'z') continue;
    const std::string name = line.substr(0, paren);
    ++byName[name];
    // The allocator's own mappings (plenty under the sanitizers) are no
    // work of the server's.
    if (name != "mmap" && name != "munmap" && name != "madvise" && name != "mprotect" && name != "brk") ++calls;
  }
  std::string summary;
  for (const auto& [name, n] : byName) summary += name + " " + std::to_string(n) + "\n";
  // Waiting for the next request counts too; the room above is for the
  // calls around attaching and detaching, once per run.
  EXPECT_LE(calls, kRequests * 8 + 40) << summary;
  // None per request; the client's hang-up at the end may be seen before the
  // tracer lets go, and that one asks what is left to read.
  EXPECT_LE(byName["ioctl"], 1) << summary;
  // The connection's interest in the epoll set stays as it is between
  // requests: only its arrival (the listener asked again, the connection
  // added) and its end (removed) change the set.
  EXPECT_LE(byName["epoll_ctl"], 4) << summary;
  EXPECT_GE(byName["sendfile"], kRequests) << summary;
  RecordProperty("SystemCallsPerRequest", std::to_string(static_cast<double>(calls) / kRequests));
}

// One answer from a blocking socket: the head, and a body of its
// Content-Length; false when the connection ended first.
bool ReadAnswer(int Fd, std::string& Pending, std::string& Head, std::string& Body) {
  char buf[65536];
  size_t end;
  while ((end = Pending.find("\r\n\r\n")) == std::string::npos) {
    const ssize_t n = ::recv(Fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    Pending.append(buf, static_cast<size_t>(n));
  }
  Head = Pending.substr(0, end + 4);
  const size_t at = Head.find("Content-Length: ");
  if (at == std::string::npos) return false;
  const size_t length = std::stoul(Head.substr(at + 16));
  while (Pending.size() < end + 4 + length) {
    const ssize_t n = ::recv(Fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    Pending.append(buf, static_cast<size_t>(n));
  }
  Body = Pending.substr(end + 4, length);
  Pending.erase(0, end + 4 + length);
  return true;
}

TEST_F(HttpServer, LargeFileToAStalledReaderAndChangedFilesOnOneConnection) {
  // Far more than the socket buffers hold: the answer waits on the reader.
  std::string large(8 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 2654435761u) >> 13);
  test::WriteText(Root + "/large.bin", large);
  std::promise<void> go;
  std::shared_future<void> goSeen = go.get_future().share();
  std::string failure;
  auto client = std::async(std::launch::async, [&]() -> bool {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    timeval tv{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(std::stoi(Port)));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto ask = [&](const std::string& Path) {
      const std::string r = "GET " + Path + " HTTP/1.0\r\nConnection: keep-alive\r\n\r\n";
      return ::send(fd, r.data(), r.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(r.size());
    };
    std::string pending, head, body;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ask("/large.bin");
    goSeen.wait();  // the answer piles up meanwhile
    ok = ok && ReadAnswer(fd, pending, head, body);
    if (ok && body != large) failure = "large body differs, " + std::to_string(body.size()) + " bytes";
    // The same connection: a file rewritten, then removed, between requests.
    ok = ok && ask("/a/b.htm") && ReadAnswer(fd, pending, head, body);
    if (ok && body != "bee") failure += " first b.htm: " + body;
    test::WriteText(Root + "/a/b.htm", "changed");
    fs::last_write_time(Root + "/a/b.htm", fs::last_write_time(Root + "/a/b.htm") + std::chrono::seconds(5));
    ok = ok && ask("/a/b.htm") && ReadAnswer(fd, pending, head, body);
    if (ok && body != "changed") failure += " changed b.htm: " + body;
    fs::remove(Root + "/a/b.htm");
    ok = ok && ask("/a/b.htm") && ReadAnswer(fd, pending, head, body);
    if (ok && head.compare(0, 24, "HTTP/1.0 404 Not Found\r\n") != 0) failure += " removed b.htm: " + head;
    ::close(fd);
    return ok;
  });
  // While that answer is stuck, others are served.
  EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 1; }, 10000));
  const auto other = Curl(Url("/big.txt"));
  EXPECT_EQ(other.Output.substr(other.Output.find("\r\n\r\n") + 4), test::ReadText(Root + "/big.txt"));
  go.set_value();
  ASSERT_TRUE(PumpUntil([&] { return client.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; },
                        60000));
  EXPECT_TRUE(client.get()) << failure;
  EXPECT_EQ(failure, "");
}

// Reads a whole opened document through its descriptor.
std::string ReadOpened(const THttpOpenDocument& Doc) {
  std::string out(static_cast<size_t>(Doc.Size), '\0');
  const ssize_t n = ::pread(Doc.File->Fd(), out.data(), out.size(), 0);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

TEST(HttpDocRoot, ResolvesBeneathTheFolderAndNoticesChanges) {
  test::TScratchFolder folder{"docroot_"};
  const std::string root = folder.Path() + "/www";
  fs::create_directories(root + "/sub");
  fs::create_directories(folder.Path() + "/private");
  test::WriteText(root + "/a.txt", "one");
  test::WriteText(root + "/sub/index.html", "idx");
  test::WriteText(folder.Path() + "/private/secret.txt", "SECRET");
  fs::create_symlink(folder.Path() + "/private/secret.txt", root + "/out.txt");
  fs::create_symlink(root + "/a.txt", root + "/in.txt");  // even a link that stays inside
  fs::create_symlink(folder.Path() + "/private", root + "/dir");
  ::mkfifo((root + "/pipe").c_str(), 0600);
  THttpDocRoot docs(root);
  THttpOpenDocument d;
  for (const std::string path : {"/out.txt", "/in.txt", "/dir/secret.txt", "/../private/secret.txt", "/sub",
                                 "/pipe", "/missing", "/sub/%2e%2e/%2e%2e/private/secret.txt"})
    EXPECT_FALSE(docs.Open(path, "index.html", d)) << path;
  EXPECT_FALSE(docs.Open("/sub/", "../a.txt", d));  // a default document that climbs

  ASSERT_TRUE(docs.Open("/sub/", "index.html", d));
  EXPECT_EQ(d.Name, root + "/sub/index.html");
  EXPECT_EQ(ReadOpened(d), "idx");
  ASSERT_TRUE(docs.Open("/a.txt", "index.html", d));
  EXPECT_EQ(ReadOpened(d), "one");
  const int cachedFd = d.File->Fd();
  ASSERT_TRUE(docs.Open("/a.txt", "index.html", d));
  EXPECT_EQ(d.File->Fd(), cachedFd);  // unchanged: the same open file

  // Rewritten in place with another time, replaced, or swapped for a link:
  // each is noticed before the next answer.
  test::WriteText(root + "/a.txt", "two!");
  fs::last_write_time(root + "/a.txt", fs::last_write_time(root + "/a.txt") + std::chrono::seconds(5));
  ASSERT_TRUE(docs.Open("/a.txt", "index.html", d));
  EXPECT_EQ(ReadOpened(d), "two!");
  test::WriteText(root + "/new.txt", "three");
  fs::rename(root + "/new.txt", root + "/a.txt");
  ASSERT_TRUE(docs.Open("/a.txt", "index.html", d));
  EXPECT_EQ(ReadOpened(d), "three");
  fs::remove(root + "/a.txt");
  fs::create_symlink(folder.Path() + "/private/secret.txt", root + "/a.txt");
  EXPECT_FALSE(docs.Open("/a.txt", "index.html", d));
  fs::remove(root + "/a.txt");
  EXPECT_FALSE(docs.Open("/a.txt", "index.html", d));
}

TEST(HttpDocRoot, CachedDescriptorsAreGivenBackWhenDescriptorsRunOut) {
  test::TScratchFolder folder{"docroot_"};
  const std::string root = folder.Path() + "/www";
  fs::create_directories(root);
  for (int i = 0; i < 8; ++i) test::WriteText(root + "/f" + std::to_string(i) + ".txt", std::to_string(i));
  test::WriteText(root + "/late.txt", "late");
  THttpDocRoot docs(root);
  THttpOpenDocument d;
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(docs.Open("/f" + std::to_string(i) + ".txt", "", d));
  d = THttpOpenDocument{};  // only the cache holds them now
  // No descriptor above the lowest free one may be had.
  const int next = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(next, 0);
  ::close(next);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  rlimit low = old;
  low.rlim_cur = static_cast<rlim_t>(next);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool opened = docs.Open("/late.txt", "", d);
  setrlimit(RLIMIT_NOFILE, &old);
  ASSERT_TRUE(opened);
  EXPECT_EQ(ReadOpened(d), "late");
}

TEST(HttpRequest, PathDecodingAndMapping) {
  struct TCase {
    std::string Path;
    bool Ok;
    std::vector<std::string> Segments;
  };
  for (const TCase& t : {TCase{"/a/b.htm", true, {"a", "b.htm"}}, TCase{"/a%20b/c", true, {"a b", "c"}},
                         TCase{"/./a//b/", true, {"a", "b"}}, TCase{"/..", false, {}}, TCase{"/a/%2e%2E", false, {}},
                         TCase{"/a\\..\\b", false, {}}, TCase{"/a%00b", false, {}}, TCase{"/a%4", false, {}},
                         TCase{"/a%g0", false, {}}, TCase{"/...", true, {"..."}}}) {
    std::vector<std::string> segs;
    bool folder = false;
    EXPECT_EQ(DecodeRequestPath(t.Path, segs, folder), t.Ok) << t.Path;
    if (t.Ok) {
      EXPECT_EQ(segs, t.Segments) << t.Path;
    }
  }
  EXPECT_EQ(JoinDocument("/srv/www", "/", "index.html"), "/srv/www/index.html");
  EXPECT_EQ(JoinDocument("/srv/www", "a/b.htm", "index.html"), "/srv/www/a/b.htm");
  EXPECT_EQ(DocumentContentType("x/PIC.JPEG"), "image/jpeg");
  EXPECT_EQ(DocumentContentType("x.y/noext"), "application/binary");
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
  THttpRequestHead h;
  ParseRequestLine("get /p?q=1?r  http/1.1 ", h);
  EXPECT_EQ(h.Method, "GET");
  EXPECT_EQ(h.Path, "/p");
  EXPECT_EQ(h.Params, "q=1?r");
  EXPECT_EQ(h.Version, "HTTP/1.1");
  EXPECT_EQ(ParseHeaderLine("Content-Length: 12x", h), hlMore);
  EXPECT_EQ(h.ContentLength, 0);  // a bad number is ignored
  ParseHeaderLine("CONNECTION:   keep-alive", h);
  EXPECT_EQ(h.Connection, "keep-alive");
  EXPECT_EQ(ParseHeaderLine("", h), hlComplete);
}

}  // namespace
}  // namespace kv
