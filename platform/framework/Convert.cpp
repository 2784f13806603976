#include "platform/framework/Convert.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "platform/framework/Exception.h"

namespace zyfw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text between surrounding blanks, as [begin, end) indexes.
void StripBlanks(const std::string& text, size_t* begin, size_t* end) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  *begin = b;
  *end = e;
}

// A decimal number as written: its digits without the point, how many of them stand before the
// point, and the exponent. Both the float and the exact currency reading start from this.
struct DecimalText {
  bool negative = false;
  std::string digits;
  long pointPos = 0;
  long exponent = 0;
  size_t begin = 0, end = 0;  // the number without blanks, sign included
};

// Exponents are clamped far beyond any representable value, so that absurd inputs like
// "1e99999999999" cannot overflow the arithmetic that sizes them.
constexpr long kExponentClamp = 1000000;

bool ScanDecimal(const std::string& text, DecimalText* d) {
  size_t b, e;
  StripBlanks(text, &b, &e);
  d->begin = b;
  d->end = e;
  size_t i = b;
  if (i < e && (text[i] == '+' || text[i] == '-')) d->negative = text[i++] == '-';
  bool point = false;
  for (; i < e; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      d->digits += c;
      if (!point) ++d->pointPos;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (d->digits.empty()) return false;
  if (i < e && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negExp = false;
    if (i < e && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
    if (i >= e || !IsDigit(text[i])) return false;
    long exp = 0;
    for (; i < e && IsDigit(text[i]); ++i) {
      if (exp < kExponentClamp) exp = exp * 10 + (text[i] - '0');
    }
    d->exponent = negExp ? -exp : exp;
  }
  return i == e;
}

// The power of ten of the first significant digit, or nothing for a zero value.
bool LeadingExponent(const DecimalText& d, long* out) {
  const size_t first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) return false;
  *out = d.pointPos - static_cast<long>(first) - 1 + d.exponent;
  return true;
}

template <typename F>
bool ParseFloat(const std::string& text, F* out) {
  DecimalText d;
  if (!ScanDecimal(text, &d)) return false;
  const char* first = text.data() + d.begin;
  const char* last = text.data() + d.end;
  if (*first == '+') ++first;  // from_chars takes "-" only
  F value = 0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    long lead = 0;
    if (LeadingExponent(d, &lead) && lead > 0) return false;  // too large
    value = d.negative ? -F(0) : F(0);                         // too small: becomes zero
  } else if (result.ec != std::errc() || result.ptr != last) {
    return false;
  }
  if (!std::isfinite(value)) return false;
  *out = value;
  return true;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string Pad(int value, int width) {
  std::string s = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
  return value < 0 ? "-" + s : s;
}

long double RoundHalfEven(long double value) {
  long double r = std::round(value);
  if (std::fabs(value - std::trunc(value)) == 0.5L && std::fmod(r, 2.0L) != 0) {
    r -= std::copysign(1.0L, value);
  }
  return r;
}

}  // namespace

// ---- Integers --------------------------------------------------------------------------------

std::string IntToStr(int64_t value) { return std::to_string(value); }
std::string UIntToStr(uint64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), kHex[value & 15]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(s.size()) < digits) s.insert(0, digits - s.size(), '0');
  return s;
}

