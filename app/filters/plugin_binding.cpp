// Binding of harlok.so, the plug-in scan with its registry cache and menu,
// and the host callbacks the library calls during a plug-in run.
#include "app/filters/plugin_binding.h"

#include <sys/stat.h>

#include <cstring>

#include "app/filters/colour_pick.h"
#include "app/filters/filter_catalogue.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/registry_helpers.h"
#include "app/main/main_form.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/menus.h"
#include "pluginhost/harlok_client.h"

namespace kv {

const char* const PluginCacheKey = "\\Software\\Kavrelin\\3.6\\PLUGINS";
const char* const AddPlugKey = "\\Software\\Kavrelin\\3.6\\AddPlug";
const char* const SNoCategory = "Keine Kategorie";
const char* const SCannotLoad = "Konnte nicht laden";
const char* const SColourChoice = "Farbauswahl";

namespace {

// Submenus of categories carry this tag; entries tagged 1 are never passed over when sorting in.
constexpr intptr_t CategoryTag = 10;
constexpr intptr_t FixedEntryTag = 1;

struct THostBinding {
  THarlokLibrary Library;
  bool Tried = false;
};

THostBinding& Binding() {
  static THostBinding b;
  return b;
}

// A buffer the library filled: its text up to the zero, never past the buffer.
std::string BufferText(const std::array<char, PluginTextBufferSize>& Buffer) {
  return std::string(Buffer.data(), strnlen(Buffer.data(), Buffer.size() - 1));
}

std::string MenuKey(const std::string& Caption) {
  return AnsiUpperCase(StringReplace(Caption, "&", "", TReplaceFlags{rfReplaceAll}));
}

// Index of the first item whose caption sorts after Caption; with SkipFixed, entries tagged 1 are passed over.
int32_t SortedPlace(const TMenuItem& Menu, const std::string& Caption, bool SkipFixed) {
  const std::string key = MenuKey(Caption);
  for (int32_t i = 0; i < Menu.Count(); ++i) {
    const TMenuItem* item = Menu.Items(i);
    if (SkipFixed && item->Tag() == FixedEntryTag) continue;
    if (AnsiCompareStr(MenuKey(item->Caption()), key) > 0) return i;
  }
  return Menu.Count();
}

// Plug-ins are other makers' files: their prompts may be 8-bit text of any kind.
std::string PromptText(const uint8_t* Prompt) {
  const std::string raw(reinterpret_cast<const char*>(Prompt + 1), Prompt[0]);
  std::string out;
  for (size_t i = 0; i < raw.size();) {
    const char32_t c = utf8::Next(raw, i);
    if (c >= 0xDC80 && c <= 0xDCFF) {  // not UTF-8: read the bytes as Latin-1
      out.clear();
      for (unsigned char b : raw) utf8::Append(out, b);
      return out;
    }
    utf8::Append(out, c);
  }
  return out;
}

}  // namespace

bool LoadPluginHost() { return LoadPluginHost(ProgramFolder()); }

bool LoadPluginHost(const std::string& Folder) {
  THostBinding& b = Binding();
  b.Tried = true;
  return b.Library.Load(Folder);
}

void UnloadPluginHost() {
  Binding().Library.Unload();
}

TRun8BFPlugIn PluginHostEntry() {
  THostBinding& b = Binding();
  if (!b.Tried) LoadPluginHost();
  return b.Library.Run8BFPlugIn();
}

std::string PluginCacheKeyOf(const std::string& FileName) {
  // The path's folders become sub-keys.
  return std::string(PluginCacheKey) + "\\" + StringReplace(FileName, "/", "\\", TReplaceFlags{rfReplaceAll});
}

void BuildPluginMenu(TMenuItem& Menu, const TNotifyEvent& OnClick) {
  const TRun8BFPlugIn run = PluginHostEntry();
  if (!run) return;
  TPluginScanner scanner(run, Menu, OnClick);
  scanner.ScanPluginFolder(ProgramFolder() + "Plugins/", "");
  TStringList extra;
  ReadRegistryList(extra, AddPlugKey);
  for (int32_t i = 0; i < extra.Count(); ++i) {
    const std::string folder = Trim(extra.Strings(i));
    if (!folder.empty()) scanner.ScanPluginFolder(IncludeBackslash(folder), "");
  }
}

void FillPluginMenu(Tform1& Form, const TNotifyEvent& OnClick) {
  if (!Form.PluginFilter1) return;
  try {
    BuildPluginMenu(*Form.PluginFilter1, OnClick);
  } catch (const Exception&) {
    // The program starts without the rest of the plug-ins rather than not at all.
  }
}

TPluginScanner::TPluginScanner(TRun8BFPlugIn Run, TMenuItem& Menu, TNotifyEvent OnClick)
    : FRun(Run), FMenu(Menu), FOnClick(std::move(OnClick)) {
  FBlock.NameBuffer = FName.data();
  FBlock.CategoryBuffer = FCategory.data();
  FBlock.ErrorText = FError.data();
}

void TPluginScanner::ScanPluginFolder(const std::string& Root, const std::string& SubPath) {
  const std::string folder = Root + SubPath;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (!FVisited.emplace(uint64_t(st.st_dev), uint64_t(st.st_ino)).second) return;
  TSearchRec sr;
  for (int r = FindFirst(folder + "*", faAnyFile, sr); r == 0; r = FindNext(sr)) {
    if (sr.Attr & faDirectory) {
      if (!sr.Name.empty() && sr.Name[0] != '.') ScanPluginFolder(Root, SubPath + sr.Name + "/");
    } else if (LowerCase(ExtractFileExt(sr.Name)) == ".8bf") {
      AddPlugin(folder + sr.Name);
    }
  }
  FindClose(sr);
}

void TPluginScanner::AddPlugin(const std::string& FileName) {
  FName[0] = 0;
  FCategory[0] = 0;
  const std::string key = PluginCacheKeyOf(FileName);
  const TDateTime fileTime = FileAge(FileName);
  std::string name, category;
  bool current = false;
  try {
    TRegistry reg;
    if (reg.OpenKey(key, false)) {
      category = reg.ReadString("Category");
      name = reg.ReadString("Name");
      // A file changed since it was described may have a new name or category.
      current = reg.ValueExists("time") && reg.ReadFloat("time") == fileTime;
    }
  } catch (const Exception&) {
    current = false;  // an unreadable entry is described afresh
  }
  if (name.empty() || category.empty() || !current) {
    FError[0] = 0;
    FBlock.Result = 0;
    FRun(FileName.c_str(), haDescribe, &FBlock);
    ++FDescribed;
    name = BufferText(FName);
    if (name.empty()) name = FileNameWithoutExt(FileName);
    category = BufferText(FCategory);
    if (category.empty()) category = SNoCategory;
    if (FBlock.Result == hrCannotLoad) {
      category = SCannotLoad;
      name = BufferText(FError) + ":" + name;
    }
  }
  AddMenuEntry(category, name, FileName);
  // A file that could not be loaded is not cached, so the next start tries again.
  if (category == SCannotLoad) return;
  try {
    TRegistry reg;
    if (reg.OpenKey(key, true)) {
      reg.WriteString("Category", category);
      reg.WriteString("Name", name);
      reg.WriteFloat("time", fileTime);
      reg.CloseKey();
    }
  } catch (const Exception&) {
    // Without the cache entry the plug-in is only described again at the next start.
  }
}

void TPluginScanner::AddMenuEntry(const std::string& Category, const std::string& Name, const std::string& FileName) {
  const std::string key = MenuKey(Category);
  TMenuItem* sub = nullptr;
  for (int32_t i = 0; i < FMenu.Count() && !sub; ++i)
    if (MenuKey(FMenu.Items(i)->Caption()) == key) sub = FMenu.Items(i);
  if (!sub) {
    sub = new TMenuItem(nullptr);  // the menu frees the items it holds
    sub->SetCaption(Category);
    sub->SetTag(CategoryTag);
    FMenu.Insert(SortedPlace(FMenu, Category, true), sub);
  }
  auto* entry = new tmymenuitem(nullptr);
  entry->SetCaption(Name);
  entry->Text = FileName;
  entry->SetHint(FileName);  // the main window's click handler and the status line read the file here
  entry->OnClick = FOnClick;
  sub->Insert(SortedPlace(*sub, Name, false), entry);
}

uint8_t PluginAbortTest() {
  try {
    return form1 && form1->AbortProc() ? 1 : 0;
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
    return 1;
  }
}

void PluginProgress(int32_t Percent) {
  try {
    if (form1) form1->PercentProc(Percent);
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
  }
}

void PluginPickColor(uint16_t* Components, const uint8_t* Prompt) {
  if (!Components) return;
  // The library calls in from C: nothing may be thrown back through it.
  try {
    // The components are words; the colour is their low bytes.
    uint32_t packed = uint32_t(uint8_t(Components[0])) << 16 | uint32_t(uint8_t(Components[1])) << 8 |
                      uint8_t(Components[2]);
    const std::string title = Prompt ? PromptText(Prompt) : std::string();
    if (!PickColor(packed, title.empty() ? std::string(SColourChoice) : title)) return;
    Components[0] = uint16_t((packed >> 16) & 0xFF);
    Components[1] = uint16_t((packed >> 8) & 0xFF);
    Components[2] = uint16_t(packed & 0xFF);
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
  }
}

}  // namespace kv
