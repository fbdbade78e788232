#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "platform/rtl/strings.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(DateTime, EncodeDecodeAndWeekDay) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
  EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);  // not a leap year
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);

  uint16_t y, m, d, h, n, s, ms;
  DecodeDate(EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999), y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
  DecodeTime(EncodeTime(13, 7, 9, 45), h, n, s, ms);
  EXPECT_EQ(std::vector<int>({h, n, s, ms}), std::vector<int>({13, 7, 9, 45}));
  DecodeDate(-1.25, y, m, d);  // negative values: the time counts forward from the day's start
  DecodeTime(-1.25, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
  for (double far : {1e300, -1e300, HUGE_VAL}) {  // far outside the calendar: zeros, no overflow
    DecodeDate(far, y, m, d);
    EXPECT_EQ(y, 0) << far;
    DecodeTime(far, h, n, s, ms);
    EXPECT_EQ(FormatDateTime("yyyy hh:nn ddd", far), "0000 00:00 " + std::string(ShortDayNames[DayOfWeek(far) - 1]));
  }
  // A time that rounds up to midnight is the next day for the date and the weekday too.
  const TDateTime almost = EncodeDate(2023, 12, 31) + 86399999.6 / MSecsPerDay;
  DecodeDate(almost, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240101);
  EXPECT_EQ(DayOfWeek(almost), 2);  // a Monday

  EXPECT_EQ(DayOfWeek(0), 7);                          // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 10)), 1);    // a Sunday
  EXPECT_EQ(DayOfWeek(-1), 6);
}

TEST(DateTime, FormatDateTimeSpecifiers) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
  struct Case { const char* Fmt; const char* Want; };
  for (const Case& c : {Case{"yyyy-mm-dd hh:nn:ss.zzz", "2024-03-05 14:07:09.045"},
                        Case{"yy/m/d h:n:s", "24/3/5 14:7:9"},
                        Case{"hh:mm", "14:07"},                 // m right after h is minutes
                        Case{"dd mm", "05 03"},
                        Case{"ddd, d mmm yyyy hh:mm:ss", "Tue, 5 Mar 2024 14:07:09"},
                        Case{"dddd mmmm", "Tuesday March"},
                        Case{"h:nn am/pm", "2:07 pm"},
                        Case{"h:nn AM/PM", "2:07 PM"},
                        Case{"h a/p", "2 p"},
                        Case{"hh ampm", "02 PM"},
                        Case{"'at' hh \"o'clock\"", "at 14 o'clock"},
                        Case{"am/pm h", "pm 2"},                // a marker before also sets the 12-hour clock
                        Case{"h 'a' a/p", "2 a p"},             // quoted text is not a marker
                        Case{"h day am/pm", "14 5a24 pm"},      // the first "a" after the hour decides
                        Case{"c", "05/03/2024 14:07:09"},
                        Case{"ddddd t", "05/03/2024 14:07"}})
    EXPECT_EQ(FormatDateTime(c.Fmt, t), c.Want) << c.Fmt;
  EXPECT_EQ(FormatDateTime("h am/pm", EncodeTime(0, 30, 0, 0)), "12 am");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "05/03/2024");  // midnight shows no time
  // 999.6 ms rounds up to the next second, and the carry reaches the date.
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", EncodeDate(2023, 12, 31) + (86399999.6 / MSecsPerDay)),
            "2024-01-01 00:00:00.000");
  const char saved = DateSeparator;
  DateSeparator = '.';
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", t), "05.03.2024");
  DateSeparator = '\0';  // no separator at all
  EXPECT_EQ(FormatDateTime("dd/mm", t), "0503");
  DateSeparator = saved;
}

// A format variable is read on its own: what it ends with does not turn the
// caller's "m" into minutes, and it expands no further variable.
TEST(DateTime, FormatVariablesExpandOneLevelOnTheirOwn) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
  const std::string savedShort = ShortTimeFormat, savedLong = LongTimeFormat;
  ShortTimeFormat = "h";
  EXPECT_EQ(FormatDateTime("t m", t), "14 3");
  LongTimeFormat = "t";
  EXPECT_EQ(FormatDateTime("[tt]", t), "[]");
  ShortTimeFormat = savedShort;
  LongTimeFormat = savedLong;
}

// GNU date judges the calendar: every decoded date must be a real date with the same weekday.
TEST(DateTime, CalendarAgreesWithGnuDate) {
  const std::string list = test::TempPath("kv_dates_" + std::to_string(::getpid()) + ".txt");
  std::string ours;
  {
    std::ofstream f(list);
    for (int64_t day = int64_t(EncodeDate(1583, 1, 1)); day < int64_t(EncodeDate(2400, 12, 31)); day += 997) {
      f << FormatDateTime("yyyy-mm-dd", double(day)) << "\n";
      ours += FormatDateTime("yyyy-mm-dd ddd", double(day)) + "\n";
    }
    for (int y : {1600, 1700, 1900, 2000, 2100}) {  // century leap rules
      f << FormatDateTime("yyyy-mm-dd", EncodeDate(y, 3, 1) - 1) << "\n";
      ours += FormatDateTime("yyyy-mm-dd ddd", EncodeDate(y, 3, 1) - 1) + "\n";
    }
  }
  const test::TToolRun date = test::RunTool("LC_ALL=C date -f " + list + " '+%Y-%m-%d %a' 2>&1");
  ASSERT_TRUE(date.Started);
  if (date.Status != 0 && date.Output.find("invalid") == std::string::npos) GTEST_SKIP() << "date is not usable here";
  EXPECT_EQ(ours, date.Output);
  std::remove(list.c_str());
}

TEST(DateTime, NowCanBeFixed) {
  const TDateTime fixed = EncodeDate(2020, 6, 1) + EncodeTime(12, 0, 0, 0);
  SetNowForTesting(fixed);
  EXPECT_EQ(Now(), fixed);
  EXPECT_EQ(Date(), EncodeDate(2020, 6, 1));
  EXPECT_DOUBLE_EQ(Time(), 0.5);
  SetNowForTesting(std::nullopt);
  EXPECT_GT(Now(), EncodeDate(2020, 6, 2));
}

}  // namespace
}  // namespace kv
