// COleDateTime: calendar parts against automation dates, validity, and Format.
#include <gtest/gtest.h>
#include <plinth/afx/DateTime.h>

#include <clocale>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string Text(const CString& text) { return std::string(text.GetString(), text.GetLength()); }

TEST(DateTime, PartsAndAutomationDatesAgree) {
  struct Case {
    int year, month, day, hour, minute, second;
    double date;
    int dayOfWeek;
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0, 7},
      {1899, 12, 29, 6, 0, 0, -1.25, 6},  // before the origin the hours still count forwards
      {1899, 12, 31, 18, 0, 0, 1.75, 1},
      {1900, 3, 1, 0, 0, 0, 61.0, 5},  // no 29 February 1900
      {2000, 1, 1, 12, 0, 0, 36526.5, 7},
      {2000, 2, 29, 0, 0, 0, 36585.0, 3},
      {2026, 12, 6, 18, 0, 0, 46362.75, 1},
      {100, 1, 1, 0, 0, 0, -657434.0, 6},
      {9999, 12, 31, 23, 59, 59, 2958465.0 + 86399.0 / 86400.0, 6},
  };
  for (const Case& c : cases) {
    const COleDateTime fromParts(c.year, c.month, c.day, c.hour, c.minute, c.second);
    ASSERT_EQ(fromParts.GetStatus(), COleDateTime::valid) << c.year << "-" << c.month;
    EXPECT_DOUBLE_EQ(fromParts.m_dt, c.date) << c.year << "-" << c.month << "-" << c.day;
    const COleDateTime d(c.date);
    EXPECT_EQ((std::vector<int>{d.GetYear(), d.GetMonth(), d.GetDay(), d.GetHour(), d.GetMinute(),
                                d.GetSecond(), d.GetDayOfWeek()}),
              (std::vector<int>{c.year, c.month, c.day, c.hour, c.minute, c.second, c.dayOfWeek}))
        << c.date;
  }
  // A fraction a hair short of midnight rounds to the next day.
  EXPECT_EQ(COleDateTime(1.0 - 1e-9).GetDay(), 31);
  EXPECT_EQ(COleDateTime(-1.0 - (1.0 - 1e-9)).GetDay(), 30);
}

TEST(DateTime, ImpossibleDatesAreInvalid) {
  struct Case {
    int year, month, day, hour, minute, second;
  };
  const Case cases[] = {
      {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}, {2023, 2, 29, 0, 0, 0},
      {1900, 2, 29, 0, 0, 0}, {2026, 13, 1, 0, 0, 0}, {2026, 4, 31, 0, 0, 0},
      {2026, 1, 1, 24, 0, 0}, {2026, 1, 1, 0, 60, 0}, {2026, 1, 1, 0, 0, 60},
      {2026, 0, 1, 0, 0, 0},  {2026, 1, 0, 0, 0, 0},  {2026, 1, 1, -1, 0, 0},
  };
  for (const Case& c : cases) {
    COleDateTime date(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(date.GetStatus(), COleDateTime::invalid) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(date.GetYear(), -1);
    EXPECT_EQ(Text(date.Format("%c")), "Invalid DateTime");
  }
  for (double date : {3e6, -7e5, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(COleDateTime(date).GetStatus(), COleDateTime::invalid) << date;
}

TEST(DateTime, FormatSpellsTheDefaultLocaleLikeTheMicrosoftRuntime) {
  ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
  const COleDateTime date(2026, 12, 4, 5, 2, 40);
  struct Case {
    const char* format;
    std::string text;
  };
  const Case cases[] = {
      {"%c", "12/04/26 05:02:40"},
      {"[%c] %c", "[12/04/26 05:02:40] 12/04/26 05:02:40"},
      {"%%c", "%c"},
      {"%Y-%m-%d %H:%M:%S %j %a", "2026-12-04 05:02:40 338 Fri"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(date.Format(c.format)), c.text) << c.format;
  // The C locale under its other names spells it the same way.
  for (const char* name : {"POSIX", "C.UTF-8"}) {
    if (std::setlocale(LC_TIME, name) != nullptr) {
      EXPECT_EQ(Text(date.Format("%c")), "12/04/26 05:02:40") << name;
    }
  }
  std::setlocale(LC_TIME, "C");
  // Room for 255 characters and no more.
  EXPECT_EQ(Text(date.Format(std::string(255, 'x').c_str())), std::string(255, 'x'));
#if !defined(_WIN32)
  // The Microsoft runtime may treat a result too long for the buffer as a caller's fault.
  EXPECT_EQ(Text(date.Format(std::string(256, 'x').c_str())), "");
#endif
}

TEST(DateTime, CurrentTimeIsTheLocalTimeNow) {
  const time_t before = std::time(nullptr);
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const time_t after = std::time(nullptr);
  EXPECT_EQ(now.GetStatus(), COleDateTime::valid);
  EXPECT_FALSE(now < COleDateTime(before));
  EXPECT_FALSE(COleDateTime(after) < now);
}

}  // namespace
