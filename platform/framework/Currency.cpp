#include "platform/framework/Currency.h"

#include <cmath>
#include <limits>
#include <string>

#include "platform/framework/Convert.h"
#include "platform/framework/Exception.h"

namespace zyfw {

namespace {

// 2^63 is exact in every floating format, so the range test itself cannot round.
constexpr long double kTwo63 = 9223372036854775808.0L;

// Half to even without depending on the process's rounding mode: round half away from zero,
// then step back toward zero when the value sat exactly halfway and the result came out odd.
long double RoundHalfEven(long double value) {
  long double r = std::round(value);
  if (std::fabs(value - std::trunc(value)) == 0.5L && std::fmod(r, 2.0L) != 0) {
    r -= std::copysign(1.0L, value);
  }
  return r;
}

}  // namespace

bool TryRoundToInt64(long double value, int64_t* out) {
  if (!std::isfinite(value)) return false;
  const long double r = RoundHalfEven(value);
  if (r < -kTwo63 || r >= kTwo63) return false;
  *out = static_cast<int64_t>(r);
  return true;
}

bool Currency::TryFromInt64(int64_t units, Currency* out) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max() / kScale;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min() / kScale;
  if (units > kMax || units < kMin) return false;
  *out = Currency(units * kScale);
  return true;
}

bool Currency::TryFromLongDouble(long double value, Currency* out) {
  int64_t raw = 0;
  if (!TryRoundToInt64(value * kScale, &raw)) return false;
  *out = Currency(raw);
  return true;
}

Currency Currency::FromInt64(int64_t units) {
  Currency c;
  if (!TryFromInt64(units, &c)) {
    throw EConvertError(IntToStr(units) + " is out of the range of a currency amount");
  }
  return c;
}

Currency Currency::FromLongDouble(long double value) {
  Currency c;
  if (!TryFromLongDouble(value, &c)) {
    throw EConvertError(FloatToStr(value) + " is out of the range of a currency amount");
  }
  return c;
}

}  // namespace zyfw
