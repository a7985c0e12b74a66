// COleDateTime over automation dates. The calendar arithmetic is done on whole seconds, so a
// date and its parts always agree; only the conversion to local time and strftime come from
// the C library.

#include <plinth/afx/DateTime.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr long long kSecondsPerDay = 86400;
// 30 December 1899 counted from 1 January 1970.
constexpr long long kEpochDay = -25569;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

// Days from 1 January 1970 to the civil date (proleptic Gregorian).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2));
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// An automation date keeps the time of day as the fraction's absolute value, also before
// 1899 (-1.25 is 29 December 1899, 06:00): seconds from 30 December 1899 on a straight line.
bool DateToSeconds(double date, long long& seconds) {
  if (!std::isfinite(date) || std::fabs(date) > 3e6) return false;
  const double whole = std::trunc(date);
  seconds = static_cast<long long>(whole) * kSecondsPerDay +
            std::llround(std::fabs(date - whole) * kSecondsPerDay);
  return true;
}

double SecondsToDate(long long seconds) {
  long long day = seconds / kSecondsPerDay;
  long long second = seconds % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --day;
  }
  const double fraction = static_cast<double>(second) / kSecondsPerDay;
  return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

#if !defined(_WIN32)
// Whether strftime's "%c" is the C library's own spelling rather than a locale's: "C",
// "POSIX", or the C locale with an encoding ("C.UTF-8").
bool TimeLocaleIsC() {
  const char* name = std::setlocale(LC_TIME, nullptr);
  return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
         std::strncmp(name, "C.", 2) == 0;
}
#endif

}  // namespace

COleDateTime::COleDateTime() : m_dt(0), m_status(valid) {}

COleDateTime::COleDateTime(double date) : m_dt(date), m_status(valid) {
  long long seconds;
  if (!DateToSeconds(date, seconds)) m_status = invalid;
  struct tm parts;
  if (m_status == valid && !Split(parts)) m_status = invalid;
}

COleDateTime::COleDateTime(time_t time) : m_dt(0), m_status(invalid) {
  struct tm local;
#if defined(_WIN32)
  const __time64_t moment = time;
  if (_localtime64_s(&local, &moment) != 0) return;
#else
  if (localtime_r(&time, &local) == nullptr) return;
#endif
  SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
              local.tm_sec);
}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
    : m_dt(0), m_status(valid) {
  SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime COleDateTime::GetCurrentTime() {
#if defined(_WIN32)
  return COleDateTime(static_cast<time_t>(_time64(nullptr)));
#else
  return COleDateTime(std::time(nullptr));
#endif
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    m_dt = 0;
    m_status = invalid;
    return 1;
  }
  const long long days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDay;
  m_dt = SecondsToDate(days * kSecondsPerDay + hour * 3600LL + minute * 60LL + second);
  m_status = valid;
  return 0;
}

bool COleDateTime::Split(struct tm& parts) const {
  long long seconds;
  if (m_status != valid || !DateToSeconds(m_dt, seconds)) return false;
  long long day = seconds / kSecondsPerDay;
  long long second = seconds % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --day;
  }
  int year, month, dayOfMonth;
  CivilFromDays(day + kEpochDay, year, month, dayOfMonth);
  if (year < kMinYear || year > kMaxYear) return false;
  std::memset(&parts, 0, sizeof parts);
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = dayOfMonth;
  parts.tm_hour = static_cast<int>(second / 3600);
  parts.tm_min = static_cast<int>(second / 60 % 60);
  parts.tm_sec = static_cast<int>(second % 60);
  // 1 January 1970 was a Thursday.
  parts.tm_wday = static_cast<int>((((day + kEpochDay) % 7) + 11) % 7);
  parts.tm_yday = static_cast<int>(day + kEpochDay - DaysFromCivil(year, 1, 1));
  parts.tm_isdst = -1;
  return true;
}

int COleDateTime::GetYear() const {
  struct tm parts;
  return Split(parts) ? parts.tm_year + 1900 : -1;
}
int COleDateTime::GetMonth() const {
  struct tm parts;
  return Split(parts) ? parts.tm_mon + 1 : -1;
}
int COleDateTime::GetDay() const {
  struct tm parts;
  return Split(parts) ? parts.tm_mday : -1;
}
int COleDateTime::GetHour() const {
  struct tm parts;
  return Split(parts) ? parts.tm_hour : -1;
}
int COleDateTime::GetMinute() const {
  struct tm parts;
  return Split(parts) ? parts.tm_min : -1;
}
int COleDateTime::GetSecond() const {
  struct tm parts;
  return Split(parts) ? parts.tm_sec : -1;
}
int COleDateTime::GetDayOfWeek() const {
  struct tm parts;
  return Split(parts) ? parts.tm_wday + 1 : -1;
}
int COleDateTime::GetDayOfYear() const {
  struct tm parts;
  return Split(parts) ? parts.tm_yday + 1 : -1;
}

CString COleDateTime::Format(LPCTSTR format) const {
  struct tm parts;
  if (!Split(parts)) return CString("Invalid DateTime");
  if (format == nullptr) format = "";
  std::string spelled;
#if defined(_WIN32)
  spelled = format;
#else
  const bool cLocale = TimeLocaleIsC();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 'c' && cLocale) {
      spelled += "%m/%d/%y %H:%M:%S";
      ++p;
    } else if (p[0] == '%' && p[1] != '\0') {
      // "%%" and every other conversion pass as they are.
      spelled += p[0];
      spelled += *++p;
    } else {
      spelled += *p;
    }
  }
#endif
  if (spelled.empty()) return CString();
  char buffer[256];
  const size_t length = std::strftime(buffer, sizeof buffer, spelled.c_str(), &parts);
  return CString(buffer, static_cast<int>(length));
}

bool COleDateTime::operator==(const COleDateTime& other) const {
  return m_status == other.m_status && (m_status != valid || m_dt == other.m_dt);
}

bool COleDateTime::operator<(const COleDateTime& other) const {
  long long mine, theirs;
  return DateToSeconds(m_dt, mine) && DateToSeconds(other.m_dt, theirs) && mine < theirs;
}
