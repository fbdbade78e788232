// TDateTime: days since 1899-12-30 with the time of day as the fraction, and its
// calendar routines. "Now" comes from a clock that tests can fix.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

using TDateTime = double;

constexpr double HoursPerDay = 24;
constexpr double MinsPerDay = 24 * 60;
constexpr double SecsPerDay = 24 * 60 * 60;
constexpr double MSecsPerDay = 24.0 * 60 * 60 * 1000;

// Format settings; English names whatever the system's language, as mail and HTTP dates need.
inline char DateSeparator = '/';
inline char TimeSeparator = ':';
inline std::string ShortDateFormat = "dd/mm/yyyy";
inline std::string LongDateFormat = "dddd, d mmmm yyyy";
inline std::string ShortTimeFormat = "hh:nn";
inline std::string LongTimeFormat = "hh:nn:ss";
inline std::string TimeAMString = "AM";
inline std::string TimePMString = "PM";
extern const char* const ShortMonthNames[12];
extern const char* const LongMonthNames[12];
extern const char* const ShortDayNames[7];  // Sunday first
extern const char* const LongDayNames[7];

bool IsLeapYear(int Year);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date);
TDateTime EncodeDate(int Year, int Month, int Day);  // EConvertError "Invalid argument to date encode"
bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Time);
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);  // EConvertError "Invalid argument to time encode"
void DecodeDate(TDateTime Date, uint16_t& Year, uint16_t& Month, uint16_t& Day);
void DecodeTime(TDateTime Time, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime Date);

// The local date and time; fixed to Value while a test has set it.
TDateTime Now();
TDateTime Date();
TDateTime Time();
void SetNowForTesting(std::optional<TDateTime> Value);

// Local time of a Unix time stamp, and back.
TDateTime UnixToDateTimeLocal(int64_t Seconds, int32_t Nanoseconds = 0);

// Specifiers (case does not matter): c d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz t tt am/pm a/p ampm / : and quoted text; m right after an h is minutes.
// Hours are on the 12-hour clock after a marker, or when the first "a" after them starts one.
std::string FormatDateTime(std::string_view Format, TDateTime DateTime);
std::string DateTimeToStr(TDateTime DateTime);
std::string DateToStr(TDateTime Date);
std::string TimeToStr(TDateTime Time);

}  // namespace kv
