#include "app/filters/user_filter_scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/filters/filter_catalogue.h"
#include "app/params/param_strings.h"
#include "imaging/processing/ff_files.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// Files below Folder whose lower-cased extension is one of Exts, in name order.
std::vector<std::string> FilesBelow(const std::string& Folder, std::initializer_list<const char*> Exts) {
  std::vector<std::string> found;
  std::error_code ec;
  if (Folder.empty() || !fs::is_directory(Folder, ec)) return found;
  for (fs::recursive_directory_iterator it(Folder, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string ext = LowerCase(it->path().extension().string());
    for (const char* e : Exts)
      if (ext == e) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string StripAmpersands(const std::string& Caption) {
  std::string s;
  for (char c : Caption)
    if (c != '&') s += c;
  return s;
}

bool MenuHasCaption(const TMenuItem* Menu, const std::string& Caption) {
  const std::string want = StripAmpersands(Caption);
  for (int32_t i = 0; i < Menu->Count(); ++i)
    if (SameTextNoCase(StripAmpersands(Menu->Items(i)->Caption()), want)) return true;
  return false;
}

// Alphabetically among the entries after the last one with tag 310.
void InsertAlphabetically(TMenuItem* Menu, TMenuItem* Entry) {
  int32_t first = 0;
  for (int32_t i = 0; i < Menu->Count(); ++i)
    if (Menu->Items(i)->Tag() == 310) first = i + 1;
  const std::string key = UpperCase(StripAmpersands(Entry->Caption()));
  int32_t at = Menu->Count();
  for (int32_t i = first; i < Menu->Count(); ++i)
    if (UpperCase(StripAmpersands(Menu->Items(i)->Caption())) > key) {
      at = i;
      break;
    }
  Menu->Insert(at, Entry);
}

void AddEntry(tfilterclass& Catalogue, tfilteritem* Item, TMenuItem* Menu, const std::string& Caption,
              const TNotifyEvent& OnClick) {
  if (!Menu || MenuHasCaption(Menu, Caption)) return;
  auto* entry = new tmymenuitem(Menu);
  entry->SetCaption(Caption);
  entry->Text = Caption;
  entry->Catalogue = &Catalogue;
  entry->Filter = Item;
  entry->OnClick = OnClick;
  InsertAlphabetically(Menu, entry);
}

std::string ListNameOfTitle(std::string Title) {
  if (Title.size() >= 3 && Title.compare(Title.size() - 3, 3, "...") == 0) Title.resize(Title.size() - 3);
  return Title.empty() ? "Unbenannt" : Title;
}

}  // namespace

void ScanFflFilters(tfilterclass& Catalogue, const std::string& Folder, TMenuItem* Menu,
                    const TNotifyEvent& OnClick) {
  std::string firstError;
  for (const std::string& path : FilesBelow(Folder, {".ffl", ".afs"})) {
    tfflfilter lib;
    try {
      lib.Load(path);
    } catch (const Exception& E) {
      if (firstError.empty()) firstError = path + ": " + E.Message();
      continue;
    }
    for (int32_t n = 0; n < lib.Count(); ++n) {
      auto* item = new tfilteritem;
      item->Kind = fkFilterFactory;
      item->Caption = path;
      item->FilePath = path;
      item->FilterNumber = n;
      item->Category = lib.GetField(ffkCategory, n);
      if (item->Category.empty()) item->Category = kFflNoCategory;
      item->ParamCount = 8;
      for (int32_t i = 0; i < 8; ++i)
        AddParameter(Catalogue, item->Params[size_t(i)], lib.GetField(ffkControlName, n, i), fptInteger,
                     lib.GetField(ffkControlValue, n, i), "0", "255", "1");
      Catalogue.Add(ListNameOfTitle(lib.GetField(ffkTitle, n)), item);
      AddEntry(Catalogue, item, Menu, item->Category + "...", OnClick);
    }
  }
  if (!firstError.empty()) throw EInOutError(firstError);
}

void ScanAcfFilters(tfilterclass& Catalogue, const std::string& Folder, TMenuItem* Menu,
                    const TNotifyEvent& OnClick) {
  const fs::path root = fs::path(Folder).lexically_normal();
  for (const std::string& path : FilesBelow(Folder, {".acf"})) {
    const fs::path p(path);
    auto* item = new tfilteritem;
    item->Kind = fkUserFilter;
    item->Keyword = "UserFilter";
    item->Caption = path;
    item->FilePath = path;
    std::string category = p.parent_path().lexically_normal().lexically_relative(root).generic_string();
    if (category == ".") category.clear();
    item->Category = category;
    std::string name = p.stem().string();
    if (!name.empty()) name[0] = char(std::toupper(static_cast<unsigned char>(name[0])));
    Catalogue.Add(name, item);

    std::string folder = UpperCase(p.parent_path().filename().string());
    if (folder == "SHARPEN") folder = "Schärfe";
    AddEntry(Catalogue, item, Menu, folder + "...", OnClick);
  }
}

std::string ProgramSubFolder(const std::string& Name) {
  const std::string base = ProgramFolder();
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec) && SameTextNoCase(it->path().filename().string(), Name))
      return it->path().string() + "/";
  return base + Name + "/";
}

void LoadUserFilters(tfilterclass& Catalogue, TMenuItem* Menu, const TNotifyEvent& OnClick,
                     const std::function<void(const std::string&)>& ShowError) {
  struct TScan {
    void (*Run)(tfilterclass&, const std::string&, TMenuItem*, const TNotifyEvent&);
    const char* Folder;
    const char* Kind;
  };
  const TScan scans[] = {{ScanFflFilters, "User Filter", ".FFL"},
                         {ScanFflFilters, "Plugins", ".FFL"},
                         {ScanAcfFilters, "Plugins", ".ACF"}};
  for (const TScan& s : scans) {
    try {
      s.Run(Catalogue, ProgramSubFolder(s.Folder), Menu, OnClick);
    } catch (const Exception&) {
      const std::string text = std::string("Achtung! Es gab einen Fehler beim Laden der ") + s.Kind +
                               " Filter im \"" + s.Folder + "\" Verzeichnis.";
      if (ShowError)
        ShowError(text);
      else
        ShowMessage(text);
    }
  }
}

void RemoveUserFilters(tfilterclass& Catalogue) {
  for (int32_t i = Catalogue.Count() - 1; i >= 0; --i)
    if (Catalogue.Items(i)->Kind != fkBuiltin) Catalogue.Delete(i);
}

}  // namespace kv
