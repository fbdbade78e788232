#include "platform/system/ini_file.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/reg_tree.h"

namespace kv {

namespace {

constexpr int64_t MaxIniBytes = 16 << 20;

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view TrimBlanks(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

// "[name]" (a missing "]" is tolerated, as the profile functions do).
bool SectionOf(std::string_view Line, std::string_view& Name) {
  Line = TrimBlanks(Line);
  if (Line.empty() || Line.front() != '[') return false;
  Line.remove_prefix(1);
  const size_t close = Line.find(']');
  Name = TrimBlanks(Line.substr(0, close));
  return true;
}

// "name=value"; comments (";") and lines without "=" are no values.
bool ValueOf(std::string_view Line, std::string_view& Name, std::string_view& Value) {
  Line = TrimBlanks(Line);
  if (Line.empty() || Line.front() == ';' || Line.front() == '[') return false;
  const size_t eq = Line.find('=');
  if (eq == std::string_view::npos) return false;
  Name = TrimBlanks(Line.substr(0, eq));
  Value = TrimBlanks(Line.substr(eq + 1));
  return true;
}

std::string Unquote(std::string_view V) {
  if (V.size() >= 2 && V.front() == V.back() && (V.front() == '"' || V.front() == '\''))
    V = V.substr(1, V.size() - 2);
  return std::string(V);
}

bool HasLineBreak(std::string_view S) { return S.find_first_of("\r\n") != std::string_view::npos; }

// Lines [First, Last) of each section named Section (all occurrences, file order).
struct TRange {
  size_t Header, First, Last;
};
std::vector<TRange> FindSections(const std::vector<std::string>& Lines, std::string_view Section) {
  std::vector<TRange> out;
  std::string_view name;
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (!SectionOf(Lines[i], name)) continue;
    if (!out.empty() && out.back().Last == Lines.size()) out.back().Last = i;
    if (SameRegName(name, Section)) out.push_back(TRange{i, i + 1, Lines.size()});
  }
  return out;
}

}  // namespace

bool TryParseIniInteger(std::string_view S, int32_t& Out) { return TryStrToInt(TrimBlanks(S), Out); }

TIniLines ParseIniText(std::string_view Text) {
  TIniLines lines;
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") {
    lines.Bom = true;
    Text.remove_prefix(3);
  }
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = Text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = Text.size();
    const std::string_view line = Text.substr(pos, end - pos);
    size_t next = end + 1;
    if (end < Text.size() && Text[end] == '\r') {
      // A run of CRs before a LF is all line end: a line left ending in one would
      // read back differently once written with LF ends ("a\r\r\n" becomes "a\r\n").
      // A CR without a LF after its run ends the line by itself (CR-only files).
      size_t run = end;
      while (run < Text.size() && Text[run] == '\r') ++run;
      const bool lf = run < Text.size() && Text[run] == '\n';
      if (lf) next = run + 1;
      if (lines.Items.empty()) (lf ? lines.Crlf : lines.CrOnly) = true;
    }
    lines.Items.emplace_back(line);
    pos = next;
  }
  return lines;
}

std::string FormatIniText(const TIniLines& Lines) {
  std::string text;
  if (Lines.Bom) text = "\xEF\xBB\xBF";
  const char* eol = Lines.Crlf ? "\r\n" : Lines.CrOnly ? "\r" : "\n";
  for (const auto& l : Lines.Items) {
    text += l;
    text += eol;
  }
  return text;
}

std::string IniReadString(const TIniLines& Lines, std::string_view Section, std::string_view Ident,
                          const std::string& Default) {
  std::string_view name, value;
  for (const TRange& r : FindSections(Lines.Items, Section)) {
    for (size_t i = r.First; i < r.Last; ++i)
      if (ValueOf(Lines.Items[i], name, value) && SameRegName(name, TrimBlanks(Ident))) return Unquote(value);
    break;  // only the first section of a name counts
  }
  return Default;
}

void IniReadSection(const TIniLines& Lines, std::string_view Section, std::vector<std::string>& Names) {
  Names.clear();
  std::string_view name, value;
  const auto sections = FindSections(Lines.Items, Section);
  if (sections.empty()) return;
  for (size_t i = sections.front().First; i < sections.front().Last; ++i)
    if (ValueOf(Lines.Items[i], name, value)) Names.emplace_back(name);
}

