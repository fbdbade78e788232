// A local socket file bound at a path, as a running or a crashed editor
// leaves it, for the hand-over tests.
#pragma once
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "platform/system/instance_client.h"

namespace kv::test {

// The descriptor of a stream socket bound at Path, or -1. Close it to leave
// a socket file nobody listens on; listen() on it to make a listener that
// never answers.
inline int BindUnixSocket(const std::string& Path) {
  sockaddr_un addr;
  if (!MakeSocketAddress(Path, addr)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace kv::test
