// Small text and number helpers shared by the program's windows. Numbers are
// read without regard to the user's locale ("." is the decimal point).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// The text without any double quote.
std::string StripQuotes(std::string_view Text);
// A menu caption as plain text: every "..." and then every "&" removed.
std::string StripMenuCaption(std::string_view Caption);
// Trims Text (TrimSpaces) and takes its first token off the front: characters
// up to a blank outside double quotes, or up to and including the quote that
// closes a quoted part. The quotes stay in the token; the rest of Text keeps
// its leading blank.
std::string PopToken(std::string& Text);
// The queue of names still to open: a second start's command line (its
// first word, the program's path, left out) is added to the end; the next
// name is its first word (PopToken), trimmed and without one leading and one
// trailing double quote. TakePendingName is false when only blanks are left;
// otherwise it has taken one word, which may come out empty.
void QueueHandedOverLine(std::string& Pending, std::string CommandLine);
bool TakePendingName(std::string& Pending, std::string& Name);
// Takes the first N bytes off Text: all of it when it is shorter, nothing when N <= 0.
std::string TakeChars(std::string& Text, int32_t N);
std::string IntToText(int64_t N);
// The leading number of the text (blanks, a sign, decimal digits or "$"/"0x"
// hexadecimal); whatever follows is ignored, text without a number gives 0,
// and a value beyond the 32-bit range is held at its end. Never raises.
int32_t StrToIntVal(std::string_view Text);
// The same for a floating-point number with "." and an optional exponent.
double StrToFloatVal(std::string_view Text);
// Low when Value < Low, else the smaller of Value and High.
int32_t ClampInt(int32_t Value, int32_t Low, int32_t High);
// -1e-6 < X < 1e-6.
bool IsNearZero(double X);
// X * New / Old; 0 when Old is near zero.
double ScaleByRatio(double X, double Old, double New);
// X * Factor / Divisor; 0 when Divisor is near zero.
double MulDivSafe(double X, double Factor, double Divisor);

}  // namespace kv
