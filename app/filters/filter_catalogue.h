// Filter catalogues: the built-in effects, the user convolution filters and
// the Filter Factory filters as one model. Every item has a keyword, a
// caption, a category, up to ten named parameters (values kept as text, with
// range, default and type) and up to ten rows of suggested values. The
// catalogues fill the filter, image, colour and file menus, feed the filter
// dialog and give the filter commands their vocabulary.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/processing/user_filter.h"
#include "platform/rtl/object.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/menus.h"

namespace kv {

class tfflfilter;

constexpr int32_t kMaxFilterParams = 10;
constexpr int32_t kMaxSuggestionRows = 10;

// Item kinds.
enum : uint8_t { fkBuiltin = 0, fkUserFilter = 1, fkFilterFactory = 2 };

// Parameter types, with the control the filter dialog shows for them.
enum TFilterParamType : uint8_t {
  fptInteger = 0,       // spin edit
  fptReal = 1,          // spin edit in floating-point mode
  fptBool = 2,          // check box, "1" or "0"
  fptColor = 3,         // colour box; "$FFFFFF" style or decimal
  fptUserFilter = 4,    // the Filter Factory editor
  fptImageWindow = 5,   // list of the open image windows; Min holds "!OPENED"
  fptChoice = 8,        // list of the items of Min split at "|"; the value is the index
  fptAnchor = 9,        // 3 x 3 placement picker; the value is its bit mask
};

// Ends of a range that count as open: no slider in the dialog.
inline constexpr const char* kOpenRangeMax = "10000";
inline constexpr const char* kOpenRangeMin = "-10000";

// Category texts shared by several filters.
inline constexpr const char* kCategoryChannels = "Farbkanäle";
inline constexpr const char* kCategoryRotate = "Drehen / Spiegeln";
inline constexpr const char* kCategoryReduce = "Farbanzahl reduzieren";

// One parameter; every value is text so that one record serves every type.
struct tfilterparam {
  std::string Name;
  uint8_t Typ = fptInteger;
  std::string Value;
  std::string Default;
  std::string Min;
  std::string Max;
  std::string Increment;
  std::array<std::string, kMaxSuggestionRows> Suggestions;
};

class tfilteritem : public TObject {
 public:
  tfilteritem();
  ~tfilteritem() override;

  std::string Caption;   // user filters: the full file path
  std::string Category;  // empty: no category
  uint8_t Kind = fkBuiltin;
  TUserFilterRecord Convolution;            // kind 1
  std::unique_ptr<tfflfilter> Library;      // kind 2, while it is loaded
  std::string FilePath;                     // kinds 1 and 2
  int32_t FilterNumber = 0;                 // kind 2: the filter within its library
  int32_t ParamCount = 0;                   // 0..10
  std::array<tfilterparam, kMaxFilterParams> Params;
  int32_t RowCount = 0;                     // suggestion rows, 0..10
  int32_t Tag = 0;                          // sort key of menu entries
  std::string Keyword;                      // built-in: the effect's command name
};

// Menu modes of BuildMenu.
enum TFilterMenuMode : uint8_t {
  fmmCategories,  // one entry per category ("category..."), which opens the dialog on the catalogue
  fmmSubmenus,    // a submenu per category, one entry per filter ("caption...")
};

// A catalogue: entries in insertion order, each the filter's list name with
// its item, which the catalogue owns.
class tfilterclass : public TObject {
 public:
  tfilterclass();
  ~tfilterclass() override;

  int32_t Count() const { return FList.Count(); }
  tfilteritem* Items(int32_t Index) const;
  std::string Names(int32_t Index) const;
  // Appends an item the catalogue takes over.
  void Add(const std::string& ListName, tfilteritem* Item);
  // Removes and frees item Index.
  void Delete(int32_t Index);
  // The built-in item with that keyword (no case), or nullptr.
  tfilteritem* FindKeyword(const std::string& Keyword) const;

  // Adds every item to Menu as its mode says; entries run OnClick.
  void BuildMenu(TMenuItem* Menu, TFilterMenuMode Mode, const TNotifyEvent& OnClick);

 private:
  TStringList FList{true};
};

// A menu entry of a catalogue: it knows its catalogue, its filter and a text.
class tmymenuitem : public TMenuItem {
 public:
  explicit tmymenuitem(TComponent* AOwner) : TMenuItem(AOwner) {}
  tfilterclass* Catalogue = nullptr;
  tfilteritem* Filter = nullptr;
  std::string Text;
};

// Inserts Item into Menu before the first entry whose tag is greater than Tag.
void InsertByTag(TMenuItem* Menu, TMenuItem* Item, int32_t Tag);

// ---- registration ----

// Sets kind 0 and the fields, then appends the item under its caption.
void RegisterFilter(tfilterclass& Catalogue, tfilteritem* Item, const std::string& Caption,
                    const std::string& Keyword, int32_t Tag, const std::string& Category, int32_t RowCount,
                    int32_t ParamCount);
// Name and type; value and default both the default; range and increment.
void AddParameter(tfilterclass& Catalogue, tfilterparam& Param, const std::string& Name, uint8_t Typ,
                  const std::string& Default, const std::string& Min, const std::string& Max,
                  const std::string& Increment);
// Row 0..9 of suggestions for parameters 1.. of the item; parameters past the
// given values stay empty in that row.
void SetSuggestionRow(tfilterclass& Catalogue, tfilteritem& Item, int32_t Row,
                      std::initializer_list<std::string> Values);
// The built-in filters of the four catalogues.
void RegisterBuiltinFilters(tfilterclass& Filters, tfilterclass& Images, tfilterclass& Colours,
                            tfilterclass& Camera);

// The program's four catalogues, registered on first use and freed at the end.
tfilterclass& FilterCatalogue();  // menu Filter1, fmmCategories
tfilterclass& ImageCatalogue();   // menu Bild1, fmmSubmenus
tfilterclass& ColorCatalogue();   // menu Farben1, fmmSubmenus
tfilterclass& CameraCatalogue();  // menu Datei1, fmmSubmenus

// ---- command lines and stored settings ----

// The command line of an item with its current values; "" for none.
std::string FilterItemToCommand(const tfilteritem* Item);
// Param1 .. of the line, when present and not empty, become current values.
void ApplyCommandParams(tfilteritem& Item, const std::string& Line);
// Registry key of the stored values, below the current user.
inline constexpr const char* kFilterSettingsKey = "\\Software\\Kavrelin\\3.6\\FILTER";
// The value name an item is stored under; "" for convolution filters, which store nothing.
std::string FilterSettingsName(const tfilteritem& Item);
void LoadFilterSettings(tfilteritem& Item);
void StoreFilterSettings(const tfilteritem& Item);

// ---- parameter values ----

// A value as an integer: decimal, "$" or "0x" hexadecimal, or a real number
// rounded; anything else (empty text included) reads as 0.
int32_t FilterParamInt(const std::string& Value);
// A value as a real; anything that is not a number reads as 0.
double FilterParamFloat(const std::string& Value);

}  // namespace kv
