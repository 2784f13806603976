#include "platform/framework/DateTime.h"

#include <cmath>
#include <cstdlib>

#include "platform/framework/Exception.h"

namespace zyfw {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Day numbers (days since 1970-01-01) of the date-time epoch and of the file-time epoch.
constexpr int64_t kDateTimeEpoch = -25569;   // 1899-12-30
constexpr int64_t kFileTimeEpoch = -134774;  // 1601-01-01
// The date-time values of 0001-01-01 and 9999-12-31.
constexpr double kMinDate = -693593.0;
constexpr double kMaxDate = 2958465.0;

// Proleptic Gregorian calendar through 400-year eras, valid for any year without tables.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = yoe + era * 400 + (*month <= 2);
}

// The value rounded to whole milliseconds, or false when it lies outside years 1..9999.
bool ToMilliseconds(TDateTime value, int64_t* ms) {
  if (!(value >= kMinDate - 1 && value <= kMaxDate + 1)) return false;
  *ms = std::llround(value * static_cast<double>(kMSecsPerDay));
  const int64_t days = *ms / kMSecsPerDay;
  return days >= static_cast<int64_t>(kMinDate) && days <= static_cast<int64_t>(kMaxDate);
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime* out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  *out = static_cast<double>(DaysFromCivil(year, month, day) - kDateTimeEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime* out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    return false;
  const int64_t ms = ((hour * 60 + minute) * 60 + second) * 1000LL + millisecond;
  *out = static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, &result))
    throw EConvertError("Invalid argument to date encode");
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, millisecond, &result))
    throw EConvertError("Invalid argument to time encode");
  return result;
}

void DecodeDate(TDateTime value, int* year, int* month, int* day) {
  int64_t ms;
  if (!ToMilliseconds(value, &ms)) {
    *year = *month = *day = 0;
    return;
  }
  int64_t y;
  CivilFromDays(ms / kMSecsPerDay + kDateTimeEpoch, &y, month, day);
  *year = static_cast<int>(y);
}

void DecodeTime(TDateTime value, int* hour, int* minute, int* second, int* millisecond) {
  int64_t ms;
  if (!ToMilliseconds(value, &ms)) {
    *hour = *minute = *second = *millisecond = 0;
    return;
  }
  int64_t t = std::llabs(ms) % kMSecsPerDay;
  *millisecond = static_cast<int>(t % 1000);
  t /= 1000;
  *second = static_cast<int>(t % 60);
  t /= 60;
  *minute = static_cast<int>(t % 60);
  *hour = static_cast<int>(t / 60);
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

bool FileTimeToSystemTime(uint64_t fileTime, SystemTime* out) {
  const uint64_t totalMs = fileTime / 10000;
  const int64_t days = static_cast<int64_t>(totalMs / kMSecsPerDay);
  int64_t t = static_cast<int64_t>(totalMs % kMSecsPerDay);
  int64_t year;
  int month, day;
  CivilFromDays(days + kFileTimeEpoch, &year, &month, &day);
  if (year > 9999) return false;
  out->year = static_cast<int>(year);
  out->month = month;
  out->day = day;
  out->millisecond = static_cast<int>(t % 1000);
  t /= 1000;
  out->second = static_cast<int>(t % 60);
  t /= 60;
  out->minute = static_cast<int>(t % 60);
  out->hour = static_cast<int>(t / 60);
  return true;
}

}  // namespace zyfw
