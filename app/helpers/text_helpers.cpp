#include "app/helpers/text_helpers.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "app/params/param_strings.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

size_t SkipBlanks(std::string_view S) {
  size_t i = 0;
  while (i < S.size() && (S[i] == ' ' || S[i] == '\t')) ++i;
  return i;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

std::string StripQuotes(std::string_view Text) {
  std::string r;
  r.reserve(Text.size());
  for (char c : Text)
    if (c != '"') r += c;
  return r;
}

std::string StripMenuCaption(std::string_view Caption) {
  const std::string noDots = StringReplace(Caption, "...", "", TReplaceFlags{rfReplaceAll});
  std::string r;
  for (char c : noDots)
    if (c != '&') r += c;
  return r;
}

std::string PopToken(std::string& Text) {
  Text = TrimSpaces(Text);
  bool inQuotes = false;
  size_t i = 0;
  while (i < Text.size()) {
    const char c = Text[i];
    if (!inQuotes && c == ' ') break;
    ++i;
    if (c == '"') {
      if (inQuotes) break;
      inQuotes = true;
    }
  }
  std::string token = Text.substr(0, i);
  Text.erase(0, i);
  return token;
}

void QueueHandedOverLine(std::string& Pending, std::string CommandLine) {
  PopToken(CommandLine);  // the program's own path
  if (Trim(CommandLine).empty()) return;
  Pending += " " + CommandLine;
}

bool TakePendingName(std::string& Pending, std::string& Name) {
  if (Trim(Pending).empty()) return false;
  Name = Trim(PopToken(Pending));
  if (!Name.empty() && Name.front() == '"') Name.erase(0, 1);
  if (!Name.empty() && Name.back() == '"') Name.pop_back();
  return true;
}

std::string TakeChars(std::string& Text, int32_t N) {
  std::string part;
  if (N > 0 && Text.size() < size_t(N)) {
    part.swap(Text);
  } else if (N > 0) {
    part = Text.substr(0, size_t(N));
    Text.erase(0, size_t(N));
  }
  return part;
}

std::string IntToText(int64_t N) { return std::to_string(N); }

int32_t StrToIntVal(std::string_view Text) {
  size_t i = SkipBlanks(Text);
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  int base = 10;
  if (i < Text.size() && Text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  // Accumulated in 64 bits and held at the cap, so no digit string can overflow.
  constexpr int64_t Cap = int64_t(std::numeric_limits<int32_t>::max()) + 1;
  int64_t v = 0;
  for (; i < Text.size(); ++i) {
    const int d = HexDigit(Text[i]);
    if (d < 0 || d >= base) break;
    v = std::min<int64_t>(v * base + d, Cap);
  }
  if (negative) v = -v;
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

double StrToFloatVal(std::string_view Text) {
  size_t i = SkipBlanks(Text);
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  // Only a number that starts with a digit or ".digit" counts (no "inf" or "nan").
  const bool digit = i < Text.size() && Text[i] >= '0' && Text[i] <= '9';
  const bool dotDigit = i + 1 < Text.size() && Text[i] == '.' && Text[i + 1] >= '0' && Text[i + 1] <= '9';
  if (!digit && !dotDigit) return 0;
  double v = 0;
  const auto r = std::from_chars(Text.data() + i, Text.data() + Text.size(), v, std::chars_format::general);
  if (r.ec != std::errc()) return 0;
  return negative ? -v : v;
}

int32_t ClampInt(int32_t Value, int32_t Low, int32_t High) { return Value < Low ? Low : std::min(Value, High); }

bool IsNearZero(double X) { return X > -1e-6 && X < 1e-6; }

double ScaleByRatio(double X, double Old, double New) { return IsNearZero(Old) ? 0 : X * New / Old; }

double MulDivSafe(double X, double Factor, double Divisor) { return IsNearZero(Divisor) ? 0 : X * Factor / Divisor; }

}  // namespace kv
