// The framework's currency value: a signed 64-bit count of ten-thousandths, so amounts carry
// exactly four decimals and add up without the drift of binary floats. Conversions from floats
// round half to even, the rule bookkeeping expects for a value exactly between two amounts.
#pragma once

#include <cstdint>

namespace zyfw {

class Currency {
 public:
  // Ten-thousandths per unit: the amount 1.5 is held as 15000.
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t raw) { return Currency(raw); }
  constexpr int64_t Raw() const { return raw_; }

  // Whole units; false when units × 10000 does not fit in 64 bits.
  static bool TryFromInt64(int64_t units, Currency* out);
  // value × 10000 rounded to the nearest integer, ties to even; false for NaN, infinities and
  // amounts beyond the 64-bit range. *out is left alone on failure.
  static bool TryFromLongDouble(long double value, Currency* out);
  // The same conversions raising EConvertError when the value does not fit.
  static Currency FromInt64(int64_t units);
  static Currency FromLongDouble(long double value);
  static Currency FromDouble(double value) { return FromLongDouble(value); }

  // The amount as a float. Every amount is exact as a long double (64-bit mantissa); as a
  // double it is the nearest double.
  long double ToLongDouble() const { return static_cast<long double>(raw_) / kScale; }
  double ToDouble() const { return static_cast<double>(ToLongDouble()); }

  friend constexpr bool operator==(Currency a, Currency b) { return a.raw_ == b.raw_; }
  friend constexpr bool operator!=(Currency a, Currency b) { return a.raw_ != b.raw_; }
  friend constexpr bool operator<(Currency a, Currency b) { return a.raw_ < b.raw_; }
  friend constexpr bool operator<=(Currency a, Currency b) { return a.raw_ <= b.raw_; }
  friend constexpr bool operator>(Currency a, Currency b) { return a.raw_ > b.raw_; }
  friend constexpr bool operator>=(Currency a, Currency b) { return a.raw_ >= b.raw_; }

 private:
  constexpr explicit Currency(int64_t raw) : raw_(raw) {}
  int64_t raw_ = 0;
};

// The long double rounded to the nearest integer, ties to even; false for NaN, infinities and
// results outside int64_t. Shared by every float-to-integer conversion of the framework.
bool TryRoundToInt64(long double value, int64_t* out);

}  // namespace zyfw
