// The catalog menus of the main window: the arrangement menu ("Darstellung")
// and the two sort menus, filled once, checked from the stored values, and
// read back as the arrangement and the sort text.
#pragma once
#include <cstdint>
#include <string>

#include "platform/rtl/object.h"

namespace kv {

class TComponent;
class TMenuItem;

// Tag of the items that toggle ("Horizontal", "Absteigend").
constexpr intptr_t kToggleItemTag = -10;

// "Zellen", "Überblick", "Detailiert" (radio, tags 0 to 2, the first
// checked), a separator and "Horizontal".
void FillArrangeMenu(TMenuItem& Menu, TComponent* Owner, const TNotifyEvent& OnClick);
// "Keine", "Datei+Nummer", "Zufällig", the eleven information captions
// (radio, tags 0 to 13, the first checked), a separator and "Absteigend".
void FillSortMenu(TMenuItem& Menu, TComponent* Owner, const TNotifyEvent& OnClick);

void CheckArrangeMenu(TMenuItem& Menu, int32_t Arrange, bool Horizontal);
void ReadArrangeMenu(const TMenuItem& Menu, int32_t& Arrange, bool& Horizontal);

// The sort text of both menus after a click on Clicked (nullptr: no click):
// "Absteigend" toggles, any other item of a sort menu is checked.
std::string ClickSortMenus(TMenuItem& Sort1, TMenuItem& Sort2, TMenuItem* Clicked);
void CheckSortMenus(TMenuItem& Sort1, TMenuItem& Sort2, const std::string& SortText);

}  // namespace kv
