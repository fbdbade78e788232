// The user's filters in the catalogue: Filter Factory libraries (".ffl",
// ".afs") and convolution filters (".acf") found below the program's folders,
// each with its menu entry.
#pragma once
#include <functional>
#include <string>

#include "platform/rtl/object.h"

namespace kv {

class TMenuItem;
class tfilterclass;

// Every ".ffl" and ".afs" file below Folder (recursively) adds one item per
// filter of its library, and Menu one entry per new category ("category..."),
// placed alphabetically after the last entry with tag 310. A file that cannot
// be read is skipped and the others are added; the first error is raised at
// the end.
void ScanFflFilters(tfilterclass& Catalogue, const std::string& Folder, TMenuItem* Menu, const TNotifyEvent& OnClick);
// Every ".acf" file below Folder adds an item whose category is its folder
// relative to Folder, and Menu one entry per folder (its name upper-cased,
// "SHARPEN" shown as "Schärfe", plus "...") unless that caption is there.
void ScanAcfFilters(tfilterclass& Catalogue, const std::string& Folder, TMenuItem* Menu, const TNotifyEvent& OnClick);

// The three scans of the program's folders ("User Filter" and "Plugins"
// beside the program), each failure reported through ShowError (by default a
// message box) while the others go on.
void LoadUserFilters(tfilterclass& Catalogue, TMenuItem* Menu, const TNotifyEvent& OnClick,
                     const std::function<void(const std::string&)>& ShowError = nullptr);
// Removes and frees every item that is not a built-in effect.
void RemoveUserFilters(tfilterclass& Catalogue);

// The folder Name beside the program, found without regard to case, with a
// trailing "/" (Name itself when no such folder exists).
std::string ProgramSubFolder(const std::string& Name);

}  // namespace kv
