#include <gtest/gtest.h>

#include "platform/rtl/strings.h"

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
  DecodeDate(1e300, y, m, d);  // far outside the calendar: zeros, no overflow
  EXPECT_EQ(y, 0);

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
  DateSeparator = saved;
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
