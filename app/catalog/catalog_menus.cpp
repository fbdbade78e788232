#include "app/catalog/catalog_menus.h"

#include "app/catalog/catalog_sort.h"
#include "app/params/file_kinds.h"
#include "platform/ui/menus.h"

namespace kv {

namespace {

TMenuItem* AddItem(TMenuItem& Menu, TComponent* Owner, const std::string& Caption, intptr_t Tag, bool Radio,
                   const TNotifyEvent& OnClick) {
  auto* item = new TMenuItem(Owner);
  item->SetCaption(Caption);
  item->SetTag(Tag);
  item->SetRadioItem(Radio);
  if (Caption != "-") item->OnClick = OnClick;
  Menu.Add(item);
  return item;
}

TMenuItem* ItemWithTag(const TMenuItem& Menu, intptr_t Tag) {
  for (int32_t i = 0; i < Menu.Count(); ++i)
    if (TMenuItem* item = Menu.Items(i); !item->IsLine() && item->Tag() == Tag) return item;
  return nullptr;
}

bool Owns(const TMenuItem& Menu, const TMenuItem* Item) { return Item && Item->Parent() == &Menu; }

// The checked kind (0 when none) and the descending toggle of one sort menu.
void ReadSortMenu(const TMenuItem& Menu, int32_t& Kind, bool& Descending) {
  Kind = skNone;
  Descending = false;
  for (int32_t i = 0; i < Menu.Count(); ++i) {
    const TMenuItem* item = Menu.Items(i);
    if (item->IsLine() || !item->Checked()) continue;
    if (item->Tag() == kToggleItemTag)
      Descending = true;
    else
      Kind = int32_t(item->Tag());
  }
}

void CheckSortMenu(TMenuItem& Menu, int32_t Kind, bool Descending) {
  TMenuItem* kind = ItemWithTag(Menu, Kind);
  if (!kind || Kind == kToggleItemTag) kind = ItemWithTag(Menu, skNone);
  if (kind) kind->SetChecked(true);
  if (TMenuItem* down = ItemWithTag(Menu, kToggleItemTag)) down->SetChecked(Descending);
}

}  // namespace

void FillArrangeMenu(TMenuItem& Menu, TComponent* Owner, const TNotifyEvent& OnClick) {
  Menu.Clear();
  const char* const captions[] = {"Zellen", "Überblick", "Detailiert"};
  for (intptr_t i = 0; i < 3; ++i) AddItem(Menu, Owner, captions[i], i, true, OnClick);
  Menu.Items(0)->SetChecked(true);
  AddItem(Menu, Owner, "-", 0, false, OnClick);
  AddItem(Menu, Owner, "Horizontal", kToggleItemTag, false, OnClick);
}

void FillSortMenu(TMenuItem& Menu, TComponent* Owner, const TNotifyEvent& OnClick) {
  Menu.Clear();
  const TFileKindTexts& texts = FileKindTexts();
  intptr_t tag = 0;
  for (const std::string& c : texts.SortKeys) AddItem(Menu, Owner, c, tag++, true, OnClick);
  for (const std::string& c : texts.ImageInfo) AddItem(Menu, Owner, c, tag++, true, OnClick);
  Menu.Items(0)->SetChecked(true);
  AddItem(Menu, Owner, "-", 0, false, OnClick);
  AddItem(Menu, Owner, "Absteigend", kToggleItemTag, false, OnClick);
}

void CheckArrangeMenu(TMenuItem& Menu, int32_t Arrange, bool Horizontal) {
  TMenuItem* item = Arrange >= 0 && Arrange <= 2 ? ItemWithTag(Menu, Arrange) : nullptr;
  if (!item) item = ItemWithTag(Menu, 0);
  if (item) item->SetChecked(true);
  if (TMenuItem* hor = ItemWithTag(Menu, kToggleItemTag)) hor->SetChecked(Horizontal);
}

void ReadArrangeMenu(const TMenuItem& Menu, int32_t& Arrange, bool& Horizontal) {
  Arrange = 0;
  Horizontal = false;
  for (int32_t i = 0; i < Menu.Count(); ++i) {
    const TMenuItem* item = Menu.Items(i);
    if (item->IsLine() || !item->Checked()) continue;
    if (item->Tag() == kToggleItemTag)
      Horizontal = true;
    else
      Arrange = int32_t(item->Tag());
  }
}

std::string ClickSortMenus(TMenuItem& Sort1, TMenuItem& Sort2, TMenuItem* Clicked) {
  if ((Owns(Sort1, Clicked) || Owns(Sort2, Clicked)) && !Clicked->IsLine()) {
    if (Clicked->Tag() == kToggleItemTag)
      Clicked->SetChecked(!Clicked->Checked());
    else
      Clicked->SetChecked(true);
  }
  TCatalogSort sort;
  ReadSortMenu(Sort1, sort.Sort1, sort.Sort1Descending);
  ReadSortMenu(Sort2, sort.Sort2, sort.Sort2Descending);
  return WriteCatalogSort(sort);
}

void CheckSortMenus(TMenuItem& Sort1, TMenuItem& Sort2, const std::string& SortText) {
  const TCatalogSort sort = ReadCatalogSort(SortText);
  CheckSortMenu(Sort1, sort.Sort1, sort.Sort1Descending);
  CheckSortMenu(Sort2, sort.Sort2, sort.Sort2Descending);
}

}  // namespace kv
