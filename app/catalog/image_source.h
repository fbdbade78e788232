// Image sources: the pictures a tool works through, named by an image-source
// parameter text ("SourceMode", "Dir", "Subdirs", "catalog", "seperate", the
// sort keys and "Filetypes"), and the listing of folder and catalog sources.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/catalog/catalog_sort.h"
#include "app/params/file_kind_types.h"

namespace kv {

class TStrings;

// Source kinds, the places of the frame's kind list.
enum TImageSourceMode : int32_t {
  ismNone = -1,
  ismCatalog = 0,
  ismFolder = 1,
  ismOpenWindows = 2,
  ismScanner = 3,
};

// The first eleven kinds: JPG, PNG, BMP, PCX, GIF, TIF, TGA, WMF, EMF, ICO, CUR.
inline constexpr int32_t kDefaultImageSourceFiletypes = 2047;

// An image-source text as read: names without regard to case; a value that is
// missing or does not read as its type gives the default, so a damaged text
// never picks another source than it names.
struct TImageSourceParams {
  int32_t SourceMode = ismNone;
  std::string Dir;
  bool Subdirs = false;
  std::string Catalog;
  bool Seperate = false;
  TCatalogSort Sort;
  int32_t Filetypes = kDefaultImageSourceFiletypes;
};
TImageSourceParams ReadImageSourceParams(std::string_view Text);

// The kinds of a "Filetypes" bit set (bit k: kind k).
tFileFormatset FiletypesToKinds(int32_t Filetypes);
// Whether the extension of Name, in lower case, is one of the extensions of
// a kind of Kinds. Only the whole extension counts: "a.jp" is no JPEG and
// "a.jpg.txt" no picture.
bool ImageSourceAccepts(std::string_view Name, tFileFormatset Kinds);

// The file list of a folder or catalog source: the list is emptied, then
// filled, filtered by "Filetypes" and sorted by the two keys (Text becomes
// the shared current sort text). Relative folder and catalog names are taken
// from the program folder. Other kinds leave the list empty. A folder that
// cannot be read gives no entries; a catalog that cannot be read raises.
void ListImageSource(const std::string& Text, TStrings& List);
std::vector<std::string> ListImageSource(const std::string& Text);

}  // namespace kv
