// The context menu of shell items: the commands a file manager offers for
// them (open, open with, cut, copy, paste, move to trash, rename,
// properties), shown as a menu or run directly by verb.
//
// The clipboard carries files as text/uri-list plus
// x-special/gnome-copied-files ("copy" or "cut", then the URIs), so other
// file managers paste what is copied here and the other way round.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/types.h"
#include "platform/system/shell_namespace.h"
#include "platform/ui/messages.h"

namespace kv {

// What a request does: 0 show the menu, 1 open the properties, 2 run the
// default command, 3 run the command named by its verb.
enum TShellMenuAction : int32_t { caShowMenu = 0, caProperties = 1, caDefault = 2, caVerb = 3 };

// The verbs of the commands ("openwith:" is followed by a desktop-entry id).
extern const char* const kVerbOpen;        // "open"
extern const char* const kVerbOpenWith;    // "openwith:"
extern const char* const kVerbCut;         // "cut"
extern const char* const kVerbCopy;        // "copy"
extern const char* const kVerbPaste;       // "paste"
extern const char* const kVerbDelete;      // "delete": move to the trash
extern const char* const kVerbRename;      // "rename"
extern const char* const kVerbProperties;  // "properties"

// What the control that asked can do itself.
struct TShellMenuHooks {
  // Starts an in-place edit of the item's name; without it a dialog asks for the name.
  std::function<void(PCItemIDList Relative)> Rename;
};

// Shows the menu for the items of Folder (relative lists) or runs a command;
// true when the menu was shown (chosen or not) or the command ran.
bool ShellContextMenu(const std::shared_ptr<TShellFolder>& Folder, const std::vector<PCItemIDList>& Items,
                      uint32_t Attributes, TPoint Point, HWND Wnd, int32_t Action, const std::string& Verb = {},
                      const TShellMenuHooks* Hooks = nullptr);
// The same for a file name; its file part may hold "*" and "?" (matched
// without regard to case), which take every matching file of the folder.
bool ShellContextMenuForFile(const std::string& FileName, TPoint Point, HWND Wnd, int32_t Action,
                             const std::string& Verb = {});

// The clipboard's files: the paths on it and whether they were cut.
bool ShellClipboardFiles(std::vector<std::string>& Paths, bool& Cut);
// Puts files on the clipboard for copying or moving.
void ShellSetClipboardFiles(const std::vector<std::string>& Paths, bool Cut);
// Pastes the clipboard's files into a folder; never overwrites, never
// loses a file. False when nothing was pasted (Error says why).
bool ShellPasteInto(const std::string& Folder, std::string& Error);
// Moves the files to the trash; a file the trash cannot take is deleted for
// good only when the user says so. False when any file stayed.
bool ShellTrashFiles(const std::vector<std::string>& Paths);
// The properties dialog of one or more files.
void ShowShellProperties(const std::vector<std::string>& Paths);

}  // namespace kv
