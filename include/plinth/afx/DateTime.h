#pragma once
/// \file
/// COleDateTime, the framework's date and time.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <ctime>

// Old Windows headers make GetCurrentTime() a macro for GetTickCount().
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

/// The framework's date and time: an automation date (days since 30 December 1899, the time of
/// day as the fraction, to the second) with a status.
///
/// \code
///   COleDateTime now = COleDateTime::GetCurrentTime();
///   CString stamp = now.Format("%c");  // "12/04/26 05:02:40"
/// \endcode
///
/// Dates run from 1 January 100 to 31 December 9999; anything else makes the object invalid,
/// and an invalid object formats as "Invalid DateTime" and answers -1 to every Get…. The same
/// holds for every status other than valid. Before 1899 the fraction still counts forward from
/// midnight: -1.25 is 29 December 1899, 06:00.
///
/// Format hands the format to strftime, with a 256-byte buffer: a result longer than 255
/// characters gives empty text. `"%c"` is the date and time of the current locale (LC_TIME). The
/// Microsoft runtime's default locale spells it `"%m/%d/%y %H:%M:%S"`; so, wherever LC_TIME is
/// the "C" or "POSIX" locale (or "C.UTF-8" and the like), `"%c"` is given that spelling here too,
/// instead of the C library's own ("Sun Dec  6 18:00:00 2026"). In any other locale it is the
/// locale's own representation.
class PLINTH_API COleDateTime {
 public:
  /// Whether m_dt holds a date. The class itself sets only valid and invalid; error and null
  /// come only from SetStatus, and behave as invalid.
  enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

  /// The local time now, to the second (invalid when the system cannot convert it).
  static COleDateTime GetCurrentTime();

  /// 30 December 1899, midnight (0.0, valid).
  COleDateTime();
  /// An automation date, kept as given. Invalid when it is not finite or lies outside the
  /// years 100 to 9999.
  COleDateTime(double date);
  /// The local time of a moment in seconds since 1970, to the second. Invalid (m_dt 0) when
  /// the C library cannot convert it to local time (on Windows: a moment before 1970) or the
  /// year lies outside 100 to 9999.
  COleDateTime(time_t time);
  /// The date and time from its parts, as SetDateTime takes them; invalid (m_dt 0) when they do
  /// not make a valid date.
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  /// 0 when the parts make a valid date (the object takes it), 1 when they do not (the object
  /// becomes invalid).
  ///
  /// Valid parts: year 100-9999, month 1-12, day 1 to the length of that month (Gregorian leap
  /// years), hour 0-23, minute 0-59, second 0-59; nothing is carried over. An invalid object
  /// gets m_dt 0.
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  /// SetDateTime at midnight.
  int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

  /// The status m_status holds.
  DateTimeStatus GetStatus() const { return m_status; }
  /// Sets the status only; m_dt is unchanged. Marking valid an m_dt outside the range still
  /// answers -1 to every Get….
  void SetStatus(DateTimeStatus status) { m_status = status; }

  // Each part below is -1 for an object that is not valid.
  int GetYear() const;       ///< 100-9999, or -1.
  int GetMonth() const;      ///< 1-12, or -1.
  int GetDay() const;        ///< 1-31, or -1.
  int GetHour() const;       ///< 0-23, or -1.
  int GetMinute() const;     ///< 0-59, or -1.
  int GetSecond() const;     ///< 0-59, or -1.
  int GetDayOfWeek() const;  ///< 1 (Sunday) - 7, or -1.
  int GetDayOfYear() const;  ///< 1-366, or -1.

  /// strftime of the date with format; see above for `"%c"`. "Invalid DateTime" when invalid.
  ///
  /// A null or empty format, or a result longer than 255 characters, gives empty text.
  CString Format(LPCTSTR format) const;

  /// Same status and, when valid, the same m_dt exactly; objects that are not valid compare
  /// equal whatever their m_dt.
  bool operator==(const COleDateTime& other) const;
  /// Not operator==.
  bool operator!=(const COleDateTime& other) const { return !(*this == other); }
  /// The earlier moment, compared in whole seconds whatever the status; false when either m_dt
  /// is not finite or more than 3,000,000 days from 0.
  bool operator<(const COleDateTime& other) const;

  /// The automation date: days since 30 December 1899, the time of day as the fraction.
  double m_dt;
  /// Whether m_dt holds a date.
  DateTimeStatus m_status;

 private:
  // The calendar parts, false when invalid.
  bool Split(struct tm& parts) const;
};
