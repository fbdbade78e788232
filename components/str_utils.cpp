// Text, command-line, file-name and memory routines.
#include "components/str_utils.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/rtl/date_time.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {
bool IsDelim(char C, const TCharSet& D) { return D.Contains(static_cast<unsigned char>(C)); }
bool IsPathDelim(char C) { return C == '/' || C == '\\'; }
}  // namespace

std::string ReplaceAll(std::string_view Text, std::string_view Search, std::string_view Replacement) {
  if (Search.empty()) return std::string(Text);
  std::string r;
  size_t p = 0;
  for (;;) {
    const size_t q = Text.find(Search, p);
    if (q == std::string_view::npos) break;
    r.append(Text.substr(p, q - p)).append(Replacement);
    p = q + Search.size();
  }
  r.append(Text.substr(p));
  return r;
}

std::string RemoveChar(std::string_view Text, char Ch) {
  std::string r;
  for (char c : Text)
    if (c != Ch) r += c;
  return r;
}

std::string TrimLeadingBlanks(std::string_view Text) {
  const size_t p = Text.find_first_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(Text.substr(p));
}

std::string TrimTrailingBlanks(std::string_view Text) {
  const size_t p = Text.find_last_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(Text.substr(0, p + 1));
}

std::string TrimBlanks(std::string_view Text) { return TrimTrailingBlanks(TrimLeadingBlanks(Text)); }

std::string RepeatChar(char Ch, int32_t Count) { return Count <= 0 ? std::string() : std::string(size_t(Count), Ch); }

int32_t CountWords(std::string_view Text, const TCharSet& Delims) {
  int32_t n = 0;
  bool inWord = false;
  for (char c : Text) {
    const bool d = IsDelim(c, Delims);
    if (!d && !inWord) ++n;
    inWord = !d;
  }
  return n;
}

int32_t FindWordStart(int32_t N, std::string_view Text, const TCharSet& Delims) {
  int32_t n = 0;
  bool inWord = false;
  for (size_t i = 0; i < Text.size(); ++i) {
    const bool d = IsDelim(Text[i], Delims);
    if (!d && !inWord && ++n == N) return static_cast<int32_t>(i + 1);
    inWord = !d;
  }
  return 0;
}

std::string GetWord(int32_t N, std::string_view Text, const TCharSet& Delims) {
  const int32_t p = FindWordStart(N, Text, Delims);
  if (p == 0) return {};
  size_t e = size_t(p - 1);
  while (e < Text.size() && !IsDelim(Text[e], Delims)) ++e;
  return std::string(Text.substr(size_t(p - 1), e - size_t(p - 1)));
}

std::string TakeField(std::string_view Text, int32_t& Pos, const TCharSet& Delims) {
  if (Pos < 1) Pos = 1;
  size_t i = size_t(Pos - 1);
  const size_t start = std::min(i, Text.size());
  while (i < Text.size() && !IsDelim(Text[i], Delims)) ++i;
  std::string r(Text.substr(start, i - start));
  if (i < Text.size()) ++i;  // past the one delimiter
  Pos = static_cast<int32_t>(i + 1);
  return r;
}

void SplitProgramAndParams(std::string_view CommandLine, std::string& Program, std::string& Params) {
  std::vector<std::string> items;
  size_t i = 0;
  const size_t n = CommandLine.size();
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (i < n) {
    while (i < n && blank(CommandLine[i])) ++i;
    if (i >= n) break;
    // An empty pair of quotes at an item's start is no text.
    if (i + 1 < n && CommandLine[i] == '"' && CommandLine[i + 1] == '"') i += 2;
    std::string item;
    bool quoted = false;
    while (i < n && (quoted || !blank(CommandLine[i]))) {
      if (CommandLine[i] == '"') quoted = !quoted;
      else item += CommandLine[i];
      ++i;
    }
    items.push_back(std::move(item));
  }
  Program = items.empty() ? std::string() : items[0];
  Params.clear();
  for (size_t k = 1; k < items.size(); ++k) {
    if (k > 1) Params += ' ';
    if (items[k].find(' ') != std::string::npos) Params += '"' + items[k] + '"';
    else Params += items[k];
  }
}

bool FileNameAllowed(std::string_view Name) {
  return !Name.empty() && Name.find_first_of("<>\"[]|") == std::string_view::npos;
}

bool FolderExists(const std::string& Path) { return DirectoryExists(Path); }

std::string RemoveTrailingBackslash(std::string_view Path) {
  if (Path.size() <= 1 || !IsPathDelim(Path.back())) return std::string(Path);
  if (Path.size() == 3 && Path[1] == ':') return std::string(Path);  // a drive root
  return std::string(Path.substr(0, Path.size() - 1));
}

std::string LongComponentName(const std::string& Path) {
  struct stat st {};
  if (Path.empty() || ::lstat(Path.c_str(), &st) != 0) return {};
  return ExtractFileName(RemoveTrailingBackslash(Path));
}

std::string ShortComponentName(const std::string& Path) { return LongComponentName(Path); }

std::string ToLongPath(const std::string& Path) {
  // Each component from the last to the first, behind the unconverted root.
  std::string rest = RemoveTrailingBackslash(Path);
  std::vector<std::string> parts;
  while (!rest.empty()) {
    const size_t p = rest.find_last_of("/\\");
    if (p == std::string::npos) {
      const std::string n = LongComponentName(rest);
      parts.push_back(n.empty() ? rest : n);
      rest.clear();
      break;
    }
    const std::string comp = rest.substr(p + 1);
    if (!comp.empty()) {
      const std::string n = LongComponentName(rest);
      parts.push_back(n.empty() ? comp : n);
    }
    rest = rest.substr(0, p);
    if (rest.empty() || (rest.size() == 2 && rest[1] == ':')) {
      rest += Path[p];
      break;
    }
  }
  std::string r = rest;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    if (!r.empty() && !IsPathDelim(r.back())) r += '/';
    r += *it;
  }
  return r;
}

std::string ToShortPath(const std::string& Path) { return ToLongPath(Path); }

void* AllocZeroed(int64_t Size) {
  if (Size <= 0) return nullptr;
  void* p = std::calloc(1, static_cast<size_t>(Size));
  if (!p) throw EOutOfMemory();
  return p;
}

void FreeAndClear(void*& Block) {
  if (!Block) return;
  std::free(Block);
  Block = nullptr;
}

void CopyBytes(void* Target, const void* Source, int64_t Count) {
  if (Count > 0) std::memmove(Target, Source, static_cast<size_t>(Count));
}

bool SameBytes(const void* A, const void* B, int64_t Count) {
  return Count <= 0 || std::memcmp(A, B, static_cast<size_t>(Count)) == 0;
}

bool FourDigitYear() {
  static const bool four = Pos("YYYY", UpperCase(ShortDateFormat)) > 0;
  return four;
}

}  // namespace kv
