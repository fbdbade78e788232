// Order of catalog entries: the sort parameter text with its two keys, the
// comparison of two files by it, the insertion of one file at its sorted
// place, and the catalog file (".pcf", one path a line).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TStrings;

// Sort kinds: 0 none, 1 folder and name by their trailing number, 2 random,
// 3 to 13 the eleven image-information lines (kind - 3).
enum TCatalogSortKind : int32_t {
  skNone = 0,
  skFileNumber = 1,
  skRandom = 2,
  skFileName = 3,
  skFolder = 4,
  skFileDate = 5,
  skFileSize = 6,
  skLastKind = 13,
};

struct TCatalogSort {
  int32_t Sort1 = skNone;
  bool Sort1Descending = false;
  int32_t Sort2 = skNone;
  bool Sort2Descending = false;
};

// The keys are read without regard to case; a missing key reads as 0.
TCatalogSort ReadCatalogSort(std::string_view Text);
// " Sort1=.. Sort1descanding=.. Sort2=.. Sort2descanding=..", in that order.
std::string WriteCatalogSort(const TCatalogSort& Sort);

// The one sort text shared by every catalog (and later the browser).
const std::string& CurrentCatalogSort();
void SetCurrentCatalogSort(const std::string& Text);

// Below 0, 0 or above 0 as A sorts before, with or after B under Sort.
// Random kinds compare by RandomKeyA/B when given (>= 0), else by a fresh
// random -1, 0 or 1.
int CompareCatalogFiles(const TCatalogSort& Sort, const std::string& A, const std::string& B,
                        int64_t RandomKeyA = -1, int64_t RandomKeyB = -1);

// Sorts List by Sort; random kinds draw one key per entry, so the order is a
// shuffle and never an inconsistent comparison.
void SortCatalogList(TStrings& List, const TCatalogSort& Sort);

// Inserts Path at its place under the current sort text: appended when there
// are no keys or the list is empty; before an entry it equals.
void InsertSorted(TStrings& List, const std::string& Path);

// The entries of a catalog file in file order: blank lines are skipped and a
// line without a folder names a file of the Images folder. Raises when the
// file cannot be read.
std::vector<std::string> ReadCatalogFile(const std::string& FileName);
void WriteCatalogFile(const std::string& FileName, const TStrings& List);

}  // namespace kv
