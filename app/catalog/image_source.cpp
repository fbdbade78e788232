#include "app/catalog/image_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"

namespace kv {

namespace {

constexpr const char* kAbsent = "\x01";

int32_t ReadInt(std::string_view Text, std::string_view Name, int32_t Default) {
  const std::string raw = ReadCommandParam(Text, Name, kAbsent);
  int32_t v = 0;
  return raw != kAbsent && TryStrToInt(Trim(raw), v) ? v : Default;
}

bool ReadBool(std::string_view Text, std::string_view Name, bool Default) {
  const std::string raw = Trim(ReadCommandParam(Text, Name, kAbsent));
  if (raw == kAbsent) return Default;
  int32_t v = 0;
  if (TryStrToInt(raw, v)) return v > 0;
  if (SameText(raw, "true")) return true;
  if (SameText(raw, "false")) return false;
  return Default;
}

int32_t ReadSortKey(std::string_view Text, std::string_view Name) {
  const int32_t k = ReadInt(Text, Name, skNone);
  return k >= skNone && k <= skLastKind ? k : skNone;
}

// Relative names are taken from the program folder, without changing the
// process's current folder.
std::string FromProgramFolder(const std::string& Name) {
  if (Name.empty() || Name[0] == '/') return Name;
  std::string base = ProgramFolder();
  if (!base.empty() && base.back() != '/') base += '/';
  return base + Name;
}

using TFileId = std::pair<dev_t, ino_t>;

// A subfolder is entered once: a link back to a folder being walked (or walked
// before) would otherwise repeat the walk without end.
void ListFolder(const std::filesystem::path& Folder, bool Subdirs, std::set<TFileId>& Seen, TStrings& Out) {
  struct stat st {};
  if (::stat(Folder.c_str(), &st) != 0 || !Seen.insert({st.st_dev, st.st_ino}).second) return;
  std::error_code ec;
  std::vector<std::filesystem::directory_entry> entries;
  for (std::filesystem::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(*it);
  // The file system gives its entries in no order a person could follow: the
  // listing goes by name, so the same folder always gives the same list.
  std::sort(entries.begin(), entries.end(),
            [](const auto& A, const auto& B) { return A.path().filename().string() < B.path().filename().string(); });
  for (const auto& e : entries) {
    const std::string name = e.path().filename().string();
    std::error_code typeError;
    if (e.is_directory(typeError)) {
      if (Subdirs && !name.empty() && name[0] != '.') ListFolder(e.path(), Subdirs, Seen, Out);
      continue;
    }
    if (e.is_regular_file(typeError)) Out.Add(e.path().string());
  }
}

}  // namespace

TImageSourceParams ReadImageSourceParams(std::string_view Text) {
  TImageSourceParams p;
  p.SourceMode = ReadInt(Text, "SourceMode", ismNone);
  p.Dir = ReadParamString(Text, "Dir", "");
  p.Subdirs = ReadBool(Text, "Subdirs", false);
  p.Catalog = ReadParamString(Text, "catalog", "");
  p.Seperate = ReadBool(Text, "seperate", false);
  p.Sort.Sort1 = ReadSortKey(Text, "Sort1");
  p.Sort.Sort1Descending = ReadBool(Text, "Sort1descanding", false);
  p.Sort.Sort2 = ReadSortKey(Text, "Sort2");
  p.Sort.Sort2Descending = ReadBool(Text, "Sort2descanding", false);
  p.Filetypes = ReadInt(Text, "Filetypes", kDefaultImageSourceFiletypes);
  return p;
}

tFileFormatset FiletypesToKinds(int32_t Filetypes) {
  tFileFormatset kinds;
  for (int k = 0; k < kFileFormatCount; ++k)
    if ((uint32_t(Filetypes) >> k) & 1u) kinds.Include(tFileFormat(k));
  return kinds;
}

bool ImageSourceAccepts(std::string_view Name, tFileFormatset Kinds) {
  const std::string ext = LowerCase(ExtractFileExt(std::string(Name)));
  if (ext.size() < 2) return false;
  for (int k = 0; k < kFileFormatCount; ++k) {
    const tFileFormat kind = tFileFormat(k);
    if (!Kinds.Contains(kind)) continue;
    if (ext == "." + LowerCase(FileKindExtension(kind))) return true;
    for (int32_t n = 0;; ++n) {
      const std::string extra = FileKindExtraExtension(kind, n);
      if (extra.empty()) break;
      if (ext == "." + LowerCase(extra)) return true;
    }
  }
  return false;
}

void ListImageSource(const std::string& Text, TStrings& List) {
  List.Clear();
  const TImageSourceParams p = ReadImageSourceParams(Text);
  TStringList found;
  if (p.SourceMode == ismFolder) {
    if (p.Dir.empty()) return;
    std::set<TFileId> seen;
    ListFolder(FromProgramFolder(p.Dir), p.Subdirs, seen, found);
  } else if (p.SourceMode == ismCatalog) {
    for (const std::string& f : ReadCatalogFile(FromProgramFolder(p.Catalog))) found.Add(f);
  } else {
    return;
  }
  const tFileFormatset kinds = FiletypesToKinds(p.Filetypes);
  List.BeginUpdate();
  for (int32_t i = 0; i < found.Count(); ++i)
    if (ImageSourceAccepts(found.Get(i), kinds)) List.Add(found.Get(i));
  List.EndUpdate();
  SetCurrentCatalogSort(Text);
  if (p.Sort.Sort1 != skNone || p.Sort.Sort2 != skNone) SortCatalogList(List, p.Sort);
}

std::vector<std::string> ListImageSource(const std::string& Text) {
  TStringList list;
  ListImageSource(Text, list);
  std::vector<std::string> out;
  out.reserve(size_t(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

}  // namespace kv
