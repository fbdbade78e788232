// The desktop's trash (the home trash of the freedesktop.org trash layout:
// "Trash/files" and "Trash/info" in the user's data folder), so that what we
// delete can be restored from any file manager.
#pragma once
#include <string>

namespace kv {

// The home trash folder ($XDG_DATA_HOME/Trash/, with "/").
std::string HomeTrashFolder();

// Moves Path (a file or folder) into the home trash with its ".trashinfo"
// record. False, with Path untouched and a reason in Error, when it cannot:
// Path is missing, on another file system than the trash, or the trash
// cannot be written.
bool MoveToTrash(const std::string& Path, std::string& Error);

}  // namespace kv
