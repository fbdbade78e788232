#include "platform/ui/system_image_list.h"

#include <map>

#include "platform/ui/theme_icons.h"

namespace kv {

namespace {

struct TSystemLists {
  TImageList Small{nullptr, 16, 16};
  TImageList Large{nullptr, 32, 32};
  std::map<std::string, int32_t> Index;  // icon name -> index, -1 when the theme lacks it
};

TSystemLists& Lists() {
  static TSystemLists lists;
  return lists;
}

int32_t IndexOfName(const std::string& Name) {
  TSystemLists& l = Lists();
  const auto it = l.Index.find(Name);
  if (it != l.Index.end()) return it->second;
  TBitmap small, smallMask, large, largeMask;
  int32_t index = -1;
  if (ThemeIconImage(Name, 16, clWindow, small, smallMask) && ThemeIconImage(Name, 32, clWindow, large, largeMask)) {
    index = l.Small.Add(small, &smallMask);
    l.Large.Add(large, &largeMask);
  }
  l.Index.emplace(Name, index);
  return index;
}

}  // namespace

TCustomImageList* SystemImageList(bool Large) { return Large ? &Lists().Large : &Lists().Small; }

int32_t SystemIconIndex(const std::vector<std::string>& Names) {
  for (const std::string& n : Names)
    if (const int32_t i = IndexOfName(n); i >= 0) return i;
  return -1;
}

void RefreshSystemImageLists() {
  TSystemLists& l = Lists();
  for (const auto& [name, index] : l.Index) {
    TBitmap small, smallMask, large, largeMask;
    if (index < 0 || !ThemeIconImage(name, 16, clWindow, small, smallMask) ||
        !ThemeIconImage(name, 32, clWindow, large, largeMask))
      continue;
    l.Small.Replace(index, small, &smallMask);
    l.Large.Replace(index, large, &largeMask);
  }
}

int32_t SystemOverlayIndex(int32_t Overlay) {
  switch (Overlay) {
    case 0: return SystemIconIndex({"emblem-shared"});
    case 1: return SystemIconIndex({"emblem-symbolic-link"});
    default: return -1;
  }
}

}  // namespace kv
