#include "platform/rtl/date_time.h"

#include <time.h>

#include <cmath>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

const char* const ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
const char* const ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

namespace {
constexpr int64_t kMSecsPerDay = 86400000;
// Day numbers of 0001-01-01 and 9999-12-31, the range a date can be shown in.
constexpr int64_t kMinDay = -693593;
constexpr int64_t kMaxDay = 2958465;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y += m <= 2;
}

const int64_t kUnixDay = 25569;  // 1970-01-01 as a TDateTime

int DaysInMonth(int Year, int Month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return Month == 2 && IsLeapYear(Year) ? 29 : kDays[Month - 1];
}

// Whole days and milliseconds of the day. The time of a negative value counts forward
// from the start of its day (-1.25 is 29 Dec 1899, 06:00); a time that rounds up to
// midnight moves to the next day.
void SplitDateTime(TDateTime DT, int64_t& Day, int64_t& MSec) {
  if (std::isnan(DT)) DT = 0;
  // Beyond the calendar the day need only stay outside it (a carry would overflow).
  if (DT > double(kMaxDay + 1) || DT < double(kMinDay - 1)) {
    Day = DT > 0 ? kMaxDay + 1 : kMinDay - 1;
    MSec = 0;
    return;
  }
  Day = Trunc(DT);
  MSec = Round(std::fabs(DT - static_cast<double>(Day)) * static_cast<double>(kMSecsPerDay));
  if (MSec >= kMSecsPerDay) {
    MSec = 0;
    Day += DT < 0 ? -1 : 1;
  }
}

void DecodeDay(int64_t Day, uint16_t& Year, uint16_t& Month, uint16_t& D) {
  if (Day < kMinDay || Day > kMaxDay) {
    Year = Month = D = 0;
    return;
  }
  int64_t y;
  int m, d;
  CivilFromDays(Day - kUnixDay, y, m, d);
  Year = static_cast<uint16_t>(y);
  Month = static_cast<uint16_t>(m);
  D = static_cast<uint16_t>(d);
}

// 1 = Sunday ... 7 = Saturday; day 0 was a Saturday.
int WeekDayOf(int64_t Day) { return static_cast<int>(((Day % 7) + 13) % 7) + 1; }

void DecodeMSec(int64_t MSec, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MS) {
  Hour = static_cast<uint16_t>(MSec / 3600000);
  Min = static_cast<uint16_t>(MSec / 60000 % 60);
  Sec = static_cast<uint16_t>(MSec / 1000 % 60);
  MS = static_cast<uint16_t>(MSec % 1000);
}

std::optional<TDateTime> gFixedNow;
}  // namespace

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month)) return false;
  Date = static_cast<double>(DaysFromCivil(Year, Month, Day) + kUnixDay);
  return true;
}

