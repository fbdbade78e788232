#include "app/params/param_strings.h"

#include <charconv>
#include <optional>
#include <unordered_map>

#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

constexpr std::string_view kCommand = "COMMAND";

std::string_view TrimView(std::string_view S) {
  while (S.size() >= 2 && S.front() == ' ') S.remove_prefix(1);
  while (S.size() >= 2 && S.back() == ' ') S.remove_suffix(1);
  return S;
}

// The keyword and the text holding the pairs. A line whose first word holds
// the first "=" has no keyword of its own: that word starts the first pair.
struct TLineParts {
  bool Empty = true;
  std::string_view Keyword;
  std::string_view Rest;
};

TLineParts SplitLine(std::string_view Line) {
  TLineParts parts;
  Line = TrimView(Line);
  if (Line.empty() || Line == " ") return parts;
  parts.Empty = false;
  const size_t blank = Line.find(' ');
  const size_t wordEnd = blank == std::string_view::npos ? Line.size() : blank + 1;  // the blank included
  parts.Keyword = TrimView(Line.substr(0, wordEnd));
  const size_t eq = Line.find('=');
  parts.Rest = Line;
  if (eq != std::string_view::npos && eq + 1 > wordEnd) parts.Rest.remove_prefix(wordEnd);
  parts.Rest = TrimView(parts.Rest);
  return parts;
}

// Hands each pair, in order, to Visit(name, value) until it answers true.
// A lone "=", a single last character, a name with nothing behind its "=" or
// a trailing word without "=" ends the scan. An empty quoted value is passed
// over without being offered; a missing closing quote takes the last
// character of the line with it.
template <typename TVisit>
void ScanPairs(std::string_view Rest, TVisit&& Visit) {
  while (!Rest.empty()) {
    if (Rest.front() == '=' || Rest.size() == 1) return;
    const size_t eq = Rest.find('=');
    const size_t nameEnd = eq == std::string_view::npos ? Rest.size() - 1 : eq;
    const std::string_view name = TrimView(Rest.substr(0, nameEnd));
    Rest.remove_prefix(std::min(Rest.size(), nameEnd + 1));
    Rest = TrimView(Rest);
    if (Rest.empty()) return;

    std::string_view value;
    bool offered = true;
    if (Rest.front() == '"') {
      Rest.remove_prefix(1);
      // k: 1-based place of the closing quote, or the length when there is none.
      const size_t q = Rest.find('"');
      const size_t k = q == std::string_view::npos ? Rest.size() : q + 1;
      const size_t len = k == 0 ? 0 : k - 1;
      offered = k != 1;
      value = Rest.substr(0, len);
      // The value, its closing quote (or the last character) and the one after.
      Rest.remove_prefix(std::min(Rest.size(), len + 2));
    } else {
      const size_t blank = Rest.find(' ');
      const size_t len = blank == std::string_view::npos ? Rest.size() : blank;
      value = Rest.substr(0, len);
      Rest.remove_prefix(std::min(Rest.size(), len + 1));
    }
    Rest = TrimView(Rest);
    if (offered && Visit(name, value)) return;
  }
}

std::optional<std::string_view> FindParam(std::string_view Line, std::string_view Name) {
  const TLineParts parts = SplitLine(Line);
  if (parts.Empty) return std::nullopt;
  if (SameTextNoCase(Name, kCommand)) return parts.Keyword;
  const std::string wanted = AnsiUpperCase(Name);
  std::optional<std::string_view> found;
  ScanPairs(parts.Rest, [&](std::string_view name, std::string_view value) {
    // Capitals keep the byte length, so a length mismatch rules a name out cheaply.
    if (name.size() != wanted.size() || AnsiUpperCase(name) != wanted) return false;
    found = value;
    return true;
  });
  return found;
}

int32_t TextToInt(std::string_view Text) {
  int32_t v = 0;
  return TryStrToInt(Text, v) ? v : 0;
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// Blanks, a sign, digits with an optional "." and digits, an optional
// exponent; always "." whatever the locale.
bool TextToFloat(std::string_view S, double& Value) {
  size_t p = 0;
  const size_t n = S.size();
  while (p < n && S[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (S[p] == '+' || S[p] == '-')) negative = S[p++] == '-';
  const size_t start = p;
  size_t digits = 0;
  for (; p < n && IsDigit(S[p]); ++p) ++digits;
  if (p < n && S[p] == '.')
    for (++p; p < n && IsDigit(S[p]); ++p) ++digits;
  if (digits == 0) return false;
  if (p < n && (S[p] == 'e' || S[p] == 'E')) {
    size_t q = p + 1;
    if (q < n && (S[q] == '+' || S[q] == '-')) ++q;
    const size_t expStart = q;
    while (q < n && IsDigit(S[q])) ++q;
    if (q == expStart) return false;
    p = q;
  }
  const size_t end = p;
  while (p < n && S[p] == ' ') ++p;
  if (p != n) return false;
  double v = 0;
  const auto res = std::from_chars(S.data() + start, S.data() + end, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != S.data() + end) return false;
  Value = negative ? -v : v;
  return true;
}

std::string Fragment(std::string_view Name, std::string_view ValueText) {
  std::string s;
  s.reserve(Name.size() + ValueText.size() + 2);
  s += ' ';
  s += Name;
  s += '=';
  s += ValueText;
  return s;
}

}  // namespace

std::string TrimSpaces(std::string_view Text) { return std::string(TrimView(Text)); }

bool SameTextNoCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && AnsiUpperCase(A) == AnsiUpperCase(B);
}

