// Icons on the clipboard: the icon file under a format of its own, and its
// picture as a bitmap for programs that do not know the format.
#pragma once
#include "platform/graphics/icon.h"
#include "platform/ui/clipboard.h"

namespace kv {

constexpr char CF_ICON_NAME[] = "Kavrelin Icon";
TClipFormat CF_ICON();
void CopyIconToClipboard(const TIcon& Icon);
// False (Icon unchanged) when no icon is on the clipboard.
bool PasteIconFromClipboard(TIcon& Icon);

}  // namespace kv
