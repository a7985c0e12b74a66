#pragma once
// The framework's date and time: an automation date (days since 30 December 1899, the time of
// day as the fraction, to the second) with a status.
//
//   COleDateTime now = COleDateTime::GetCurrentTime();
//   CString stamp = now.Format("%c");  // "12/04/26 05:02:40"
//
// Dates run from 1 January 100 to 31 December 9999; anything else makes the object invalid,
// and an invalid object formats as "Invalid DateTime" and answers -1 to every Get….
//
// Format hands the format to strftime, with a 256-byte buffer: a result longer than 255
// characters gives empty text. "%c" is the date and time of the current locale (LC_TIME). The
// Microsoft runtime's default locale spells it "%m/%d/%y %H:%M:%S"; so, wherever LC_TIME is the
// "C" or "POSIX" locale (or "C.UTF-8" and the like), "%c" is given that spelling here too,
// instead of the C library's own ("Sun Dec  6 18:00:00 2026"). In any other locale it is the
// locale's own representation.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <ctime>

// Old Windows headers make GetCurrentTime() a macro for GetTickCount().
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class PLINTH_API COleDateTime {
 public:
  enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

  // The local time now, to the second.
  static COleDateTime GetCurrentTime();

  // 30 December 1899, midnight.
  COleDateTime();
  // An automation date.
  COleDateTime(double date);
  // The local time of a moment in seconds since 1970.
  COleDateTime(time_t time);
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  // 0 when the parts make a valid date (the object takes it), 1 when they do not (the object
  // becomes invalid).
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }

  int GetYear() const;
  int GetMonth() const;      // 1-12
  int GetDay() const;        // 1-31
  int GetHour() const;       // 0-23
  int GetMinute() const;     // 0-59
  int GetSecond() const;     // 0-59
  int GetDayOfWeek() const;  // 1 (Sunday) - 7
  int GetDayOfYear() const;  // 1-366

  // strftime of the date with format; see above for "%c". "Invalid DateTime" when invalid.
  CString Format(LPCTSTR format) const;

  bool operator==(const COleDateTime& other) const;
  bool operator!=(const COleDateTime& other) const { return !(*this == other); }
  bool operator<(const COleDateTime& other) const;

  double m_dt;
  DateTimeStatus m_status;

 private:
  // The calendar parts, false when invalid.
  bool Split(struct tm& parts) const;
};
