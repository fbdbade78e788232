// String routines with Pascal's conventions: positions are 1-based, absent is 0,
// and conversions raise EConvertError. Strings are UTF-8; the plain routines
// (UpperCase, CompareText ...) touch ASCII only, the Ansi ones also know the
// Latin, Greek and Cyrillic letters.
#pragma once
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/rtl/date_time.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/random.h"
#include "platform/rtl/set.h"

namespace kv {

// ---- characters and positions ----

inline char Chr(int Code) { return static_cast<char>(static_cast<uint8_t>(Code)); }
inline int Ord(char C) { return static_cast<uint8_t>(C); }

inline int32_t Length(std::string_view S) { return static_cast<int32_t>(S.size()); }

// Count characters from Index (1-based). Index below 1 counts from 1; past the end gives "".
std::string Copy(std::string_view S, int64_t Index, int64_t Count = INT32_MAX);
// 1-based position of the first Sub in S, 0 when absent (also for an empty Sub).
int32_t Pos(std::string_view Sub, std::string_view S);
// As Pos, starting the search at Offset; 0 when Offset is outside 1..Length(S).
int32_t PosEx(std::string_view Sub, std::string_view S, int64_t Offset = 1);
inline int32_t AnsiPos(std::string_view Sub, std::string_view S) { return Pos(Sub, S); }
// Removes Count characters from Index; nothing when Index is outside the string.
void Delete(std::string& S, int64_t Index, int64_t Count);
// Inserts Sub before Index (clamped to 1..Length(S) + 1).
void Insert(std::string_view Sub, std::string& S, int64_t Index);
// 1-based position of the last character of S that is one of Delimiters, 0 when none.
int32_t LastDelimiter(std::string_view Delimiters, std::string_view S);
std::string StringOfChar(char Ch, int64_t Count);

// ---- case and comparison ----

std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
// Keep the byte length of every character, so positions found in the converted text hold in the original.
std::string AnsiUpperCase(std::string_view S);
std::string AnsiLowerCase(std::string_view S);
int CompareStr(std::string_view S1, std::string_view S2);
int CompareText(std::string_view S1, std::string_view S2);  // ASCII case folded
bool SameText(std::string_view S1, std::string_view S2);
int AnsiCompareStr(std::string_view S1, std::string_view S2);
int AnsiCompareText(std::string_view S1, std::string_view S2);
bool AnsiSameText(std::string_view S1, std::string_view S2);

// ---- trimming, quoting, replacing ----

// Trim removes every character up to ' ' (spaces and control characters).
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);
std::string QuotedStr(std::string_view S);
std::string AnsiQuotedStr(std::string_view S, char Quote);
// Reads a quoted string from P onwards; P ends after the closing quote (or at the end).
// Returns "" and leaves P alone when P does not start with Quote.
std::string AnsiExtractQuotedStr(std::string_view S, size_t& P, char Quote);
std::string AnsiDequotedStr(std::string_view S, char Quote);

enum TReplaceFlag : uint8_t { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = TSet<TReplaceFlag>;
std::string StringReplace(std::string_view S, std::string_view OldPattern, std::string_view NewPattern,
                          TReplaceFlags Flags);

bool IsValidIdent(std::string_view Ident);

// ---- integers ----

template <std::integral T>
std::string IntToStr(T Value) {
  return std::to_string(Value);
}
std::string IntToHex(int32_t Value, int Digits);
std::string IntToHex(int64_t Value, int Digits);
// Accepts leading blanks, a sign, and hexadecimal as "$FF" or "0xFF".
bool TryStrToInt(std::string_view S, int32_t& Value);
bool TryStrToInt64(std::string_view S, int64_t& Value);
int32_t StrToInt(std::string_view S);  // EConvertError "'x' is not a valid integer value"
int32_t StrToIntDef(std::string_view S, int32_t Default);
int64_t StrToInt64(std::string_view S);
int64_t StrToInt64Def(std::string_view S, int64_t Default);

// ---- floating point ----

// Locale settings used by the conversions; the program keeps them fixed, tests may change them.
inline char DecimalSeparator = '.';
inline char ThousandSeparator = ',';
inline std::string CurrencyString = "$";
inline int CurrencyDecimals = 2;

enum TFloatFormat : uint8_t { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Decimal rounding is done on the value's 15 significant digits, halves away from
// zero, so FormatFloat("0.00", 2.675) is "2.68" as a person expects.
std::string FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits);
std::string FloatToStr(double Value);  // general format, 15 significant digits
// Sections "positive;negative;zero" of 0 # . , E+ E- and quoted or plain literal text.
std::string FormatFloat(std::string_view Format, double Value);
bool TryStrToFloat(std::string_view S, double& Value);
double StrToFloat(std::string_view S);  // EConvertError "'x' is not a valid floating point value"
double StrToFloatDef(std::string_view S, double Default);

// ---- Format ----

// One argument of Format, as the variadic template hands it over.
struct TVarRec {
  enum TKind : uint8_t { vtInteger, vtInt64, vtExtended, vtString, vtPointer, vtChar };
  TKind Kind = vtInteger;
  int64_t I = 0;
  double F = 0;
  std::string_view S;
  const void* P = nullptr;
};

std::string FormatArgs(std::string_view Fmt, const std::vector<TVarRec>& Args);

namespace detail {
template <typename T>
TVarRec ToVarRec(const T& V) {
  TVarRec r;
  if constexpr (std::is_same_v<T, bool>) {
    r.Kind = TVarRec::vtInteger;
    r.I = V ? 1 : 0;
  } else if constexpr (std::is_same_v<T, char>) {
    r.Kind = TVarRec::vtChar;
    r.S = std::string_view(&V, 1);
  } else if constexpr (std::is_enum_v<T>) {
    r.I = static_cast<int64_t>(V);
  } else if constexpr (std::is_integral_v<T>) {
    // 32-bit arguments keep their width so that %u and %x of a negative value show 32 bits.
    r.Kind = sizeof(T) <= 4 ? TVarRec::vtInteger : TVarRec::vtInt64;
    r.I = static_cast<int64_t>(V);
  } else if constexpr (std::is_floating_point_v<T>) {
    r.Kind = TVarRec::vtExtended;
    r.F = static_cast<double>(V);
  } else if constexpr (std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>) {
    r.Kind = TVarRec::vtString;
    const char* p = V;
    r.S = p ? std::string_view(p) : std::string_view();
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    r.Kind = TVarRec::vtString;
    r.S = std::string_view(V);
  } else if constexpr (std::is_pointer_v<T>) {
    r.Kind = TVarRec::vtPointer;
    r.P = static_cast<const void*>(V);
  } else {
    static_assert(sizeof(T) == 0, "Format takes numbers, characters, strings and pointers");
  }
  return r;
}
}  // namespace detail

// Pascal's Format: %[index:][-][width][.precision]type with d u x s f g e n m p and %%;
// '*' takes width or precision from the arguments. A missing or mismatched argument
// raises EConvertError "Format 'fmt' invalid or incompatible with argument".
template <typename... Args>
std::string Format(std::string_view Fmt, const Args&... A) {
  return FormatArgs(Fmt, std::vector<TVarRec>{detail::ToVarRec(A)...});
}

}  // namespace kv
