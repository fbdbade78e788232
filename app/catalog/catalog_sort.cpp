#include "app/catalog/catalog_sort.h"

#include <algorithm>
#include <cctype>

#include "app/catalog/thumbnail_cache.h"
#include "app/helpers/folder_helpers.h"
#include "app/params/param_strings.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/random.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

std::string& CurrentSortText() {
  static std::string text;
  return text;
}

int Sign(double V) { return V < 0 ? -1 : (V > 0 ? 1 : 0); }

// Folder plus file name without extension, cut before its last run of
// digits; Digits gets that run ("" when the name has none).
std::string FileNumberPrefix(const std::string& Path, std::string& Digits) {
  const std::string name = ExtractFileName(Path);
  const std::string ext = ExtractFileExt(name);
  const std::string stem = name.substr(0, name.size() - ext.size());
  size_t end = stem.size();
  while (end > 0 && !std::isdigit(static_cast<unsigned char>(stem[end - 1]))) --end;
  size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(stem[start - 1]))) --start;
  Digits = stem.substr(start, end - start);
  return ExtractFilePath(Path) + stem.substr(0, start);
}

// Runs of digits compared by value, of any length: no overflow for long runs.
// A name without a number sorts before every numbered one.
int CompareDigitRuns(std::string A, std::string B) {
  if (A.empty() || B.empty()) return int(!A.empty()) - int(!B.empty());
  A.erase(0, std::min(A.find_first_not_of('0'), A.size()));
  B.erase(0, std::min(B.find_first_not_of('0'), B.size()));
  if (A.size() != B.size()) return A.size() < B.size() ? -1 : 1;
  return A.compare(B) < 0 ? -1 : (A == B ? 0 : 1);
}

// A missing file has only its name: its date and size read as 0.
double DateOf(const std::string& Path) { return std::max<double>(FileAge(Path), 0); }
int64_t SizeOf(const std::string& Path) { return std::max<int64_t>(FileSizeOf(Path), 0); }

// An information line of both files through the thumbnail cache: picture
// sizes and resolution as numbers, the other lines as text without case.
int CompareInfo(tImageInfo Line, const std::string& A, const std::string& B) {
  TImageInfoTexts ia, ib;
  tcache().Lookup(A, nullptr, ia);
  tcache().Lookup(B, nullptr, ib);
  const std::string& ta = ia[Line];
  const std::string& tb = ib[Line];
  switch (Line) {
    case tImageInfo::imagewidth:
    case tImageInfo::imageheight:
    case tImageInfo::numpixels:
    case tImageInfo::resolution: {
      const int64_t na = StrToInt64Def(Trim(ta), 0), nb = StrToInt64Def(Trim(tb), 0);
      return na < nb ? -1 : (na > nb ? 1 : 0);
    }
    default: return Sign(AnsiCompareText(ta, tb));
  }
}

int CompareKind(int32_t Kind, const std::string& A, const std::string& B, int64_t KeyA, int64_t KeyB) {
  switch (Kind) {
    case skFileNumber: {
      std::string da, db;
      const std::string pa = FileNumberPrefix(A, da), pb = FileNumberPrefix(B, db);
      const int c = Sign(AnsiCompareText(pa, pb));
      return c != 0 ? c : CompareDigitRuns(da, db);
    }
    case skRandom:
      if (KeyA >= 0 && KeyB >= 0) return KeyA < KeyB ? -1 : (KeyA > KeyB ? 1 : 0);
      return int(Random(3)) - 1;
    case skFileName: return Sign(AnsiCompareText(ExtractFileName(A), ExtractFileName(B)));
    case skFolder: return Sign(AnsiCompareText(ExtractFilePath(A), ExtractFilePath(B)));
    case skFileDate: return Sign(DateOf(A) - DateOf(B));
    case skFileSize: {
      const int64_t sa = SizeOf(A), sb = SizeOf(B);
      return sa < sb ? -1 : (sa > sb ? 1 : 0);
    }
    default:
      if (Kind > skFileSize && Kind <= skLastKind) return CompareInfo(tImageInfo(Kind - skFileName), A, B);
      return 0;
  }
}

}  // namespace