void IniReadSectionValues(const TIniLines& Lines, std::string_view Section, std::vector<std::string>& Strings) {
  Strings.clear();
  const auto sections = FindSections(Lines.Items, Section);
  if (sections.empty()) return;
  // One pass: every name gets the value of its first line in the section, as a
  // lookup by name would give, without searching the file once per name.
  std::vector<std::pair<std::string_view, std::string_view>> entries;
  std::unordered_map<std::string, std::string_view> first;
  std::string_view name, value;
  for (size_t i = sections.front().First; i < sections.front().Last; ++i) {
    if (!ValueOf(Lines.Items[i], name, value)) continue;
    entries.emplace_back(name, value);
    first.try_emplace(RegNameKey(name), value);
  }
  Strings.reserve(entries.size());
  for (const auto& e : entries) Strings.push_back(std::string(e.first) + "=" + Unquote(first[RegNameKey(e.first)]));
}

void IniReadSections(const TIniLines& Lines, std::vector<std::string>& Names) {
  Names.clear();
  std::string_view name;
  // Hashed, so that a file of very many sections is not compared name by name.
  std::unordered_set<std::string> seen;
  for (const auto& l : Lines.Items) {
    if (!SectionOf(l, name)) continue;
    if (seen.insert(RegNameKey(name)).second) Names.emplace_back(name);
  }
}

bool WritableIniEntry(std::string_view Section, std::string_view Ident, std::string_view Value) {
  // A line break (or a name that reads as something else) would inject lines into the file.
  const std::string_view ident = TrimBlanks(Ident);
  return !HasLineBreak(Section) && Section.find(']') == std::string_view::npos && !HasLineBreak(Ident) &&
         !ident.empty() && ident.find('=') == std::string_view::npos && ident.front() != ';' &&
         ident.front() != '[' && !HasLineBreak(Value);
}

bool IniWriteString(TIniLines& Lines, std::string_view Section, std::string_view Ident, std::string_view Value) {
  const std::string_view ident = TrimBlanks(Ident);
  auto& items = Lines.Items;
  const auto sections = FindSections(items, Section);
  if (sections.empty()) {
    if (!items.empty() && !TrimBlanks(items.back()).empty()) items.emplace_back();
    items.push_back("[" + std::string(Section) + "]");
    items.push_back(std::string(ident) + "=" + std::string(Value));
    return true;
  }
  const TRange& r = sections.front();
  std::string_view name, value;
  size_t insertAt = r.First;
  for (size_t i = r.First; i < r.Last; ++i) {
    if (ValueOf(items[i], name, value) && SameRegName(name, ident)) {
      items[i] = std::string(name) + "=" + std::string(Value);  // keeps the name's written case
      return true;
    }
    if (!TrimBlanks(items[i]).empty()) insertAt = i + 1;
  }
  items.insert(items.begin() + ptrdiff_t(insertAt), std::string(ident) + "=" + std::string(Value));
  return true;
}

bool IniEraseSection(TIniLines& Lines, std::string_view Section) {
  const auto sections = FindSections(Lines.Items, Section);
  // Every section of the name goes, or erasing would bring an older copy to light.
  for (auto it = sections.rbegin(); it != sections.rend(); ++it)
    Lines.Items.erase(Lines.Items.begin() + ptrdiff_t(it->Header), Lines.Items.begin() + ptrdiff_t(it->Last));
  return !sections.empty();
}

bool IniDeleteKey(TIniLines& Lines, std::string_view Section, std::string_view Ident) {
  const auto sections = FindSections(Lines.Items, Section);
  if (sections.empty()) return false;
  std::string_view name, value;
  for (size_t i = sections.front().First; i < sections.front().Last; ++i)
    if (ValueOf(Lines.Items[i], name, value) && SameRegName(name, TrimBlanks(Ident))) {
      Lines.Items.erase(Lines.Items.begin() + ptrdiff_t(i));
      return true;
    }
  return false;
}

int32_t TCustomIniFile::ReadInteger(const std::string& Section, const std::string& Ident,
                                    int32_t Default) {
  int32_t v = Default;
  return TryParseIniInteger(ReadString(Section, Ident, ""), v) ? v : Default;
}

void TCustomIniFile::WriteInteger(const std::string& Section, const std::string& Ident,
                                  int32_t Value) {
  WriteString(Section, Ident, std::to_string(Value));
}

bool TCustomIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(const std::string& Section, const std::string& Ident,
                                 double Default) {
  std::string s(TrimBlanks(ReadString(Section, Ident, "")));
  // Files written under a German locale use a decimal comma.
  if (s.find('.') == std::string::npos) {
    const size_t comma = s.find(',');
    if (comma != std::string::npos) s[comma] = '.';
  }
  if (!s.empty() && s.front() == '+') s.erase(0, 1);
  double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return Default;
  return v;
}

