// tfflfilter: a library of Filter Factory filters held as the text lines of
// an ".ffl" file (header, filter count, 29 lines per filter), with the
// conversion of single-filter ".afs" files, field access, adding and deleting
// filters, saving, and running the current filter.
#pragma once
#include <cstdint>
#include <string>

#include "imaging/model/kernel_types.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/types.h"

namespace kv {

// Field kinds of GetField and SetField.
enum TFflField : uint8_t {
  ffkCount, ffk8BF, ffkCategory, ffkTitle, ffkAuthor, ffkCopyright, ffkControlName, ffkControlValue,
  ffkRed, ffkGreen, ffkBlue, ffkAlpha
};

constexpr int32_t kFflLinesPerFilter = 29;
inline constexpr const char* kFflHeader = "FFL1.0";
// Resource texts: the category of a new filter and of a converted ".afs" file.
inline constexpr const char* kFflOwnCategory = "Eigene Filter";
inline constexpr const char* kFflNoCategory = "Keine Kategorie";

class tfflfilter {
 public:
  // "FFL1.0", "0" and one new filter; current filter 0.
  tfflfilter();

  // An ".afs" file (by its extension) is converted, anything else read as an
  // ".ffl" library. A missing or unreadable file raises EFOpenError / EReadError.
  void Load(const std::string& FileName);
  void LoadFromStream(TStream& Stream, bool Afs);
  // Writes the lines as they are (atomically).
  void Save(const std::string& FileName) const;

  // The line of a field; "" (and no change on writing) for a line the library does not hold.
  std::string GetField(int32_t Kind, int32_t Filter, int32_t Index = 0) const;
  void SetField(const std::string& Text, int32_t Kind, int32_t Index, int32_t Filter);

  // Inserts a new filter before filter N (at the end when N is past it).
  void NewFilter(int32_t N);
  // Removes filter N, unless it is the only one.
  void DeleteFilter(int32_t N);

  // The filter count of line 1 (0 when it is not a number).
  int32_t Count() const;
  int32_t CurrentFilter() const { return FCurrent; }
  void SetCurrentFilter(int32_t Value) { FCurrent = Value; }
  const TStringList& Lines() const { return FLines; }

  // Runs the current filter (its red, green and blue formulas and control
  // values); see FFRunFilter. 0 or the error position.
  int32_t Run(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress, const TRect& Rect) const;
  int32_t RunPreview(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress, const TRect& Rect,
                     double Scale) const;
  // The control-use test of the current filter.
  bool ControlUsed(int32_t Control) const;

 private:
  int32_t LineOf(int32_t Kind, int32_t Filter, int32_t Index) const;
  void Reset();
  void ConvertAfs(TStringList& Src);
  void FixCount();

  TStringList FLines;
  int32_t FCurrent = 0;
};

}  // namespace kv