int32_t PosNoCase(std::string_view Sub, std::string_view Text) {
  return Pos(AnsiUpperCase(Sub), AnsiUpperCase(Text));
}

std::string ReadCommandParam(std::string_view Line, std::string_view Name, std::string_view Default) {
  const auto v = FindParam(Line, Name);
  return std::string(v ? *v : Default);
}

std::string ReadParamString(std::string_view Line, std::string_view Name, std::string_view Default) {
  return ReadCommandParam(Line, Name, Default);
}

int32_t ReadParamInt(std::string_view Line, std::string_view Name, int32_t Default) {
  const auto v = FindParam(Line, Name);
  return v ? TextToInt(*v) : Default;
}

double ReadParamFloat(std::string_view Line, std::string_view Name, double Default) {
  const auto v = FindParam(Line, Name);
  if (!v) return Default;
  double d = 0;
  return TextToFloat(*v, d) ? d : 0.0;
}

bool ReadParamBool(std::string_view Line, std::string_view Name, bool Default) {
  return ReadParamInt(Line, Name, Default ? 1 : 0) > 0;
}

void ReadParamFont(std::string_view Line, TFont& Font) {
  Font.SetColor(ReadParamInt(Line, "fontColor", 0));
  Font.SetHeight(ReadParamInt(Line, "fontHeight", 38));
  Font.SetName(ReadParamString(Line, "fontName", "Times New Roman"));
  TFontStyles style;
  if (ReadParamBool(Line, "fontBold", false)) style.Include(fsBold);
  if (ReadParamBool(Line, "fontItalic", false)) style.Include(fsItalic);
  if (ReadParamBool(Line, "fontUnderline", false)) style.Include(fsUnderline);
  if (ReadParamBool(Line, "fontStrikeout", false)) style.Include(fsStrikeOut);
  Font.SetStyle(style);
}

bool ReadParamStrings(std::string_view Line, std::string_view Name, TStrings& List) {
  List.Clear();
  // One pass over the line: the first value of every name, so that a long
  // list costs one scan and not one per item.
  std::unordered_map<std::string, std::string_view> first;
  const TLineParts parts = SplitLine(Line);
  if (!parts.Empty)
    ScanPairs(parts.Rest, [&](std::string_view name, std::string_view value) {
      first.emplace(AnsiUpperCase(name), value);
      return false;
    });
  const std::string upper = AnsiUpperCase(Name);
  const auto count = first.find(upper + "COUNT");
  if (count == first.end()) return false;
  // A count beyond the line's length is no list this program wrote; the cap
  // keeps a stray number from filling memory with empty lines.
  const int32_t n = std::min(TextToInt(count->second), Length(Line));
  for (int32_t i = 0; i < n; ++i) {
    const auto item = first.find(upper + IntToStr(i));
    List.Add(item == first.end() ? std::string() : std::string(item->second));
  }
  return true;
}

tImageInfoset ReadParamImageInfoset(std::string_view Line, std::string_view Name) {
  return tImageInfoset::FromMask(static_cast<uint32_t>(ReadParamInt(Line, Name, 0)));
}

tFileFormatset ReadParamFileFormatset(std::string_view Line, std::string_view Name, tFileFormatset Default) {
  const int32_t v = ReadParamInt(Line, Name, -1);
  return v == -1 ? Default : tFileFormatset::FromMask(static_cast<uint32_t>(v));
}

std::string WriteParamBool(std::string_view Name, bool Value) { return Fragment(Name, Value ? "1" : "0"); }

std::string WriteParamInt(std::string_view Name, int32_t Value) { return Fragment(Name, IntToStr(Value)); }

std::string WriteParamFloat(std::string_view Name, double Value) {
  char buf[400];  // the largest double has 309 digits before the point
  const auto res = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, 8);
  return Fragment(Name, std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

std::string WriteParamString(std::string_view Name, std::string_view Value) {
  if (Value.find_first_of("\"\r\n") != std::string_view::npos)
    throw EParamValueError("Der Wert von \"" + std::string(Name) +
                           "\" enthält ein Anführungszeichen oder einen Zeilenumbruch, die ein Parameter nicht tragen kann");
  std::string quoted;
  quoted.reserve(Value.size() + 2);
  quoted += '"';
  quoted += Value;
  quoted += '"';
  return Fragment(Name, quoted);
}

std::string WriteParamFont(const TFont& Font) {
  const TFontStyles s = Font.Style();
  return WriteParamInt("FontColor", Font.Color()) + WriteParamInt("FontHeight", Font.Height()) +
         WriteParamString("FontName", Font.Name()) + WriteParamBool("FontBold", s.Contains(fsBold)) +
         WriteParamBool("FontItalic", s.Contains(fsItalic)) + WriteParamBool("FontUnderline", s.Contains(fsUnderline)) +
         WriteParamBool("fontStrikeout", s.Contains(fsStrikeOut));
}

std::string WriteParamStrings(std::string_view Name, const TStrings& List) {
  const std::string name(Name);
  std::string s = WriteParamInt(name + "Count", List.Count());
  for (int32_t i = 0; i < List.Count(); ++i) s += WriteParamString(name + IntToStr(i), List.Get(i));
  return s;
}

std::string WriteParamImageInfoset(std::string_view Name, tImageInfoset Set) {
  return WriteParamInt(Name, static_cast<int32_t>(Set.ToMask()));
}

std::string WriteParamFileFormatset(std::string_view Name, tFileFormatset Set) {
  return WriteParamInt(Name, static_cast<int32_t>(Set.ToMask()));
}

}  // namespace kv