void TCustomIniFile::WriteFloat(const std::string& Section, const std::string& Ident, double Value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, Value);
  WriteString(Section, Ident, std::string(buf, r.ptr));
}

void TCustomIniFile::ReadSection(const std::string& Section, TStrings& Strings) {
  std::vector<std::string> v;
  ReadSection(Section, v);
  Strings.AssignLines(v);
}

void TCustomIniFile::ReadSections(TStrings& Strings) {
  std::vector<std::string> v;
  ReadSections(v);
  Strings.AssignLines(v);
}

void TCustomIniFile::ReadSectionValues(const std::string& Section, TStrings& Strings) {
  std::vector<std::string> v;
  ReadSectionValues(Section, v);
  Strings.AssignLines(v);
}

bool TCustomIniFile::SectionExists(const std::string& Section) {
  std::vector<std::string> keys;
  ReadSection(Section, keys);
  return !keys.empty();
}

bool TCustomIniFile::ValueExists(const std::string& Section, const std::string& Ident) {
  std::vector<std::string> keys;
  ReadSection(Section, keys);
  for (const auto& k : keys)
    if (SameRegName(k, Ident)) return true;
  return false;
}

TIniFile::TIniFile(const std::string& FileName)
    : TCustomIniFile(FileName.find('/') == std::string::npos ? ConfigFolder() + FileName : FileName),
      FBareName(FileName.find('/') == std::string::npos) {
  const size_t slash = this->FileName().rfind('/');
  FFolder = slash == 0 ? "/" : this->FileName().substr(0, slash);
}

void TIniFile::Load() {
  const TFileStamp stamp = GetFileStamp(FileName());
  if (FLoaded && stamp == FStamp) return;
  std::string text;
  FLines = stamp.Exists && ReadFileToString(FileName(), text, MaxIniBytes) ? ParseIniText(text) : TIniLines();
  FStamp = stamp;
  FLoaded = true;
}

void TIniFile::Save() {
  AtomicWriteFile(FileName(), FormatIniText(FLines));
  FStamp = GetFileStamp(FileName());
}

std::string TIniFile::LockFolder() const {
  // The replace lands beside a symbolic link's target, so the lock must be
  // there too: writers by the link and by the target then exclude each other.
  struct stat st {};
  if (::lstat(FileName().c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return FFolder;
  char* real = ::realpath(FileName().c_str(), nullptr);
  if (!real) return FFolder;  // a dangling link: no target to share
  const std::string target(real);
  std::free(real);
  const size_t slash = target.rfind('/');
  return slash == 0 ? "/" : target.substr(0, slash);
}

template <typename F> void TIniFile::Modify(F&& Change) {
  try {
    if (FBareName) ForceDirectories(FFolder);
    TFileLock lock(LockFolder(), true);  // held across re-read, change and replace
    FLoaded = false;
    Load();
    if (Change()) Save();
  } catch (const Exception&) {
    FLoaded = false;  // forget the unsaved change: the file is the truth
    throw EIniFileException("Schreiben in " + FileName() + " nicht möglich");
  }
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) {
  try {
    Load();
  } catch (const Exception&) {
    return Default;  // an unreadable file reads as empty, as the profile functions do
  }
  return IniReadString(FLines, Section, Ident, Default);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident,
                           const std::string& Value) {
  if (!WritableIniEntry(Section, Ident, Value)) throw EIniFileException("Schreiben in " + FileName() + " nicht möglich");
  Modify([&] { return IniWriteString(FLines, Section, Ident, Value); });
}

void TIniFile::ReadSection(const std::string& Section, std::vector<std::string>& Strings) {
  Strings.clear();
  try {
    Load();
  } catch (const Exception&) {
    return;
  }
  IniReadSection(FLines, Section, Strings);
}

void TIniFile::ReadSections(std::vector<std::string>& Strings) {
  Strings.clear();
  try {
    Load();
  } catch (const Exception&) {
    return;
  }
  IniReadSections(FLines, Strings);
}

void TIniFile::ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) {
  Strings.clear();
  try {
    Load();
  } catch (const Exception&) {
    return;
  }
  IniReadSectionValues(FLines, Section, Strings);
}

void TIniFile::EraseSection(const std::string& Section) {
  Modify([&] { return IniEraseSection(FLines, Section); });
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  Modify([&] { return IniDeleteKey(FLines, Section, Ident); });
}

}  // namespace kv
