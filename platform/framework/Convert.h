// The framework's conversions between text and numbers, currency amounts and dates, in the one
// fixed locale the engine works in: decimal point ".", dates "mm/dd/yyyy", times "hh:nn:ss" on a
// 24-hour clock. Nothing here reads the process locale, so results never depend on the machine.
// Also the packing of long doubles into the 10-byte extended format that table rows store.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework/Currency.h"
#include "platform/framework/DateTime.h"

namespace zyfw {

// ---- Integers --------------------------------------------------------------------------------
// Decimal digits, "-" for negatives, no separators.
std::string IntToStr(int64_t value);
std::string UIntToStr(uint64_t value);
// value as upper-case hexadecimal, zero-padded on the left to at least digits characters.
std::string IntToHex(uint64_t value, int digits);

// Integer text: optional blanks (spaces or tabs), an optional "+" or "-", one or more decimal
// digits, optional blanks; nothing else. No hexadecimal prefixes and no separators: "12abc",
// "1.0", "1e3" and "" are not integers. A value outside the target type fails.
bool TryStrToInt64(const std::string& text, int64_t* out);
bool TryStrToInt(const std::string& text, int32_t* out);
// The same, raising EConvertError "'<text>' is not a valid integer value".
int64_t StrToInt64(const std::string& text);
int32_t StrToInt(const std::string& text);
// The same, giving def for text that is not an integer.
int64_t StrToInt64Def(const std::string& text, int64_t def);

// ---- Floats ----------------------------------------------------------------------------------
// Float text: optional blanks, optional sign, digits with at most one ".", at least one digit,
// then optionally "e" or "E", an optional sign and digits; optional blanks. No "inf", "nan" or
// hexadecimal floats. Values too large for the type fail; values too small become 0.
bool TryStrToFloat(const std::string& text, long double* out);
bool TryStrToFloat(const std::string& text, double* out);
// Raises EConvertError "'<text>' is not a valid floating point value".
long double StrToFloat(const std::string& text);

// General format with 15 significant digits: the shorter of plain and exponent notation by the
// usual rule (exponent form when the decimal exponent is below -4 or at least 15), no trailing
// zeros, no trailing "."; the exponent is written without "+" and without leading zeros.
// 0.1 -> "0.1", 100 -> "100", 1e20 -> "1E20", 0.000015 -> "1.5E-5", 1/3 -> "0.333333333333333".
// Negative zero prints as "0"; non-finite values as "NAN", "INF" and "-INF".
std::string FloatToStr(long double value);

// ---- Currency --------------------------------------------------------------------------------
// The amount with up to four decimals and no trailing zero decimals: 1.5 -> "1.5",
// 2 -> "2", -0.0001 -> "-0.0001".
std::string CurrToStr(Currency value);
// The float syntax above, read exactly as a decimal (no binary rounding on the way) and rounded
// half to even to four decimals. Amounts beyond the 64-bit range fail.
bool TryStrToCurr(const std::string& text, Currency* out);
// Raises EConvertError "'<text>' is not a valid currency value".
Currency StrToCurr(const std::string& text);

// ---- Dates and times -------------------------------------------------------------------------
// Formats value by pattern. Pattern letters, in either case: "yyyy" four-digit year, "yy" two
// digits; "mm"/"m" month, "dd"/"d" day, "hh"/"h" hour 0-23, "nn"/"n" minute, "ss"/"s" second
// (doubled letters pad to two digits), "zzz"/"z" millisecond; "/" and ":" are the date and
// time separators ("/" and ":" in this locale). Text in single or double quotes is copied
// without its quotes; any other character is copied as it is.
std::string FormatDateTime(const std::string& pattern, TDateTime value);
// "mm/dd/yyyy" when the time of day is 0 (midnight, including the value 0 itself);
// "hh:nn:ss" when the whole-day part is 0 but there is a time; "mm/dd/yyyy hh:nn:ss" otherwise.
std::string DateTimeToStr(TDateTime value);
std::string DateToStr(TDateTime value);  // "mm/dd/yyyy"
std::string TimeToStr(TDateTime value);  // "hh:nn:ss"

// Accepted, with optional blanks around the whole text:
//   m/d/yyyy                        a date (month and day of one or two digits, year of four)
//   m/d/yyyy h:n[:s[.zzz]]          a date and a time, separated by one or more blanks
//   h:n[:s[.zzz]]                   a time alone (whole-day part 0)
//   yyyy-mm-dd, yyyy-mm-ddThh:nn[:ss[.zzz]], yyyy-mm-dd hh:nn[:ss[.zzz]]   ISO 8601
// Hours 0-23, minutes and seconds 0-59, milliseconds of one to three digits. Impossible dates
// (02/30/2021) fail. A time on a date before 12/30/1899 is stored the framework's way: whole
// days toward the past, the time of day as a positive fraction (so -1.25 is 12/29/1899 06:00).
bool TryStrToDateTime(const std::string& text, TDateTime* out);
// Raises EConvertError "'<text>' is not a valid date and time".
TDateTime StrToDateTime(const std::string& text);

// ---- Text helpers ----------------------------------------------------------------------------
// ASCII-only case mapping and blank trimming: the engine's identifiers and keywords are ASCII,
// and other bytes (UTF-8 sequences included) pass through unchanged.
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
std::string Trim(const std::string& text);  // drops spaces, tabs, CR and LF at both ends

// ---- 10-byte extended floats ------------------------------------------------------------------
// A Float10 is exactly 10 little-endian bytes: a 64-bit mantissa with an explicit integer bit,
// then 15 bits of exponent (bias 16383) and the sign bit. On x86 a long double is that format
// in its first 10 bytes; elsewhere the value is converted (rounded to nearest, ties to even,
// when the long double is wider than 64 bits of mantissa).
constexpr int kFloat10Size = 10;
void Float10ToBytes(long double value, uint8_t* bytes);
long double BytesToFloat10(const uint8_t* bytes);

namespace detail {
// The conversion used where long double is not the 80-bit format; compiled everywhere so that
// it is tested against the native format.
void Float10ToBytesPortable(long double value, uint8_t* bytes);
long double BytesToFloat10Portable(const uint8_t* bytes);
}  // namespace detail

}  // namespace zyfw
