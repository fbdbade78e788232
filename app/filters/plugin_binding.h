// The program's side of the plug-in host: harlok.so bound at start, the
// plug-in folders scanned into the plug-in menu with a registry cache of
// what each plug-in is called, and the host callbacks of the call block.
#pragma once
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/rtl/object.h"
#include "pluginhost/call_block.h"

namespace kv {

class TMenuItem;
class Tform1;

// The cache of plug-in descriptions: this key followed by the plug-in's full
// path, its folders as sub-keys, with "Category", "Name" and "time".
extern const char* const PluginCacheKey;
// Extra plug-in folders ("Count", "0", "1" ...).
extern const char* const AddPlugKey;
extern const char* const SNoCategory;      // "Keine Kategorie"
extern const char* const SCannotLoad;      // "Konnte nicht laden"
extern const char* const SColourChoice;    // "Farbauswahl"

// Binds Run8BFPlugIn of Folder + "harlok.so"; without a folder, of the
// program folder. A missing file or export leaves the binding empty (false).
bool LoadPluginHost();
bool LoadPluginHost(const std::string& Folder);
// Releases the library (the held plug-in is finished and released with it).
void UnloadPluginHost();
// The bound export, or null. The first use binds from the program folder
// when nobody has tried yet.
TRun8BFPlugIn PluginHostEntry();

// The registry key of a plug-in file's cache entry.
std::string PluginCacheKeyOf(const std::string& FileName);

// Fills Menu with one submenu (tag 10) per category holding one tmymenuitem
// per plug-in, found in the program folder's "Plugins/" and the folders
// listed under AddPlugKey. Nothing when the host library is not bound.
void BuildPluginMenu(TMenuItem& Menu, const TNotifyEvent& OnClick);

// The main window's plug-in menu PluginFilter1, when it has one; a failure
// (a folder or cache that cannot be read) leaves the menu as far as it got.
void FillPluginMenu(Tform1& Form, const TNotifyEvent& OnClick);

// One scan: the describe block with its three text buffers, shared by every
// plug-in of every folder.
class TPluginScanner {
 public:
  TPluginScanner(TRun8BFPlugIn Run, TMenuItem& Menu, TNotifyEvent OnClick);
  TPluginScanner(const TPluginScanner&) = delete;
  TPluginScanner& operator=(const TPluginScanner&) = delete;

  // Every ".8bf" file below Root + SubPath, sub-folders not starting with "." included.
  void ScanPluginFolder(const std::string& Root, const std::string& SubPath);
  // How many files were described by the library (not found in the cache).
  int32_t Described() const { return FDescribed; }

 private:
  void AddPlugin(const std::string& FileName);
  void AddMenuEntry(const std::string& Category, const std::string& Name, const std::string& FileName);

  TRun8BFPlugIn FRun;
  TMenuItem& FMenu;
  TNotifyEvent FOnClick;
  FilterCallBlock FBlock;
  std::array<char, PluginTextBufferSize> FName{};
  std::array<char, PluginTextBufferSize> FCategory{};
  std::array<char, PluginTextBufferSize> FError{};
  // Folders entered, by device and inode, so a link back up the tree ends the walk.
  std::set<std::pair<uint64_t, uint64_t>> FVisited;
  int32_t FDescribed = 0;
};

// Host callbacks of the call block, plain functions as the library calls them.
// Abort test and progress forward to the main window's AbortProc and PercentProc.
uint8_t PluginAbortTest();
void PluginProgress(int32_t Percent);
// The colour dialog, preset with components 1 to 3 and captioned with the
// counted prompt (or "Farbauswahl"); on OK they take the chosen red, green
// and blue. Component 4 is left alone.
void PluginPickColor(uint16_t* Components, const uint8_t* Prompt);

}  // namespace kv