TDateTime EncodeDate(int Year, int Month, int Day) {
  TDateTime d;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Time) {
  if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999) return false;
  Time = (Hour * 3600000.0 + Min * 60000.0 + Sec * 1000.0 + MSec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
  TDateTime t;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

// A time that rounds up to midnight belongs to the next day, here as in DecodeTime.
void DecodeDate(TDateTime Date, uint16_t& Year, uint16_t& Month, uint16_t& Day) {
  int64_t day, ms;
  SplitDateTime(Date, day, ms);
  DecodeDay(day, Year, Month, Day);
}

void DecodeTime(TDateTime Time, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec) {
  int64_t day, ms;
  SplitDateTime(Time, day, ms);
  DecodeMSec(ms, Hour, Min, Sec, MSec);
}

int DayOfWeek(TDateTime Date) {
  int64_t day, ms;
  SplitDateTime(Date, day, ms);
  return WeekDayOf(day);
}

TDateTime UnixToDateTimeLocal(int64_t Seconds, int32_t Nanoseconds) {
  const time_t t = static_cast<time_t>(Seconds);
  struct tm lt {};
  if (!localtime_r(&t, &lt)) return 0;
  const double day = static_cast<double>(DaysFromCivil(int64_t(lt.tm_year) + 1900, lt.tm_mon + 1, lt.tm_mday) + kUnixDay);
  const int sec = lt.tm_sec > 59 ? 59 : lt.tm_sec;  // a leap second shows as :59
  return day + (lt.tm_hour * 3600000.0 + lt.tm_min * 60000.0 + sec * 1000.0 + Nanoseconds / 1000000) / MSecsPerDay;
}

TDateTime Now() {
  if (gFixedNow) return *gFixedNow;
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return UnixToDateTimeLocal(ts.tv_sec, static_cast<int32_t>(ts.tv_nsec));
}

TDateTime Date() { return std::floor(Now()); }
TDateTime Time() { return Frac(Now()); }

void SetNowForTesting(std::optional<TDateTime> Value) { gFixedNow = Value; }

// ---- formatting ----

namespace {
struct TDateFormatter {
  uint16_t Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0;
  int WeekDay = 1;
  std::string Out;

  static bool StartsWithNoCase(std::string_view S, size_t P, std::string_view What) {
    if (P + What.size() > S.size()) return false;
    for (size_t k = 0; k < What.size(); ++k) {
      char c = S[P + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (c != What[k]) return false;
    }
    return true;
  }

  void Number(int V, int Digits) {
    std::string s = std::to_string(V);
    if (static_cast<int>(s.size()) < Digits) s.insert(0, static_cast<size_t>(Digits) - s.size(), '0');
    Out += s;
  }

  // Whether the hour just read is on the 12-hour clock: the first "a" after it
  // (outside quotes, before another "h") must start an am/pm marker.
  static bool MarkerFollows(std::string_view F, size_t P) {
    bool quoted = false;
    for (size_t q = P; q < F.size(); ++q) {
      const char c = F[q];
      if (c == '\'' || c == '"') quoted = !quoted;
      else if (quoted) continue;
      else if (c == 'h' || c == 'H') return false;
      else if (c == 'a' || c == 'A')
        return StartsWithNoCase(F, q, "AM/PM") || StartsWithNoCase(F, q, "A/P") || StartsWithNoCase(F, q, "AMPM");
    }
    return false;
  }

  // Each level (the format, then a format variable it names) has its own
  // last token and clock; a third level is not expanded, so a format
  // variable that names itself cannot recurse.
  void Append(std::string_view F, int Depth) {
    if (Depth > 1) return;
    char lastToken = ' ';
    bool twelveHour = false;
    size_t p = 0;
    while (p < F.size()) {
      const char starter = F[p];
      ++p;
      if (static_cast<unsigned char>(starter) >= 0x80) {  // part of a multi-byte character
        Out += starter;
        lastToken = ' ';
        continue;
      }
      char token = starter >= 'a' && starter <= 'z' ? static_cast<char>(starter - 32) : starter;
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      auto count = [&]() {
        int n = 1;
        while (p < F.size() && (F[p] == starter)) {
          ++n;
          ++p;
        }
        return n;
      };
      switch (token) {
        case 'Y': {
          const int n = count();
          if (n <= 2) Number(Year % 100, 2);
          else Number(Year, 4);
          break;
        }
        case 'M': {
          const int n = count();
          if (n <= 2) Number(Month, n);
          else if (Month >= 1 && n == 3) Out += ShortMonthNames[Month - 1];
          else if (Month >= 1) Out += LongMonthNames[Month - 1];
          break;
        }
        case 'D': {
          const int n = count();
          switch (n) {
            case 1: case 2: Number(Day, n); break;
            case 3: Out += ShortDayNames[WeekDay - 1]; break;
            case 4: Out += LongDayNames[WeekDay - 1]; break;
            case 5: Append(ShortDateFormat, Depth + 1); break;
            default: Append(LongDateFormat, Depth + 1); break;
          }
          break;
        }
        case 'H': {
          const int n = count();
          if (MarkerFollows(F, p)) twelveHour = true;
          int h = Hour;
          if (twelveHour) h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
          Number(h, n > 2 ? 2 : n);
          break;
        }
        case 'N': {
          const int n = count();
          Number(Min, n > 2 ? 2 : n);
          break;
        }
        case 'S': {
          const int n = count();
          Number(Sec, n > 2 ? 2 : n);
          break;
        }
        case 'Z': {
          const int n = count();
          Number(MSec, n > 3 ? 3 : n);
          break;
        }
        case 'T': {
          const int n = count();
          Append(n == 1 ? ShortTimeFormat : LongTimeFormat, Depth + 1);
          break;
        }
        case 'C': {
          count();
          Append(ShortDateFormat, Depth + 1);
          if (Hour != 0 || Min != 0 || Sec != 0) {
            Out += ' ';
            Append(LongTimeFormat, Depth + 1);
          }
          break;
        }
        case 'A': {
          const size_t at = p - 1;
          if (StartsWithNoCase(F, at, "AM/PM")) {
            Out += F.substr(Hour >= 12 ? at + 3 : at, 2);  // keeps the case the format wrote
            p = at + 5;
            twelveHour = true;
          } else if (StartsWithNoCase(F, at, "A/P")) {
            Out += F[Hour >= 12 ? at + 2 : at];
            p = at + 3;
            twelveHour = true;
          } else if (StartsWithNoCase(F, at, "AMPM")) {
            Out += Hour >= 12 ? TimePMString : TimeAMString;
            p = at + 4;
            twelveHour = true;
          } else {
            Out += starter;
          }
          break;
        }
        case '/':
          if (DateSeparator) Out += DateSeparator;
          break;
        case ':':
          if (TimeSeparator) Out += TimeSeparator;
          break;
        case '\'': case '"': {
          const size_t close = F.find(starter, p);
          const size_t end = close == std::string_view::npos ? F.size() : close;
          Out += F.substr(p, end - p);
          p = end == F.size() ? end : end + 1;
          break;
        }
        default: Out += starter; break;
      }
    }
  }
};
}  // namespace

std::string FormatDateTime(std::string_view Format, TDateTime DateTime) {
  TDateFormatter f;
  int64_t day, ms;
  SplitDateTime(DateTime, day, ms);
  DecodeDay(day, f.Year, f.Month, f.Day);
  DecodeMSec(ms, f.Hour, f.Min, f.Sec, f.MSec);
  f.WeekDay = WeekDayOf(day);
  f.Append(Format.empty() ? std::string_view("c") : Format, 0);
  return f.Out;
}

std::string DateTimeToStr(TDateTime DateTime) { return FormatDateTime("c", DateTime); }
std::string DateToStr(TDateTime Date) { return FormatDateTime(ShortDateFormat, Date); }
std::string TimeToStr(TDateTime Time) { return FormatDateTime(LongTimeFormat, Time); }

}  // namespace kv
