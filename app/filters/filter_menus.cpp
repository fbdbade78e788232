#include "app/filters/filter_menus.h"

#include "app/filters/filter_catalogue.h"
#include "app/filters/user_filter_scan.h"
#include "app/main/main_form.h"
#include "platform/ui/menus.h"

namespace kv {

void FillFilterMenus(Tform1& Form, const TNotifyEvent& OnClick) {
  FilterCatalogue().BuildMenu(Form.Filter1, fmmCategories, OnClick);
  ImageCatalogue().BuildMenu(Form.Bild1, fmmSubmenus, OnClick);
  ColorCatalogue().BuildMenu(Form.Farben1, fmmSubmenus, OnClick);
  CameraCatalogue().BuildMenu(Form.Datei1, fmmSubmenus, OnClick);
  if (Form.Filter1) LoadUserFilters(FilterCatalogue(), Form.Filter1, OnClick);
}

void RebuildFilterMenu(TMenuItem* Filter1, const TNotifyEvent& OnClick) {
  if (!Filter1) return;
  for (int32_t i = Filter1->Count() - 1; i >= 0; --i) {
    const intptr_t tag = Filter1->Items(i)->Tag();
    if (tag != 301 && tag != 302 && tag != 307 && tag != 310) Filter1->Delete(i);
  }
  RemoveUserFilters(FilterCatalogue());
  FilterCatalogue().BuildMenu(Filter1, fmmCategories, OnClick);
  LoadUserFilters(FilterCatalogue(), Filter1, OnClick);
}

}  // namespace kv
