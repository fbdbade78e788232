#include "platform/rtl/strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/rtl/utf8.h"

namespace kv {

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

template <typename Map>
std::string MapUtf8(std::string_view S, Map M) {
  std::string r;
  r.reserve(S.size());
  for (size_t i = 0; i < S.size();) utf8::Append(r, M(utf8::Next(S, i)));
  return r;
}
}  // namespace

// ---- characters and positions ----

std::string Copy(std::string_view S, int64_t Index, int64_t Count) {
  if (Index < 1) Index = 1;
  const int64_t len = static_cast<int64_t>(S.size());
  if (Count <= 0 || Index > len) return std::string();
  const int64_t n = std::min(Count, len - Index + 1);
  return std::string(S.substr(static_cast<size_t>(Index - 1), static_cast<size_t>(n)));
}

int32_t Pos(std::string_view Sub, std::string_view S) { return PosEx(Sub, S, 1); }

int32_t PosEx(std::string_view Sub, std::string_view S, int64_t Offset) {
  if (Sub.empty() || Offset < 1 || Offset > static_cast<int64_t>(S.size())) return 0;
  const size_t p = S.find(Sub, static_cast<size_t>(Offset - 1));
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

void Delete(std::string& S, int64_t Index, int64_t Count) {
  const int64_t len = static_cast<int64_t>(S.size());
  if (Index < 1 || Index > len || Count <= 0) return;
  S.erase(static_cast<size_t>(Index - 1), static_cast<size_t>(std::min(Count, len - Index + 1)));
}

void Insert(std::string_view Sub, std::string& S, int64_t Index) {
  const int64_t len = static_cast<int64_t>(S.size());
  Index = std::clamp<int64_t>(Index, 1, len + 1);
  S.insert(static_cast<size_t>(Index - 1), Sub);
}

int32_t LastDelimiter(std::string_view Delimiters, std::string_view S) {
  const size_t p = S.find_last_of(Delimiters);
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

std::string StringOfChar(char Ch, int64_t Count) {
  return Count <= 0 ? std::string() : std::string(static_cast<size_t>(Count), Ch);
}

// ---- case and comparison ----

std::string UpperCase(std::string_view S) {
  std::string r(S);
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

std::string LowerCase(std::string_view S) {
  std::string r(S);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

std::string AnsiUpperCase(std::string_view S) { return MapUtf8(S, utf8::ToUpper); }
std::string AnsiLowerCase(std::string_view S) { return MapUtf8(S, utf8::ToLower); }

int CompareStr(std::string_view S1, std::string_view S2) {
  const size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = static_cast<unsigned char>(S1[i]) - static_cast<unsigned char>(S2[i]);
    if (d != 0) return d;
  }
  return S1.size() < S2.size() ? -1 : (S1.size() > S2.size() ? 1 : 0);
}

int CompareText(std::string_view S1, std::string_view S2) {
  const size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = static_cast<unsigned char>(AsciiUpper(S1[i])) - static_cast<unsigned char>(AsciiUpper(S2[i]));
    if (d != 0) return d;
  }
  return S1.size() < S2.size() ? -1 : (S1.size() > S2.size() ? 1 : 0);
}

bool SameText(std::string_view S1, std::string_view S2) {
  return S1.size() == S2.size() && CompareText(S1, S2) == 0;
}

namespace {
template <typename Fold>
int CompareCodePoints(std::string_view S1, std::string_view S2, Fold F) {
  size_t i = 0, j = 0;
  while (i < S1.size() && j < S2.size()) {
    const char32_t a = F(utf8::Next(S1, i));
    const char32_t b = F(utf8::Next(S2, j));
    if (a != b) return a < b ? -1 : 1;
  }
  if (i < S1.size()) return 1;
  if (j < S2.size()) return -1;
  return 0;
}
}  // namespace

int AnsiCompareStr(std::string_view S1, std::string_view S2) {
  return CompareCodePoints(S1, S2, [](char32_t c) { return c; });
}
int AnsiCompareText(std::string_view S1, std::string_view S2) {
  return CompareCodePoints(S1, S2, utf8::ToLower);
}
bool AnsiSameText(std::string_view S1, std::string_view S2) { return AnsiCompareText(S1, S2) == 0; }

// ---- trimming, quoting, replacing ----

std::string Trim(std::string_view S) { return TrimRight(TrimLeft(S)); }

std::string TrimLeft(std::string_view S) {
  size_t i = 0;
  while (i < S.size() && IsBlank(S[i])) ++i;
  return std::string(S.substr(i));
}

std::string TrimRight(std::string_view S) {
  size_t n = S.size();
  while (n > 0 && IsBlank(S[n - 1])) --n;
  return std::string(S.substr(0, n));
}

std::string QuotedStr(std::string_view S) { return AnsiQuotedStr(S, '\''); }

std::string AnsiQuotedStr(std::string_view S, char Quote) {
  std::string r;
  r.reserve(S.size() + 2);
  r += Quote;
  for (char c : S) {
    r += c;
    if (c == Quote) r += Quote;
  }
  r += Quote;
  return r;
}

std::string AnsiExtractQuotedStr(std::string_view S, size_t& P, char Quote) {
  if (P >= S.size() || S[P] != Quote) return std::string();
  std::string r;
  ++P;
  while (P < S.size()) {
    if (S[P] == Quote) {
      if (P + 1 < S.size() && S[P + 1] == Quote) {
        r += Quote;
        P += 2;
        continue;
      }
      ++P;  // the closing quote
      return r;
    }
    r += S[P++];
  }
  return r;
}

std::string AnsiDequotedStr(std::string_view S, char Quote) {
  size_t p = 0;
  std::string r = AnsiExtractQuotedStr(S, p, Quote);
  // Text that is not one quoted string comes back as it was.
  if ((r.empty() || p >= S.size()) && !S.empty() && (S.front() != Quote || S.back() != Quote))
    return std::string(S);
  return r;
}

std::string StringReplace(std::string_view S, std::string_view OldPattern, std::string_view NewPattern,
                          TReplaceFlags Flags) {
  if (OldPattern.empty()) return std::string(S);
  // The Ansi case mapping keeps byte lengths, so positions found in the folded text
  // are positions in S.
  const bool fold = Flags.Contains(rfIgnoreCase);
  const std::string hay = fold ? AnsiUpperCase(S) : std::string(S);
  const std::string needle = fold ? AnsiUpperCase(OldPattern) : std::string(OldPattern);
  std::string r;
  size_t from = 0;
  while (true) {
    const size_t p = hay.find(needle, from);
    if (p == std::string::npos) break;
    r.append(S.substr(from, p - from));
    r.append(NewPattern);
    from = p + needle.size();
    if (!Flags.Contains(rfReplaceAll)) break;
  }
  r.append(S.substr(from));
  return r;
}

bool IsValidIdent(std::string_view Ident) {
  if (Ident.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(Ident[0])) return false;
  return std::all_of(Ident.begin() + 1, Ident.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

// ---- integers ----

namespace {
std::string HexDigits(uint64_t V, int Digits) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string r;
  do {
    r += kHex[V & 15];
    V >>= 4;
  } while (V != 0);
  while (static_cast<int>(r.size()) < Digits) r += '0';
  std::reverse(r.begin(), r.end());
  return r;
}

// Parses S completely (leading blanks allowed) into a 64-bit value. Hexadecimal
// values may use all 64 bits; AllowHexBits tells how many bits a hex literal may fill.
bool ParseInteger(std::string_view S, int64_t Min, int64_t Max, int HexBits, int64_t& Out) {
  size_t i = 0;
  while (i < S.size() && S[i] == ' ') ++i;
  bool neg = false;
  if (i < S.size() && (S[i] == '+' || S[i] == '-')) neg = S[i++] == '-';
  bool hex = false;
  if (i < S.size() && S[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= S.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = hex ? (HexBits >= 64 ? UINT64_MAX : (uint64_t(1) << HexBits) - 1)
                             : (neg ? uint64_t(0) - static_cast<uint64_t>(Min) : static_cast<uint64_t>(Max));
  for (; i < S.size(); ++i) {
    const char c = S[i];
    unsigned d;
    if (c >= '0' && c <= '9') d = unsigned(c - '0');
    else if (hex && c >= 'a' && c <= 'f') d = unsigned(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') d = unsigned(c - 'A' + 10);
    else return false;
    const unsigned base = hex ? 16 : 10;
    if (v > (limit - d) / base) return false;
    v = v * base + d;
  }
  if (hex) {
    // A hex literal fills the type's bits: $FFFFFFFF is -1 as an Integer.
    int64_t sv = HexBits >= 64 ? static_cast<int64_t>(v)
                               : (v >= (uint64_t(1) << (HexBits - 1)) ? static_cast<int64_t>(v) - (int64_t(1) << HexBits)
                                                                      : static_cast<int64_t>(v));
    if (neg) {
      if (sv == Min) return false;
      sv = -sv;
    }
    Out = sv;
    return true;
  }
  Out = neg ? static_cast<int64_t>(uint64_t(0) - v) : static_cast<int64_t>(v);
  return true;
}

[[noreturn]] void RaiseNotInteger(std::string_view S) {
  throw EConvertError("'" + std::string(S) + "' is not a valid integer value");
}
}  // namespace

std::string IntToHex(int32_t Value, int Digits) { return HexDigits(static_cast<uint32_t>(Value), Digits); }
std::string IntToHex(int64_t Value, int Digits) { return HexDigits(static_cast<uint64_t>(Value), Digits); }

bool TryStrToInt(std::string_view S, int32_t& Value) {
  int64_t v;
  if (!ParseInteger(S, INT32_MIN, INT32_MAX, 32, v)) return false;
  Value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(std::string_view S, int64_t& Value) {
  return ParseInteger(S, INT64_MIN, INT64_MAX, 64, Value);
}

int32_t StrToInt(std::string_view S) {
  int32_t v;
  if (!TryStrToInt(S, v)) RaiseNotInteger(S);
  return v;
}

int32_t StrToIntDef(std::string_view S, int32_t Default) {
  int32_t v;
  return TryStrToInt(S, v) ? v : Default;
}

int64_t StrToInt64(std::string_view S) {
  int64_t v;
  if (!TryStrToInt64(S, v)) RaiseNotInteger(S);
  return v;
}

int64_t StrToInt64Def(std::string_view S, int64_t Default) {
  int64_t v;
  return TryStrToInt64(S, v) ? v : Default;
}

// ---- floating point ----

namespace {
// A value as decimal digits: Value = 0.Digits * 10^Exponent. Zero has no digits.
struct TFloatRec {
  bool Negative = false;
  int Exponent = 0;
  std::string Digits;
};

constexpr int kMaxDigits = 15;  // what a double holds without binary noise

// Rounds to at most Precision significant digits and at most Decimals digits after the
// point, halves away from zero.
TFloatRec FloatToDecimal(double Value, int Precision, int Decimals) {
  TFloatRec r;
  r.Negative = std::signbit(Value);
  if (Value == 0) return TFloatRec{};
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(Value), std::chars_format::scientific, kMaxDigits - 1);
  const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  const size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') r.Digits += text[i];
  int exp10 = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exp10);
  r.Exponent = exp10 + 1;
  const int64_t want = std::min<int64_t>(Precision, int64_t(r.Exponent) + Decimals);
  const int keep = want < 0 ? -1 : static_cast<int>(want);
  if (keep < static_cast<int>(r.Digits.size())) {
    const bool up = keep >= 0 && r.Digits[static_cast<size_t>(keep)] >= '5';
    r.Digits.resize(static_cast<size_t>(std::max(keep, 0)));
    if (up) {
      int k = keep - 1;
      while (k >= 0 && r.Digits[static_cast<size_t>(k)] == '9') r.Digits[static_cast<size_t>(k--)] = '0';
      if (k >= 0) {
        ++r.Digits[static_cast<size_t>(k)];
      } else {
        r.Digits.insert(r.Digits.begin(), '1');
        r.Digits.pop_back();  // keeps the count; the carry moved into a new leading digit
        if (r.Digits.empty()) r.Digits = "1";
        ++r.Exponent;
      }
    }
  }
  while (!r.Digits.empty() && r.Digits.back() == '0') r.Digits.pop_back();
  if (r.Digits.empty()) return TFloatRec{};  // rounded to zero: no "-0"
  return r;
}

char DigitAt(const TFloatRec& R, int Index) {
  return Index >= 0 && Index < static_cast<int>(R.Digits.size()) ? R.Digits[static_cast<size_t>(Index)] : '0';
}

std::string GroupThousands(const std::string& IntPart) {
  std::string r;
  const int n = static_cast<int>(IntPart.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) r += ThousandSeparator;
    r += IntPart[static_cast<size_t>(i)];
  }
  return r;
}

// Integer part with at least MinInt digits, then Decimals digits after the separator.
std::string FixedDigits(const TFloatRec& R, int MinInt, int Decimals, bool Thousands) {
  std::string ip;
  for (int i = 0; i < R.Exponent; ++i) ip += DigitAt(R, i);
  if (static_cast<int>(ip.size()) < MinInt) ip.insert(0, static_cast<size_t>(MinInt) - ip.size(), '0');
  std::string r = Thousands ? GroupThousands(ip) : ip;
  if (Decimals > 0) {
    r += DecimalSeparator;
    for (int k = 0; k < Decimals; ++k) r += DigitAt(R, R.Exponent + k);
  }
  return r;
}

std::string ExponentText(int Exp, int MinDigits, bool AlwaysSign) {
  std::string d = std::to_string(Exp < 0 ? -int64_t(Exp) : int64_t(Exp));
  if (static_cast<int>(d.size()) < MinDigits) d.insert(0, static_cast<size_t>(MinDigits) - d.size(), '0');
  return std::string("E") + (Exp < 0 ? "-" : (AlwaysSign ? "+" : "")) + d;
}
}  // namespace

std::string FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value > 0 ? "INF" : "-INF";
  Precision = std::clamp(Precision, 1, kMaxDigits);
  Digits = std::clamp(Digits, 0, 18);
  std::string body;
  bool negative = false;
  switch (Format) {
    case ffGeneral: {
      const TFloatRec r = FloatToDecimal(Value, Precision, 9999);
      negative = r.Negative;
      if (r.Digits.empty()) {
        body = "0";
      } else if (r.Exponent > Precision || r.Exponent < -4) {
        body = std::string(1, r.Digits[0]);
        if (r.Digits.size() > 1) body += DecimalSeparator + r.Digits.substr(1);
        body += ExponentText(r.Exponent - 1, Digits, false);
      } else {
        const int decimals = std::max(0, static_cast<int>(r.Digits.size()) - r.Exponent);
        body = FixedDigits(r, 1, decimals, false);
      }
      break;
    }
    case ffExponent: {
      const TFloatRec r = FloatToDecimal(Value, Precision, 9999);
      negative = r.Negative;
      body = std::string(1, DigitAt(r, 0)) + DecimalSeparator;
      for (int k = 1; k < Precision; ++k) body += DigitAt(r, k);
      body += ExponentText(r.Digits.empty() ? 0 : r.Exponent - 1, Digits, true);
      break;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      const TFloatRec probe = FloatToDecimal(Value, kMaxDigits, 9999);
      if (Format == ffFixed && probe.Exponent > Precision) return FloatToStrF(Value, ffExponent, Precision, Digits);
      const TFloatRec r = FloatToDecimal(Value, kMaxDigits, Digits);
      negative = r.Negative;
      body = FixedDigits(r, 1, Digits, Format != ffFixed);
      if (Format == ffCurrency) body = CurrencyString + body;
      break;
    }
  }
  return negative ? "-" + body : body;
}

std::string FloatToStr(double Value) { return FloatToStrF(Value, ffGeneral, kMaxDigits, 0); }

namespace {
// One section of a FormatFloat mask, taken apart.
struct TFloatMask {
  std::string Prefix, Suffix;
  int MinInt = 0;      // placeholders from the first '0' to the point
  int IntPlaces = 0;   // all placeholders before the point
  int MinDec = 0;      // up to the last '0' after the point
  int MaxDec = 0;      // all placeholders after the point
  bool Thousands = false;
  bool Scientific = false;
  bool ExpSignAlways = false;
  int ExpDigits = 0;
};

TFloatMask ParseMask(std::string_view M) {
  TFloatMask m;
  bool seenDigit = false, seenPoint = false, seenFirstZero = false, inExp = false;
  std::string* lit = &m.Prefix;
  for (size_t i = 0; i < M.size(); ++i) {
    const char c = M[i];
    if (c == '"' || c == '\'') {
      const size_t close = M.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? M.size() : close;
      *lit += M.substr(i + 1, end - i - 1);
      i = end;
      continue;
    }
    if (inExp) {
      if (c == '0') { ++m.ExpDigits; continue; }
      inExp = false;
    }
    if (c == '0' || c == '#') {
      seenDigit = true;
      lit = &m.Suffix;
      if (seenPoint) {
        ++m.MaxDec;
        if (c == '0') m.MinDec = m.MaxDec;
      } else {
        ++m.IntPlaces;
        if (c == '0') seenFirstZero = true;
        if (seenFirstZero) ++m.MinInt;
      }
    } else if (c == '.' && !seenPoint && !m.Scientific) {
      seenPoint = true;
      lit = &m.Suffix;
    } else if (c == ',') {
      m.Thousands = true;
    } else if ((c == 'E' || c == 'e') && seenDigit && i + 1 < M.size() && (M[i + 1] == '+' || M[i + 1] == '-')) {
      m.Scientific = true;
      m.ExpSignAlways = M[i + 1] == '+';
      inExp = true;
      ++i;
    } else {
      *lit += c;
    }
  }
  return m;
}

std::string ApplyMask(const TFloatMask& m, double Value, bool WithSign) {
  std::string num;
  bool negative = false;
  if (m.Scientific) {
    const int intDigits = std::max(1, m.IntPlaces);
    const TFloatRec r = FloatToDecimal(Value, std::clamp(intDigits + m.MaxDec, 1, kMaxDigits), 9999);
    negative = r.Negative;
    for (int i = 0; i < intDigits; ++i) num += DigitAt(r, i);
    std::string dec;
    for (int k = 0; k < m.MaxDec; ++k) dec += DigitAt(r, intDigits + k);
    while (static_cast<int>(dec.size()) > m.MinDec && dec.back() == '0') dec.pop_back();
    if (!dec.empty()) num += DecimalSeparator + dec;
    num += ExponentText(r.Digits.empty() ? 0 : r.Exponent - intDigits, m.ExpDigits, m.ExpSignAlways);
  } else {
    const TFloatRec r = FloatToDecimal(Value, kMaxDigits, m.MaxDec);
    negative = r.Negative;
    std::string ip;
    for (int i = 0; i < r.Exponent; ++i) ip += DigitAt(r, i);
    if (static_cast<int>(ip.size()) < m.MinInt) ip.insert(0, static_cast<size_t>(m.MinInt) - ip.size(), '0');
    num = m.Thousands ? GroupThousands(ip) : ip;
    std::string dec;
    for (int k = 0; k < m.MaxDec; ++k) dec += DigitAt(r, r.Exponent + k);
    while (static_cast<int>(dec.size()) > m.MinDec && dec.back() == '0') dec.pop_back();
    if (!dec.empty()) num += DecimalSeparator + dec;
  }
  return m.Prefix + (negative && WithSign ? "-" : "") + num + m.Suffix;
}

std::vector<std::string_view> SplitSections(std::string_view F) {
  std::vector<std::string_view> out;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < F.size(); ++i) {
    if (quote) {
      if (F[i] == quote) quote = 0;
    } else if (F[i] == '"' || F[i] == '\'') {
      quote = F[i];
    } else if (F[i] == ';') {
      out.push_back(F.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(F.substr(start));
  return out;
}
}  // namespace

std::string FormatFloat(std::string_view Format, double Value) {
  if (Format.empty() || std::isnan(Value) || std::isinf(Value)) return FloatToStr(Value);
  const std::vector<std::string_view> sec = SplitSections(Format);
  const TFloatMask first = ParseMask(sec[0]);
  const TFloatRec rounded = FloatToDecimal(Value, kMaxDigits, first.Scientific ? 9999 : first.MaxDec);
  if (rounded.Digits.empty() && sec.size() > 2 && !sec[2].empty()) return ApplyMask(ParseMask(sec[2]), 0, false);
  if (Value < 0 && sec.size() > 1 && !sec[1].empty()) return ApplyMask(ParseMask(sec[1]), -Value, false);
  return ApplyMask(first, Value, true);
}

bool TryStrToFloat(std::string_view S, double& Value) {
  std::string t = Trim(S);
  if (t.empty()) return false;
  if (DecimalSeparator != '.') {
    if (t.find('.') != std::string::npos) return false;
    std::replace(t.begin(), t.end(), DecimalSeparator, '.');
  }
  size_t i = 0;
  bool neg = false;
  if (t[0] == '+' || t[0] == '-') {
    neg = t[0] == '-';
    i = 1;
  }
  // Only digits or a point may start the number: no "inf", "nan" or hexadecimal.
  if (i >= t.size() || !((t[i] >= '0' && t[i] <= '9') || t[i] == '.')) return false;
  if (t.find_first_of("xX", i) != std::string::npos) return false;
  double v = 0;
  const auto res = std::from_chars(t.data() + i, t.data() + t.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return false;
  Value = neg ? -v : v;
  return true;
}

double StrToFloat(std::string_view S) {
  double v;
  if (!TryStrToFloat(S, v)) throw EConvertError("'" + std::string(S) + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(std::string_view S, double Default) {
  double v;
  return TryStrToFloat(S, v) ? v : Default;
}

// ---- Format ----

namespace {
struct TFormatter {
  std::string_view Fmt;
  const std::vector<TVarRec>& Args;
  size_t Next = 0;

  [[noreturn]] void Invalid() const {
    throw EConvertError("Format '" + std::string(Fmt) + "' invalid or incompatible with argument");
  }
  const TVarRec& Take() {
    if (Next >= Args.size()) throw EConvertError("No argument for format '" + std::string(Fmt) + "'");
    return Args[Next++];
  }
  int TakeInt() {
    const TVarRec& a = Take();
    if (a.Kind != TVarRec::vtInteger) Invalid();
    return static_cast<int>(std::clamp<int64_t>(a.I, -100000, 100000));
  }
  // Reads digits or '*'; -1 when neither is there.
  int ReadNumber(size_t& i) {
    if (i < Fmt.size() && Fmt[i] == '*') {
      ++i;
      return TakeInt();
    }
    if (i >= Fmt.size() || Fmt[i] < '0' || Fmt[i] > '9') return -1;
    int v = 0;
    while (i < Fmt.size() && Fmt[i] >= '0' && Fmt[i] <= '9') {
      v = std::min(v * 10 + (Fmt[i] - '0'), 100000);
      ++i;
    }
    return v;
  }

  std::string Spec(char Type, int Prec) {
    const TVarRec& a = Take();
    const bool isInt = a.Kind == TVarRec::vtInteger || a.Kind == TVarRec::vtInt64;
    switch (Type) {
      case 'D': case 'U': case 'X': {
        if (!isInt) Invalid();
        std::string digits;
        bool neg = false;
        if (Type == 'D') {
          neg = a.I < 0;
          digits = std::to_string(neg ? uint64_t(0) - static_cast<uint64_t>(a.I) : static_cast<uint64_t>(a.I));
        } else {
          const uint64_t u = a.Kind == TVarRec::vtInteger ? uint64_t(static_cast<uint32_t>(a.I)) : static_cast<uint64_t>(a.I);
          digits = Type == 'U' ? std::to_string(u) : HexDigits(u, 0);
        }
        if (Prec > static_cast<int>(digits.size())) digits.insert(0, static_cast<size_t>(Prec) - digits.size(), '0');
        return neg ? "-" + digits : digits;
      }
      case 'S': {
        if (a.Kind != TVarRec::vtString && a.Kind != TVarRec::vtChar) Invalid();
        std::string_view s = a.S;
        if (Prec >= 0 && static_cast<size_t>(Prec) < s.size()) {
          size_t n = static_cast<size_t>(Prec);
          while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;  // never split a character
          s = s.substr(0, n);
        }
        return std::string(s);
      }
      case 'F': case 'G': case 'E': case 'N': case 'M': {
        if (a.Kind != TVarRec::vtExtended) Invalid();
        switch (Type) {
          case 'F': return FloatToStrF(a.F, ffFixed, kMaxDigits, Prec < 0 ? 2 : Prec);
          case 'N': return FloatToStrF(a.F, ffNumber, kMaxDigits, Prec < 0 ? 2 : Prec);
          case 'M': return FloatToStrF(a.F, ffCurrency, kMaxDigits, Prec < 0 ? CurrencyDecimals : Prec);
          case 'E': return FloatToStrF(a.F, ffExponent, Prec < 0 ? kMaxDigits : Prec, 3);
          default: return FloatToStrF(a.F, ffGeneral, Prec < 0 ? kMaxDigits : Prec, 0);
        }
      }
      case 'P': {
        if (a.Kind != TVarRec::vtPointer) Invalid();
        return HexDigits(reinterpret_cast<uintptr_t>(a.P), 2 * static_cast<int>(sizeof(void*)));
      }
      default: Invalid();
    }
  }

  std::string Run() {
    std::string out;
    for (size_t i = 0; i < Fmt.size(); ++i) {
      if (Fmt[i] != '%') {
        out += Fmt[i];
        continue;
      }
      ++i;
      if (i < Fmt.size() && Fmt[i] == '%') {
        out += '%';
        continue;
      }
      // [index:][-][width][.precision]type
      int n = ReadNumber(i);
      if (i < Fmt.size() && Fmt[i] == ':') {
        if (n < 0) n = 0;
        Next = static_cast<size_t>(n);
        ++i;
        n = -1;
      }
      bool left = false;
      if (n < 0 && i < Fmt.size() && Fmt[i] == '-') {
        left = true;
        ++i;
      }
      const int width = n >= 0 ? n : ReadNumber(i);
      int prec = -1;
      if (i < Fmt.size() && Fmt[i] == '.') {
        ++i;
        prec = ReadNumber(i);
        if (prec < 0) prec = 0;
      }
      if (i >= Fmt.size()) Invalid();
      std::string s = Spec(AsciiUpper(Fmt[i]), prec);
      if (width > static_cast<int>(s.size())) {
        const std::string pad(static_cast<size_t>(width) - s.size(), ' ');
        s = left ? s + pad : pad + s;
      }
      out += s;
    }
    return out;
  }
};
}  // namespace

std::string FormatArgs(std::string_view Fmt, const std::vector<TVarRec>& Args) {
  return TFormatter{Fmt, Args}.Run();
}

}  // namespace kv
