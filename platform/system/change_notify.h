// Folder change notifications over inotify: a handle that fires when
// something of the chosen kinds changes in a folder (or its subtree).
#pragma once
#include <cstdint>
#include <string>

namespace kv {

// What is watched, in the classic bit values.
constexpr uint32_t FILE_NOTIFY_CHANGE_FILE_NAME = 0x001;
constexpr uint32_t FILE_NOTIFY_CHANGE_DIR_NAME = 0x002;
constexpr uint32_t FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x004;
constexpr uint32_t FILE_NOTIFY_CHANGE_SIZE = 0x008;
constexpr uint32_t FILE_NOTIFY_CHANGE_LAST_WRITE = 0x010;
constexpr uint32_t FILE_NOTIFY_CHANGE_SECURITY = 0x100;

// A notification on Path; -1 when the folder cannot be watched. The folder
// itself vanishing or moving always fires.
int32_t OpenChangeNotification(const std::string& Path, bool WatchSubtree, uint32_t Filter);
enum TChangeWait : uint8_t { cwTimeout, cwFired, cwFailed };
// Waits up to TimeoutMs for a change of the watched kinds; changes of other
// kinds are read and dropped.
TChangeWait WaitChangeNotification(int32_t Handle, uint32_t TimeoutMs);
void CloseChangeNotification(int32_t Handle);

}  // namespace kv
