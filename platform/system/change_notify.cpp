#include "platform/system/change_notify.h"

#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace kv {

namespace {

struct TWatch {
  uint32_t Filter = 0;
  int32_t RootWd = -1;
  bool Subtree = false;
  std::map<int, std::string> Dirs;  // watch descriptor -> folder
};

std::mutex gLock;
std::map<int32_t, TWatch> gWatches;

uint32_t MaskFor(uint32_t Filter) {
  uint32_t m = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  if (Filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))
    m |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
  if (Filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY)) m |= IN_ATTRIB;
  if (Filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) m |= IN_MODIFY | IN_CLOSE_WRITE;
  return m;
}

// Subfolders are watched one by one; links are not followed, so a loop of
// links adds nothing.
void AddTree(int Fd, TWatch& W, const std::string& Dir, int Depth) {
  const int wd = inotify_add_watch(Fd, Dir.c_str(), MaskFor(W.Filter) | IN_DONT_FOLLOW);
  if (wd < 0) return;
  W.Dirs[wd] = Dir;
  if (Depth > 64) return;
  DIR* d = ::opendir(Dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    if (e->d_type != DT_DIR || !std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    AddTree(Fd, W, Dir + "/" + e->d_name, Depth + 1);
  }
  ::closedir(d);
}

bool Matches(const inotify_event& E, const TWatch& W) {
  if (E.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) return E.wd == W.RootWd || (E.mask & IN_Q_OVERFLOW);
  const bool dir = E.mask & IN_ISDIR;
  if (E.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
    return (W.Filter & (dir ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)) != 0;
  if (E.mask & IN_ATTRIB) return (W.Filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY)) != 0;
  if (E.mask & (IN_MODIFY | IN_CLOSE_WRITE)) return (W.Filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) != 0;
  return false;
}

}  // namespace

int32_t OpenChangeNotification(const std::string& Path, bool WatchSubtree, uint32_t Filter) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return -1;
  TWatch w;
  w.Filter = Filter;
  w.Subtree = WatchSubtree;
  w.RootWd = inotify_add_watch(fd, Path.c_str(), MaskFor(Filter));
  if (w.RootWd < 0) {
    ::close(fd);
    return -1;
  }
  w.Dirs[w.RootWd] = Path;
  if (WatchSubtree) {
    DIR* d = ::opendir(Path.c_str());
    while (d)
      if (dirent* e = ::readdir(d)) {
        if (e->d_type == DT_DIR && std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
          AddTree(fd, w, Path + "/" + e->d_name, 1);
      } else {
        break;
      }
    if (d) ::closedir(d);
  }
  std::lock_guard<std::mutex> lock(gLock);
  gWatches[fd] = std::move(w);
  return fd;
}

TChangeWait WaitChangeNotification(int32_t Handle, uint32_t TimeoutMs) {
  TWatch w;
  {
    std::lock_guard<std::mutex> lock(gLock);
    const auto it = gWatches.find(Handle);
    if (it == gWatches.end()) return cwFailed;
    w = it->second;
  }
  pollfd p{Handle, POLLIN, 0};
  const int r = ::poll(&p, 1, int(TimeoutMs));
  if (r < 0) return errno == EINTR ? cwTimeout : cwFailed;
  if (r == 0) return cwTimeout;
  alignas(inotify_event) char buf[8192];
  bool fired = false;
  for (;;) {
    const ssize_t n = ::read(Handle, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n;) {
      inotify_event e;
      std::memcpy(&e, buf + i, sizeof e);
      if (Matches(e, w)) fired = true;
      i += ssize_t(sizeof(inotify_event) + e.len);
    }
  }
  return fired ? cwFired : cwTimeout;
}

void CloseChangeNotification(int32_t Handle) {
  if (Handle < 0) return;
  {
    std::lock_guard<std::mutex> lock(gLock);
    gWatches.erase(Handle);
  }
  ::close(Handle);
}

}  // namespace kv
