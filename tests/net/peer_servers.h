// Real servers for the client tests, started by the test on loopback: a child
// process that prints the port it listens on as its first line, and is killed
// when the test is done.
#pragma once
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kv::test {

// Debian's interpreter, where the packaged server modules live.
inline const char* kSystemPython = "/usr/bin/python3";

class TPeerProcess {
 public:
  // Runs Argv; waits up to TimeoutMs for the first line of its standard output.
  bool Start(const std::vector<std::string>& Argv, int TimeoutMs = 15000) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    FPid = ::fork();
    if (FPid < 0) return false;
    if (FPid == 0) {
      ::dup2(out[1], 1);
      ::setpgid(0, 0);
      std::vector<char*> args;
      for (const auto& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    FOut = out[0];
    std::string line;
    while (line.find('\n') == std::string::npos) {
      pollfd p{FOut, POLLIN, 0};
      if (::poll(&p, 1, TimeoutMs) <= 0) return false;
      char buf[256];
      const ssize_t n = ::read(FOut, buf, sizeof buf);
      if (n <= 0) return false;
      line.append(buf, size_t(n));
    }
    FFirstLine = line.substr(0, line.find('\n'));
    return true;
  }
  const std::string& FirstLine() const { return FFirstLine; }
  // Kills the process (and what it started) at once, as a crash would.
  void Stop() {
    if (FPid > 0) {
      ::kill(-FPid, SIGKILL);
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    FPid = -1;
  }
  ~TPeerProcess() {
    Stop();
    if (FOut >= 0) ::close(FOut);
  }

 private:
  pid_t FPid = -1;
  int FOut = -1;
  std::string FFirstLine;
};

inline bool HavePythonModule(const std::string& Module) {
  return std::system((std::string(kSystemPython) + " -c 'import " + Module + "' >/dev/null 2>&1").c_str()) == 0;
}

// A loopback port nobody listens on now, for servers that cannot report theirs.
inline int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// Waits (through a helper process) until something accepts on Port.
inline bool WaitForPort(TPeerProcess& Helper, const std::string& Port) {
  return Helper.Start({kSystemPython, "-c",
                       "import socket, sys, time\n"
                       "for i in range(150):\n"
                       "    try:\n"
                       "        socket.create_connection(('127.0.0.1', int(sys.argv[1])), 1).close()\n"
                       "        print(sys.argv[1], flush=True)\n"
                       "        break\n"
                       "    except OSError:\n"
                       "        time.sleep(0.1)\n",
                       Port});
}

// dovecot as a POP3 server on a free loopback port, in the foreground with a
// configuration of its own under Dir: the user kv with the password secret,
// whose mailbox holds Message (when not empty). Its log is Dir + "dovecot.log".
// False when it does not come up.
inline bool StartDovecotPop3(const std::string& Dir, TPeerProcess& Dovecot, TPeerProcess& Ready, std::string& Port,
                             const std::string& Message = "") {
  namespace fs = std::filesystem;
  const std::string d = Dir;
  // The mail processes run as nobody and must reach the mailbox.
  fs::permissions(d, fs::perms::all);
  for (const char* sub : {"run", "state", "mail/kv/new", "mail/kv/cur", "mail/kv/tmp"}) fs::create_directories(d + sub);
  auto write = [](const std::string& Name, const std::string& Text) { std::ofstream(Name, std::ios::binary) << Text; };
  if (!Message.empty()) write(d + "mail/kv/new/1.test:2,", Message);
  for (const auto& e : fs::recursive_directory_iterator(d + "mail")) fs::permissions(e.path(), fs::perms::all);
  fs::permissions(d + "mail", fs::perms::all);
  write(d + "users", "kv:{PLAIN}secret::::::\n");
  Port = std::to_string(FreePort());
  write(d + "dovecot.conf",
        "base_dir = " + d + "run\nstate_dir = " + d + "state\nlog_path = " + d + "dovecot.log\n"
        "protocols = pop3\nlisten = 127.0.0.1\nssl = no\ndisable_plaintext_auth = no\n"
        "auth_mechanisms = plain apop\nfirst_valid_uid = 1\nmail_location = maildir:" + d + "mail/%u\n"
        "passdb {\n driver = passwd-file\n args = " + d + "users\n}\n"
        "userdb {\n driver = static\n args = uid=65534 gid=65534 home=" + d + "mail/%u\n}\n"
        "service pop3-login {\n inet_listener pop3 {\n address = 127.0.0.1\n port = " + Port + "\n }\n}\n"
        "service imap-login {\n inet_listener imap {\n port = 0\n }\n}\n"
        "service anvil {\n chroot =\n}\n");
  // dovecot prints nothing: its start is seen by the port answering.
  Dovecot.Start({"/bin/sh", "-c", "exec /usr/sbin/dovecot -F -c " + d + "dovecot.conf >/dev/null 2>&1"}, 0);
  return WaitForPort(Ready, Port);
}

}  // namespace kv::test
