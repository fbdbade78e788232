// The program-wide image lists of the shell's item icons: small (16 pixels)
// and large (32 pixels), filled from the icon theme as icons are asked for,
// with the same index in both.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/image_list.h"

namespace kv {

// Shared by every control: never freed by one.
TCustomImageList* SystemImageList(bool Large);
// The index of the first of Names that the theme has (added on first use);
// -1 when it has none of them.
int32_t SystemIconIndex(const std::vector<std::string>& Names);
// Overlay pictures drawn over an icon: 0 shared, 1 link.
int32_t SystemOverlayIndex(int32_t Overlay);
// Draws every icon again from the theme as it is now, at the index it
// has (the desktop's theme or colours changed); an icon the theme no longer
// has keeps its old picture. The lists tell their users.
void RefreshSystemImageLists();

}  // namespace kv
