#include "platform/system/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace kv {

namespace {

// Percent-encoding of a path for the "Path=" line: unreserved bytes and "/" stay.
std::string EncodePath(const std::string& Path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : Path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool WriteAll(int Fd, const std::string& Text) {
  size_t done = 0;
  while (done < Text.size()) {
    const ssize_t n = ::write(Fd, Text.data() + done, Text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

std::string HomeTrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data && *data == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.local/share";
  }
  if (base.empty() || base.back() != '/') base += '/';
  return base + "Trash/";
}

bool MoveToTrash(const std::string& Path, std::string& Error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path source = fs::absolute(Path, ec).lexically_normal();
  struct stat st {};
  if (ec || ::lstat(source.c_str(), &st) != 0) {
    Error = std::strerror(errno ? errno : ENOENT);
    return false;
  }
  const std::string trash = HomeTrashFolder();
  fs::create_directories(trash + "files", ec);
  fs::create_directories(trash + "info", ec);
  struct stat tst {};
  if (::stat((trash + "files").c_str(), &tst) != 0) {
    Error = "Der Papierkorb kann nicht angelegt werden";
    return false;
  }
  // The home trash holds files of its own file system only: a move there
  // from elsewhere would be a copy, which the trash does not promise.
  if (tst.st_dev != st.st_dev) {
    Error = "Die Datei liegt nicht auf dem Dateisystem des Papierkorbs";
    return false;
  }
  const std::string name = source.filename().string();
  const std::string stem = fs::path(name).stem().string(), ext = fs::path(name).extension().string();
  // The info file is made exclusively first: it reserves the name in the trash.
  for (int n = 1; n < 100000; ++n) {
    const std::string entry = n == 1 ? name : stem + "." + std::to_string(n) + ext;
    const std::string info = trash + "info/" + entry + ".trashinfo";
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      Error = std::strerror(errno);
      return false;
    }
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &local);
    const bool written = WriteAll(fd, "[Trash Info]\nPath=" + EncodePath(source.string()) + "\nDeletionDate=" + when + "\n");
    const bool closed = ::close(fd) == 0;
    const std::string target = trash + "files/" + entry;
    if (!written || !closed || ::access(target.c_str(), F_OK) == 0 || ::rename(source.c_str(), target.c_str()) != 0) {
      Error = std::strerror(errno ? errno : EIO);
      ::unlink(info.c_str());
      return false;
    }
    return true;
  }
  Error = "Im Papierkorb ist kein Name mehr frei";
  return false;
}

}  // namespace kv