bool TryStrToInt64(const std::string& text, int64_t* out) {
  size_t b, e;
  StripBlanks(text, &b, &e);
  bool negative = false;
  if (b < e && (text[b] == '+' || text[b] == '-')) negative = text[b++] == '-';
  if (b == e) return false;
  // Magnitudes up to 2^63 fit in the unsigned accumulator; the sign decides the final limit.
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (size_t i = b; i < e; ++i) {
    if (!IsDigit(text[i])) return false;
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  *out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool TryStrToInt(const std::string& text, int32_t* out) {
  int64_t v = 0;
  if (!TryStrToInt64(text, &v)) return false;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *out = static_cast<int32_t>(v);
  return true;
}

int64_t StrToInt64(const std::string& text) {
  int64_t v = 0;
  if (!TryStrToInt64(text, &v)) throw EConvertError(Quote(text) + " is not a valid integer value");
  return v;
}

int32_t StrToInt(const std::string& text) {
  int32_t v = 0;
  if (!TryStrToInt(text, &v)) throw EConvertError(Quote(text) + " is not a valid integer value");
  return v;
}

int64_t StrToInt64Def(const std::string& text, int64_t def) {
  int64_t v = 0;
  return TryStrToInt64(text, &v) ? v : def;
}

// ---- Floats ----------------------------------------------------------------------------------

bool TryStrToFloat(const std::string& text, long double* out) { return ParseFloat(text, out); }
bool TryStrToFloat(const std::string& text, double* out) { return ParseFloat(text, out); }

long double StrToFloat(const std::string& text) {
  long double v = 0;
  if (!TryStrToFloat(text, &v)) {
    throw EConvertError(Quote(text) + " is not a valid floating point value");
  }
  return v;
}

std::string FloatToStr(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // negative zero too
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  const std::string s(buf, result.ptr);
  const size_t e = s.find('e');
  if (e == std::string::npos) return s;
  // "1.5e-05" -> "1.5E-5", "1e+20" -> "1E20"
  std::string out = s.substr(0, e) + "E";
  size_t i = e + 1;
  if (s[i] == '-') out += '-';
  if (s[i] == '-' || s[i] == '+') ++i;
  while (i + 1 < s.size() && s[i] == '0') ++i;
  out.append(s, i, std::string::npos);
  return out;
}

// ---- Currency --------------------------------------------------------------------------------

std::string CurrToStr(Currency value) {
  const int64_t raw = value.Raw();
  const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  std::string s = UIntToStr(magnitude / Currency::kScale);
  uint64_t fraction = magnitude % Currency::kScale;
  if (fraction != 0) {
    std::string f = Pad(static_cast<int>(fraction), 4);
    while (f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return raw < 0 ? "-" + s : s;
}

bool TryStrToCurr(const std::string& text, Currency* out) {
  DecimalText d;
  if (!ScanDecimal(text, &d)) return false;
  // The amount in ten-thousandths is the digits with the point moved 4 + exponent places right:
  // the first `whole` digits make the integer, the rest decide the rounding.
  const size_t first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    *out = Currency();
    return true;
  }
  const std::string digits = d.digits.substr(first);
  const long whole = d.pointPos - static_cast<long>(first) + d.exponent + 4;
  if (whole > 19) return false;  // at least 10^19 ten-thousandths: beyond 64 bits
  uint64_t magnitude = 0;
  for (long i = 0; i < whole; ++i) {
    const char c = i < static_cast<long>(digits.size()) ? digits[i] : '0';
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
  }
  // Half to even on the digits beyond the fourth decimal, the first of which is digits[whole].
  // With whole < 0 the amount is below a tenth of a ten-thousandth and rounds to zero.
  bool up = false;
  if (whole >= 0 && whole < static_cast<long>(digits.size())) {
    const char c = digits[whole];
    const bool restNonZero = digits.find_first_not_of('0', whole + 1) != std::string::npos;
    up = c > '5' || (c == '5' && (restNonZero || (magnitude & 1) != 0));
  }
  if (up) {
    if (magnitude == std::numeric_limits<uint64_t>::max()) return false;
    ++magnitude;
  }
  const uint64_t limit = d.negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  *out = Currency::FromRaw(d.negative ? static_cast<int64_t>(0 - magnitude)
                                      : static_cast<int64_t>(magnitude));
  return true;
}

Currency StrToCurr(const std::string& text) {
  Currency v;
  if (!TryStrToCurr(text, &v)) throw EConvertError(Quote(text) + " is not a valid currency value");
  return v;
}

// ---- Dates and times -------------------------------------------------------------------------

std::string FormatDateTime(const std::string& pattern, TDateTime value) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  DecodeDate(value, &year, &month, &day);
  DecodeTime(value, &hour, &minute, &second, &ms);
  std::string out;
  const size_t n = pattern.size();
  size_t i = 0;
  while (i < n) {
    const char c = pattern[i];
    if (c == '\'' || c == '"') {
      const size_t close = pattern.find(c, i + 1);
      const size_t stop = close == std::string::npos ? n : close;
      out.append(pattern, i + 1, stop - i - 1);
      i = close == std::string::npos ? n : close + 1;
      continue;
    }
    const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    const bool letter = lower >= 'a' && lower <= 'z';
    size_t run = 1;
    while (letter && i + run < n &&
           static_cast<char>(pattern[i + run] | 0x20) == lower) {  // same letter, either case
      ++run;
    }
    switch (lower) {
      case 'y':
        out += run >= 3 ? Pad(year, 4) : Pad(year % 100, 2);
        break;
      case 'm': out += Pad(month, run >= 2 ? 2 : 1); break;
      case 'd': out += Pad(day, run >= 2 ? 2 : 1); break;
      case 'h': out += Pad(hour, run >= 2 ? 2 : 1); break;
      case 'n': out += Pad(minute, run >= 2 ? 2 : 1); break;
      case 's': out += Pad(second, run >= 2 ? 2 : 1); break;
      case 'z': out += Pad(ms, run >= 3 ? 3 : 1); break;
      default:
        // "/" and ":" are the locale's separators, which in this locale are themselves.
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime("mm/dd/yyyy", value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime("hh:nn:ss", value); }

std::string DateTimeToStr(TDateTime value) {
  const double days = std::trunc(value);
  if (value - days == 0) return DateToStr(value);
  if (days == 0) return TimeToStr(value);
  return FormatDateTime("mm/dd/yyyy hh:nn:ss", value);
}

namespace {

// A cursor over date text; every reader leaves the position unchanged when it fails.
struct DateScanner {
  const std::string& text;
  size_t pos;
  size_t end;

  bool AtEnd() const { return pos == end; }
  bool Take(char c) {
    if (pos < end && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool Number(int minDigits, int maxDigits, int* out, int* digitsRead = nullptr) {
    size_t p = pos;
    int v = 0;
    int count = 0;
    while (p < end && count < maxDigits && IsDigit(text[p])) {
      v = v * 10 + (text[p] - '0');
      ++p;
      ++count;
    }
    if (count < minDigits || (p < end && IsDigit(text[p]))) return false;
    pos = p;
    *out = v;
    if (digitsRead) *digitsRead = count;
    return true;
  }
  bool Blanks() {
    const size_t start = pos;
    while (pos < end && IsBlank(text[pos])) ++pos;
    return pos > start;
  }
};

bool ScanTime(DateScanner& s, TDateTime* out) {
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (!s.Number(1, 2, &hour) || !s.Take(':') || !s.Number(1, 2, &minute)) return false;
  if (s.Take(':')) {
    if (!s.Number(1, 2, &second)) return false;
    if (s.Take('.')) {
      int digits = 0;
      if (!s.Number(1, 3, &ms, &digits)) return false;
      for (; digits < 3; ++digits) ms *= 10;  // ".5" is half a second
    }
  }
  return TryEncodeTime(hour, minute, second, ms, out);
}

// Days and time of day as one value; before the epoch the fraction still counts forward.
TDateTime Combine(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

}  // namespace

bool TryStrToDateTime(const std::string& text, TDateTime* out) {
  size_t b, e;
  StripBlanks(text, &b, &e);
  DateScanner s{text, b, e};
  int year = 0, month = 0, day = 0;
  TDateTime date = 0, time = 0;
  const size_t start = s.pos;
  if (s.Number(4, 4, &year) && s.Take('-')) {
    // ISO 8601: yyyy-mm-dd, then "T" or blanks and a time
    if (!s.Number(2, 2, &month) || !s.Take('-') || !s.Number(2, 2, &day)) return false;
    if (!TryEncodeDate(year, month, day, &date)) return false;
    if (!s.AtEnd()) {
      if (!s.Take('T') && !s.Blanks()) return false;
      if (!ScanTime(s, &time)) return false;
    }
  } else {
    s.pos = start;
    const size_t slash = text.find('/', b);
    if (slash != std::string::npos && slash < e) {
      if (!s.Number(1, 2, &month) || !s.Take('/') || !s.Number(1, 2, &day) || !s.Take('/') ||
          !s.Number(4, 4, &year)) {
        return false;
      }
      if (!TryEncodeDate(year, month, day, &date)) return false;
      if (!s.AtEnd()) {
        if (!s.Blanks() || !ScanTime(s, &time)) return false;
      }
    } else if (!ScanTime(s, &time)) {
      return false;
    }
  }
  if (!s.AtEnd()) return false;
  *out = Combine(date, time);
  return true;
}

TDateTime StrToDateTime(const std::string& text) {
  TDateTime v = 0;
  if (!TryStrToDateTime(text, &v)) {
    throw EConvertError(Quote(text) + " is not a valid date and time");
  }
  return v;
}

// ---- Text helpers ----------------------------------------------------------------------------

std::string UpperCase(const std::string& text) {
  std::string s = text;
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

std::string LowerCase(const std::string& text) {
  std::string s = text;
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

std::string Trim(const std::string& text) {
  const char* kBlanks = " \t\r\n";
  const size_t b = text.find_first_not_of(kBlanks);
  if (b == std::string::npos) return std::string();
  const size_t e = text.find_last_not_of(kBlanks);
  return text.substr(b, e - b + 1);
}

// ---- 10-byte extended floats ------------------------------------------------------------------

namespace detail {

namespace {
constexpr int kBias = 16383;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
}  // namespace

void Float10ToBytesPortable(long double value, uint8_t* bytes) {
  uint16_t signExp = std::signbit(value) ? 0x8000 : 0;
  uint64_t mantissa = 0;
  if (std::isnan(value)) {
    signExp |= 0x7FFF;
    mantissa = kIntegerBit | (kIntegerBit >> 1);  // the quiet NaN
  } else if (std::isinf(value)) {
    signExp |= 0x7FFF;
    mantissa = kIntegerBit;
  } else if (value != 0) {
    int exp = 0;
    const long double m = std::frexp(std::fabs(value), &exp);  // |value| = m * 2^exp, m in [0.5, 1)
    int biased = exp - 1 + kBias;
    // The integer bit stands for 2^(biased - bias); below the smallest normal exponent the
    // mantissa is scaled for the fixed exponent 1 - bias instead.
    long double scaled = biased > 0 ? std::ldexp(m, 64) : std::ldexp(m, exp + kBias + 62);
    scaled = RoundHalfEven(scaled);
    if (scaled >= 18446744073709551616.0L) {  // rounded up to 2^64: one binade higher
      scaled = std::ldexp(scaled, -1);
      ++biased;
    }
    if (biased <= 0) {
      // A denormal, unless rounding carried it into the smallest normal.
      biased = scaled >= 9223372036854775808.0L ? 1 : 0;
    }
    if (biased >= 0x7FFF) {
      signExp |= 0x7FFF;
      mantissa = kIntegerBit;
    } else {
      signExp |= static_cast<uint16_t>(biased);
      mantissa = static_cast<uint64_t>(scaled);
    }
  }
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  bytes[8] = static_cast<uint8_t>(signExp);
  bytes[9] = static_cast<uint8_t>(signExp >> 8);
}

long double BytesToFloat10Portable(const uint8_t* bytes) {
  uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  const uint16_t signExp = static_cast<uint16_t>(bytes[8] | (bytes[9] << 8));
  const bool negative = (signExp & 0x8000) != 0;
  const int biased = signExp & 0x7FFF;
  long double value;
  if (biased == 0x7FFF) {
    value = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                 : std::numeric_limits<long double>::quiet_NaN();
  } else {
    const int exp = (biased == 0 ? 1 : biased) - kBias - 63;
    value = std::ldexp(static_cast<long double>(mantissa), exp);
  }
  return negative ? -value : value;
}

}  // namespace detail

#if defined(__x86_64__) || defined(__i386__)
static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384,
              "long double is expected to be the x87 extended format on x86");

void Float10ToBytes(long double value, uint8_t* bytes) {
  std::memcpy(bytes, &value, kFloat10Size);  // the 6 bytes after the first 10 are padding
}

long double BytesToFloat10(const uint8_t* bytes) {
  long double value = 0;
  std::memcpy(&value, bytes, kFloat10Size);
  return value;
}
#else
void Float10ToBytes(long double value, uint8_t* bytes) {
  detail::Float10ToBytesPortable(value, bytes);
}

long double BytesToFloat10(const uint8_t* bytes) { return detail::BytesToFloat10Portable(bytes); }
#endif

}  // namespace zyfw
