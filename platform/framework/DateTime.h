// The framework's date-time value: a double counting days since 1899-12-30, whose fraction is the
// time of day. Encoding and decoding between that value and calendar fields.
#pragma once

#include <cstdint>

namespace zyfw {

using TDateTime = double;

// Valid ranges: year 1..9999, month 1..12, day 1..days in month; hour 0..23, minute and
// second 0..59, millisecond 0..999. Out-of-range fields raise EConvertError.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeDate(int year, int month, int day, TDateTime* out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime* out);
// Decoding first rounds the value to the millisecond. Values before 1899-12-30 are negative: the
// whole part counts the days back, the fraction is still the time of day (-1.25 is 1899-12-29
// 06:00). Values outside years 1..9999 (and NaN) decode to all-zero fields.
void DecodeDate(TDateTime value, int* year, int* month, int* day);
void DecodeTime(TDateTime value, int* hour, int* minute, int* second, int* millisecond);
// A date value plus a time-of-day value, following the sign convention above.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// A file time (100-ns intervals since 1601-01-01) as calendar fields, without any time-zone
// adjustment. Returns false for a value beyond year 9999.
struct SystemTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
bool FileTimeToSystemTime(uint64_t fileTime, SystemTime* out);

}  // namespace zyfw
