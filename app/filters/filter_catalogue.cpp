#include "app/filters/filter_catalogue.h"

#include <algorithm>
#include <cmath>

#include "app/params/param_strings.h"
#include "imaging/processing/ff_files.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"

namespace kv {

tfilteritem::tfilteritem() = default;
tfilteritem::~tfilteritem() = default;

tfilterclass::tfilterclass() = default;
tfilterclass::~tfilterclass() = default;

tfilteritem* tfilterclass::Items(int32_t Index) const { return static_cast<tfilteritem*>(FList.Objects(Index)); }
std::string tfilterclass::Names(int32_t Index) const { return FList.Strings(Index); }
void tfilterclass::Add(const std::string& ListName, tfilteritem* Item) { FList.AddObject(ListName, Item); }
void tfilterclass::Delete(int32_t Index) { FList.Delete(Index); }

tfilteritem* tfilterclass::FindKeyword(const std::string& Keyword) const {
  for (int32_t i = 0; i < Count(); ++i) {
    tfilteritem* item = Items(i);
    if (item->Kind == fkBuiltin && SameTextNoCase(item->Keyword, Keyword)) return item;
  }
  return nullptr;
}

void InsertByTag(TMenuItem* Menu, TMenuItem* Item, int32_t Tag) {
  int32_t at = Menu->Count();
  for (int32_t i = 0; i < Menu->Count(); ++i)
    if (Menu->Items(i)->Tag() > Tag) {
      at = i;
      break;
    }
  Menu->Insert(at, Item);
}

namespace {

tmymenuitem* NewEntry(TMenuItem* Menu, tfilterclass* Catalogue, tfilteritem* Item, const std::string& Caption,
                      const TNotifyEvent& OnClick) {
  auto* entry = new tmymenuitem(Menu);
  entry->SetCaption(Caption);
  entry->Text = Caption;
  entry->Catalogue = Catalogue;
  entry->Filter = Item;
  entry->SetTag(Item->Tag);
  entry->OnClick = OnClick;
  return entry;
}

}  // namespace

void tfilterclass::BuildMenu(TMenuItem* Menu, TFilterMenuMode Mode, const TNotifyEvent& OnClick) {
  if (!Menu) return;
  for (int32_t i = 0; i < Count(); ++i) {
    tfilteritem* item = Items(i);
    if (item->Category.empty()) {
      InsertByTag(Menu, NewEntry(Menu, this, item, item->Caption + "...", OnClick), item->Tag);
      continue;
    }
    if (Mode == fmmCategories) {
      const std::string caption = item->Category + "...";
      if (!Menu->Find(caption)) InsertByTag(Menu, NewEntry(Menu, this, item, caption, OnClick), item->Tag);
      continue;
    }
    // A submenu the window already made (empty until filled here) is the one to fill.
    TMenuItem* sub = Menu->Find(item->Category);
    if (!sub) {
      sub = new TMenuItem(Menu);
      sub->SetCaption(item->Category);
      sub->SetTag(item->Tag);
      InsertByTag(Menu, sub, item->Tag);
    }
    InsertByTag(sub, NewEntry(sub, this, item, item->Caption + "...", OnClick), item->Tag);
  }
}

void RegisterFilter(tfilterclass& Catalogue, tfilteritem* Item, const std::string& Caption,
                    const std::string& Keyword, int32_t Tag, const std::string& Category, int32_t RowCount,
                    int32_t ParamCount) {
  Item->Kind = fkBuiltin;
  Item->Caption = Caption;
  Item->Keyword = Keyword;
  Item->Tag = Tag;
  Item->Category = Category;
  Item->RowCount = std::clamp(RowCount, 0, kMaxSuggestionRows);
  Item->ParamCount = std::clamp(ParamCount, 0, kMaxFilterParams);
  Catalogue.Add(Caption, Item);
}

void AddParameter(tfilterclass&, tfilterparam& Param, const std::string& Name, uint8_t Typ,
                  const std::string& Default, const std::string& Min, const std::string& Max,
                  const std::string& Increment) {
  Param.Name = Name;
  Param.Typ = Typ;
  Param.Value = Default;
  Param.Default = Default;
  Param.Min = Min;
  Param.Max = Max;
  Param.Increment = Increment;
}

void SetSuggestionRow(tfilterclass&, tfilteritem& Item, int32_t Row, std::initializer_list<std::string> Values) {
  if (Row < 0 || Row >= kMaxSuggestionRows) return;
  int32_t i = 0;
  for (const std::string& v : Values) {
    if (i >= kMaxFilterParams) break;
    Item.Params[size_t(i++)].Suggestions[size_t(Row)] = v;
  }
}

namespace {

struct TCatalogues {
  tfilterclass Filters, Images, Colours, Camera;
  TCatalogues() { RegisterBuiltinFilters(Filters, Images, Colours, Camera); }
};

TCatalogues& Catalogues() {
  static TCatalogues c;
  return c;
}

}  // namespace

tfilterclass& FilterCatalogue() { return Catalogues().Filters; }
tfilterclass& ImageCatalogue() { return Catalogues().Images; }
tfilterclass& ColorCatalogue() { return Catalogues().Colours; }
tfilterclass& CameraCatalogue() { return Catalogues().Camera; }

std::string FilterItemToCommand(const tfilteritem* Item) {
  if (!Item) return "";
  auto quoted = [](const std::string& V) { return "\"" + V + "\""; };
  switch (Item->Kind) {
    case fkBuiltin: {
      std::string s = "Effect Name=" + quoted(Item->Keyword);
      for (int32_t i = 0; i < Item->ParamCount; ++i)
        s += " Param" + IntToStr(i + 1) + "=" + quoted(Item->Params[size_t(i)].Value);
      return s;
    }
    case fkUserFilter: return "ACF Name=" + quoted(Item->FilePath);
    default: {
      std::string s = "FFL Name=" + quoted(Item->FilePath) + " Num=" + IntToStr(Item->FilterNumber);
      for (int32_t i = 0; i < 8; ++i) s += " Param" + IntToStr(i + 1) + "=" + quoted(Item->Params[size_t(i)].Value);
      return s;
    }
  }
}

void ApplyCommandParams(tfilteritem& Item, const std::string& Line) {
  const int32_t n = Item.Kind == fkFilterFactory ? std::max(Item.ParamCount, 8) : Item.ParamCount;
  for (int32_t i = 0; i < std::min(n, kMaxFilterParams); ++i) {
    const std::string v = ReadParamString(Line, "Param" + IntToStr(i + 1), "");
    if (!v.empty()) Item.Params[size_t(i)].Value = v;
  }
}

std::string FilterSettingsName(const tfilteritem& Item) {
  switch (Item.Kind) {
    case fkBuiltin: return Item.Keyword;
    case fkFilterFactory: return ExtractFileName(Item.FilePath) + IntToStr(Item.FilterNumber);
    default: return "";
  }
}

void LoadFilterSettings(tfilteritem& Item) {
  const std::string name = FilterSettingsName(Item);
  if (name.empty()) return;
  TRegistry r(KEY_READ);
  if (!r.OpenKeyReadOnly(kFilterSettingsKey) || !r.ValueExists(name)) return;
  ApplyCommandParams(Item, r.ReadString(name));
}

void StoreFilterSettings(const tfilteritem& Item) {
  const std::string name = FilterSettingsName(Item);
  if (name.empty()) return;
  TRegistry r;
  if (!r.OpenKey(kFilterSettingsKey, true)) return;
  r.WriteString(name, FilterItemToCommand(&Item));
}

int32_t FilterParamInt(const std::string& Value) {
  const std::string t = Trim(Value);
  int32_t i = 0;
  if (TryStrToInt(t, i)) return i;
  // Suggestion rows hold reals such as "20.0" for integer parameters.
  double d = 0;
  if (TryStrToFloat(t, d) && std::isfinite(d)) return Round32(d);
  return 0;
}

double FilterParamFloat(const std::string& Value) {
  const std::string t = Trim(Value);
  double d = 0;
  if (TryStrToFloat(t, d) && std::isfinite(d)) return d;
  int32_t i = 0;
  if (TryStrToInt(t, i)) return i;
  return 0;
}

}  // namespace kv
