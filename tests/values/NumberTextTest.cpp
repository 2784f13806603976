// Text conversions of integers, floats and currency amounts in the engine's fixed locale.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/framework/Convert.h"
#include "platform/framework/Exception.h"

using namespace zyfw;

namespace {

struct IntCase {
  const char* text;
  bool ok;
  int64_t value;
};

TEST(IntText, ReadsDecimalWithOptionalSignAndBlanks) {
  const IntCase cases[] = {
      {"0", true, 0},
      {"12", true, 12},
      {"-12", true, -12},
      {"+12", true, 12},
      {"  42\t", true, 42},
      {"007", true, 7},
      {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},
      {"9223372036854775808", false, 0},
      {"-9223372036854775809", false, 0},
      {"99999999999999999999999", false, 0},
      {"12abc", false, 0},
      {"1.0", false, 0},
      {"1e3", false, 0},
      {"$1F", false, 0},
      {"0x1F", false, 0},
      {"1 2", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"+-1", false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = -77;
    EXPECT_EQ(TryStrToInt64(c.text, &v), c.ok) << "'" << c.text << "'";
    if (c.ok) {
      EXPECT_EQ(v, c.value) << "'" << c.text << "'";
    } else {
      EXPECT_EQ(v, -77) << "failure must leave the output alone: '" << c.text << "'";
    }
  }
}

TEST(IntText, NarrowAndRaisingForms) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt("-2147483648", &v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648", &v));
  EXPECT_EQ(StrToInt64Def("x", 5), 5);
  EXPECT_EQ(StrToInt64Def("-5", 0), -5);
  try {
    StrToInt64("12abc");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt("3000000000"), EConvertError);
}

TEST(IntText, Formatting) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-1234567), "-1234567");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(UIntToStr(UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(IntToHex(0xA1, 8), "000000A1");
  EXPECT_EQ(IntToHex(0xBEEF, 2), "BEEF");
  EXPECT_EQ(IntToHex(0, 0), "0");
}

struct FloatOut {
  long double value;
  const char* text;
};

TEST(FloatText, GeneralFormatWith15Digits) {
  const FloatOut cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {1, "1"},
      {-2.5L, "-2.5"},
      {100, "100"},
      {0.1, "0.1"},                      // a double widened still prints short
      {0.1L, "0.1"},
      {0.1f, "0.100000001490116"},       // single precision shows its error at 15 digits
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {123456789012345.0L, "123456789012345"},  // 15 digits: still plain
      {1e15L, "1E15"},
      {1234567890123456.0L, "1.23456789012346E15"},
      {1e20L, "1E20"},
      {0.0001L, "0.0001"},               // exponent -4: still plain
      {0.000015L, "1.5E-5"},
      {-1e-10L, "-1E-10"},
      {1.5e300L, "1.5E300"},
      {1e-4000L, "1E-4000"},             // only the 10-byte format reaches this far
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.text;
}

struct FloatIn {
  const char* text;
  bool ok;
  long double value;
};

TEST(FloatText, Reading) {
  const FloatIn cases[] = {
      {"0", true, 0},
      {"1.5", true, 1.5L},
      {"-1.5", true, -1.5L},
      {"+.5", true, 0.5L},
      {"5.", true, 5},
      {" 2.25 ", true, 2.25L},
      {"1e3", true, 1000},
      {"1E-2", true, 0.01L},
      {"2.5e+2", true, 250},
      {"12", true, 12},
      {"1e-99999", true, 0},     // too small: zero
      {"1e99999", false, 0},     // too large: refused
      {"1,5", false, 0},         // the decimal separator is "."
      {"1.2.3", false, 0},
      {"1e", false, 0},
      {"e5", false, 0},
      {".", false, 0},
      {"-", false, 0},
      {"inf", false, 0},
      {"nan", false, 0},
      {"0x10", false, 0},
      {"12abc", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    long double v = -77;
    EXPECT_EQ(TryStrToFloat(c.text, &v), c.ok) << "'" << c.text << "'";
    EXPECT_EQ(v, c.ok ? c.value : -77) << "'" << c.text << "'";
  }
  double d = 0;
  EXPECT_TRUE(TryStrToFloat("0.1", &d));
  EXPECT_EQ(d, 0.1);
  EXPECT_FALSE(TryStrToFloat("1e400", &d));  // beyond a double, within a long double
  EXPECT_THROW(StrToFloat("x"), EConvertError);
}

TEST(FloatText, RoundTripsAt15Digits) {
  // Any value printed with 15 digits reads back within half a unit of the 15th digit.
  const long double values[] = {3.14159265358979L, 1e-300L, 6.02214076e23L, -123.456L};
  for (long double v : values) {
    long double back = 0;
    ASSERT_TRUE(TryStrToFloat(FloatToStr(v), &back)) << FloatToStr(v);
    EXPECT_NEAR(static_cast<double>(back / v), 1.0, 1e-14) << FloatToStr(v);
  }
}

TEST(CurrencyText, Formatting) {
  const struct {
    int64_t raw;
    const char* text;
  } cases[] = {
      {0, "0"},
      {10000, "1"},
      {15000, "1.5"},
      {12345678, "1234.5678"},
      {-1, "-0.0001"},
      {-5000, "-0.5"},
      {1000, "0.1"},
      {INT64_MAX, "922337203685477.5807"},
      {INT64_MIN, "-922337203685477.5808"},
  };
  for (const auto& c : cases) EXPECT_EQ(CurrToStr(Currency::FromRaw(c.raw)), c.text) << c.text;
}

TEST(CurrencyText, ReadingIsExactAndRoundsHalfToEven) {
  const struct {
    const char* text;
    bool ok;
    int64_t raw;
  } cases[] = {
      {"0", true, 0},
      {"1.5", true, 15000},
      {"-0.0001", true, -1},
      {"1234.5678", true, 12345678},
      {"0.00005", true, 0},        // half, even neighbour is 0
      {"0.00015", true, 2},        // half, even neighbour is 2
      {"0.000150001", true, 2},
      {"0.000149999", true, 1},
      {"-0.00025", true, -2},
      {"0.000051", true, 1},       // more than half
      {"1e-9", true, 0},
      {"1.5e3", true, 15000000},
      {"12e-4", true, 12},
      {"000.10000", true, 1000},
      {" 7 ", true, 70000},
      {"922337203685477.5807", true, INT64_MAX},
      {"-922337203685477.5808", true, INT64_MIN},
      {"922337203685477.5808", false, 0},
      {"922337203685477.58075", false, 0},  // rounds up past the limit
      {"1e15", false, 0},
      {"1e99999999999999", false, 0},
      {"12abc", false, 0},
      {"1,5", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    Currency v = Currency::FromRaw(-77);
    EXPECT_EQ(TryStrToCurr(c.text, &v), c.ok) << "'" << c.text << "'";
    EXPECT_EQ(v.Raw(), c.ok ? c.raw : -77) << "'" << c.text << "'";
  }
  EXPECT_THROW(StrToCurr("abc"), EConvertError);
}

TEST(TextHelpers, AsciiCaseAndTrim) {
  EXPECT_EQ(UpperCase("yes \xC3\xA9"), "YES \xC3\xA9");  // UTF-8 bytes pass through
  EXPECT_EQ(LowerCase("MiXeD_1"), "mixed_1");
  EXPECT_TRUE(SameText("String", "STRING"));
  EXPECT_FALSE(SameText("Strin", "STRING"));
  EXPECT_EQ(Trim("  a b\t\r\n"), "a b");
  EXPECT_EQ(Trim(" \t "), "");
}

}  // namespace
