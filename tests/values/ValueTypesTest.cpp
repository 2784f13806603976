// The framework's value types: currency, the 10-byte float encoding, variants, the random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "platform/framework/Convert.h"
#include "platform/framework/Currency.h"
#include "platform/framework/Random.h"
#include "platform/framework/Variant.h"

using namespace zyfw;

namespace {

// ---- Currency --------------------------------------------------------------------------------

TEST(CurrencyValue, FromFloatsRoundsHalfToEven) {
  const struct {
    long double value;
    bool ok;
    int64_t raw;
  } cases[] = {
      {1.5L, true, 15000},
      {0.00005L, true, 0},     // not exactly half in binary: just below, so down
      {0.5L / 10000, true, 0},  // exactly half a ten-thousandth in binary: even is 0
      {1.5L / 10000, true, 2},
      {2.5L / 10000, true, 2},
      {-2.5L / 10000, true, -2},
      {-3.5L / 10000, true, -4},
      {922337203685477.5807L, true, INT64_MAX},
      {-922337203685477.5808L, true, INT64_MIN},
      {922337203685477.5808L, false, 0},
      {1e30L, false, 0},
      {std::numeric_limits<long double>::quiet_NaN(), false, 0},
      {std::numeric_limits<long double>::infinity(), false, 0},
  };
  for (const auto& c : cases) {
    Currency v = Currency::FromRaw(-77);
    EXPECT_EQ(Currency::TryFromLongDouble(c.value, &v), c.ok) << FloatToStr(c.value);
    EXPECT_EQ(v.Raw(), c.ok ? c.raw : -77) << FloatToStr(c.value);
  }
  EXPECT_THROW(Currency::FromDouble(1e300), EConvertError);
}

TEST(CurrencyValue, UnitsAndComparison) {
  Currency c;
  EXPECT_TRUE(Currency::TryFromInt64(922337203685477, &c));
  EXPECT_EQ(c.Raw(), 9223372036854770000);
  EXPECT_FALSE(Currency::TryFromInt64(922337203685478, &c));
  EXPECT_FALSE(Currency::TryFromInt64(-922337203685478, &c));
  EXPECT_THROW(Currency::FromInt64(INT64_MAX), EConvertError);
  EXPECT_EQ(Currency::FromInt64(-3).Raw(), -30000);
  EXPECT_EQ(Currency::FromRaw(12345).ToLongDouble(), 1.2345L);
  EXPECT_EQ(Currency::FromRaw(INT64_MIN).ToLongDouble(), -922337203685477.5808L);
  EXPECT_EQ(Currency::FromRaw(25000).ToDouble(), 2.5);
  EXPECT_LT(Currency::FromRaw(-1), Currency());
  EXPECT_GE(Currency::FromRaw(2), Currency::FromRaw(2));
  EXPECT_NE(Currency::FromRaw(2), Currency::FromRaw(3));
}

TEST(RoundToInt64, TiesGoToEven) {
  const struct {
    long double value;
    bool ok;
    int64_t result;
  } cases[] = {
      {2.5L, true, 2},   {3.5L, true, 4},   {-2.5L, true, -2}, {-3.5L, true, -4},
      {2.4999L, true, 2}, {0.5L, true, 0},  {-0.5L, true, 0},  {1e18L, true, 1000000000000000000},
      {9223372036854775807.0L, true, INT64_MAX},
      {-9223372036854775808.0L, true, INT64_MIN},
      {9223372036854775808.0L, false, 0},
      {std::numeric_limits<long double>::quiet_NaN(), false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = -77;
    EXPECT_EQ(TryRoundToInt64(c.value, &v), c.ok) << FloatToStr(c.value);
    EXPECT_EQ(v, c.ok ? c.result : -77) << FloatToStr(c.value);
  }
}

// ---- Float10 ---------------------------------------------------------------------------------

std::string Hex(const uint8_t* b) {
  std::string s;
  for (int i = 0; i < kFloat10Size; ++i) s += IntToHex(b[i], 2);
  return s;
}

TEST(Float10, BitPatterns) {
  // Little-endian: 8 bytes of mantissa (integer bit explicit), then sign and exponent.
  const struct {
    long double value;
    const char* bytes;
  } table[] = {
      {0.0L, "00000000000000000000"},
      {-0.0L, "00000000000000000080"},
      {1.0L, "0000000000000080FF3F"},
      {-2.0L, "000000000000008000C0"},
      {0.5L, "0000000000000080FE3F"},
      {3.0L, "00000000000000C00040"},
      {std::numeric_limits<long double>::infinity(), "0000000000000080FF7F"},
      {-std::numeric_limits<long double>::infinity(), "0000000000000080FFFF"},
      {std::numeric_limits<long double>::max(), "FFFFFFFFFFFFFFFFFE7F"},
      {std::numeric_limits<long double>::min(), "00000000000000800100"},        // smallest normal
      {std::numeric_limits<long double>::denorm_min(), "01000000000000000000"},
  };
  for (const auto& c : table) {
    uint8_t b[kFloat10Size];
    Float10ToBytes(c.value, b);
    const long double back = BytesToFloat10(b);
    uint8_t p[kFloat10Size];
    detail::Float10ToBytesPortable(c.value, p);
    EXPECT_EQ(Hex(b), c.bytes);
    EXPECT_EQ(Hex(p), Hex(b)) << c.bytes;
    EXPECT_EQ(back, c.value) << c.bytes;
    EXPECT_EQ(std::signbit(back), std::signbit(c.value)) << c.bytes;
  }
}

TEST(Float10, RoundTripsAndAgreesWithThePortableCodec) {
  std::vector<long double> values = {1.0L / 3, -1e-4940L, 6.02214076e23L, 0.1L,
                                     static_cast<long double>(0.1), 1e4931L, -123456789.125L};
  RandSeedSet(7);
  for (int i = 0; i < 2000; ++i) {
    // Random mantissas over the whole exponent range, denormals included.
    const long double m = static_cast<long double>(RandomFloat()) + RandomFloat() * 1e-17L;
    const int e = static_cast<int>(Random(2 * 16445)) - 16445;
    values.push_back((i & 1 ? -1 : 1) * std::ldexp(m, e));
  }
  for (long double v : values) {
    uint8_t native[kFloat10Size], portable[kFloat10Size];
    Float10ToBytes(v, native);
    detail::Float10ToBytesPortable(v, portable);
    ASSERT_EQ(Hex(native), Hex(portable)) << FloatToStr(v);
    ASSERT_EQ(BytesToFloat10(native), v) << FloatToStr(v);
    ASSERT_EQ(detail::BytesToFloat10Portable(native), v) << FloatToStr(v);
  }
  uint8_t nan[kFloat10Size];
  Float10ToBytes(std::numeric_limits<long double>::quiet_NaN(), nan);
  EXPECT_TRUE(std::isnan(BytesToFloat10(nan)));
  EXPECT_TRUE(std::isnan(detail::BytesToFloat10Portable(nan)));
}

// ---- Variant ---------------------------------------------------------------------------------

TEST(VariantValue, KindsAndEquality) {
  EXPECT_EQ(Variant().Kind(), VariantKind::Empty);
  EXPECT_EQ(Variant::Null().Kind(), VariantKind::Null);
  EXPECT_EQ(Variant(5).Kind(), VariantKind::Int64);
  EXPECT_EQ(Variant(5u).Kind(), VariantKind::Int64);
  EXPECT_EQ(Variant(1.5).Kind(), VariantKind::Double);
  EXPECT_EQ(Variant(1.5L).Kind(), VariantKind::Extended);
  EXPECT_EQ(Variant(true).Kind(), VariantKind::Boolean);
  EXPECT_EQ(Variant(Currency::FromRaw(1)).Kind(), VariantKind::Currency);
  EXPECT_EQ(Variant::FromDateTime(1.5).Kind(), VariantKind::DateTime);
  EXPECT_EQ(Variant("x").Kind(), VariantKind::String);  // not a bool
  EXPECT_EQ(Variant(std::vector<uint8_t>{1}).Kind(), VariantKind::Bytes);
  EXPECT_EQ(Variant(1.5), Variant(1.5));
  EXPECT_NE(Variant(1.5), Variant::FromDateTime(1.5));  // a date is not a double
  EXPECT_NE(Variant(1), Variant(1.0));
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant(), Variant::Null());
}

// One row per (value, target): the result as text, or "!" for a conversion that raises.
TEST(VariantValue, ConversionTable) {
  const TDateTime day = 37000.25;  // 04/19/2001 06:00:00
  auto attempt = [](auto f) -> std::string {
    try {
      return f();
    } catch (const EVariantError&) {
      return "!";
    }
  };
  const struct {
    Variant value;
    const char* toInt;
    const char* toFloat;
    const char* toBool;
    const char* toCurr;
    const char* toDate;
    const char* toString;
  } cases[] = {
      {Variant(), "0", "0", "false", "0", "0", ""},
      {Variant::Null(), "!", "!", "!", "!", "!", "!"},
      {Variant(-7), "-7", "-7", "true", "-7", "-7", "-7"},
      {Variant(0), "0", "0", "false", "0", "0", "0"},
      {Variant(2.5), "2", "2.5", "true", "2.5", "2.5", "2.5"},
      {Variant(3.5L), "4", "3.5", "true", "3.5", "3.5", "3.5"},
      {Variant(1e30), "!", "1E30", "true", "!", "1E30", "1E30"},
      {Variant(true), "1", "1", "true", "1", "1", "True"},
      {Variant(false), "0", "0", "false", "0", "0", "False"},
      {Variant(Currency::FromRaw(25000)), "2", "2.5", "true", "2.5", "2.5", "2.5"},
      {Variant::FromDateTime(day), "37000", "37000.25", "true", "37000.25", "37000.25",
       "04/19/2001 06:00:00"},
      {Variant("42"), "42", "42", "true", "42", "!", "42"},
      {Variant("2.5"), "2", "2.5", "true", "2.5", "!", "2.5"},
      {Variant("TRUE"), "!", "!", "true", "!", "!", "TRUE"},
      {Variant(" false "), "!", "!", "false", "!", "!", " false "},
      {Variant("04/19/2001 06:00"), "!", "!", "!", "!", "37000.25", "04/19/2001 06:00"},
      {Variant("12abc"), "!", "!", "!", "!", "!", "12abc"},
      {Variant(std::vector<uint8_t>{'h', 'i'}), "!", "!", "!", "!", "!", "hi"},
  };
  for (const auto& c : cases) {
    const std::string label = "variant " + attempt([&] { return c.value.ToString(); });
    EXPECT_EQ(attempt([&] { return IntToStr(c.value.ToInt64()); }), c.toInt) << label;
    EXPECT_EQ(attempt([&] { return FloatToStr(c.value.ToLongDouble()); }), c.toFloat) << label;
    EXPECT_EQ(attempt([&] { return std::string(c.value.ToBoolean() ? "true" : "false"); }),
              c.toBool)
        << label;
    EXPECT_EQ(attempt([&] { return CurrToStr(c.value.ToCurrency()); }), c.toCurr) << label;
    EXPECT_EQ(attempt([&] { return FloatToStr(c.value.ToDateTime()); }), c.toDate) << label;
    EXPECT_EQ(attempt([&] { return c.value.ToString(); }), c.toString) << label;
  }
}

TEST(VariantValue, RangeAndErrorTexts) {
  EXPECT_EQ(Variant(int64_t{2147483647}).ToInt32(), 2147483647);
  EXPECT_THROW(Variant(int64_t{2147483648}).ToInt32(), EVariantError);
  EXPECT_THROW(Variant(1e300).ToCurrency(), EVariantError);
  EXPECT_THROW(Variant(int64_t{INT64_MAX}).ToCurrency(), EVariantError);
  try {
    Variant::Null().ToInt32();
    FAIL() << "no exception";
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Cannot convert a variant of type Null into type Int64");
    EXPECT_STREQ(e.ClassName(), "EVariantError");
  }
  try {
    Variant("abc").ToDateTime();
    FAIL() << "no exception";
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Cannot convert a variant of type String into type DateTime: 'abc'");
  }
  EXPECT_EQ(Variant("ab").ToBytes(), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_TRUE(Variant().ToBytes().empty());
  EXPECT_THROW(Variant(1).ToBytes(), EVariantError);
}

// ---- Random ----------------------------------------------------------------------------------

TEST(RandomGenerator, StaysInRangeAndRepeatsFromASeed) {
  RandSeedSet(42);
  std::vector<int64_t> first;
  std::set<int64_t> seen;
  for (int i = 0; i < 1000; ++i) {
    const int64_t r = Random(10);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 10);
    first.push_back(r);
    seen.insert(r);
  }
  EXPECT_EQ(seen.size(), 10u);  // 1000 draws miss a value with probability about 1e-45
  RandSeedSet(42);
  for (int64_t expected : first) ASSERT_EQ(Random(10), expected);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-5), 0);
  EXPECT_EQ(Random(1), 0);
  for (int i = 0; i < 100; ++i) {
    const double f = RandomFloat();
    ASSERT_GE(f, 0.0);
    ASSERT_LT(f, 1.0);
  }
}

TEST(RandomGenerator, RandomizeGivesDifferentSequences) {
  Randomize();
  const int64_t a = Random(INT64_MAX);
  Randomize();
  const int64_t b = Random(INT64_MAX);
  EXPECT_NE(a, b);  // equal with probability 2^-63
}

}  // namespace