TCatalogSort ReadCatalogSort(std::string_view Text) {
  TCatalogSort s;
  s.Sort1 = ReadParamInt(Text, "Sort1", 0);
  s.Sort1Descending = ReadParamBool(Text, "Sort1descanding", false);
  s.Sort2 = ReadParamInt(Text, "Sort2", 0);
  s.Sort2Descending = ReadParamBool(Text, "Sort2descanding", false);
  return s;
}

std::string WriteCatalogSort(const TCatalogSort& Sort) {
  return WriteParamInt("Sort1", Sort.Sort1) + WriteParamBool("Sort1descanding", Sort.Sort1Descending) +
         WriteParamInt("Sort2", Sort.Sort2) + WriteParamBool("Sort2descanding", Sort.Sort2Descending);
}

const std::string& CurrentCatalogSort() { return CurrentSortText(); }
void SetCurrentCatalogSort(const std::string& Text) { CurrentSortText() = Text; }

int CompareCatalogFiles(const TCatalogSort& Sort, const std::string& A, const std::string& B, int64_t RandomKeyA,
                        int64_t RandomKeyB) {
  int c = CompareKind(Sort.Sort1, A, B, RandomKeyA, RandomKeyB);
  if (Sort.Sort1Descending) c = -c;
  if (c != 0) return c;
  c = CompareKind(Sort.Sort2, A, B, RandomKeyA, RandomKeyB);
  return Sort.Sort2Descending ? -c : c;
}

void SortCatalogList(TStrings& List, const TCatalogSort& Sort) {
  const int32_t n = List.Count();
  if (n < 2) return;
  // A comparison that answers at random breaks a sort's assumptions (it may
  // even read outside the list): one random key per entry keeps it consistent.
  std::vector<int64_t> keys(static_cast<size_t>(n), -1);
  if (Sort.Sort1 == skRandom || Sort.Sort2 == skRandom)
    for (int64_t& k : keys) k = Random(0x7FFFFFFF);
  std::vector<int32_t> order(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) order[size_t(i)] = i;
  std::vector<std::string> paths(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) paths[size_t(i)] = List.Strings(i);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return CompareCatalogFiles(Sort, paths[size_t(a)], paths[size_t(b)], keys[size_t(a)], keys[size_t(b)]) < 0;
  });
  std::vector<std::string> sorted;
  sorted.reserve(size_t(n));
  for (int32_t i : order) sorted.push_back(paths[size_t(i)]);
  List.AssignLines(sorted);
}

void InsertSorted(TStrings& List, const std::string& Path) {
  const TCatalogSort sort = ReadCatalogSort(CurrentCatalogSort());
  if (List.Count() == 0 || (sort.Sort1 == skNone && sort.Sort2 == skNone)) {
    List.Add(Path);
    return;
  }
  // The probe at 0 keeps the search bounds of a one-entry list valid.
  List.Insert(0, Path);
  const int32_t count = List.Count();
  auto cmp = [&](int32_t i) { return CompareCatalogFiles(sort, Path, List.Strings(i)); };
  int32_t lo = 1, hi = std::max(count - 1, 1);
  int32_t at = -1;
  while (hi - lo > 1) {
    const int32_t mid = (lo + hi) / 2;
    const int c = cmp(mid);
    if (c < 0) {
      hi = mid;
    } else if (c > 0) {
      lo = mid;
    } else {
      at = mid;
      break;
    }
  }
  if (at < 0) {
    if (lo < count && cmp(lo) < 0)
      at = lo;
    else if (hi < count && cmp(hi) > 0)
      at = hi + 1;
    else
      at = hi;
  }
  List.Insert(at, Path);
  List.Delete(0);
}

std::vector<std::string> ReadCatalogFile(const std::string& FileName) {
  TStringList lines;
  lines.LoadFromFile(FileName);
  std::vector<std::string> out;
  out.reserve(size_t(lines.Count()));
  for (int32_t i = 0; i < lines.Count(); ++i) {
    std::string line = lines.Strings(i);
    // Byte-order marks left at a line's start (files joined by an editor, a
    // mark written twice) belong to no file name; written back, the file
    // would read differently.
    while (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    // A blank line names no file; taken as one it would be the Images folder itself.
    if (Trim(line).empty()) continue;
    out.push_back(ExtractFilePath(line).empty() ? ImagesFolder() + line : line);
  }
  return out;
}

void WriteCatalogFile(const std::string& FileName, const TStrings& List) { List.SaveToFile(FileName); }

}  // namespace kv
