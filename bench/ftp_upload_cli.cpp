// Uploads one file with the FTP client: ftp_upload_cli <port> <user> <password> <local file> <remote name>.
// The comparison script times it beside curl -T against the same server.
#include <cstdio>
#include <string>

#include "net/ftp_client.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: ftp_upload_cli port user password local remote\n");
    return 2;
  }
  kv::TFtpClient c(nullptr);
  c.SetHostName("127.0.0.1");
  c.SetPort(argv[1]);
  c.SetUserName(argv[2]);
  c.SetPassWord(argv[3]);
  c.SetPassive(true);
  c.SetTimeout(60);
  c.SetLocalFileName(argv[4]);
  c.SetHostFileName(argv[5]);
  if (!c.FullPut()) {
    std::fprintf(stderr, "%s\n", c.ErrorMessage().c_str());
    return 1;
  }
  return 0;
}
