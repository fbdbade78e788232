// Files on the clipboard, as the desktop's file managers exchange them: a
// "text/uri-list" of file URIs plus "x-special/gnome-copied-files" ("copy" or
// "cut" and the same URIs), so what we copy pastes in a file manager and
// what it copies pastes here.
#pragma once
#include <string>
#include <vector>

namespace kv {

// Puts Files (absolute paths) on the clipboard; Cut: the paste moves them.
void SetClipboardFiles(const std::vector<std::string>& Files, bool Cut);
// The local files on the clipboard; false when it holds none. Cut tells
// whether they were cut (a missing mark counts as copy).
bool GetClipboardFiles(std::vector<std::string>& Files, bool& Cut);

}  // namespace kv
